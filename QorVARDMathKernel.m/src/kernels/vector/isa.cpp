#include "kernels/vector/isa.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qvk {
namespace {

int detect() {
#if defined(__i386__) || defined(__x86_64__)
  __builtin_cpu_init();
  // The compiler's checks also ask the OS (XGETBV) whether it saves the
  // wide registers.
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512cd") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
      __builtin_cpu_supports("avx512bw"))
    return kAvx512;
  if (__builtin_cpu_supports("avx2")) return kAvx2;
  if (__builtin_cpu_supports("sse2")) return kSse2;
#endif
  return kScalar;
}

int from_environment(int supported) {
  const char *v = std::getenv("QORVARD_KERNEL_ISA");
  if (!v) return supported;
  for (int l = 0; l < kIsaCount; ++l)
    if (std::strcmp(v, isa_name(l)) == 0) return l < supported ? l : supported;
  // A misspelt level must not pass for the one asked for: say so, once, on
  // standard error (the kernels print nothing else), and choose as if unset.
  std::fprintf(stderr,
               "QORVARD_KERNEL_ISA: unknown value \"%.40s\" (scalar, sse2, avx2 or avx512); "
               "the automatic choice (%s) is used\n",
               v, isa_name(supported));
  return supported;
}

int g_forced = -1;

}  // namespace

int isa_supported() {
  static const int level = detect();
  return level;
}

int isa_active() {
  static const int chosen = from_environment(isa_supported());
  return g_forced >= 0 ? g_forced : chosen;
}

int isa_force(int level) {
  g_forced = level < 0 ? -1 : (level < isa_supported() ? level : isa_supported());
  return isa_active();
}

const char *isa_name(int level) {
  static const char *const names[kIsaCount] = {"scalar", "sse2", "avx2", "avx512"};
  return level >= 0 && level < kIsaCount ? names[level] : "?";
}

}  // namespace qvk

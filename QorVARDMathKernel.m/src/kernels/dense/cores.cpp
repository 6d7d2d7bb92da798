#include "kernels/dense/cores.h"

#include "kernels/vector/blocking.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include <cstring>

namespace qvk {
namespace {

// Each entry says what was measured, or which published figures set it.
// Cores with separate multiply and add pipes reach the same peak without
// fused multiply-add as with it; cores that multiply and add on the same
// ports reach half of it.
const CoreTuning kCores[kCoreCount] = {
    // Unknown processors: the tuning the products were first written with.
    {"default", kShapeWide, kAvx512, kAvx512, false},
    // Zen 3 (measured, AMD EPYC family 25 model 1): no AVX-512; two
    // multiply and two add pipes of 256 bits, 32 KB L1. Broadcasts from
    // memory cost no floating-point pipe here: alone in L1 the 8x6 tile ran
    // at 49 GFLOP/s, the peak of the pipes at the 3.1 GHz measured, and in
    // the whole product at n = 1,000 it led the 12x4 one by 5 to 8% in
    // every run (NN and TN), hence the wide shape.
    {"zen3", kShapeWide, kAvx2, kAvx2, true},
    // Zen 4 (measured, AMD EPYC family 25 model 17, on a busy shared
    // machine). Two multiply and two add pipes of 256 bits; 512-bit
    // operations take a pipe for two cycles, so both widths have one peak.
    // A broadcast of B takes a pipe as well: alone in L1 the 24x8 tile runs
    // at 41 to 43 GFLOP/s, the 32x6 one (a third fewer broadcasts per
    // multiply) at 43 to 45. In the whole product at n = 1,000 the shapes
    // and widths came within the run-to-run noise (30 to 38 GFLOP/s each),
    // the 256-bit path level with or ahead of the 512-bit one in three runs
    // (transb 'T' by 10 to 15% in two), hence AVX2 and the tall shape.
    // eagemv streams the matrix from memory: the 512-bit path read it
    // faster in three runs out of three ('N' 4.1 to 4.4 against 3.9,
    // 'T' 3.9 to 5.0 against 3.3 to 4.3 GFLOP/s). These were measured with
    // the earlier blocks (B read in place, 96 rows by 128 with 120
    // columns); the blocks since set on Zen 3 were not measured here.
    {"zen4", kShapeTall, kAvx2, kAvx512, true},
    // Zen 5 (measured when the products were first tuned, with the earlier
    // blocks): full 512-bit units and a 48 KB L1; the wide shape reached
    // OpenBLAS's AVX-512 kernels.
    {"zen5", kShapeWide, kAvx512, kAvx512, true},
    // Skylake-X: multiplies and adds share ports 0 and 5, broadcasts from
    // memory are loads only, L1 32 KB (published tables). Not measured.
    {"skylake-x", kShapeWide, kAvx512, kAvx512, false},
    // Ice Lake: as Skylake-X with a 48 KB L1. Not measured.
    {"icelake", kShapeWide, kAvx512, kAvx512, false},
    // Sapphire Rapids: as Ice Lake. Not measured.
    {"sapphire-rapids", kShapeWide, kAvx512, kAvx512, false},
};

int detect() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return kCoreDefault;
  char vendor[13];
  std::memcpy(vendor, &ebx, 4);
  std::memcpy(vendor + 4, &edx, 4);
  std::memcpy(vendor + 8, &ecx, 4);
  vendor[12] = '\0';
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return kCoreDefault;
  const unsigned base_family = (eax >> 8) & 0xF, base_model = (eax >> 4) & 0xF;
  const unsigned family = base_family == 0xF ? base_family + ((eax >> 20) & 0xFF) : base_family;
  const unsigned model = base_family == 0x6 || base_family == 0xF
                             ? base_model | (((eax >> 16) & 0xF) << 4)
                             : base_model;
  if (std::strcmp(vendor, "AuthenticAMD") == 0) {
    if (family == 0x1A) return kCoreZen5;
    if (family == 0x19) {
      if (model <= 0x0F || (model >= 0x20 && model <= 0x5F)) return kCoreZen3;
      if ((model >= 0x10 && model <= 0x1F) || (model >= 0x60 && model <= 0x7F) ||
          (model >= 0xA0 && model <= 0xAF))
        return kCoreZen4;
    }
  } else if (std::strcmp(vendor, "GenuineIntel") == 0 && family == 6) {
    switch (model) {
      case 0x55: return kCoreSkylakeX;
      case 0x6A: case 0x6C: case 0x7D: case 0x7E: return kCoreIceLake;
      case 0x8F: case 0xCF: return kCoreSapphireRapids;
      default: break;
    }
  }
#endif
  return kCoreDefault;
}

int g_forced = -1;

}  // namespace

int core_detected() {
  static const int core = detect();
  return core;
}

int core_active() { return g_forced >= 0 ? g_forced : core_detected(); }

void core_force(int core) { g_forced = core >= 0 && core < kCoreCount ? core : -1; }

const CoreTuning &core_tuning(int core) {
  return kCores[core >= 0 && core < kCoreCount ? core : kCoreDefault];
}

}  // namespace qvk

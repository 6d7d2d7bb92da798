#include "qvk_test.h"

#include <dlfcn.h>

#include <cmath>
#include <limits>

namespace qvk_test {

// slack > 0 accepts a difference up to slack of the larger magnitude.
static long difference(const double *a, const double *b, size_t n, bool nan_equal, double slack = 0.0) {
  for (size_t i = 0; i < n; ++i) {
    if (bits(a[i]) == bits(b[i]) || (nan_equal && std::isnan(a[i]) && std::isnan(b[i]))) continue;
    if (!(slack > 0.0 && std::fabs(a[i] - b[i]) <= slack * std::fmax(std::fabs(a[i]), std::fabs(b[i]))))
      return static_cast<long>(i);
  }
  return -1;
}
long first_bit_difference(const double *a, const double *b, size_t n) { return difference(a, b, n, true); }
long exact_bit_difference(const double *a, const double *b, size_t n) { return difference(a, b, n, false); }
#if defined(__i386__)
long oracle_difference(const double *a, const double *b, size_t n) { return difference(a, b, n, true, 0x1p-40); }
#else
long oracle_difference(const double *a, const double *b, size_t n) { return difference(a, b, n, true); }
#endif

std::vector<double> random_doubles(size_t n, uint32_t seed, double lo, double hi) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(lo, hi);
  std::uniform_int_distribution<int> e(-30, 30);
  std::vector<double> v(n);
  for (auto &x : v) x = std::ldexp(u(gen), e(gen));
  return v;
}

std::vector<double> adversarial_doubles(size_t n, uint32_t seed) {
  using lim = std::numeric_limits<double>;
  const double specials[] = {lim::quiet_NaN(), -lim::quiet_NaN(), from_bits(0x7FF8000000ABCDEFull) /* payload */,
                             from_bits(0x7FF0000000000123ull) /* signalling */, lim::infinity(), -lim::infinity(),
                             0.0, -0.0, lim::denorm_min(), -4.9e-320, lim::min(), lim::max(), -1.0e300, 1.0e-300,
                             1.0, -1.0};
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> pick(0, 3);
  std::uniform_int_distribution<size_t> which(0, sizeof specials / sizeof specials[0] - 1);
  std::vector<double> v = random_doubles(n, seed ^ 0x9E3779B9u);
  for (auto &x : v)
    if (pick(gen) == 0) x = specials[which(gen)];
  return v;
}

std::vector<double> portable_doubles(size_t n, uint32_t seed, int min_exp, int max_exp) {
  std::mt19937 gen(seed);
  std::vector<double> v(n);
  const uint32_t span = static_cast<uint32_t>(max_exp - min_exp + 1);
  for (auto &x : v) {
    // 53 random bits as an exact fraction in [0, 1), then sign and exponent.
    const double hi = static_cast<double>(gen() >> 5), lo = static_cast<double>(gen() >> 6);
    const double frac = (hi * 67108864.0 + lo) / 9007199254740992.0;
    const uint32_t r = gen();
    x = std::ldexp(r & 1 ? -frac : frac, min_exp + static_cast<int>((r >> 1) % span));
  }
  return v;
}

void Checksum::add(double v) {
  const uint64_t u = std::isnan(v) ? 0x7FF8000000000000ull : bits(v);
  for (int i = 0; i < 8; ++i) h = (h ^ ((u >> (8 * i)) & 0xFF)) * 1099511628211ull;
}

void Checksum::add(long long v) { add(from_bits(static_cast<uint64_t>(v))); }

// The reference BLAS is opened globally and first, so that the reference
// LAPACK binds its BLAS calls to it, not to an optimized library of that name.
void *reference_symbol(const char *name, bool lapack) {
  static void *blas = *QVK_REF_BLAS_PATH ? dlopen(QVK_REF_BLAS_PATH, RTLD_NOW | RTLD_GLOBAL) : nullptr;
  static void *lapack_lib = blas && *QVK_REF_LAPACK_PATH ? dlopen(QVK_REF_LAPACK_PATH, RTLD_NOW | RTLD_LOCAL) : nullptr;
  void *lib = lapack ? lapack_lib : blas;
  return lib ? dlsym(lib, name) : nullptr;
}

}  // namespace qvk_test

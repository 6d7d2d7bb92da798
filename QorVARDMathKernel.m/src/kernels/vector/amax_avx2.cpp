#include <immintrin.h>

#include "kernels/vector/amax_simd.h"

namespace {

// Used only where no lane is NaN (hmax) or where NaN lanes are flagged apart.
struct V {
  using T = __m256d;
  static constexpr int W = 4;
  static T abs_load(const double *p) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_loadu_pd(p)); }
  static T max(T a, T b) { return _mm256_max_pd(a, b); }
  static T set1(double d) { return _mm256_set1_pd(d); }
  static int eq_bits(T a, T b) { return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_EQ_OQ)); }
  static int nan_bits(T a) { return _mm256_movemask_pd(_mm256_cmp_pd(a, a, _CMP_UNORD_Q)); }
  static double hmax(T a) { __m128d h = _mm_max_pd(_mm256_castpd256_pd128(a), _mm256_extractf128_pd(a, 1)); double t[2]; _mm_storeu_pd(t, h); return t[0] > t[1] ? t[0] : t[1]; }
};

}  // namespace

void qvk::amax_fill_avx2(AmaxPaths &p) { p.iamax = simd_iamax<V>; }

#include <immintrin.h>

#include "kernels/vector/amax_simd.h"

namespace {

// Used only where no lane is NaN (hmax) or where NaN lanes are flagged apart.
struct V {
  using T = __m512d;
  static constexpr int W = 8;
  static T abs_load(const double *p) { return _mm512_abs_pd(_mm512_loadu_pd(p)); }
  static T max(T a, T b) { return _mm512_max_pd(a, b); }
  static T set1(double d) { return _mm512_set1_pd(d); }
  static int eq_bits(T a, T b) { return static_cast<int>(_mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ)); }
  static int nan_bits(T a) { return static_cast<int>(_mm512_cmp_pd_mask(a, a, _CMP_UNORD_Q)); }
  static double hmax(T a) { return _mm512_reduce_max_pd(a); }
};

}  // namespace

void qvk::amax_fill_avx512(AmaxPaths &p) { p.iamax = simd_iamax<V>; }

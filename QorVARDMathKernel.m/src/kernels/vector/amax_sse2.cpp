#include <immintrin.h>

#include "kernels/vector/amax_simd.h"

namespace {

// Used only where no lane is NaN (hmax) or where NaN lanes are flagged apart.
struct V {
  using T = __m128d;
  static constexpr int W = 2;
  static T abs_load(const double *p) { return _mm_andnot_pd(_mm_set1_pd(-0.0), _mm_loadu_pd(p)); }
  static T max(T a, T b) { return _mm_max_pd(a, b); }
  static T set1(double d) { return _mm_set1_pd(d); }
  static int eq_bits(T a, T b) { return _mm_movemask_pd(_mm_cmpeq_pd(a, b)); }
  static int nan_bits(T a) { return _mm_movemask_pd(_mm_cmpunord_pd(a, a)); }
  static double hmax(T a) { double t[2]; _mm_storeu_pd(t, a); return t[0] > t[1] ? t[0] : t[1]; }
};

}  // namespace

void qvk::amax_fill_sse2(AmaxPaths &p) { p.iamax = simd_iamax<V>; }

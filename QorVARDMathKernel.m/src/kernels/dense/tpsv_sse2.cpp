#include <immintrin.h>

#include "kernels/dense/tpsv.h"
#include "kernels/dense/tpsv_simd.h"

namespace {

struct V {
  using T = __m128d;
  static constexpr int W = 2;
  static T load(const double *p) { return _mm_loadu_pd(p); }
  static void store(double *p, T v) { _mm_storeu_pd(p, v); }
  static T set1(double a) { return _mm_set1_pd(a); }
  static T mul(T a, T b) { return _mm_mul_pd(a, b); }
  static T sub(T a, T b) { return _mm_sub_pd(a, b); }
};

}  // namespace

void qvk::tpsv_fill_sse2(TpsvPaths &p) {
  p.upper_n = simd_upper_n<V>;
  p.lower_n = simd_lower_n<V>;
  // Eight running sums keep both adders busy; wider paths inherit them.
  p.upper_t = chains_upper_t<8>;
  p.lower_t = chains_lower_t<8>;
}

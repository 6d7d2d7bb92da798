#include <immintrin.h>

#include "kernels/vector/elementwise.h"
#include "kernels/vector/elementwise_simd.h"

namespace {

struct V {
  using T = __m512d;
  static constexpr int W = 8;
  static T load(const double *p) { return _mm512_loadu_pd(p); }
  static void store(double *p, T v) { _mm512_storeu_pd(p, v); }
  static T set1(double a) { return _mm512_set1_pd(a); }
  static T mul(T a, T b) { return _mm512_mul_pd(a, b); }
  static T add(T a, T b) { return _mm512_add_pd(a, b); }
};

}  // namespace

void qvk::elementwise_fill_avx512(ElementwisePaths &p) {
  p.scal = simd_scal<V>;
  p.axpy = simd_axpy<V>;
  p.swap = simd_swap<V>;
}

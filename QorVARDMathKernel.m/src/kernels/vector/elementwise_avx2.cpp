#include <immintrin.h>

#include "kernels/vector/elementwise.h"
#include "kernels/vector/elementwise_simd.h"

namespace {

struct V {
  using T = __m256d;
  static constexpr int W = 4;
  static T load(const double *p) { return _mm256_loadu_pd(p); }
  static void store(double *p, T v) { _mm256_storeu_pd(p, v); }
  static T set1(double a) { return _mm256_set1_pd(a); }
  static T mul(T a, T b) { return _mm256_mul_pd(a, b); }
  static T add(T a, T b) { return _mm256_add_pd(a, b); }
};

}  // namespace

void qvk::elementwise_fill_avx2(ElementwisePaths &p) {
  p.scal = simd_scal<V>;
  p.axpy = simd_axpy<V>;
  p.swap = simd_swap<V>;
}

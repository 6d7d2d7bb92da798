#include <immintrin.h>

#include "kernels/dense/tpsv.h"
#include "kernels/dense/tpsv_simd.h"

namespace {

struct V {
  using T = __m256d;
  static constexpr int W = 4;
  static T load(const double *p) { return _mm256_loadu_pd(p); }
  static void store(double *p, T v) { _mm256_storeu_pd(p, v); }
  static T set1(double a) { return _mm256_set1_pd(a); }
  static T mul(T a, T b) { return _mm256_mul_pd(a, b); }
  static T sub(T a, T b) { return _mm256_sub_pd(a, b); }
};

}  // namespace

void qvk::tpsv_fill_avx2(TpsvPaths &p) {
  p.upper_n = simd_upper_n<V>;
  p.lower_n = simd_lower_n<V>;
}

#include <immintrin.h>

#include "kernels/vector/sparse.h"

namespace {

void gthr(int nz, const double *y, double *x, const int *indx) {
  const __m128i one = _mm_set1_epi32(1);
  int i = 0;
  // Main body: two gathers of four per step.
  for (; i + 8 <= nz; i += 8) {
    __m128i k0 = _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(indx + i)), one);
    __m128i k1 =
        _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(indx + i + 4)), one);
    _mm256_storeu_pd(x + i, _mm256_i32gather_pd(y, k0, 8));
    _mm256_storeu_pd(x + i + 4, _mm256_i32gather_pd(y, k1, 8));
  }
  // Tail.
  for (; i < nz; ++i) x[i] = y[indx[i] - 1];
}

// Four positions are distinct when no lane equals a lane one or two places
// round from it: those two rotations meet all six pairs.
inline bool distinct4(__m128i k) {
  __m128i r1 = _mm_shuffle_epi32(k, _MM_SHUFFLE(0, 3, 2, 1));
  __m128i r2 = _mm_shuffle_epi32(k, _MM_SHUFFLE(1, 0, 3, 2));
  __m128i eq = _mm_or_si128(_mm_cmpeq_epi32(k, r1), _mm_cmpeq_epi32(k, r2));
  return _mm_testz_si128(eq, eq);
}

void axpyi(int nz, double a, const double *x, const int *indx, double *y) {
  const __m128i one = _mm_set1_epi32(1);
  const __m256d va = _mm256_set1_pd(a);
  int i = 0;
  for (; i + 4 <= nz; i += 4) {
    __m128i k = _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(indx + i)), one);
    if (distinct4(k)) {
      __m256d r = _mm256_add_pd(_mm256_i32gather_pd(y, k, 8),
                                _mm256_mul_pd(va, _mm256_loadu_pd(x + i)));
      alignas(32) double out[4];
      _mm256_store_pd(out, r);
      y[indx[i] - 1] = out[0];
      y[indx[i + 1] - 1] = out[1];
      y[indx[i + 2] - 1] = out[2];
      y[indx[i + 3] - 1] = out[3];
    } else {
      for (int j = i; j < i + 4; ++j) y[indx[j] - 1] = y[indx[j] - 1] + a * x[j];
    }
  }
  for (; i < nz; ++i) y[indx[i] - 1] = y[indx[i] - 1] + a * x[i];
}

}  // namespace

void qvk::sparse_fill_avx2(SparsePaths &p) {
  p.gthr = gthr;
  p.axpyi = axpyi;
}

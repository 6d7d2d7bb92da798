#include <immintrin.h>

#include "kernels/vector/sparse.h"

namespace {

inline __m256i positions(const int *indx) {
  return _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(indx)),
                          _mm256_set1_epi32(1));
}

void gthr(int nz, const double *y, double *x, const int *indx) {
  int i = 0;
  for (; i + 16 <= nz; i += 16) {
    _mm512_storeu_pd(x + i, _mm512_i32gather_pd(positions(indx + i), y, 8));
    _mm512_storeu_pd(x + i + 8, _mm512_i32gather_pd(positions(indx + i + 8), y, 8));
  }
  for (; i + 8 <= nz; i += 8)
    _mm512_storeu_pd(x + i, _mm512_i32gather_pd(positions(indx + i), y, 8));
  for (; i < nz; ++i) x[i] = y[indx[i] - 1];
}

// The wide scatter stores overlapping lanes from the lowest to the highest,
// so a repeated position keeps the last value, as the ordered loop does.
void sctr(int nz, const double *x, const int *indx, double *y) {
  int i = 0;
  for (; i + 8 <= nz; i += 8)
    _mm512_i32scatter_pd(y, positions(indx + i), _mm512_loadu_pd(x + i), 8);
  for (; i < nz; ++i) y[indx[i] - 1] = x[i];
}

void axpyi(int nz, double a, const double *x, const int *indx, double *y) {
  const __m512d va = _mm512_set1_pd(a);
  int i = 0;
  for (; i + 8 <= nz; i += 8) {
    const __m256i k = positions(indx + i);
    // A group with a repeated position goes one element at a time.
    const __m256i dup = _mm256_conflict_epi32(k);
    if (_mm256_testz_si256(dup, dup)) {
      __m512d r = _mm512_add_pd(_mm512_i32gather_pd(k, y, 8),
                                _mm512_mul_pd(va, _mm512_loadu_pd(x + i)));
      _mm512_i32scatter_pd(y, k, r, 8);
    } else {
      for (int j = i; j < i + 8; ++j) y[indx[j] - 1] = y[indx[j] - 1] + a * x[j];
    }
  }
  for (; i < nz; ++i) y[indx[i] - 1] = y[indx[i] - 1] + a * x[i];
}

}  // namespace

void qvk::sparse_fill_avx512(SparsePaths &p) {
  p.gthr = gthr;
  p.sctr = sctr;
  p.axpyi = axpyi;
}

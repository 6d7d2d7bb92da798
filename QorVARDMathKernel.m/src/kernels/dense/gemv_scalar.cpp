// The plain orders of the matrix-vector family: the definition that every
// other path reproduces bit for bit.
#include "kernels/dense/gemv.h"

namespace qvk {
namespace {

using std::ptrdiff_t;

inline double start(double beta, const double *y) { return beta == 0.0 ? 0.0 : beta * *y; }

void gemv_n(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
            ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
  // Main body: rows in groups of four, each carried over all columns.
  int i = 0;
  for (; i + 4 <= m; i += 4) {
    double t0 = start(beta, y + i * incy), t1 = start(beta, y + (i + 1) * incy);
    double t2 = start(beta, y + (i + 2) * incy), t3 = start(beta, y + (i + 3) * incy);
    const double *col = a + i;
    for (int j = 0; j < n; ++j, col += lda) {
      const double ax = alpha * x[j * incx];
      t0 = t0 + col[0] * ax;
      t1 = t1 + col[1] * ax;
      t2 = t2 + col[2] * ax;
      t3 = t3 + col[3] * ax;
    }
    y[i * incy] = t0;
    y[(i + 1) * incy] = t1;
    y[(i + 2) * incy] = t2;
    y[(i + 3) * incy] = t3;
  }
  // Clean-up: the remaining rows one at a time.
  for (; i < m; ++i) {
    double t = start(beta, y + i * incy);
    for (int j = 0; j < n; ++j) t = t + a[i + j * lda] * (alpha * x[j * incx]);
    y[i * incy] = t;
  }
}

void gemv_t(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
            ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
  for (int j = 0; j < n; ++j) {
    const double *col = a + j * lda;
    double t = start(beta, y + j * incy);
    for (int i = 0; i < m; ++i) t = t + col[i] * (alpha * x[i * incx]);
    y[j * incy] = t;
  }
}

void gemv_tg(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
             ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
  for (int j = 0; j < n; ++j) {
    const double *col = a + j * lda;
    double t = start(beta, y + j * incy);
    int i = 0;
    for (; i + 4 <= m; i += 4) {
      double g = col[i] * x[i * incx] + col[i + 1] * x[(i + 1) * incx];
      g = g + col[i + 2] * x[(i + 2) * incx];
      g = g + col[i + 3] * x[(i + 3) * incx];
      t = t + alpha * g;
    }
    // A caller outside eagemv may pass rows past the last multiple of 4.
    if (i < m) {
      double g = col[i] * x[i * incx];
      for (++i; i < m; ++i) g = g + col[i] * x[i * incx];
      t = t + alpha * g;
    }
    y[j * incy] = t;
  }
}

}  // namespace

const GemvPaths kGemvScalar = {gemv_n, gemv_t, gemv_tg};

const GemvPaths &gemv_paths(int level) {
  static void (*const fill[kIsaCount])(GemvPaths &) = {nullptr, gemv_fill_sse2, gemv_fill_avx2,
                                                       gemv_fill_avx512};
  static const PathTable<GemvPaths> table(kGemvScalar, fill);
  return table.level[level];
}

}  // namespace qvk

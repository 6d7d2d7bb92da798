// Entries of the matrix-vector product: eagemv (checks, quick returns and
// the panel split), dgemvf (the published algorithm) and the four inner
// kernels callable on their own.
#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/vector.h"
#include "kernels/dense/gemv.h"
#include "kernels/dense/stop.h"
#include "kernels/vector/stride.h"

namespace {

using std::ptrdiff_t;

// The inner kernels with x and y at logical element 1 (increments of either
// sign). They return at once on an empty product or alpha = 0, beta = 1;
// negative sizes, which only a direct caller can pass, count as empty.
bool nothing_to_do(int m, int n, double alpha, double beta) {
  return m <= 0 || n <= 0 || (alpha == 0.0 && beta == 1.0);
}

void kernel_n(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
              ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
  if (nothing_to_do(m, n, alpha, beta)) return;
  qvk::gemv_paths().n(m, n, alpha, a, lda, x, incx, beta, y, incy);
}

void kernel_t(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
              ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
  if (nothing_to_do(m, n, alpha, beta)) return;
  qvk::gemv_paths().t(m, n, alpha, a, lda, x, incx, beta, y, incy);
}

// dgemv32_t: groups of four rows only when both increments are 1.
void kernel_t32(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
                ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
  if (nothing_to_do(m, n, alpha, beta)) return;
  const qvk::GemvPaths &p = qvk::gemv_paths();
  (incx == 1 && incy == 1 ? p.tg : p.t)(m, n, alpha, a, lda, x, incx, beta, y, incy);
}

using Kernel = void (*)(int, int, double, const double *, ptrdiff_t, const double *, ptrdiff_t,
                        double, double *, ptrdiff_t);

// Exported form of an inner kernel: x and y by the standard increment rule.
void call_inner(Kernel kernel, bool trans, const int *m, const int *n, const double *alpha,
                const double *a, const int *lda, const double *x, const int *incx,
                const double *beta, double *y, const int *incy) {
  const int mm = *m, nn = *n, ix = *incx, iy = *incy;
  const int lenx = trans ? mm : nn, leny = trans ? nn : mm;
  if (lenx <= 0 || leny <= 0) return;
  kernel(mm, nn, *alpha, a, *lda, x + qvk::first_offset(lenx, ix), ix, *beta,
         y + qvk::first_offset(leny, iy), iy);
}

// eagemv after its checks, quick returns and the alpha = 0 step, with both
// increments positive: rows split at m8, columns in blocks of 64.
void panels_n(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
              ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
  const int m8 = m / 8 * 8, r = m - m8, nb = n / 64 * 64, nr = n - nb;
  if (m8 > 0 && nb > 0) {
    // dgemv32_n: the first block with beta, every later one with 1.0.
    kernel_n(m8, 64, alpha, a, lda, x, incx, beta, y, incy);
    for (int j = 64; j < nb; j += 64)
      kernel_n(m8, 64, alpha, a + j * lda, lda, x + j * incx, incx, 1.0, y, incy);
    if (nr > 0) kernel_n(m8, nr, alpha, a + nb * lda, lda, x + nb * incx, incx, 1.0, y, incy);
  } else if (m8 > 0) {
    kernel_n(m8, n, alpha, a, lda, x, incx, beta, y, incy);
  }
  // dgemv_n: the last r rows over all columns at once.
  if (r > 0) kernel_n(r, n, alpha, a + m8, lda, x, incx, beta, y + m8 * incy, incy);
}

void panels_t(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
              ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
  const int m8 = m / 8 * 8, r = m - m8, nb = n / 64 * 64, nr = n - nb;
  if (m8 == 0) {
    kernel_t(m, n, alpha, a, lda, x, incx, beta, y, incy);
    return;
  }
  // x from row m8+1 on; formed only where such rows exist, so that no
  // address lies past the caller's vector.
  const double *xr = r > 0 ? x + m8 * incx : x;
  for (int j = 0; j < nb; j += 64) {
    const double *aj = a + j * lda;
    kernel_t32(m8, 64, alpha, aj, lda, x, incx, beta, y + j * incy, incy);
    kernel_t(r, 64, alpha, aj + m8, lda, xr, incx, 1.0, y + j * incy, incy);
  }
  if (nr > 0) {
    const double *aj = a + nb * lda;
    double *yj = y + nb * incy;
    if ((incx == 1 && incy == 1) || nr % 4 == 0)
      kernel_t32(m8, nr, alpha, aj, lda, x, incx, beta, yj, incy);
    else
      kernel_t(m8, nr, alpha, aj, lda, x, incx, beta, yj, incy);
    kernel_t(r, nr, alpha, aj + m8, lda, xr, incx, 1.0, yj, incy);
  }
}

}  // namespace

extern "C" {

void eagemv(const char *trans, const int *m, const int *n, const double *alpha, const double *a,
            const int *lda, const double *x, const int *incx, const double *beta, double *y,
            const int *incy, int /*trans_len*/) {
  const char t = *trans;
  const int mm = *m, nn = *n, ldaa = *lda, ix = *incx, iy = *incy;
  if ((t != 'N' && t != 'T' && t != 'C') || mm < 0 || nn < 0 || ldaa < (mm > 1 ? mm : 1) ||
      ix == 0 || iy == 0)
    qvk::product_stop("DGEMV Fatal Error");
  const double al = *alpha, be = *beta;
  if (mm == 0 || nn == 0 || (al == 0.0 && be == 1.0)) return;
  if (al == 0.0) {
    const int leny = t == 'N' ? mm : nn;
    if (be == 0.0)
      e_dzero(&leny, y, incy);
    else
      e_dscal(&leny, beta, y, incy);
    return;
  }
  if (ix < 0 || iy < 0) {
    const char letter = t == 'N' ? 'N' : 'T';
    dgemvf(&letter, m, n, alpha, a, lda, x, incx, beta, y, incy, 1);
    return;
  }
  if (t == 'N')
    panels_n(mm, nn, al, a, ldaa, x, ix, be, y, iy);
  else
    panels_t(mm, nn, al, a, ldaa, x, ix, be, y, iy);
}

void dgemvf(const char *trans, const int *m, const int *n, const double *alpha, const double *a,
            const int *lda, const double *x, const int *incx, const double *beta, double *y,
            const int *incy, int /*trans_len*/) {
  const char t = *trans;
  const int mm = *m, nn = *n, ix = *incx, iy = *incy;
  const ptrdiff_t ld = *lda;
  int info = 0;
  if (t != 'N' && t != 'T' && t != 'C')
    info = 1;
  else if (mm < 0)
    info = 2;
  else if (nn < 0)
    info = 3;
  else if (ld < (mm > 1 ? mm : 1))
    info = 6;
  else if (ix == 0)
    info = 8;
  else if (iy == 0)
    info = 11;
  if (info != 0) {
    qvk::product_report("DGEMV Error : ", info);
    return;
  }
  const double al = *alpha, be = *beta;
  if (mm == 0 || nn == 0 || (al == 0.0 && be == 1.0)) return;
  const int lenx = t == 'N' ? nn : mm, leny = t == 'N' ? mm : nn;
  if (be != 1.0) {
    if (be == 0.0)
      e_dzero(&leny, y, incy);
    else
      e_dscal(&leny, beta, y, incy);
  }
  if (al == 0.0) return;
  const double *xv = x + qvk::first_offset(lenx, ix);
  double *yv = y + qvk::first_offset(leny, iy);
  if (t == 'N') {
    for (int j = 0; j < nn; ++j) {
      const double xj = xv[j * static_cast<ptrdiff_t>(ix)];
      if (xj == 0.0) continue;
      const double temp = al * xj;
      const double *col = a + j * ld;
      for (int i = 0; i < mm; ++i) {
        double *yi = yv + i * static_cast<ptrdiff_t>(iy);
        *yi = *yi + temp * col[i];
      }
    }
  } else {
    for (int j = 0; j < nn; ++j) {
      const double *col = a + j * ld;
      double temp = 0.0;
      for (int i = 0; i < mm; ++i) temp = temp + col[i] * xv[i * static_cast<ptrdiff_t>(ix)];
      double *yj = yv + j * static_cast<ptrdiff_t>(iy);
      *yj = *yj + al * temp;
    }
  }
}

void dgemv32_n(const int *m, const int *n, const double *alpha, const double *a, const int *lda,
               const double *x, const int *incx, const double *beta, double *y, const int *incy) {
  call_inner(kernel_n, false, m, n, alpha, a, lda, x, incx, beta, y, incy);
}

void dgemv_n(const int *m, const int *n, const double *alpha, const double *a, const int *lda,
             const double *x, const int *incx, const double *beta, double *y, const int *incy) {
  call_inner(kernel_n, false, m, n, alpha, a, lda, x, incx, beta, y, incy);
}

void dgemv32_t(const int *m, const int *n, const double *alpha, const double *a, const int *lda,
               const double *x, const int *incx, const double *beta, double *y, const int *incy) {
  call_inner(kernel_t32, true, m, n, alpha, a, lda, x, incx, beta, y, incy);
}

void dgemv_t(const int *m, const int *n, const double *alpha, const double *a, const int *lda,
             const double *x, const int *incx, const double *beta, double *y, const int *incy) {
  call_inner(kernel_t, true, m, n, alpha, a, lda, x, incx, beta, y, incy);
}

}  // extern "C"

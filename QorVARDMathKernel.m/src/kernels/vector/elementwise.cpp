// Entries of the elementwise family: increments, early exits and the choice
// between the unit-increment path and the strided loop.
#include "QorVARDMathKernel/vector.h"
#include "kernels/vector/elementwise.h"
#include "kernels/vector/stride.h"

using qvk::elementwise_paths;

namespace {

// Unit-increment vectors that share storage without being the same vector
// must see each other's earlier stores: only the scalar order does that.
const qvk::ElementwisePaths &paths_for(const double *x, const double *y, int n) {
  if (x != y && qvk::blocks_overlap(x, y, static_cast<std::size_t>(n) * sizeof(double)))
    return qvk::kElementwiseScalar;
  return elementwise_paths();
}

}  // namespace

extern "C" {

void e_dscal(const int *n, const double *alpha, double *x, const int *incx) {
  const int nn = *n, inc = *incx;
  const double a = *alpha;
  if (nn <= 0) return;
  if (inc == 1) {
    elementwise_paths().scal(nn, a, x);
    return;
  }
  // Magnitude rule; with inc = 0, x(1) is scaled n times.
  const std::ptrdiff_t step = qvk::magnitude(inc);
  std::ptrdiff_t ix = 0;
  for (int i = 0; i < nn; ++i, ix += step) x[ix] = a * x[ix];
}

void drscl(const int *n, const double *sa, double *x, const int *incx) {
  if (*n <= 0) return;
  const double s = *sa;
  if (s == 0.0 || s == 1.0) return;
  const double r = 1.0 / s;
  e_dscal(n, &r, x, incx);
}

void e_daxpy(const int *n, const double *alpha, const double *x, const int *incx,
             double *y, const int *incy) {
  const int nn = *n, ix1 = *incx, iy1 = *incy;
  const double a = *alpha;
  if (nn <= 0 || a == 0.0) return;
  if (ix1 == 1 && iy1 == 1) {
    paths_for(x, y, nn).axpy(nn, a, x, y);
    return;
  }
  std::ptrdiff_t ix = qvk::first_offset(nn, ix1), iy = qvk::first_offset(nn, iy1);
  for (int i = 0; i < nn; ++i, ix += ix1, iy += iy1) y[iy] = y[iy] + a * x[ix];
}

void e_dswap(const int *n, double *x, const int *incx, double *y, const int *incy) {
  const int nn = *n, ix1 = *incx, iy1 = *incy;
  if (nn <= 0) return;
  if (ix1 == 1 && iy1 == 1) {
    paths_for(x, y, nn).swap(nn, x, y);
    return;
  }
  std::ptrdiff_t ix = qvk::first_offset(nn, ix1), iy = qvk::first_offset(nn, iy1);
  for (int i = 0; i < nn; ++i, ix += ix1, iy += iy1) {
    double t = x[ix];
    x[ix] = y[iy];
    y[iy] = t;
  }
}

}  // extern "C"

// Entries of the sparse vector kernels, and the sparse dot product.
#include "QorVARDMathKernel/vector.h"
#include "kernels/vector/sparse.h"

extern "C" {

void e_dgthr(const int *nz, const double *y, double *x, const int *indx) {
  if (*nz > 0) qvk::sparse_paths().gthr(*nz, y, x, indx);
}

void e_dsctr(const int *nz, const double *x, const int *indx, double *y) {
  if (*nz > 0) qvk::sparse_paths().sctr(*nz, x, indx, y);
}

void e_daxpyi(const int *nz, const double *a, const double *x, const int *indx, double *y) {
  if (*nz > 0 && *a != 0.0) qvk::sparse_paths().axpyi(*nz, *a, x, indx, y);
}

// Order: s = 0.0, then s := s + x(i)*y(indx(i)) for i = 1..nz, each product
// rounded first. The products are independent and run ahead; the adds form
// one chain, which no path may split.
double e_ddoti(const int *nz, const double *x, const int *indx, const double *y) {
  const int n = *nz;
  double s = 0.0;
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const double p0 = x[i] * y[indx[i] - 1], p1 = x[i + 1] * y[indx[i + 1] - 1];
    const double p2 = x[i + 2] * y[indx[i + 2] - 1], p3 = x[i + 3] * y[indx[i + 3] - 1];
    s = s + p0;
    s = s + p1;
    s = s + p2;
    s = s + p3;
  }
  for (; i < n; ++i) s = s + x[i] * y[indx[i] - 1];
  return s;
}

}  // extern "C"

// Entries of the packed Cholesky factorization.
#include "QorVARDMathKernel/packed.h"
#include "kernels/packed/cholesky.h"

extern "C" {

void eaxfch2(const void *, const int *i1, const int *n, const double *tol, double *ap, int *info,
             double *piv) {
  // Rows before the first exist only from 1: a starting row below 1 starts
  // at row 1 instead of reading before the array.
  const int first = *i1 < 1 ? 1 : *i1;
  *info = first > *n ? 0 : qvk::cholesky_paths().factor(first, *n, *tol, ap, piv);
}

void eaxfch(const void *a0, const int *i1, const int *n, const double *tol, double *ap, int *info,
            double *piv) {
  eaxfch2(a0, i1, n, tol, ap, info, piv);
}

}  // extern "C"

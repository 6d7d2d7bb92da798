// Entries of e_idamax and damax: early exits and the magnitude rule.
#include <cmath>

#include "QorVARDMathKernel/vector.h"
#include "kernels/vector/amax.h"

namespace {

qvk::AmaxResult largest(int n, const double *x, int inc) {
  if (inc == 1 || inc == -1) return qvk::amax_paths().iamax(n, x);
  return qvk::amax_scan(n, x, inc);
}

}  // namespace

extern "C" {

int e_idamax(const int *n, const double *x, const int *incx) {
  if (*n <= 0) return 0;
  if (*n == 1) return 1;
  return largest(*n, x, *incx).k;
}

double damax(const int *n, const double *x, const int *incx) {
  if (*n <= 0) return 0.0;
  if (*n == 1) return std::fabs(x[0]);
  return largest(*n, x, *incx).m;
}

}  // extern "C"

// Largest magnitude and its position.
//
// Order: m = |v_1|, k = 1; for i = 2..n, unless |v_i| <= m, k = i and
// m = |v_i|. Ties keep the first; NaN never compares <= and so always
// replaces the maximum. Magnitude increment rule.
#include <cmath>

#include "QorVARDMathKernel/vector.h"
#include "kernels/vector/stride.h"

namespace {

struct Max {
  int k;
  double m;
};

Max scan(int n, const double *x, int inc) {
  const std::ptrdiff_t step = qvk::magnitude(inc);
  Max r{1, std::fabs(x[0])};
  std::ptrdiff_t ix = step;
  for (int i = 2; i <= n; ++i, ix += step) {
    const double a = std::fabs(x[ix]);
    if (!(a <= r.m)) {
      r.k = i;
      r.m = a;
    }
  }
  return r;
}

}  // namespace

extern "C" {

int e_idamax(const int *n, const double *x, const int *incx) {
  if (*n <= 0) return 0;
  if (*n == 1) return 1;
  return scan(*n, x, *incx).k;
}

double damax(const int *n, const double *x, const int *incx) {
  if (*n <= 0) return 0.0;
  return scan(*n, x, *incx).m;
}

}  // extern "C"

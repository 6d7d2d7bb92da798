// Sum of magnitudes.
//
// Order: one accumulator s from 0.0; s := s + |v_i| for i = 1..n strictly in
// order. The published routine takes mod(n, 6) terms and then groups of six,
// each term still added to the running sum in turn, so the plain loop is the
// same sum. No path may split it: the add latency is the bound, and the loop
// below keeps the loads and absolute values off that chain.
#include <cmath>

#include "QorVARDMathKernel/vector.h"
#include "kernels/vector/stride.h"

extern "C" double e_dasum(const int *n, const double *x, const int *incx) {
  const int nn = *n;
  if (nn <= 0) return 0.0;
  const std::ptrdiff_t step = qvk::magnitude(*incx);
  double s = 0.0;
  if (step == 1) {
    int i = 0;
    for (; i + 4 <= nn; i += 4) {
      const double a0 = std::fabs(x[i]), a1 = std::fabs(x[i + 1]);
      const double a2 = std::fabs(x[i + 2]), a3 = std::fabs(x[i + 3]);
      s = s + a0;
      s = s + a1;
      s = s + a2;
      s = s + a3;
    }
    for (; i < nn; ++i) s = s + std::fabs(x[i]);
    return s;
  }
  std::ptrdiff_t ix = 0;
  for (int i = 0; i < nn; ++i, ix += step) s = s + std::fabs(x[ix]);
  return s;
}

// Plane rotation, the 1979 formulation with u = 2a or u = 2b. Every product,
// quotient and sum is rounded in the order written.
#include <cmath>

#include "QorVARDMathKernel/vector.h"

extern "C" void e_drotg(double *a, double *b, double *c, double *s) {
  const double a0 = *a, b0 = *b;
  if (!(std::fabs(a0) <= std::fabs(b0))) {  // |a| > |b|, or unordered
    const double u = a0 + a0;
    const double v = b0 / u;
    const double r = std::sqrt(0.25 + v * v) * u;
    const double cc = a0 / r;
    const double ss = v * (cc + cc);
    *c = cc;
    *s = ss;
    *b = ss;
    *a = r;
    return;
  }
  if (b0 == 0.0) {
    *c = 1.0;
    *s = 0.0;
    return;
  }
  const double u = b0 + b0;
  const double v = a0 / u;
  const double r = std::sqrt(0.25 + v * v) * u;
  *a = r;
  const double ss = b0 / r;
  const double cc = v * (ss + ss);
  *s = ss;
  *c = cc;
  *b = cc != 0.0 ? 1.0 / cc : 1.0;
}

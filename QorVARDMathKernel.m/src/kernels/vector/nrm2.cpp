// Euclidean norm: the four-phase scaled algorithm of the 1979 Level 1 BLAS.
//
// Order: elements i = 1..n under the magnitude rule; sum from 0.0 and the
// scale xmax change only as the phases below say, one element at a time.
// Every quotient is rounded before it is squared, every square before it is
// added. The phases are sequential by nature, so there is one path; phase 3
// (no scaling), where long vectors spend their time, is a tight loop.
#include <cmath>

#include "QorVARDMathKernel/vector.h"
#include "kernels/vector/stride.h"

namespace {

const double kCutlo = 8.232e-11;  // 0x3DD6A0C149097512
const double kCuthi = 1.304e19;   // 0x43E69EEC5D27E300

enum Phase { kStart, kZero, kSmall, kLarge };

}  // namespace

extern "C" double e_dnrm2(const int *n, const double *x, const int *incx) {
  const int nn = *n;
  if (nn <= 0) return 0.0;
  const std::ptrdiff_t step = qvk::magnitude(*incx);
  double sum = 0.0, xmax = 0.0;
  Phase phase = kStart;
  std::ptrdiff_t ix = 0;
  for (int i = 0; i < nn; ++i, ix += step) {
    const double v = x[ix];
    const double a = std::fabs(v);
    bool mid = false;  // true: continue in phase 3 with this element
    switch (phase) {
      case kStart:
        if (a > kCutlo) {
          mid = true;
          break;
        }
        xmax = 0.0;
        phase = kZero;
        [[fallthrough]];
      case kZero:
        if (v == 0.0) continue;
        if (a > kCutlo) {
          mid = true;
          break;
        }
        xmax = a;
        sum = sum + (v / xmax) * (v / xmax);
        phase = kSmall;
        continue;
      case kSmall:
        if (a > kCutlo) {
          sum = (sum * xmax) * xmax;
          mid = true;
          break;
        }
        [[fallthrough]];
      case kLarge:
        // Scaled step, shared by phases 2 and 4.
        if (a <= xmax) {
          const double q = v / xmax;
          sum = sum + q * q;
        } else {
          const double t = xmax / v;
          sum = 1.0 + sum * (t * t);
          xmax = a;
        }
        continue;
    }
    if (!mid) continue;
    // Phase 3: mid-range values, no scaling, until one reaches hitest.
    const double hitest = kCuthi / static_cast<double>(static_cast<float>(nn));
    for (; i < nn; ++i, ix += step) {
      const double w = x[ix];
      if (std::fabs(w) >= hitest) break;
      sum = sum + w * w;
    }
    if (i == nn) return std::sqrt(sum);
    // Into phase 4 with element i.
    const double w = x[ix];
    sum = (sum / w) / w;
    xmax = std::fabs(w);
    const double q = w / xmax;
    sum = sum + q * q;
    phase = kLarge;
  }
  return xmax * std::sqrt(sum);
}

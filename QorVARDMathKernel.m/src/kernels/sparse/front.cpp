// Entry of the frontal pivot-block factorization: the operation counts of
// the call, then the selected path.
#include "QorVARDMathKernel/sparse.h"
#include "kernels/sparse/front.h"

extern "C" int easlff_nt(const int *n, const int *npiv, double *a, double *ratiomin,
                         const double *dorig, const double *tiny, const double *thr, int *count,
                         int *stats, float *flops1, float *flops2, int *status) {
  *status = 0;
  const int nn = *n, np = *npiv;
  // Counts in double, in the order written, then added in single precision.
  const double p = np, m = nn;
  const double f1 = ((2 * p * m - p * p) + p * (m * m + 2)) - 0.5 * p * (p + 1) * (2 * m + 1) +
                    p * (p + 1) * (2 * p + 1) / 6;
  const double f2 = p + 4 * (m * p - 0.5 * p * (p + 1));
  *flops1 = *flops1 + static_cast<float>(f1);
  *flops2 = *flops2 + static_cast<float>(f2);
  if (np <= 0) return 0;
  const long long z = static_cast<long long>(nn) * np - static_cast<long long>(np) * (np + 1) / 2;
  const qvk::FrontArgs f{nn, np, a, ratiomin, dorig, *tiny, *thr, count, stats, status,
                         static_cast<std::ptrdiff_t>(z)};
  return qvk::front_paths().factor(f);
}

// The plain order of the packed Cholesky factorization: the definition that
// every other path must reproduce bit for bit.
#include <cmath>

#include "kernels/packed/cholesky.h"
#include "kernels/packed/layout.h"

namespace qvk {
namespace {

int factor(int i1, int n, double tol, double *ap, double *piv) {
  for (int i = i1; i <= n; ++i) {
    double *li = ap + packed::col_start(i);  // li[k-1] = l(i,k)
    // Step 1: the off-diagonal elements of row i, left to right.
    for (int j = 1; j < i; ++j) {
      const double *lj = ap + packed::col_start(j);
      double t = li[j - 1];
      for (int k = 1; k < j; ++k) t = t - li[k - 1] * lj[k - 1];
      li[j - 1] = t / lj[j - 1];
    }
    // Step 2: the pivot.
    double d = li[i - 1];
    for (int k = 1; k < i; ++k) d = d - li[k - 1] * li[k - 1];
    // Step 3: stop on a pivot not above the threshold (NaN passes).
    if (d <= tol) {
      *piv = d;
      return i;
    }
    li[i - 1] = std::sqrt(d);
  }
  return 0;
}

}  // namespace

const CholeskyPaths &cholesky_paths(int level) {
  static void (*const fill[kIsaCount])(CholeskyPaths &) = {nullptr, cholesky_fill_sse2,
                                                           cholesky_fill_avx2,
                                                           cholesky_fill_avx512};
  static const PathTable<CholeskyPaths> table(CholeskyPaths{factor}, fill);
  return table.level[level];
}

}  // namespace qvk

// Packed Cholesky with the elements of a row computed G at a time: their G
// running sums share each pass over the row's earlier elements (one load of
// l(i,k) feeds G products), then the small triangle among them is finished
// in ascending columns. Each sum keeps exactly the order of the plain path.
#include <cmath>

#include "kernels/packed/cholesky.h"
#include "kernels/packed/layout.h"

namespace {

using qvk::packed::col_start;

// Elements j..j+G-1 of row li (1-based j), from rows lj[0..G-1].
template <int G>
inline void row_group(double *li, const double *const *lj, int j) {
  double t[G];
  for (int m = 0; m < G; ++m) t[m] = li[j - 1 + m];
  // Main body: the columns k < j common to the G sums.
  int k = 0;
  for (; k < j - 1; ++k) {
    const double lik = li[k];
    for (int m = 0; m < G; ++m) t[m] = t[m] - lik * lj[m][k];
  }
  // Triangle: sum m continues with columns j..j+m-1, just computed.
  for (int m = 0; m < G; ++m) {
    for (int q = 0; q < m; ++q) t[m] = t[m] - li[j - 1 + q] * lj[m][j - 1 + q];
    li[j - 1 + m] = t[m] / lj[m][j - 1 + m];
  }
}

template <int G>
int factor_grouped(int i1, int n, double tol, double *ap, double *piv) {
  for (int i = i1; i <= n; ++i) {
    double *li = ap + col_start(i);
    int j = 1;
    // Groups of G elements, then the (i-1) mod G left singly.
    for (; j + G - 1 < i; j += G) {
      const double *lj[G];
      for (int m = 0; m < G; ++m) lj[m] = ap + col_start(j + m);
      row_group<G>(li, lj, j);
    }
    for (; j < i; ++j) {
      const double *lj = ap + col_start(j);
      row_group<1>(li, &lj, j);
    }
    // Pivot: one running difference; two products computed ahead.
    double d = li[i - 1];
    int k = 0;
    for (; k + 2 <= i - 1; k += 2) {
      const double p0 = li[k] * li[k], p1 = li[k + 1] * li[k + 1];
      d = d - p0;
      d = d - p1;
    }
    for (; k < i - 1; ++k) d = d - li[k] * li[k];
    if (d <= tol) {
      *piv = d;
      return i;
    }
    li[i - 1] = std::sqrt(d);
  }
  return 0;
}

}  // namespace

void qvk::cholesky_fill_sse2(CholeskyPaths &p) { p.factor = factor_grouped<8>; }

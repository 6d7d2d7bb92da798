// The plain order of the stored-matrix product: the definition that every
// other path must reproduce bit for bit.
#include "kernels/packed/layout.h"
#include "kernels/packed/mvm.h"

namespace qvk {

using packed::idx;
using packed::row_diag;
using packed::row_first;

namespace {

// Stored entries only: rows outside, vectors inside.
void plain(int m, int n, int nvec, const int *ja, const int *ia, const double *a,
           const double *x, double *y) {
  for (int i = 1; i <= m; ++i) {
    const idx first = row_first(ia, i), diag = row_diag(ia, i);
    for (int k = 0; k < nvec; ++k) {
      const double *xk = x + static_cast<idx>(k) * n;
      double s = a[diag] * xk[i - 1];
      for (idx p = first; p < diag; ++p) s = s + a[p] * xk[ja[p] - 1];
      y[static_cast<idx>(k) * n + i - 1] = s;
    }
  }
}

// Symmetric reading: vectors outside, rows inside.
void symmetric(int m, int n, int nvec, const int *ja, const int *ia, const double *a,
               const double *x, double *y) {
  for (int k = 0; k < nvec; ++k) {
    const double *xk = x + static_cast<idx>(k) * n;
    double *yk = y + static_cast<idx>(k) * n;
    for (int i = 1; i <= m; ++i) {
      const idx first = row_first(ia, i), diag = row_diag(ia, i);
      const double xi = xk[i - 1];
      double s = a[diag] * xi;
      for (idx p = first; p < diag; ++p) {
        const int c = ja[p] - 1;
        s = s + a[p] * xk[c];
        yk[c] = yk[c] + a[p] * xi;
      }
      yk[i - 1] = s;
    }
  }
}

}  // namespace

const MvmPaths &mvm_paths(int level) {
  static void (*const fill[kIsaCount])(MvmPaths &) = {nullptr, mvm_fill_sse2, nullptr, nullptr};
  static const PathTable<MvmPaths> table(MvmPaths{plain, symmetric}, fill);
  return table.level[level];
}

}  // namespace qvk

// Entry of the stored-matrix product: the diagonal case, then the mode.
#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/vector.h"
#include "kernels/packed/layout.h"
#include "kernels/packed/mvm.h"

extern "C" void eaxmvm(const int *mode, const int *nnz, const int *m, const int *n,
                       const int *nvec, const int *ja, const int *ia, const double *a,
                       const double *x, double *y) {
  using qvk::packed::idx;
  const int order = *n, vectors = *nvec;
  // No rows: nothing to form in any mode (and no address to take from a
  // count that is not one).
  if (order <= 0) return;
  if (*nnz == order) {
    // Every row holds its diagonal only: y = diag(a)*x, whatever the mode;
    // the first vector is formed even when nvec < 1.
    const int count = vectors > 1 ? vectors : 1;
    for (int k = 0; k < count; ++k) {
      const double *xk = x + static_cast<idx>(k) * order;
      double *yk = y + static_cast<idx>(k) * order;
      for (int i = 0; i < order; ++i) yk[i] = a[i] * xk[i];
    }
    return;
  }
  if (*mode == 2) {
    if (*m >= 1 && vectors >= 1) qvk::mvm_paths().plain(*m, order, vectors, ja, ia, a, x, y);
  } else if (*mode == 1) {
    static const int one = 1;
    for (int k = 0; k < vectors; ++k) e_dzero(n, y + static_cast<idx>(k) * order, &one);
    if (*m >= 1 && vectors >= 1) qvk::mvm_paths().symmetric(*m, order, vectors, ja, ia, a, x, y);
  }
  // Any other mode: nothing.
}

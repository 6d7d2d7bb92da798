// Cholesky solves with the upper packed factor U of A = U'U: forward with U'
// (the transposed upper solve), then backward with U (the upper solve
// without its zero test), column by column. Each element gets the same
// operations in the same order whether its column is solved alone or with
// others.
#include <cstddef>

#include "QorVARDMathKernel/solve.h"
#include "kernels/dense/tpsv.h"

namespace {

inline void solve_column(const qvk::TpsvPaths &p, int n, const double *ap, double *b) {
  p.upper_t(n, ap, b, false);
  p.upper_n(n, ap, b, false, false);
}

}  // namespace

extern "C" {

void eacort(const int *, const int *n, const double *ap, double *b) {
  if (*n >= 1) solve_column(qvk::tpsv_paths(), *n, ap, b);
}

void dpptrs_2(const char *uplo, const int *n, const int *nrhs, const double *ap, double *b,
              const int *ldb, int *info, int) {
  if (*uplo != 'U' && *uplo != 'u') {
    *info = 1;
    return;
  }
  if (*nrhs == 1) {
    // One right-hand side: ldb is not read.
    const int nn = static_cast<int>(static_cast<unsigned>(*n) * (static_cast<unsigned>(*n) + 1) / 2);
    eacort(&nn, n, ap, b);
    return;
  }
  if (*n < 1) return;
  if (*nrhs >= 1) qvk::tpsv_paths().chol_columns(*n, *nrhs, ap, b, *ldb);
}

void e_dpptrs(const char *uplo, const int *n, const int *nrhs, const double *ap, double *b,
              const int *ldb, int *info, int uplo_len) {
  dpptrs_2(uplo, n, nrhs, ap, b, ldb, info, uplo_len);
}

}  // extern "C"

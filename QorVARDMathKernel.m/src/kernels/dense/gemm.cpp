// Entry of the matrix-matrix product: quick return, checks, the alpha = 0
// or k = 0 step, then the general case of the selected path.
#include <climits>

#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/vector.h"
#include "kernels/dense/cores.h"
#include "kernels/dense/gemm.h"
#include "kernels/dense/stop.h"

namespace {

bool letter_ok(char t) {
  return t == 'N' || t == 'n' || t == 'T' || t == 't' || t == 'C' || t == 'c';
}
bool transposed(char t) { return t != 'N' && t != 'n'; }
int at_least_one(int v) { return v > 1 ? v : 1; }

}  // namespace

extern "C" void eagemm(const char *transa, const char *transb, const int *m, const int *n,
                       const int *k, const double *alpha, const double *a, const int *lda,
                       const double *b, const int *ldb, const double *beta, double *c,
                       const int *ldc, int /*transa_len*/, int /*transb_len*/) {
  const int mm = *m, nn = *n, kk = *k;
  const double al = *alpha, be = *beta;
  // Quick return before any check.
  if (mm == 0 || nn == 0 || ((al == 0.0 || kk == 0) && be == 1.0)) return;
  const char ta = *transa, tb = *transb;
  const bool ok = letter_ok(ta) && letter_ok(tb) && mm >= 0 && nn >= 0 && kk >= 0 &&
                  *lda >= at_least_one(transposed(ta) ? kk : mm) &&
                  *ldb >= at_least_one(transposed(tb) ? nn : kk) && *ldc >= at_least_one(mm);
  if (!ok) qvk::product_stop("DGEMM FATAL ERROR");
  if (al == 0.0 || kk == 0) {
    const int ld = *ldc, one = 1;
    // One call over the whole of C when its columns are contiguous (and the
    // count fits the kernels' 32-bit length), one per column otherwise.
    const bool whole = ld == mm && static_cast<long long>(mm) * nn <= INT_MAX;
    const int len = whole ? mm * nn : mm, calls = whole ? 1 : nn;
    for (int j = 0; j < calls; ++j) {
      double *cj = c + static_cast<std::ptrdiff_t>(j) * ld;
      if (be == 0.0)
        e_dzero(&len, cj, &one);
      else
        e_dscal(&len, beta, cj, &one);
    }
    return;
  }
  const qvk::CoreTuning &core = qvk::core_tuning();
  qvk::gemm_paths(qvk::core_level(core.gemm_level))
      .general[core.gemm_shape](transposed(ta), transposed(tb), mm, nn, kk, al, a, *lda, b, *ldb, be,
                            c, *ldc);
}

// Entry of the packed triangular solve.
#include "QorVARDMathKernel/solve.h"
#include "kernels/dense/tpsv.h"

namespace {
inline bool is(const char *opt, char upper) { return *opt == upper || *opt == upper + ('a' - 'A'); }
}  // namespace

extern "C" void e_dtpsv(const char *uplo, const char *trans, const char *diag, const int *n,
                        const double *ap, double *x, const int *incx, int, int, int) {
  const int len = *n;
  if (len <= 0) return;
  const bool upper = is(uplo, 'U'), notrans = is(trans, 'N'), unit = !is(diag, 'N');
  if (*incx != 1) {
    qvk::tpsv_strided(upper, !notrans, unit, len, ap, x, *incx);
    return;
  }
  const qvk::TpsvPaths &p = qvk::tpsv_paths();
  if (notrans && upper)
    p.upper_n(len, ap, x, unit, true);
  else if (notrans)
    p.lower_n(len, ap, x, unit);
  else if (upper)
    p.upper_t(len, ap, x, unit);
  else
    p.lower_t(len, ap, x, unit);
}

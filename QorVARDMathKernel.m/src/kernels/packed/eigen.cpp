// Entries of the symmetric eigen solver and its four steps.
#include <cmath>
#include <cstddef>

#include "QorVARDMathKernel/algorithms.h"
#include "QorVARDMathKernel/vector.h"
#include "kernels/packed/eigen.h"

extern "C" {

// An order below 1 names no matrix: every step returns with nothing read or
// written (the plain steps would touch ap(1), d(1), e(1) and z(1,1)).

void eaxetr(const int *n, double *ap, double *d, double *e) {
  if (*n >= 1) qvk::eigen_paths().tridiagonalize(*n, ap, d, e);
}

int eaxeql(const int *n, double *d, double *e, double *z, int *ierr) {
  if (*n < 1) return 0;
  const int l = qvk::eigen_paths().ql(*n, d, e, z);
  if (l == 0) return 0;
  *ierr = l;
  return 1;
}

void eaxeor(const int *iord, const int *n, double *d, double *z) {
  const int len = *n, one = 1;
  const bool ascending = *iord == 1;
  for (int i = 1; i < len; ++i) {
    // The first of equal candidates wins: replace only on a strict gain.
    int k = i;
    for (int j = i + 1; j <= len; ++j) {
      if (ascending ? d[j - 1] < d[k - 1] : std::fabs(d[j - 1]) > std::fabs(d[k - 1])) k = j;
    }
    if (k == i) continue;
    const double t = d[i - 1];
    d[i - 1] = d[k - 1];
    d[k - 1] = t;
    e_dswap(n, z + static_cast<std::ptrdiff_t>(i - 1) * len, &one,
            z + static_cast<std::ptrdiff_t>(k - 1) * len, &one);
  }
}

void eaxevp(const int *n, const double *ap, double *z) {
  if (*n >= 3) qvk::eigen_paths().back(*n, ap, z);
}

int eaxeig(const int *n, const int *iord, double *ap, double *d, double *z, double *e,
           int *ierr) {
  const int len = *n, one = 1;
  if (len < 1) return 0;
  const qvk::EigenPaths &paths = qvk::eigen_paths();
  paths.tridiagonalize(len, ap, d, e);
  // z = 0, column by column (n*n may not fit an int).
  for (int j = 0; j < len; ++j) e_dzero(n, z + static_cast<std::ptrdiff_t>(j) * len, &one);
  const int l = paths.ql(len, d, e, z);
  if (l != 0) {
    *ierr = l;
    return 1;
  }
  eaxeor(iord, n, d, z);
  if (len >= 3) paths.back(len, ap, z);
  return 0;
}

}  // extern "C"

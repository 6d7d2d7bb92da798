// Gauss-Jordan inversion in place, and the eigen-based pseudo-inverse.
#include <cmath>
#include <cstddef>

#include "QorVARDMathKernel/algorithms.h"
#include "QorVARDMathKernel/vector.h"

namespace {

using idx = std::ptrdiff_t;
const int kOne = 1;

// General matrix: column interchanges chosen along the pivot row, undone on
// the rows at the end.
void invert_general(idx lda, int n, int *ipiv, double *a) {
  auto at = [=](int i, int j) -> double & { return a[(i - 1) + (j - 1) * lda]; };
  auto col = [=](int j) { return a + (j - 1) * lda; };
  const int ld = static_cast<int>(lda);
  for (int i = 1; i <= n; ++i) ipiv[i - 1] = i;
  for (int k = 1; k <= n; ++k) {
    // 1. Largest magnitude of row k from column k on: ties go to the last
    // column, NaNs are never taken.
    double big = 0.0;
    int jmax = k;
    for (int j = k; j <= n; ++j) {
      const double v = std::fabs(at(k, j));
      if (v >= big) {
        big = v;
        jmax = j;
      }
    }
    // 2. A diagonal that ties with the maximum stays.
    if (std::fabs(at(k, k)) < big) {
      const int t = ipiv[k - 1];
      ipiv[k - 1] = ipiv[jmax - 1];
      ipiv[jmax - 1] = t;
      e_dswap(&n, col(k), &kOne, col(jmax), &kOne);
    }
    // 3. Column k scaled by -1/p.
    const double r = 1.0 / at(k, k), minus_r = -r;
    at(k, k) = 0.0;
    e_dscal(&n, &minus_r, col(k), &kOne);
    // 4. Every other column eliminated with column k.
    for (int j = 1; j <= n; ++j) {
      if (j == k) continue;
      const double t = at(k, j);
      at(k, j) = t * r;
      e_daxpy(&n, &t, col(k), &kOne, col(j), &kOne);
    }
    // 5.
    at(k, k) = r;
  }
  // The interchanges undone on the rows.
  for (int i = 1; i <= n; ++i) {
    if (ipiv[i - 1] == i) continue;
    int l = i + 1;
    while (l <= n && ipiv[l - 1] != i) ++l;
    if (l > n) continue;  // not a permutation: ipiv was changed under us
    ipiv[l - 1] = ipiv[i - 1];
    ipiv[i - 1] = i;
    e_dswap(&n, &at(i, 1), &ld, &at(l, 1), &ld);
  }
}

// Symmetric matrix held in its upper triangle; the strictly lower triangle
// is scratch until the final fill. Returns 1 when the tested variant's
// pivot test fails (the matrix left as the earlier steps made it), else 0.
int invert_symmetric(idx lda, int n, bool tested, double *a) {
  auto at = [=](int i, int j) -> double & { return a[(i - 1) + (j - 1) * lda]; };
  auto col = [=](int j) { return a + (j - 1) * lda; };
  for (int k = 1; k <= n; ++k) {
    // 1. An absolute pivot test; a NaN pivot fails it.
    if (tested && !(std::fabs(at(k, k)) > 1.0E-8)) return 1;
    // 2.
    const double q = -(1.0 / at(k, k));
    at(k, k) = 0.0;
    // 3. Column k made whole: row k left of the diagonal negated from the
    // upper column, then copied below the diagonal.
    for (int i = 1; i < k; ++i) at(k, i) = -at(i, k);
    for (int i = k + 1; i <= n; ++i) at(i, k) = at(k, i);
    // 4. Descending columns: a(j,k) is overwritten only after every column
    // that still reads it has been updated.
    for (int j = n; j >= 1; --j) {
      if (j == k) continue;
      const double alpha = at(k, j) * q;
      at(k, j) = alpha;
      e_daxpy(&j, &alpha, col(k), &kOne, col(j), &kOne);
      at(j, k) = alpha;
    }
    // 5.
    at(k, k) = -q;
  }
  for (int j = 2; j <= n; ++j)
    for (int i = 1; i < j; ++i) at(j, i) = at(i, j);
  return 0;
}

}  // namespace

extern "C" {

void eaxinv(const int *mode, const int *lda, const int *n, int *ipiv, int *info, double *a) {
  const int order = *n;
  if (*mode == 1) {
    invert_general(*lda, order, ipiv, a);
    return;
  }
  const bool tested = *mode != 2;
  if (tested) *info = 0;
  if (invert_symmetric(*lda, order, tested, a)) *info = 1;
}

int eaxinvs(const int *n, const double *tol, double *a, double *w, double *z, int *info) {
  const int order = *n;
  if (order > 30) {
    *info = -1;
    return 1;
  }
  if (order < 1) {
    *info = 0;
    return 0;
  }
  const idx ld = order;
  // 1. The threshold: rows outer, columns inner, each term times tol.
  const double t = *tol;
  double thr = 0.0;
  for (idx i = 0; i < ld; ++i)
    for (idx j = 0; j < ld; ++j) thr = thr + std::fabs(a[i + j * ld]) * t;
  // 2. The lower triangle by rows into w, upper packed.
  for (idx i = 1; i <= ld; ++i)
    for (idx j = 1; j <= i; ++j) w[i * (i - 1) / 2 + j - 1] = a[(i - 1) + (j - 1) * ld];
  // 3. Eigenpairs, ascending; the order limit matches these two vectors.
  double lambda[30], work[30];
  if (eaxeig(n, &kOne, w, lambda, z, work, info) != 0) return 1;
  // 4. Small eigenvalues dropped and counted, the rest inverted.
  int dropped = 0;
  for (int i = 0; i < order; ++i) {
    if (std::fabs(lambda[i]) <= thr) {
      lambda[i] = 0.0;
      ++dropped;
    } else {
      lambda[i] = 1.0 / lambda[i];
    }
  }
  *info = dropped;
  // 5. a = Z*diag(lambda)*Z'.
  ebhpap(n, z, lambda, w, a);
  return 0;
}

}  // extern "C"

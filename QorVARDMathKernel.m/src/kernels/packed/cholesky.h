// Packed Cholesky family: the row-oriented (bordered) factorization A = LL'
// with L by rows in the upper packed array.
//
// Order: for each row i from the starting row, for each column j = 1..i-1
// ascending: t = a(i,j); t := t - l(i,k)*l(j,k) for k = 1..j-1 ascending,
// each product rounded before it is subtracted; l(i,j) = t / l(j,j), a true
// division, stored at once. Pivot: d = a(i,i); d := d - l(i,k)*l(i,k) for
// k = 1..i-1 ascending. d <= tol stops at row i (its diagonal left as it
// was, later rows untouched); otherwise l(i,i) = sqrt(d), correctly rounded.
//
// Paths may carry the running sums of several elements of a row together
// over their common columns and finish the small triangle among them
// afterwards, and may advance several rows together over the columns that
// only earlier rows feed; none may split or reorder one running sum, and a
// failure must leave the matrix as the plain order leaves it.
#ifndef QVK_KERNELS_PACKED_CHOLESKY_H
#define QVK_KERNELS_PACKED_CHOLESKY_H

#include "kernels/vector/isa.h"

namespace qvk {

struct CholeskyPaths {
  // Factors rows i1..n (1 <= i1). Returns 0, or the failed row with *piv set.
  int (*factor)(int i1, int n, double tol, double *ap, double *piv);
};

void cholesky_fill_sse2(CholeskyPaths &p);
void cholesky_fill_avx2(CholeskyPaths &p);
void cholesky_fill_avx512(CholeskyPaths &p);

const CholeskyPaths &cholesky_paths(int level);
inline const CholeskyPaths &cholesky_paths() { return cholesky_paths(isa_active()); }

}  // namespace qvk

#endif

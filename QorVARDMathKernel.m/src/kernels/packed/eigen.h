// Symmetric eigen family: Householder reduction of the packed matrix to
// tridiagonal form, implicit QL with accumulated rotations, and the back
// transformation with the stored Householder vectors.
//
// Order. Reduction, rows i = n..3 of the lower triangle by rows, l = i-1:
// h = sum of d(k)^2, k ascending from 0.0, over the copied row; the sum
// s(j) of the leading block times d is one running sum per j, k ascending
// (row j left of the diagonal, then column j from the diagonal down); the
// rank-two update a(j,k) = (a(j,k) - d(j)*e(k)) - e(j)*d(k) after e(j) has
// been corrected. QL: each rotation updates z(k,i+1) = s*z(k,i) + c*f and
// z(k,i) = c*z(k,i) - s*f for every row k, f the old z(k,i+1). Back
// transformation, rows i = 3..n ascending: for each column j of z,
// s = sum of u(k)*z(k,j), k ascending from 0.0, times c = -1/h; then
// z(k,j) += s*u(k).
//
// Paths may run several independent elements side by side (the rows k of a
// rotation or of an update, the columns j of the back transformation, the
// elements s(j) of the reduction's product); none may split or reorder one
// running sum.
#ifndef QVK_KERNELS_PACKED_EIGEN_H
#define QVK_KERNELS_PACKED_EIGEN_H

#include "kernels/vector/isa.h"

namespace qvk {

// n >= 1 for every entry.
struct EigenPaths {
  void (*tridiagonalize)(int n, double *ap, double *d, double *e);
  // Returns 0, or the index l that failed to converge in 30 iterations.
  int (*ql)(int n, double *d, double *e, double *z);
  void (*back)(int n, const double *ap, double *z);
};

void eigen_fill_sse2(EigenPaths &p);
void eigen_fill_avx2(EigenPaths &p);
void eigen_fill_avx512(EigenPaths &p);

const EigenPaths &eigen_paths(int level);
inline const EigenPaths &eigen_paths() { return eigen_paths(isa_active()); }

}  // namespace qvk

#endif

// Packed triangular solve family: T*x = b and T'*x = b with T in the upper
// or lower packed layout, and the Cholesky solves built on them.
//
// Order: the reference DTPSV, step for step. Not transposed, upper: for
// j = n down to 1, if x(j) != 0 (the test can be switched off for the
// Cholesky solves): x(j) := x(j)/t(j,j) (non-unit), then
// x(i) := x(i) - x(j)*t(i,j) for i < j. Not transposed, lower: the same for
// j = 1..n and i > j. Transposed, upper: for j = 1..n, s = x(j);
// s := s - t(i,j)*x(i) for i = 1..j-1 ascending; x(j) := s/t(j,j)
// (non-unit). Transposed, lower: for j = n down to 1, s = x(j);
// s := s - t(i,j)*x(i) for i = n down to j+1; x(j) := s/t(j,j). Every
// product is rounded before it is subtracted and every division is a true
// division.
//
// The Cholesky solve with several columns runs, as a reference, rows
// outside and columns inside: forward, for i = 1..n, for k < i ascending,
// b(i,c) := b(i,c) - u(k,i)*b(k,c) for every column, then the division;
// backward, for i = n down to 1, the division, then for k = i-1 down to 1,
// b(k,c) := b(k,c) - u(k,i)*b(i,c). Each element thus gets exactly the
// operations of its column solved alone.
//
// Paths may update the elements of one column update side by side (each
// element receives its updates in the same order whatever the grouping) and
// may carry several running sums s of the transposed solves together; none
// may split or reorder one running sum.
#ifndef QVK_KERNELS_DENSE_TPSV_H
#define QVK_KERNELS_DENSE_TPSV_H

#include <cstddef>

#include "kernels/vector/isa.h"

namespace qvk {

// Unit-stride solves, n >= 1. unit: the diagonal is 1 and not read.
// skip_zero: the zero test of the non-transposed upper solve (the Cholesky
// back substitution runs without it).
struct TpsvPaths {
  void (*upper_n)(int n, const double *ap, double *x, bool unit, bool skip_zero);
  void (*lower_n)(int n, const double *ap, double *x, bool unit);
  void (*upper_t)(int n, const double *ap, double *x, bool unit);
  void (*lower_t)(int n, const double *ap, double *x, bool unit);
  // Cholesky solve U'U X = B, n >= 1, nrhs >= 1 columns of leading
  // dimension ldb: each column the transposed upper solve then the upper
  // solve without its zero test.
  void (*chol_columns)(int n, int nrhs, const double *ap, double *b, std::ptrdiff_t ldb);
};

void tpsv_fill_sse2(TpsvPaths &p);
void tpsv_fill_avx2(TpsvPaths &p);
void tpsv_fill_avx512(TpsvPaths &p);

const TpsvPaths &tpsv_paths(int level);
inline const TpsvPaths &tpsv_paths() { return tpsv_paths(isa_active()); }

// Any stride (standard increment rule), one element at a time; the order
// above with v_i in place of x(i).
void tpsv_strided(bool upper, bool trans, bool unit, int n, const double *ap, double *x,
                  int incx);

}  // namespace qvk

#endif

/* Packed and stored-layout algebra: typed copy and clear, byte fill and copy,
 * dot product, random step, the product on the diagonal-last row layout and
 * the resumable packed Cholesky factorization.
 *
 * The calling convention is that of vector.h: C linkage, every argument by
 * reference, 32-bit int, IEEE binary64 reals, 1-based descriptions.
 *
 * Layouts (1-based positions):
 *   - Upper packed, n(n+1)/2 reals: (i, j), i <= j, at i + j(j-1)/2; read
 *     the other way, the lower triangle by rows, (r, c), c <= r, at
 *     c + r(r-1)/2. A Cholesky factor there is U of A = U'U by columns.
 *   - Diagonal-last rows of a sparse n-by-n matrix: ia (n+1 ints), ja and a.
 *     Row i holds positions ia(i)+1 .. ia(i+1); its diagonal is the last one,
 *     a(ia(i+1)), always present; ia(1) is not read and stands for 0; ja of a
 *     diagonal position is not read. nnz = ia(n+1). For the symmetric reading
 *     each row holds only columns smaller than the row.
 *   - Element type code t of the typed copy and clear:
 *       5 double, 3 int, 4 four-byte item, 2 two-byte item,
 *       t < 0 character item of -t bytes (cleared to blanks),
 *       0, 1, t >= 6 item of t bytes (copied, never cleared).
 *
 * No routine here checks its arguments: counts, codes and addresses are
 * trusted. None keeps state or allocates; all are reentrant.
 */
#ifndef QORVARDMATHKERNEL_PACKED_H
#define QORVARDMATHKERNEL_PACKED_H

#include "QorVARDMathKernel/export.h"

QVK_EXTERN_C_BEGIN

/* Typed copy of n elements, dst := src.
 * [in] t type code; [in] n element count; [in] src; [out] dst.
 * t = 3: e_icopy at unit stride; t = 5: e_dcopy at unit stride; any other t:
 * |t|*n bytes through ecrccop (4-byte items are bytes, not integers).
 * Overlapping arrays give the result of a copy through a temporary. n <= 0
 * copies nothing. */
QVK_EXPORT void eaxcpy(const int *t, const int *n, const void *src, void *dst);

/* Typed clear of n elements. Note the order: the array before the count.
 * [in] t type code; [out] x; [in] n element count.
 * t = 3 or 4: n ints set to 0; t = 5: n doubles set to +0.0; t = 2: 2n zero
 * bytes; t < 0: (-t)*n blanks (' '); t = 0, 1 or >= 6: nothing is written.
 * n <= 0 writes nothing. */
QVK_EXPORT void eaxraz(const int *t, void *x, const int *n);

/* Byte fill: sets nbytes bytes of x to the first byte of fill.
 * [out] x; [in] nbytes (<= 0 writes nothing); [in] fill. */
QVK_EXPORT void eaxmac(void *x, const int *nbytes, const void *fill);

/* Byte copy of nbytes bytes from src to dst, with the result of a copy
 * through a temporary whenever the regions overlap, in either direction.
 * [in] src; [in] nbytes (<= 0 copies nothing); [out] dst. src = dst does
 * nothing. */
QVK_EXPORT void ecrccop(const void *src, const int *nbytes, void *dst);

/* Returns the dot product of x and y, operation for operation the reference
 * DDOT: one sum from 0.0; at unit increments the first mod(n, 5) products
 * one at a time, then groups of five added left to right; otherwise one
 * product at a time under the standard increment rule.
 * [in] n (< 1 gives 0.0); [in] x(*), incx; [in] y(*), incy. */
QVK_EXPORT double eaxscl(const int *n, const double *x, const int *incx,
                         const double *y, const int *incy);

/* One step of the multiplicative congruential generator with multiplier
 * 65539: seed := seed*65539 modulo 2^32 (as a signed 32-bit value), replaced
 * by -2147483648 when that product is 0; r := seed * c, c the double
 * nearest 1/2147483647 (bits 0x3E00000000200000).
 * [in,out] seed; [out] r, in [-2147483648*c, 1]. */
QVK_EXPORT void eaxrnd(int *seed, double *r);

/* Y := A*X for a sparse matrix in the diagonal-last row layout and nvec
 * vectors.
 * [in] mode   1: symmetric reading (each stored off-diagonal value stands
 *             for both mirror positions; rows may hold only columns smaller
 *             than the row); 2: stored entries only; other values: nothing,
 *             except in the diagonal case.
 * [in] nnz    number of stored entries, ia(n+1). nnz = n is the diagonal
 *             case, whatever the mode: y(i,k) = a(i)*x(i,k) for i = 1..n and
 *             k = 1..max(nvec, 1) (the first column is formed even for
 *             nvec <= 0); m and ja are not used.
 * [in] m      rows whose products are formed, m <= n.
 * [in] n      order, and leading dimension of x and y.
 * [in] nvec   number of vectors.
 * [in] ja(nnz), ia(n+1), a(nnz): the matrix.
 * [in] x(n, nvec); [out] y(n, nvec). x and y must not overlap.
 * Mode 2: y(i,k) = a(diag)*x(i,k) + the off-diagonal products added one at
 * a time in storage order, rows 1..m (m < 1: nothing); rows m+1..n of y are
 * not touched. Mode 1: y is first cleared (all n rows), then for rows
 * i = 1..m in order the gathered sum as in mode 2 is assigned to y(i,k)
 * while each a(p)*x(i,k) is added to y(ja(p),k). Each vector gets exactly
 * the operations it would get alone. */
QVK_EXPORT void eaxmvm(const int *mode, const int *nnz, const int *m,
                       const int *n, const int *nvec, const int *ja,
                       const int *ia, const double *a, const double *x,
                       double *y);

/* In-place Cholesky factorization A = LL' (L by rows in the upper packed
 * array, i.e. A = U'U with U by columns), row by row from row i1, so that a
 * matrix grown by new last rows is factored without redoing earlier ones.
 * [in] a0     not read.
 * [in] i1     first row to factor; rows 1..i1-1 already hold factor rows.
 * [in] n      order, the last row to factor.
 * [in] tol    pivot threshold: a pivot d <= tol stops the factorization.
 * [in,out] ap(n(n+1)/2) the matrix, overwritten by the factor.
 * [out] info  0 on success (also when i1 > n: nothing factored); otherwise
 *             the row i whose pivot failed.
 * [out] piv   the failed pivot d; written only on failure.
 * Each element is a running difference from the matrix entry, products
 * subtracted one at a time in ascending column order, then a true division
 * by the earlier row's diagonal; the pivot likewise, then its correctly
 * rounded square root. On failure at row i, rows i1..i-1 are complete, row i
 * holds its new off-diagonal values and still its original diagonal, and
 * later rows are untouched: the caller may change row i and resume with
 * i1 = i. A NaN pivot is not reported (its square root is stored). */
QVK_EXPORT void eaxfch(const void *a0, const int *i1, const int *n,
                       const double *tol, double *ap, int *info, double *piv);

/* The worker behind eaxfch; same arguments, same results. */
QVK_EXPORT void eaxfch2(const void *a0, const int *i1, const int *n,
                        const double *tol, double *ap, int *info, double *piv);

QVK_EXTERN_C_END

#endif

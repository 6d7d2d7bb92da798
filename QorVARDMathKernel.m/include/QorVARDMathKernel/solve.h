/* Packed triangular and Cholesky solves.
 *
 * The calling convention is that of vector.h: C linkage, every argument by
 * reference, 32-bit int, IEEE binary64 reals, 1-based descriptions. Option
 * letters are single bytes of which only the first is examined; their hidden
 * lengths (one int by value per letter, after every other argument, as a
 * Fortran compiler passes them) are never read.
 *
 * Packed layouts (1-based positions) of an n-by-n triangle, n(n+1)/2 reals:
 *   upper: t(i, j), i <= j, at i + j(j-1)/2;
 *   lower: t(i, j), j <= i, at i + (j-1)(2n-j)/2.
 *
 * Nothing here checks its arguments beyond what each block states; a zero
 * diagonal divides by zero under IEEE rules. No state, no allocation.
 */
#ifndef QORVARDMATHKERNEL_SOLVE_H
#define QORVARDMATHKERNEL_SOLVE_H

#include "QorVARDMathKernel/export.h"

QVK_EXTERN_C_BEGIN

/* Solves T*x = b or T'*x = b in place, T triangular packed: the reference
 * DTPSV operation for operation, without argument checks.
 * [in] uplo   'U' or 'u': T upper (upper packed); anything else: lower
 *             (lower packed).
 * [in] trans  'N' or 'n': T*x = b; anything else ('T', 'C', ...): T'*x = b.
 * [in] diag   'N' or 'n': diagonal read from ap; anything else: unit
 *             diagonal, not read.
 * [in] n      order; n <= 0 returns at once.
 * [in] ap(n(n+1)/2) packed T.
 * [in,out] x(*) b on entry, the solution on return; standard increment rule
 *             (incx < 0 starts at x(1-(n-1)*incx) and runs backwards;
 *             incx = 0 puts every element on x(1)).
 * [in] incx   increment.
 * Not transposed, a column whose x(j) is zero is skipped altogether (an
 * infinity or NaN in that column does not reach x). */
QVK_EXPORT void e_dtpsv(const char *uplo, const char *trans, const char *diag,
                        const int *n, const double *ap, double *x,
                        const int *incx, int uplo_len, int trans_len,
                        int diag_len);

/* Solves A*X = B in place for A = U'U, U the Cholesky factor in the upper
 * packed layout (as eaxfch leaves it), for nrhs right-hand sides.
 * [in] uplo   must be 'U' or 'u'; anything else sets info = 1 and returns
 *             with b unchanged (the lower factor is not supported).
 * [in] n      order; n < 1 does nothing.
 * [in] nrhs   number of right-hand sides; nrhs <= 0 does nothing.
 * [in] ap(n(n+1)/2) the factor U.
 * [in,out] b(ldb, nrhs) right-hand sides on entry, solutions on return.
 * [in] ldb    leading dimension of b; not used when nrhs = 1 (any value,
 *             even 0, then solves b(1..n)).
 * [out] info  1 for an unsupported uplo; otherwise not written, so a caller
 *             presets it.
 * Each column gets exactly the operations of the reference DTPSV with U'
 * then with U, except that no column is skipped for a zero value. No
 * singularity test. */
QVK_EXPORT void e_dpptrs(const char *uplo, const int *n, const int *nrhs,
                         const double *ap, double *b, const int *ldb,
                         int *info, int uplo_len);

/* The worker behind e_dpptrs; same arguments, same results. */
QVK_EXPORT void dpptrs_2(const char *uplo, const int *n, const int *nrhs,
                         const double *ap, double *b, const int *ldb,
                         int *info, int uplo_len);

/* Solves U'U*x = b in place for one right-hand side.
 * [in] nn     n(n+1)/2, the length of ap; not otherwise used.
 * [in] n      order; n < 1 does nothing.
 * [in] ap     the factor U, upper packed.
 * [in,out] b(n) right-hand side on entry, solution on return. */
QVK_EXPORT void eacort(const int *nn, const int *n, const double *ap,
                       double *b);

QVK_EXTERN_C_END

#endif

/* Small dense algorithms: the symmetric eigen solver and its four steps,
 * composite products, Gauss-Jordan inversion, the eigen-based pseudo-inverse
 * and the weighted least-squares fit through a caller's basis evaluator.
 *
 * The calling convention is that of vector.h: C linkage, every argument by
 * reference, 32-bit int, IEEE binary64 reals, 1-based descriptions, matrices
 * by columns. The upper packed layout is that of packed.h; the eigen solver
 * walks it as the lower triangle by rows: (r, c), c <= r, at c + r(r-1)/2.
 *
 * Every result is the same bits on every processor and in 32-bit and 64-bit
 * builds: each sum runs in the order stated, one rounded product at a time.
 * Nothing here allocates from the heap, prints or keeps state; all are
 * reentrant. Arguments are trusted except where a block says otherwise.
 */
#ifndef QORVARDMATHKERNEL_ALGORITHMS_H
#define QORVARDMATHKERNEL_ALGORITHMS_H

#include "QorVARDMathKernel/export.h"

QVK_EXTERN_C_BEGIN

/* All eigenvalues and eigenvectors of a real symmetric matrix:
 * eaxetr, z := 0, eaxeql, eaxeor, eaxevp.
 * [in] n        order. n < 1 returns 0 with nothing read or written.
 * [in] iord     1: eigenvalues ascending; any other value: descending
 *               magnitude, signs kept. The first of equal keys keeps its
 *               place.
 * [in,out] ap   n(n+1)/2, upper packed; overwritten by the reduction (see
 *               eaxetr).
 * [out] d(n)    eigenvalues.
 * [out] z(n,n)  leading dimension n: orthonormal eigenvectors, column j
 *               belonging to d(j).
 * [out] e(n)    work.
 * [out] ierr    on failure only: the index l whose QL iteration did not
 *               converge; kept as on entry on success.
 * Returns 0, or 1 when 30 QL iterations did not converge for one
 * eigenvalue; d and z are then as the iteration left them (unordered, not
 * back-transformed). Not-a-number input propagates. */
QVK_EXPORT int eaxeig(const int *n, const int *iord, double *ap, double *d,
                      double *z, double *e, int *ierr);

/* Householder reduction of the packed matrix to tridiagonal form, rows
 * i = n..3 of the lower triangle, with no scaling of the row: h = sum of
 * the squares of row i left of the diagonal; h = 0 skips the row.
 * [in] n        order; n < 1 does nothing.
 * [in,out] ap   the matrix; on return row i (i >= 3) holds its Householder
 *               vector u(1..i-1) left of the diagonal and its h on the
 *               diagonal (0 for a skipped row); rows 1 and 2 hold the last
 *               reduced leading block.
 * [out] d(n)    diagonal of the tridiagonal matrix.
 * [out] e(n)    e(i), i >= 2: element (i, i-1); e(1) = 0. */
QVK_EXPORT void eaxetr(const int *n, double *ap, double *d, double *e);

/* Implicit QL iteration on the tridiagonal matrix (d, e) of eaxetr, with the
 * rotations accumulated into z.
 * [in] n        order; n < 1 returns 0 with nothing touched.
 * [in,out] d(n) diagonal on entry; eigenvalues on return, unordered.
 * [in,out] e(n) subdiagonal in e(2..n) on entry; destroyed.
 * [in,out] z(n,n) must be zero on entry; the rotations on return.
 * [out] ierr    on failure: the index l that did not converge in 30
 *               iterations.
 * Returns 0 or 1 (failure). */
QVK_EXPORT int eaxeql(const int *n, double *d, double *e, double *z, int *ierr);

/* Orders the eigenpairs by selection sort: ascending d (iord = 1) or
 * descending |d| (other values), swapping d(i) with d(k) and columns i and k
 * of z(n,n). Equal keys keep their order. n < 2 does nothing. */
QVK_EXPORT void eaxeor(const int *iord, const int *n, double *d, double *z);

/* Back transformation: applies the reflections stored in ap by eaxetr to
 * the columns of z(n,n), rows i = 3..n in ascending order, skipping those
 * with h = 0. n < 3 does nothing. */
QVK_EXPORT void eaxevp(const int *n, const double *ap, double *z);

/* C := A*B, A m-by-k, B k-by-n, C m-by-n, tight leading dimensions (m, k,
 * m): eagemm("N", "N", m, n, k, 1.0, a, m, b, k, 0.0, c, m) with each
 * leading dimension raised to at least 1, so that k = 0 clears C and m = 0
 * or n = 0 does nothing. A negative size is eagemm's fatal stop. */
QVK_EXPORT void eaxmmp(const int *m, const int *k, const int *n,
                       const double *a, const double *b, double *c);

/* R := Z*diag(d)*Z', all n-by-n with leading dimension n.
 * [in] z, d(n); [out] w(n,n) work, w = diag(d)*Z'; [out] r, which must not
 * overlap z or w. r = eaxmmp(n, n, n, z, w): n = 0 does nothing, a negative
 * n is eagemm's fatal stop. */
QVK_EXPORT void ebhpap(const int *n, const double *z, const double *d,
                       double *w, double *r);

/* In-place inverse by Gauss-Jordan elimination.
 * [in] mode     1: general matrix, with column interchanges (the largest
 *               |a(k,j)|, j >= k, of the pivot row, the last of equal
 *               magnitudes; a diagonal equal to it stays), undone on the
 *               rows at the end. 2: symmetric, upper triangle read, no
 *               pivot test. Other values: symmetric with the test.
 * [in] lda      leading dimension of a.
 * [in] n        order; n < 1 changes nothing.
 * [out] ipiv(n) work of mode 1; not used by the other modes.
 * [out] info    tested mode only: 0, or 1 when a pivot fails
 *               |a(k,k)| > 1.0E-8 (a NaN pivot fails). Set to 0 first, even
 *               for n < 1. Not written by modes 1 and 2.
 * [in,out] a    the matrix; its inverse on return (in full for the
 *               symmetric modes). After a failed test the matrix is as the
 *               earlier steps left it, the lower triangle not restored.
 * Modes 1 and 2 make no singularity test: a zero pivot gives infinities or
 * NaNs under IEEE rules. */
QVK_EXPORT void eaxinv(const int *mode, const int *lda, const int *n,
                       int *ipiv, int *info, double *a);

/* Pseudo-inverse of a symmetric matrix of order at most 30 through its
 * eigen decomposition: eigenvalues with |lambda| <= thr are dropped, where
 * thr = sum over rows i, then columns j, of |a(i,j)|*tol.
 * [in] n        order, at most 30.
 * [in] tol      relative threshold.
 * [in,out] a(n,n) leading dimension n: every entry enters thr, the lower
 *               triangle is decomposed; the pseudo-inverse on return.
 * [out] w(n*n)  work.
 * [out] z(n,n)  eigenvectors of a.
 * [out] info    -1 when n > 30; otherwise the number of dropped
 *               eigenvalues (0: full rank); on an eigen-solver failure the
 *               index it reports.
 * Returns 0; 1 when n > 30 (nothing else written) or when the eigen solver
 * fails (a unchanged). n < 1: info = 0, returns 0, nothing else written. */
QVK_EXPORT int eaxinvs(const int *n, const double *tol, double *a, double *w,
                       double *z, int *info);

/* Basis evaluator of eaxrmc3, every argument by reference:
 *   (1, 0, m, 1, 0, x(3), scratch, p(m), info)
 * where the four integer constants and the scratch slot (one double owned
 * by eaxrmc3, the same at every call of one fit) are the evaluator's own
 * business, x holds the scaled coordinates of one point and p receives the
 * m basis values there. Returns 0, or 1 for failure. A Fortran integer
 * function with nine arguments fits this type. */
typedef int (*eaxrmc3_basis)(const int *one, const int *zero, const int *m,
                             const int *one2, const int *zero2,
                             const double *x, double *scratch, double *p,
                             int *info);

/* Weighted least-squares fit of values at scattered points by m basis
 * functions, evaluated at a target point.
 * [in] m        number of basis functions, 0..30.
 * [in] n        number of points (n < 1: no data, every direction dropped).
 * [in] xyz(3,n) coordinates, x, y, z of each point in turn.
 * [in] x0(3)    target point.
 * [in] u(n)     values at the points.
 * [out] f       fitted value at the target.
 * [in] basis    the evaluator, called at each point and at the target with
 *               coordinates divided by s = max(1.0E-6, half the diagonal of
 *               the points' bounding box).
 * [out] a(m,m), w(m*m), z(m,m), b(n,m), p(m): work (normal matrix and its
 *               pseudo-inverse; eaxinvs's work; eigenvectors; weighted basis
 *               matrix; right-hand side and basis values).
 * [out] coef(m) fitted coefficients.
 * [in] wt(n)    weights; they multiply the rows of b, so the normal matrix
 *               b'b carries wt(i)^2 while the right-hand side b'u carries
 *               wt(i) once. A caller who wants the textbook weighted fit
 *               passes u(i)*wt(i) as u(i).
 * [out] info    number of basis directions dropped (eigenvalues of b'b not
 *               above 1.0E-6 times the sum of its magnitudes); -1 when m is
 *               outside 0..30.
 * Returns 0; 1 when m is outside 0..30 (info = -1, nothing else written),
 * when the evaluator fails (at once: f, coef and the work keep what was
 * computed so far, f = 0.0 when it failed at the target) or when the eigen
 * solver fails (info its index). After the last evaluation info is set back
 * to the count of dropped directions. */
QVK_EXPORT int eaxrmc3(const int *m, const int *n, const double *xyz,
                       const double *x0, const double *u, double *f,
                       eaxrmc3_basis basis, double *a, double *w, double *z,
                       double *b, double *p, double *coef, const double *wt,
                       int *info);

QVK_EXTERN_C_END

#endif

/* Dense products: the general matrix-vector product eagemv with its five
 * inner kernels, and the general matrix-matrix product eagemm.
 *
 * Calling convention: as in vector.h. Every argument is passed by reference;
 * int is 32-bit signed, double IEEE binary64; matrices are stored by columns
 * with a leading dimension, element (i,j) of A at a[(i-1) + (j-1)*lda].
 * Each option letter (trans, transa, transb) is one byte, only its first
 * character is read, and its hidden length follows all other arguments, one
 * int by value per letter, in the order of the letters. The lengths are never
 * read: a C caller passes 1.
 *
 * Arithmetic: each product is rounded before it is added (no fused
 * multiply-add) and every element of y or C is accumulated in the order
 * stated below, so the results are the same bits on every processor and in
 * 32-bit and 64-bit builds.
 *
 * Fatal stops: eagemv and eagemm stop the process on a bad argument. They
 * flush standard output, write one line holding "DGEMV Fatal Error" or
 * "DGEMM FATAL ERROR" (no prefix, nothing else on the line) on standard
 * error, and end the process with exit(1), which runs the atexit handlers
 * and flushes open streams. They never return to the caller, and y or C is
 * not touched.
 *
 * None of these routines allocates from the heap or keeps state between
 * calls; all are reentrant. eagemm keeps its work area (under 700 KB) in its
 * own stack frame.
 */
#ifndef QORVARDMATHKERNEL_DENSE_H
#define QORVARDMATHKERNEL_DENSE_H

#include "QorVARDMathKernel/export.h"

QVK_EXTERN_C_BEGIN

/* y := alpha*op(A)*x + beta*y, op(A) = A ('N') or A' ('T', 'C').
 * [in] trans   'N', 'T' or 'C', upper case only.
 * [in] m, n    rows and columns of A, >= 0.
 * [in] alpha   scalar.
 * [in] a       A(lda, n).
 * [in] lda     >= max(1, m).
 * [in] x       n elements ('N') or m ('T', 'C'), increment incx != 0.
 * [in] incx    standard increment rule (negative runs backwards).
 * [in] beta    scalar.
 * [in,out] y   m elements ('N') or n ('T', 'C'), increment incy != 0.
 *              With beta = 0.0, y is not read (NaN in y does not propagate).
 * [in] incy    standard increment rule.
 * trans_len    hidden length of trans; not read.
 * Order: the argument checks (trans, m, n, lda, incx, incy) come first, a
 * failure being the fatal stop "DGEMV Fatal Error". Then: m = 0, n = 0 or
 * (alpha = 0 and beta = 1) returns with nothing read or written; alpha = 0
 * clears y (beta = 0, e_dzero) or scales it (e_dscal); a negative increment
 * hands the call to dgemvf; otherwise rows are split at m8 = 8*(m/8) and
 * columns in blocks of 64, the pieces going to dgemv32_n/dgemv_n ('N') or
 * dgemv32_t/dgemv_t ('T', 'C'), the first piece that touches an element of y
 * with beta and later ones with 1.0. 'N' therefore gives
 * y(i) = beta*y(i) + sum over j increasing of a(i,j)*(alpha*x(j)); 'T' gives
 * the dgemv32_t sum over rows 1..m8, then the dgemv_t terms of the rows
 * after m8. */
QVK_EXPORT void eagemv(const char *trans, const int *m, const int *n,
                       const double *alpha, const double *a, const int *lda,
                       const double *x, const int *incx, const double *beta,
                       double *y, const int *incy, int trans_len);

/* The published DGEMV algorithm; same arguments and meaning as eagemv, both
 * increments by the standard rule. Letters 'N', 'T', 'C' (upper case only).
 * A bad argument prints "DGEMV Error :" followed by its position (1 trans,
 * 2 m, 3 n, 6 lda, 8 incx, 11 incy) as one line on standard output and
 * returns with y untouched. m = 0, n = 0 or (alpha = 0 and beta = 1) returns
 * at once. Otherwise y is first cleared (beta = 0) or scaled (beta != 1);
 * then 'N' adds (alpha*x(j))*a(i,j) column by column, skipping columns whose
 * x(j) is 0.0; 'T' forms temp = sum of a(i,j)*x(i) from 0.0 in increasing i
 * and adds alpha*temp to y(j). */
QVK_EXPORT void dgemvf(const char *trans, const int *m, const int *n,
                       const double *alpha, const double *a, const int *lda,
                       const double *x, const int *incx, const double *beta,
                       double *y, const int *incy, int trans_len);

/* Inner kernels of eagemv. They check nothing: the caller keeps lda >= m,
 * non-zero increments and the multiples of 4 below. Increments follow the
 * standard rule. Each returns at once when m = 0, n = 0, or alpha = 0 and
 * beta = 1. In every element, t starts at beta*y (at +0.0, y unread, when
 * beta = 0), and alpha*x is rounded before it multiplies a matrix element.
 *
 * [in] m, n; [in] alpha; [in] a(lda, n); [in] lda; [in] x, incx;
 * [in] beta; [in,out] y, incy.
 *
 * dgemv32_n: y := alpha*A*x + beta*y, m a multiple of 4;
 *            y(i) = t + a(i,1)*(alpha*x(1)) + ... + a(i,n)*(alpha*x(n)),
 *            one term at a time, j increasing.
 * dgemv_n:   the same, any m. */
QVK_EXPORT void dgemv32_n(const int *m, const int *n, const double *alpha,
                          const double *a, const int *lda, const double *x,
                          const int *incx, const double *beta, double *y,
                          const int *incy);
QVK_EXPORT void dgemv_n(const int *m, const int *n, const double *alpha,
                        const double *a, const int *lda, const double *x,
                        const int *incx, const double *beta, double *y,
                        const int *incy);

/* dgemv32_t: y := alpha*A'*x + beta*y. With incx = incy = 1 (m a multiple
 *            of 4): for each group of rows i..i+3,
 *            g = ((a(i,j)*x(i) + a(i+1,j)*x(i+1)) + a(i+2,j)*x(i+2))
 *                + a(i+3,j)*x(i+3), then t := t + alpha*g, groups in
 *            increasing i (rows past the last multiple of 4, if a caller
 *            passes them, form one shorter group). With other increments
 *            (n a multiple of 4): as dgemv_t.
 * dgemv_t:   y := alpha*A'*x + beta*y, any m and n;
 *            y(j) = t + a(1,j)*(alpha*x(1)) + ... + a(m,j)*(alpha*x(m)),
 *            one term at a time, i increasing. */
QVK_EXPORT void dgemv32_t(const int *m, const int *n, const double *alpha,
                          const double *a, const int *lda, const double *x,
                          const int *incx, const double *beta, double *y,
                          const int *incy);
QVK_EXPORT void dgemv_t(const int *m, const int *n, const double *alpha,
                        const double *a, const int *lda, const double *x,
                        const int *incx, const double *beta, double *y,
                        const int *incy);

/* C := alpha*op(A)*op(B) + beta*C, op(X) = X or X'.
 * [in] transa, transb  'N'/'n' no transpose; 'T', 't', 'C', 'c' transpose.
 * [in] m, n, k  C is m by n, op(A) m by k, op(B) k by n; each >= 0.
 * [in] alpha    scalar.
 * [in] a        A(lda, *): m by k ('N') or k by m (transpose).
 * [in] lda      >= max(1, rows of A).
 * [in] b        B(ldb, *): k by n ('N') or n by k (transpose).
 * [in] ldb      >= max(1, rows of B).
 * [in] beta     scalar.
 * [in,out] c    C(ldc, n). With beta = 0.0, C is not read (NaN in C does not
 *               propagate). Rows m+1..ldc are never touched.
 * [in] ldc      >= max(1, m).
 * transa_len, transb_len  hidden lengths; not read.
 * Order: m = 0, n = 0, or (alpha = 0 or k = 0) with beta = 1, returns before
 * any check with nothing read or written. Then the checks, a failure being
 * the fatal stop "DGEMM FATAL ERROR". alpha = 0 or k = 0: C is cleared
 * (beta = 0, e_dzero) or scaled by beta (e_dscal), in one call when ldc = m
 * and one per column otherwise. Otherwise every element is
 *   t = beta*c(i,j) (+0.0 when beta = 0), then t := t + p(i,l)*q(l,j) for
 *   l = 1..k increasing, one rounded product at a time,
 * where alpha is folded into op(A) when transb means no transpose
 * (p = alpha*op(A) rounded, q = op(B)) and into op(B) otherwise
 * (p = op(A), q = alpha*op(B) rounded). */
QVK_EXPORT void eagemm(const char *transa, const char *transb, const int *m,
                       const int *n, const int *k, const double *alpha,
                       const double *a, const int *lda, const double *b,
                       const int *ldb, const double *beta, double *c,
                       const int *ldc, int transa_len, int transb_len);

QVK_EXTERN_C_END

#endif

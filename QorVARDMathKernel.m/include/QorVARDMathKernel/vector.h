/* Vector kernels: dense Level-1 style kernels and the sparse gather, scatter,
 * update and dot product.
 *
 * Calling convention (shared by every numerical kernel of the library):
 *   - C linkage, lower-case names, no trailing underscore. Fortran callers
 *     compile with -fno-underscoring (or declare bind(C) interfaces).
 *   - Every argument is passed by reference, scalars included.
 *   - int is a 32-bit signed integer, double an IEEE binary64 value.
 *   - Arrays are described 1-based: x(1) is the element at the address passed.
 *   - Standard increment rule: for inc > 0, v_i = x(1+(i-1)*inc); for inc < 0,
 *     v_i = x(1+(n-i)*|inc|), the vector runs backwards from x(1+(n-1)*|inc|).
 *     Magnitude increment rule: v_i = x(1+(i-1)*|inc|) whatever the sign.
 *     inc = 0 is accepted: every v_i is then x(1).
 *   - n <= 0 does nothing; a kernel with a result then returns 0.
 *   - Each product is rounded before it is added; sums run in the order
 *     stated below, so results are the same bits on every processor.
 *
 * The kernels check nothing: counts, increments and addresses are trusted.
 * They keep no state, allocate nothing and are reentrant.
 */
#ifndef QORVARDMATHKERNEL_VECTOR_H
#define QORVARDMATHKERNEL_VECTOR_H

#include "QorVARDMathKernel/export.h"

QVK_EXTERN_C_BEGIN

/* y := x, bit for bit (NaN payloads and signed zeros pass unchanged).
 * [in] n; [in] x(*), incx (standard rule); [out] y(*), incy (standard rule).
 * With incx = incy = 1 the n elements move as one block: overlapping vectors
 * give y the values that x held on entry. Otherwise one element at a time,
 * i = 1..n. */
QVK_EXPORT void e_dcopy(const int *n, const double *x, const int *incx,
                        double *y, const int *incy);

/* iy := ix for 32-bit integers; as e_dcopy. */
QVK_EXPORT void e_icopy(const int *n, const int *ix, const int *incx,
                        int *iy, const int *incy);

/* v_i := +0.0. [in] n; [out] x(*), incx (standard rule). With incx = 0 only
 * x(1) is written. */
QVK_EXPORT void e_dzero(const int *n, double *x, const int *incx);

/* v_i := 0 for 32-bit integers; as e_dzero. */
QVK_EXPORT void e_izero(const int *n, int *ix, const int *incx);

/* v_i := alpha * v_i. [in] n; [in] alpha; [in,out] x(*), incx (magnitude
 * rule). The product is always formed: alpha = 0 turns Inf and NaN into NaN.
 * With incx = 0, x(1) is multiplied n times. */
QVK_EXPORT void e_dscal(const int *n, const double *alpha, double *x,
                        const int *incx);

/* v_i := (1/sa) * v_i with 1/sa rounded once. [in] n; [in] sa; [in,out] x(*),
 * incx (magnitude rule). sa = 0.0 or sa = 1.0 leaves x unchanged. No guard
 * against overflow of 1/sa. */
QVK_EXPORT void drscl(const int *n, const double *sa, double *x,
                      const int *incx);

/* y := y + alpha*x, the product rounded before the add. [in] n; [in] alpha;
 * [in] x(*), incx; [in,out] y(*), incy (standard rule, both). alpha = 0.0
 * returns at once: y is not touched even where x holds Inf or NaN.
 * Overlapping x and y give the result of updating i = 1..n one at a time. */
QVK_EXPORT void e_daxpy(const int *n, const double *alpha, const double *x,
                        const int *incx, double *y, const int *incy);

/* Exchanges v_i of x and v_i of y bit for bit, i = 1..n. [in] n;
 * [in,out] x(*), incx; [in,out] y(*), incy (standard rule, both). */
QVK_EXPORT void e_dswap(const int *n, double *x, const int *incx, double *y,
                        const int *incy);

/* Returns sum of |v_i|, one accumulator from 0.0, i = 1..n strictly in order.
 * [in] n; [in] x(*), incx (magnitude rule). */
QVK_EXPORT double e_dasum(const int *n, const double *x, const int *incx);

/* Returns the Euclidean norm of v by the four-phase scaled algorithm of the
 * 1979 Level 1 BLAS (thresholds cutlo = 8.232e-11, cuthi = 1.304e19, the
 * upper one divided by n rounded to single precision). [in] n;
 * [in] x(*), incx (magnitude rule). */
QVK_EXPORT double e_dnrm2(const int *n, const double *x, const int *incx);

/* Returns the position i (1..n, logical, not storage) of the first element of
 * largest magnitude: an element replaces the maximum unless |v_i| <= max, so
 * ties keep the first and NaN always replaces. n = 1 returns 1 without
 * reading x; n <= 0 returns 0. [in] n; [in] x(*), incx (magnitude rule). */
QVK_EXPORT int e_idamax(const int *n, const double *x, const int *incx);

/* Returns the largest |v_i| under the replacement rule of e_idamax (the value,
 * not the index); n <= 0 returns 0.0. [in] n; [in] x(*), incx (magnitude). */
QVK_EXPORT double damax(const int *n, const double *x, const int *incx);

/* Plane rotation that zeroes b, 1979 formulation (u = 2a or u = 2b).
 * [in,out] a: on return r; [in,out] b: on return the reconstruction value z;
 * [out] c, s. a = b = 0 gives c = 1, s = 0 and leaves a and b. */
QVK_EXPORT void e_drotg(double *a, double *b, double *c, double *s);

/* Sparse vectors: nz values x(1..nz) at 1-based positions indx(1..nz) of a
 * full vector y. Positions are trusted to lie in y; x and y are distinct
 * arrays. nz <= 0 does nothing (e_ddoti returns 0.0). */

/* x(i) := y(indx(i)), i = 1..nz. [in] nz; [in] y(*); [out] x(nz);
 * [in] indx(nz). */
QVK_EXPORT void e_dgthr(const int *nz, const double *y, double *x,
                        const int *indx);

/* y(indx(i)) := x(i), i = 1..nz in order: a repeated position keeps the last
 * value. [in] nz; [in] x(nz); [in] indx(nz); [in,out] y(*). */
QVK_EXPORT void e_dsctr(const int *nz, const double *x, const int *indx,
                        double *y);

/* y(indx(i)) := y(indx(i)) + a*x(i), i = 1..nz in order, the product rounded
 * first; repeated positions accumulate every contribution. a = 0.0 returns at
 * once. [in] nz; [in] a; [in] x(nz); [in] indx(nz); [in,out] y(*). */
QVK_EXPORT void e_daxpyi(const int *nz, const double *a, const double *x,
                         const int *indx, double *y);

/* Returns s with s = 0.0, then s := s + x(i)*y(indx(i)) for i = 1..nz strictly
 * in order, each product rounded first. [in] nz; [in] x(nz); [in] indx(nz);
 * [in] y(*). */
QVK_EXPORT double e_ddoti(const int *nz, const double *x, const int *indx,
                          const double *y);

QVK_EXTERN_C_END

#endif

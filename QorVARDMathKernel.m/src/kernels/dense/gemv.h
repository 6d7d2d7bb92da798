// Matrix-vector family: the inner kernels of eagemv.
//
// Order ('N', dgemv32_n and dgemv_n): one accumulator t per element of y,
// starting at beta*y(i) (at +0.0, y unread, when beta is 0); then
// t := t + a(i,j)*(alpha*x(j)) for j increasing, alpha*x(j) rounded first,
// each product rounded before the add.
// Order ('T', dgemv_t, and dgemv32_t with an increment other than 1): the
// same with the roles of rows and columns exchanged,
// t := t + a(i,j)*(alpha*x(i)) for i increasing.
// Order (dgemv32_t, both increments 1): rows in groups of four, each group
// forming g = ((a(i,j)*x(i) + a(i+1,j)*x(i+1)) + a(i+2,j)*x(i+2))
// + a(i+3,j)*x(i+3) from unscaled x; then t := t + alpha*g, groups in
// increasing i. Rows past the last multiple of 4 form one shorter group.
//
// Paths may run many elements of y side by side, and may store t and reload
// it between pieces of one element's sum (exact); none may split or reorder
// one element's sum, scale by alpha in another place, or fuse a product
// into its add.
#ifndef QVK_KERNELS_DENSE_GEMV_H
#define QVK_KERNELS_DENSE_GEMV_H

#include <cstddef>

#include "kernels/dense/cores.h"
#include "kernels/vector/isa.h"

namespace qvk {

// m, n >= 1. x and y point at logical element 1; element i lies (i-1)*inc
// past it (inc may be negative). Every path takes any increment.
using GemvKernel = void (*)(int m, int n, double alpha, const double *a, std::ptrdiff_t lda,
                            const double *x, std::ptrdiff_t incx, double beta, double *y,
                            std::ptrdiff_t incy);

struct GemvPaths {
  GemvKernel n;   // 'N' order
  GemvKernel t;   // 'T' order, alpha folded into x
  GemvKernel tg;  // 'T' order by groups of four rows (the unit-increment dgemv32_t)
};

extern const GemvPaths kGemvScalar;
void gemv_fill_sse2(GemvPaths &p);
void gemv_fill_avx2(GemvPaths &p);
void gemv_fill_avx512(GemvPaths &p);

const GemvPaths &gemv_paths(int level);
// The paths of the level in use, lowered to this model's cap.
inline const GemvPaths &gemv_paths() { return gemv_paths(core_level(core_tuning().gemv_level)); }

}  // namespace qvk

#endif

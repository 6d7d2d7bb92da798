// Matrix-matrix family: the general case of eagemm.
//
// Order: one accumulator t per element of C, starting at beta*c(i,j) (at
// +0.0, C unread, when beta is 0); then t := t + p(i,l)*q(l,j) for l = 1..k
// increasing, each product rounded before the add. alpha is folded into one
// operand and rounded there: p = alpha*op(A), q = op(B) when transb means no
// transpose; p = op(A), q = alpha*op(B) otherwise.
//
// The scalar path is the library's own blocked routine in its plain form
// (columns by 1,024 or 100, l by 100, rows by 32, 4 by 4 register blocks);
// between blocks of l it stores t and restarts from 1.0*c, which is exact.
// Other paths choose their own packing, blocks and register tiles, and may
// store and reload t between blocks of l, but never split one element's sum,
// reorder its terms, or fuse a product into its add.
#ifndef QVK_KERNELS_DENSE_GEMM_H
#define QVK_KERNELS_DENSE_GEMM_H

#include <cstddef>

#include "kernels/vector/blocking.h"
#include "kernels/vector/isa.h"

namespace qvk {

// m, n, k >= 1 and alpha != 0 (the entry has taken the other cases).
// trans_a / trans_b: op(A) = A' / op(B) = B'.
using GemmKernel = void (*)(bool trans_a, bool trans_b, int m, int n, int k, double alpha,
                            const double *a, std::ptrdiff_t lda, const double *b,
                            std::ptrdiff_t ldb, double beta, double *c, std::ptrdiff_t ldc);

// One entry per shape of the wide paths (kernels/vector/blocking.h); the
// scalar order has one form and fills every entry with it.
struct GemmPaths {
  GemmKernel general[kGemmShapes];
};

extern const GemmPaths kGemmScalar;
void gemm_fill_sse2(GemmPaths &p);
void gemm_fill_avx2(GemmPaths &p);
void gemm_fill_avx512(GemmPaths &p);

const GemmPaths &gemm_paths(int level);

}  // namespace qvk

#endif

// Composite products over the general matrix product.
#include <cstddef>

#include "QorVARDMathKernel/algorithms.h"
#include "QorVARDMathKernel/dense.h"

extern "C" {

void eaxmmp(const int *m, const int *k, const int *n, const double *a, const double *b,
            double *c) {
  static const double one = 1.0, zero = 0.0;
  // Tight leading dimensions, raised to 1: an empty inner dimension is a
  // cleared C, not a leading dimension of 0 that the product would refuse.
  const int lda = *m > 1 ? *m : 1, ldb = *k > 1 ? *k : 1;
  eagemm("N", "N", m, n, k, &one, a, &lda, b, &ldb, &zero, c, &lda, 1, 1);
}

void ebhpap(const int *n, const double *z, const double *d, double *w, double *r) {
  const std::ptrdiff_t len = *n;
  // w = diag(d)*z', column by column.
  for (std::ptrdiff_t j = 0; j < len; ++j)
    for (std::ptrdiff_t i = 0; i < len; ++i) w[i + j * len] = z[j + i * len] * d[i];
  eaxmmp(n, n, n, z, w, r);
}

}  // extern "C"

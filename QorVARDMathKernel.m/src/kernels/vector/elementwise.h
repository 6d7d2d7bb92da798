// Elementwise family: scaling, update and exchange at unit increment.
//
// Order: every element is computed alone. Scaling: x(i) := alpha * x(i), the
// product always formed. Update: y(i) := y(i) + (alpha * x(i)), the product
// rounded before the add, y's value the first operand. Exchange: x(i) and
// y(i) swap bits. Paths may run many elements side by side since no element
// reads another; the entry sends overlapping x and y (other than x = y) to
// the scalar path, whose one-at-a-time order then decides what later
// elements read.
//
// The scalar path keeps the clean-up-then-groups structure of the published
// routines (groups of 5, 4 and 3); grouping cannot change any bit.
#ifndef QVK_KERNELS_VECTOR_ELEMENTWISE_H
#define QVK_KERNELS_VECTOR_ELEMENTWISE_H

#include "kernels/vector/isa.h"

namespace qvk {

struct ElementwisePaths {
  void (*scal)(int n, double alpha, double *x);
  void (*axpy)(int n, double alpha, const double *x, double *y);
  void (*swap)(int n, double *x, double *y);
};

extern const ElementwisePaths kElementwiseScalar;
void elementwise_fill_sse2(ElementwisePaths &p);
void elementwise_fill_avx2(ElementwisePaths &p);
void elementwise_fill_avx512(ElementwisePaths &p);

const ElementwisePaths &elementwise_paths(int level);
inline const ElementwisePaths &elementwise_paths() { return elementwise_paths(isa_active()); }

}  // namespace qvk

#endif

#include "kernels/vector/elementwise.h"
#include "kernels/vector/elementwise_simd.h"
#include "kernels/vector/simd.h"

void qvk::elementwise_fill_sse2(ElementwisePaths &p) {
  p.scal = simd_scal<VSse2>;
  p.axpy = simd_axpy<VSse2>;
  p.swap = simd_swap<VSse2>;
}

#include "kernels/vector/elementwise.h"
#include "kernels/vector/elementwise_simd.h"
#include "kernels/vector/simd.h"

void qvk::elementwise_fill_avx2(ElementwisePaths &p) {
  p.scal = simd_scal<VAvx2>;
  p.axpy = simd_axpy<VAvx2>;
  p.swap = simd_swap<VAvx2>;
}

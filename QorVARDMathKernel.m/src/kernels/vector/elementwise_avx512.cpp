#include "kernels/vector/elementwise.h"
#include "kernels/vector/elementwise_simd.h"
#include "kernels/vector/simd.h"

void qvk::elementwise_fill_avx512(ElementwisePaths &p) {
  p.scal = simd_scal<VAvx512>;
  p.axpy = simd_axpy<VAvx512>;
  p.swap = simd_swap<VAvx512>;
}

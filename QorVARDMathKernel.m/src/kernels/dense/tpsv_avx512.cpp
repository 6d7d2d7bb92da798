#include "kernels/dense/tpsv.h"
#include "kernels/dense/tpsv_simd.h"
#include "kernels/vector/simd.h"

void qvk::tpsv_fill_avx512(TpsvPaths &p) {
  p.upper_n = simd_upper_n<VAvx512>;
  p.lower_n = simd_lower_n<VAvx512>;
  p.chol_columns = lanes_chol_columns<VAvx512, VAvx2>;
}

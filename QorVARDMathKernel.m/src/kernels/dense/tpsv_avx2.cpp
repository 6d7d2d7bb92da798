#include "kernels/dense/tpsv.h"
#include "kernels/dense/tpsv_simd.h"
#include "kernels/vector/simd.h"

void qvk::tpsv_fill_avx2(TpsvPaths &p) {
  p.upper_n = simd_upper_n<VAvx2>;
  p.lower_n = simd_lower_n<VAvx2>;
  p.chol_columns = lanes_chol_columns<VAvx2, VSse2>;
}

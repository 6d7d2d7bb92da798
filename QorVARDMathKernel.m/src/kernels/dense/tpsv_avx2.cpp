#include "kernels/dense/tpsv.h"
#include "kernels/dense/tpsv_simd.h"
#include "kernels/packed/lanes.h"

void qvk::tpsv_fill_avx2(TpsvPaths &p) {
  p.upper_n = simd_upper_n<Lanes4>;
  p.lower_n = simd_lower_n<Lanes4>;
  p.chol_columns = lanes_chol_columns<Lanes4, Lanes2>;
}

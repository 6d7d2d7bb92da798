#include "kernels/dense/tpsv.h"
#include "kernels/dense/tpsv_simd.h"
#include "kernels/packed/lanes.h"

void qvk::tpsv_fill_avx512(TpsvPaths &p) {
  p.upper_n = simd_upper_n<Lanes8>;
  p.lower_n = simd_lower_n<Lanes8>;
  p.chol_columns = lanes_chol_columns<Lanes8, Lanes4>;
}

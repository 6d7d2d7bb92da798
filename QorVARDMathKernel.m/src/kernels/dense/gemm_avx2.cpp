#include "kernels/dense/gemm.h"
#include "kernels/dense/dense_simd.h"
#include "kernels/dense/gemm_simd.h"

// Tiles of 8 rows by 6 columns: 12 accumulators of the 16 registers.
void qvk::gemm_fill_avx2(GemmPaths &p) {
  p.general = GemmSimd<DAvx2, 2, 6, 96, 256, 120>::general;
}

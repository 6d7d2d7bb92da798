#include "kernels/dense/gemm.h"
#include "kernels/vector/simd.h"
#include "kernels/dense/gemm_simd.h"

// Tiles of 8 rows by 6 columns: 12 accumulators of the 16 registers (8 rows
// by 2 in the 32-bit build, which has 8).
void qvk::gemm_fill_avx2(GemmPaths &p) {
#if defined(__x86_64__)
  p.general = GemmSimd<VAvx2, 2, 6, 96, 256, 120>::general;
#else
  p.general = GemmSimd<VAvx2, 2, 2, 96, 256, 128>::general;
#endif
}

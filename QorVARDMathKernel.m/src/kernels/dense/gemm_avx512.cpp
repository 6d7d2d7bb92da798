#include "kernels/dense/gemm.h"
#include "kernels/vector/simd.h"
#include "kernels/dense/gemm_simd.h"

// Tiles of 24 rows by 8 columns: 24 accumulators of the 32 registers.
// Blocks: 144 rows by 256 values of l of A (288 KB), and for a copied B
// 256 by 128 columns (256 KB).
void qvk::gemm_fill_avx512(GemmPaths &p) {
  p.general = GemmSimd<VAvx512, 3, 8, 144, 256, 128>::general;
}

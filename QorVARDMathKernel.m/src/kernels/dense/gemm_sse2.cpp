#include "kernels/dense/gemm.h"
#include "kernels/vector/simd.h"
#include "kernels/dense/gemm_simd.h"

// Tiles of 4 rows by 4 columns (by 2 in the 32-bit build, which has 8
// registers): the accumulators and the operands stay in registers.
void qvk::gemm_fill_sse2(GemmPaths &p) {
#if defined(__x86_64__)
  p.general = GemmSimd<VSse2, 2, 4, 96, 256, 128>::general;
#else
  p.general = GemmSimd<VSse2, 2, 2, 96, 256, 128>::general;
#endif
}

#include "kernels/dense/gemm.h"
#include "kernels/vector/simd.h"
#include "kernels/dense/gemm_simd.h"

void qvk::gemm_fill_sse2(GemmPaths &p) { gemm_fill_shapes<VSse2, kGemmSse2>(p); }

#include "kernels/dense/gemm.h"
#include "kernels/vector/simd.h"
#include "kernels/dense/gemm_simd.h"

void qvk::gemm_fill_sse2(GemmPaths &p) { p.general = GemmFor<VSse2, kGemmSse2>::general; }

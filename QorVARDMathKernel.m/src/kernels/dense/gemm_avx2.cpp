#include "kernels/dense/gemm.h"
#include "kernels/vector/simd.h"
#include "kernels/dense/gemm_simd.h"

void qvk::gemm_fill_avx2(GemmPaths &p) { p.general = GemmFor<VAvx2, kGemmAvx2>::general; }

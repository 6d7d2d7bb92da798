#include "kernels/dense/gemm.h"
#include "kernels/vector/simd.h"
#include "kernels/dense/gemm_simd.h"

void qvk::gemm_fill_avx512(GemmPaths &p) {
  p.general = GemmFor<VAvx512, kGemmAvx512>::general;
}

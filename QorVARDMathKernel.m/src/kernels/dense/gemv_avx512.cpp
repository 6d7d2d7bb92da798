#include "kernels/dense/gemv.h"
#include "kernels/vector/simd.h"
#include "kernels/dense/gemv_simd.h"

void qvk::gemv_fill_avx512(GemvPaths &p) {
  p.n = GemvSimd<VAvx512>::n;
  p.t = GemvSimd<VAvx512>::t;
  p.tg = GemvSimd<VAvx512>::tg;
}

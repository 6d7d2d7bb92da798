#include "kernels/dense/gemv.h"
#include "kernels/vector/simd.h"
#include "kernels/dense/gemv_simd.h"

void qvk::gemv_fill_avx2(GemvPaths &p) {
  p.n = GemvSimd<VAvx2>::n;
  p.t = GemvSimd<VAvx2>::t;
  p.tg = GemvSimd<VAvx2>::tg;
}

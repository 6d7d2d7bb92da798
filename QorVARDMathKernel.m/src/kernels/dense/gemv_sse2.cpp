#include "kernels/dense/gemv.h"
#include "kernels/dense/dense_simd.h"
#include "kernels/dense/gemv_simd.h"

void qvk::gemv_fill_sse2(GemvPaths &p) {
  p.n = GemvSimd<DSse2>::n;
  p.t = GemvSimd<DSse2>::t;
  p.tg = GemvSimd<DSse2>::tg;
}

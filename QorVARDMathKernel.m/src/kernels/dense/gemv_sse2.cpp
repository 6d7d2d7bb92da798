#include "kernels/dense/gemv.h"
#include "kernels/vector/simd.h"
#include "kernels/dense/gemv_simd.h"

void qvk::gemv_fill_sse2(GemvPaths &p) {
  p.n = GemvSimd<VSse2>::n;
  p.t = GemvSimd<VSse2>::t;
  p.tg = GemvSimd<VSse2>::tg;
}

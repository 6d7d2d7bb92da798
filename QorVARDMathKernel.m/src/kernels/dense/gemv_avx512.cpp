#include "kernels/dense/gemv.h"
#include "kernels/dense/dense_simd.h"
#include "kernels/dense/gemv_simd.h"

void qvk::gemv_fill_avx512(GemvPaths &p) {
  p.n = GemvSimd<DAvx512>::n;
  p.t = GemvSimd<DAvx512>::t;
  p.tg = GemvSimd<DAvx512>::tg;
}

#include "kernels/dense/gemv.h"
#include "kernels/dense/dense_simd.h"
#include "kernels/dense/gemv_simd.h"

void qvk::gemv_fill_avx2(GemvPaths &p) {
  p.n = GemvSimd<DAvx2>::n;
  p.t = GemvSimd<DAvx2>::t;
  p.tg = GemvSimd<DAvx2>::tg;
}

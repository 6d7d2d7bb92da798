#include "kernels/dense/tpsv.h"
#include "kernels/dense/tpsv_simd.h"
#include "kernels/vector/simd.h"

void qvk::tpsv_fill_sse2(TpsvPaths &p) {
  p.upper_n = simd_upper_n<VSse2>;
  p.lower_n = simd_lower_n<VSse2>;
  // Eight running sums keep both adders busy; wider paths inherit them.
  p.upper_t = chains_upper_t;
  p.lower_t = chains_lower_t;
  p.chol_columns = lanes_chol_columns<VSse2, VSse2>;
}

#include "kernels/packed/cholesky.h"
#include "kernels/packed/cholesky_simd.h"
#include "kernels/vector/simd.h"

void qvk::cholesky_fill_avx2(CholeskyPaths &p) { p.factor = factor_blocked<VAvx2, VSse2>; }

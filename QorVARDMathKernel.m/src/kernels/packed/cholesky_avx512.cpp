#include "kernels/packed/cholesky.h"
#include "kernels/packed/cholesky_simd.h"
#include "kernels/vector/simd.h"

void qvk::cholesky_fill_avx512(CholeskyPaths &p) { p.factor = factor_blocked<VAvx512, VAvx2>; }

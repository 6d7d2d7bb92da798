#include "kernels/packed/cholesky.h"
#include "kernels/packed/cholesky_simd.h"
#include "kernels/packed/lanes.h"

void qvk::cholesky_fill_avx2(CholeskyPaths &p) { p.factor = factor_blocked<Lanes4, Lanes2>; }

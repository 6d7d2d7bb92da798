#include "kernels/packed/cholesky.h"
#include "kernels/packed/cholesky_simd.h"
#include "kernels/packed/lanes.h"

void qvk::cholesky_fill_avx512(CholeskyPaths &p) { p.factor = factor_blocked<Lanes8, Lanes4>; }

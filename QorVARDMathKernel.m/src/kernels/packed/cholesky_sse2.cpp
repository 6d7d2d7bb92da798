#include "kernels/packed/cholesky.h"
#include "kernels/packed/cholesky_simd.h"
#include "kernels/packed/lanes.h"

void qvk::cholesky_fill_sse2(CholeskyPaths &p) { p.factor = factor_blocked<Lanes2, Lanes2>; }

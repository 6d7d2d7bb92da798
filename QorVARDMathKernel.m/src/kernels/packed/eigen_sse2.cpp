#include "kernels/packed/eigen.h"
#include "kernels/packed/eigen_simd.h"
#include "kernels/vector/simd.h"

void qvk::eigen_fill_sse2(EigenPaths &p) { Wide<VSse2>::fill(p); }

#include "kernels/packed/eigen.h"
#include "kernels/packed/eigen_simd.h"
#include "kernels/vector/simd.h"

void qvk::eigen_fill_avx512(EigenPaths &p) { Wide<VAvx512>::fill(p); }

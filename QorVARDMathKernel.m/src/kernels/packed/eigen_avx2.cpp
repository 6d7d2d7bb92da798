#include "kernels/packed/eigen.h"
#include "kernels/packed/eigen_simd.h"
#include "kernels/vector/simd.h"

void qvk::eigen_fill_avx2(EigenPaths &p) { Wide<VAvx2>::fill(p); }

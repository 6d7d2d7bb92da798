#include "kernels/dense/gemm.h"

void qvk::gemm_fill_avx2(GemmPaths &) {}

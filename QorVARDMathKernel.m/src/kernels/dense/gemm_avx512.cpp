#include "kernels/dense/gemm.h"

void qvk::gemm_fill_avx512(GemmPaths &) {}

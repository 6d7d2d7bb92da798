#include "kernels/dense/gemv.h"

void qvk::gemv_fill_avx512(GemvPaths &) {}

#include "kernels/dense/gemv.h"

void qvk::gemv_fill_avx2(GemvPaths &) {}

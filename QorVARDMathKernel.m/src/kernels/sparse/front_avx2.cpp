#include "kernels/sparse/front.h"
#include "kernels/sparse/front_simd.h"

void qvk::front_fill_avx2(FrontPaths &p) { p.factor = front_factor<VecOps<VAvx2>>; }

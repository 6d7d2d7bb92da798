#include "kernels/vector/amax_simd.h"
#include "kernels/vector/simd.h"

void qvk::amax_fill_avx512(AmaxPaths &p) { p.iamax = simd_iamax<VAvx512>; }

#include "kernels/vector/amax_simd.h"
#include "kernels/vector/simd.h"

void qvk::amax_fill_sse2(AmaxPaths &p) { p.iamax = simd_iamax<VSse2>; }

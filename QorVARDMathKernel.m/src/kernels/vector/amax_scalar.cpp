#include <cmath>

#include "kernels/vector/amax.h"
#include "kernels/vector/stride.h"

namespace qvk {

AmaxResult amax_scan(int n, const double *x, int inc) {
  const std::ptrdiff_t step = magnitude(inc);
  AmaxResult r{1, std::fabs(x[0])};
  std::ptrdiff_t ix = step;
  for (int i = 2; i <= n; ++i, ix += step) {
    const double a = std::fabs(x[ix]);
    if (!(a <= r.m)) {
      r.k = i;
      r.m = a;
    }
  }
  return r;
}

namespace {

AmaxResult unit_scan(int n, const double *x) { return amax_scan(n, x, 1); }

}  // namespace

const AmaxPaths &amax_paths(int level) {
  static void (*const fill[kIsaCount])(AmaxPaths &) = {nullptr, amax_fill_sse2, amax_fill_avx2,
                                                       amax_fill_avx512};
  static const PathTable<AmaxPaths> table(AmaxPaths{unit_scan}, fill);
  return table.level[level];
}

}  // namespace qvk

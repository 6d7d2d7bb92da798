// Largest magnitude and its position.
//
// Order: m = |v_1|, k = 1; for i = 2..n, unless |v_i| <= m, k = i and
// m = |v_i|. Ties keep the first; a NaN never compares <= and so always
// replaces the maximum, and the element after a NaN always replaces the NaN.
// Hence, with q the last NaN: the result is (n, |v_n|) when q = n, and
// otherwise the first largest of v_{q+1..n} (of all of v when there is no
// NaN), which has no NaN in it. That is what the wide paths compute: the
// largest magnitude by lanes (max is exact), then the first element equal to
// it. Paths run on unit increments with n >= 2.
#ifndef QVK_KERNELS_VECTOR_AMAX_H
#define QVK_KERNELS_VECTOR_AMAX_H

#include "kernels/vector/isa.h"

namespace qvk {

struct AmaxResult {
  int k;     // 1-based logical position
  double m;  // |v_k|
};

struct AmaxPaths {
  AmaxResult (*iamax)(int n, const double *x);
};

AmaxResult amax_scan(int n, const double *x, int inc);  // the plain order, any increment
void amax_fill_sse2(AmaxPaths &p);
void amax_fill_avx2(AmaxPaths &p);
void amax_fill_avx512(AmaxPaths &p);

const AmaxPaths &amax_paths(int level);
inline const AmaxPaths &amax_paths() { return amax_paths(isa_active()); }

}  // namespace qvk

#endif

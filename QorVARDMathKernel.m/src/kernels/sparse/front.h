// Frontal pivot-block family: root-free L D L' elimination of the first
// pivots of a packed symmetric front (upper triangle by rows).
//
// Order: pivots go three at a time, then two or one. For a block of three
// with pivot rows 1..3 and current order k: l12 = a12*(1/d1) and a22 -= a12*l12
// before d2 is tested; l13 = a13*(1/d1), t = a23 - a12*l13, l23 = t*(1/d2),
// a33 = (a33 - a13*l13) - t*l23 before d3 is tested; then per column
// j = 4..k: l1j = a1j*(1/d1), l2j = (a2j - a12*l1j)*(1/d2),
// l3j = ((a3j - a13*l1j) - t*l2j)*(1/d3). Trailing rows go in pairs; with
// s = -d*l of the row's column for each pivot, every element becomes
// ((a + s1*l1j) + s2*l2j) + s3*l3j; a row left without a partner gets
// ((a - d1*(l1k*l1k)) - d2*(l2k*l2k)) - d3*(l3k*l3k). The two- and one-pivot
// tails are the same with fewer terms. Each product is rounded before it is
// added or subtracted.
//
// Paths may run many columns of a row side by side; every element keeps
// exactly its own sum in the order above.
#ifndef QVK_KERNELS_SPARSE_FRONT_H
#define QVK_KERNELS_SPARSE_FRONT_H

#include <cstddef>

#include "kernels/vector/isa.h"

namespace qvk {

struct FrontArgs {
  int n, npiv;
  double *a;
  double *ratiomin;
  const double *dorig;
  double tiny, thr;
  int *count, *stats, *status;
  std::ptrdiff_t z;  // last position (1-based) cleared after a rejected pivot
};

struct FrontPaths {
  // Eliminates the pivots; returns 0, or 1 after a rejected pivot.
  int (*factor)(const FrontArgs &f);
};

void front_fill_sse2(FrontPaths &p);
void front_fill_avx2(FrontPaths &p);
void front_fill_avx512(FrontPaths &p);

const FrontPaths &front_paths(int level);
inline const FrontPaths &front_paths() { return front_paths(isa_active()); }

}  // namespace qvk

#endif

// Stored-matrix product family: Y = A*X on the diagonal-last row layout.
//
// Order, for each vector on its own: the gathered sum of row i starts at
// a(diag)*x(i) and adds a(p)*x(ja(p)) for the row's off-diagonal positions p
// in storage order, one rounded product at a time. In the symmetric reading
// the rows run i = 1..m ascending over a cleared y; each off-diagonal
// position also adds a(p)*x(i) to y(ja(p)) in that same walk (so each target
// receives its additions in ascending rows, and within a row in storage
// order), and the gathered sum is then assigned to y(i).
//
// Vectors are independent: paths may group them and share one pass over
// ja and a, and may interleave the walks of different rows where no row
// reads what another writes (the stored-entries product); no path may split
// or reorder one sum.
#ifndef QVK_KERNELS_PACKED_MVM_H
#define QVK_KERNELS_PACKED_MVM_H

#include "kernels/vector/isa.h"

namespace qvk {

// Rows 1..m (m >= 1) for nvec >= 1 vectors of leading dimension n. symmetric
// expects y cleared.
struct MvmPaths {
  void (*plain)(int m, int n, int nvec, const int *ja, const int *ia, const double *a,
                const double *x, double *y);
  void (*symmetric)(int m, int n, int nvec, const int *ja, const int *ia, const double *a,
                    const double *x, double *y);
};

void mvm_fill_sse2(MvmPaths &p);

const MvmPaths &mvm_paths(int level);
inline const MvmPaths &mvm_paths() { return mvm_paths(isa_active()); }

}  // namespace qvk

#endif

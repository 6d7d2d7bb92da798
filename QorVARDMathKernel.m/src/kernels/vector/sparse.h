// Sparse vector family: gather, scatter and sparse update.
//
// Order: gather reads y(indx(i)) into x(i); scatter stores x(i) into
// y(indx(i)) for i = 1..nz in order, so a repeated position keeps the last
// value; the update does y(indx(i)) := y(indx(i)) + (a * x(i)) for i = 1..nz,
// each update reading what the previous one stored, so repeated positions
// accumulate. Paths may load several values ahead of their stores (x and y
// are distinct arrays), but must store in order and must not start an
// update's load before the previous update's store. The sparse dot product is
// one sequential sum and has one path.
//
// The hardware gathers and scatters of AVX2 and AVX-512 were measured slower
// than eight plain loads or stores in flight on the processors we run on, so
// the fast path is the unrolled loop of the SSE2 level, and no wider level
// overrides it.
#ifndef QVK_KERNELS_VECTOR_SPARSE_H
#define QVK_KERNELS_VECTOR_SPARSE_H

#include "kernels/vector/isa.h"

namespace qvk {

// indx holds 1-based positions, as the caller passed them.
struct SparsePaths {
  void (*gthr)(int nz, const double *y, double *x, const int *indx);
  void (*sctr)(int nz, const double *x, const int *indx, double *y);
  void (*axpyi)(int nz, double a, const double *x, const int *indx, double *y);
};

void sparse_fill_sse2(SparsePaths &p);

const SparsePaths &sparse_paths(int level);
inline const SparsePaths &sparse_paths() { return sparse_paths(isa_active()); }

}  // namespace qvk

#endif

#include "kernels/vector/sparse.h"

namespace qvk {
namespace {

void gthr(int nz, const double *y, double *x, const int *indx) {
  for (int i = 0; i < nz; ++i) x[i] = y[indx[i] - 1];
}

void sctr(int nz, const double *x, const int *indx, double *y) {
  for (int i = 0; i < nz; ++i) y[indx[i] - 1] = x[i];
}

void axpyi(int nz, double a, const double *x, const int *indx, double *y) {
  for (int i = 0; i < nz; ++i) {
    double *yi = y + (indx[i] - 1);
    *yi = *yi + a * x[i];
  }
}

}  // namespace

const SparsePaths &sparse_paths(int level) {
  static void (*const fill[kIsaCount])(SparsePaths &) = {nullptr, sparse_fill_sse2, nullptr,
                                                         nullptr};
  static const PathTable<SparsePaths> table(SparsePaths{gthr, sctr, axpyi}, fill);
  return table.level[level];
}

}  // namespace qvk

// The sparse kernels with eight elements in flight: loads of a group are
// issued before its stores, stores keep their order, and each update still
// reads what the previous one stored.
#include "kernels/vector/sparse.h"

namespace {

void gthr(int nz, const double *y, double *x, const int *indx) {
  int i = 0;
  // Main body: eight independent loads, then eight stores.
  for (; i + 8 <= nz; i += 8) {
    const int *k = indx + i;
    const double a0 = y[k[0] - 1], a1 = y[k[1] - 1], a2 = y[k[2] - 1], a3 = y[k[3] - 1];
    const double a4 = y[k[4] - 1], a5 = y[k[5] - 1], a6 = y[k[6] - 1], a7 = y[k[7] - 1];
    x[i] = a0, x[i + 1] = a1, x[i + 2] = a2, x[i + 3] = a3;
    x[i + 4] = a4, x[i + 5] = a5, x[i + 6] = a6, x[i + 7] = a7;
  }
  // Tail.
  for (; i < nz; ++i) x[i] = y[indx[i] - 1];
}

void sctr(int nz, const double *x, const int *indx, double *y) {
  int i = 0;
  for (; i + 8 <= nz; i += 8) {
    const int *k = indx + i;
    const double a0 = x[i], a1 = x[i + 1], a2 = x[i + 2], a3 = x[i + 3];
    const double a4 = x[i + 4], a5 = x[i + 5], a6 = x[i + 6], a7 = x[i + 7];
    // In order: a repeated position keeps the later value.
    y[k[0] - 1] = a0, y[k[1] - 1] = a1, y[k[2] - 1] = a2, y[k[3] - 1] = a3;
    y[k[4] - 1] = a4, y[k[5] - 1] = a5, y[k[6] - 1] = a6, y[k[7] - 1] = a7;
  }
  for (; i < nz; ++i) y[indx[i] - 1] = x[i];
}

void axpyi(int nz, double a, const double *x, const int *indx, double *y) {
  int i = 0;
  for (; i + 8 <= nz; i += 8) {
    const int *k = indx + i;
    // The products do not depend on y and go first; each update is then a
    // load, an add and a store, in order.
    const double p0 = a * x[i], p1 = a * x[i + 1], p2 = a * x[i + 2], p3 = a * x[i + 3];
    const double p4 = a * x[i + 4], p5 = a * x[i + 5], p6 = a * x[i + 6], p7 = a * x[i + 7];
    y[k[0] - 1] = y[k[0] - 1] + p0;
    y[k[1] - 1] = y[k[1] - 1] + p1;
    y[k[2] - 1] = y[k[2] - 1] + p2;
    y[k[3] - 1] = y[k[3] - 1] + p3;
    y[k[4] - 1] = y[k[4] - 1] + p4;
    y[k[5] - 1] = y[k[5] - 1] + p5;
    y[k[6] - 1] = y[k[6] - 1] + p6;
    y[k[7] - 1] = y[k[7] - 1] + p7;
  }
  for (; i < nz; ++i) y[indx[i] - 1] = y[indx[i] - 1] + a * x[i];
}

}  // namespace

void qvk::sparse_fill_sse2(SparsePaths &p) {
  p.gthr = gthr;
  p.sctr = sctr;
  p.axpyi = axpyi;
}

#include "kernels/vector/elementwise.h"

namespace qvk {
namespace {

void scal(int n, double alpha, double *x) {
  // Clean-up: mod(n, 5) elements one at a time, then groups of five.
  int m = n % 5;
  for (int i = 0; i < m; ++i) x[i] = alpha * x[i];
  for (int i = m; i < n; i += 5) {
    x[i] = alpha * x[i];
    x[i + 1] = alpha * x[i + 1];
    x[i + 2] = alpha * x[i + 2];
    x[i + 3] = alpha * x[i + 3];
    x[i + 4] = alpha * x[i + 4];
  }
}

void axpy(int n, double alpha, const double *x, double *y) {
  // Clean-up: mod(n, 4), then groups of four, each statement in turn so that
  // overlapping vectors read earlier stores as the one-at-a-time loop does.
  int m = n % 4;
  for (int i = 0; i < m; ++i) y[i] = y[i] + alpha * x[i];
  for (int i = m; i < n; i += 4) {
    y[i] = y[i] + alpha * x[i];
    y[i + 1] = y[i + 1] + alpha * x[i + 1];
    y[i + 2] = y[i + 2] + alpha * x[i + 2];
    y[i + 3] = y[i + 3] + alpha * x[i + 3];
  }
}

inline void swap1(double *x, double *y) {
  double t = x[0];
  x[0] = y[0];
  y[0] = t;
}

void swap(int n, double *x, double *y) {
  // Clean-up: mod(n, 3), then groups of three.
  int m = n % 3;
  for (int i = 0; i < m; ++i) swap1(x + i, y + i);
  for (int i = m; i < n; i += 3) {
    swap1(x + i, y + i);
    swap1(x + i + 1, y + i + 1);
    swap1(x + i + 2, y + i + 2);
  }
}

}  // namespace

const ElementwisePaths kElementwiseScalar = {scal, axpy, swap};

const ElementwisePaths &elementwise_paths(int level) {
  static void (*const fill[kIsaCount])(ElementwisePaths &) = {
      nullptr, elementwise_fill_sse2, elementwise_fill_avx2, elementwise_fill_avx512};
  static const PathTable<ElementwisePaths> table(kElementwiseScalar, fill);
  return table.level[level];
}

}  // namespace qvk

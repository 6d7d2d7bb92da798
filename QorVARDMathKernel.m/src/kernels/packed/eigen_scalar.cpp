// The plain order of the symmetric eigen solver's inner loops: the definition
// that every other path must reproduce bit for bit.
#include "kernels/packed/eigen.h"
#include "kernels/packed/eigen_steps.h"
#include "kernels/packed/layout.h"

namespace qvk {
namespace {

using packed::col_start;

struct Plain {
  static void product(int l, const double *ap, const double *d, double r, double *e) {
    eigen_row_products(l, ap, d, r, e);
  }
  static void update(int l, double *ap, const double *d, const double *e) {
    for (int j = 1; j <= l; ++j) {
      double *rj = ap + col_start(j);
      const double dj = d[j - 1], ej = e[j - 1];
      for (int k = 1; k <= j; ++k) rj[k - 1] = (rj[k - 1] - dj * e[k - 1]) - ej * d[k - 1];
    }
  }
  static void rotate(int n, double *zi, double *zi1, double c, double s) {
    for (int k = 0; k < n; ++k) {
      const double f = zi1[k];
      zi1[k] = s * zi[k] + c * f;
      zi[k] = c * zi[k] - s * f;
    }
  }
  static void back(int n, int l, const double *u, double c, double *z) {
    for (int j = 0; j < n; ++j) {
      double *zj = z + static_cast<std::ptrdiff_t>(j) * n;
      double s = 0.0;
      for (int k = 0; k < l; ++k) s = s + u[k] * zj[k];
      s = s * c;
      for (int k = 0; k < l; ++k) zj[k] = zj[k] + s * u[k];
    }
  }
};

}  // namespace

const EigenPaths &eigen_paths(int level) {
  static void (*const fill[kIsaCount])(EigenPaths &) = {nullptr, eigen_fill_sse2,
                                                         eigen_fill_avx2, eigen_fill_avx512};
  static const PathTable<EigenPaths> table(
      EigenPaths{tridiagonalize<Plain>, ql<Plain>, back<Plain>}, fill);
  return table.level[level];
}

}  // namespace qvk

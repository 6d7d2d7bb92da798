// Weighted least-squares fit through a caller's basis evaluator.
#include <cmath>
#include <cstddef>

#include "QorVARDMathKernel/algorithms.h"
#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/packed.h"

namespace {

using idx = std::ptrdiff_t;

// One call of the evaluator with its constant arguments. They live in this
// frame and are set again before every call, so an evaluator that writes to
// them cannot change the next call, nor the fit's own count m.
int evaluate(eaxrmc3_basis basis, int m, const double *x, double s, double *scratch, double *p,
             int *info) {
  int one = 1, zero = 0, count = m, one2 = 1, zero2 = 0;
  const double xs[3] = {x[0] / s, x[1] / s, x[2] / s};
  return basis(&one, &zero, &count, &one2, &zero2, xs, scratch, p, info);
}

// Half the diagonal of the points' bounding box, bounds replaced only on a
// strict improvement; 1.0E-6 when smaller.
double scale(int n, const double *xyz) {
  double lo[3] = {0.0, 0.0, 0.0}, hi[3] = {0.0, 0.0, 0.0};
  if (n >= 1)
    for (int c = 0; c < 3; ++c) lo[c] = hi[c] = xyz[c];
  for (idx i = 1; i < n; ++i)
    for (int c = 0; c < 3; ++c) {
      const double v = xyz[3 * i + c];
      if (v < lo[c]) lo[c] = v;
      if (v > hi[c]) hi[c] = v;
    }
  const double dx = hi[0] - lo[0], dy = hi[1] - lo[1], dz = hi[2] - lo[2];
  const double half = std::sqrt(((0.0 + dx * dx) + dy * dy) + dz * dz) * 0.5;
  return 1.0E-6 > half ? 1.0E-6 : half;
}

}  // namespace

extern "C" {

int eaxrmc3(const int *m, const int *n, const double *xyz, const double *x0, const double *u,
            double *f, eaxrmc3_basis basis, double *a, double *w, double *z, double *b, double *p,
            double *coef, const double *wt, int *info) {
  static const int one = 1;
  static const double unit = 1.0, nil = 0.0, tol = 1.0E-6;
  const int nb = *m, np = *n;
  // The work arrays hold at most 30 functions: refuse before touching
  // anything (a negative count names no basis either).
  if (nb > 30 || nb < 0) {
    *info = -1;
    return 1;
  }
  *info = 0;
  const double s = scale(np, xyz);
  double scratch = 0.0;
  // The weighted basis matrix, one row per point.
  const idx ldb = np > 1 ? np : 1;
  for (idx i = 0; i < np; ++i) {
    if (evaluate(basis, nb, xyz + 3 * i, s, &scratch, p, info) == 1) return 1;
    for (idx j = 0; j < nb; ++j) b[i + j * ldb] = wt[i] * p[j];
  }
  // Normal matrix b'b. Leading dimensions raised to 1 so that no points or
  // no functions give an empty product rather than a refused one.
  // A negative point count is no points.
  const int ld_b = static_cast<int>(ldb), ld_a = nb > 1 ? nb : 1, points = np > 0 ? np : 0;
  eagemm("T", "N", m, m, &points, &unit, b, &ld_b, b, &ld_b, &nil, a, &ld_a, 1, 1);
  // Right-hand side b'u.
  for (idx j = 0; j < nb; ++j) p[j] = eaxscl(&points, b + j * ldb, &one, u, &one);
  if (eaxinvs(m, &tol, a, w, z, info) == 1) return 1;
  const int dropped = *info;
  // Coefficients: columns of the symmetric pseudo-inverse against b'u.
  for (idx j = 0; j < nb; ++j) coef[j] = eaxscl(m, a + j * nb, &one, p, &one);
  *f = 0.0;
  if (evaluate(basis, nb, x0, s, &scratch, p, info) == 1) return 1;
  *f = eaxscl(m, coef, &one, p, &one);
  *info = dropped;
  return 0;
}

}  // extern "C"

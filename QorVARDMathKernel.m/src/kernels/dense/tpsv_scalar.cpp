// The plain order of the packed triangular solves: the definition that every
// other path must reproduce bit for bit.
#include "kernels/dense/tpsv.h"
#include "kernels/packed/layout.h"
#include "kernels/vector/stride.h"

namespace qvk {

using packed::col_start;
using packed::idx;

namespace {

// Column j of the upper packed layout holds t(1..j, j) contiguously, column j
// of the lower packed layout t(j..n, j); base[i-1] = t(i, j) in both.
inline const double *upper_col(const double *ap, int j) { return ap + col_start(j); }
inline const double *lower_col(const double *ap, int j, int n) {
  return ap + packed::lower(1, j, n);
}

// Each solve is written once over v(i), the i-th element of the vector.

template <class V>
void solve_upper_n(int n, const double *ap, V v, bool unit, bool skip_zero) {
  for (int j = n; j >= 1; --j) {
    if (skip_zero && v(j) == 0.0) continue;
    const double *col = upper_col(ap, j);
    if (!unit) v(j) = v(j) / col[j - 1];
    const double t = v(j);
    for (int i = j - 1; i >= 1; --i) v(i) = v(i) - t * col[i - 1];
  }
}

template <class V>
void solve_lower_n(int n, const double *ap, V v, bool unit) {
  for (int j = 1; j <= n; ++j) {
    if (v(j) == 0.0) continue;
    const double *col = lower_col(ap, j, n);
    if (!unit) v(j) = v(j) / col[j - 1];
    const double t = v(j);
    for (int i = j + 1; i <= n; ++i) v(i) = v(i) - t * col[i - 1];
  }
}

template <class V>
void solve_upper_t(int n, const double *ap, V v, bool unit) {
  for (int j = 1; j <= n; ++j) {
    const double *col = upper_col(ap, j);
    double s = v(j);
    for (int i = 1; i < j; ++i) s = s - col[i - 1] * v(i);
    if (!unit) s = s / col[j - 1];
    v(j) = s;
  }
}

template <class V>
void solve_lower_t(int n, const double *ap, V v, bool unit) {
  for (int j = n; j >= 1; --j) {
    const double *col = lower_col(ap, j, n);
    double s = v(j);
    for (int i = n; i > j; --i) s = s - col[i - 1] * v(i);
    if (!unit) s = s / col[j - 1];
    v(j) = s;
  }
}

struct Unit {
  double *x;
  double &operator()(int i) const { return x[i - 1]; }
};

struct Strided {
  double *x;
  idx first, inc;
  double &operator()(int i) const { return x[first + (i - 1) * inc]; }
};

void upper_n(int n, const double *ap, double *x, bool unit, bool skip_zero) {
  solve_upper_n(n, ap, Unit{x}, unit, skip_zero);
}
void lower_n(int n, const double *ap, double *x, bool unit) {
  solve_lower_n(n, ap, Unit{x}, unit);
}
void upper_t(int n, const double *ap, double *x, bool unit) {
  solve_upper_t(n, ap, Unit{x}, unit);
}
void lower_t(int n, const double *ap, double *x, bool unit) {
  solve_lower_t(n, ap, Unit{x}, unit);
}

void chol_columns(int n, int nrhs, const double *ap, double *b, std::ptrdiff_t ldb) {
  auto B = [&](int i, int c) -> double & { return b[(i - 1) + c * ldb]; };
  // Forward with U'.
  for (int i = 1; i <= n; ++i) {
    const double *col = upper_col(ap, i);
    for (int k = 1; k < i; ++k)
      for (int c = 0; c < nrhs; ++c) B(i, c) = B(i, c) - col[k - 1] * B(k, c);
    for (int c = 0; c < nrhs; ++c) B(i, c) = B(i, c) / col[i - 1];
  }
  // Backward with U.
  for (int i = n; i >= 1; --i) {
    const double *col = upper_col(ap, i);
    for (int c = 0; c < nrhs; ++c) B(i, c) = B(i, c) / col[i - 1];
    for (int k = i - 1; k >= 1; --k)
      for (int c = 0; c < nrhs; ++c) B(k, c) = B(k, c) - col[k - 1] * B(i, c);
  }
}

}  // namespace

void tpsv_strided(bool upper, bool trans, bool unit, int n, const double *ap, double *x,
                  int incx) {
  const Strided v{x, first_offset(n, incx), incx};
  if (!trans && upper)
    solve_upper_n(n, ap, v, unit, true);
  else if (!trans)
    solve_lower_n(n, ap, v, unit);
  else if (upper)
    solve_upper_t(n, ap, v, unit);
  else
    solve_lower_t(n, ap, v, unit);
}

const TpsvPaths &tpsv_paths(int level) {
  static void (*const fill[kIsaCount])(TpsvPaths &) = {nullptr, tpsv_fill_sse2, tpsv_fill_avx2,
                                                       tpsv_fill_avx512};
  static const PathTable<TpsvPaths> table(TpsvPaths{upper_n, lower_n, upper_t, lower_t, chol_columns}, fill);
  return table.level[level];
}

}  // namespace qvk

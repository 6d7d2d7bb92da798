// Stored-matrix product with vectors in groups sharing one pass over each
// row's ja and a (their sums are independent chains that run side by side),
// and, for a single vector of the stored-entries product, the sums of two
// rows walked together.
// Each sum keeps exactly the order of the plain path.
#include "kernels/packed/layout.h"
#include "kernels/packed/mvm.h"

namespace {

using qvk::packed::idx;
using qvk::packed::row_diag;
using qvk::packed::row_first;

// Stored entries, G vectors at x and y (leading dimension n).
template <int G>
void plain_group(int m, idx n, const int *ja, const int *ia, const double *a, const double *x,
                 double *y) {
  for (int i = 1; i <= m; ++i) {
    const idx first = row_first(ia, i), diag = row_diag(ia, i);
    double s[G];
    for (int q = 0; q < G; ++q) s[q] = a[diag] * x[q * n + i - 1];
    for (idx p = first; p < diag; ++p) {
      const idx c = ja[p] - 1;
      const double ap = a[p];
      for (int q = 0; q < G; ++q) s[q] = s[q] + ap * x[q * n + c];
    }
    for (int q = 0; q < G; ++q) y[q * n + i - 1] = s[q];
  }
}

// Gathered sum of row i (reads x only).
inline double gather_one(int i, const int *ja, const int *ia, const double *a, const double *x) {
  const idx f = row_first(ia, i), d = row_diag(ia, i);
  double s = a[d] * x[i - 1];
  for (idx p = f; p < d; ++p) s = s + a[p] * x[ja[p] - 1];
  return s;
}

// Gathered sums of rows i and i+1 (which read x only), walked together.
inline void gather_two(int i, const int *ja, const int *ia, const double *a, const double *x,
                       double &s0, double &s1) {
  const idx f0 = row_first(ia, i), d0 = row_diag(ia, i);
  const idx f1 = row_first(ia, i + 1), d1 = row_diag(ia, i + 1);
  s0 = a[d0] * x[i - 1];
  s1 = a[d1] * x[i];
  const idx l0 = d0 - f0, l1 = d1 - f1, common = l0 < l1 ? l0 : l1;
  idx t = 0;
  for (; t < common; ++t) {
    s0 = s0 + a[f0 + t] * x[ja[f0 + t] - 1];
    s1 = s1 + a[f1 + t] * x[ja[f1 + t] - 1];
  }
  for (idx u = t; u < l0; ++u) s0 = s0 + a[f0 + u] * x[ja[f0 + u] - 1];
  for (idx u = t; u < l1; ++u) s1 = s1 + a[f1 + u] * x[ja[f1 + u] - 1];
}

// Stored entries, one vector: two rows at a time.
void plain_one(int m, const int *ja, const int *ia, const double *a, const double *x,
               double *y) {
  int i = 1;
  for (; i + 1 <= m; i += 2) {
    double s0, s1;
    gather_two(i, ja, ia, a, x, s0, s1);
    y[i - 1] = s0;
    y[i] = s1;
  }
  // Tail: the last row alone.
  if (i == m) y[m - 1] = gather_one(m, ja, ia, a, x);
}

// Symmetric reading, G vectors at x and y: gather and scatter of each row
// in one walk.
template <int G>
void symmetric_group(int m, idx n, const int *ja, const int *ia, const double *a,
                     const double *x, double *y) {
  for (int i = 1; i <= m; ++i) {
    const idx first = row_first(ia, i), diag = row_diag(ia, i);
    double s[G], xi[G];
    for (int q = 0; q < G; ++q) {
      xi[q] = x[q * n + i - 1];
      s[q] = a[diag] * xi[q];
    }
    for (idx p = first; p < diag; ++p) {
      const idx c = ja[p] - 1;
      const double ap = a[p];
      for (int q = 0; q < G; ++q) {
        s[q] = s[q] + ap * x[q * n + c];
        y[q * n + c] = y[q * n + c] + ap * xi[q];
      }
    }
    for (int q = 0; q < G; ++q) y[q * n + i - 1] = s[q];
  }
}

// The nvec mod 4 leading vectors as one group, then groups of four.
template <template <int> class Run, class... Args>
void by_groups(int nvec, idx n, const double *x, double *y, Args... args) {
  int k = nvec % 4;
  switch (k) {
    case 3: Run<3>::run(args..., n, x, y); break;
    case 2: Run<2>::run(args..., n, x, y); break;
    case 1: Run<1>::run(args..., n, x, y); break;
    default: break;
  }
  for (; k < nvec; k += 4) Run<4>::run(args..., n, x + k * n, y + k * n);
}

template <int G>
struct Plain {
  static void run(int m, const int *ja, const int *ia, const double *a, idx n, const double *x,
                  double *y) {
    plain_group<G>(m, n, ja, ia, a, x, y);
  }
};

template <int G>
struct Symmetric {
  static void run(int m, const int *ja, const int *ia, const double *a, idx n, const double *x,
                  double *y) {
    symmetric_group<G>(m, n, ja, ia, a, x, y);
  }
};

void plain(int m, int n, int nvec, const int *ja, const int *ia, const double *a,
           const double *x, double *y) {
  if (nvec == 1)
    plain_one(m, ja, ia, a, x, y);
  else
    by_groups<Plain>(nvec, n, x, y, m, ja, ia, a);
}

void symmetric(int m, int n, int nvec, const int *ja, const int *ia, const double *a,
               const double *x, double *y) {
  // A single vector gains nothing here: walking two rows together measured
  // slower than the plain walk, whose scatter overlaps its gathered sum.
  if (nvec == 1)
    qvk::mvm_paths(qvk::kScalar).symmetric(m, n, nvec, ja, ia, a, x, y);
  else
    by_groups<Symmetric>(nvec, n, x, y, m, ja, ia, a);
}

}  // namespace

void qvk::mvm_fill_sse2(MvmPaths &p) {
  p.plain = plain;
  p.symmetric = symmetric;
}

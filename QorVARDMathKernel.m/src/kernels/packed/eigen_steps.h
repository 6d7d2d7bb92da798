// The three numerical steps of the symmetric eigen solver, written once over
// a policy P that supplies the inner loops (eigen.h gives their order):
//   P::product(l, ap, d, r, e)   e(j) = (sum_k A(j,k)*d(k)) * r, j = 1..l
//   P::update(l, ap, d, e)       a(j,k) = (a(j,k) - d(j)*e(k)) - e(j)*d(k),
//                                k <= j <= l
//   P::rotate(n, zi, zi1, c, s)  the rotation of two columns of z
//   P::back(n, l, u, c, z)       one reflection applied to every column of z
// The scalar file instantiates it with plain loops, each instruction-set
// file with its wide ones. Internal linkage: each file keeps its own copy.
#ifndef QVK_KERNELS_PACKED_EIGEN_STEPS_H
#define QVK_KERNELS_PACKED_EIGEN_STEPS_H

#include <cmath>

#include "kernels/packed/layout.h"

namespace {

// e(j) = (sum_k A(j,k)*d(k)) * r for j = 1..l: one running sum per j, k
// ascending (row j left of the diagonal, then column j from the diagonal
// down). Every path takes it as it is: the sums are too short and strided to
// share lanes.
inline void eigen_row_products(int l, const double *ap, const double *d, double r, double *e) {
  using qvk::packed::col_start;
  for (int j = 1; j <= l; ++j) {
    const double *rj = ap + col_start(j);
    double s = 0.0;
    for (int k = 1; k < j; ++k) s = s + rj[k - 1] * d[k - 1];
    for (int k = j; k <= l; ++k) s = s + ap[col_start(k) + j - 1] * d[k - 1];
    e[j - 1] = s * r;
  }
}

// Reduction to tridiagonal form. a(i,k) is ap[row_lower(i, k)]; d and e are
// used 1-based through dd = d - 1 and ee = e - 1.
template <class P>
void tridiagonalize(int n, double *ap, double *d, double *e) {
  using qvk::packed::col_start;
  double *dd = d - 1, *ee = e - 1;
  for (int i = n; i >= 3; --i) {
    const int l = i - 1;
    double *row = ap + col_start(i);  // row[k-1] = a(i,k)
    // Step 1: the row, and the sum of its squares.
    double h = 0.0;
    for (int k = 1; k <= l; ++k) {
      dd[k] = row[k - 1];
      h = h + dd[k] * dd[k];
    }
    if (h == 0.0) {
      // Step 2: nothing to annihilate.
      ee[i] = dd[l];
    } else {
      // Step 3: the reflection's vector u = row - g*e_l.
      const double f = dd[l];
      const double g = f >= 0.0 ? -std::sqrt(h) : std::sqrt(h);
      ee[i] = g;
      h = h - f * g;
      dd[l] = f - g;
      row[l - 1] = dd[l];
      // Step 4: p = A*u/h into e(1..l), and F = u'p.
      const double r = 1.0 / h;
      P::product(l, ap, d, r, e);
      double ff = 0.0;
      for (int j = 1; j <= l; ++j) ff = ff + ee[j] * dd[j];
      // Step 5: q = p - (F/2h)u, then A := A - u*q' - q*u'.
      const double hh = ff / (h + h);
      for (int j = 1; j <= l; ++j) ee[j] = ee[j] - hh * dd[j];
      P::update(l, ap, d, e);
    }
    // Step 6: the diagonal, and h kept for the back transformation.
    dd[i] = row[i - 1];
    row[i - 1] = h;
  }
  if (n >= 2) {
    dd[2] = ap[col_start(2) + 1];
    ee[2] = ap[col_start(2)];
  }
  dd[1] = ap[0];
  ee[1] = 0.0;
}

// Implicit QL with the rotations accumulated into z (cleared by the caller).
// Returns 0, or the index l whose eigenvalue did not converge.
template <class P>
int ql(int n, double *d, double *e, double *z) {
  double *dd = d - 1, *ee = e - 1;
  const std::ptrdiff_t ld = n;
  auto col = [&](int j) { return z + (j - 1) * ld; };
  z[0] = 1.0;
  if (n < 2) return 0;
  for (int i = 2; i <= n; ++i) col(i)[i - 1] = 1.0;
  for (int i = 2; i <= n; ++i) ee[i - 1] = ee[i];
  ee[n] = 0.0;

  for (int l = 1; l <= n; ++l) {
    int iter = 0;
    for (;;) {
      // a. The first negligible off-diagonal element at or after l.
      int m = l;
      for (; m <= n - 1; ++m) {
        const double tst = std::fabs(dd[m]) + std::fabs(dd[m + 1]);
        if (std::fabs(ee[m]) + tst == tst) break;
      }
      if (m == l) break;  // b. converged
      if (iter == 30) return l;
      ++iter;
      // d. Shift.
      double p = dd[l];
      double g = ((dd[l + 1] - p) * 0.5) / ee[l];
      double r = std::sqrt(g * g + 1.0);
      g = g >= 0.0 ? (dd[m] - p) + ee[l] / (g + r) : (dd[m] - p) + ee[l] / (g - r);
      // e. The chase from m-1 up to l.
      double s = 1.0, c = 1.0;
      p = 0.0;
      for (int i = m - 1; i >= l; --i) {
        double f = s * ee[i];
        const double b = c * ee[i];
        if (std::fabs(f) >= std::fabs(g)) {
          c = g / f;
          r = std::sqrt(c * c + 1.0);
          ee[i + 1] = f * r;
          s = 1.0 / r;
          c = c * s;
        } else {
          s = f / g;
          r = std::sqrt(s * s + 1.0);
          ee[i + 1] = g * r;
          c = 1.0 / r;
          s = s * c;
        }
        g = dd[i + 1] - p;
        r = (dd[i] - g) * s + (c * 2.0) * b;
        p = s * r;
        dd[i + 1] = g + p;
        g = c * r - b;
        P::rotate(n, col(i), col(i + 1), c, s);
      }
      // f.
      dd[l] = dd[l] - p;
      ee[l] = g;
      ee[m] = 0.0;
    }
  }
  return 0;
}

// Back transformation: z := H(3)...H(n) z in the order of application
// i = 3..n, H(i) = I - u u'/h from row i of ap.
template <class P>
void back(int n, const double *ap, double *z) {
  for (int i = 3; i <= n; ++i) {
    const double *u = ap + qvk::packed::col_start(i);
    const double h = u[i - 1];
    if (h != 0.0) P::back(n, i - 1, u, -1.0 / h, z);
  }
}

}  // namespace

#endif

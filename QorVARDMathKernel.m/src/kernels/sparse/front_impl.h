// The elimination of the frontal pivot blocks, written once over the row
// operations Ops (front_scalar.cpp for the plain order, front_simd.h for the
// vector paths). Everything here has internal linkage: each path's
// translation unit gets its own copy, compiled with its own flags.
//
// Ops provides, each element of a row on its own:
//   scale3(a1, a2, a3, len, a12, a13, t, r1, r2, r3)   the l of three rows
//   scale2(a1, a2, len, a12, r1, r2), scale1(a1, len, r)
//   rank3(x, y, l1, l2, l3, len, s1, s2, s3, u1, u2, u3) two trailing rows
//   rank2(x, y, l1, l2, len, s1, s2, u1, u2), rank1(x, y, l1, len, s, u)
#ifndef QVK_KERNELS_SPARSE_FRONT_IMPL_H
#define QVK_KERNELS_SPARSE_FRONT_IMPL_H

#include <cmath>
#include <cstddef>

#include "kernels/sparse/front.h"

namespace {

using std::ptrdiff_t;

// A pivot test: true when d is accepted (and rcp = 1/d); otherwise the
// rejection is written into the front and status.
inline bool front_examine(const qvk::FrontArgs &f, ptrdiff_t q, double d, double &rcp) {
  ++*f.count;
  double mark;
  int st;
  if (std::fabs(d) < f.tiny) {
    st = 6;
    mark = d;
    *f.ratiomin = d;
  } else {
    const double r = d / f.dorig[*f.count - 1];
    if (!(*f.ratiomin <= r)) *f.ratiomin = r;
    if (!(r <= f.thr)) {
      ++f.stats[0];
      rcp = 1.0 / d;
      return true;
    }
    st = 34;
    mark = r;
  }
  for (ptrdiff_t p = q + 1; p < f.z; ++p) f.a[p] = 0.0;
  f.a[q] = mark;
  *f.status = st;
  return false;
}

template <class Ops>
int front_factor(const qvk::FrontArgs &f) {
  double *const a = f.a;
  ptrdiff_t p1 = 0;  // diagonal of the first pivot row of the current front
  ptrdiff_t k = f.n;
  int left = f.npiv;

  for (; left >= 3; left -= 3, p1 += 3 * k - 3, k -= 3) {
    const ptrdiff_t p2 = p1 + k, p3 = p2 + k - 1;
    double r1, r2, r3;
    const double d1 = a[p1];
    if (!front_examine(f, p1, d1, r1)) return 1;
    const double a12 = a[p1 + 1], l12 = a12 * r1;
    a[p1 + 1] = l12;
    a[p2] = a[p2] - a12 * l12;

    const double d2 = a[p2];
    if (!front_examine(f, p2, d2, r2)) return 1;
    const double a13 = a[p1 + 2], l13 = a13 * r1;
    a[p1 + 2] = l13;
    const double t = a[p2 + 1] - a12 * l13, l23 = t * r2;
    a[p2 + 1] = l23;
    a[p3] = (a[p3] - a13 * l13) - t * l23;

    const double d3 = a[p3];
    if (!front_examine(f, p3, d3, r3)) return 1;
    Ops::scale3(a + p1 + 3, a + p2 + 2, a + p3 + 1, k - 3, a12, a13, t, r1, r2, r3);

    // Trailing rows 4..k in pairs; pi is the diagonal of row i.
    ptrdiff_t i = 4, pi = p3 + k - 2;
    for (; i <= k - 1; i += 2) {
      const ptrdiff_t pn = pi + k - i + 1;
      const double *l1 = a + p1 + i - 1, *l2 = a + p2 + i - 2, *l3 = a + p3 + i - 3;
      const double s1 = -d1 * l1[0], s2 = -d2 * l2[0], s3 = -d3 * l3[0];
      const double u1 = -d1 * l1[1], u2 = -d2 * l2[1], u3 = -d3 * l3[1];
      a[pi] = ((a[pi] + s1 * l1[0]) + s2 * l2[0]) + s3 * l3[0];
      Ops::rank3(a + pi + 1, a + pn, l1 + 1, l2 + 1, l3 + 1, k - i, s1, s2, s3, u1, u2, u3);
      pi = pn + k - i;
    }
    if (i == k) {
      const double l1 = a[p1 + k - 1], l2 = a[p2 + k - 2], l3 = a[p3 + k - 3];
      a[pi] = ((a[pi] - d1 * (l1 * l1)) - d2 * (l2 * l2)) - d3 * (l3 * l3);
    }
  }

  if (left == 2) {
    const ptrdiff_t p2 = p1 + k;
    double r1, r2;
    const double d1 = a[p1];
    if (!front_examine(f, p1, d1, r1)) return 1;
    const double a12 = a[p1 + 1], l12 = a12 * r1;
    a[p1 + 1] = l12;
    a[p2] = a[p2] - a12 * l12;
    const double d2 = a[p2];
    if (!front_examine(f, p2, d2, r2)) return 1;
    Ops::scale2(a + p1 + 2, a + p2 + 1, k - 2, a12, r1, r2);
    ptrdiff_t i = 3, pi = p2 + k - 1;
    for (; i <= k - 1; i += 2) {
      const ptrdiff_t pn = pi + k - i + 1;
      const double *l1 = a + p1 + i - 1, *l2 = a + p2 + i - 2;
      const double s1 = -d1 * l1[0], s2 = -d2 * l2[0];
      const double u1 = -d1 * l1[1], u2 = -d2 * l2[1];
      a[pi] = (a[pi] + s1 * l1[0]) + s2 * l2[0];
      Ops::rank2(a + pi + 1, a + pn, l1 + 1, l2 + 1, k - i, s1, s2, u1, u2);
      pi = pn + k - i;
    }
    if (i == k) {
      const double l1 = a[p1 + k - 1], l2 = a[p2 + k - 2];
      a[pi] = (a[pi] - d1 * (l1 * l1)) - d2 * (l2 * l2);
    }
  } else if (left == 1) {
    double r;
    const double d = a[p1];
    if (!front_examine(f, p1, d, r)) return 1;
    Ops::scale1(a + p1 + 1, k - 1, r);
    ptrdiff_t i = 2, pi = p1 + k;
    for (; i <= k - 1; i += 2) {
      const ptrdiff_t pn = pi + k - i + 1;
      const double *l1 = a + p1 + i - 1;
      const double s = -d * l1[0], u = -d * l1[1];
      a[pi] = a[pi] + s * l1[0];
      Ops::rank1(a + pi + 1, a + pn, l1 + 1, k - i, s, u);
      pi = pn + k - i;
    }
    if (i == k) {
      const double l1 = a[p1 + k - 1];
      a[pi] = a[pi] - d * (l1 * l1);
    }
  }
  return 0;
}

}  // namespace

#endif

// Vector paths of the frontal elimination: the row operations run W columns
// side by side, each column with exactly the plain order's operations, then
// the columns left over one at a time.
#ifndef QVK_KERNELS_SPARSE_FRONT_SIMD_H
#define QVK_KERNELS_SPARSE_FRONT_SIMD_H

#include "kernels/sparse/front_impl.h"
#include "kernels/vector/simd.h"

namespace {

template <class V>
struct VecOps {
  using T = typename V::T;
  static constexpr ptrdiff_t W = V::W;

  static void scale3(double *a1, double *a2, double *a3, ptrdiff_t len, double a12, double a13,
                     double t, double r1, double r2, double r3) {
    const T vr1 = V::set1(r1), vr2 = V::set1(r2), vr3 = V::set1(r3);
    const T va12 = V::set1(a12), va13 = V::set1(a13), vt = V::set1(t);
    ptrdiff_t j = 0;
    for (; j + W <= len; j += W) {
      const T l1 = V::mul(V::load(a1 + j), vr1);
      const T l2 = V::mul(V::sub(V::load(a2 + j), V::mul(va12, l1)), vr2);
      const T l3 =
          V::mul(V::sub(V::sub(V::load(a3 + j), V::mul(va13, l1)), V::mul(vt, l2)), vr3);
      V::store(a1 + j, l1);
      V::store(a2 + j, l2);
      V::store(a3 + j, l3);
    }
    for (; j < len; ++j) {
      const double l1 = a1[j] * r1;
      const double l2 = (a2[j] - a12 * l1) * r2;
      a1[j] = l1;
      a2[j] = l2;
      a3[j] = ((a3[j] - a13 * l1) - t * l2) * r3;
    }
  }

  static void scale2(double *a1, double *a2, ptrdiff_t len, double a12, double r1, double r2) {
    const T vr1 = V::set1(r1), vr2 = V::set1(r2), va12 = V::set1(a12);
    ptrdiff_t j = 0;
    for (; j + W <= len; j += W) {
      const T l1 = V::mul(V::load(a1 + j), vr1);
      V::store(a1 + j, l1);
      V::store(a2 + j, V::mul(V::sub(V::load(a2 + j), V::mul(va12, l1)), vr2));
    }
    for (; j < len; ++j) {
      const double l1 = a1[j] * r1;
      a1[j] = l1;
      a2[j] = (a2[j] - a12 * l1) * r2;
    }
  }

  static void scale1(double *a1, ptrdiff_t len, double r) {
    const T vr = V::set1(r);
    ptrdiff_t j = 0;
    for (; j + W <= len; j += W) V::store(a1 + j, V::mul(V::load(a1 + j), vr));
    for (; j < len; ++j) a1[j] = a1[j] * r;
  }

  // The rank-3 pass is where the time goes: two rows share each load of
  // the three pivot rows; main body two vectors per row, then one, then
  // single columns.
  static void rank3(double *x, double *y, const double *l1, const double *l2, const double *l3,
                    ptrdiff_t len, double s1, double s2, double s3, double u1, double u2,
                    double u3) {
    const T vs1 = V::set1(s1), vs2 = V::set1(s2), vs3 = V::set1(s3);
    const T vu1 = V::set1(u1), vu2 = V::set1(u2), vu3 = V::set1(u3);
    ptrdiff_t j = 0;
    for (; j + 2 * W <= len; j += 2 * W) {
      const T a1 = V::load(l1 + j), a2 = V::load(l2 + j), a3 = V::load(l3 + j);
      const T b1 = V::load(l1 + j + W), b2 = V::load(l2 + j + W), b3 = V::load(l3 + j + W);
      T x0 = V::load(x + j), x1 = V::load(x + j + W);
      T y0 = V::load(y + j), y1 = V::load(y + j + W);
      x0 = V::add(V::add(V::add(x0, V::mul(vs1, a1)), V::mul(vs2, a2)), V::mul(vs3, a3));
      x1 = V::add(V::add(V::add(x1, V::mul(vs1, b1)), V::mul(vs2, b2)), V::mul(vs3, b3));
      y0 = V::add(V::add(V::add(y0, V::mul(vu1, a1)), V::mul(vu2, a2)), V::mul(vu3, a3));
      y1 = V::add(V::add(V::add(y1, V::mul(vu1, b1)), V::mul(vu2, b2)), V::mul(vu3, b3));
      V::store(x + j, x0);
      V::store(x + j + W, x1);
      V::store(y + j, y0);
      V::store(y + j + W, y1);
    }
    for (; j + W <= len; j += W) {
      const T a1 = V::load(l1 + j), a2 = V::load(l2 + j), a3 = V::load(l3 + j);
      V::store(x + j, V::add(V::add(V::add(V::load(x + j), V::mul(vs1, a1)), V::mul(vs2, a2)),
                             V::mul(vs3, a3)));
      V::store(y + j, V::add(V::add(V::add(V::load(y + j), V::mul(vu1, a1)), V::mul(vu2, a2)),
                             V::mul(vu3, a3)));
    }
    for (; j < len; ++j) {
      x[j] = ((x[j] + s1 * l1[j]) + s2 * l2[j]) + s3 * l3[j];
      y[j] = ((y[j] + u1 * l1[j]) + u2 * l2[j]) + u3 * l3[j];
    }
  }

  static void rank2(double *x, double *y, const double *l1, const double *l2, ptrdiff_t len,
                    double s1, double s2, double u1, double u2) {
    const T vs1 = V::set1(s1), vs2 = V::set1(s2), vu1 = V::set1(u1), vu2 = V::set1(u2);
    ptrdiff_t j = 0;
    for (; j + W <= len; j += W) {
      const T a1 = V::load(l1 + j), a2 = V::load(l2 + j);
      V::store(x + j, V::add(V::add(V::load(x + j), V::mul(vs1, a1)), V::mul(vs2, a2)));
      V::store(y + j, V::add(V::add(V::load(y + j), V::mul(vu1, a1)), V::mul(vu2, a2)));
    }
    for (; j < len; ++j) {
      x[j] = (x[j] + s1 * l1[j]) + s2 * l2[j];
      y[j] = (y[j] + u1 * l1[j]) + u2 * l2[j];
    }
  }

  static void rank1(double *x, double *y, const double *l1, ptrdiff_t len, double s, double u) {
    const T vs = V::set1(s), vu = V::set1(u);
    ptrdiff_t j = 0;
    for (; j + W <= len; j += W) {
      const T a1 = V::load(l1 + j);
      V::store(x + j, V::add(V::load(x + j), V::mul(vs, a1)));
      V::store(y + j, V::add(V::load(y + j), V::mul(vu, a1)));
    }
    for (; j < len; ++j) {
      x[j] = x[j] + s * l1[j];
      y[j] = y[j] + u * l1[j];
    }
  }
};

}  // namespace

#endif

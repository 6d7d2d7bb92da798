// Wide inner loops of the symmetric eigen solver, written once over a
// vector type V of kernels/vector/simd.h (load, store, set1, mul, add) for
// the instruction-set files. Lanes run the rows k of one update or rotation,
// each row keeping the scalar order; a difference x - y is formed as
// x + (-y), which IEEE arithmetic makes the same bits.
#ifndef QVK_KERNELS_PACKED_EIGEN_SIMD_H
#define QVK_KERNELS_PACKED_EIGEN_SIMD_H

#include <cstddef>

#include "kernels/packed/eigen.h"
#include "kernels/packed/eigen_steps.h"
#include "kernels/packed/layout.h"

namespace {

template <class V>
struct Wide {
  using T = typename V::T;
  static constexpr int W = V::W;

  // One running sum per j, k ascending: the sums stay scalar.
  static void product(int l, const double *ap, const double *d, double r, double *e) {
    eigen_row_products(l, ap, d, r, e);
  }

  // a(j,k) = (a(j,k) - d(j)*e(k)) - e(j)*d(k), lanes along k.
  static void update(int l, double *ap, const double *d, const double *e) {
    using qvk::packed::col_start;
    for (int j = 1; j <= l; ++j) {
      double *rj = ap + col_start(j);
      const double dj = d[j - 1], ej = e[j - 1];
      const T mdj = V::set1(-dj), mej = V::set1(-ej);
      int k = 0;
      for (; k + W <= j; k += W)  // main body
        V::store(rj + k, V::add(V::add(V::load(rj + k), V::mul(mdj, V::load(e + k))),
                                V::mul(mej, V::load(d + k))));
      for (; k < j; ++k) rj[k] = (rj[k] - dj * e[k]) - ej * d[k];  // tail
    }
  }

  // z(k,i+1) = s*z(k,i) + c*f, z(k,i) = c*z(k,i) - s*f, f the old z(k,i+1).
  static void rotate(int n, double *zi, double *zi1, double c, double s) {
    const T vc = V::set1(c), vs = V::set1(s), vms = V::set1(-s);
    int k = 0;
    for (; k + 2 * W <= n; k += 2 * W) {  // main body, two vectors
      const T f0 = V::load(zi1 + k), f1 = V::load(zi1 + k + W);
      const T x0 = V::load(zi + k), x1 = V::load(zi + k + W);
      V::store(zi1 + k, V::add(V::mul(vs, x0), V::mul(vc, f0)));
      V::store(zi1 + k + W, V::add(V::mul(vs, x1), V::mul(vc, f1)));
      V::store(zi + k, V::add(V::mul(vc, x0), V::mul(vms, f0)));
      V::store(zi + k + W, V::add(V::mul(vc, x1), V::mul(vms, f1)));
    }
    for (; k + W <= n; k += W) {  // one vector
      const T f = V::load(zi1 + k), x = V::load(zi + k);
      V::store(zi1 + k, V::add(V::mul(vs, x), V::mul(vc, f)));
      V::store(zi + k, V::add(V::mul(vc, x), V::mul(vms, f)));
    }
    for (; k < n; ++k) {  // tail
      const double f = zi1[k];
      zi1[k] = s * zi[k] + c * f;
      zi[k] = c * zi[k] - s * f;
    }
  }

  // z(k,j) += s*u(k) for k < l.
  static void axpy(int l, double s, const double *u, double *zj) {
    const T vs = V::set1(s);
    int k = 0;
    for (; k + W <= l; k += W) V::store(zj + k, V::add(V::load(zj + k), V::mul(vs, V::load(u + k))));
    for (; k < l; ++k) zj[k] = zj[k] + s * u[k];
  }

  // Each column's sum runs k ascending on its own; four columns are carried
  // side by side so that their chains overlap, then each is updated.
  static void back(int n, int l, const double *u, double c, double *z) {
    const std::ptrdiff_t ld = n;
    int j = 0;
    for (; j + 4 <= n; j += 4) {
      double *z0 = z + j * ld, *z1 = z0 + ld, *z2 = z1 + ld, *z3 = z2 + ld;
      double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
      for (int k = 0; k < l; ++k) {
        const double uk = u[k];
        s0 = s0 + uk * z0[k];
        s1 = s1 + uk * z1[k];
        s2 = s2 + uk * z2[k];
        s3 = s3 + uk * z3[k];
      }
      axpy(l, s0 * c, u, z0);
      axpy(l, s1 * c, u, z1);
      axpy(l, s2 * c, u, z2);
      axpy(l, s3 * c, u, z3);
    }
    for (; j < n; ++j) {
      double *zj = z + j * ld;
      double s = 0.0;
      for (int k = 0; k < l; ++k) s = s + u[k] * zj[k];
      axpy(l, s * c, u, zj);
    }
  }

  static void fill(qvk::EigenPaths &p) {
    p.tridiagonalize = tridiagonalize<Wide>;
    p.ql = ql<Wide>;
    p.back = ::back<Wide>;
  }
};

}  // namespace

#endif

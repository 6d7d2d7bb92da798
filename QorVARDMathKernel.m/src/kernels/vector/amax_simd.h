// The largest-magnitude search written once over a vector type V, included
// by each instruction-set file only (unnamed namespace: the copies compiled
// with different flags must never be merged).
// V is one of the types of simd.h.
#ifndef QVK_KERNELS_VECTOR_AMAX_SIMD_H
#define QVK_KERNELS_VECTOR_AMAX_SIMD_H

#include <cmath>

#include "kernels/vector/amax.h"

namespace {

// Largest |x(i)| over [0, n) and whether any element is NaN.
template <class V>
double largest_magnitude(int n, const double *x, bool *nan) {
  constexpr int W = V::W;
  double m = std::fabs(x[0]);
  int i = 0;
  int nan_bits = 0;
  if (n >= 2 * W) {
    // Main body: two running maxima, NaNs flagged on the side.
    typename V::T m0 = V::abs_load(x), m1 = V::abs_load(x + W);
    nan_bits |= V::nan_bits(m0) | V::nan_bits(m1);
    for (i = 2 * W; i + 2 * W <= n; i += 2 * W) {
      typename V::T a0 = V::abs_load(x + i), a1 = V::abs_load(x + i + W);
      nan_bits |= V::nan_bits(a0) | V::nan_bits(a1);
      m0 = V::max(m0, a0);
      m1 = V::max(m1, a1);
    }
    m = V::hmax(V::max(m0, m1));
  }
  // Tail.
  for (; i < n; ++i) {
    const double a = std::fabs(x[i]);
    if (a != a) nan_bits = 1;
    if (a > m) m = a;
  }
  *nan = nan_bits != 0;
  return m;
}

// First i in [0, n) with |x(i)| == m; m occurs.
template <class V>
int first_equal(int n, const double *x, double m) {
  constexpr int W = V::W;
  const typename V::T vm = V::set1(m);
  int i = 0;
  for (; i + W <= n; i += W)
    if (int b = V::eq_bits(V::abs_load(x + i), vm)) return i + __builtin_ctz(b);
  for (; i < n; ++i)
    if (std::fabs(x[i]) == m) return i;
  return n - 1;  // not reached
}

// Last i in [0, n) with x(i) NaN, or -1.
template <class V>
int last_nan(int n, const double *x) {
  constexpr int W = V::W;
  int i = n;
  for (; i - W >= 0; i -= W)
    if (int b = V::nan_bits(V::abs_load(x + i - W))) return i - W + 31 - __builtin_clz(b);
  for (--i; i >= 0; --i)
    if (x[i] != x[i]) return i;
  return -1;
}

template <class V>
qvk::AmaxResult simd_iamax(int n, const double *x) {
  int start = 0;
  bool nan = false;
  double m = largest_magnitude<V>(n, x, &nan);
  if (nan) {
    // Everything up to the last NaN is forgotten by the order.
    const int q = last_nan<V>(n, x);
    if (q == n - 1) return {n, std::fabs(x[q])};
    start = q + 1;
    m = largest_magnitude<V>(n - start, x + start, &nan);
  }
  const int k = start + first_equal<V>(n - start, x + start, m);
  return {k + 1, std::fabs(x[k])};
}

}  // namespace

#endif

// Elementwise kernels written once over a vector type V, included by each
// instruction-set file (and only there) so that each copy is compiled with
// its own flags. Everything sits in an unnamed namespace: the copies must
// never be merged by the linker.
// V is one of the types of simd.h.
#ifndef QVK_KERNELS_VECTOR_ELEMENTWISE_SIMD_H
#define QVK_KERNELS_VECTOR_ELEMENTWISE_SIMD_H

#include <cstdint>

namespace {

// Elements to take one at a time before p reaches a full-vector boundary, so
// that the main body's stores never split a cache line.
template <class V>
inline int peel(const double *p, int n) {
  constexpr unsigned kBytes = V::W * sizeof(double);
  const unsigned mis = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p) % kBytes);
  if (mis % sizeof(double)) return 0;  // not even 8-byte aligned: nothing to gain
  const int k = static_cast<int>((kBytes - mis) % kBytes / sizeof(double));
  return k < n ? k : n;
}

template <class V>
void simd_scal(int n, double alpha, double *x) {
  constexpr int W = V::W;
  const typename V::T a = V::set1(alpha);
  int i = 0;
  // Head: up to the first aligned element.
  for (const int h = peel<V>(x, n); i < h; ++i) x[i] = alpha * x[i];
  // Main body: four vectors per step.
  for (; i + 4 * W <= n; i += 4 * W) {
    typename V::T x0 = V::load(x + i), x1 = V::load(x + i + W);
    typename V::T x2 = V::load(x + i + 2 * W), x3 = V::load(x + i + 3 * W);
    V::store(x + i, V::mul(a, x0));
    V::store(x + i + W, V::mul(a, x1));
    V::store(x + i + 2 * W, V::mul(a, x2));
    V::store(x + i + 3 * W, V::mul(a, x3));
  }
  // Clean-up: whole vectors, then the scalar tail.
  for (; i + W <= n; i += W) V::store(x + i, V::mul(a, V::load(x + i)));
  for (; i < n; ++i) x[i] = alpha * x[i];
}

template <class V>
void simd_axpy(int n, double alpha, const double *x, double *y) {
  constexpr int W = V::W;
  const typename V::T a = V::set1(alpha);
  int i = 0;
  for (const int h = peel<V>(y, n); i < h; ++i) y[i] = y[i] + alpha * x[i];
  for (; i + 4 * W <= n; i += 4 * W) {
    typename V::T p0 = V::mul(a, V::load(x + i)), p1 = V::mul(a, V::load(x + i + W));
    typename V::T p2 = V::mul(a, V::load(x + i + 2 * W));
    typename V::T p3 = V::mul(a, V::load(x + i + 3 * W));
    V::store(y + i, V::add(V::load(y + i), p0));
    V::store(y + i + W, V::add(V::load(y + i + W), p1));
    V::store(y + i + 2 * W, V::add(V::load(y + i + 2 * W), p2));
    V::store(y + i + 3 * W, V::add(V::load(y + i + 3 * W), p3));
  }
  for (; i + W <= n; i += W)
    V::store(y + i, V::add(V::load(y + i), V::mul(a, V::load(x + i))));
  for (; i < n; ++i) y[i] = y[i] + alpha * x[i];
}

template <class V>
void simd_swap(int n, double *x, double *y) {
  constexpr int W = V::W;
  int i = 0;
  for (const int h = peel<V>(y, n); i < h; ++i) {
    double t = x[i];
    x[i] = y[i];
    y[i] = t;
  }
  for (; i + 2 * W <= n; i += 2 * W) {
    typename V::T x0 = V::load(x + i), x1 = V::load(x + i + W);
    typename V::T y0 = V::load(y + i), y1 = V::load(y + i + W);
    V::store(x + i, y0);
    V::store(x + i + W, y1);
    V::store(y + i, x0);
    V::store(y + i + W, x1);
  }
  for (; i + W <= n; i += W) {
    typename V::T x0 = V::load(x + i), y0 = V::load(y + i);
    V::store(x + i, y0);
    V::store(y + i, x0);
  }
  for (; i < n; ++i) {
    double t = x[i];
    x[i] = y[i];
    y[i] = t;
  }
}

}  // namespace

#endif

// Packed triangular solves written once over a vector type V, included by
// each instruction-set file (and only there) so that each copy is compiled
// with its own flags. Everything sits in an unnamed namespace: the copies
// must never be merged by the linker.
//
// V is one of the vector types of kernels/vector/simd.h.
//
// Not transposed: the update of one column touches each element once, so
// the elements run W at a time. Transposed: G running sums, one per column,
// share each pass over the elements already solved; each sum still takes its
// products one at a time in its own order.
#ifndef QVK_KERNELS_DENSE_TPSV_SIMD_H
#define QVK_KERNELS_DENSE_TPSV_SIMD_H

#include <cstddef>

#include "kernels/packed/layout.h"
#include "kernels/vector/blocking.h"
#include "kernels/vector/running_sums.h"

// The running sums are chains of scalar operations: left to the vectorizer,
// a short one gets packed products and lane extractions that only slow it.
#if defined(__GNUC__) && !defined(__clang__)
#define QVK_PLAIN_LOOPS __attribute__((optimize("no-tree-vectorize")))
#else
#define QVK_PLAIN_LOOPS
#endif

namespace {

using qvk::packed::col_start;

// x(i) := x(i) - t*col(i) for the len elements at x.
template <class V>
inline void column_update(int len, double t, const double *col, double *x) {
  constexpr int W = V::W;
  const typename V::T tv = V::set1(t);
  int i = 0;
  // Main body: two vectors per step.
  for (; i + 2 * W <= len; i += 2 * W) {
    const typename V::T p0 = V::mul(tv, V::load(col + i));
    const typename V::T p1 = V::mul(tv, V::load(col + i + W));
    V::store(x + i, V::sub(V::load(x + i), p0));
    V::store(x + i + W, V::sub(V::load(x + i + W), p1));
  }
  // Clean-up: one vector, then the scalar tail.
  for (; i + W <= len; i += W) V::store(x + i, V::sub(V::load(x + i), V::mul(tv, V::load(col + i))));
  for (; i < len; ++i) x[i] = x[i] - t * col[i];
}

template <class V>
void simd_upper_n(int n, const double *ap, double *x, bool unit, bool skip_zero) {
  for (int j = n; j >= 1; --j) {
    if (skip_zero && x[j - 1] == 0.0) continue;
    const double *col = ap + col_start(j);
    if (!unit) x[j - 1] = x[j - 1] / col[j - 1];
    const double t = x[j - 1];
    if (j < 2) continue;
    // The next column's element first, so that its division can start while
    // the rest of the column is updated.
    x[j - 2] = x[j - 2] - t * col[j - 2];
    column_update<V>(j - 2, t, col, x);
  }
}

template <class V>
void simd_lower_n(int n, const double *ap, double *x, bool unit) {
  for (int j = 1; j <= n; ++j) {
    if (x[j - 1] == 0.0) continue;
    const double *col = ap + qvk::packed::lower(1, j, n);  // col[i-1] = t(i, j)
    if (!unit) x[j - 1] = x[j - 1] / col[j - 1];
    const double t = x[j - 1];
    if (j == n) continue;
    // The next column's element first, as above.
    x[j] = x[j] - t * col[j];
    column_update<V>(n - j - 1, t, col + j + 1, x + j + 1);
  }
}

// Transposed upper: sums of columns j..j+G-1 together over the rows i < j,
// then the small triangle among them in ascending rows, up to column n.
// Returns the next column.
template <int G>
QVK_PLAIN_LOOPS int groups_upper_t(int j, int n, const double *ap, double *x, bool unit) {
  for (; j + G - 1 <= n; j += G) {
    const double *col[G];
    double s[G];
    for (int m = 0; m < G; ++m) {
      col[m] = ap + col_start(j + m);
      s[m] = x[j - 1 + m];
    }
    // The rows i < j common to the G sums, then rows j..j+m-1, just solved.
    running_differences<G>(
        s, j - 1, minus, [&](int m, int i) { return col[m][i] * x[i]; },
        [&](int m, int q) { return col[m][j - 1 + q] * x[j - 1 + q]; },
        [&](int m, double &sm) {
          if (!unit) sm = sm / col[m][j - 1 + m];
          x[j - 1 + m] = sm;
        });
  }
  return j;
}

// Columns with few earlier rows, where a group would only wait on its own
// triangle of divisions, go singly (the processor overlaps them):
// kSingleColumns of the blocking table.
using qvk::kSingleColumns;

// The first columns singly, then groups of 8, and of 4, 2 and 1 for the
// last few.
inline void chains_upper_t(int n, const double *ap, double *x, bool unit) {
  int j = groups_upper_t<1>(1, n < kSingleColumns ? n : kSingleColumns, ap, x, unit);
  j = groups_upper_t<8>(j, n, ap, x, unit);
  j = groups_upper_t<4>(j, n, ap, x, unit);
  j = groups_upper_t<2>(j, n, ap, x, unit);
  groups_upper_t<1>(j, n, ap, x, unit);
}

// Transposed lower: sums of columns j, j-1, .., j-G+1 together over the rows
// i > j in descending order, then the triangle among them. Returns the next
// column; stops above column low.
template <int G>
QVK_PLAIN_LOOPS int groups_lower_t(int j, int n, const double *ap, double *x, bool unit, int low = 1) {
  for (; j - G + 1 >= low; j -= G) {
    const double *col[G];
    double s[G];
    for (int m = 0; m < G; ++m) {
      col[m] = ap + qvk::packed::lower(1, j - m, n);
      s[m] = x[j - 1 - m];
    }
    // The rows i > j common to the G sums, descending (k-th is row n-k),
    // then rows j, j-1, .., j-m+1, just solved.
    running_differences<G>(
        s, n - j, minus, [&](int m, int k) { return col[m][n - 1 - k] * x[n - 1 - k]; },
        [&](int m, int q) { return col[m][j - 1 - q] * x[j - 1 - q]; },
        [&](int m, double &sm) {
          if (!unit) sm = sm / col[m][j - 1 - m];
          x[j - 1 - m] = sm;
        });
  }
  return j;
}

inline void chains_lower_t(int n, const double *ap, double *x, bool unit) {
  // The last columns singly (few later rows), as above.
  const int low = n > kSingleColumns ? n - kSingleColumns + 1 : 1;
  int j = groups_lower_t<1>(n, n, ap, x, unit, low);
  j = groups_lower_t<8>(j, n, ap, x, unit);
  j = groups_lower_t<4>(j, n, ap, x, unit);
  j = groups_lower_t<2>(j, n, ap, x, unit);
  groups_lower_t<1>(j, n, ap, x, unit);
}

// Cholesky solve of W columns at once, one lane per column, on the block
// transposed into P: P[(i-1)*W + c] = b(i, c).
// Forward with U': G running sums (rows j..j+G-1) share each pass over the
// rows already solved, then the triangle among them.
template <class V, int G>
void lanes_forward(int n, const double *ap, double *P) {
  constexpr int W = V::W;
  int j = 1;
  for (; j + G - 1 <= n; j += G) {
    typename V::T s[G];
    const double *col[G];
    for (int m = 0; m < G; ++m) {
      col[m] = ap + col_start(j + m);
      s[m] = V::load(P + (j - 1 + m) * W);
    }
    // The rows common to the G sums, then rows j..j+m-1, just solved.
    running_differences<G>(
        s, j - 1, V::sub, [&](int m, int i) { return V::mul(V::set1(col[m][i]), V::load(P + i * W)); },
        [&](int m, int q) {
          return V::mul(V::set1(col[m][j - 1 + q]), V::load(P + (j - 1 + q) * W));
        },
        [&](int m, typename V::T &sm) {
          sm = V::div(sm, V::set1(col[m][j - 1 + m]));
          V::store(P + (j - 1 + m) * W, sm);
        });
  }
  // Tail: single sums.
  for (; j <= n; ++j) {
    const double *col = ap + col_start(j);
    typename V::T s = V::load(P + (j - 1) * W);
    for (int i = 0; i < j - 1; ++i) s = V::sub(s, V::mul(V::set1(col[i]), V::load(P + i * W)));
    V::store(P + (j - 1) * W, V::div(s, V::set1(col[j - 1])));
  }
}

// Backward with U: row j solved, then its column's update of rows i < j,
// one vector of W columns per row.
template <class V>
void lanes_backward(int n, const double *ap, double *P) {
  constexpr int W = V::W;
  for (int j = n; j >= 1; --j) {
    const double *col = ap + col_start(j);
    const typename V::T pj = V::div(V::load(P + (j - 1) * W), V::set1(col[j - 1]));
    V::store(P + (j - 1) * W, pj);
    for (int i = 0; i < j - 1; ++i)
      V::store(P + i * W, V::sub(V::load(P + i * W), V::mul(V::set1(col[i]), pj)));
  }
}

constexpr int kColumnBuffer = qvk::kLaneBuffer;

// Columns W at a time while the buffer holds them (Wide, then Narrow), the
// rest one at a time.
template <class Wide, class Narrow>
void lanes_chol_columns(int n, int nrhs, const double *ap, double *b, std::ptrdiff_t ldb) {
  alignas(64) double P[kColumnBuffer];
  int c = 0;
  auto run = [&](auto lanes) {
    using V = decltype(lanes);
    constexpr int W = V::W;
    for (; c + W <= nrhs && W * n <= kColumnBuffer; c += W) {
      for (int i = 0; i < n; ++i)
        for (int l = 0; l < W; ++l) P[i * W + l] = b[i + (c + l) * ldb];
      lanes_forward<V, 4>(n, ap, P);
      lanes_backward<V>(n, ap, P);
      for (int i = 0; i < n; ++i)
        for (int l = 0; l < W; ++l) b[i + (c + l) * ldb] = P[i * W + l];
    }
  };
  run(Wide{});
  run(Narrow{});
  // Columns left over: alone, as the single right-hand side is solved.
  for (; c < nrhs; ++c) {
    chains_upper_t(n, ap, b + c * ldb, false);
    simd_upper_n<Narrow>(n, ap, b + c * ldb, false, false);
  }
}

}  // namespace

#endif

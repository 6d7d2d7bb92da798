// Packed Cholesky paths written once, included by each instruction-set file
// (and only there) so that each copy is compiled with its own flags; all in
// an unnamed namespace.
//
// Single rows: the elements of a row G at a time; their G running sums share
// each pass over the row's earlier elements, then the small triangle among
// them is finished in ascending columns.
//
// Blocks of rows: W consecutive rows i0..i0+W-1 advance together, one lane
// per row (a vector type of kernels/vector/simd.h). For columns j < i0 the rows need only
// factor rows before i0, so the W sums of one column run side by side: a
// buffer holds the block transposed, P[(k-1)*W + r] = l(i0+r, k), and each
// factor element l(j,k) is loaded once for the W rows. Then the block's own
// triangle and pivots are finished row by row in the plain order. Rows are
// written back to the matrix one at a time, each before its pivot test, so a
// failure leaves the matrix exactly as the plain path leaves it.
#ifndef QVK_KERNELS_PACKED_CHOLESKY_SIMD_H
#define QVK_KERNELS_PACKED_CHOLESKY_SIMD_H

#include <cmath>

#include "kernels/packed/layout.h"
#include "kernels/vector/blocking.h"
#include "kernels/vector/running_sums.h"

namespace {

using qvk::packed::col_start;

// Elements j..j+G-1 of row li (1-based j), from the factor rows lj[0..G-1].
template <int G>
inline void row_group(double *li, const double *const *lj, int j) {
  double t[G];
  for (int m = 0; m < G; ++m) t[m] = li[j - 1 + m];
  // The columns k < j common to the G sums, then columns j..j+m-1, just
  // computed.
  running_differences<G>(
      t, j - 1, minus, [&](int m, int k) { return li[k] * lj[m][k]; },
      [&](int m, int q) { return li[j - 1 + q] * lj[m][j - 1 + q]; },
      [&](int m, double &tm) { li[j - 1 + m] = tm / lj[m][j - 1 + m]; });
}

template <int G>
inline void row_groups(double *ap, double *li, int &j, int end) {
  for (; j + G <= end; j += G) {
    const double *lj[G];
    for (int m = 0; m < G; ++m) lj[m] = ap + col_start(j + m);
    row_group<G>(li, lj, j);
  }
}

// Row i alone: its off-diagonals in groups of 8, then 4, 2 and 1; the pivot
// as one running difference. Returns false when the pivot fails.
inline bool factor_row(int i, double tol, double *ap, double *piv) {
  double *li = ap + col_start(i);
  int j = 1;
  row_groups<8>(ap, li, j, i);
  row_groups<4>(ap, li, j, i);
  row_groups<2>(ap, li, j, i);
  row_groups<1>(ap, li, j, i);
  double d = li[i - 1];
  int k = 0;
  // Two products computed ahead; the subtractions stay in order.
  for (; k + 2 <= i - 1; k += 2) {
    const double p0 = li[k] * li[k], p1 = li[k + 1] * li[k + 1];
    d = d - p0;
    d = d - p1;
  }
  for (; k < i - 1; ++k) d = d - li[k] * li[k];
  if (d <= tol) {
    *piv = d;
    return false;
  }
  li[i - 1] = std::sqrt(d);
  return true;
}

// Columns j..j+G-1 (all before i0) of the W rows in the buffer P.
template <class V, int G>
inline void block_columns(const double *ap, double *P, int j) {
  constexpr int W = V::W;
  typename V::T t[G];
  const double *lj[G];
  for (int m = 0; m < G; ++m) {
    lj[m] = ap + col_start(j + m);
    t[m] = V::load(P + (j - 1 + m) * W);
  }
  // The columns k < j common to every sum, the triangle among the G
  // columns, then the division by l(j+m, j+m).
  running_differences<G>(
      t, j - 1, V::sub, [&](int m, int k) { return V::mul(V::load(P + k * W), V::set1(lj[m][k])); },
      [&](int m, int q) { return V::mul(V::load(P + (j - 1 + q) * W), V::set1(lj[m][j - 1 + q])); },
      [&](int m, typename V::T &tm) {
        tm = V::div(tm, V::set1(lj[m][j - 1 + m]));
        V::store(P + (j - 1 + m) * W, tm);
      });
}

// Rows i0..i0+W-1 (i0+W-1 <= n) with the buffer P of W*(i0+W-1) doubles.
// Returns false, with *failed and *piv set, when a pivot fails.
template <class V>
bool block_rows(int i0, double tol, double *ap, double *P, double *piv, int *failed) {
  constexpr int W = V::W;
  const int last = i0 + W - 1;
  // Transpose the block into P; positions past a row's diagonal are zero.
  for (int r = 0; r < W; ++r) {
    const double *li = ap + col_start(i0 + r);
    for (int k = 0; k < last; ++k) P[k * W + r] = k < i0 + r ? li[k] : 0.0;
  }
  // Columns before i0: groups of 4, then singly.
  int j = 1;
  for (; j + 4 <= i0; j += 4) block_columns<V, 4>(ap, P, j);
  for (; j < i0; ++j) block_columns<V, 1>(ap, P, j);
  // The block's own columns i0..last-1 and the pivots, over k < i0: lane r
  // of t[c] is the sum of l(i0+r, i0+c) (used where c < r), lane r of d the
  // pivot of row i0+r.
  typename V::T t[W], d;
  alignas(64) double diag[W];
  for (int r = 0; r < W; ++r) diag[r] = P[(i0 - 1 + r) * W + r];
  d = V::load(diag);
  for (int c = 0; c < W - 1; ++c) t[c] = V::load(P + (i0 - 1 + c) * W);
  for (int k = 0; k < i0 - 1; ++k) {
    const typename V::T pk = V::load(P + k * W);
    for (int c = 0; c < W - 1; ++c) t[c] = V::sub(t[c], V::mul(pk, V::set1(P[k * W + c])));
    d = V::sub(d, V::mul(pk, pk));
  }
  alignas(64) double part[W][W];
  for (int c = 0; c < W - 1; ++c) V::store(part[c], t[c]);
  V::store(diag, d);
  // Finish row by row in the plain order over k = i0..i0+r-1, write the row
  // back, then test its pivot.
  auto L = [&](int r, int k) -> double & { return P[(k - 1) * W + r]; };
  for (int r = 0; r < W; ++r) {
    const int i = i0 + r;
    for (int c = 0; c < r; ++c) {
      double s = part[c][r];
      for (int q = 0; q < c; ++q) s = s - L(r, i0 + q) * L(c, i0 + q);
      L(r, i0 + c) = s / L(c, i0 + c);
    }
    double p = diag[r];
    for (int q = 0; q < r; ++q) p = p - L(r, i0 + q) * L(r, i0 + q);
    double *li = ap + col_start(i);
    for (int k = 1; k < i; ++k) li[k - 1] = L(r, k);
    if (p <= tol) {
      *piv = p;
      *failed = i;
      return false;
    }
    L(r, i) = li[i - 1] = std::sqrt(p);
  }
  return true;
}

// Blocks of Wide::W rows while the buffer holds them, then of Narrow::W,
// then single rows.
constexpr int kBlockBuffer = qvk::kLaneBuffer;

template <class Wide, class Narrow>
int factor_blocked(int i1, int n, double tol, double *ap, double *piv) {
  alignas(64) double P[kBlockBuffer];
  int i = i1, failed = 0;
  while (i <= n) {
    // The wide block's own triangle is finished row by row: on the first
    // rows, where that is most of the work, the narrow block is faster.
    if (i > 4 * Wide::W && i + Wide::W - 1 <= n && Wide::W * (i + Wide::W - 1) <= kBlockBuffer) {
      if (!block_rows<Wide>(i, tol, ap, P, piv, &failed)) return failed;
      i += Wide::W;
    } else if (i + Narrow::W - 1 <= n && Narrow::W * (i + Narrow::W - 1) <= kBlockBuffer) {
      if (!block_rows<Narrow>(i, tol, ap, P, piv, &failed)) return failed;
      i += Narrow::W;
    } else {
      if (!factor_row(i, tol, ap, piv)) return i;
      ++i;
    }
  }
  return 0;
}

}  // namespace

#endif

// The inner kernels of eagemv written once over a vector type V (see
// kernels/vector/simd.h), included by each instruction-set file only.
//
// 'N': vectors run down the rows of y; each column adds a(i..,j) times the
// broadcast alpha*x(j). Rows are taken 8 vectors at a time (4 in the 32-bit
// build) over a chunk of columns, y stored and reloaded between chunks.
// Columns longer than 1,024 rows are swept whole instead, eight (32-bit: four) at a time,
// so that a matrix larger than the caches streams from memory once.
// 'T': vectors run across W columns of A, one lane per element of y. A block
// of W rows by W columns is loaded by columns, multiplied by x, and
// transposed, so that lane j of vector r holds row r's term of column j:
// the terms then enter each lane's sum in increasing row order (or form the
// groups of four of the unit-increment dgemv32_t).
// Paths that these layouts do not fit (y strided for 'N', x strided for
// 'T') are left to the scalar order.
#ifndef QVK_KERNELS_DENSE_GEMV_SIMD_H
#define QVK_KERNELS_DENSE_GEMV_SIMD_H

#include <cstddef>

#include "kernels/dense/gemv.h"

namespace {

template <class V>
struct GemvSimd {
  using T = typename V::T;
  using ptrdiff_t = std::ptrdiff_t;
  static constexpr int W = V::W;
  static constexpr int kChunk = 512;  // columns ('N') or rows ('T') per pass
  // Registers: 16 or 32 in the 64-bit build, 8 in the 32-bit one.
  static constexpr bool kWide = sizeof(void *) == 8;
  static constexpr int kRowVectors = kWide ? 8 : 4;  // 'N' rows per step, in vectors
  static constexpr int kGroups = kWide ? 2 : 1;      // 'T' column groups per step
  // 'N' with more rows than this: columns swept whole (see n_sweep), eight
  // at a time (four in the 32-bit build). Eight halve the loads and stores
  // of y per element of A against four: 8% to 25% faster on a Zen 3 core
  // at n = 2,000, where the sweep is bound by memory.
  static constexpr int kSweepRows = 1024;
  static constexpr int kSweepColumns = kWide ? 8 : 4;

  // ---- 'N' ----

  // NV vectors of rows at y, the last one holding `tail` rows, over the
  // columns of `ax` (alpha*x, rounded); start from beta*y when `first`.
  template <int NV>
  static void n_rows(int nc, const double *a, ptrdiff_t lda, const double *ax, bool first,
                     double beta, double *y, int tail) {
    T t[NV];
    for (int v = 0; v < NV; ++v) {
      const int cnt = v + 1 < NV ? W : tail;
      if (first && beta == 0.0)
        t[v] = V::zero();
      else if (first)
        t[v] = V::mul(V::set1(beta), V::loadn(y + v * W, cnt));
      else
        t[v] = V::loadn(y + v * W, cnt);
    }
    // Main body: one column per step, its products rounded, then added.
    for (int j = 0; j < nc; ++j, a += lda) {
      const T xj = V::set1(ax[j]);
      for (int v = 0; v + 1 < NV; ++v) t[v] = V::add(t[v], V::mul(V::load(a + v * W), xj));
      const T last = tail == W ? V::load(a + (NV - 1) * W) : V::loadn(a + (NV - 1) * W, tail);
      t[NV - 1] = V::add(t[NV - 1], V::mul(last, xj));
    }
    for (int v = 0; v < NV; ++v) V::storen(y + v * W, t[v], v + 1 < NV ? W : tail);
  }

  // Long columns: CG columns at a time, each read from top to bottom, y
  // loaded and stored once per group (exact) and held in L1. The matrix is
  // then read as CG sequential streams, which the hardware prefetch follows
  // at full memory rate, where blocks of rows over a panel's many columns
  // are as many short streams as the panel has columns.
  template <int CG>
  static void n_sweep(int m, const double *a, ptrdiff_t lda, const double *axj, bool start,
                      double beta, double *y) {
    const T bv = V::set1(beta);
    T xs[CG];
    for (int c = 0; c < CG; ++c) xs[c] = V::set1(axj[c]);
    for (int i = 0; i < m; i += W) {
      const int cnt = m - i < W ? m - i : W;
      T t = start && beta == 0.0 ? V::zero()
            : start              ? V::mul(bv, V::loadn(y + i, cnt))
                                 : V::loadn(y + i, cnt);
      for (int c = 0; c < CG; ++c) {
        const double *ac = a + i + c * lda;
        t = V::add(t, V::mul(cnt == W ? V::load(ac) : V::loadn(ac, cnt), xs[c]));
      }
      V::storen(y + i, t, cnt);
    }
  }

  static void n(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
                ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
    if (incy != 1) return qvk::kGemvScalar.n(m, n, alpha, a, lda, x, incx, beta, y, incy);
    if (m > kSweepRows) {
      constexpr int CG = kSweepColumns;
      double ax[CG];
      int j = 0;
      for (; j + CG <= n; j += CG) {
        for (int c = 0; c < CG; ++c) ax[c] = alpha * x[(j + c) * incx];
        n_sweep<CG>(m, a + j * lda, lda, ax, j == 0, beta, y);
      }
      for (; j < n; ++j) {
        ax[0] = alpha * x[j * incx];
        n_sweep<1>(m, a + j * lda, lda, ax, j == 0, beta, y);
      }
      return;
    }
    double ax[kChunk];
    for (int j0 = 0; j0 < n; j0 += kChunk) {
      const int nc = n - j0 < kChunk ? n - j0 : kChunk;
      for (int j = 0; j < nc; ++j) ax[j] = alpha * x[(j0 + j) * incx];
      const double *aj = a + j0 * lda;
      const bool first = j0 == 0;
      int i = 0;
      for (; i + kRowVectors * W <= m; i += kRowVectors * W)
        n_rows<kRowVectors>(nc, aj + i, lda, ax, first, beta, y + i, W);
      // Clean-up: whole vectors, then the last partial one.
      for (; i + W <= m; i += W) n_rows<1>(nc, aj + i, lda, ax, first, beta, y + i, W);
      if (i < m) n_rows<1>(nc, aj + i, lda, ax, first, beta, y + i, m - i);
    }
  }

  // ---- 'T' ----

  // Lanes of the G*W columns from `a` (the last group holding `cols`
  // columns): t from y, or from beta*y (+0.0 when beta is 0) when `first`.
  template <int G>
  static void t_start(bool first, double beta, const double *y, ptrdiff_t incy, int cols,
                      T *t) {
    for (int g = 0; g < G; ++g) {
      const int cnt = g + 1 < G ? W : cols;
      alignas(64) double lane[W] = {};
      if (!(first && beta == 0.0))
        for (int c = 0; c < cnt; ++c) lane[c] = y[(g * W + c) * incy];
      t[g] = first && beta != 0.0 ? V::mul(V::set1(beta), V::load(lane)) : V::load(lane);
    }
  }

  template <int G>
  static void t_store(const T *t, double *y, ptrdiff_t incy, int cols) {
    for (int g = 0; g < G; ++g) {
      const int cnt = g + 1 < G ? W : cols;
      if (incy == 1) {
        V::storen(y + g * W, t[g], cnt);
      } else {
        alignas(64) double lane[W];
        V::store(lane, t[g]);
        for (int c = 0; c < cnt; ++c) y[(g * W + c) * incy] = lane[c];
      }
    }
  }

  // p[r] := lane c holds a(i+r, j+c) * xv[r]: W columns loaded whole,
  // multiplied, transposed. Columns past `cols` give zero lanes.
  static void t_terms(const double *a, ptrdiff_t lda, T xv, int cols, T *p) {
    for (int c = 0; c < W; ++c) p[c] = c < cols ? V::mul(V::load(a + c * lda), xv) : V::zero();
    V::transpose(p);
  }

  // Row i of W columns as one vector (the clean-up rows).
  static T t_row(const double *a, ptrdiff_t lda, int cols) {
    alignas(64) double lane[W] = {};
    for (int c = 0; c < cols; ++c) lane[c] = a[c * lda];
    return V::load(lane);
  }

  // Plain order over rows [0, mc) of G groups of W columns; ax = alpha*x.
  template <int G>
  static void t_cols(int mc, const double *a, ptrdiff_t lda, const double *ax, int cols, T *t) {
    int i = 0;
    // Main body: W rows at a time, the groups side by side.
    for (; i + W <= mc; i += W) {
      const T xv = V::load(ax + i);
      T p[G][W];
      for (int g = 0; g < G; ++g)
        t_terms(a + i + g * W * lda, lda, xv, g + 1 < G ? W : cols, p[g]);
      for (int r = 0; r < W; ++r)
        for (int g = 0; g < G; ++g) t[g] = V::add(t[g], p[g][r]);
    }
    // Clean-up: the last rows one at a time.
    for (; i < mc; ++i) {
      const T xi = V::set1(ax[i]);
      for (int g = 0; g < G; ++g)
        t[g] = V::add(t[g], V::mul(t_row(a + i + g * W * lda, lda, g + 1 < G ? W : cols), xi));
    }
  }

  static void t(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
                ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
    if (incx != 1) return qvk::kGemvScalar.t(m, n, alpha, a, lda, x, incx, beta, y, incy);
    alignas(64) double ax[kChunk];
    for (int i0 = 0; i0 < m; i0 += kChunk) {
      const int mc = m - i0 < kChunk ? m - i0 : kChunk;
      for (int i = 0; i < mc; ++i) ax[i] = alpha * x[i0 + i];
      const bool first = i0 == 0;
      const double *ai = a + i0;
      int j = 0;
      for (; j + kGroups * W <= n; j += kGroups * W) {
        T acc[kGroups];
        t_start<kGroups>(first, beta, y + j * incy, incy, W, acc);
        t_cols<kGroups>(mc, ai + j * lda, lda, ax, W, acc);
        t_store<kGroups>(acc, y + j * incy, incy, W);
      }
      for (; j < n; j += W) {
        const int cols = n - j < W ? n - j : W;
        T acc[1];
        t_start<1>(first, beta, y + j * incy, incy, cols, acc);
        t_cols<1>(mc, ai + j * lda, lda, ax, cols, acc);
        t_store<1>(acc, y + j * incy, incy, cols);
      }
    }
  }

  // ---- dgemv32_t, both increments 1: groups of four rows ----

  template <int G>
  static void tg_cols(int m, const double *a, ptrdiff_t lda, const double *x, double alpha,
                      int cols, T *t) {
    const T al = V::set1(alpha);
    constexpr int R = W < 4 ? 4 : W;  // rows per step: whole groups of four
    int i = 0;
    for (; i + R <= m; i += R) {
      T p[G][R];
      for (int g = 0; g < G; ++g)
        for (int h = 0; h < R; h += W)
          t_terms(a + i + h + g * W * lda, lda, V::load(x + i + h), g + 1 < G ? W : cols,
                  p[g] + h);
      for (int r = 0; r < R; r += 4)
        for (int g = 0; g < G; ++g) {
          const T s = V::add(V::add(V::add(p[g][r], p[g][r + 1]), p[g][r + 2]), p[g][r + 3]);
          t[g] = V::add(t[g], V::mul(al, s));
        }
    }
    // Clean-up: groups of four rows (and a shorter last one) from row vectors.
    for (; i < m; i += 4) {
      const int rows = m - i < 4 ? m - i : 4;
      for (int g = 0; g < G; ++g) {
        const int cnt = g + 1 < G ? W : cols;
        const double *ag = a + i + g * W * lda;
        T s = V::mul(t_row(ag, lda, cnt), V::set1(x[i]));
        for (int r = 1; r < rows; ++r) s = V::add(s, V::mul(t_row(ag + r, lda, cnt), V::set1(x[i + r])));
        t[g] = V::add(t[g], V::mul(al, s));
      }
    }
  }

  static void tg(int m, int n, double alpha, const double *a, ptrdiff_t lda, const double *x,
                 ptrdiff_t incx, double beta, double *y, ptrdiff_t incy) {
    if (incx != 1 || incy != 1)
      return qvk::kGemvScalar.tg(m, n, alpha, a, lda, x, incx, beta, y, incy);
    int j = 0;
    for (; j + kGroups * W <= n; j += kGroups * W) {
      T acc[kGroups];
      t_start<kGroups>(true, beta, y + j, 1, W, acc);
      tg_cols<kGroups>(m, a + j * lda, lda, x, alpha, W, acc);
      t_store<kGroups>(acc, y + j, 1, W);
    }
    for (; j < n; j += W) {
      const int cols = n - j < W ? n - j : W;
      T acc[1];
      t_start<1>(true, beta, y + j, 1, cols, acc);
      tg_cols<1>(m, a + j * lda, lda, x, alpha, cols, acc);
      t_store<1>(acc, y + j, 1, cols);
    }
  }
};

}  // namespace

#endif

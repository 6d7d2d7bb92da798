// The general case of eagemm written once over a vector type V (see
// kernels/vector/simd.h), included by each instruction-set file only.
//
// Layout: C is formed in tiles of MR = MV*W rows by NR columns held in
// registers, vectors running down the rows of C, each value of op(B)
// broadcast. For each block of NC columns and KC values of l, op(B) is
// copied into slivers of NR columns stored l after l (columns past n padded
// with zeros); then op(A), MC rows at a time, into slivers of MR rows stored
// l after l (rows past m padded with zeros, never stored back). alpha is
// folded into the copy of A when transb means no transpose, into the copy
// of B otherwise. Every element keeps one accumulator per block of l:
// t = factor*c (or +0.0, C unread) and t := t + p*q for each l in order,
// stored at the end of the block and reloaded (factor 1.0) for the next one.
#ifndef QVK_KERNELS_DENSE_GEMM_SIMD_H
#define QVK_KERNELS_DENSE_GEMM_SIMD_H

#include <cstddef>
#include <utility>

#include "kernels/vector/blocking.h"

namespace {

template <class V, int MV, int NR, int MC, int KC, int NC>
struct GemmSimd {
  using T = typename V::T;
  using ptrdiff_t = std::ptrdiff_t;
  static constexpr int W = V::W, MR = MV * W;
  static_assert(MC % MR == 0 && NC % NR == 0, "blocks hold whole tiles");
  static_assert(sizeof(double) * (MC * KC + KC * NC) <= qvk::kFrameBudget,
                "copy buffers over the frame budget");

  using Tile = void (*)(int kc, const double *ap, const double *b, double *c, ptrdiff_t ldc,
                        double factor, int tail);

  // One tile of NV vectors of rows (the last holding `tail` rows) by NCOL
  // columns; q(l, j) = b[l*NR + j].
  template <int NV, int NCOL>
  static void tile(int kc, const double *ap, const double *b, double *c, ptrdiff_t ldc,
                   double factor, int tail) {
    T acc[NV][NCOL];
    // Start of the block: factor*c, or +0.0 without reading C.
    if (factor == 0.0) {
      for (int j = 0; j < NCOL; ++j)
        for (int v = 0; v < NV; ++v) acc[v][j] = V::zero();
    } else {
      const T f = V::set1(factor);
      for (int j = 0; j < NCOL; ++j) {
        for (int v = 0; v + 1 < NV; ++v) acc[v][j] = V::mul(f, V::load(c + v * W + j * ldc));
        acc[NV - 1][j] = V::mul(f, V::loadn(c + (NV - 1) * W + j * ldc, tail));
      }
    }
    // Main body: one product per element and l, rounded, then added.
    const double *q = b;
    for (int l = 0; l < kc; ++l, ap += MR) {
      T p[NV];
      for (int v = 0; v < NV; ++v) p[v] = V::load(ap + v * W);
      for (int j = 0; j < NCOL; ++j) {
        const T qj = V::set1(q[j]);
        for (int v = 0; v < NV; ++v) acc[v][j] = V::add(acc[v][j], V::mul(p[v], qj));
      }
      q += NR;
    }
    for (int j = 0; j < NCOL; ++j) {
      for (int v = 0; v + 1 < NV; ++v) V::store(c + v * W + j * ldc, acc[v][j]);
      V::storen(c + (NV - 1) * W + j * ldc, acc[NV - 1][j], tail);
    }
  }

  // A plain struct rather than std::array: its accessors would be
  // instantiated outside this unit's unnamed namespace.
  struct Tiles {
    Tile at[MV * NR];
  };
  template <std::size_t... I>
  static constexpr Tiles tiles(std::index_sequence<I...>) {
    return {{&tile<int(I / NR) + 1, int(I % NR) + 1>...}};
  }

  // Tiles over the rows [0, mc) of a copied A block and the columns
  // [0, ncols) of a copied B block: columns of NR outside, slivers of MR
  // rows inside. The lines of C that the next tile starts from are fetched
  // while this one runs.
  static void block(int mc, int ncols, int kc, const double *abuf, const double *bbuf,
                    double *c, ptrdiff_t ldc, double factor) {
    static constexpr Tiles table = tiles(std::make_index_sequence<MV * NR>{});
    for (int jr = 0; jr < ncols; jr += NR) {
      const int nc = ncols - jr < NR ? ncols - jr : NR;
      for (int ir = 0; ir < mc; ir += MR) {
        const int rows = mc - ir < MR ? mc - ir : MR;
        const int nv = (rows + W - 1) / W;
        // The next tile: the rows below, or the first rows of the next
        // columns (none after the last).
        int next_row = ir + MR, next_col = jr, next_cols = nc;
        if (next_row >= mc) {
          next_row = 0;
          next_col = jr + NR;
          next_cols = ncols - next_col < NR ? ncols - next_col : NR;
        }
        const int next_rows = mc - next_row < MR ? mc - next_row : MR;
        for (int j = 0; j < next_cols; ++j) {
          const double *line = c + next_row + static_cast<ptrdiff_t>(next_col + j) * ldc;
          __builtin_prefetch(line, 1);
          __builtin_prefetch(line + (next_rows - 1), 1);
        }
        table.at[(nv - 1) * NR + (nc - 1)](kc, abuf + static_cast<ptrdiff_t>(ir) * kc,
                                          bbuf + static_cast<ptrdiff_t>(jr) * kc,
                                          c + ir + jr * ldc, ldc, factor, rows - (nv - 1) * W);
      }
    }
  }

  // op(A)(ic.., pc..) into slivers of MR rows, l after l; scaled by alpha
  // (rounded) when `scale`.
  static void copy_a(bool ta, const double *a, ptrdiff_t lda, int ic, int pc, int mc, int kc,
                     bool scale, double alpha, double *abuf) {
    const T s = V::set1(alpha);
    if (!ta) {
      // Rows of op(A) are rows of A: each column of the block read down
      // once, whole vectors sent to the slivers.
      const double *src = a + ic + pc * lda;
      for (int l = 0; l < kc; ++l, src += lda)
        for (int ir = 0; ir < mc; ir += MR) {
          const int rows = mc - ir < MR ? mc - ir : MR;
          double *dst = abuf + static_cast<ptrdiff_t>(ir) * kc + l * MR;
          for (int v = 0; v < MV; ++v) {
            const int cnt = rows - v * W;
            const double *p = src + ir + v * W;
            const T x = cnt >= W ? V::load(p) : cnt > 0 ? V::loadn(p, cnt) : V::zero();
            V::store(dst + v * W, scale ? V::mul(s, x) : x);
          }
        }
      return;
    }
    // Rows of op(A) are columns of A: W columns by W values of l at a time,
    // loaded down the columns and transposed.
    for (int ir = 0; ir < mc; ir += MR) {
      const int rows = mc - ir < MR ? mc - ir : MR;
      double *dst = abuf + static_cast<ptrdiff_t>(ir) * kc;
      for (int v = 0; v < MV; ++v) {
        const int cnt = rows - v * W;
        for (int l0 = 0; l0 < kc; l0 += W) {
          const int lc = kc - l0 < W ? kc - l0 : W;
          T blk[W];
          for (int r = 0; r < W; ++r) {
            if (r >= cnt) {
              blk[r] = V::zero();
              continue;
            }
            const double *col = a + (pc + l0) + static_cast<ptrdiff_t>(ic + ir + v * W + r) * lda;
            const T x = lc == W ? V::load(col) : V::loadn(col, lc);
            blk[r] = scale ? V::mul(s, x) : x;
          }
          V::transpose(blk);
          for (int q = 0; q < lc; ++q) V::store(dst + (l0 + q) * MR + v * W, blk[q]);
        }
      }
    }
  }

  // op(B)(pc.., jc..) into slivers of NR columns, l after l; columns past
  // n padded with zeros. With `tb`, op(B)(l, j) = b(j, l), scaled by alpha
  // (rounded); otherwise b(l, j) as it stands.
  static void copy_b(bool tb, const double *b, ptrdiff_t ldb, int jc, int pc, int nc, int kc,
                     double alpha, double *bbuf) {
    for (int jr = 0; jr < nc; jr += NR) {
      const int cols = nc - jr < NR ? nc - jr : NR;
      double *dst = bbuf + static_cast<ptrdiff_t>(jr) * kc;
      if (tb) {
        const double *src = b + (jc + jr) + pc * ldb;
        if (cols == NR && NR % W == 0) {
          // Whole slivers: the NR values of one l are contiguous in B.
          const T s = V::set1(alpha);
          for (int l = 0; l < kc; ++l, src += ldb, dst += NR)
            for (int v = 0; v < NR; v += W) V::store(dst + v, V::mul(s, V::load(src + v)));
          continue;
        }
        for (int l = 0; l < kc; ++l, src += ldb, dst += NR) {
          for (int j = 0; j < cols; ++j) dst[j] = alpha * src[j];
          for (int j = cols; j < NR; ++j) dst[j] = 0.0;
        }
      } else {
        // Columns of op(B) are columns of B: NR of them read side by side.
        const double *src = b + pc + (jc + jr) * ldb;
        for (int l = 0; l < kc; ++l, ++src, dst += NR) {
          for (int j = 0; j < cols; ++j) dst[j] = src[j * ldb];
          for (int j = cols; j < NR; ++j) dst[j] = 0.0;
        }
      }
    }
  }

  static void general(bool ta, bool tb, int m, int n, int k, double alpha, const double *a,
                      ptrdiff_t lda, const double *b, ptrdiff_t ldb, double beta, double *c,
                      ptrdiff_t ldc) {
    alignas(64) double abuf[MC * KC];
    alignas(64) double bbuf[KC * NC];
    for (int jc = 0; jc < n; jc += NC) {
      const int nc = n - jc < NC ? n - jc : NC;
      for (int pc = 0; pc < k; pc += KC) {
        const int kc = k - pc < KC ? k - pc : KC;
        const double factor = pc == 0 ? beta : 1.0;
        copy_b(tb, b, ldb, jc, pc, nc, kc, alpha, bbuf);
        for (int ic = 0; ic < m; ic += MC) {
          const int mc = m - ic < MC ? m - ic : MC;
          copy_a(ta, a, lda, ic, pc, mc, kc, !tb, alpha, abuf);
          block(mc, nc, kc, abuf, bbuf, c + ic + jc * ldc, ldc, factor);
        }
      }
    }
  }
};

// The path of vector type V with the blocks of shape S of a table.
template <class V, const qvk::GemmBlocks (&Rows)[qvk::kGemmShapes], int S>
using GemmFor = GemmSimd<V, Rows[S].mv, Rows[S].nr, Rows[S].mc, Rows[S].kc, Rows[S].nc>;

// Fills one entry per shape.
template <class V, const qvk::GemmBlocks (&Rows)[qvk::kGemmShapes]>
void gemm_fill_shapes(qvk::GemmPaths &p) {
  static_assert(qvk::kGemmShapes == 2, "one line per shape");
  p.general[qvk::kShapeWide] = GemmFor<V, Rows, qvk::kShapeWide>::general;
  p.general[qvk::kShapeTall] = GemmFor<V, Rows, qvk::kShapeTall>::general;
}

}  // namespace

#endif

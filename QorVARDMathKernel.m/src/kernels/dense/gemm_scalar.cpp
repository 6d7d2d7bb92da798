// The plain blocked product: the definition of the order that the other
// paths reproduce bit for bit.
#include "kernels/dense/gemm.h"
#include "kernels/vector/blocking.h"

namespace qvk {
namespace {

using std::ptrdiff_t;

constexpr int kColsN = kGemmScalarBlocks.cols_n;
constexpr int kColsT = kGemmScalarBlocks.cols_t;
constexpr int kDepth = kGemmScalarBlocks.depth;
constexpr int kRows = kGemmScalarBlocks.rows;

// One register block of mr by nr (at most 4 by 4) elements: p holds the
// block's rows, 100 apart; q(l, j) sits at q[l + j*ldq].
void register_block(int mr, int nr, int kb, const double *p, const double *q, ptrdiff_t ldq,
                    double factor, double *c, ptrdiff_t ldc) {
  double t[4][4];
  for (int j = 0; j < nr; ++j)
    for (int i = 0; i < mr; ++i) t[i][j] = factor == 0.0 ? 0.0 : factor * c[i + j * ldc];
  for (int l = 0; l < kb; ++l)
    for (int j = 0; j < nr; ++j)
      for (int i = 0; i < mr; ++i) t[i][j] = t[i][j] + p[i * kDepth + l] * q[l + j * ldq];
  for (int j = 0; j < nr; ++j)
    for (int i = 0; i < mr; ++i) c[i + j * ldc] = t[i][j];
}

void general(bool ta, bool tb, int m, int n, int k, double alpha, const double *a, ptrdiff_t lda,
             const double *b, ptrdiff_t ldb, double beta, double *c, ptrdiff_t ldc) {
  double bblock[kColsT * kDepth];  // alpha*op(B)(l, j) at [l + j*100], transb only
  double apanel[kGemmScalarBlocks.panel];  // op(A)(i, l) at [i*100 + l]
  const int cols = tb ? kColsT : kColsN;
  for (int jc = 0; jc < n; jc += cols) {
    const int nb = n - jc < cols ? n - jc : cols;
    for (int pc = 0; pc < k; pc += kDepth) {
      const int kb = k - pc < kDepth ? k - pc : kDepth;
      const double factor = pc == 0 ? beta : 1.0;
      const double *q;
      ptrdiff_t ldq;
      if (tb) {
        for (int j = 0; j < nb; ++j)
          for (int l = 0; l < kb; ++l)
            bblock[l + j * kDepth] = alpha * b[(jc + j) + (pc + l) * ldb];
        q = bblock;
        ldq = kDepth;
      } else {
        q = b + pc + jc * ldb;
        ldq = ldb;
      }
      for (int ic = 0; ic < m; ic += kRows) {
        const int mb = m - ic < kRows ? m - ic : kRows;
        // A panel: scaled by alpha when B is read in place.
        for (int i = 0; i < mb; ++i)
          for (int l = 0; l < kb; ++l) {
            const double v = ta ? a[(pc + l) + (ic + i) * lda] : a[(ic + i) + (pc + l) * lda];
            apanel[i * kDepth + l] = tb ? v : alpha * v;
          }
        // Register blocks: columns four at a time outside, rows inside.
        for (int jr = 0; jr < nb; jr += 4)
          for (int ir = 0; ir < mb; ir += 4)
            register_block(mb - ir < 4 ? mb - ir : 4, nb - jr < 4 ? nb - jr : 4, kb,
                           apanel + ir * kDepth, q + jr * ldq, ldq, factor,
                           c + (ic + ir) + (jc + jr) * ldc, ldc);
      }
    }
  }
}

}  // namespace

const GemmPaths kGemmScalar = {general};

const GemmPaths &gemm_paths(int level) {
  static void (*const fill[kIsaCount])(GemmPaths &) = {nullptr, gemm_fill_sse2, gemm_fill_avx2,
                                                       gemm_fill_avx512};
  static const PathTable<GemmPaths> table(kGemmScalar, fill);
  return table.level[level];
}

}  // namespace qvk

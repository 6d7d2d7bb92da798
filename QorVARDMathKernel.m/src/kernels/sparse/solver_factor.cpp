// The numeric phases: the multifrontal LDL' factorization and the solves.
//
// Fronts are visited in postorder. A front is assembled from the matrix's
// columns of its pivots and from its children's update matrices
// (extend-add, the last child first: it is the top of the update stack);
// its pivots are eliminated a block at a time (the pivot block by
// easlff_nt, the panel and the trailing update by eagemm), and its
// trailing block is pushed on the stack as its update matrix. Every sum
// runs in an order fixed by the analysis alone, so the bits depend on the
// ordering and nothing else.
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/sparse.h"
#include "QorVARDMathKernel/vector.h"
#include "kernels/sparse/solver.h"

namespace qvk_solver {

void Pool::release() {
  if (mm_.GetIndiceAllocation() > mark_) mm_.Desallocation(mark_);
}

void *Pool::take_bytes(double bytes) {
  if (bytes < 8) bytes = 8;
  // Words of L bytes: floor(L/8) + 1, counted in 32 bits.
  if (bytes > 4294967280.0) throw Failure{QVK_SPARSE_TOO_LARGE, "an array exceeds 4 GB"};
  char *p = nullptr;
  int index = 0;
  if (mm_.Allocation(1, index, &p, static_cast<unsigned int>(bytes)) != 0 || !p)
    throw Failure{QVK_SPARSE_NO_MEMORY, "not enough memory"};
#ifdef MADV_POPULATE_WRITE
  // A large array (the factor, the trailing blocks, the update stack) is
  // written page by page on first use, and a page fault costs more than
  // the page's writing: its pages are had in one call instead (measured:
  // 440 MB in 0.25 s against 0.45 s by faults). Where the system has no
  // such call, the faults stay.
  constexpr std::uintptr_t kPage = 4096;
  if (bytes >= double(1u << 21)) {
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t lo = (at + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t hi = (at + static_cast<std::uintptr_t>(bytes)) & ~(kPage - 1);
    if (hi > lo) madvise(reinterpret_cast<void *>(lo), hi - lo, MADV_POPULATE_WRITE);
  }
#endif
  return p;
}

namespace {

// Pivots per call of easlff_nt; each block's panel and trailing update
// then go through eagemm with this inner dimension.
constexpr int kPivotBlock = 64;
// Pivots whose update of the later pivot columns goes in one call per
// column block: within a super-block the pivot blocks update only its own
// columns, so that the rest of a large front is read and written once per
// super-block rather than once per pivot block.
constexpr int kSuperBlock = 256;
// Columns of the panel solved together before their part of the later
// columns is subtracted by eagemm.
constexpr int kPanelStep = 16;
// Columns of one trailing-update call (its rows run to the front's end): a
// multiple of every tile width of eagemm (4, 6, 8), so no call ends on a
// partial tile but the front's last.
constexpr int kUpdateColumns = 264;
// Columns of one call in the diagonal part of such a block.
constexpr int kDiagonalStep = 72;

// C -= X W' on the lower trapezoid of C (rows 0..m-1, columns 0..n-1,
// entries i >= j only), depth k: column blocks of kUpdateColumns, each
// block's diagonal part in narrower steps so that little of the upper
// triangle is computed. eagemm fixes each entry's sum by k alone, so the
// split changes no bit.
void update_lower(int m, int n, int k, const double *x, int ldx, const double *w, int ldw,
                  double *c, int ldc, const char *tw) {
  const double one = 1.0, minus = -1.0;
  const bool wt = tw[0] == 'T';
  for (int c0 = 0; c0 < n; c0 += kUpdateColumns) {
    const int wd = std::min(kUpdateColumns, n - c0);
    for (int s0 = c0; s0 < c0 + wd; s0 += kDiagonalStep) {
      const int sw = std::min(kDiagonalStep, c0 + wd - s0), rows = c0 + wd - s0;
      const double *ws = wt ? w + s0 : w + static_cast<std::size_t>(s0) * ldw;
      eagemm("N", tw, &rows, &sw, &k, &minus, x + s0, &ldx, ws, &ldw, &one,
             c + s0 + static_cast<std::size_t>(s0) * ldc, &ldc, 1, 1);
    }
    const int below = m - c0 - wd;
    if (below > 0) {
      const double *ws = wt ? w + c0 : w + static_cast<std::size_t>(c0) * ldw;
      eagemm("N", tw, &below, &wd, &k, &minus, x + c0 + wd, &ldx, ws, &ldw, &one,
             c + c0 + wd + static_cast<std::size_t>(c0) * ldc, &ldc, 1, 1);
    }
  }
}

// Eliminates the nc pivot columns of a front of order r: f holds those
// columns (r x nc, leading dimension r, the lower part), cb the lower
// triangle of the other m = r - nc rows and columns (leading dimension m),
// which becomes their Schur complement. Returns the status of easlff_nt
// (0, 6 or 34); count is the running pivot number.
//
// Phase 1 factors the panel (the nc pivot columns, all r rows) by
// super-blocks of kSuperBlock pivots, each by blocks of kPivotBlock:
// easlff_nt on the pivot block; W = A21 L11^-T and X = W D^-1 below it (X
// kept in the front); the super-block's later columns less X W'. Then the
// pivot columns after the super-block less its X W' at once (W's rows
// below it kept in ws). The rows of W below the panel are kept in wm
// (m x nc, by columns).
// Phase 2 then updates the trailing block once, C -= X W' with depth nc,
// so that its m(m+1)/2 entries are read and written once per front.
int partial_ldlt(double *f, int r, int nc, double *cb, const double *dorig,
                 const qvk_sparse_control &c, int &count, double &ratiomin, double *pk, double *wk,
                 double *ws, double *wm) {
  const double one = 1.0, minus = -1.0;
  const int inc = 1;
  const std::size_t ld = r;
  for (int s0 = 0; s0 < nc; s0 += kSuperBlock) {
    const int s1 = std::min(s0 + kSuperBlock, nc);  // the super-block's end
    const int below = r - s1;                       // rows below it
    for (int k0 = s0; k0 < s1; k0 += kPivotBlock) {
      const int b = std::min(kPivotBlock, s1 - k0);
      double *d = f + k0 + k0 * ld;
      // The pivot block, packed by rows of its upper triangle (= columns
      // of the lower one).
      std::size_t q = 0;
      for (int j = 0; j < b; ++j)
        for (int i = j; i < b; ++i) pk[q++] = d[i + j * ld];
      int stats = 0, status = 0;
      float fl1 = 0, fl2 = 0;
      if (easlff_nt(&b, &b, pk, &ratiomin, dorig, &c.tiny, &c.threshold, &count, &stats, &fl1,
                    &fl2, &status) != 0)
        return status;
      q = 0;
      for (int j = 0; j < b; ++j)
        for (int i = j; i < b; ++i) d[i + j * ld] = pk[q++];
      const int mm = r - k0 - b;  // rows below the pivot block
      if (mm == 0) continue;
      // W = A21 L11^-T, X = W D^-1 (X kept in the front, W aside),
      // kPanelStep columns at a time, each step's part of the later
      // columns by eagemm.
      double *a21 = d + b;
      for (int j = 0; j < b; ++j)
        std::memcpy(wk + j * static_cast<std::size_t>(mm), a21 + j * ld, sizeof(double) * mm);
      for (int j0 = 0; j0 < b; j0 += kPanelStep) {
        const int sb = std::min(kPanelStep, b - j0);
        for (int j = j0; j < j0 + sb; ++j) {
          double *wj = wk + j * static_cast<std::size_t>(mm);
          for (int i = j0; i < j; ++i) {
            // wj -= l wi, as wj + (-l) wi: the bits of eagemm's products.
            const double minus_l = -d[j + i * ld];
            e_daxpy(&mm, &minus_l, wk + i * static_cast<std::size_t>(mm), &inc, wj, &inc);
          }
          const double dj = d[j + j * ld];
          double *xj = a21 + j * ld;
          for (int t = 0; t < mm; ++t) xj[t] = wj[t] / dj;
        }
        // The later columns less this step's part, now: each still
        // receives its terms in increasing order, a step at a time.
        const int later = b - j0 - sb;
        if (later > 0)
          eagemm("N", "T", &mm, &later, &sb, &minus, wk + j0 * static_cast<std::size_t>(mm), &mm,
                 d + j0 + sb + j0 * ld, &r, &one, wk + (j0 + sb) * static_cast<std::size_t>(mm),
                 &mm, 1, 1);
      }
      // The super-block's later columns -= X W' (rows to the front's end).
      const int pc = s1 - k0 - b;
      update_lower(mm, pc, b, a21, r, wk, mm, d + b + b * ld, r, "T");
      // W's rows below the super-block, kept for the columns after it.
      for (int j = 0; j < b; ++j)
        std::memcpy(ws + (k0 - s0 + j) * static_cast<std::size_t>(below),
                    wk + pc + j * static_cast<std::size_t>(mm), sizeof(double) * below);
    }
    if (below == 0) continue;
    // The pivot columns after the super-block less its part, at depth
    // s1 - s0; W's rows below the panel kept for phase 2.
    const int later = nc - s1, depth = s1 - s0;
    update_lower(below, later, depth, f + s1 + s0 * ld, r, ws, below, f + s1 + s1 * ld, r, "T");
    const std::size_t m = r - nc;
    for (int j = 0; j < depth; ++j)
      std::memcpy(wm + (s0 + j) * m, ws + later + j * static_cast<std::size_t>(below),
                  sizeof(double) * m);
  }
  // Phase 2: the trailing block -= X W' over all nc pivots, by column
  // blocks.
  const int m = r - nc;
  if (nc > 0 && m > 0) update_lower(m, m, nc, f + nc, r, wm, m, cb, m, "T");
  return 0;
}

// Whether node v lists node u (each list sorted).
bool joined(const Symbolic &s, int v, int u) {
  return std::binary_search(s.adj + s.xadj[v], s.adj + s.xadj[v + 1], u);
}

}  // namespace

void check_stored(int n, const int *ia, const int *ja, int *stamp) {
  if (ia[0] != 0) throw Failure{QVK_SPARSE_BAD_STRUCTURE, "ia(1) is not 0"};
  for (int i = 0; i < n; ++i) stamp[i] = -1;
  for (int i = 0; i < n; ++i) {
    if (ia[i + 1] <= ia[i]) throw Failure{QVK_SPARSE_BAD_STRUCTURE, "a row without its diagonal"};
    if (ja[ia[i + 1] - 1] != i + 1)
      throw Failure{QVK_SPARSE_BAD_STRUCTURE, "a row whose last entry is not its diagonal"};
    for (int p = ia[i]; p < ia[i + 1] - 1; ++p) {
      const int j = ja[p] - 1;
      if (j < 0 || j >= i)
        throw Failure{QVK_SPARSE_BAD_STRUCTURE, "a column out of range or above the diagonal"};
      if (stamp[j] == i) throw Failure{QVK_SPARSE_BAD_STRUCTURE, "an entry given twice"};
      stamp[j] = i;
    }
  }
}

void factor(qvk_sparse_solver &h, const int *ia, const int *ja, const double *a, double *sout) {
  const Symbolic &s = h.sym;
  const int neq = s.neq;
  h.mm_fac.Desallocation(1);
  h.lval = nullptr;
  h.stage = 1;
  Pool work(h.mm_work);

  // The matrix's lower triangle by columns in elimination order; each entry
  // checked against the stored layout and the analysed graph.
  const int nnz = ia[neq];
  int *cp = work.take<int>(neq + 2.0), *stamp = work.take<int>(std::max(neq, 1));
  int *ci = work.take<int>(std::max(nnz, 1));
  double *cv = work.take<double>(std::max(nnz, 1)), *dorig = work.take<double>(std::max(neq, 1));
  char *in_schur = work.take<char>(std::max(neq, 1));
  std::memset(in_schur, 0, std::max(neq, 1));
  for (int i = 0; i < s.nschur; ++i) in_schur[s.schur[i]] = 1;
  for (int j = 0; j <= neq + 1; ++j) cp[j] = 0;
  check_stored(neq, ia, ja, stamp);
  for (int i = 0; i < neq; ++i) {
    for (int p = ia[i]; p < ia[i + 1]; ++p) {
      const int j = ja[p] - 1;
      const int u = s.eqnode[i], v = s.eqnode[j];
      if (u != v && !joined(s, u, v))
        throw Failure{QVK_SPARSE_BAD_STRUCTURE, "an entry outside the analysed graph"};
      ++cp[std::min(s.oldeq[i], s.oldeq[j]) + 2];
    }
  }
  for (int j = 0; j < neq; ++j) cp[j + 2] += cp[j + 1];
  for (int i = 0; i < neq; ++i)
    for (int p = ia[i]; p < ia[i + 1]; ++p) {
      const int x = s.oldeq[i], y = s.oldeq[ja[p] - 1];
      const int q = cp[std::min(x, y) + 1]++;
      ci[q] = std::max(x, y);
      cv[q] = a[p];
    }
  // The pivot test weighs each pivot against its original diagonal, which
  // a negative pivot of a negative diagonal would pass: a positive definite
  // matrix has a positive diagonal, so that is checked first.
  for (int i = 0; i < neq; ++i) {
    const double d = a[ia[i + 1] - 1];
    if (!in_schur[i] && !(d > 0))
      throw Failure{QVK_SPARSE_NOT_POSITIVE, "a diagonal that is not positive", i + 1, d};
    dorig[s.oldeq[i]] = d;
  }

  // The factor, in chunks, kept only when every front is done.
  Pool fac(h.mm_fac);
  double **lval = fac.take<double *>(s.nchunks);
  for (int q = 0; q < s.nchunks; ++q) lval[q] = fac.take<double>(std::max(s.chunk_len[q], 1.0));
  double *cbuf = work.take<double>(std::max(s.max_contribution, 1.0));
  double *ustack = work.take<double>(std::max(s.update_peak, 1.0));
  double *pk = work.take<double>(kPivotBlock * (kPivotBlock + 1) / 2);
  double *wk = work.take<double>(double(std::max(s.max_front, 1)) * kPivotBlock);
  double *ws = work.take<double>(double(std::max(s.max_front, 1)) * kSuperBlock);
  double *wm = work.take<double>(std::max(s.max_panel_below, 1.0));
  int *rel = work.take<int>(std::max(s.max_update_rows, 1));
  int *run_end = work.take<int>(std::max(s.max_update_rows, 1));
  int *loc = stamp;  // reused: row -> place in the front
  std::size_t top = 0;
  int count = 0;
  double ratiomin = 1.0;
  using clock = std::chrono::steady_clock;
  const clock::time_point start = clock::now();
  clock::duration in_fronts{};
  for (int f = 0; f < s.nfronts; ++f) {
    const Front &F = s.fronts[f];
    const int r = F.rows;
    const int *rows = s.rowidx + F.row_at;
    for (int i = 0; i < r; ++i) loc[rows[i]] = i;
    // The pivot columns live in the factor from the start; the other rows
    // and columns (all of them in the Schur front) in cbuf.
    const bool schur_front = s.nschur > 0 && f == s.nfronts - 1;
    const int nc = schur_front ? 0 : F.ncol, m = r - nc;
    double *l = schur_front ? nullptr : lval[F.chunk] + F.val_at;
    // Column c of the front and the row that its first element stands for.
    auto column = [&](int c, int &shift) {
      shift = c < nc ? 0 : nc;
      return c < nc ? l + static_cast<std::size_t>(c) * r : cbuf + static_cast<std::size_t>(c - nc) * m;
    };
    for (int j = 0; j < nc; ++j)
      std::memset(l + static_cast<std::size_t>(j) * r + j, 0, sizeof(double) * (r - j));
    for (int j = 0; j < m; ++j)
      std::memset(cbuf + static_cast<std::size_t>(j) * m + j, 0, sizeof(double) * (m - j));
    for (int j = 0; j < F.ncol; ++j) {
      int shift;
      double *fj = column(j, shift);
      for (int p = cp[F.first + j]; p < cp[F.first + j + 1]; ++p) fj[loc[ci[p]] - shift] += cv[p];
    }
    // Extend-add, the last child (the top of the stack) first.
    for (int k = F.child_end - 1; k >= F.child_begin; --k) {
      const Front &C = s.fronts[s.kids[k]];
      const int cm = C.rows - C.ncol;
      const int *crow = s.rowidx + C.row_at + C.ncol;
      top -= static_cast<std::size_t>(cm) * (cm + 1) / 2;
      const double *u = ustack + top;
      // The child's rows in the front, and where each run of consecutive
      // ones ends (a node's equations at least, often far more): each run
      // of a column adds as one vector.
      for (int i = 0; i < cm; ++i) rel[i] = loc[crow[i]];
      for (int i = cm - 1; i >= 0; --i)
        run_end[i] = i + 1 < cm && rel[i + 1] == rel[i] + 1 ? run_end[i + 1] : i + 1;
      for (int j = 0; j < cm; ++j) {
        int shift;
        double *fj = column(rel[j], shift);
        for (int i = j; i < cm;) {
          const int e = run_end[i];
          double *t = fj + (rel[i] - shift);
          const double *v = u + (i - j);
          for (int q = 0; q < e - i; ++q) t[q] += v[q];
          i = e;
        }
        u += cm - j;
      }
    }
    if (schur_front) {
      // The Schur complement, in the caller's order, both triangles.
      const int ns = s.nschur;
      for (int b = 0; b < ns; ++b)
        for (int a2 = 0; a2 < ns; ++a2) {
          const int x = loc[s.oldeq[s.schur[a2]]], y = loc[s.oldeq[s.schur[b]]];
          sout[a2 + static_cast<std::size_t>(b) * ns] =
              x >= y ? cbuf[x + static_cast<std::size_t>(y) * m] : cbuf[y + static_cast<std::size_t>(x) * m];
        }
      continue;
    }
    const clock::time_point t0 = clock::now();
    const int status = partial_ldlt(l, r, nc, cbuf, dorig, h.control, count, ratiomin, pk, wk, ws, wm);
    in_fronts += clock::now() - t0;
    if (status != 0) {
      const int eq = s.neweq[count - 1] + 1;
      throw Failure{status, status == 6 ? "zero pivot" : "pivot not positive", eq, ratiomin};
    }
    double *u = ustack + top;
    for (int j = 0; j < m; ++j) {
      std::memcpy(u, cbuf + static_cast<std::size_t>(j) * m + j, sizeof(double) * (m - j));
      u += m - j;
    }
    top += static_cast<std::size_t>(m) * (m + 1) / 2;
  }
  h.info.time_fronts = std::chrono::duration<double>(in_fronts).count();
  h.info.time_assembly =
      std::chrono::duration<double>(clock::now() - start).count() - h.info.time_fronts;
  fac.keep();
  h.lval = lval;
  h.info.min_ratio = ratiomin;
  h.stage = 2;
}

void solve(qvk_sparse_solver &h, int job, int nrhs, double *b, int ldb) {
  const Symbolic &s = h.sym;
  const int n = s.neq;
  if (n == 0 || nrhs == 0) return;
  Pool work(h.mm_work);
  double *y = work.take<double>(double(n) * nrhs);
  double *z = work.take<double>(std::max(double(s.max_update_rows) * nrhs, 1.0));
  for (int c = 0; c < nrhs; ++c)
    for (int i = 0; i < n; ++i)
      y[i + static_cast<std::size_t>(c) * n] = b[s.neweq[i] + static_cast<std::size_t>(c) * ldb];
  const bool lower = job == QVK_SOLVE_FULL || job == QVK_SOLVE_L || job == QVK_SOLVE_CONDENSE;
  const bool diag = job == QVK_SOLVE_FULL || job == QVK_SOLVE_D || job == QVK_SOLVE_CONDENSE;
  const bool upper = job == QVK_SOLVE_FULL || job == QVK_SOLVE_LT || job == QVK_SOLVE_EXPAND;
  // The Schur front, when there is one, is the last and is never solved.
  const int nf = s.nfronts - (s.nschur > 0 ? 1 : 0);
  const double one = 1.0, zero = 0.0, minus = -1.0;
  if (lower)  // L y = b, front by front
    for (int f = 0; f < nf; ++f) {
      const Front &F = s.fronts[f];
      const double *l = h.lval[F.chunk] + F.val_at;
      const int r = F.rows, nc = F.ncol, m = r - nc;
      for (int c = 0; c < nrhs; ++c) {
        double *yc = y + F.first + static_cast<std::size_t>(c) * n;
        for (int j = 0; j < nc; ++j) {
          const double v = yc[j];
          const double *lj = l + static_cast<std::size_t>(j) * r;
          for (int i = j + 1; i < nc; ++i) yc[i] -= lj[i] * v;
        }
      }
      if (m == 0) continue;
      eagemm("N", "N", &m, &nrhs, &nc, &one, l + nc, &r, y + F.first, &n, &zero, z, &m, 1, 1);
      const int *rows = s.rowidx + F.row_at + nc;
      for (int c = 0; c < nrhs; ++c)
        for (int i = 0; i < m; ++i)
          y[rows[i] + static_cast<std::size_t>(c) * n] -= z[i + static_cast<std::size_t>(c) * m];
    }
  if (diag)
    for (int f = 0; f < nf; ++f) {
      const Front &F = s.fronts[f];
      const double *l = h.lval[F.chunk] + F.val_at;
      for (int j = 0; j < F.ncol; ++j) {
        const double d = l[j + static_cast<std::size_t>(j) * F.rows];
        for (int c = 0; c < nrhs; ++c) y[F.first + j + static_cast<std::size_t>(c) * n] /= d;
      }
    }
  if (upper)  // L' x = y, fronts in reverse
    for (int f = nf - 1; f >= 0; --f) {
      const Front &F = s.fronts[f];
      const double *l = h.lval[F.chunk] + F.val_at;
      const int r = F.rows, nc = F.ncol, m = r - nc;
      if (m > 0) {
        const int *rows = s.rowidx + F.row_at + nc;
        for (int c = 0; c < nrhs; ++c)
          for (int i = 0; i < m; ++i)
            z[i + static_cast<std::size_t>(c) * m] = y[rows[i] + static_cast<std::size_t>(c) * n];
        eagemm("T", "N", &nc, &nrhs, &m, &minus, l + nc, &r, z, &m, &one, y + F.first, &n, 1, 1);
      }
      for (int c = 0; c < nrhs; ++c) {
        double *yc = y + F.first + static_cast<std::size_t>(c) * n;
        for (int j = nc - 1; j >= 0; --j) {
          const double *lj = l + static_cast<std::size_t>(j) * r;
          double v = yc[j];
          for (int i = j + 1; i < nc; ++i) v -= lj[i] * yc[i];
          yc[j] = v;
        }
      }
    }
  for (int c = 0; c < nrhs; ++c)
    for (int i = 0; i < n; ++i)
      b[s.neweq[i] + static_cast<std::size_t>(c) * ldb] = y[i + static_cast<std::size_t>(c) * n];
}

}  // namespace qvk_solver

// Ordering and the supernodal multifrontal LDL' factorization.
//
// The symbolic phase works on the node graph (a node carries 1 to 3
// equations that share their sparsity): elimination tree, postorder, column
// counts by row subtrees, fundamental supernodes, relaxed amalgamation, and
// the row structure of each front. The numeric phase visits the supernodes
// in postorder; a front is assembled from the matrix and from its
// children's update matrices (extend-add), its pivot columns are eliminated
// block by block (the pivot blocks by easlff_nt, the panel and the trailing
// update by eagemm), and the trailing block is pushed as its update matrix.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "QorVARDMathKernel/dense.h"
#include "fesolve.h"
#include "QorVARDMathKernel/sparse.h"

namespace fesolve {

std::vector<int> order_graph(const Graph &g, Ordering o) {
  const int n = g.n;
  std::vector<int> perm(n);
  for (int k = 0; k < n; ++k) perm[k] = o == kReversed ? n - 1 - k : k;
  if (o != kMinimumDegree || n == 0) return perm;
  // mmd takes the 1-based pointer form and overwrites the adjacency.
  std::vector<int> xadj(n + 1), adjncy(std::max<std::size_t>(g.adj.size(), 1));
  for (int i = 0; i <= n; ++i) xadj[i] = g.xadj[i] + 1;
  for (std::size_t p = 0; p < g.adj.size(); ++p) adjncy[p] = g.adj[p] + 1;
  std::vector<int> invp(n), p1(n), dhead(n), qsize(n), llist(n), marker(n);
  int nofsub = 0;
  // delta 0: only nodes of the minimum degree are taken between updates,
  // for the least fill. maxint: a mark above every tag, with room for the
  // tag arithmetic to stay below 2^31.
  mmd(n, xadj.data(), adjncy.data(), invp.data(), p1.data(), 0, dhead.data(), qsize.data(),
      llist.data(), marker.data(), INT_MAX / 2, &nofsub);
  for (int k = 0; k < n; ++k) perm[k] = p1[k] - 1;
  return perm;
}

void Multifrontal::analyse(const Graph &g, const std::vector<int> &perm0) {
  const int n = g.n;
  // Permuted graph: node labels are elimination positions.
  std::vector<int> inv(n);
  for (int k = 0; k < n; ++k) inv[perm0[k]] = k;

  // Elimination tree (Liu), with path compression through ancestor links.
  std::vector<int> parent(n, -1), anc(n, -1);
  for (int k = 0; k < n; ++k) {
    const int v = perm0[k];
    for (int p = g.xadj[v]; p < g.xadj[v + 1]; ++p) {
      int j = inv[g.adj[p]];
      while (j >= 0 && j < k) {
        const int next = anc[j];
        anc[j] = k;
        if (next < 0) parent[j] = k;
        j = next;
      }
    }
  }
  // Postorder: children visited in increasing order, each subtree's nodes
  // consecutive, so a supernode's last child ends just before it.
  std::vector<int> head(n, -1), nextc(n, -1);
  for (int j = n - 1; j >= 0; --j)
    if (parent[j] >= 0) {
      nextc[j] = head[parent[j]];
      head[parent[j]] = j;
    }
  std::vector<int> post, stack;
  post.reserve(n);
  for (int r = 0; r < n; ++r) {
    if (parent[r] >= 0) continue;
    stack.push_back(r);
    while (!stack.empty()) {
      int j = stack.back();
      if (head[j] >= 0) {
        int c = head[j];
        head[j] = nextc[c];
        stack.push_back(c);
      } else {
        post.push_back(j);
        stack.pop_back();
      }
    }
  }
  std::vector<int> perm(n), lab(n);
  for (int k = 0; k < n; ++k) {
    perm[k] = perm0[post[k]];
    lab[post[k]] = k;
  }
  std::vector<int> par(n, -1);
  for (int k = 0; k < n; ++k)
    if (parent[k] >= 0) par[lab[k]] = lab[parent[k]];
  for (int k = 0; k < n; ++k) inv[perm[k]] = k;
  std::vector<int> w(n);
  for (int k = 0; k < n; ++k) w[k] = g.width[perm[k]];

  // Column counts by row subtrees: row k of L reaches every node on the
  // paths from its neighbours j < k up to k. cc counts nodes, wcc equations.
  std::vector<int> cc(n, 0), nchild(n, 0), mark(n, -1);
  std::vector<long long> wcc(n, 0);
  for (int k = 0; k < n; ++k) {
    if (par[k] >= 0) ++nchild[par[k]];
    mark[k] = k;
    const int v = perm[k];
    for (int p = g.xadj[v]; p < g.xadj[v + 1]; ++p)
      for (int j = inv[g.adj[p]]; j < k && mark[j] != k; j = par[j]) {
        mark[j] = k;
        ++cc[j];
        wcc[j] += w[k];
      }
  }

  // Fundamental supernodes, then amalgamation of a supernode with the child
  // just before it while the explicit zeros stay few.
  struct Cand {
    int first, last;            // nodes
    long long ncol, below, zeros;  // equations
  };
  std::vector<Cand> sup;
  std::vector<int> snode_of(n);
  for (int k = 0; k < n; ++k) {
    const bool chain = k > 0 && par[k - 1] == k && cc[k - 1] == cc[k] + 1 && nchild[k] == 1;
    if (!chain) sup.push_back({k, k, 0, wcc[k], 0});
    sup.back().last = k;
    sup.back().ncol += w[k];
    sup.back().below = wcc[k];
    snode_of[k] = static_cast<int>(sup.size()) - 1;
  }
  std::vector<Cand> merged;
  for (const Cand &p0 : sup) {
    Cand p = p0;
    while (!merged.empty()) {
      const Cand &c = merged.back();
      if (par[c.last] != p.first && !(par[c.last] >= p.first && par[c.last] <= p.last)) break;
      const long long ncol = c.ncol + p.ncol;
      const long long added = c.ncol * (p.ncol + p.below - c.below);
      const long long zeros = c.zeros + p.zeros + added;
      const double total = 0.5 * ncol * (ncol + 1) + double(ncol) * p.below;
      const double f = zeros / total;
      const bool take = ncol <= 4 || (ncol <= 16 && f < 0.8) || (ncol <= 48 && f < 0.1) || f < 0.05;
      if (!take) break;
      p.first = c.first;
      p.ncol = ncol;
      p.zeros = zeros;
      merged.pop_back();
    }
    merged.push_back(p);
  }
  for (std::size_t s = 0; s < merged.size(); ++s)
    for (int k = merged[s].first; k <= merged[s].last; ++k) snode_of[k] = static_cast<int>(s);

  // Equation numbering in elimination order.
  neq_ = 0;
  std::vector<int> eq0(n);
  for (int k = 0; k < n; ++k) {
    eq0[k] = neq_;
    neq_ += w[k];
  }
  neweq_.assign(neq_, 0);
  oldeq_.assign(neq_, 0);
  for (int k = 0; k < n; ++k)
    for (int c = 0; c < w[k]; ++c) {
      neweq_[eq0[k] + c] = g.first[perm[k]] + c;
      oldeq_[g.first[perm[k]] + c] = eq0[k] + c;
    }

  // Row structures: the supernode's own neighbours beyond it and its
  // children's structures beyond it, sorted.
  const int ns = static_cast<int>(merged.size());
  sn_.assign(ns, Super());
  std::vector<std::vector<int>> nodes(ns);  // structure below, as nodes
  std::vector<std::vector<int>> kids(ns);
  std::fill(mark.begin(), mark.end(), -1);
  rowidx_.clear();
  std::size_t vals = 0;
  stats_ = FactorStats();
  for (int s = 0; s < ns; ++s) {
    const Cand &c = merged[s];
    std::vector<int> &st = nodes[s];
    for (int k = c.first; k <= c.last; ++k) {
      const int v = perm[k];
      for (int p = g.xadj[v]; p < g.xadj[v + 1]; ++p) {
        const int j = inv[g.adj[p]];
        if (j > c.last && mark[j] != s) {
          mark[j] = s;
          st.push_back(j);
        }
      }
    }
    for (int ch : kids[s]) {
      for (int j : nodes[ch])
        if (j > c.last && mark[j] != s) {
          mark[j] = s;
          st.push_back(j);
        }
      std::vector<int>().swap(nodes[ch]);
    }
    std::sort(st.begin(), st.end());
    Super &S = sn_[s];
    S.first = eq0[c.first];
    S.ncol = static_cast<int>(c.ncol);
    S.parent = st.empty() ? -1 : snode_of[st.front()];
    if (S.parent >= 0) kids[S.parent].push_back(s);
    S.row_at = rowidx_.size();
    for (int e = 0; e < S.ncol; ++e) rowidx_.push_back(S.first + e);
    for (int j : st)
      for (int q = 0; q < w[j]; ++q) rowidx_.push_back(eq0[j] + q);
    S.rows = static_cast<int>(rowidx_.size() - S.row_at);
    S.val_at = vals;
    vals += static_cast<std::size_t>(S.rows) * S.ncol;
    // Entries of L (diagonal included) and the operations of elimination.
    for (int k = 0; k < S.ncol; ++k) {
      const double m = S.rows - k - 1;
      stats_.nnz_l += m + 1;
      stats_.flops += m * (m + 1) + m;
    }
    stats_.max_front = std::max(stats_.max_front, S.rows);
  }
  stats_.fronts = ns;
  nval_ = vals;
}

int Multifrontal::take(const char *what,
                       std::initializer_list<std::pair<double **, std::size_t>> arrays) {
  std::vector<double **> ptr;
  std::vector<unsigned int> len;
  double total = 0;
  for (const auto &a : arrays) {
    total += 8.0 * std::max<std::size_t>(a.second, 1);
    if (8.0 * std::max<std::size_t>(a.second, 1) > 4294967295.0)
      throw SolveError(std::string(what) + ": an array of " + std::to_string(a.second) +
                       " values exceeds the memory manager's 4 GB per array");
    ptr.push_back(a.first);
    len.push_back(static_cast<unsigned int>(8 * std::max<std::size_t>(a.second, 1)));
  }
  std::vector<char *> slots(ptr.size(), nullptr);
  char **sp = slots.data();
  int index = 0;
  if (mm_.Allocation(static_cast<int>(ptr.size()), index, sp, len.data()) != 0)
    throw SolveError(std::string("not enough memory for ") + what + " (" +
                     std::to_string(static_cast<long long>(total / 1048576.0)) + " MB)");
  for (std::size_t i = 0; i < ptr.size(); ++i) *ptr[i] = reinterpret_cast<double *>(slots[i]);
  return index;
}

namespace {

// Pivots per call of easlff_nt; each block's panel and trailing update then
// go through eagemm with this inner dimension.
constexpr int kPivotBlock = 64;

// Eliminates the first nc columns of the r x r front f (column-major, lower
// triangle) in blocks of nb. Returns the status of easlff_nt (0, 6 or 34)
// and the number of the rejected pivot in count.
int partial_ldlt(double *f, int r, int nc, const double *dorig, int &count, double &ratiomin,
                 double *pk, double *wk) {
  const int nb = kPivotBlock;
  const double tiny = 1e-300, thr = 0.0, one = 1.0, minus = -1.0;
  for (int k0 = 0; k0 < nc; k0 += nb) {
    const int b = std::min(nb, nc - k0);
    double *d = f + k0 + static_cast<std::size_t>(k0) * r;
    std::size_t q = 0;
    for (int j = 0; j < b; ++j)
      for (int i = j; i < b; ++i) pk[q++] = d[i + static_cast<std::size_t>(j) * r];
    int stats = 0, status = 0;
    float fl1 = 0, fl2 = 0;
    if (easlff_nt(&b, &b, pk, &ratiomin, dorig, &tiny, &thr, &count, &stats, &fl1, &fl2,
                  &status) != 0)
      return status;
    q = 0;
    for (int j = 0; j < b; ++j)
      for (int i = j; i < b; ++i) d[i + static_cast<std::size_t>(j) * r] = pk[q++];
    const int m = r - k0 - b;
    if (m == 0) continue;
    // Panel: W = A21 L11^-T, X = W D^-1 (X kept in the front, W aside);
    // sixteen columns at a time, the part of the earlier columns by eagemm.
    double *a21 = d + b;
    for (int j0 = 0; j0 < b; j0 += 16) {
      const int sb = std::min(16, b - j0);
      for (int j = j0; j < j0 + sb; ++j)
        std::memcpy(wk + static_cast<std::size_t>(j) * m, a21 + static_cast<std::size_t>(j) * r,
                    sizeof(double) * m);
      if (j0 > 0)
        eagemm("N", "T", &m, &sb, &j0, &minus, wk, &m, d + j0, &r, &one,
               wk + static_cast<std::size_t>(j0) * m, &m, 1, 1);
      for (int j = j0; j < j0 + sb; ++j) {
        double *wj = wk + static_cast<std::size_t>(j) * m;
        for (int i = j0; i < j; ++i) {
          const double l = d[j + static_cast<std::size_t>(i) * r];
          const double *wi = wk + static_cast<std::size_t>(i) * m;
          for (int t = 0; t < m; ++t) wj[t] -= wi[t] * l;
        }
        const double dj = d[j + static_cast<std::size_t>(j) * r];
        double *xj = a21 + static_cast<std::size_t>(j) * r;
        for (int t = 0; t < m; ++t) xj[t] = wj[t] / dj;
      }
    }
    // Trailing lower triangle -= X W', by column blocks.
    double *c22 = d + b + static_cast<std::size_t>(b) * r;
    const int cb = 256;
    for (int c0 = 0; c0 < m; c0 += cb) {
      const int wd = std::min(cb, m - c0), rows = m - c0;
      eagemm("N", "T", &rows, &wd, &b, &minus, a21 + c0, &r, wk + c0, &m, &one,
             c22 + c0 + static_cast<std::size_t>(c0) * r, &r, 1, 1);
    }
  }
  return 0;
}

}  // namespace

void Multifrontal::factor(const Stored &k, const std::function<void(double)> &progress) {
  if (k.n != neq_) throw SolveError("matrix order differs from the analysed graph");
  // The matrix's lower triangle by columns in elimination order.
  std::vector<int> cp(neq_ + 1, 0);
  for (int i = 0; i < neq_; ++i)
    for (int p = k.ia[i]; p < k.ia[i + 1]; ++p) {
      const int a = oldeq_[i], b = oldeq_[k.ja[p] - 1];
      ++cp[std::min(a, b) + 1];
    }
  for (int j = 0; j < neq_; ++j) cp[j + 1] += cp[j];
  std::vector<int> ci(cp[neq_]);
  std::vector<double> cv(cp[neq_]), dorig(neq_);
  std::vector<int> at(cp.begin(), cp.end() - 1);
  for (int i = 0; i < neq_; ++i)
    for (int p = k.ia[i]; p < k.ia[i + 1]; ++p) {
      const int a = oldeq_[i], b = oldeq_[k.ja[p] - 1];
      const int col = std::min(a, b), q = at[col]++;
      ci[q] = std::max(a, b);
      cv[q] = k.a[p];
    }
  // The pivot test weighs each pivot against its original diagonal, which
  // a negative pivot of a negative diagonal would pass: a positive definite
  // matrix has a positive diagonal, so check that first.
  for (int i = 0; i < neq_; ++i) {
    const double d = k.a[k.ia[i + 1] - 1];
    if (!(d > 0))
      throw SolveError("diagonal of equation " + std::to_string(i + 1) +
                       " is not positive: the matrix is not positive definite");
    dorig[oldeq_[i]] = d;
  }

  // Update matrices are stacked (postorder makes the children the top
  // entries); each is packed by columns of its lower triangle.
  int maxr = 0, maxnc = 0;
  std::size_t peak = 0, top = 0;
  std::vector<std::size_t> usize(sn_.size());
  for (std::size_t s = 0; s < sn_.size(); ++s) {
    maxr = std::max(maxr, sn_[s].rows);
    maxnc = std::max(maxnc, sn_[s].ncol);
    const std::size_t m = sn_[s].rows - sn_[s].ncol;
    usize[s] = m * (m + 1) / 2;
  }
  std::vector<std::vector<int>> kids(sn_.size());
  for (std::size_t s = 0; s < sn_.size(); ++s)
    if (sn_[s].parent >= 0) kids[sn_[s].parent].push_back(static_cast<int>(s));
  for (std::size_t s = 0; s < sn_.size(); ++s) {
    for (int c : kids[s]) top -= usize[c];
    top += usize[s];
    peak = std::max(peak, top);
  }
  // The factor, then the fronts' work under a second index.
  if (factor_index_ > 0) mm_.Desallocation(factor_index_);
  factor_index_ = 0;
  factor_index_ = take("the factor", {{&lval_, nval_}});
  double *front = nullptr, *ustack = nullptr, *pk = nullptr, *wk = nullptr;
  const int work_index =
      take("the fronts", {{&front, static_cast<std::size_t>(maxr) * maxr},
                          {&ustack, peak},
                          {&pk, kPivotBlock * (kPivotBlock + 1) / 2},
                          {&wk, static_cast<std::size_t>(maxr) * kPivotBlock}});
  struct Release {  // the work goes back however the loop ends
    QorVardMemoryManager &mm;
    int index;
    ~Release() { mm.Desallocation(index); }
  } release{mm_, work_index};
  std::vector<int> loc(neq_, -1);
  top = 0;
  int count = 0;
  double ratiomin = 1.0, done = 0;
  for (std::size_t s = 0; s < sn_.size(); ++s) {
    const Super &S = sn_[s];
    const int r = S.rows, nc = S.ncol;
    const int *rows = rowidx_.data() + S.row_at;
    for (int i = 0; i < r; ++i) loc[rows[i]] = i;
    double *f = front;
    for (int j = 0; j < r; ++j)
      std::memset(f + static_cast<std::size_t>(j) * r + j, 0, sizeof(double) * (r - j));
    for (int j = 0; j < nc; ++j) {
      double *fj = f + static_cast<std::size_t>(j) * r;
      for (int p = cp[S.first + j]; p < cp[S.first + j + 1]; ++p) fj[loc[ci[p]]] += cv[p];
    }
    // Extend-add, the last child (the top of the stack) first.
    for (auto it = kids[s].rbegin(); it != kids[s].rend(); ++it) {
      const Super &C = sn_[*it];
      const int m = C.rows - C.ncol;
      const int *crow = rowidx_.data() + C.row_at + C.ncol;
      top -= usize[*it];
      const double *u = ustack + top;
      for (int j = 0; j < m; ++j) {
        double *fj = f + static_cast<std::size_t>(loc[crow[j]]) * r;
        for (int i = j; i < m; ++i) fj[loc[crow[i]]] += *u++;
      }
    }
    const int status = partial_ldlt(f, r, nc, dorig.data(), count, ratiomin, pk, wk);
    if (status != 0) {
      const int eq = neweq_[count - 1] + 1;
      throw SolveError(status == 6 ? "zero pivot at equation " + std::to_string(eq) +
                                         " (status 6): the matrix is singular"
                                   : "pivot of equation " + std::to_string(eq) +
                                         " not positive (status 34): the matrix is not positive definite");
    }
    for (int j = 0; j < nc; ++j)
      std::memcpy(lval_ + S.val_at + static_cast<std::size_t>(j) * r,
                  f + static_cast<std::size_t>(j) * r, sizeof(double) * r);
    double *u = ustack + top;
    for (int j = nc; j < r; ++j) {
      std::memcpy(u, f + static_cast<std::size_t>(j) * r + j, sizeof(double) * (r - j));
      u += r - j;
    }
    top += usize[s];
    for (int k2 = 0; k2 < nc; ++k2) {
      const double m = r - k2 - 1;
      done += m * (m + 1) + m;
    }
    if (progress) progress(stats_.flops > 0 ? done / stats_.flops : 1.0);
  }
  stats_.min_ratio = ratiomin;
}

void Multifrontal::solve(double *b, int nrhs) const {
  if (neq_ == 0 || nrhs < 1) return;
  const int n = neq_;
  std::vector<double> y(static_cast<std::size_t>(n) * nrhs);
  for (int c = 0; c < nrhs; ++c)
    for (int i = 0; i < n; ++i)
      y[i + static_cast<std::size_t>(c) * n] = b[neweq_[i] + static_cast<std::size_t>(c) * n];
  int maxm = 0;
  for (const Super &S : sn_) maxm = std::max(maxm, S.rows - S.ncol);
  std::vector<double> z(static_cast<std::size_t>(std::max(maxm, 1)) * nrhs);
  const double one = 1.0, zero = 0.0, minus = -1.0;
  // Forward: L y = b.
  for (const Super &S : sn_) {
    const double *l = lval_ + S.val_at;
    const int r = S.rows, nc = S.ncol, m = r - nc;
    for (int c = 0; c < nrhs; ++c) {
      double *yc = y.data() + S.first + static_cast<std::size_t>(c) * n;
      for (int j = 0; j < nc; ++j) {
        const double v = yc[j];
        const double *lj = l + static_cast<std::size_t>(j) * r;
        for (int i = j + 1; i < nc; ++i) yc[i] -= lj[i] * v;
      }
    }
    if (m == 0) continue;
    eagemm("N", "N", &m, &nrhs, &nc, &one, l + nc, &r, y.data() + S.first, &n, &zero, z.data(),
           &m, 1, 1);
    const int *rows = rowidx_.data() + S.row_at + nc;
    for (int c = 0; c < nrhs; ++c)
      for (int i = 0; i < m; ++i)
        y[rows[i] + static_cast<std::size_t>(c) * n] -= z[i + static_cast<std::size_t>(c) * m];
  }
  // D.
  for (const Super &S : sn_) {
    const double *l = lval_ + S.val_at;
    for (int j = 0; j < S.ncol; ++j) {
      const double d = l[j + static_cast<std::size_t>(j) * S.rows];
      for (int c = 0; c < nrhs; ++c) y[S.first + j + static_cast<std::size_t>(c) * n] /= d;
    }
  }
  // Backward: L' x = y.
  for (auto it = sn_.rbegin(); it != sn_.rend(); ++it) {
    const Super &S = *it;
    const double *l = lval_ + S.val_at;
    const int r = S.rows, nc = S.ncol, m = r - nc;
    if (m > 0) {
      const int *rows = rowidx_.data() + S.row_at + nc;
      for (int c = 0; c < nrhs; ++c)
        for (int i = 0; i < m; ++i)
          z[i + static_cast<std::size_t>(c) * m] = y[rows[i] + static_cast<std::size_t>(c) * n];
      eagemm("T", "N", &nc, &nrhs, &m, &minus, l + nc, &r, z.data(), &m, &one,
             y.data() + S.first, &n, 1, 1);
    }
    for (int c = 0; c < nrhs; ++c) {
      double *yc = y.data() + S.first + static_cast<std::size_t>(c) * n;
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
      b[neweq_[i] + static_cast<std::size_t>(c) * n] = y[i + static_cast<std::size_t>(c) * n];
}

void refine(const Stored &k, const Multifrontal &f, const std::vector<double> &b,
            std::vector<double> &u) {
  std::vector<double> r(k.n);
  stored_product(k, 1, u.data(), r.data());
  for (int i = 0; i < k.n; ++i) r[i] = b[i] - r[i];
  f.solve(r.data(), 1);
  for (int i = 0; i < k.n; ++i) u[i] += r[i];
}

}  // namespace fesolve

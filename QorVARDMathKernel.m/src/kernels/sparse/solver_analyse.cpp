// The analysis: ordering, elimination tree, postorder, column counts,
// fundamental supernodes and their amalgamation, the row structure of each
// front, and the predicted size and work of the factorization.
//
// Everything works on nodes (a node's equations share their sparsity).
// The Schur set's nodes are ordered last, after the interior ordered alone,
// and form one front that is assembled but never eliminated: adding a
// clique on them changes no interior column (a fill path runs through
// nodes numbered below both its ends), so the tree is the interior's, with
// the Schur nodes chained above it.
#include <algorithm>
#include <climits>
#include <cstring>

#include "QorVARDMathKernel/sparse.h"
#include "kernels/sparse/nested.h"
#include "kernels/sparse/solver.h"

namespace qvk_solver {

namespace {

// Doubles in one chunk of the factor (2 GiB): the memory manager counts an
// array's bytes in 32 bits.
constexpr double kChunk = 268435456.0;

// Operations of the elimination of a column with m entries below the
// diagonal: m divisions and m(m+1) for the update, multiply-adds as two
// (the count the peers report).
inline double column_flops(double m) { return m * (m + 1) + m; }

// The order of the n nodes of a graph (0-based offsets and neighbours) by
// the chosen method, into perm (node eliminated k-th).
void order_nodes(Pool &pool, int method, int n, const int *xadj, const int *adj,
                 const int *width, int *perm) {
  for (int k = 0; k < n; ++k) perm[k] = method == QVK_ORDER_REVERSED ? n - 1 - k : k;
  if (n == 0 || method == QVK_ORDER_NATURAL || method == QVK_ORDER_REVERSED) return;
  if (method == QVK_ORDER_ND) {
    const int st = qvk::nested_dissection(n, xadj, adj, width, perm);
    if (st != 0) throw Failure{st, st == QVK_SPARSE_UNAVAILABLE
                                       ? "nested dissection is not available"
                                       : "nested dissection failed"};
    return;
  }
  // mmd takes the 1-based pointer form and overwrites the adjacency.
  const int nz = xadj[n];
  int *x1 = pool.take<int>(n + 1.0), *a1 = pool.take<int>(std::max(nz, 1));
  int *invp = pool.take<int>(n), *p1 = pool.take<int>(n), *dhead = pool.take<int>(n),
      *qsize = pool.take<int>(n), *llist = pool.take<int>(n), *marker = pool.take<int>(n);
  for (int i = 0; i <= n; ++i) x1[i] = xadj[i] + 1;
  for (int p = 0; p < nz; ++p) a1[p] = adj[p] + 1;
  int nofsub = 0;
  // delta 0: only nodes of the minimum degree are taken between updates,
  // for the least fill. maxint: a mark above every tag, with room for the
  // tag arithmetic to stay below 2^31.
  mmd(n, x1, a1, invp, p1, 0, dhead, qsize, llist, marker, INT_MAX / 2, &nofsub);
  for (int k = 0; k < n; ++k) perm[k] = p1[k] - 1;
}

// Elimination tree of the graph under perm (inv its inverse), parents as
// positions: parent[k] > k or -1. anc: n ints of work. The last nschur
// positions (the Schur nodes) are chained.
void elimination_tree(int n, const int *xadj, const int *adj, const int *perm, const int *inv,
                      int nschur, int *parent, int *anc) {
  for (int k = 0; k < n; ++k) parent[k] = anc[k] = -1;
  for (int k = 0; k < n; ++k) {
    const int v = perm[k];
    for (int p = xadj[v]; p < xadj[v + 1]; ++p) {
      int j = inv[adj[p]];
      while (j >= 0 && j < k) {  // Liu's algorithm, path compression
        const int next = anc[j];
        anc[j] = k;
        if (next < 0) parent[j] = k;
        j = next;
      }
    }
  }
  for (int k = n - nschur; k + 1 < n; ++k) parent[k] = k + 1;
}

// Column counts by row subtrees: row k of L reaches every node on the tree
// paths from its neighbours j < k up to k (a Schur row also from the Schur
// node before it). cc: nodes below the diagonal; wcc: their equations.
void column_counts(int n, const int *xadj, const int *adj, const int *perm, const int *inv,
                   const int *par, const int *w, int nschur, int *cc, double *wcc, int *mark) {
  for (int k = 0; k < n; ++k) {
    cc[k] = 0;
    wcc[k] = 0;
  }
  for (int k = 0; k < n; ++k) {
    mark[k] = k;
    const int v = perm[k];
    auto climb = [&](int j) {
      for (; j < k && mark[j] != k; j = par[j]) {
        mark[j] = k;
        ++cc[j];
        wcc[j] += w[k];
      }
    };
    for (int p = xadj[v]; p < xadj[v + 1]; ++p) climb(inv[adj[p]]);
    if (k > n - nschur) climb(k - 1);
  }
}

// Operations of the factorization that the counts predict (no amalgamation).
double predicted_flops(int n, const int *w, const double *wcc, int nschur) {
  double f = 0;
  for (int k = 0; k < n - nschur; ++k)
    for (int c = 0; c < w[k]; ++c) f += column_flops(w[k] - c - 1 + wcc[k]);
  return f;
}

// The interior's order for a method: the graph without the Schur nodes,
// ordered alone, then the Schur nodes as the caller listed them.
void full_order(Pool &pool, int method, const GraphInput &g, const int *schur_node_list,
                int nsn, const char *is_schur, int *perm) {
  const int n = g.n;
  if (method == QVK_ORDER_GIVEN) {
    int k = 0;
    for (int i = 0; i < n; ++i)
      if (!is_schur[g.perm[i]]) perm[k++] = g.perm[i];
    for (int i = 0; i < nsn; ++i) perm[k++] = schur_node_list[i];
    return;
  }
  if (nsn == 0) {
    order_nodes(pool, method, n, g.xadj, g.adj, g.width, perm);
    return;
  }
  const int ni = n - nsn;
  int *label = pool.take<int>(n), *back = pool.take<int>(std::max(ni, 1));
  int m = 0;
  for (int v = 0; v < n; ++v) {
    label[v] = is_schur[v] ? -1 : m;
    if (!is_schur[v]) back[m++] = v;
  }
  int *sx = pool.take<int>(ni + 1.0), *sa = pool.take<int>(std::max(g.xadj[n], 1));
  sx[0] = 0;
  int *sw = pool.take<int>(std::max(ni, 1));
  for (int i = 0; i < ni; ++i) {
    const int v = back[i];
    sw[i] = g.width[v];
    sx[i + 1] = sx[i];
    for (int p = g.xadj[v]; p < g.xadj[v + 1]; ++p)
      if (label[g.adj[p]] >= 0) sa[sx[i + 1]++] = label[g.adj[p]];
  }
  int *sp = pool.take<int>(std::max(ni, 1));
  order_nodes(pool, method, ni, sx, sa, sw, sp);
  for (int k = 0; k < ni; ++k) perm[k] = back[sp[k]];
  for (int i = 0; i < nsn; ++i) perm[ni + i] = schur_node_list[i];
}

}  // namespace

void analyse(qvk_sparse_solver &h, const qvk_sparse_control &c, const GraphInput &g) {
  const int n = g.n;
  Pool work(h.mm_work);

  // Equations of the nodes and the Schur set as nodes, in the caller's order.
  int *nodefirst = work.take<int>(n + 1.0);
  nodefirst[0] = 0;
  for (int v = 0; v < n; ++v) nodefirst[v + 1] = nodefirst[v] + g.width[v];
  const int neq = nodefirst[n];
  char *is_schur = work.take<char>(std::max(n, 1));
  std::memset(is_schur, 0, std::max(n, 1));
  int *schur_nodes = work.take<int>(std::max(g.nschur, 1));
  int nsn = 0;
  {
    int *eqnode = work.take<int>(std::max(neq, 1));
    for (int v = 0; v < n; ++v)
      for (int e = nodefirst[v]; e < nodefirst[v + 1]; ++e) eqnode[e] = v;
    // Checked by the caller: in range, no repeats. A node is whole when all
    // its equations are listed.
    int *listed = work.take<int>(n);
    for (int v = 0; v < n; ++v) listed[v] = 0;
    for (int i = 0; i < g.nschur; ++i) ++listed[eqnode[g.schur[i]]];
    for (int i = 0; i < g.nschur; ++i) {
      const int v = eqnode[g.schur[i]];
      if (listed[v] != g.width[v]) throw Failure{QVK_SPARSE_BAD_SCHUR, "a node is split"};
      if (!is_schur[v]) {
        is_schur[v] = 1;
        schur_nodes[nsn++] = v;
      }
    }
  }

  // The ordering; the automatic choice predicts the work of both
  // candidates from their column counts.
  int *perm = work.take<int>(std::max(n, 1)), *inv = work.take<int>(std::max(n, 1));
  int *parent = work.take<int>(std::max(n, 1)), *anc = work.take<int>(std::max(n, 1));
  int *cc = work.take<int>(std::max(n, 1)), *w = work.take<int>(std::max(n, 1));
  double *wcc = work.take<double>(std::max(n, 1));
  auto counts = [&](const int *pm) {
    for (int k = 0; k < n; ++k) inv[pm[k]] = k;
    for (int k = 0; k < n; ++k) w[k] = g.width[pm[k]];
    elimination_tree(n, g.xadj, g.adj, pm, inv, nsn, parent, anc);
    column_counts(n, g.xadj, g.adj, pm, inv, parent, w, nsn, cc, wcc, anc);
    return predicted_flops(n, w, wcc, nsn);
  };
  int method = c.ordering;
  const int ninterior = n - nsn;
  bool ordered = false;
  if (method == QVK_ORDER_AUTO) {
    if (ninterior < 200 || !qvk::nested_dissection_available()) {
      method = QVK_ORDER_MMD;
    } else if (ninterior > c.auto_nodes) {
      method = QVK_ORDER_ND;
    } else {
      int *alt = work.take<int>(n);
      full_order(work, QVK_ORDER_MMD, g, schur_nodes, nsn, is_schur, alt);
      const double f_mmd = counts(alt);
      full_order(work, QVK_ORDER_ND, g, schur_nodes, nsn, is_schur, perm);
      const double f_nd = counts(perm);
      method = f_nd <= f_mmd ? QVK_ORDER_ND : QVK_ORDER_MMD;
      if (method == QVK_ORDER_MMD) std::memcpy(perm, alt, sizeof(int) * n);
      ordered = true;
    }
  }
  if (!ordered) full_order(work, method, g, schur_nodes, nsn, is_schur, perm);
  counts(perm);

  // Postorder: children visited in increasing order, each subtree's nodes
  // consecutive, so a front's last child ends just before it.
  int *head = work.take<int>(std::max(n, 1)), *nextc = work.take<int>(std::max(n, 1));
  int *post = work.take<int>(std::max(n, 1)), *stack = work.take<int>(std::max(n, 1));
  for (int j = 0; j < n; ++j) head[j] = nextc[j] = -1;
  for (int j = n - 1; j >= 0; --j)
    if (parent[j] >= 0) {
      nextc[j] = head[parent[j]];
      head[parent[j]] = j;
    }
  int np = 0;
  for (int r = 0; r < n; ++r) {
    if (parent[r] >= 0) continue;
    int top = 0;
    stack[top++] = r;
    while (top > 0) {
      const int j = stack[top - 1];
      if (head[j] >= 0) {
        const int ch = head[j];
        head[j] = nextc[ch];
        stack[top++] = ch;
      } else {
        post[np++] = j;
        --top;
      }
    }
  }
  // Relabel by the postorder: perm, parents, counts.
  int *lab = head;  // reused
  for (int k = 0; k < n; ++k) lab[post[k]] = k;
  int *perm2 = nextc, *par = anc;
  for (int k = 0; k < n; ++k) perm2[k] = perm[post[k]];
  for (int k = 0; k < n; ++k) par[lab[k]] = parent[k] >= 0 ? lab[parent[k]] : -1;
  int *cc2 = stack;
  double *wcc2 = work.take<double>(std::max(n, 1));
  for (int k = 0; k < n; ++k) {
    cc2[lab[k]] = cc[k];
    wcc2[lab[k]] = wcc[k];
  }
  std::memcpy(perm, perm2, sizeof(int) * n);
  for (int k = 0; k < n; ++k) inv[perm[k]] = k;
  for (int k = 0; k < n; ++k) w[k] = g.width[perm[k]];
  int *nchild = post;  // reused
  for (int k = 0; k < n; ++k) nchild[k] = 0;
  for (int k = 0; k < n; ++k)
    if (par[k] >= 0) ++nchild[par[k]];

  // Fundamental supernodes (chains of single children whose counts drop by
  // one), then amalgamation with the child just before while the explicit
  // zeros stay few. The Schur nodes are one front of their own.
  struct Cand {
    int first, last;
    double ncol, below, zeros;  // equations
  };
  Cand *cand = work.take<Cand>(std::max(n, 1));
  int ncand = 0;
  const int s0 = n - nsn;  // first Schur position
  for (int k = 0; k < n; ++k) {
    const bool chain = k > 0 && k != s0 &&
                       (k > s0 || (par[k - 1] == k && cc2[k - 1] == cc2[k] + 1 && nchild[k] == 1));
    if (!chain) cand[ncand++] = Cand{k, k, 0, 0, 0};
    cand[ncand - 1].last = k;
    cand[ncand - 1].ncol += w[k];
    cand[ncand - 1].below = wcc2[k];
  }
  int nf = 0;
  for (int q = 0; q < ncand; ++q) {
    Cand p = cand[q];
    while (nf > 0 && p.first < s0) {
      const Cand &ch = cand[nf - 1];
      const int pc = par[ch.last];
      if (pc < p.first || pc > p.last) break;
      const double ncol = ch.ncol + p.ncol;
      const double added = ch.ncol * (p.ncol + p.below - ch.below);
      const double zeros = ch.zeros + p.zeros + added;
      const double total = 0.5 * ncol * (ncol + 1) + ncol * p.below;
      const double f = zeros / total;
      const bool take = ncol <= c.relax_columns[0] ||
                        (ncol <= c.relax_columns[1] && f < c.relax_small) ||
                        (ncol <= c.relax_columns[2] && f < c.relax_mid) || f < c.relax_large;
      if (!take) break;
      p.first = ch.first;
      p.ncol = ncol;
      p.zeros = zeros;
      --nf;
    }
    cand[nf++] = p;
  }

  // Sizes: a front's rows below its pivots are those of its last node.
  double nrow_total = 0, nstruct_total = 0, nnz_l = 0, flops = 0, maxr = 0;
  for (int s = 0; s < nf; ++s) {
    const double below = wcc2[cand[s].last], r = cand[s].ncol + below;
    nrow_total += r;
    nstruct_total += cc2[cand[s].last];
    maxr = std::max(maxr, r);
    if (cand[s].first >= s0) continue;  // the Schur front
    for (int k = 0; k < cand[s].ncol; ++k) {
      const double m = r - k - 1;
      nnz_l += m + 1;
      flops += column_flops(m);
    }
  }
  if (nrow_total > INT_MAX || maxr * maxr > 4294967295.0 / 8 * 2)
    throw Failure{QVK_SPARSE_TOO_LARGE, "a front or the row structure exceeds 32-bit counts"};

  // The analysis proper, kept in the handle.
  Pool keep(h.mm_sym);
  Symbolic s;
  s.neq = neq;
  s.nnodes = n;
  s.nfronts = nf;
  s.nschur = g.nschur;
  s.ordering = method;
  s.fronts = keep.take<Front>(std::max(nf, 1));
  s.kids = keep.take<int>(std::max(nf, 1));
  s.rowidx = keep.take<int>(std::max(nrow_total, 1.0));
  s.neweq = keep.take<int>(std::max(neq, 1));
  s.oldeq = keep.take<int>(std::max(neq, 1));
  s.eqnode = keep.take<int>(std::max(neq, 1));
  s.nodefirst = keep.take<int>(n + 1.0);
  s.xadj = keep.take<int>(n + 1.0);
  s.adj = keep.take<int>(std::max(g.xadj[n], 1));
  s.schur = keep.take<int>(std::max(g.nschur, 1));
  std::memcpy(s.nodefirst, nodefirst, sizeof(int) * (n + 1));
  std::memcpy(s.xadj, g.xadj, sizeof(int) * (n + 1));
  std::memcpy(s.adj, g.adj, sizeof(int) * g.xadj[n]);
  for (int v = 0; v < n; ++v) std::sort(s.adj + s.xadj[v], s.adj + s.xadj[v + 1]);
  for (int v = 0; v < n; ++v)
    for (int e = nodefirst[v]; e < nodefirst[v + 1]; ++e) s.eqnode[e] = v;
  for (int i = 0; i < g.nschur; ++i) s.schur[i] = g.schur[i];

  // Equation numbering in elimination order.
  int *eq0 = work.take<int>(std::max(n, 1));
  {
    int e = 0;
    for (int k = 0; k < n; ++k) {
      eq0[k] = e;
      e += w[k];
    }
    for (int k = 0; k < n; ++k)
      for (int q = 0; q < w[k]; ++q) {
        s.neweq[eq0[k] + q] = nodefirst[perm[k]] + q;
        s.oldeq[nodefirst[perm[k]] + q] = eq0[k] + q;
      }
  }

  // Row structures as nodes: the front's own neighbours beyond it and its
  // children's structures beyond it, sorted. Children precede their parent
  // in postorder, so their structures are in place when it comes; the
  // front's parent is the front of its first row below.
  int *fof = work.take<int>(std::max(n, 1));  // node -> front
  for (int f = 0; f < nf; ++f)
    for (int k = cand[f].first; k <= cand[f].last; ++k) fof[k] = f;
  int *nstruct = work.take<int>(std::max(nstruct_total, 1.0));
  int *nat = work.take<int>(nf + 1.0);
  int *kid_head = work.take<int>(std::max(nf, 1)), *kid_next = work.take<int>(std::max(nf, 1));
  int *mark = anc;  // reused: the tree is in par
  for (int k = 0; k < n; ++k) mark[k] = -1;
  for (int f = 0; f < nf; ++f) kid_head[f] = -1;
  nat[0] = 0;
  for (int f = 0; f < nf; ++f) {
    const Cand &cf = cand[f];
    int *st = nstruct + nat[f];
    int len = 0;
    for (int k = cf.first; k <= cf.last; ++k) {
      const int v = perm[k];
      for (int p = g.xadj[v]; p < g.xadj[v + 1]; ++p) {
        const int j = inv[g.adj[p]];
        if (j > cf.last && mark[j] != f) {
          mark[j] = f;
          st[len++] = j;
        }
      }
    }
    for (int ch = kid_head[f]; ch >= 0; ch = kid_next[ch])
      for (int q = nat[ch]; q < nat[ch + 1]; ++q) {
        const int j = nstruct[q];
        if (j > cf.last && mark[j] != f) {
          mark[j] = f;
          st[len++] = j;
        }
      }
    if (len != cc2[cf.last]) throw Failure{QVK_SPARSE_BAD_STRUCTURE, "the graph is not symmetric"};
    std::sort(st, st + len);
    nat[f + 1] = nat[f] + len;
    const int pf = len > 0 ? fof[st[0]] : -1;
    s.fronts[f].parent = pf;
    if (pf >= 0) {
      kid_next[f] = kid_head[pf];
      kid_head[pf] = f;
    }
  }

  // Fronts: rows, children (increasing), places in rowidx and the factor.
  {
    int *kat = nat;  // reused as the children's offsets
    for (int f = 0; f <= nf; ++f) kat[f] = 0;
    for (int f = 0; f < nf; ++f)
      if (s.fronts[f].parent >= 0) ++kat[s.fronts[f].parent + 1];
    for (int f = 0; f < nf; ++f) kat[f + 1] += kat[f];
    for (int f = 0; f < nf; ++f) {
      s.fronts[f].child_begin = kat[f];
      s.fronts[f].child_end = kat[f];
    }
    for (int f = 0; f < nf; ++f)
      if (s.fronts[f].parent >= 0) s.kids[s.fronts[s.fronts[f].parent].child_end++] = f;
  }
  // nat was overwritten: recompute the structures' offsets from the counts.
  std::size_t at = 0, sat = 0;
  double chunk_fill = 0, top = 0, peak = 0;
  int chunks = 1, maxm_rows = 0;
  double *chunk_len = work.take<double>(std::max(nf, 1));
  chunk_len[0] = 0;
  for (int f = 0; f < nf; ++f) {
    const Cand &cf = cand[f];
    Front &F = s.fronts[f];
    F.first = eq0[cf.first];
    F.ncol = static_cast<int>(cf.ncol);
    F.row_at = at;
    for (int e = 0; e < F.ncol; ++e) s.rowidx[at++] = F.first + e;
    const int len = cc2[cf.last];
    for (int q = 0; q < len; ++q) {
      const int j = nstruct[sat + q];
      for (int e = 0; e < w[j]; ++e) s.rowidx[at++] = eq0[j] + e;
    }
    sat += len;
    F.rows = static_cast<int>(at - F.row_at);
    const bool schur_front = cf.first >= s0;
    const double vals = schur_front ? 0.0 : double(F.rows) * F.ncol;
    if (chunk_fill > 0 && chunk_fill + vals > kChunk) {
      chunk_len[chunks++] = 0;
      chunk_fill = 0;
    }
    if (vals > kChunk) throw Failure{QVK_SPARSE_TOO_LARGE, "a front exceeds 2 GB"};
    F.chunk = chunks - 1;
    F.val_at = static_cast<std::size_t>(chunk_fill);
    chunk_fill += vals;
    chunk_len[chunks - 1] = chunk_fill;
    for (int k = F.child_begin; k < F.child_end; ++k) {
      const double m = s.fronts[s.kids[k]].rows - s.fronts[s.kids[k]].ncol;
      top -= m * (m + 1) / 2;
    }
    const double m = schur_front ? 0.0 : F.rows - F.ncol;
    top += m * (m + 1) / 2;
    peak = std::max(peak, top);
    s.max_contribution = std::max(
        s.max_contribution, schur_front ? double(F.rows) * F.rows : double(F.rows - F.ncol) * (F.rows - F.ncol));
    if (!schur_front) {
      maxm_rows = std::max(maxm_rows, F.rows - F.ncol);
      s.max_panel_below = std::max(s.max_panel_below, double(F.rows - F.ncol) * F.ncol);
    }
  }
  s.nchunks = chunks;
  s.chunk_len = keep.take<double>(chunks);
  std::memcpy(s.chunk_len, chunk_len, sizeof(double) * chunks);
  s.nnz_l = nnz_l;
  s.flops = flops;
  s.max_front = static_cast<int>(maxr);
  s.max_update_rows = maxm_rows;
  s.update_peak = peak;
  if (peak * 8 > 4294967295.0) throw Failure{QVK_SPARSE_TOO_LARGE, "the update stack exceeds 4 GB"};
  double factor_vals = 0;
  for (int q = 0; q < chunks; ++q) factor_vals += chunk_len[q];
  // Words factor will hold: the factor, the trailing block of the largest
  // front, the update stack at its peak, the panels, and the matrix by
  // columns (an int and a double per entry of its lower triangle, which
  // the graph bounds, and a few ints per equation).
  double nnz_k = 0;
  for (int v = 0; v < n; ++v) {
    nnz_k += 0.5 * g.width[v] * (g.width[v] + 1);
    for (int p = g.xadj[v]; p < g.xadj[v + 1]; ++p) nnz_k += 0.5 * g.width[v] * g.width[g.adj[p]];
  }
  s.predicted_words = factor_vals + s.nchunks + s.max_contribution + peak + s.max_panel_below +
                      64.0 * maxr + 64.0 * 65 / 2 + 1.5 * nnz_k + 3.0 * neq;
  keep.keep();
  h.sym = s;
}

}  // namespace qvk_solver

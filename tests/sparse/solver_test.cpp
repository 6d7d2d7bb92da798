// The sparse direct solver through its C entries: solutions against dense
// algebra under every ordering, the Schur complement against its dense
// formula, refactoring, several right-hand sides and the separate steps,
// refinement, every code path and both builds giving the same bits, and
// bad input and refused memory leaving a usable handle.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "KORSYS/QorError.h"
#include "KORSYS/QorSystem.h"
#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "QorVARDMathKernel/sparse_solver.h"
#include "graphs.h"
#include "memory/probes.h"
#include "qvk_test.h"

namespace {

using qvk_test::Vec;
using V = std::vector<int>;

// A node graph in the offset form (1-based neighbours), the equations of
// each node, and a matrix on it in the stored layout.
struct Model {
  int nnodes = 0, n = 0;
  V xadj{0}, adj, width, ia{0}, ja;
  Vec a;
};

// Entries for every pair of equations of one node or of joined nodes, in
// each row's own order (shuffled when asked), the diagonal last and
// dominant: 1 + the row's absolute sum.
void assemble(Model &m, const std::function<double()> &value, std::mt19937 *shuffle = nullptr) {
  V first(m.nnodes + 1, 0);
  for (int u = 0; u < m.nnodes; ++u) first[u + 1] = first[u] + m.width[u];
  m.n = first[m.nnodes];
  m.ia.assign(1, 0), m.ja.clear(), m.a.clear();
  Vec rowabs(m.n, 1.0);
  for (int u = 0; u < m.nnodes; ++u)
    for (int c = 0; c < m.width[u]; ++c) {
      V cols;
      for (int q = 0; q < c; ++q) cols.push_back(first[u] + q + 1);
      for (int p = m.xadj[u]; p < m.xadj[u + 1]; ++p)
        if (m.adj[p] - 1 < u)
          for (int q = first[m.adj[p] - 1]; q < first[m.adj[p]]; ++q) cols.push_back(q + 1);
      if (shuffle) std::shuffle(cols.begin(), cols.end(), *shuffle);
      const int row = first[u] + c + 1;
      for (int j : cols) {
        m.ja.push_back(j), m.a.push_back(value());
        rowabs[row - 1] += std::fabs(m.a.back()), rowabs[j - 1] += std::fabs(m.a.back());
      }
      m.ja.push_back(row), m.a.push_back(0.0);
      m.ia.push_back(static_cast<int>(m.ja.size()));
    }
  for (int i = 0; i < m.n; ++i) m.a[m.ia[i + 1] - 1] = rowabs[i];
}

Model from_lists(const std::vector<V> &lists, const V &width) {
  Model m;
  m.nnodes = static_cast<int>(lists.size());
  for (const V &l : lists) {
    m.adj.insert(m.adj.end(), l.begin(), l.end());
    m.xadj.push_back(static_cast<int>(m.adj.size()));
  }
  m.width = width;
  return m;
}

// About deg/2 random edges per node, lists unsorted; widths 1, 3, or 1 to 6
// (wkind 0); values in (-1, 1).
Model random_model(int nnodes, int deg, int wkind, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::set<int>> nb(nnodes);
  for (int e = 0; e < nnodes * deg / 2; ++e) {
    const int i = static_cast<int>(gen() % nnodes), j = static_cast<int>(gen() % nnodes);
    if (i != j) nb[i].insert(j + 1), nb[j].insert(i + 1);
  }
  std::vector<V> lists(nnodes);
  V width(nnodes);
  for (int u = 0; u < nnodes; ++u) {
    lists[u].assign(nb[u].begin(), nb[u].end());
    std::shuffle(lists[u].begin(), lists[u].end(), gen);
    width[u] = wkind ? wkind : 1 + static_cast<int>(gen() % 6);
  }
  Model m = from_lists(lists, width);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  assemble(m, [&] { return val(gen); }, &gen);
  return m;
}

// An nx*ny*nz grid of hexahedra's corners: 27-point node graph, 3 equations
// per node, values from values (portable where asked).
Model grid_model(int nx, int ny, int nz, const Vec &values) {
  const qvk_sparse_test::Graph g = qvk_sparse_test::grid(nx, ny, nz, true);
  std::vector<V> lists(g.n);
  for (int u = 0; u < g.n; ++u) lists[u].assign(&g.adjncy[g.xadj[u] - 1], &g.adjncy[g.xadj[u + 1] - 1]);
  Model m = from_lists(lists, V(g.n, 3));
  size_t k = 0;
  assemble(m, [&] { return values[k++ % values.size()]; });
  return m;
}

// The Schur complement's equations: whole nodes, listed in a scrambled order.
V schur_of(const Model &m, const V &nodes, unsigned seed) {
  V first(m.nnodes + 1, 0), s;
  for (int u = 0; u < m.nnodes; ++u) first[u + 1] = first[u] + m.width[u];
  for (int u : nodes)
    for (int q = first[u - 1]; q < first[u]; ++q) s.push_back(q + 1);
  std::mt19937 gen(seed);
  std::shuffle(s.begin(), s.end(), gen);
  return s;
}

struct Handle {
  qvk_sparse_solver *h = nullptr;
  Handle() { EXPECT_EQ(qvk_sparse_create(&h), 0); }
  ~Handle() { qvk_sparse_destroy(&h); }
  Handle(const Handle &) = delete;
};

// An empty list is still an address.
template <class T> const T *at(const std::vector<T> &v) {
  static const T none{};
  return v.empty() ? &none : v.data();
}

int analyse(Handle &h, const Model &m, bool matrix, int ordering = QVK_ORDER_MMD, const V &perm = {},
            const V &schur = {}, qvk_sparse_info *info = nullptr, qvk_sparse_control *control = nullptr) {
  qvk_sparse_control c;
  qvk_sparse_defaults(&c);
  if (control) c = *control;
  c.ordering = ordering;
  const int ns = static_cast<int>(schur.size());
  const int *p = perm.empty() ? nullptr : perm.data(), *s = schur.empty() ? nullptr : schur.data();
  return matrix ? qvk_sparse_analyse_matrix(&h.h, &c, &m.n, m.ia.data(), at(m.ja), p, &ns, s, info)
                : qvk_sparse_analyse_graph(&h.h, &c, &m.nnodes, m.xadj.data(), at(m.adj), at(m.width), p, &ns, s,
                                           info);
}
int factor(Handle &h, const Model &m, double *s = nullptr, qvk_sparse_info *info = nullptr) {
  return qvk_sparse_factor(&h.h, &m.n, m.ia.data(), at(m.ja), at(m.a), s, info);
}
int solve(Handle &h, int job, Vec &b, int nrhs = 1, int ldb = 0) {
  if (ldb == 0) ldb = std::max(1, static_cast<int>(b.size()) / std::max(nrhs, 1));
  return qvk_sparse_solve(&h.h, &job, &nrhs, b.data(), &ldb, nullptr);
}

// The dense matrix by columns, both triangles.
Vec dense(const Model &m) {
  Vec d(static_cast<size_t>(m.n) * m.n, 0.0);
  for (int i = 0; i < m.n; ++i)
    for (int p = m.ia[i]; p < m.ia[i + 1]; ++p)
      d[i + static_cast<size_t>(m.ja[p] - 1) * m.n] = d[m.ja[p] - 1 + static_cast<size_t>(i) * m.n] = m.a[p];
  return d;
}

// x = K(idx, idx)^-1 b(idx, 1:nrhs) by eaxfch and e_dpptrs, K dense.
Vec dense_solve(const Vec &k, int n, const V &idx, Vec b, int nrhs) {
  const int r = static_cast<int>(idx.size()), i1 = 1;
  Vec ap;
  for (int j = 0; j < r; ++j)
    for (int i = 0; i <= j; ++i) ap.push_back(k[idx[i] + static_cast<size_t>(idx[j]) * n]);
  int info = 0;
  double tol = 0.0, piv = 0.0;
  eaxfch(nullptr, &i1, &r, &tol, ap.data(), &info, &piv);
  EXPECT_EQ(info, 0);
  if (r > 0) e_dpptrs("U", &r, &nrhs, ap.data(), b.data(), &r, &info, 1);
  return b;
}
Vec dense_solve(const Model &m, const Vec &b) {
  V all(m.n);
  for (int i = 0; i < m.n; ++i) all[i] = i;
  return dense_solve(dense(m), m.n, all, b, 1);
}

double rel_diff(const Vec &x, const Vec &ref) {
  double d = 0.0, s = 0.0;
  for (size_t i = 0; i < ref.size(); ++i) d = std::max(d, std::fabs(x[i] - ref[i])), s = std::max(s, std::fabs(ref[i]));
  return s > 0.0 ? d / s : d;
}

Vec rhs(int n, int nrhs, unsigned seed) { return qvk_test::random_doubles(static_cast<size_t>(n) * nrhs, seed); }

// Error reports stay out of the test's output; the last error is read.
class SparseSolverErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    QorVARDTraceState("VARDPrint", 0);
    QorVARDTraceState("OPTPrint", 0);
    QorError::QorSetLastError(nullptr, nullptr);
  }
  void TearDown() override {
    QorFaultCountdown(0);
    qvk_memory::set_one_block_refused(false);
    QorVARDTraceState("VARDPrint", 1);
    QorVARDTraceState("OPTPrint", 1);
    QorError::QorSetLastError(nullptr, nullptr);
  }
  static std::string last_error() {
    const QorError *e = QorError::QorGetLastError();
    return e ? std::string(e->GetMsgCatalog()) + ":" + e->GetMsgId() : "none";
  }
  static std::string raised(int number) {
    char id[16];
    std::snprintf(id, sizeof id, "ERR_%04d", number);
    return std::string("QorVARDMathKernelError:") + id;
  }
};

}  // namespace

// Every ordering solves to dense accuracy; the automatic choice gives the
// bits of the ordering it reports; a given order is the elimination order
// (its fill, without amalgamation, is the Cholesky factor's).
TEST(SparseSolver, EqualsDenseSolveUnderEachOrdering) {
  const struct { int nnodes, deg, wkind; bool matrix; } models[] = {
      {1, 0, 3, false}, {40, 0, 1, true}, {120, 4, 3, false}, {90, 6, 0, false}, {300, 5, 1, true}, {230, 3, 1, false}};
  for (const auto &md : models) {
    const Model m = random_model(md.nnodes, md.deg, md.wkind, md.nnodes * 7 + md.deg);
    const Vec b = rhs(m.n, 1, md.nnodes), ref = dense_solve(m, b);
    std::vector<Vec> got(6);
    int auto_chose = -1;
    for (int o : {QVK_ORDER_AUTO, QVK_ORDER_MMD, QVK_ORDER_ND, QVK_ORDER_NATURAL, QVK_ORDER_REVERSED,
                  QVK_ORDER_GIVEN}) {
      SCOPED_TRACE(testing::Message() << "nodes " << md.nnodes << " ordering " << o);
      V perm;
      qvk_sparse_control plain;
      qvk_sparse_defaults(&plain);
      if (o == QVK_ORDER_GIVEN) {
        for (int k = 1; k <= md.nnodes; ++k) perm.push_back(k);
        std::mt19937 gen(o);
        std::shuffle(perm.begin(), perm.end(), gen);
        plain.relax_columns[0] = plain.relax_columns[1] = plain.relax_columns[2] = 1;  // no amalgamation
        plain.relax_small = plain.relax_mid = plain.relax_large = 0.0;
      }
      Handle h;
      qvk_sparse_info info;
      const int rc = analyse(h, m, md.matrix, o, perm, {}, &info, &plain);
      if (o == QVK_ORDER_ND && rc == QVK_SPARSE_UNAVAILABLE) continue;
      ASSERT_EQ(rc, 0);
      EXPECT_TRUE(info.equations == m.n && info.nodes == md.nnodes && info.schur == 0 && info.status == 0);
      EXPECT_TRUE(o == QVK_ORDER_AUTO ? info.ordering == QVK_ORDER_MMD || info.ordering == QVK_ORDER_ND
                                      : info.ordering == o);
      if (o == QVK_ORDER_AUTO) auto_chose = info.ordering;
      if (o == QVK_ORDER_AUTO && md.nnodes < 200) { EXPECT_EQ(info.ordering, QVK_ORDER_MMD); }
      if (o == QVK_ORDER_GIVEN && md.wkind == 1) {
        qvk_sparse_test::Graph g;
        g.n = m.nnodes;
        for (int x : m.xadj) g.xadj.push_back(x + 1);
        g.xadj.erase(g.xadj.begin());
        g.adjncy = m.adj;
        EXPECT_EQ(info.nnz_l, m.n + static_cast<double>(qvk_sparse_test::factor_entries(g, perm)));
      }
      ASSERT_EQ(factor(h, m), 0);
      got[o] = b;
      ASSERT_EQ(solve(h, QVK_SOLVE_FULL, got[o]), 0);
      EXPECT_LT(rel_diff(got[o], ref), 1e-12);
    }
    ASSERT_GE(auto_chose, 0);
    EXPECT_SAME_BITS(got[QVK_ORDER_AUTO].data(), got[auto_chose].data(), static_cast<size_t>(m.n));
  }
}

// New values on the analysed pattern, or on part of it, give the bits of a
// fresh handle factoring them; a matrix order of 0 is no work.
TEST(SparseSolver, RefactorGivesAFreshHandlesBits) {
  for (bool matrix : {false, true}) {
    Model m = random_model(150, 5, matrix ? 1 : 3, 11), m2 = random_model(150, 5, matrix ? 1 : 3, 11);
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> val(-1.0, 1.0);
    assemble(m2, [&] { return val(gen); });  // same pattern, other values and row order
    Model part = m2;  // every third off-diagonal dropped
    part.ja.clear(), part.a.clear(), part.ia.assign(1, 0);
    for (int i = 0; i < m2.n; ++i) {
      for (int p = m2.ia[i]; p < m2.ia[i + 1]; ++p)
        if (p + 1 == m2.ia[i + 1] || p % 3) part.ja.push_back(m2.ja[p]), part.a.push_back(m2.a[p]);
      part.ia.push_back(static_cast<int>(part.ja.size()));
    }
    const Vec b = rhs(m.n, 1, 3);
    Handle reused;
    ASSERT_TRUE(analyse(reused, m, matrix) == 0 && factor(reused, m) == 0);
    for (const Model *k : {&m2, &part}) {
      Handle fresh;
      Vec x = b, want = b;
      ASSERT_TRUE(factor(reused, *k) == 0 && solve(reused, QVK_SOLVE_FULL, x) == 0);
      ASSERT_TRUE(analyse(fresh, m, matrix) == 0 && factor(fresh, *k) == 0 && solve(fresh, QVK_SOLVE_FULL, want) == 0);
      EXPECT_SAME_BITS(x.data(), want.data(), x.size());
      EXPECT_LT(rel_diff(x, dense_solve(*k, b)), 1e-12);
    }
  }
  Model empty = from_lists({}, {});
  assemble(empty, [] { return 1.0; });
  Handle h;
  Vec b(1, 7.0);
  EXPECT_TRUE(analyse(h, empty, false) == 0 && factor(h, empty) == 0 && solve(h, QVK_SOLVE_FULL, b) == 0);
  EXPECT_EQ(b[0], 7.0);
}

// S = K_ss - K_si K_ii^-1 K_is in the caller's order of the set; condense,
// a dense solve with S and expand give K's solution.
TEST(SparseSolver, SchurComplementAndCondensedSolve) {
  const struct { int nnodes, deg, wkind; bool matrix; V nodes; } cases[] = {
      {100, 5, 3, false, {3, 50, 17, 99, 64}},
      {60, 6, 0, false, {1, 2, 30}},
      {200, 4, 1, true, {5, 9, 150, 7, 40, 41, 120, 199, 3, 77, 12}}};
  for (const auto &c : cases) {
    for (int o : {QVK_ORDER_MMD, QVK_ORDER_ND, QVK_ORDER_REVERSED}) {
      SCOPED_TRACE(testing::Message() << "nodes " << c.nnodes << " ordering " << o);
      const Model m = random_model(c.nnodes, c.deg, c.wkind, c.nnodes + 1);
      const V sset = schur_of(m, c.nodes, 9);
      const int ns = static_cast<int>(sset.size()), n = m.n;
      std::vector<bool> in_s(n, false);
      V inner, sidx;
      for (int e : sset) in_s[e - 1] = true, sidx.push_back(e - 1);
      for (int i = 0; i < n; ++i)
        if (!in_s[i]) inner.push_back(i);
      Handle h;
      qvk_sparse_info info;
      const int rc = analyse(h, m, c.matrix, o, {}, sset, &info);
      if (rc == QVK_SPARSE_UNAVAILABLE && o == QVK_ORDER_ND) continue;
      ASSERT_EQ(rc, 0);
      EXPECT_EQ(info.schur, ns);
      Vec s(static_cast<size_t>(ns) * ns, -1.0);
      ASSERT_EQ(factor(h, m, s.data()), 0);
      // Dense: X = K_ii^-1 K_is, S = K_ss - K_si X.
      const Vec kd = dense(m);
      const size_t ni = inner.size();
      Vec kis(ni * ns);
      for (int j = 0; j < ns; ++j)
        for (size_t i = 0; i < ni; ++i) kis[i + j * ni] = kd[inner[i] + static_cast<size_t>(sidx[j]) * n];
      const Vec x = dense_solve(kd, n, inner, kis, ns);
      Vec want(s.size());
      for (int j = 0; j < ns; ++j)
        for (int i = 0; i < ns; ++i) {
          double v = kd[sidx[i] + static_cast<size_t>(sidx[j]) * n];
          for (size_t q = 0; q < ni; ++q) v -= kis[q + i * ni] * x[q + j * ni];
          want[i + j * ns] = v;
        }
      EXPECT_LT(rel_diff(s, want), 1e-12);
      for (int j = 0; j < ns; ++j)
        for (int i = 0; i < j; ++i) EXPECT_EQ(qvk_test::bits(s[i + j * ns]), qvk_test::bits(s[j + i * ns]));
      // Condense, solve with the library's S, expand.
      const Vec b = rhs(n, 1, 4);
      Vec u = b, bi(ni);
      for (size_t i = 0; i < ni; ++i) bi[i] = b[inner[i]];
      const Vec y = dense_solve(kd, n, inner, bi, 1);
      ASSERT_EQ(solve(h, QVK_SOLVE_CONDENSE, u), 0);
      Vec us(ns), cond(ns);
      for (int i = 0; i < ns; ++i) {
        cond[i] = b[sidx[i]];
        for (size_t q = 0; q < ni; ++q) cond[i] -= kis[q + i * ni] * y[q];
        us[i] = u[sidx[i]];
      }
      EXPECT_LT(rel_diff(us, cond), 1e-12);
      V all(ns);
      for (int i = 0; i < ns; ++i) all[i] = i;
      us = dense_solve(s, ns, all, us, 1);
      for (int i = 0; i < ns; ++i) u[sidx[i]] = us[i];
      ASSERT_EQ(solve(h, QVK_SOLVE_EXPAND, u), 0);
      EXPECT_LT(rel_diff(u, dense_solve(m, b)), 1e-12);
    }
  }
}

// Each column of a block is its single solve, rows past n untouched; L, D
// and L' in turn are the full solve.
TEST(SparseSolver, ColumnsAndStepsGiveTheSingleFullSolve) {
  const Model m = random_model(80, 6, 3, 21);
  const int n = m.n, nrhs = 3, ldb = n + 5;
  const Vec b = rhs(ldb, nrhs, 8);
  {
    Handle h;
    ASSERT_TRUE(analyse(h, m, false) == 0 && factor(h, m) == 0);
    for (int job : {QVK_SOLVE_FULL, QVK_SOLVE_L, QVK_SOLVE_D, QVK_SOLVE_LT}) {
      SCOPED_TRACE(testing::Message() << "job " << job);
      Vec block = b;
      ASSERT_EQ(solve(h, job, block, nrhs, ldb), 0);
      for (int c = 0; c < nrhs; ++c) {
        Vec one(b.begin() + c * ldb, b.begin() + c * ldb + n);
        ASSERT_EQ(solve(h, job, one), 0);
        EXPECT_SAME_BITS(&block[c * ldb], one.data(), static_cast<size_t>(n));
        EXPECT_SAME_BITS(&block[c * ldb + n], &b[c * ldb + n], static_cast<size_t>(ldb - n));
      }
    }
    Vec steps = b, full = b;
    for (int job : {QVK_SOLVE_L, QVK_SOLVE_D, QVK_SOLVE_LT}) ASSERT_EQ(solve(h, job, steps, nrhs, ldb), 0);
    ASSERT_EQ(solve(h, QVK_SOLVE_FULL, full, nrhs, ldb), 0);
    EXPECT_SAME_BITS(steps.data(), full.data(), steps.size());
    Vec none = b;
    EXPECT_EQ(solve(h, QVK_SOLVE_FULL, none, 0, ldb), 0);
    EXPECT_SAME_BITS(none.data(), b.data(), b.size());
  }
}

// The reported residual is that of the improved u, at rounding level, and
// the info record holds it.
TEST(SparseSolver, RefineReportsTheResidualOfItsResult) {
  const Model m = random_model(120, 5, 3, 31);
  const int n = m.n, nrhs = 2, ldb = n + 1;
  const Vec b = rhs(ldb, nrhs, 6);
  Handle h;
  ASSERT_TRUE(analyse(h, m, false) == 0 && factor(h, m) == 0);
  Vec u = b;
  ASSERT_EQ(solve(h, QVK_SOLVE_FULL, u, nrhs, ldb), 0);
  double resid = -1.0;
  qvk_sparse_info info;
  ASSERT_EQ(qvk_sparse_refine(&h.h, &n, m.ia.data(), m.ja.data(), m.a.data(), &nrhs, b.data(), u.data(), &ldb,
                              &resid, &info), 0);
  EXPECT_TRUE(resid > 0.0 && resid <= 1e-15) << resid;
  EXPECT_EQ(info.residual, resid);
}

// Fronts of several pivot blocks and trailing blocks past 256 rows (the
// slab's mmd order has some: 6 natively, 1 in the smaller slab of the
// sanitizers' build): the factor, seen through every job and the Schur
// complement, is the scalar path's bits on every path.
TEST(SparseSolver, EveryPathGivesTheScalarBits) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  const Model m = grid_model(12, 12, 4, qvk_test::random_doubles(5000, 1, -1.0, 0.0));  // 1,728 equations
#else
  const Model m = grid_model(50, 10, 4, qvk_test::random_doubles(5000, 1, -1.0, 0.0));  // 6,000 equations
#endif
  const int nrhs = 2;
  const V sset = schur_of(m, {1, m.nnodes / 2, m.nnodes}, 3);
  const Vec b = rhs(m.n, nrhs, 2);
  Handle plain, schur;
  qvk_sparse_info info;
  ASSERT_EQ(analyse(plain, m, false, QVK_ORDER_MMD, {}, {}, &info), 0);
  ASSERT_GT(info.max_front, 64 + 256);
  ASSERT_EQ(analyse(schur, m, false, QVK_ORDER_MMD, {}, sset), 0);
  std::vector<Vec> want;
  qvk_test::for_each_isa([&](int level) {
    std::vector<Vec> got;
    Vec s(sset.size() * sset.size());
    ASSERT_TRUE(factor(plain, m) == 0 && factor(schur, m, s.data()) == 0);
    got.push_back(s);
    for (int job : {QVK_SOLVE_FULL, QVK_SOLVE_L, QVK_SOLVE_D, QVK_SOLVE_LT}) {
      got.push_back(b);
      ASSERT_EQ(solve(plain, job, got.back(), nrhs), 0);
    }
    for (int job : {QVK_SOLVE_CONDENSE, QVK_SOLVE_EXPAND}) {
      got.push_back(b);
      ASSERT_EQ(solve(schur, job, got.back(), nrhs), 0);
    }
    if (level == qvk::kScalar) want = got;
    for (size_t k = 0; k < got.size(); ++k) EXPECT_SAME_BITS(got[k].data(), want[k].data(), got[k].size());
  });
}

// A fixed model of exact data: every build and path gives the recorded bits.
TEST(CrossBuild, SparseSolverReproducesTheRecordedChecksum) {
  const Model m = grid_model(5, 4, 3, qvk_test::portable_doubles(500, 17, -4, 0));
  const Vec b = qvk_test::portable_doubles(static_cast<size_t>(m.n) * 2, 18, -10, 10);
  V perm;
  for (int k = 0; k < m.nnodes; ++k) perm.push_back(k * 7 % m.nnodes + 1);
  const V sset = {92, 4, 180, 6, 91, 178, 5, 93, 179};  // nodes 31, 2 and 60
  auto results = [&] {
    qvk_test::Checksum sum;
    for (int o : {QVK_ORDER_MMD, QVK_ORDER_NATURAL, QVK_ORDER_REVERSED, QVK_ORDER_GIVEN})
      for (bool with_schur : {false, true}) {
        Handle h;
        qvk_sparse_info info;
        Vec s(sset.size() * sset.size()), x = b;
        EXPECT_TRUE(analyse(h, m, false, o, perm, with_schur ? sset : V(), &info) == 0);
        EXPECT_EQ(factor(h, m, with_schur ? s.data() : nullptr), 0);
        for (int job : with_schur ? V{QVK_SOLVE_CONDENSE, QVK_SOLVE_EXPAND} : V{QVK_SOLVE_FULL, QVK_SOLVE_L})
          EXPECT_EQ(solve(h, job, x, 2), 0);
        sum.add(static_cast<long long>(info.fronts)), sum.add(info.nnz_l), sum.add(info.flops);
        sum.add(x.data(), x.size()), sum.add(s.data(), s.size());
      }
    return sum.value();
  };
  qvk_test::for_each_isa([&](int) { EXPECT_EQ(results(), 0xcc885317d84aa90bull); });
}

// Each bad call: its status, error 400 + status raised, the info record;
// the handle left as the contract says and usable for a good run after.
TEST_F(SparseSolverErrors, BadInputIsRefusedAndTheHandleStaysUsable) {
  // Nodes 1..5 of widths 1, 2, 3, 1, 2 (equations 1, 2-3, 4-6, 7, 8-9) on
  // the path 1-2-3-4-5 with the edge 1-3.
  Model good = from_lists({{2, 3}, {1, 3}, {2, 4, 1}, {3, 5}, {4}}, {1, 2, 3, 1, 2});
  assemble(good, [] { return -0.5; });
  const Vec b0 = rhs(good.n, 1, 1);
  Vec want = b0;
  {
    Handle h;
    ASSERT_TRUE(analyse(h, good, false) == 0 && factor(h, good) == 0 && solve(h, QVK_SOLVE_FULL, want) == 0);
  }
  enum Stage { kGraph, kMatrix, kFactor, kSolve, kRefine };
  struct Call {  // the arguments of the failing call; earlier steps are good
    Model m;
    int ordering = QVK_ORDER_MMD, nschur = 0, job = QVK_SOLVE_FULL, nrhs = 1, ldb = 9, handle = 0;
    V perm, schur;
    bool analyse = true, factor = true, no_s = false, no_xadj = false, no_adj = false;
  };
  auto on = [](std::vector<int> &v, int pos, int val) { v[pos] = val; };
  auto schur = [](Call &c, V s) { c.schur = s, c.nschur = static_cast<int>(s.size()); };
  auto unlink = [](Model &m, int node, int nb) {  // drops nb from node's list, keeping the matrix
    m.adj.erase(std::find(m.adj.begin() + m.xadj[node - 1], m.adj.begin() + m.xadj[node], nb));
    for (int u = node; u <= m.nnodes; ++u) --m.xadj[u];
  };
  // Lists: 1 {2 3}, 2 {1 3}, 3 {2 4 1}, 4 {3 5}, 5 {4}; rows: 1 {1}, 2 {1 2}, 3 {2 1 3}, ...
  const struct {
    const char *what;
    Stage stage;
    int status;
    std::function<void(Call &)> bad;
  } cases[] = {
      {"neighbour past the nodes", kGraph, 2, [&](Call &c) { on(c.m.adj, 4, 6); }},
      {"repeated neighbour", kGraph, 2, [&](Call &c) { on(c.m.adj, 5, 2); }},
      {"self entry", kGraph, 2, [&](Call &c) { on(c.m.adj, 0, 1); }},
      {"graph not symmetric", kGraph, 2, [&](Call &c) { unlink(c.m, 4, 5); }},
      {"offsets not from 0", kGraph, 2, [&](Call &c) { on(c.m.xadj, 0, 1); }},
      {"offsets decreasing", kGraph, 2, [&](Call &c) { on(c.m.xadj, 2, 1); }},
      {"width 0", kGraph, 1, [&](Call &c) { on(c.m.width, 2, 0); }},
      {"width 7", kGraph, 1, [&](Call &c) { on(c.m.width, 4, 7); }},
      {"negative nodes", kGraph, 1, [&](Call &c) { c.m.nnodes = -1; }},
      {"null offsets", kGraph, 1, [&](Call &c) { c.no_xadj = true; }},
      {"null neighbours", kGraph, 1, [&](Call &c) { c.no_adj = true; }},
      {"ordering 6", kGraph, 1, [&](Call &c) { c.ordering = 6; }},
      {"given order, node repeated", kGraph, 3, [&](Call &c) { c.ordering = QVK_ORDER_GIVEN, c.perm = {1, 2, 3, 3, 5}; }},
      {"given order, node 6", kGraph, 3, [&](Call &c) { c.ordering = QVK_ORDER_GIVEN, c.perm = {1, 2, 3, 4, 6}; }},
      {"given order missing", kGraph, 1, [&](Call &c) { c.ordering = QVK_ORDER_GIVEN; }},
      {"Schur equation repeated", kGraph, 4, [&](Call &c) { schur(c, {2, 3, 2}); }},
      {"Schur equation 10", kGraph, 4, [&](Call &c) { schur(c, {7, 10}); }},
      {"Schur set splitting a node", kGraph, 4, [&](Call &c) { schur(c, {4, 6}); }},
      {"negative Schur size", kGraph, 1, [&](Call &c) { c.nschur = -1; }},
      {"Schur list missing", kGraph, 1, [&](Call &c) { c.nschur = 2; }},
      {"null handle address", kGraph, 1, [&](Call &c) { c.handle = 1; }},
      {"null handle", kGraph, 1, [&](Call &c) { c.handle = 2; }},
      {"missing diagonal", kMatrix, 2, [&](Call &c) { on(c.m.ja, 2, 1); }},
      {"diagonal not last", kMatrix, 2, [&](Call &c) { std::swap(c.m.ja[1], c.m.ja[2]); }},
      {"column above the diagonal", kMatrix, 2, [&](Call &c) { on(c.m.ja, 1, 3); }},
      {"repeated entry", kMatrix, 2, [&](Call &c) { on(c.m.ja, 3, 1); }},
      {"rows not from 0", kMatrix, 2, [&](Call &c) { on(c.m.ia, 0, 1); }},
      {"negative order", kMatrix, 1, [&](Call &c) { c.m.n = -3; }},
      {"factor before analyse", kFactor, 5, [&](Call &c) { c.analyse = false; }},
      {"another order", kFactor, 1, [&](Call &c) { c.m.n = 8; }},
      {"entry outside the pattern", kFactor, 2, [&](Call &c) { unlink(c.m, 1, 3), unlink(c.m, 3, 1); }},
      {"Schur complement missing", kFactor, 1, [&](Call &c) { schur(c, {7}), c.no_s = true; }},
      {"solve before factor", kSolve, 5, [&](Call &c) { c.factor = false; }},
      {"job 6", kSolve, 1, [&](Call &c) { c.job = 6; }},
      {"full solve in Schur mode", kSolve, 1, [&](Call &c) { schur(c, {8, 9}); }},
      {"condense outside Schur mode", kSolve, 1, [&](Call &c) { c.job = QVK_SOLVE_CONDENSE; }},
      {"negative right-hand sides", kSolve, 1, [&](Call &c) { c.nrhs = -1; }},
      {"leading dimension below n", kSolve, 1, [&](Call &c) { c.ldb = 8; }},
      {"refine before factor", kRefine, 5, [&](Call &c) { c.factor = false; }},
      {"refine in Schur mode", kRefine, 1, [&](Call &c) { schur(c, {1}); }},
      {"refine with null handle", kRefine, 1, [&](Call &c) { c.handle = 2; }},
  };
  for (const auto &k : cases) {
    SCOPED_TRACE(k.what);
    Call c;
    c.m = good;
    k.bad(c);
    qvk_sparse_control control;
    qvk_sparse_defaults(&control);
    control.ordering = c.ordering;
    Handle h;
    qvk_sparse_solver *null_handle = nullptr;
    qvk_sparse_solver **hp = c.handle == 1 ? nullptr : c.handle == 2 ? &null_handle : &h.h;
    const int *perm = c.perm.empty() ? nullptr : c.perm.data(), *sl = c.schur.empty() ? nullptr : c.schur.data();
    const Model &m = c.m;
    Vec s(c.schur.size() * c.schur.size() + 1), x(std::max(c.ldb, 9), 1.0);
    double resid = 0.0;
    int rc = -1;
    if (k.stage >= kFactor && c.analyse) {
      ASSERT_EQ(qvk_sparse_analyse_graph(&h.h, &control, &m.nnodes, m.xadj.data(), m.adj.data(), m.width.data(),
                                         nullptr, &c.nschur, sl, nullptr), 0);
    }
    if (k.stage >= kSolve && c.factor) { ASSERT_EQ(factor(h, m, s.data()), 0); }
    QorError::QorSetLastError(nullptr, nullptr);
    switch (k.stage) {
      case kGraph:
        rc = qvk_sparse_analyse_graph(hp, &control, &m.nnodes, c.no_xadj ? nullptr : m.xadj.data(),
                                      c.no_adj ? nullptr : m.adj.data(), m.width.data(), perm, &c.nschur, sl, nullptr);
        break;
      case kMatrix:
        rc = qvk_sparse_analyse_matrix(hp, &control, &m.n, m.ia.data(), m.ja.data(), perm, &c.nschur, sl, nullptr);
        break;
      case kFactor:
        rc = qvk_sparse_factor(hp, &m.n, m.ia.data(), m.ja.data(), m.a.data(), c.no_s ? nullptr : s.data(), nullptr);
        break;
      case kSolve: rc = qvk_sparse_solve(hp, &c.job, &c.nrhs, x.data(), &c.ldb, nullptr); break;
      case kRefine:
        rc = qvk_sparse_refine(hp, &m.n, m.ia.data(), m.ja.data(), m.a.data(), &c.nrhs, b0.data(), x.data(), &c.ldb,
                               &resid, nullptr);
    }
    EXPECT_EQ(rc, k.status);
    EXPECT_EQ(last_error(), raised(400 + k.status));
    qvk_sparse_info info;
    if (c.handle == 0) { EXPECT_TRUE(qvk_sparse_get_info(&h.h, &info) == 0 && info.status == k.status); }
    // A failed analyse leaves no analysis, a failed factor no factor, a
    // failed solve the factor.
    Vec y = b0;
    const int job = c.nschur > 0 ? QVK_SOLVE_CONDENSE : QVK_SOLVE_FULL;
    if (c.handle == 0 && k.stage <= kMatrix) { EXPECT_EQ(factor(h, good), QVK_SPARSE_OUT_OF_ORDER); }
    if (c.handle == 0 && k.stage == kFactor) { EXPECT_EQ(solve(h, job, y), QVK_SPARSE_OUT_OF_ORDER); }
    if (c.handle == 0 && k.stage >= kSolve && c.factor) { EXPECT_EQ(solve(h, job, y), 0); }
    y = b0;
    EXPECT_TRUE(analyse(h, good, false) == 0 && factor(h, good) == 0 && solve(h, QVK_SOLVE_FULL, y) == 0);
    EXPECT_SAME_BITS(y.data(), want.data(), y.size());
  }
  EXPECT_EQ(qvk_sparse_create(nullptr), QVK_SPARSE_BAD_ARGUMENT);
  EXPECT_EQ(qvk_sparse_get_info(nullptr, nullptr), QVK_SPARSE_BAD_ARGUMENT);
}

// A diagonal that is not positive, a pivot that turns negative (reported by
// the caller's equation whatever the order) and a zero pivot; then the
// analysis takes good values.
TEST_F(SparseSolverErrors, PivotFailuresNameTheCallersEquation) {
  const Model fixed = random_model(30, 4, 1, 2);
  Model negdiag = fixed, turns = from_lists({{3}, {}, {1}}, {1, 1, 1}),
        singular = from_lists({{2}, {1}}, {1, 1});
  negdiag.a[negdiag.ia[18] - 1] = -1.0;  // equation 18
  assemble(turns, [] { return 2.0; });
  turns.a = {1.0, 1.0, 2.0, 1.0};  // [1 0 2; 0 1 0; 2 0 1]: the last pivot eliminated is -3
  assemble(singular, [] { return 1.0; });
  singular.a = {1.0, 1.0, 1.0};  // [1 1; 1 1]
  const struct { const Model *m; int ordering, status, equation; } cases[] = {
      {&negdiag, QVK_ORDER_MMD, 34, 18},       {&negdiag, QVK_ORDER_REVERSED, 34, 18},
      {&turns, QVK_ORDER_NATURAL, 34, 3},      {&turns, QVK_ORDER_REVERSED, 34, 1},
      {&singular, QVK_ORDER_NATURAL, 6, 2},    {&singular, QVK_ORDER_REVERSED, 6, 1}};
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "n " << c.m->n << " ordering " << c.ordering);
    Handle h;
    qvk_sparse_info info;
    ASSERT_EQ(analyse(h, *c.m, true, c.ordering), 0);
    QorError::QorSetLastError(nullptr, nullptr);
    EXPECT_EQ(factor(h, *c.m, nullptr, &info), c.status);
    EXPECT_EQ(last_error(), raised(400 + c.status));
    EXPECT_TRUE(info.status == c.status && info.failed_equation == c.equation) << info.failed_equation;
    Vec b(c.m->n, 1.0);
    EXPECT_EQ(solve(h, QVK_SOLVE_FULL, b), QVK_SPARSE_OUT_OF_ORDER);
    Model good = *c.m;
    good.a = c.m == &negdiag ? fixed.a : c.m == &turns ? Vec{1, 1, 0.5, 1} : Vec{1, 0.5, 1};
    EXPECT_TRUE(factor(h, good) == 0 && solve(h, QVK_SOLVE_FULL, b) == 0);
    EXPECT_LT(rel_diff(b, dense_solve(good, Vec(c.m->n, 1.0))), 1e-12);
  }
}

// Every allocation of create, analyse, factor and solve refused in turn:
// status 7 and error 302, the handle as the contract leaves it, and no
// memory kept (the next good run's peak is a fresh handle's).
TEST_F(SparseSolverErrors, RefusedAllocationsLeaveTheHandleUsable) {
  const Model m = random_model(60, 5, 3, 41);
  const V sset = schur_of(m, {4, 9}, 2);
  for (bool with_schur : {false, true}) {
    SCOPED_TRACE(with_schur ? "Schur mode" : "plain");
    const V &ss = with_schur ? sset : V();
    const int job = with_schur ? QVK_SOLVE_CONDENSE : QVK_SOLVE_FULL;
    Vec s(ss.size() * ss.size()), want = rhs(m.n, 1, 5), x;
    qvk_sparse_info fresh, info;
    qvk_memory::set_one_block_refused(true);  // else a refused block falls back on separate arrays
    {  // the same steps as below, without refusals
      Handle h;
      ASSERT_TRUE(analyse(h, m, false, QVK_ORDER_MMD, {}, ss) == 0 && factor(h, m, s.data()) == 0);
      ASSERT_TRUE(solve(h, job, want) == 0 && factor(h, m, s.data(), &fresh) == 0);
    }
    // The call with its n-th allocation refused, n = 1, 2, ... until none
    // is; after() checks the handle. Returns the refusals.
    auto refusals = [&](const std::function<int()> &call, const std::function<void()> &after) {
      int refused = 0;
      for (long n = 1; n < 100000; ++n) {
        QorError::QorSetLastError(nullptr, nullptr);
        QorFaultCountdown(n);
        const int rc = call();
        const bool clean = n > QorFaultCalls();
        QorFaultCountdown(0);
        if (clean && rc == 0) return refused;
        if (rc == 0) continue;  // a checkpoint other than an allocation
        EXPECT_TRUE(rc == QVK_SPARSE_NO_MEMORY && last_error() == raised(302)) << n << ": " << rc;
        ++refused, after();
      }
      ADD_FAILURE() << "still refused";
      return refused;
    };
    qvk_sparse_solver *made = nullptr;
    refusals([&] { qvk_sparse_destroy(&made); return qvk_sparse_create(&made); }, [&] { EXPECT_EQ(made, nullptr); });
    qvk_sparse_destroy(&made);
    Handle h;
    EXPECT_GT(refusals([&] { return analyse(h, m, false, QVK_ORDER_MMD, {}, ss); },
                       [&] { EXPECT_EQ(factor(h, m, s.data()), QVK_SPARSE_OUT_OF_ORDER); }), 0);
    EXPECT_GT(refusals([&] { return factor(h, m, s.data()); },
                       [&] {
                         x = want;
                         EXPECT_EQ(solve(h, job, x), QVK_SPARSE_OUT_OF_ORDER);
                       }), 0);
    refusals([&] { x = rhs(m.n, 1, 5); return solve(h, job, x); }, [] {});
    EXPECT_SAME_BITS(x.data(), want.data(), x.size());
    ASSERT_TRUE(factor(h, m, s.data(), &info) == 0);
    EXPECT_EQ(info.peak_words, fresh.peak_words);
  }
}

// The solver against dense algebra and against mechanics: multifrontal
// solves equal dense Cholesky solves, frequencies equal the dense pencil's,
// a distorted mesh reproduces a uniform strain, the cantilever converges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "QorVARDMathKernel/algorithms.h"
#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "fesolve.h"

using namespace fesolve;

namespace {

// The stored symmetric matrix as a dense upper packed array.
std::vector<double> packed(const Stored &s) {
  std::vector<double> ap(static_cast<std::size_t>(s.n) * (s.n + 1) / 2, 0.0);
  for (int i = 0; i < s.n; ++i)
    for (int p = s.ia[i]; p < s.ia[i + 1]; ++p) {
      const int j = s.ja[p] - 1;  // j <= i: upper element (j, i)
      ap[j + static_cast<std::size_t>(i) * (i + 1) / 2] = s.a[p];
    }
  return ap;
}

// x = K^-1 b by eaxfch and e_dpptrs.
std::vector<double> dense_solve(const Stored &k, std::vector<double> b) {
  std::vector<double> ap = packed(k);
  int i1 = 1, info = 0, one = 1;
  double tol = 0, piv = 0;
  eaxfch(nullptr, &i1, &k.n, &tol, ap.data(), &info, &piv);
  EXPECT_EQ(info, 0);
  e_dpptrs("U", &k.n, &one, ap.data(), b.data(), &k.n, &info, 1);
  return b;
}

double max_rel_diff(const std::vector<double> &a, const std::vector<double> &b) {
  double d = 0, m = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    d = std::max(d, std::fabs(a[i] - b[i]));
    m = std::max(m, std::fabs(b[i]));
  }
  return d / m;
}

// A random sparse SPD matrix: a random pattern of about deg neighbours per
// row, off-diagonal values in (-1, 1), diagonal dominant.
Stored random_spd(int n, int deg, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> pick(0, n - 1);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<std::vector<std::pair<int, double>>> rows(n);
  std::vector<double> diag(n, 1.0);
  for (int e = 0; e < n * deg / 2; ++e) {
    int i = pick(gen), j = pick(gen);
    if (i == j) continue;
    if (i < j) std::swap(i, j);
    if (std::any_of(rows[i].begin(), rows[i].end(), [&](auto &p) { return p.first == j; })) continue;
    const double v = val(gen);
    rows[i].push_back({j, v});
    diag[i] += std::fabs(v);
    diag[j] += std::fabs(v);
  }
  Stored s;
  s.n = n;
  s.ia.assign(n + 1, 0);
  for (int i = 0; i < n; ++i) {
    for (auto &p : rows[i]) {
      s.ja.push_back(p.first + 1);
      s.a.push_back(p.second);
    }
    s.ja.push_back(i + 1);
    s.a.push_back(diag[i]);
    s.ia[i + 1] = static_cast<int>(s.a.size());
  }
  return s;
}

TEST(Multifrontal, EqualsDenseSolveUnderEachOrdering) {
  for (unsigned seed : {1u, 2u, 3u}) {
    const int n = 200 + 70 * seed;
    Stored k = random_spd(n, 3 + 2 * seed, seed);
    Graph g = matrix_graph(k);
    std::vector<double> b(n);
    for (int i = 0; i < n; ++i) b[i] = std::sin(i + 1.0);
    const std::vector<double> ref = dense_solve(k, b);
    for (Ordering o : {kNatural, kReversed, kMinimumDegree}) {
      Multifrontal mf;
      mf.analyse(g, order_graph(g, o));
      mf.factor(k, nullptr);
      std::vector<double> x = b;
      mf.solve(x.data(), 1);
      EXPECT_LT(max_rel_diff(x, ref), 1e-12) << "seed " << seed << " ordering " << o;
      // Several right-hand sides at once give each column's single solve.
      std::vector<double> xx(3 * static_cast<std::size_t>(n));
      for (int c = 0; c < 3; ++c) std::copy(b.begin(), b.end(), xx.begin() + c * n);
      mf.solve(xx.data(), 3);
      for (int c = 0; c < 3; ++c)
        EXPECT_TRUE(std::equal(x.begin(), x.end(), xx.begin() + c * n));
    }
  }
}

TEST(Multifrontal, MinimumDegreeFillsLessThanTheNaturalOrder) {
  Stored k = random_spd(400, 4, 7);
  Graph g = matrix_graph(k);
  Multifrontal a, b;
  a.analyse(g, order_graph(g, kNatural));
  b.analyse(g, order_graph(g, kMinimumDegree));
  EXPECT_LT(b.stats().nnz_l, a.stats().nnz_l);
}

TEST(Multifrontal, ReportsIndefiniteAndSingularMatrices) {
  Stored k = random_spd(60, 4, 11);
  Graph g = matrix_graph(k);
  Multifrontal mf;
  mf.analyse(g, order_graph(g, kMinimumDegree));
  Stored bad = k;
  bad.a[bad.ia[30] - 1] = -5.0;  // diagonal of row 30
  EXPECT_THROW(mf.factor(bad, nullptr), SolveError);
  // A positive diagonal whose pivot turns negative: [[1, 2], [2, 1]].
  Stored ind;
  ind.n = 2;
  ind.ia = {0, 1, 3};
  ind.ja = {1, 1, 2};
  ind.a = {1.0, 2.0, 1.0};
  Graph gi = matrix_graph(ind);
  Multifrontal mi;
  mi.analyse(gi, order_graph(gi, kNatural));
  try {
    mi.factor(ind, nullptr);
    ADD_FAILURE() << "indefinite matrix factored";
  } catch (const SolveError &e) {
    EXPECT_NE(std::string(e.what()).find("status 34"), std::string::npos) << e.what();
  }
  // A 2 x 2 block [[1, 1], [1, 1]] is singular.
  Stored s;
  s.n = 2;
  s.ia = {0, 1, 3};
  s.ja = {1, 1, 2};
  s.a = {1.0, 1.0, 1.0};
  Graph g2 = matrix_graph(s);
  Multifrontal m2;
  m2.analyse(g2, order_graph(g2, kNatural));
  try {
    m2.factor(s, nullptr);
    ADD_FAILURE() << "singular matrix factored";
  } catch (const SolveError &e) {
    EXPECT_NE(std::string(e.what()).find("equation 2"), std::string::npos) << e.what();
  }
}

// A small cantilever: displacements against the dense solve, frequencies
// against the dense pencil K x = lambda M x (M = U'U, C = U^-T K U^-1).
TEST(Model, SmallCantileverAgainstDenseAlgebra) {
  Beam bm;
  bm.nx = 6;
  bm.ny = 2;
  bm.nz = 2;
  bm.length = 3;
  Mesh mesh = make_beam(bm);
  Material mat;
  Cantilever cl = clamp_and_load(mesh, true);
  Graph g = node_graph(mesh, cl.dofs);
  Stored k, m;
  std::vector<double> rhs;
  assemble(mesh, mat, cl.dofs, g, k, &m, rhs);
  for (int i = 0; i < mesh.nodes(); ++i)
    if (cl.weight[i] > 0) rhs[cl.dofs.eq[3 * i + 2]] -= cl.weight[i] * 1e6;
  Multifrontal mf;
  mf.analyse(g, order_graph(g, kMinimumDegree));
  mf.factor(k, nullptr);
  std::vector<double> u = rhs;
  mf.solve(u.data(), 1);
  EXPECT_LT(max_rel_diff(u, dense_solve(k, rhs)), 1e-12);

  const int n = k.n;
  std::vector<double> kp = packed(k), mp = packed(m);
  int i1 = 1, info = 0;
  double tol = 0, piv = 0;
  eaxfch(nullptr, &i1, &n, &tol, mp.data(), &info, &piv);
  ASSERT_EQ(info, 0);
  std::vector<double> kd(static_cast<std::size_t>(n) * n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i)
      kd[i + j * n] = kd[j + i * n] = kp[i + static_cast<std::size_t>(j) * (j + 1) / 2];
  const int one = 1;
  for (int pass = 0; pass < 2; ++pass) {
    for (int c = 0; c < n; ++c) e_dtpsv("U", "T", "N", &n, mp.data(), &kd[c * n], &one, 1, 1, 1);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < j; ++i) std::swap(kd[i + j * n], kd[j + i * n]);
  }
  std::vector<double> cp(static_cast<std::size_t>(n) * (n + 1) / 2), d(n), z(static_cast<std::size_t>(n) * n), e(n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i) cp[i + static_cast<std::size_t>(j) * (j + 1) / 2] = kd[i + j * n];
  const int iord = 1;
  int ierr = 0;
  ASSERT_EQ(eaxeig(&n, &iord, cp.data(), d.data(), z.data(), e.data(), &ierr), 0);
  Modes md = subspace_iteration(k, m, mf, 6, 1e-12, 100, nullptr);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(md.lambda[i], d[i], 1e-9 * d[i]) << "mode " << i + 1;
  // The vectors are M-orthonormal eigenvectors: K x - lambda M x small.
  std::vector<double> kx(n), mx(n);
  stored_product(k, 1, md.vectors.data(), kx.data());
  stored_product(m, 1, md.vectors.data(), mx.data());
  double r = 0, s = 0, xmx = 0;
  for (int i = 0; i < n; ++i) {
    r = std::max(r, std::fabs(kx[i] - md.lambda[0] * mx[i]));
    s = std::max(s, std::fabs(kx[i]));
    xmx += md.vectors[i] * mx[i];
  }
  EXPECT_LT(r, 1e-6 * s);
  EXPECT_NEAR(xmx, 1.0, 1e-10);
}

// Uniform strain: u = A x + c on the boundary of a distorted mesh; every
// interior node must follow the same field to rounding.
TEST(Model, PatchTestOnDistortedMeshes) {
  const double A[3][3] = {{1e-3, 2e-4, -3e-4}, {5e-4, -2e-3, 1e-4}, {-1e-4, 3e-4, 1.5e-3}};
  const double c0[3] = {1e-3, -2e-3, 5e-4};
  Beam bm;
  bm.nx = bm.ny = bm.nz = 3;
  bm.length = bm.width = bm.height = 1.0;
  Mesh hex = make_beam(bm);
  // Move each interior node by a fixed irregular amount.
  for (int i = 0; i < hex.nodes(); ++i) {
    double *x = &hex.xyz[3 * i];
    const bool inner = x[0] > 0 && x[0] < 1 && x[1] > 0 && x[1] < 1 && x[2] > 0 && x[2] < 1;
    if (inner)
      for (int c = 0; c < 3; ++c) x[c] += 0.08 * std::sin(7.0 * i + 3.0 * c);
  }
  // The same nodes cut into tetrahedra (six per hexahedron).
  Mesh tet = hex;
  tet.conn.clear();
  tet.start.assign(1, 0);
  tet.kind.clear();
  static const int split[6][4] = {{0, 1, 2, 6}, {0, 2, 3, 6}, {0, 3, 7, 6},
                                  {0, 7, 4, 6}, {0, 4, 5, 6}, {0, 5, 1, 6}};
  for (int e = 0; e < hex.elements(); ++e)
    for (auto &t : split) {
      for (int q : t) tet.conn.push_back(hex.conn[hex.start[e] + q]);
      tet.start.push_back(static_cast<int>(tet.conn.size()));
      tet.kind.push_back(kTet4);
    }
  for (const Mesh *mesh : {&hex, &tet}) {
    Dofs d;
    const int nn = mesh->nodes();
    d.eq.assign(3 * nn, 0);
    d.fixed.assign(3 * nn, 0.0);
    std::vector<double> exact(3 * nn);
    for (int i = 0; i < nn; ++i) {
      const double *x = &mesh->xyz[3 * i];
      const bool edge = x[0] <= 0 || x[0] >= 1 || x[1] <= 0 || x[1] >= 1 || x[2] <= 0 || x[2] >= 1;
      for (int r = 0; r < 3; ++r) {
        exact[3 * i + r] = c0[r] + A[r][0] * x[0] + A[r][1] * x[1] + A[r][2] * x[2];
        if (edge) {
          d.eq[3 * i + r] = -1;
          d.fixed[3 * i + r] = exact[3 * i + r];
        }
      }
    }
    number_dofs(d);
    ASSERT_GT(d.neq, 0);
    Graph g = node_graph(*mesh, d);
    Stored k;
    std::vector<double> rhs;
    assemble(*mesh, Material(), d, g, k, nullptr, rhs);
    Multifrontal mf;
    mf.analyse(g, order_graph(g, kMinimumDegree));
    mf.factor(k, nullptr);
    mf.solve(rhs.data(), 1);
    for (int j = 0; j < 3 * nn; ++j)
      if (d.eq[j] >= 0) {
        EXPECT_NEAR(rhs[d.eq[j]], exact[j], 1e-13) << "dof " << j;
      }
  }
}

TEST(Model, CantileverConvergesToTheBeamValue) {
  Material mat;
  const double beam = timoshenko_compliance(8, 1, 1, mat);
  double last = 1;
  for (int r : {1, 2, 4}) {
    Beam bm;
    bm.nx = 8 * r;
    bm.ny = bm.nz = r;
    Mesh mesh = make_beam(bm);
    Cantilever cl = clamp_and_load(mesh, true);
    Graph g = node_graph(mesh, cl.dofs);
    Stored k;
    std::vector<double> rhs;
    assemble(mesh, mat, cl.dofs, g, k, nullptr, rhs);
    for (int i = 0; i < mesh.nodes(); ++i)
      if (cl.weight[i] > 0) rhs[cl.dofs.eq[3 * i + 2]] += cl.weight[i];
    Multifrontal mf;
    mf.analyse(g, order_graph(g, kMinimumDegree));
    mf.factor(k, nullptr);
    mf.solve(rhs.data(), 1);
    const double err = std::fabs(tip_deflection(cl, rhs) / beam - 1);
    EXPECT_LT(err, 0.6 * last) << "refinement " << r;
    last = err;
  }
  EXPECT_LT(last, 0.05);
}

}  // namespace

// The symmetric eigen solver and its steps, Gauss-Jordan inversion, the
// eigen-based pseudo-inverse, the composite products and the weighted fit;
// one checksum that ties the 32-bit build to the 64-bit one.
#include <algorithm>
#include <limits>
#include <random>

#include "QorVARDMathKernel/algorithms.h"
#include "qvk_test.h"

namespace {

using qvk_test::Vec;
constexpr double kEps = std::numeric_limits<double>::epsilon();
const double kNan = std::numeric_limits<double>::quiet_NaN();

Vec uniform(size_t n, unsigned seed, double lo = -1.0, double hi = 1.0) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(lo, hi);
  Vec v(n);
  for (auto &x : v) x = u(gen);
  return v;
}

// A symmetric matrix by columns, from the upper triangle of v when given.
struct Sym {
  int n = 0;
  Vec a;
  explicit Sym(int order = 0, const Vec &v = {}) : n(order), a(size_t(order) * order, 0.0) {
    for (int j = 1; j <= n && !v.empty(); ++j)
      for (int i = 1; i <= j; ++i) set(i, j, v[(i - 1) + size_t(j - 1) * n]);
  }
  double &at(int i, int j) { return a[(i - 1) + size_t(j - 1) * n]; }
  void set(int i, int j, double v) { at(i, j) = at(j, i) = v; }
  Vec packed() const {  // the lower triangle by rows, which is the upper one by columns
    Vec ap;
    for (int j = 0; j < n; ++j) ap.insert(ap.end(), a.begin() + size_t(j) * n, a.begin() + size_t(j) * n + j + 1);
    return ap;
  }
};
Sym random_sym(int n, unsigned seed) { return Sym(n, uniform(size_t(n) * n, seed)); }

// Q*diag(lambda)*Q' with Q = I - 2vv'/v'v: known eigenvalues up to rounding.
Sym with_eigenvalues(const Vec &lambda, unsigned seed) {
  const int n = static_cast<int>(lambda.size());
  const Vec v = uniform(n, seed);
  double vv = 0.0;
  for (double x : v) vv += x * x;
  Vec q(size_t(n) * n), w(q), r(q);
  for (size_t k = 0; k < q.size(); ++k) q[k] = (k % (n + 1) == 0) - 2 * v[k % n] * v[k / n] / vv;
  ebhpap(&n, q.data(), lambda.data(), w.data(), r.data());
  return Sym(n, r);
}

// max |A*X - I|, A with leading dimension lda, X with n.
double identity_error(const Vec &a, int lda, const Vec &x, int n) {
  double err = 0.0;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      double t = 0.0;
      for (int k = 0; k < n; ++k) t += a[i + k * lda] * x[k + j * n];
      err = std::fmax(err, std::fabs(t - (i == j)));
    }
  return err;
}

struct Eig { int status = -1, ierr = -77; Vec ap, d, z, e; };
Eig solve(int n, Vec packed, int iord) {
  Eig r{-1, -77, std::move(packed), Vec(n), Vec(size_t(n) * n), Vec(n)};
  r.status = eaxeig(&n, &iord, r.ap.data(), r.d.data(), r.z.data(), r.e.data(), &r.ierr);
  return r;
}

// Residual, orthogonality and order, and DSPEV's eigenvalues, for random,
// clustered, repeated, zero, graded, tiny, huge and split spectra.
TEST(Eigen, DecomposesRandomAndStructuredMatrices) {
  using Dspev = void (*)(const char *, const char *, const int *, double *, double *, double *, const int *,
                         double *, int *, int, int);
  auto dspev = qvk_test::ref_lapack<Dspev>("dspev_");
  ASSERT_ORACLE(dspev);
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 16, 20, 25, 29, 30, 47, 64, 100}) {
    Vec cluster(n), repeated(n), deficient(n);
    for (int k = 0; k < n; ++k) {
      cluster[k] = 1.0 + k * 1e-13;
      repeated[k] = k % 3 == 0 ? -2.0 : (k % 3 == 1 ? 1.0 : 5.0);
      deficient[k] = k % 2 ? k + 1.0 : 0.0;
    }
    std::vector<Sym> all = {random_sym(n, n), with_eigenvalues(cluster, n), with_eigenvalues(repeated, n + 1),
                            with_eigenvalues(deficient, n + 2)};
    all.insert(all.end(), 4, all[0]);  // graded, tiny, huge, split
    for (int j = 1; j <= n; ++j)
      for (int i = 1; i <= n; ++i) {
        all[4].at(i, j) = std::ldexp(all[4].at(i, j), -(i + j) * 20 / n);  // down to 2^-40
        all[5].at(i, j) *= 1e-150;
        all[6].at(i, j) *= 1e150;
        if ((i <= n / 2) != (j <= n / 2)) all[7].at(i, j) = 0.0;
      }
    for (const Sym &a : all) {
      SCOPED_TRACE(testing::Message() << "n " << n << ", case " << &a - all.data());
      const int iord = 1 + n % 2;
      const Eig r = solve(n, a.packed(), iord);
      ASSERT_EQ(r.status, 0);
      EXPECT_EQ(r.ierr, -77);  // not written on success
      Vec zdz(n * n), zz(n * n), w(std::max(n * n, 3 * n));  // w: also the work of DSPEV
      ebhpap(&n, r.z.data(), r.d.data(), w.data(), zdz.data());
      ebhpap(&n, r.z.data(), Vec(n, 1.0).data(), w.data(), zz.data());
      double norm = 0.0, res = 0.0, orth = 0.0;
      for (int k = 0; k < n * n; ++k) {
        norm = std::max(norm, std::fabs(a.a[k]) * n);
        res = std::max(res, std::fabs(zdz[k] - a.a[k]));
        orth = std::max(orth, std::fabs(zz[k] - (k % (n + 1) == 0)));
      }
      EXPECT_LE(res, 4.0 * n * kEps * norm);
      EXPECT_LE(orth, 4.0 * n * kEps);
      for (int i = 1; i < n; ++i)
        EXPECT_TRUE(iord == 1 ? r.d[i - 1] <= r.d[i] : std::fabs(r.d[i - 1]) >= std::fabs(r.d[i]));
      Vec ap = a.packed(), lambda(n), d = r.d;
      int info = -1, one = 1;
      dspev("N", "U", &n, ap.data(), lambda.data(), nullptr, &one, w.data(), &info, 1, 1);
      std::sort(d.begin(), d.end());
      for (int i = 0; i < n; ++i) EXPECT_NEAR(d[i], lambda[i], 4.0 * n * kEps * norm) << i;
    }
  }
}

// Diagonal input: d in order, equal keys in their order, z the matching unit
// vectors. A NaN never converges: after 30 iterations its index is reported.
TEST(Eigen, DiagonalAndNonConvergent) {
  struct Case { int iord; Vec diag, want; std::vector<int> from; };
  for (const Case &c : {Case{1, {3, -1, 2, -1}, {-1, -1, 2, 3}, {2, 4, 3, 1}},
                        Case{2, {-3, 1, 2}, {-3, 2, 1}, {1, 3, 2}},
                        Case{7, {2, -2, 1, 2}, {2, -2, 2, 1}, {1, 2, 4, 3}}, Case{1, {5}, {5}, {1}}}) {
    const int n = static_cast<int>(c.diag.size());
    Sym a(n);
    for (int i = 1; i <= n; ++i) a.at(i, i) = c.diag[i - 1];
    const Eig r = solve(n, a.packed(), c.iord);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.d, c.want);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) EXPECT_EQ(r.z[i + j * n], i + 1 == c.from[j]) << i << "," << j;
    for (int i = 3; i <= n; ++i) EXPECT_EQ(r.ap[i * (i + 1) / 2 - 1], 0.0);  // nothing reduced
  }
  int n = 3, ierr = 0;
  Vec d = {1.0, 2.0, 3.0}, e = {0.0, 0.0, kNan}, z(9, 0.0);
  EXPECT_EQ(eaxeql(&n, d.data(), e.data(), z.data(), &ierr), 1);
  EXPECT_EQ(ierr, 2);  // row 1 splits off; l = 2 meets the NaN
}

// Plain, wide-range and adversarial input; the steps chained give the same.
TEST(Eigen, EveryPathAndTheStepsGiveTheScalarBits) {
  for (int n : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 70})
    for (const Vec &v : {uniform(size_t(n) * n, n), qvk_test::random_doubles(size_t(n) * n, n),
                         qvk_test::adversarial_doubles(size_t(n) * n, n)}) {
      SCOPED_TRACE(testing::Message() << "n " << n);
      const Sym a(n, v);
      qvk_test::expect_paths_agree({}, [&](Vec &out) {
        const Eig r = solve(n, a.packed(), 2);
        out.push_back(r.status);
        for (const Vec *p : {&r.d, &r.z, &r.ap}) out.insert(out.end(), p->begin(), p->end());
        if (r.status) return;
        Eig s{0, 0, a.packed(), Vec(n), Vec(size_t(n) * n), Vec(n)};
        int iord = 2;
        eaxetr(&n, s.ap.data(), s.d.data(), s.e.data());
        EXPECT_EQ(eaxeql(&n, s.d.data(), s.e.data(), s.z.data(), &s.ierr), 0);
        eaxeor(&iord, &n, s.d.data(), s.z.data());
        eaxevp(&n, s.ap.data(), s.z.data());
        EXPECT_SAME_BITS(s.z.data(), r.z.data(), r.z.size());
      });
    }
}

// The inverse (as n-by-n) and info (-1 when not written).
std::pair<Vec, int> invert(int mode, Vec a, int lda, int n, Vec *whole = nullptr) {
  std::vector<int> ipiv(n, -1);
  int info = -1;
  eaxinv(&mode, &lda, &n, ipiv.data(), &info, a.data());
  if (whole) *whole = a;
  Vec x(size_t(n) * n);
  for (int j = 0; j < n; ++j) std::copy_n(a.begin() + size_t(j) * lda, n, x.begin() + size_t(j) * n);
  return {x, info};
}

// General matrices with pivot choices; symmetric indefinite ones whose lower
// triangle (NaN) must not be read. Rows past n survive.
TEST(Inverse, EveryModeInvertsOnEveryPath) {
  for (int n : {1, 2, 3, 4, 7, 10, 16, 30, 45}) {
    SCOPED_TRACE(testing::Message() << "n " << n);
    const int lda = n + 2;
    const Vec g = uniform(size_t(lda) * n, n);
    Sym s = random_sym(n, 50 + n);
    Vec full(size_t(lda) * n, 9.0), upper = full;
    for (int j = 1; j <= n; ++j)
      for (int i = 1; i <= n; ++i) {
        full[(i - 1) + (j - 1) * lda] = s.at(i, j) + (i == j ? (i % 2 ? n : -n) : 0.0);
        upper[(i - 1) + (j - 1) * lda] = i <= j ? full[(i - 1) + (j - 1) * lda] : kNan;
      }
    qvk_test::for_each_isa([&](int) {
      const auto r1 = invert(1, g, lda, n);
      EXPECT_EQ(r1.second, -1);
      EXPECT_LE(identity_error(g, lda, r1.first, n), 1e3 * n * kEps);
      for (int mode : {2, 3, -1}) {
        Vec whole;
        const auto r = invert(mode, upper, lda, n, &whole);
        EXPECT_EQ(r.second, mode == 2 ? -1 : 0);
        EXPECT_LE(identity_error(full, lda, r.first, n), 100 * n * kEps) << mode;
        for (int j = 0; j < n; ++j) {
          for (int i = n; i < lda; ++i) ASSERT_EQ(whole[i + j * lda], 9.0);
          for (int i = 0; i < j; ++i) ASSERT_EQ(r.first[i + j * n], r.first[j + i * n]);
        }
      }
    });
  }
}

// The exact inverse of a scaled permutation; a tie keeps the diagonal. 1.0E-8
// and NaN fail the pivot test, leaving earlier steps done, later rows alone.
TEST(Inverse, PermutationsTiesAndThePivotTest) {
  EXPECT_EQ(invert(1, {0, -2, 0, 0, 0, 4, 4, 0, 0}, 3, 3).first, (Vec{0, 0, 0.25, -0.5, 0, 0, 0, 0.25, 0}));
  EXPECT_EQ(invert(1, {2, 0, 0, 1, 1, 0, -2, 0, 4}, 3, 3).first, (Vec{0.5, 0, 0, -0.5, 1, 0, 0.25, 0, 0.25}));
  EXPECT_EQ(invert(3, {1e-8, 0, 0, 1e-8}, 2, 2), std::make_pair(Vec{1e-8, 0, 0, 1e-8}, 1));
  EXPECT_EQ(invert(5, {kNan, 0, 0, 1}, 2, 2).second, 1);
  EXPECT_EQ(invert(3, {2, 7, 7, 0, 1e-9, 7, 0, 0, 3}, 3, 3), std::make_pair(Vec{0.5, 0, 0, 0, 1e-9, 7, 0, 0, 3}, 1));
  // The untested modes pass a zero pivot on as IEEE infinities or NaNs.
  for (int mode : {1, 2}) EXPECT_FALSE(std::isfinite(invert(mode, {0, 0, 0, 1}, 2, 2).first[0]));
}

// eaxinvs on s.a in place.
int pseudo_inverse(Sym &s, double tol, int *info) {
  Vec w(s.a.size()), z(s.a.size());
  return eaxinvs(&s.n, &tol, s.a.data(), w.data(), z.data(), info);
}

// 4vv' - uu'/2 + 2ww' (orthonormal v, u, w) or fewer terms: each kept term
// inverted, the rest dropped and counted (tol = 0: exact zeros only). A NaN
// fails the eigen solver, a unchanged.
TEST(PseudoInverse, RankThresholdAndFailure) {
  const double v[3] = {2.0 / 3, -1.0 / 3, 2.0 / 3}, u[3] = {2.0 / 3, 2.0 / 3, -1.0 / 3},
               w[3] = {-1.0 / 3, 2.0 / 3, 2.0 / 3};
  int info = -5;
  for (int rank = 1; rank <= 3; ++rank) {
    Sym s(3);
    auto term = [&](int k, double cv, double cu, double cw) {
      return cv * v[k % 3] * v[k / 3] + (rank > 1) * cu * u[k % 3] * u[k / 3] + (rank > 2) * cw * w[k % 3] * w[k / 3];
    };
    for (int k = 0; k < 9; ++k) s.a[k] = term(k, 4.0, -0.5, 2.0);
    EXPECT_EQ(pseudo_inverse(s, 1e-10, &info), 0);
    EXPECT_EQ(info, 3 - rank);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(s.a[k], term(k, 0.25, -2.0, 0.5), 64 * kEps);
  }
  Sym d(3);
  d.a = {2, 0, 0, 0, 0, 0, 0, 0, -4};
  EXPECT_EQ(pseudo_inverse(d, 0.0, &info), 0);
  EXPECT_EQ(d.a, (Vec{0.5, 0, 0, 0, 0, 0, 0, 0, -0.25}));
  EXPECT_EQ(info, 1);
  Sym s = random_sym(6, 2);
  s.set(5, 4, kNan);
  const Sym s0 = s;
  EXPECT_EQ(pseudo_inverse(s, 1e-6, &info), 1);
  EXPECT_GE(info, 1);
  EXPECT_EQ(qvk_test::first_bit_difference(s.a.data(), s0.a.data(), s.a.size()), -1);
}

// Small integers: every sum is exact; c is not read.
TEST(Composite, Product) {
  const int m = 3, k = 2, n = 4;
  const Vec a = {1, 2, 3, -1, 0, 2}, b = {1, 0, 2, 1, -3, 2, 0, 4};
  Vec c(m * n, kNan);
  eaxmmp(&m, &k, &n, a.data(), b.data(), c.data());
  EXPECT_EQ(c, (Vec{1, 2, 3, 1, 4, 8, -5, -6, -5, -4, 0, 8}));
}

// What the fit's evaluator saw, and the call that fails (0: none).
struct Recorder {
  int calls = 0, fail_at = 0;
  bool contract_ok = true;  // the constants 1, 0, m, 1, 0 and one scratch slot throughout
  const double *scratch = nullptr;
  Vec seen;  // scaled coordinates, three per call
} rec;

// 1, x, y, z, x^2, y^2, z^2, xy, yz, zx as far as m asks. It writes info,
// which the fit must set afterwards.
int basis(const int *one, const int *zero, const int *m, const int *one2, const int *zero2, const double *x,
          double *scratch, double *p, int *info) {
  const double a = x[0], b = x[1], c = x[2], v[10] = {1, a, b, c, a * a, b * b, c * c, a * b, b * c, c * a};
  std::copy(v, v + *m, p);
  if (!rec.scratch) rec.scratch = scratch;
  rec.contract_ok &= *one == 1 && *zero == 0 && *one2 == 1 && *zero2 == 0 && rec.scratch == scratch;
  rec.seen.insert(rec.seen.end(), x, x + 3);
  *info = 99;
  return ++rec.calls == rec.fail_at;
}

struct Fit { int status = -1, info = -7; double f = 123.0; Vec coef; };
Fit fit(int m, const Vec &xyz, const double *x0, const Vec &u, const Vec &wt, eaxrmc3_basis eval = basis,
        int fail_at = 0) {
  rec = Recorder();
  rec.fail_at = fail_at;
  Fit r;
  const int n = static_cast<int>(u.size()), nn = std::max(n, 1);
  r.coef.assign(m, -3.0);
  Vec a(m * m), w(m * m), z(m * m), b(nn * m), p(m);
  r.status = eaxrmc3(&m, &n, xyz.data(), x0, u.data(), &r.f, eval, a.data(), w.data(), z.data(), b.data(),
                     p.data(), r.coef.data(), wt.data(), &r.info);
  return r;
}

// A quadratic reproduced, weighted and with zero weights on garbage; the
// evaluator sees coordinates over half the box's diagonal, or 1.0E-6.
TEST(Fit, ReproducesAQuadraticAtScaledPoints) {
  const int n = 30;
  const Vec xyz = uniform(3 * n, 11, -2.0, 3.0);
  Vec wt = uniform(n, 12, 0.5, 2.0), u(n);
  auto q = [](const double *x) {
    return 1 + 2 * x[0] - x[1] + 0.5 * x[2] + 0.3 * x[0] * x[0] - 0.2 * x[1] * x[1] + 0.1 * x[2] * x[2] +
           0.4 * x[0] * x[1] - 0.1 * x[1] * x[2] + 0.2 * x[2] * x[0];
  };
  for (int i = 0; i < n; ++i) {
    u[i] = i % 4 ? q(&xyz[3 * i]) * wt[i] : 1e30;
    wt[i] *= i % 4 ? 1.0 : 0.0;
  }
  const double x0[3] = {0.7, -1.1, 2.2};
  const Fit r = fit(10, xyz, x0, u, wt);
  EXPECT_TRUE(r.status == 0 && r.info == 0);
  EXPECT_NEAR(r.f, q(x0), 1e-9 * std::fabs(q(x0)));
  EXPECT_TRUE(rec.contract_ok && rec.calls == n + 1);
  const double t[3] = {1, 0, 0};
  fit(2, {-1, 1, 2, 2, 5, 2}, t, {1, 3}, {1, 1});  // extent (3, 4, 0): divided by 2.5
  EXPECT_EQ(rec.seen, (Vec{-0.4, 0.4, 0.8, 0.8, 2, 0.8, 0.4, 0, 0}));
  const Fit one = fit(1, {1.5, -2.0, 0.25}, t, {7.0}, {1.0});
  EXPECT_TRUE(one.status == 0 && one.info == 0 && one.f == 7.0);
  EXPECT_EQ(rec.seen[0], 1.5 / 1e-6);
}

// A plane drops one direction; weights enter b'b squared, b'u once; no
// points drop all. A failure stops at once: at the target, f = 0.0.
TEST(Fit, DependentBasisWeightsNoPointsAndFailures) {
  Vec xyz, u;
  const Vec r2 = uniform(24, 5);
  for (int i = 0; i < 12; ++i) {
    const double x = r2[2 * i], y = r2[2 * i + 1];
    xyz.insert(xyz.end(), {x, y, 0.5 * x - 0.25 * y + 1.0});
    u.push_back(3.0 + x - 2.0 * y);
  }
  const double x0[3] = {0.2, -0.6, 1.25};
  const Fit r = fit(4, xyz, x0, u, Vec(12, 1.0));
  EXPECT_TRUE(r.status == 0 && r.info == 1);
  EXPECT_NEAR(r.f, 3.0 + 0.2 + 1.2, 1e-9);
  EXPECT_EQ(fit(1, xyz, x0, Vec(12, 3.0), Vec(12, 2.0)).f, 1.5);
  const Fit none = fit(4, {}, x0, {}, {});
  EXPECT_TRUE(none.status == 0 && none.info == 4 && none.f == 0.0 && rec.calls == 1);
  u.resize(8);
  const Fit good = fit(4, xyz, x0, u, Vec(8, 1.0));
  for (int at : {1, 5, 9}) {
    const Fit bad = fit(4, xyz, x0, u, Vec(8, 1.0), basis, at);
    EXPECT_TRUE(bad.status == 1 && rec.calls == at) << at;
    EXPECT_EQ(bad.f, at == 9 ? 0.0 : 123.0);
    EXPECT_EQ(bad.coef, at == 9 ? good.coef : Vec(4, -3.0));
  }
}

int linear(const int *, const int *, const int *m, const int *, const int *, const double *x, double *, double *p,
           int *) {
  p[0] = 1.0;
  for (int j = 1; j < *m; ++j) p[j] = x[(j - 1) % 3] * (j > 3 ? x[j % 3] : 1.0);
  return 0;
}

TEST(CrossBuild, AlgorithmsReproduceTheRecordedChecksum) {
  auto results = [] {
    qvk_test::Checksum sum;
    for (int n : {1, 2, 3, 5, 8, 13, 30, 41}) {
      const Vec v = qvk_test::portable_doubles(size_t(n) * n, n, -4, 4);
      for (int iord : {1, 2}) {  // eigenpairs, both orders
        const Eig r = solve(n, Vec(v.begin(), v.begin() + n * (n + 1) / 2), iord);
        sum.add(static_cast<long long>(r.status));
        for (const Vec *p : {&r.d, &r.z, &r.ap}) sum.add(p->data(), p->size());
      }
      for (int mode : {1, 2, 3}) {  // every inversion mode
        Vec a = v;
        for (int i = 0; i < n; ++i) a[i + size_t(i) * n] += 2.0 * n;
        const auto r = invert(mode, a, n, n);
        sum.add(static_cast<long long>(r.second));
        sum.add(r.first.data(), r.first.size());
      }
      if (n > 30) continue;
      Sym s(n);  // pseudo-inverse of a matrix with a pattern of zeros
      for (int j = 1; j <= n; ++j)
        for (int i = j; i <= n; ++i) s.set(i, j, v[(i - 1) + (j - 1) * n] * ((i + j) % 3 ? 1.0 : 0.0));
      int info = 0;
      sum.add(static_cast<long long>(pseudo_inverse(s, 1e-3, &info)));
      sum.add(static_cast<long long>(info));
      sum.add(s.a.data(), s.a.size());
    }
    Vec wt(30, 1.0);  // a fit with a 10-function basis on 30 points
    for (int i = 0; i < 30; i += 3) wt[i] = 0.5;
    const double x0[3] = {0.25, -0.5, 0.125};
    const Fit r = fit(10, qvk_test::portable_doubles(90, 3, -2, 2), x0, qvk_test::portable_doubles(30, 4, -2, 2),
                      wt, linear);
    sum.add(static_cast<long long>(r.status));
    sum.add(static_cast<long long>(r.info));
    sum.add(r.f);
    sum.add(r.coef.data(), r.coef.size());
    return sum.value();
  };
  qvk_test::for_each_isa([&](int) { EXPECT_EQ(results(), 0x42c527bd7efebdccull); });
}

}  // namespace

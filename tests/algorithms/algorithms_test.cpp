// The symmetric eigen solver and its steps, Gauss-Jordan inversion, the
// eigen-based pseudo-inverse and the composite products; one checksum that
// ties the 32-bit build to the 64-bit one.
#include <algorithm>
#include <limits>
#include <random>

#include "QorVARDMathKernel/algorithms.h"
#include "qvk_test.h"

namespace {

using qvk_test::Vec;
constexpr double kEps = std::numeric_limits<double>::epsilon();
const double kNan = std::numeric_limits<double>::quiet_NaN();

Vec uniform(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Vec v(n);
  for (auto &x : v) x = u(gen);
  return v;
}

// A symmetric matrix by columns (leading dimension n).
struct Sym {
  int n = 0;
  Vec a;
  explicit Sym(int order = 0) : n(order), a(size_t(order) * order, 0.0) {}
  double &at(int i, int j) { return a[(i - 1) + size_t(j - 1) * n]; }
  void set(int i, int j, double v) { at(i, j) = at(j, i) = v; }
  Vec packed() {  // the lower triangle by rows
    Vec ap;
    for (int r = 1; r <= n; ++r)
      for (int c = 1; c <= r; ++c) ap.push_back(at(r, c));
    return ap;
  }
};

// Symmetric from the upper triangle of v (n*n values).
Sym sym_from(int n, const Vec &v) {
  Sym s(n);
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= j; ++i) s.set(i, j, v[(i - 1) + size_t(j - 1) * n]);
  return s;
}
Sym random_sym(int n, unsigned seed) { return sym_from(n, uniform(size_t(n) * n, seed)); }

// Q*diag(lambda)*Q' with Q = I - 2vv'/v'v: known eigenvalues up to rounding.
Sym with_eigenvalues(const Vec &lambda, unsigned seed) {
  const int n = static_cast<int>(lambda.size());
  const Vec v = uniform(n, seed);
  double vv = 0.0;
  for (double x : v) vv += x * x;
  Sym s(n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      double t = 0.0;
      for (int k = 0; k < n; ++k)
        t += ((i == k) - 2 * v[i] * v[k] / vv) * lambda[k] * ((j == k) - 2 * v[j] * v[k] / vv);
      s.set(i + 1, j + 1, t);
    }
  return s;
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

struct Eig {
  int status = -1, ierr = -77;
  Vec ap, d, z, e;
};

Eig solve(Sym a, int iord) {
  Eig r{-1, -77, a.packed(), Vec(a.n, -9.0), Vec(size_t(a.n) * a.n, -9.0), Vec(a.n, -9.0)};
  r.status = eaxeig(&a.n, &iord, r.ap.data(), r.d.data(), r.z.data(), r.e.data(), &r.ierr);
  return r;
}

// |A*Z - Z*D| and |Z'Z - I| within 4n units of rounding (of |A|), d in
// order, and the eigenvalues those of the reference DSPEV, for random,
// clustered, repeated, zero, graded, tiny, huge and split spectra.
TEST(Eigen, DecomposesRandomAndStructuredMatrices) {
  using Dspev = void (*)(const char *, const char *, const int *, double *, double *, double *,
                         const int *, double *, int *, int, int);
  auto dspev = qvk_test::ref_lapack<Dspev>("dspev_");
  ASSERT_ORACLE(dspev);
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 16, 20, 25, 29, 30, 47, 64, 100}) {
    Vec cluster(n), repeated(n), deficient(n);
    for (int k = 0; k < n; ++k) {
      cluster[k] = 1.0 + k * 1e-13;
      repeated[k] = k % 3 == 0 ? -2.0 : (k % 3 == 1 ? 1.0 : 5.0);
      deficient[k] = k % 2 ? k + 1.0 : 0.0;
    }
    std::vector<Sym> all = {random_sym(n, n), with_eigenvalues(cluster, n),
                            with_eigenvalues(repeated, n + 1), with_eigenvalues(deficient, n + 2)};
    Sym graded = all[0], tiny = all[0], huge = all[0], split = all[0];
    for (int j = 1; j <= n; ++j)
      for (int i = 1; i <= n; ++i) {
        graded.at(i, j) = std::ldexp(graded.at(i, j), -(i + j) * 20 / n);  // down to 2^-40
        tiny.at(i, j) *= 1e-150;
        huge.at(i, j) *= 1e150;
        if ((i <= n / 2) != (j <= n / 2)) split.at(i, j) = 0.0;
      }
    all.insert(all.end(), {graded, tiny, huge, split});
    for (Sym &a : all) {
      SCOPED_TRACE(testing::Message() << "n " << n << ", case " << &a - all.data());
      const int iord = 1 + n % 2;
      const Eig r = solve(a, iord);
      ASSERT_EQ(r.status, 0);
      EXPECT_EQ(r.ierr, -77);  // not written on success
      double norm = 0.0, res = 0.0, orth = 0.0;
      for (double v : a.a) norm = std::max(norm, std::fabs(v) * n);
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
          double az = 0.0, ztz = 0.0;
          for (int k = 0; k < n; ++k) {
            az += a.a[i + k * n] * r.z[k + j * n];
            ztz += r.z[k + i * n] * r.z[k + j * n];
          }
          res = std::max(res, std::fabs(az - r.z[i + j * n] * r.d[j]));
          orth = std::max(orth, std::fabs(ztz - (i == j)));
        }
      EXPECT_LE(res, 4.0 * n * kEps * norm);
      EXPECT_LE(orth, 4.0 * n * kEps);
      for (int i = 1; i < n; ++i)
        EXPECT_TRUE(iord == 1 ? r.d[i - 1] <= r.d[i] : std::fabs(r.d[i - 1]) >= std::fabs(r.d[i]));
      Vec ap = a.packed(), w(n), work(3 * n), d = r.d;
      int info = -1, one = 1;
      dspev("N", "U", &n, ap.data(), w.data(), nullptr, &one, work.data(), &info, 1, 1);
      std::sort(d.begin(), d.end());
      for (int i = 0; i < n; ++i) EXPECT_NEAR(d[i], w[i], 4.0 * n * kEps * norm) << i;
    }
  }
}

// Diagonal input: nothing to reduce or rotate; d is the diagonal in order,
// the first of equal keys first, and z the matching permutation (column j
// is the unit vector e(from[j])).
TEST(Eigen, DiagonalMatricesGivePermutations) {
  struct Case {
    int iord;
    Vec diag, want;
    std::vector<int> from;
  };
  for (const Case &c : {Case{1, {3, -1, 2, -1}, {-1, -1, 2, 3}, {2, 4, 3, 1}},
                        Case{2, {-3, 1, 2}, {-3, 2, 1}, {1, 3, 2}},
                        Case{7, {2, -2, 1, 2}, {2, -2, 2, 1}, {1, 2, 4, 3}}, Case{1, {5}, {5}, {1}}}) {
    const int n = static_cast<int>(c.diag.size());
    Sym a(n);
    for (int i = 1; i <= n; ++i) a.at(i, i) = c.diag[i - 1];
    const Eig r = solve(a, c.iord);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.d, c.want);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) EXPECT_EQ(r.z[i + j * n], i + 1 == c.from[j]) << i << "," << j;
    for (int i = 3; i <= n; ++i) EXPECT_EQ(r.ap[i * (i + 1) / 2 - 1], 0.0);
  }
}

// A NaN never passes the convergence test: after 30 iterations the index is
// reported. An order below 1 touches nothing.
TEST(Eigen, NonConvergenceAndEmptyOrder) {
  int n = 3, ierr = 0;
  Vec d = {1.0, 2.0, 3.0}, e = {0.0, 0.0, kNan}, z(9, 0.0);
  EXPECT_EQ(eaxeql(&n, d.data(), e.data(), z.data(), &ierr), 1);
  EXPECT_EQ(ierr, 2);  // row 1 splits off; l = 2 meets the NaN
  Sym a = random_sym(5, 3);
  a.set(5, 4, kNan);
  EXPECT_EQ(solve(a, 1).status, 1);
  for (int m : {0, -3}) {
    Vec v(4, 7.0);
    int iord = 1, err = 5;
    EXPECT_EQ(eaxeig(&m, &iord, v.data(), v.data(), v.data(), v.data(), &err), 0);
    eaxetr(&m, v.data(), v.data(), v.data());
    EXPECT_EQ(eaxeql(&m, v.data(), v.data(), v.data(), &err), 0);
    eaxeor(&iord, &m, v.data(), v.data());
    eaxevp(&m, v.data(), v.data());
    EXPECT_EQ(v, Vec(4, 7.0));
    EXPECT_EQ(err, 5);
  }
}

// Plain, wide-range and adversarial input; the step entries chained give
// the solver's bits.
TEST(Eigen, EveryPathAndTheStepsGiveTheScalarBits) {
  for (int n : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 70})
    for (const Vec &v : {uniform(size_t(n) * n, n), qvk_test::random_doubles(size_t(n) * n, n),
                         qvk_test::adversarial_doubles(size_t(n) * n, n)}) {
      SCOPED_TRACE(testing::Message() << "n " << n);
      const Sym a = sym_from(n, v);
      Eig ref;
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        ref = solve(a, 2);
      }
      qvk_test::expect_paths_agree({}, [&](Vec &out) {
        const Eig r = solve(a, 2);
        out.push_back(r.status);
        for (const Vec *p : {&r.d, &r.z, &r.ap}) out.insert(out.end(), p->begin(), p->end());
      });
      if (ref.status) continue;
      qvk_test::for_each_isa([&](int) {
        Eig r = ref;
        r.ap = Sym(a).packed();
        std::fill(r.z.begin(), r.z.end(), 0.0);
        int iord = 2, ierr = 0;
        eaxetr(&n, r.ap.data(), r.d.data(), r.e.data());
        EXPECT_EQ(eaxeql(&n, r.d.data(), r.e.data(), r.z.data(), &ierr), 0);
        eaxeor(&iord, &n, r.d.data(), r.z.data());
        eaxevp(&n, r.ap.data(), r.z.data());
        EXPECT_SAME_BITS(r.z.data(), ref.z.data(), r.z.size());
      });
    }
}

// The inverse (as n-by-n) and info (-5 when not written).
std::pair<Vec, int> invert(int mode, Vec a, int lda, int n, Vec *whole = nullptr) {
  std::vector<int> ipiv(n > 0 ? n : 1, -1);
  int info = -5;
  eaxinv(&mode, &lda, &n, ipiv.data(), &info, a.data());
  if (whole) *whole = a;
  Vec x(size_t(n > 0 ? n : 0) * n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) x[i + j * n] = a[i + j * lda];
  return {x, info};
}

// General matrices without a dominant diagonal (the pivot search has
// choices), and symmetric indefinite ones given by the upper triangle only:
// the lower one is NaN and must not be read, rows past n must survive.
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
      EXPECT_EQ(r1.second, -5);
      EXPECT_LE(identity_error(g, lda, r1.first, n), 1e3 * n * kEps);
      for (int mode : {2, 3, -1}) {
        Vec whole;
        const auto r = invert(mode, upper, lda, n, &whole);
        EXPECT_EQ(r.second, mode == 2 ? -5 : 0);
        EXPECT_LE(identity_error(full, lda, r.first, n), 100 * n * kEps) << mode;
        for (int j = 0; j < n; ++j) {
          for (int i = n; i < lda; ++i) ASSERT_EQ(whole[i + j * lda], 9.0);
          for (int i = 0; i < j; ++i) ASSERT_EQ(r.first[i + j * n], r.first[j + i * n]);
        }
      }
    });
  }
}

// A scaled permutation matrix inverts exactly to its transpose with
// reciprocals; a diagonal that ties with the row's largest magnitude stays.
// The pivot test is strict (1.0E-8 fails, NaN too): a failure leaves the
// steps before it done, the lower triangle not restored, later rows alone.
TEST(Inverse, PermutationsTiesAndThePivotTest) {
  for (const std::vector<int> &p : {std::vector<int>{2, 1}, {3, 1, 2}, {4, 3, 1, 2}, {2, 5, 4, 1, 3}}) {
    const int n = static_cast<int>(p.size());
    Vec a(size_t(n) * n, 0.0), t = a;
    for (int i = 0; i < n; ++i) {
      a[i + (p[i] - 1) * n] = i % 2 ? -2.0 : 4.0;
      t[(p[i] - 1) + i * n] = i % 2 ? -0.5 : 0.25;
    }
    EXPECT_EQ(invert(1, a, n, n).first, t);
  }
  EXPECT_EQ(invert(1, {2, 0, 0, 1, 1, 0, -2, 0, 4}, 3, 3).first, (Vec{0.5, 0, 0, -0.5, 1, 0, 0.25, 0, 0.25}));
  EXPECT_EQ(invert(3, {1e-8, 0, 0, 1e-8}, 2, 2), std::make_pair(Vec{1e-8, 0, 0, 1e-8}, 1));
  EXPECT_EQ(invert(5, {kNan, 0, 0, 1}, 2, 2).second, 1);
  EXPECT_EQ(invert(3, {2, 7, 7, 0, 1e-9, 7, 0, 0, 3}, 3, 3), std::make_pair(Vec{0.5, 0, 0, 0, 1e-9, 7, 0, 0, 3}, 1));
  Vec whole;  // n = 0: info still set by the tested variant, nothing else
  EXPECT_EQ(invert(3, {4.0}, 1, 0, &whole).second, 0);
  EXPECT_EQ(whole, Vec{4.0});
  // The untested modes pass a zero pivot on as IEEE infinities or NaNs.
  for (int mode : {1, 2}) EXPECT_FALSE(std::isfinite(invert(mode, {0, 0, 0, 1}, 2, 2).first[0]));
}

Vec pseudo_inverse(Sym s, double tol, int *info, int status = 0) {
  Vec w(s.a.size()), z(s.a.size());
  EXPECT_EQ(eaxinvs(&s.n, &tol, s.a.data(), w.data(), z.data(), info), status);
  return s.a;
}

// The pseudo-inverse of lambda*v*v' (+ mu*u*u') is (1/lambda)*v*v' (+ ...),
// the other directions dropped and counted; full rank gives the inverse;
// tol = 0 drops exact zeros only.
TEST(PseudoInverse, RankAndThreshold) {
  const double v[3] = {2.0 / 3, -1.0 / 3, 2.0 / 3}, u[3] = {2.0 / 3, 2.0 / 3, -1.0 / 3};
  int info = -5;
  for (int rank : {1, 2}) {
    Sym s(3);
    Vec want(9);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        s.a[i + 3 * j] = 4.0 * v[i] * v[j] + (rank == 2 ? -0.5 * u[i] * u[j] : 0.0);
        want[i + 3 * j] = 0.25 * v[i] * v[j] + (rank == 2 ? -2.0 * u[i] * u[j] : 0.0);
      }
    const Vec x = pseudo_inverse(s, 1e-10, &info);
    EXPECT_EQ(info, 3 - rank);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(x[k], want[k], 64 * kEps) << k;
  }
  for (int n : {1, 5, 12, 30}) {
    Sym s = random_sym(n, 300 + n);
    for (int i = 1; i <= n; ++i) s.at(i, i) += 2.0 * n;
    EXPECT_LE(identity_error(s.a, n, pseudo_inverse(s, 1e-12, &info), n), 64 * n * kEps);
    EXPECT_EQ(info, 0);
  }
  Sym d(3);
  d.at(1, 1) = 2.0;
  d.at(3, 3) = -4.0;
  EXPECT_EQ(pseudo_inverse(d, 0.0, &info), (Vec{0.5, 0, 0, 0, 0, 0, 0, 0, -0.25}));
  EXPECT_EQ(info, 1);
}

// Order 31 is refused with nothing but info written; order 0 or below has
// nothing to invert; a NaN makes the eigen solver give up, a unchanged.
TEST(PseudoInverse, RefusalsAndEigenFailure) {
  for (int n : {31, 0, -2}) {
    const Vec a0 = uniform(31 * 31, 1);
    Vec a = a0, w(a.size(), 3.0), z = w;
    const double tol = 1e-6;
    int info = 9;
    EXPECT_EQ(eaxinvs(&n, &tol, a.data(), w.data(), z.data(), &info), n > 30);
    EXPECT_EQ(info, n > 30 ? -1 : 0);
    EXPECT_TRUE(a == a0 && w == Vec(a.size(), 3.0) && z == w);
  }
  Sym s = random_sym(6, 2);
  s.set(5, 4, kNan);
  int info = -5;
  const Vec a = pseudo_inverse(s, 1e-6, &info, 1);
  EXPECT_GE(info, 1);
  EXPECT_EQ(qvk_test::first_bit_difference(a.data(), s.a.data(), a.size()), -1);
}

TEST(Composite, ProductsAndCongruence) {
  // Small integers: every sum is exact. k = 0 clears c, NaN included.
  const int m = 3, k = 2, n = 4, zero = 0, three = 3;
  const Vec a = {1, 2, 3, -1, 0, 2}, b = {1, 0, 2, 1, -3, 2, 0, 4}, d = {2, -3, 0.5};
  Vec c(m * n, kNan), w(9, kNan), r(9, kNan);
  eaxmmp(&m, &k, &n, a.data(), b.data(), c.data());
  EXPECT_EQ(c, (Vec{1, 2, 3, 1, 4, 8, -5, -6, -5, -4, 0, 8}));
  eaxmmp(&m, &zero, &n, a.data(), b.data(), c.data());
  EXPECT_EQ(c, Vec(m * n, 0.0));
  // Z = I gives diag(d); a signed permutation Z permutes it.
  ebhpap(&three, Vec{1, 0, 0, 0, 1, 0, 0, 0, 1}.data(), d.data(), w.data(), r.data());
  EXPECT_EQ(r, (Vec{2, 0, 0, 0, -3, 0, 0, 0, 0.5}));
  ebhpap(&three, Vec{0, 1, 0, 0, 0, -1, 1, 0, 0}.data(), d.data(), w.data(), r.data());
  EXPECT_EQ(r, (Vec{0.5, 0, 0, 0, 2, 0, 0, 0, -3}));
}

int linear(const int *, const int *, const int *m, const int *, const int *, const double *x,
           double *, double *p, int *) {
  p[0] = 1.0;
  for (int j = 1; j < *m; ++j) p[j] = x[(j - 1) % 3] * (j > 3 ? x[j % 3] : 1.0);
  return 0;
}

TEST(CrossBuild, AlgorithmsReproduceTheRecordedChecksum) {
  auto results = [] {
    qvk_test::Checksum sum;
    for (int n : {1, 2, 3, 5, 8, 13, 30, 41}) {
      const int len = n * (n + 1) / 2;
      const Vec v = qvk_test::portable_doubles(size_t(n) * n, n, -4, 4);
      for (int iord : {1, 2}) {  // eigenpairs, both orders
        Vec ap(v.begin(), v.begin() + len), d(n), z(size_t(n) * n), e(n);
        int ierr = 0;
        sum.add(static_cast<long long>(eaxeig(&n, &iord, ap.data(), d.data(), z.data(), e.data(), &ierr)));
        sum.add(d.data(), d.size());
        sum.add(z.data(), z.size());
        sum.add(ap.data(), ap.size());
      }
      for (int mode : {1, 2, 3}) {  // every inversion mode
        Vec a = v;
        for (int i = 0; i < n; ++i) a[i + size_t(i) * n] += 2.0 * n;
        std::vector<int> ipiv(n);
        int info = -1;
        eaxinv(&mode, &n, &n, ipiv.data(), &info, a.data());
        sum.add(static_cast<long long>(info));
        sum.add(a.data(), a.size());
      }
      if (n > 30) continue;
      Sym s(n);  // pseudo-inverse of a matrix with a pattern of zeros
      for (int j = 1; j <= n; ++j)
        for (int i = j; i <= n; ++i) s.set(i, j, v[(i - 1) + (j - 1) * n] * ((i + j) % 3 ? 1.0 : 0.0));
      Vec w(s.a.size()), z(s.a.size());
      const double tol = 1e-3;
      int info = 0;
      sum.add(static_cast<long long>(eaxinvs(&n, &tol, s.a.data(), w.data(), z.data(), &info)));
      sum.add(static_cast<long long>(info));
      sum.add(s.a.data(), s.a.size());
    }
    // A fit with a 10-function basis on 30 points.
    const int m = 10, n = 30;
    const Vec xyz = qvk_test::portable_doubles(3 * n, 3, -2, 2), u = qvk_test::portable_doubles(n, 4, -2, 2);
    Vec wt(n, 1.0), a(m * m), w(m * m), z(m * m), b(n * m), p(m), coef(m);
    for (int i = 0; i < n; i += 3) wt[i] = 0.5;
    const double x0[3] = {0.25, -0.5, 0.125};
    double f = 0.0;
    int info = 0;
    sum.add(static_cast<long long>(eaxrmc3(&m, &n, xyz.data(), x0, u.data(), &f, linear, a.data(), w.data(),
                                           z.data(), b.data(), p.data(), coef.data(), wt.data(), &info)));
    sum.add(static_cast<long long>(info));
    sum.add(f);
    sum.add(coef.data(), coef.size());
    return sum.value();
  };
  qvk_test::for_each_isa([&](int) { EXPECT_EQ(results(), 0x42c527bd7efebdccull); });
}

}  // namespace

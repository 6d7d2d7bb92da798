// Gauss-Jordan inversion, the eigen-based pseudo-inverse and the composite
// products.
#include <limits>

#include "QorVARDMathKernel/algorithms.h"
#include "algorithms_test.h"
#include "qvk_test.h"

namespace {

using alg_test::Sym;
using Vec = std::vector<double>;
constexpr double kEps = std::numeric_limits<double>::epsilon();
const double kNan = std::numeric_limits<double>::quiet_NaN();

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

TEST(Inverse, EveryModeInvertsOnEveryPath) {
  for (int n : {1, 2, 3, 4, 7, 10, 16, 30, 45}) {
    SCOPED_TRACE(testing::Message() << "n " << n);
    const int lda = n + 2;
    // General, diagonal not dominant: the pivot search has choices to make.
    Vec g = alg_test::uniform(size_t(lda) * n, n);
    // Symmetric indefinite, given by its upper triangle only: the lower one
    // is NaN and must not be read; rows past n must survive.
    Sym s = alg_test::random_sym(n, 50 + n);
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

// The interchanges and their undoing: a scaled permutation matrix inverts
// exactly to its transpose with reciprocals; a diagonal that ties with the
// row's largest magnitude stays.
TEST(Inverse, PermutationsAndTies) {
  for (const std::vector<int> &p : {std::vector<int>{2, 1}, {3, 1, 2}, {4, 3, 1, 2}, {2, 5, 4, 1, 3}}) {
    const int n = static_cast<int>(p.size());
    Vec a(size_t(n) * n, 0.0), t = a;
    for (int i = 0; i < n; ++i) {
      a[i + (p[i] - 1) * n] = i % 2 ? -2.0 : 4.0;
      t[(p[i] - 1) + i * n] = i % 2 ? -0.5 : 0.25;
    }
    EXPECT_EQ(invert(1, a, n, n).first, t);
  }
  EXPECT_EQ(invert(1, {2, 0, 0, 1, 1, 0, -2, 0, 4}, 3, 3).first,
            (Vec{0.5, 0, 0, -0.5, 1, 0, 0.25, 0, 0.25}));
}

TEST(Inverse, PivotTestAndItsStopState) {
  // 1.0E-8 fails (the test is strict), and so does NaN: nothing changed.
  EXPECT_EQ(invert(3, {1e-8, 0, 0, 1e-8}, 2, 2), std::make_pair(Vec{1e-8, 0, 0, 1e-8}, 1));
  EXPECT_EQ(invert(5, {kNan, 0, 0, 1}, 2, 2).second, 1);
  // The second pivot fails: step 1 done, lower triangle not restored, row 3
  // untouched.
  EXPECT_EQ(invert(3, {2, 7, 7, 0, 1e-9, 7, 0, 0, 3}, 3, 3),
            std::make_pair(Vec{0.5, 0, 0, 0, 1e-9, 7, 0, 0, 3}, 1));
  // n = 0: info still set by the tested variant, nothing else.
  Vec whole;
  EXPECT_EQ(invert(3, {4.0}, 1, 0, &whole).second, 0);
  EXPECT_EQ(whole, Vec{4.0});
  // The untested modes pass a zero pivot on as IEEE infinities or NaNs.
  for (int mode : {1, 2}) EXPECT_FALSE(std::isfinite(invert(mode, {0, 0, 0, 1}, 2, 2).first[0]));
}

// The pseudo-inverse of lambda*v*v' (+ mu*u*u') is (1/lambda)*v*v' (+ ...),
// the other directions dropped and counted; full rank gives the inverse;
// tol = 0 drops exact zeros only.
TEST(PseudoInverse, RankAndThreshold) {
  const double v[3] = {2.0 / 3, -1.0 / 3, 2.0 / 3}, u[3] = {2.0 / 3, 2.0 / 3, -1.0 / 3};
  auto run = [](Sym s, double tol, int *info) {
    Vec w(s.a.size()), z(s.a.size());
    EXPECT_EQ(eaxinvs(&s.n, &tol, s.a.data(), w.data(), z.data(), info), 0);
    return s.a;
  };
  for (int rank : {1, 2}) {
    Sym s(3);
    Vec want(9);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        s.a[i + 3 * j] = 4.0 * v[i] * v[j] + (rank == 2 ? -0.5 * u[i] * u[j] : 0.0);
        want[i + 3 * j] = 0.25 * v[i] * v[j] + (rank == 2 ? -2.0 * u[i] * u[j] : 0.0);
      }
    int info = -5;
    const Vec x = run(s, 1e-10, &info);
    EXPECT_EQ(info, 3 - rank);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(x[k], want[k], 64 * kEps) << k;
  }
  for (int n : {1, 5, 12, 30}) {
    Sym s = alg_test::random_sym(n, 300 + n);
    for (int i = 1; i <= n; ++i) s.at(i, i) += 2.0 * n;
    int info = -5;
    EXPECT_LE(identity_error(s.a, n, run(s, 1e-12, &info), n), 64 * n * kEps);
    EXPECT_EQ(info, 0);
  }
  Sym d(3);
  d.at(1, 1) = 2.0;
  d.at(3, 3) = -4.0;
  int info = -5;
  EXPECT_EQ(run(d, 0.0, &info), (Vec{0.5, 0, 0, 0, 0, 0, 0, 0, -0.25}));
  EXPECT_EQ(info, 1);
}

TEST(PseudoInverse, RefusalsAndEigenFailure) {
  // Order 31: refused, nothing but info written; order 0 or below: nothing
  // to invert.
  for (int n : {31, 0, -2}) {
    const Vec a0 = alg_test::uniform(31 * 31, 1);
    Vec a = a0, w(a.size(), 3.0), z = w;
    const double tol = 1e-6;
    int info = 9;
    EXPECT_EQ(eaxinvs(&n, &tol, a.data(), w.data(), z.data(), &info), n > 30);
    EXPECT_EQ(info, n > 30 ? -1 : 0);
    EXPECT_TRUE(a == a0 && w == Vec(a.size(), 3.0) && z == w);
  }
  // A NaN makes the eigen solver give up: its index in info, a unchanged.
  Sym s = alg_test::random_sym(6, 2);
  s.set(5, 4, kNan);
  Vec a = s.a, w(36), z(36);
  const double tol = 1e-6;
  int n = 6, info = -5;
  EXPECT_EQ(eaxinvs(&n, &tol, a.data(), w.data(), z.data(), &info), 1);
  EXPECT_GE(info, 1);
  EXPECT_EQ(qvk_test::first_bit_difference(a.data(), s.a.data(), a.size()), -1);
}

TEST(Composite, ProductsAndCongruence) {
  // Small integers: every sum is exact. k = 0 clears c, NaN included.
  const int m = 3, k = 2, n = 4, zero = 0, three = 3;
  const Vec a = {1, 2, 3, -1, 0, 2}, b = {1, 0, 2, 1, -3, 2, 0, 4};
  Vec c(m * n, kNan);
  eaxmmp(&m, &k, &n, a.data(), b.data(), c.data());
  EXPECT_EQ(c, (Vec{1, 2, 3, 1, 4, 8, -5, -6, -5, -4, 0, 8}));
  eaxmmp(&m, &zero, &n, a.data(), b.data(), c.data());
  EXPECT_EQ(c, Vec(m * n, 0.0));
  // Z = I gives diag(d); a signed permutation Z permutes it.
  const Vec d = {2, -3, 0.5};
  Vec w(9, kNan), r(9, kNan);
  ebhpap(&three, Vec{1, 0, 0, 0, 1, 0, 0, 0, 1}.data(), d.data(), w.data(), r.data());
  EXPECT_EQ(r, (Vec{2, 0, 0, 0, -3, 0, 0, 0, 0.5}));
  ebhpap(&three, Vec{0, 1, 0, 0, 0, -1, 1, 0, 0}.data(), d.data(), w.data(), r.data());
  EXPECT_EQ(r, (Vec{0.5, 0, 0, 0, 2, 0, 0, 0, -3}));
}

}  // namespace

// Gauss-Jordan inversion, the eigen-based pseudo-inverse and the composite
// products.
#include <cmath>
#include <limits>
#include <vector>

#include "QorVARDMathKernel/algorithms.h"
#include "algorithms_test.h"
#include "qvk_test.h"

namespace {

using alg_test::Sym;
constexpr double kEps = std::numeric_limits<double>::epsilon();
const double kNan = std::numeric_limits<double>::quiet_NaN();

// max |A*X - I| for n-by-n A (leading dimension lda) and X (leading n).
double identity_error(const std::vector<double> &a, int lda, const std::vector<double> &x, int n) {
  double err = 0.0;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      double t = 0.0;
      for (int k = 0; k < n; ++k) t += a[i + k * lda] * x[k + j * n];
      err = std::fmax(err, std::fabs(t - (i == j ? 1.0 : 0.0)));
    }
  return err;
}

struct Inverted {
  std::vector<double> a;
  int info = -5;
};

// Inverts the n-by-n leading block of a (leading dimension lda); rows past n
// are canaries that must survive.
Inverted invert(int mode, const std::vector<double> &a, int lda, int n) {
  Inverted r{a, -5};
  std::vector<int> ipiv(n > 0 ? n : 1, -1);
  eaxinv(&mode, &lda, &n, ipiv.data(), &r.info, r.a.data());
  return r;
}

std::vector<double> compact(const std::vector<double> &a, int lda, int n) {
  std::vector<double> c(static_cast<size_t>(n) * n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) c[i + j * n] = a[i + j * lda];
  return c;
}

TEST(Inverse, EveryModeInvertsWellConditionedMatrices) {
  for (int n : {1, 2, 3, 4, 7, 10, 16, 30, 45}) {
    const int lda = n + 3;
    // General: random with a heavy but not dominant diagonal, so that the
    // pivot search has real choices to make.
    std::vector<double> g = alg_test::uniform(static_cast<size_t>(lda) * n, n);
    for (int i = 0; i < n; ++i) g[i + i * lda] += 0.5 * ((i % 3) - 1);
    // Symmetric, indefinite, with the lower triangle NaN: it must not be read.
    Sym s = alg_test::random_sym(n, 50 + n);
    std::vector<double> sym(static_cast<size_t>(lda) * n, 9.0), full = sym;
    for (int j = 1; j <= n; ++j)
      for (int i = 1; i <= n; ++i) {
        const double v = s.at(i, j) + (i == j ? (i % 2 ? n : -n) : 0.0);
        full[(i - 1) + (j - 1) * lda] = v;
        sym[(i - 1) + (j - 1) * lda] = i <= j ? v : kNan;
      }
    SCOPED_TRACE(testing::Message() << "n " << n);
    qvk_test::for_each_isa([&](int) {
      const Inverted r1 = invert(1, g, lda, n);
      EXPECT_EQ(r1.info, -5);  // mode 1 never writes info
      EXPECT_LE(identity_error(g, lda, compact(r1.a, lda, n), n), 1e3 * n * kEps);
      for (int mode : {2, 3, -1}) {
        const Inverted r = invert(mode, sym, lda, n);
        EXPECT_EQ(r.info, mode == 2 ? -5 : 0);
        EXPECT_LE(identity_error(full, lda, compact(r.a, lda, n), n), 100 * n * kEps) << mode;
        for (int j = 0; j < n; ++j)
          for (int i = n; i < lda; ++i) ASSERT_EQ(r.a[i + j * lda], 9.0);  // rows past n
        for (int j = 0; j < n; ++j)
          for (int i = 0; i < j; ++i) ASSERT_EQ(r.a[i + j * lda], r.a[j + i * lda]);
      }
    });
  }
}

// Interchanges and their undoing: the inverse of a permutation matrix is its
// transpose, exactly; so is that of a signed one whose rows' largest
// elements tie.
TEST(Inverse, PermutationMatricesGiveTheirTransposes) {
  const std::vector<std::vector<int>> perms = {{2, 1}, {3, 1, 2}, {4, 3, 1, 2}, {2, 5, 4, 1, 3}};
  for (const auto &p : perms) {
    const int n = static_cast<int>(p.size());
    std::vector<double> a(static_cast<size_t>(n) * n, 0.0), t = a;
    for (int i = 0; i < n; ++i) {
      const double v = i % 2 ? -2.0 : 4.0;
      a[i + (p[i] - 1) * n] = v;
      t[(p[i] - 1) + i * n] = 1.0 / v;
    }
    EXPECT_EQ(invert(1, a, n, n).a, t);
  }
  // Row 1 holds its largest magnitude at the diagonal and again in column 3:
  // the diagonal stays; the result is still the exact inverse.
  const std::vector<double> tie = {2, 0, 0, 1, 1, 0, -2, 0, 4};  // by columns
  const std::vector<double> want = {0.5, 0, 0, -0.5, 1, 0, 0.25, 0, 0.25};
  EXPECT_EQ(invert(1, tie, 3, 3).a, want);
}

TEST(Inverse, TestedVariantStopsOnSmallPivot) {
  // 1.0E-8 on the diagonal fails (the test is strict); nothing is changed.
  std::vector<double> a = {1e-8, 0, 0, 1e-8};
  Inverted r = invert(3, a, 2, 2);
  EXPECT_EQ(r.info, 1);
  EXPECT_EQ(r.a, a);
  // A NaN pivot fails as well.
  r = invert(5, {kNan, 0, 0, 1}, 2, 2);
  EXPECT_EQ(r.info, 1);
  // The second pivot fails: step 1 done (1/2 on its diagonal, row 2's copy
  // of the zero coupling), the lower triangle not restored, row 3 untouched.
  const std::vector<double> b = {2, 7, 7, 0, 1e-9, 7, 0, 0, 3};
  r = invert(3, b, 3, 3);
  EXPECT_EQ(r.info, 1);
  const std::vector<double> after = {0.5, 0, 0, -0.0, 1e-9, 7, -0.0, 0, 3};
  EXPECT_EQ(r.a, after);
  // n = 0: info still set, nothing else.
  r = invert(3, {4.0}, 1, 0);
  EXPECT_EQ(r.info, 0);
  EXPECT_EQ(r.a, std::vector<double>{4.0});
  EXPECT_EQ(invert(1, {4.0}, 1, 0).a, std::vector<double>{4.0});
}

// Modes 1 and 2 make no test: a zero pivot yields IEEE infinities or NaNs.
TEST(Inverse, UntestedModesPassSingularityOn) {
  for (int mode : {1, 2}) {
    const Inverted r = invert(mode, {0, 0, 0, 1}, 2, 2);
    EXPECT_EQ(r.info, -5);
    EXPECT_FALSE(std::isfinite(r.a[0]));
  }
}

struct Pseudo {
  int status = -1, info = -5;
  std::vector<double> a, w, z;
};

Pseudo pseudo_inverse(const Sym &s, double tol) {
  Pseudo p;
  const int n = s.n;
  p.a = s.a;
  p.w.assign(static_cast<size_t>(n) * n + 1, 3.0);
  p.z.assign(static_cast<size_t>(n) * n + 1, 3.0);
  p.status = eaxinvs(&n, &tol, p.a.data(), p.w.data(), p.z.data(), &p.info);
  return p;
}

// lambda*v*v' (+ mu*u*u'): the pseudo-inverse is (1/lambda)*v*v' (+ ...),
// with the other directions dropped and counted.
TEST(PseudoInverse, LowRankMatrices) {
  const double v[3] = {2.0 / 3, -1.0 / 3, 2.0 / 3}, u[3] = {2.0 / 3, 2.0 / 3, -1.0 / 3};
  for (int rank : {1, 2}) {
    Sym s(3);
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j)
        s.at(i, j) = 4.0 * v[i - 1] * v[j - 1] + (rank == 2 ? -0.5 * u[i - 1] * u[j - 1] : 0.0);
    const Pseudo p = pseudo_inverse(s, 1e-10);
    ASSERT_EQ(p.status, 0);
    EXPECT_EQ(p.info, 3 - rank);
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j) {
        const double want = 0.25 * v[i - 1] * v[j - 1] + (rank == 2 ? -2.0 * u[i - 1] * u[j - 1] : 0.0);
        EXPECT_NEAR(p.a[(i - 1) + (j - 1) * 3], want, 64 * kEps) << i << "," << j;
      }
  }
}

TEST(PseudoInverse, FullRankIsTheInverseAndZeroToleranceDropsExactZeros) {
  for (int n : {1, 5, 12, 30}) {
    const Sym s = alg_test::random_sym(n, 300 + n);
    Sym shifted = s;
    for (int i = 1; i <= n; ++i) shifted.at(i, i) += 2.0 * n;
    const Pseudo p = pseudo_inverse(shifted, 1e-12);
    ASSERT_EQ(p.status, 0);
    EXPECT_EQ(p.info, 0);
    EXPECT_LE(identity_error(shifted.a, n, p.a, n), 64 * n * kEps) << n;
  }
  // diag(2, 0, -4): with tol = 0 only the exact zero is dropped.
  Sym d(3);
  d.at(1, 1) = 2.0;
  d.at(3, 3) = -4.0;
  const Pseudo p = pseudo_inverse(d, 0.0);
  EXPECT_EQ(p.status, 0);
  EXPECT_EQ(p.info, 1);
  EXPECT_EQ(p.a, (std::vector<double>{0.5, 0, 0, 0, 0, 0, 0, 0, -0.25}));
}

TEST(PseudoInverse, RefusalsAndEigenFailure) {
  // Order 31: refused, nothing but info written.
  const Sym big = alg_test::random_sym(31, 1);
  const Pseudo p = pseudo_inverse(big, 1e-6);
  EXPECT_EQ(p.status, 1);
  EXPECT_EQ(p.info, -1);
  EXPECT_EQ(p.a, big.a);
  EXPECT_EQ(p.w, std::vector<double>(p.w.size(), 3.0));
  EXPECT_EQ(p.z, std::vector<double>(p.z.size(), 3.0));
  // Order 0 (and below): nothing to invert.
  for (int n : {0, -2}) {
    double a = 5.0, w = 5.0, z = 5.0, tol = 1e-6;
    int info = 9;
    EXPECT_EQ(eaxinvs(&n, &tol, &a, &w, &z, &info), 0);
    EXPECT_EQ(info, 0);
    EXPECT_EQ(a + w + z, 15.0);
  }
  // A NaN makes the eigen solver give up: status 1, its index in info, a
  // unchanged.
  Sym s = alg_test::random_sym(6, 2);
  s.set(5, 4, kNan);
  const Pseudo f = pseudo_inverse(s, 1e-6);
  EXPECT_EQ(f.status, 1);
  EXPECT_GE(f.info, 1);
  EXPECT_EQ(qvk_test::first_bit_difference(f.a.data(), s.a.data(), s.a.size()), -1);
}

TEST(Composite, ProductsAndCongruence) {
  // Small integers: every sum is exact.
  const int m = 3, k = 2, n = 4;
  const std::vector<double> a = {1, 2, 3, -1, 0, 2}, b = {1, 0, 2, 1, -3, 2, 0, 4};
  std::vector<double> c(m * n, kNan);
  eaxmmp(&m, &k, &n, a.data(), b.data(), c.data());
  EXPECT_EQ(c, (std::vector<double>{1, 2, 3, 1, 4, 8, -5, -6, -5, -4, 0, 8}));
  // k = 0 clears c, NaN included.
  const int zero = 0;
  c.assign(m * n, kNan);
  eaxmmp(&m, &zero, &n, a.data(), b.data(), c.data());
  EXPECT_EQ(c, std::vector<double>(m * n, 0.0));
  // m = 0 or n = 0: nothing written.
  c.assign(m * n, 7.0);
  eaxmmp(&zero, &k, &n, a.data(), b.data(), c.data());
  eaxmmp(&m, &k, &zero, a.data(), b.data(), c.data());
  EXPECT_EQ(c, std::vector<double>(m * n, 7.0));
  // Z = I gives diag(d); a signed permutation Z permutes it.
  const int three = 3;
  const std::vector<double> d = {2, -3, 0.5}, id = {1, 0, 0, 0, 1, 0, 0, 0, 1},
                            perm = {0, 1, 0, 0, 0, -1, 1, 0, 0};
  std::vector<double> w(9, kNan), r(9, kNan);
  ebhpap(&three, id.data(), d.data(), w.data(), r.data());
  EXPECT_EQ(r, (std::vector<double>{2, 0, 0, 0, -3, 0, 0, 0, 0.5}));
  ebhpap(&three, perm.data(), d.data(), w.data(), r.data());
  EXPECT_EQ(r, (std::vector<double>{0.5, 0, 0, 0, 2, 0, 0, 0, -3}));
}

}  // namespace

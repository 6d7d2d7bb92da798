// Symmetric eigen solver and its steps.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "QorVARDMathKernel/algorithms.h"
#include "algorithms_test.h"
#include "qvk_test.h"

namespace {

using alg_test::Sym;
using Dspev = void (*)(const char *, const char *, const int *, double *, double *, double *,
                       const int *, double *, int *, int, int);
constexpr double kEps = std::numeric_limits<double>::epsilon();

struct Eig {
  int status = -1, ierr = -77;
  std::vector<double> ap, d, z, e;
};

Eig solve(const Sym &a, int iord) {
  Eig r;
  const int n = a.n;
  r.ap = a.packed();
  r.d.assign(n, -9.0);
  r.z.assign(static_cast<size_t>(n) * n, -9.0);
  r.e.assign(n, -9.0);
  r.status = eaxeig(&n, &iord, r.ap.data(), r.d.data(), r.z.data(), r.e.data(), &r.ierr);
  return r;
}

// |A*Z - Z*D| and |Z'Z - I| against n units of rounding of |A|, and the
// order of d.
void expect_eigen_decomposition(const Sym &a, int iord) {
  const int n = a.n;
  const Eig r = solve(a, iord);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.ierr, -77);  // not written on success
  double norm = 0.0;
  for (int i = 1; i <= n; ++i) {
    double row = 0.0;
    for (int j = 1; j <= n; ++j) row += std::fabs(a.at(i, j));
    norm = std::max(norm, row);
  }
  double res = 0.0, orth = 0.0;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      double az = 0.0, ztz = 0.0;
      for (int k = 0; k < n; ++k) {
        az += a.at(i + 1, k + 1) * r.z[k + j * n];
        ztz += r.z[k + i * n] * r.z[k + j * n];
      }
      res = std::max(res, std::fabs(az - r.z[i + j * n] * r.d[j]));
      orth = std::max(orth, std::fabs(ztz - (i == j ? 1.0 : 0.0)));
    }
  EXPECT_LE(res, 4.0 * n * kEps * norm) << "residual";
  EXPECT_LE(orth, 4.0 * n * kEps) << "orthonormality";
  for (int i = 1; i < n; ++i) {
    if (iord == 1)
      EXPECT_LE(r.d[i - 1], r.d[i]);
    else
      EXPECT_GE(std::fabs(r.d[i - 1]), std::fabs(r.d[i]));
  }
}

std::vector<Sym> structured(int n) {
  std::vector<Sym> v;
  std::vector<double> cluster(n), repeated(n), deficient(n);
  for (int k = 0; k < n; ++k) {
    cluster[k] = 1.0 + k * 1e-13;
    repeated[k] = k % 3 == 0 ? -2.0 : (k % 3 == 1 ? 1.0 : 5.0);
    deficient[k] = k % 2 == 0 ? 0.0 : k + 1.0;
  }
  v.push_back(alg_test::with_eigenvalues(cluster, n));
  v.push_back(alg_test::with_eigenvalues(repeated, n + 1));
  v.push_back(alg_test::with_eigenvalues(deficient, n + 2));
  Sym graded = alg_test::random_sym(n, n + 3), tiny = graded, huge = graded, split = graded;
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= n; ++i) {
      graded.at(i, j) = std::ldexp(graded.at(i, j), -(i + j) * 40 / n);  // down to 2^-80
      tiny.at(i, j) *= 1e-150;
      huge.at(i, j) *= 1e150;
      if ((i <= n / 2) != (j <= n / 2)) split.at(i, j) = 0.0;  // two blocks
    }
  for (const Sym &s : {graded, tiny, huge, split}) v.push_back(s);
  return v;
}

TEST(Eigen, RandomAndStructuredMatricesDecompose) {
  for (int n = 1; n <= 30; ++n) {
    SCOPED_TRACE(testing::Message() << "n " << n);
    expect_eigen_decomposition(alg_test::random_sym(n, n), 1);
    expect_eigen_decomposition(alg_test::random_sym(n, 100 + n), 2);
    for (const Sym &s : structured(n)) expect_eigen_decomposition(s, 1 + n % 2);
  }
  for (int n : {47, 64, 100}) {
    SCOPED_TRACE(testing::Message() << "n " << n);
    expect_eigen_decomposition(alg_test::random_sym(n, n), 1);
    for (const Sym &s : structured(n)) expect_eigen_decomposition(s, 1);
  }
}

TEST(Eigen, EigenvaluesMatchReferenceLapack) {
  auto dspev = qvk_test::ref_lapack<Dspev>("dspev_");
  if (!dspev) GTEST_SKIP() << "reference LAPACK not installed";
  for (int n : {1, 2, 3, 5, 8, 13, 21, 30, 64}) {
    std::vector<Sym> cases = structured(n);
    cases.push_back(alg_test::random_sym(n, 7 * n));
    for (const Sym &a : cases) {
      SCOPED_TRACE(testing::Message() << "n " << n);
      const Eig r = solve(a, 1);
      ASSERT_EQ(r.status, 0);
      std::vector<double> ap = a.packed(), w(n), work(3 * n);
      int info = -1, one = 1;
      dspev("N", "U", &n, ap.data(), w.data(), nullptr, &one, work.data(), &info, 1, 1);
      ASSERT_EQ(info, 0);
      const double scale = std::max(std::fabs(w.front()), std::fabs(w.back()));
      for (int i = 0; i < n; ++i) EXPECT_NEAR(r.d[i], w[i], 4.0 * n * kEps * scale) << i;
    }
  }
}

// A diagonal matrix has nothing to reduce or rotate: the eigenvalues are the
// diagonal, ordered, and z the matching permutation, with the first of equal
// values keeping its place.
TEST(Eigen, DiagonalMatrixGivesPermutationAndStableOrder) {
  struct Case {
    int iord;
    std::vector<double> diag, want;
    std::vector<int> from;  // column j of z is unit vector e(from[j])
  };
  const Case cases[] = {
      {1, {3, -1, 2, -1}, {-1, -1, 2, 3}, {2, 4, 3, 1}},
      {2, {-3, 1, 2}, {-3, 2, 1}, {1, 3, 2}},
      {2, {2, -2, 1, 2}, {2, -2, 2, 1}, {1, 2, 4, 3}},
      {7, {0.5, -4, 4, 1}, {-4, 4, 1, 0.5}, {2, 3, 4, 1}},
  };
  for (const Case &c : cases) {
    const int n = static_cast<int>(c.diag.size());
    Sym a(n);
    for (int i = 1; i <= n; ++i) a.at(i, i) = c.diag[i - 1];
    const Eig r = solve(a, c.iord);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.d, c.want);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i)
        EXPECT_EQ(r.z[i + j * n], i + 1 == c.from[j] ? 1.0 : 0.0) << i << "," << j;
    // Every reflection was skipped: h = 0 on the diagonals of rows 3..n.
    for (int i = 3; i <= n; ++i) EXPECT_EQ(r.ap[i * (i + 1) / 2 - 1], 0.0);
  }
}

TEST(Eigen, OrdersOneAndTwo) {
  Sym one(1);
  one.at(1, 1) = -2.5;
  Eig r = solve(one, 1);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.d[0], -2.5);
  EXPECT_EQ(r.z[0], 1.0);
  EXPECT_EQ(r.e[0], 0.0);
  Sym two(2);
  two.set(1, 1, 2.0);
  two.set(2, 2, 2.0);
  two.set(1, 2, 1.0);
  r = solve(two, 1);
  EXPECT_EQ(r.status, 0);
  EXPECT_NEAR(r.d[0], 1.0, 4 * kEps);
  EXPECT_NEAR(r.d[1], 3.0, 4 * kEps);
  EXPECT_NEAR(std::fabs(r.z[0]), std::sqrt(0.5), 4 * kEps);
  EXPECT_EQ(r.ap, two.packed());  // no reduction of a 2-by-2
}

// The four step entries chained as the solver chains them give its bits.
TEST(Eigen, StepsChainedReproduceSolver) {
  for (int n : {3, 9, 30}) {
    const Sym a = alg_test::random_sym(n, 40 + n);
    for (int iord : {1, 2}) {
      const Eig whole = solve(a, iord);
      std::vector<double> ap = a.packed(), d(n), e(n), z(static_cast<size_t>(n) * n, 0.0);
      int ierr = 0;
      eaxetr(&n, ap.data(), d.data(), e.data());
      ASSERT_EQ(eaxeql(&n, d.data(), e.data(), z.data(), &ierr), 0);
      eaxeor(&iord, &n, d.data(), z.data());
      eaxevp(&n, ap.data(), z.data());
      EXPECT_SAME_BITS(d.data(), whole.d.data(), n);
      EXPECT_SAME_BITS(z.data(), whole.z.data(), z.size());
      EXPECT_SAME_BITS(ap.data(), whole.ap.data(), ap.size());
    }
  }
}

// The iteration gives up after 30 sweeps for one eigenvalue; a NaN in the
// off-diagonal never passes the convergence test.
TEST(Eigen, NonConvergenceReportsIndexAndStops) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  int n = 3, ierr = 0;
  std::vector<double> d = {1.0, 2.0, 3.0}, e = {0.0, 0.0, nan}, z(9, 0.0);
  EXPECT_EQ(eaxeql(&n, d.data(), e.data(), z.data(), &ierr), 1);
  EXPECT_EQ(ierr, 2);  // row 1 splits off; l = 2 meets the NaN
  Sym a = alg_test::random_sym(5, 3);
  a.set(5, 4, nan);
  Eig r = solve(a, 1);
  EXPECT_EQ(r.status, 1);
  EXPECT_GE(r.ierr, 1);
  EXPECT_LE(r.ierr, 5);
}

// An order below 1 touches nothing.
TEST(Eigen, EmptyOrderTouchesNothing) {
  for (int n : {0, -3}) {
    std::vector<double> ap(4, 7.0), d(4, 7.0), z(4, 7.0), e(4, 7.0);
    int ierr = 5, iord = 1;
    EXPECT_EQ(eaxeig(&n, &iord, ap.data(), d.data(), z.data(), e.data(), &ierr), 0);
    eaxetr(&n, ap.data(), d.data(), e.data());
    EXPECT_EQ(eaxeql(&n, d.data(), e.data(), z.data(), &ierr), 0);
    eaxeor(&iord, &n, d.data(), z.data());
    eaxevp(&n, ap.data(), z.data());
    for (const auto *v : {&ap, &d, &z, &e}) EXPECT_EQ(*v, std::vector<double>(4, 7.0));
    EXPECT_EQ(ierr, 5);
  }
}

// Every path gives the scalar bits, on ordinary and on adversarial input.
TEST(Eigen, EveryPathMatchesScalarOrder) {
  for (int n : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 70}) {
    std::vector<Sym> inputs = {alg_test::random_sym(n, 900 + n)};
    Sym wild(n);
    const std::vector<double> v = qvk_test::random_doubles(static_cast<size_t>(n) * n, n);
    for (int j = 1; j <= n; ++j)
      for (int i = j; i <= n; ++i) wild.set(i, j, v[(i - 1) + (j - 1) * n]);
    inputs.push_back(wild);
    const std::vector<double> bad = qvk_test::adversarial_doubles(static_cast<size_t>(n) * n, n);
    for (int j = 1; j <= n; ++j)
      for (int i = j; i <= n; ++i) wild.set(i, j, bad[(i - 1) + (j - 1) * n]);
    inputs.push_back(wild);
    for (const Sym &a : inputs) {
      SCOPED_TRACE(testing::Message() << "n " << n);
      Eig ref;
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        ref = solve(a, 2);
      }
      qvk_test::for_each_isa([&](int) {
        const Eig r = solve(a, 2);
        EXPECT_EQ(r.status, ref.status);
        EXPECT_SAME_BITS(r.d.data(), ref.d.data(), n);
        EXPECT_SAME_BITS(r.z.data(), ref.z.data(), r.z.size());
        EXPECT_SAME_BITS(r.ap.data(), ref.ap.data(), r.ap.size());
      });
    }
  }
}

}  // namespace

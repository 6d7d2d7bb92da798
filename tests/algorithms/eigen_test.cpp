// Symmetric eigen solver and its steps.
#include <algorithm>
#include <limits>

#include "QorVARDMathKernel/algorithms.h"
#include "algorithms_test.h"
#include "qvk_test.h"

namespace {

using alg_test::Sym;
constexpr double kEps = std::numeric_limits<double>::epsilon();
const double kNan = std::numeric_limits<double>::quiet_NaN();

struct Eig {
  int status = -1, ierr = -77;
  std::vector<double> ap, d, z, e;
};

Eig solve(Sym a, int iord) {
  Eig r{-1, -77, a.packed(), std::vector<double>(a.n, -9.0),
        std::vector<double>(size_t(a.n) * a.n, -9.0), std::vector<double>(a.n, -9.0)};
  r.status = eaxeig(&a.n, &iord, r.ap.data(), r.d.data(), r.z.data(), r.e.data(), &r.ierr);
  return r;
}

// Clustered, repeated and zero eigenvalues; graded, tiny, huge and split
// (block diagonal) matrices.
std::vector<Sym> cases(int n) {
  std::vector<double> cluster(n), repeated(n), deficient(n);
  for (int k = 0; k < n; ++k) {
    cluster[k] = 1.0 + k * 1e-13;
    repeated[k] = k % 3 == 0 ? -2.0 : (k % 3 == 1 ? 1.0 : 5.0);
    deficient[k] = k % 2 ? k + 1.0 : 0.0;
  }
  std::vector<Sym> v = {alg_test::random_sym(n, n), alg_test::with_eigenvalues(cluster, n),
                        alg_test::with_eigenvalues(repeated, n + 1),
                        alg_test::with_eigenvalues(deficient, n + 2)};
  Sym graded = v[0], tiny = v[0], huge = v[0], split = v[0];
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= n; ++i) {
      graded.at(i, j) = std::ldexp(graded.at(i, j), -(i + j) * 20 / n);  // down to 2^-40
      tiny.at(i, j) *= 1e-150;
      huge.at(i, j) *= 1e150;
      if ((i <= n / 2) != (j <= n / 2)) split.at(i, j) = 0.0;
    }
  v.insert(v.end(), {graded, tiny, huge, split});
  return v;
}

// |A*Z - Z*D| and |Z'Z - I| within 4n units of rounding (of |A|), d in order,
// and the eigenvalues those of the reference DSPEV.
TEST(Eigen, DecomposesRandomAndStructuredMatrices) {
  using Dspev = void (*)(const char *, const char *, const int *, double *, double *, double *,
                         const int *, double *, int *, int, int);
  auto dspev = qvk_test::ref_lapack<Dspev>("dspev_");
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 16, 20, 25, 29, 30, 47, 64, 100}) {
    std::vector<Sym> all = cases(n);
    for (Sym &a : all) {
      SCOPED_TRACE(testing::Message() << "n " << n << ", case " << &a - all.data());
      const int iord = 1 + n % 2;
      const Eig r = solve(a, iord);
      ASSERT_EQ(r.status, 0);
      EXPECT_EQ(r.ierr, -77);  // not written on success
      double norm = 0.0, res = 0.0, orth = 0.0;
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) norm = std::max(norm, std::fabs(a.a[i + j * n]) * n);
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
      if (!dspev) continue;
      std::vector<double> ap = a.packed(), w(n), work(3 * n), d = r.d;
      int info = -1, one = 1;
      dspev("N", "U", &n, ap.data(), w.data(), nullptr, &one, work.data(), &info, 1, 1);
      std::sort(d.begin(), d.end());
      for (int i = 0; i < n; ++i) EXPECT_NEAR(d[i], w[i], 4.0 * n * kEps * norm) << i;
    }
  }
}

// Diagonal input: nothing to reduce (h = 0 on every reflection row) or
// rotate; d is the diagonal in order, the first of equal keys first, and z
// the matching permutation.
TEST(Eigen, DiagonalMatricesGivePermutations) {
  struct Case {
    int iord;
    std::vector<double> diag, want;
    std::vector<int> from;  // column j of z is the unit vector e(from[j])
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
  std::vector<double> d = {1.0, 2.0, 3.0}, e = {0.0, 0.0, kNan}, z(9, 0.0);
  EXPECT_EQ(eaxeql(&n, d.data(), e.data(), z.data(), &ierr), 1);
  EXPECT_EQ(ierr, 2);  // row 1 splits off; l = 2 meets the NaN
  Sym a = alg_test::random_sym(5, 3);
  a.set(5, 4, kNan);
  EXPECT_EQ(solve(a, 1).status, 1);
  for (int m : {0, -3}) {
    std::vector<double> v(4, 7.0);
    int iord = 1, err = 5;
    EXPECT_EQ(eaxeig(&m, &iord, v.data(), v.data(), v.data(), v.data(), &err), 0);
    eaxetr(&m, v.data(), v.data(), v.data());
    EXPECT_EQ(eaxeql(&m, v.data(), v.data(), v.data(), &err), 0);
    eaxeor(&iord, &m, v.data(), v.data());
    eaxevp(&m, v.data(), v.data());
    EXPECT_EQ(v, std::vector<double>(4, 7.0));
    EXPECT_EQ(err, 5);
  }
}

// Every path gives the scalar bits, on plain, wide-range and adversarial
// input; the step entries chained give the solver's bits.
TEST(Eigen, EveryPathAndTheStepsGiveTheScalarBits) {
  for (int n : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 70}) {
    for (const std::vector<double> &v :
         {alg_test::uniform(size_t(n) * n, n), qvk_test::random_doubles(size_t(n) * n, n),
          qvk_test::adversarial_doubles(size_t(n) * n, n)}) {
      SCOPED_TRACE(testing::Message() << "n " << n);
      const Sym a = alg_test::sym_from(n, v);
      Eig ref;
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        ref = solve(a, 2);
      }
      qvk_test::for_each_isa([&](int) {
        Eig r = solve(a, 2);
        EXPECT_EQ(r.status, ref.status);
        EXPECT_SAME_BITS(r.d.data(), ref.d.data(), n);
        EXPECT_SAME_BITS(r.z.data(), ref.z.data(), r.z.size());
        EXPECT_SAME_BITS(r.ap.data(), ref.ap.data(), r.ap.size());
        if (ref.status) return;
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
}

}  // namespace

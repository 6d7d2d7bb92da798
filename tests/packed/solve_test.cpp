// Packed triangular solve and the Cholesky solves.
#include <cmath>
#include <cstring>
#include <vector>

#include "QorVARDMathKernel/solve.h"
#include "qvk_test.h"

namespace {

using Dtpsv = void (*)(const char *, const char *, const char *, const int *, const double *,
                       double *, const int *, int, int, int);
using Dpptrs = void (*)(const char *, const int *, const int *, const double *, double *,
                        const int *, int *, int);

const int kOrders[] = {1, 2, 3, 7, 8, 9, 16, 17, 31, 64, 101};

// A packed triangle whose diagonal lies in [1, 2] (either layout: the
// diagonal positions differ, so every element gets a tame value and the
// off-diagonals are scaled down to keep the solution bounded).
std::vector<double> triangle(int n, bool upper, unsigned seed) {
  std::vector<double> ap = qvk_test::portable_doubles(n * (n + 1) / 2, seed, -3, 0);
  for (int j = 1; j <= n; ++j) {
    for (int i = upper ? 1 : j; i <= (upper ? j : n); ++i) {
      double &t = upper ? ap[i - 1 + j * (j - 1) / 2] : ap[i - 1 + (j - 1) * (2 * n - j) / 2];
      t = i == j ? 1.0 + std::fabs(t) : t / n;
    }
  }
  return ap;
}

struct Variant {
  const char *uplo, *trans, *diag;
};
const Variant kVariants[] = {{"U", "N", "N"}, {"U", "N", "U"}, {"U", "T", "N"}, {"U", "T", "U"},
                             {"L", "N", "N"}, {"L", "N", "U"}, {"L", "T", "N"}, {"L", "T", "U"}};

TEST(Tpsv, EightVariantsMatchReferenceAtStridesOneAndThree) {
  auto dtpsv = qvk_test::ref_blas<Dtpsv>("dtpsv_");
  ASSERT_ORACLE(dtpsv);
  qvk_test::for_each_isa([&](int) {
    for (const Variant &v : kVariants) {
      for (int n : kOrders) {
        for (int inc : {1, -1, 3, -3}) {
          SCOPED_TRACE(testing::Message() << v.uplo << v.trans << v.diag << " n " << n << " inc "
                                          << inc);
          const std::vector<double> ap = triangle(n, *v.uplo == 'U', n);
          std::vector<double> x = qvk_test::random_doubles(n * 3, 7 * n + inc);
          x[0] = 0.0;  // a skipped column, not transposed
          if (n > 4) x[static_cast<size_t>(4 * std::abs(inc))] = 0.0;
          std::vector<double> want = x;
          const std::vector<double> ap0 = ap;
          e_dtpsv(v.uplo, v.trans, v.diag, &n, ap.data(), x.data(), &inc, 1, 1, 1);
          dtpsv(v.uplo, v.trans, v.diag, &n, ap.data(), want.data(), &inc, 1, 1, 1);
          EXPECT_ORACLE_BITS(x.data(), want.data(), x.size());
          ASSERT_EQ(ap, ap0);
        }
      }
    }
  });
}

// Each optimized path against the scalar order, on data with NaN, Inf,
// signed zeros and subnormals, in the triangle and in x.
TEST(Tpsv, EveryPathGivesTheScalarBits) {
  for (const Variant &v : kVariants) {
    for (int n : kOrders) {
      std::vector<double> ap = triangle(n, *v.uplo == 'U', 3 * n);
      const std::vector<double> junk = qvk_test::adversarial_doubles(ap.size(), n);
      for (size_t k = 0; k < ap.size(); k += 5) ap[k] = junk[k];
      std::vector<double> x0 = qvk_test::adversarial_doubles(n, 11 * n);
      for (int k = 0; k < n; k += 3) x0[k] = 0.0;
      std::vector<double> want = x0;
      const int one = 1;
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        e_dtpsv(v.uplo, v.trans, v.diag, &n, ap.data(), want.data(), &one, 1, 1, 1);
      }
      qvk_test::for_each_isa([&](int) {
        SCOPED_TRACE(testing::Message() << v.uplo << v.trans << v.diag << " n " << n);
        std::vector<double> x = x0;
        e_dtpsv(v.uplo, v.trans, v.diag, &n, ap.data(), x.data(), &one, 1, 1, 1);
        EXPECT_SAME_BITS(x.data(), want.data(), n);
      });
    }
  }
}

TEST(Tpsv, OptionLettersAndStrides) {
  const int n = 9;
  const std::vector<double> ap = triangle(n, true, 5);
  const std::vector<double> b = qvk_test::random_doubles(n, 6);
  const int one = 1, minus = -1;
  // Every letter but N/n selects the transposed solve and the unit diagonal.
  std::vector<double> t = b;
  e_dtpsv("U", "T", "N", &n, ap.data(), t.data(), &one, 1, 1, 1);
  for (const char *tr : {"t", "C", "x"}) {
    std::vector<double> x = b;
    e_dtpsv("u", tr, "n", &n, ap.data(), x.data(), &one, 1, 1, 1);
    EXPECT_SAME_BITS(x.data(), t.data(), n);
  }
  std::vector<double> u1 = b, u2 = b;
  e_dtpsv("U", "N", "U", &n, ap.data(), u1.data(), &one, 1, 1, 1);
  e_dtpsv("U", "N", "q", &n, ap.data(), u2.data(), &one, 1, 1, 1);
  EXPECT_SAME_BITS(u1.data(), u2.data(), n);
  // incx = -1 reads the vector from its last element: the same solution as
  // incx = 1 on the reversed array.
  std::vector<double> rev(b.rbegin(), b.rend()), fwd = b;
  e_dtpsv("U", "N", "N", &n, ap.data(), fwd.data(), &one, 1, 1, 1);
  e_dtpsv("U", "N", "N", &n, ap.data(), rev.data(), &minus, 1, 1, 1);
  std::vector<double> back(rev.rbegin(), rev.rend());
  EXPECT_SAME_BITS(back.data(), fwd.data(), n);
}

TEST(Tpsv, SkippedColumnKeepsItsNaNOut) {
  // Upper, not transposed: x(2) = 0 skips column 2, whose NaN must not
  // reach x(1).
  const int n = 3, one = 1;
  const double nan = std::nan("");
  double ap[6] = {2, nan, 1, 0.5, 0.0, 4};
  double x[3] = {1, 0, 8};
  e_dtpsv("U", "N", "N", &n, ap, x, &one, 1, 1, 1);
  EXPECT_EQ(x[2], 2.0);
  EXPECT_EQ(x[1], 0.0);
  EXPECT_EQ(x[0], (1.0 - 2.0 * 0.5) / 2.0);
}

// U with power-of-two diagonal and small integer entries: U'U x = b is solved
// without rounding, so the solution is the integer x itself.
TEST(Pptrs, ExactSolveOfIntegerSystem) {
  const int n = 12, nrhs = 5, ldb = 14;
  std::vector<double> ap(n * (n + 1) / 2);
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= j; ++i) ap[i - 1 + j * (j - 1) / 2] = i == j ? 1.0 : (i * 3 + j) % 5 - 2;
  std::vector<double> xs(ldb * nrhs, -7.0), b(ldb * nrhs, -7.0);
  for (int c = 0; c < nrhs; ++c) {
    std::vector<double> y(n, 0.0);
    for (int i = 0; i < n; ++i) xs[i + c * ldb] = (i * 7 + c) % 9 - 4;
    for (int i = 1; i <= n; ++i)  // y = U x
      for (int j = i; j <= n; ++j) y[i - 1] += ap[i - 1 + j * (j - 1) / 2] * xs[j - 1 + c * ldb];
    for (int j = 1; j <= n; ++j) {  // b = U' y
      b[j - 1 + c * ldb] = 0.0;
      for (int i = 1; i <= j; ++i) b[j - 1 + c * ldb] += ap[i - 1 + j * (j - 1) / 2] * y[i - 1];
    }
  }
  qvk_test::for_each_isa([&](int) {
    std::vector<double> x = b;
    int info = -5;
    e_dpptrs("U", &n, &nrhs, ap.data(), x.data(), &ldb, &info, 1);
    EXPECT_EQ(x, xs);  // rows n+1..ldb keep their -7
    EXPECT_EQ(info, -5);
  });
}

// A factor from the reference DPPTRF of a well-conditioned SPD matrix.
std::vector<double> spd_factor(int n, unsigned seed) {
  std::vector<double> ap = qvk_test::portable_doubles(n * (n + 1) / 2, seed, -3, 0);
  for (int j = 1; j <= n; ++j) ap[j * (j + 1) / 2 - 1] = n + 1.0 + ap[j * (j + 1) / 2 - 1];
  return ap;  // diagonally dominant: U from it is a fine upper factor too
}

TEST(Pptrs, MatchesReferenceDpptrsForOneAndSeveralColumns) {
  auto dpptrs = qvk_test::ref_lapack<Dpptrs>("dpptrs_");
  ASSERT_ORACLE(dpptrs);
  qvk_test::for_each_isa([&](int) {
    for (int n : kOrders) {
      for (int nrhs : {1, 2, 3, 8}) {
        SCOPED_TRACE(testing::Message() << "n " << n << " nrhs " << nrhs);
        const std::vector<double> ap = spd_factor(n, n);
        const int ldb = n + 3;
        std::vector<double> b = qvk_test::random_doubles(ldb * nrhs, n + nrhs, 0.5, 2.0);
        std::vector<double> want = b;
        int info = 0, winfo = 0;
        e_dpptrs("U", &n, &nrhs, ap.data(), b.data(), &ldb, &info, 1);
        dpptrs("U", &n, &nrhs, ap.data(), want.data(), &ldb, &winfo, 1);
        EXPECT_ORACLE_BITS(b.data(), want.data(), b.size());
        EXPECT_EQ(info, 0);
      }
    }
  });
}

TEST(Pptrs, ColumnsSolvedTogetherEqualColumnsSolvedAlone) {
  // Column counts around the lane widths; the long order fills the column
  // buffer of the widest lanes.
  for (int n : {37, 600}) {
    for (int nrhs : {2, 7, 9, 17}) {
      if (n == 600 && nrhs != 9) continue;
      SCOPED_TRACE(testing::Message() << "n " << n << " nrhs " << nrhs);
      const int ldb = n + 3, one = 1;
      const std::vector<double> ap = spd_factor(n, 4);
      const std::vector<double> b0 = qvk_test::adversarial_doubles(ldb * nrhs, 9);
      std::vector<double> alone = b0;
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        int info = 0;
        for (int c = 0; c < nrhs; ++c)
          e_dpptrs("U", &n, &one, ap.data(), alone.data() + c * ldb, &ldb, &info, 1);
      }
      qvk_test::for_each_isa([&](int) {
        std::vector<double> b = b0;
        int info = 0;
        dpptrs_2("u", &n, &nrhs, ap.data(), b.data(), &ldb, &info, 1);
        EXPECT_SAME_BITS(b.data(), alone.data(), b.size());
        // eacort solves one column the same way.
        std::vector<double> c = b0;
        const int nn = n * (n + 1) / 2;
        eacort(&nn, &n, ap.data(), c.data());
        EXPECT_SAME_BITS(c.data(), alone.data(), n);
      });
    }
  }
}

TEST(Pptrs, InfoRuleAndLeadingDimension) {
  const int n = 4, one = 1;
  const std::vector<double> ap = spd_factor(n, 2);
  const std::vector<double> b0 = {1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<double> b = b0;
  int info = 0;
  const int two = 2, ldb = 4;
  e_dpptrs("L", &n, &two, ap.data(), b.data(), &ldb, &info, 1);
  EXPECT_EQ(info, 1);
  EXPECT_EQ(b, b0);
  // nrhs = 1 ignores ldb, even 0.
  const int zero = 0;
  info = 9;
  std::vector<double> b1 = b0, b2 = b0;
  e_dpptrs("U", &n, &one, ap.data(), b1.data(), &zero, &info, 1);
  e_dpptrs("U", &n, &one, ap.data(), b2.data(), &ldb, &info, 1);
  EXPECT_EQ(b1, b2);
  EXPECT_NE(b1[0], b0[0]);
  EXPECT_EQ(info, 9);
  // Leading zeros are not skipped: a NaN in the factor reaches the solution.
  std::vector<double> bad = ap;
  bad[0 + 1] = std::nan("");  // u(1,2)
  std::vector<double> z = {0, 0, 1, 1};
  e_dpptrs("U", &n, &one, bad.data(), z.data(), &ldb, &info, 1);
  EXPECT_TRUE(std::isnan(z[0]));
}

}  // namespace

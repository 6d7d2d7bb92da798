// Packed triangular solve and the Cholesky solves.
#include <cmath>

#include "QorVARDMathKernel/solve.h"
#include "qvk_test.h"

namespace {

using qvk_test::Vec;

const int kOrders[] = {1, 2, 3, 7, 8, 9, 16, 17, 31, 64, 101};
const char *const kVariants[] = {"UNN", "UNU", "UTN", "UTU", "LNN", "LNU", "LTN", "LTU"};

// A packed triangle (either layout) whose diagonal lies in [1, 2] and whose
// off-diagonals are scaled down to keep the solution bounded.
Vec triangle(int n, bool upper, unsigned seed) {
  Vec ap = qvk_test::portable_doubles(n * (n + 1) / 2, seed, -3, 0);
  for (int j = 1; j <= n; ++j)
    for (int i = upper ? 1 : j; i <= (upper ? j : n); ++i) {
      double &t = upper ? ap[i - 1 + j * (j - 1) / 2] : ap[i - 1 + (j - 1) * (2 * n - j) / 2];
      t = i == j ? 1.0 + std::fabs(t) : t / n;
    }
  return ap;
}

void tpsv(const char *v, int n, const Vec &ap, double *x, int inc) {
  e_dtpsv(v, v + 1, v + 2, &n, ap.data(), x, &inc, 1, 1, 1);
}

// Against the reference at strides of both signs, with zeros in x that let
// the non-transposed solves skip a column; the triangle is only read.
TEST(Tpsv, EightVariantsMatchReference) {
  using Dtpsv = void (*)(const char *, const char *, const char *, const int *, const double *,
                         double *, const int *, int, int, int);
  auto dtpsv = qvk_test::ref_blas<Dtpsv>("dtpsv_");
  ASSERT_ORACLE(dtpsv);
  for (const char *v : kVariants)
    for (int n : kOrders)
      for (int inc : {1, -1, 3, -3}) {
        SCOPED_TRACE(testing::Message() << v << " n " << n << " inc " << inc);
        const Vec ap = triangle(n, *v == 'U', n);
        Vec x = qvk_test::random_doubles(n * 3, 7 * n + inc);
        x[0] = 0.0;
        if (n > 4) x[4 * std::abs(inc)] = 0.0;
        qvk_test::expect_oracle_agrees(
            x, [&](Vec &y) { tpsv(v, n, ap, y.data(), inc); },
            [&](Vec &y) { dtpsv(v, v + 1, v + 2, &n, ap.data(), y.data(), &inc, 1, 1, 1); });
        EXPECT_EQ(ap, triangle(n, *v == 'U', n));
      }
}

// NaN, Inf, signed zeros and subnormals in the triangle and in x.
TEST(Tpsv, EveryPathGivesTheScalarBits) {
  for (const char *v : kVariants)
    for (int n : kOrders) {
      SCOPED_TRACE(testing::Message() << v << " n " << n);
      Vec ap = triangle(n, *v == 'U', 3 * n);
      const Vec junk = qvk_test::adversarial_doubles(ap.size(), n);
      for (size_t k = 0; k < ap.size(); k += 5) ap[k] = junk[k];
      Vec x = qvk_test::adversarial_doubles(n, 11 * n);
      for (int k = 0; k < n; k += 3) x[k] = 0.0;
      qvk_test::expect_paths_agree(x, [&](Vec &y) { tpsv(v, n, ap, y.data(), 1); });
    }
}

TEST(Tpsv, OptionLettersAndSkippedColumns) {
  const int n = 9;
  const Vec ap = triangle(n, true, 5), b = qvk_test::random_doubles(n, 6);
  // Every letter but N/n selects the transposed solve and the unit diagonal.
  Vec t = b, u = b;
  tpsv("UTN", n, ap, t.data(), 1);
  tpsv("UNU", n, ap, u.data(), 1);
  for (const char *v : {"utn", "uCn", "uxn", "UNq"}) {
    Vec x = b;
    tpsv(v, n, ap, x.data(), 1);
    EXPECT_EQ(x, v[2] == 'q' ? u : t) << v;
  }
  // Upper, not transposed: x(2) = 0 skips column 2, whose NaN must not
  // reach x(1).
  double tri[6] = {2, std::nan(""), 1, 0.5, 0.0, 4}, x[3] = {1, 0, 8};
  const int three = 3, one = 1;
  e_dtpsv("U", "N", "N", &three, tri, x, &one, 1, 1, 1);
  EXPECT_EQ(Vec(x, x + 3), (Vec{0.0, 0.0, 2.0}));
}

// A diagonally dominant upper packed matrix serves as a fine factor U.
Vec factor(int n, unsigned seed) {
  Vec ap = qvk_test::portable_doubles(n * (n + 1) / 2, seed, -3, 0);
  for (int j = 1; j <= n; ++j) ap[j * (j + 1) / 2 - 1] += n + 1.0;
  return ap;
}

// Rows past n in each column keep their values; info is not written on
// success.
TEST(Pptrs, MatchesReferenceDpptrsForOneAndSeveralColumns) {
  using Dpptrs = void (*)(const char *, const int *, const int *, const double *, double *,
                          const int *, int *, int);
  auto dpptrs = qvk_test::ref_lapack<Dpptrs>("dpptrs_");
  ASSERT_ORACLE(dpptrs);
  for (int n : kOrders)
    for (int nrhs : {1, 2, 3, 8}) {
      SCOPED_TRACE(testing::Message() << "n " << n << " nrhs " << nrhs);
      const Vec ap = factor(n, n);
      const int ldb = n + 3;
      qvk_test::expect_oracle_agrees(
          qvk_test::random_doubles(ldb * nrhs, n + nrhs, 0.5, 2.0),
          [&](Vec &b) {
            int info = -5;
            e_dpptrs("U", &n, &nrhs, ap.data(), b.data(), &ldb, &info, 1);
            EXPECT_EQ(info, -5);
          },
          [&](Vec &b) {
            int info = 0;
            dpptrs("U", &n, &nrhs, ap.data(), b.data(), &ldb, &info, 1);
          });
    }
}

// Column counts around the lane widths; the long order fills the column
// buffer of the widest lanes. eacort solves one column the same way.
TEST(Pptrs, ColumnsSolvedTogetherEqualColumnsSolvedAlone) {
  for (int n : {37, 600})
    for (int nrhs : {2, 7, 9, 17}) {
      if (n == 600 && nrhs != 9) continue;
      SCOPED_TRACE(testing::Message() << "n " << n << " nrhs " << nrhs);
      const int ldb = n + 3, one = 1, nn = n * (n + 1) / 2;
      const Vec ap = factor(n, 4), b0 = qvk_test::adversarial_doubles(ldb * nrhs, 9);
      Vec alone = b0;
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        int info = 0;
        for (int c = 0; c < nrhs; ++c) e_dpptrs("U", &n, &one, ap.data(), &alone[c * ldb], &ldb, &info, 1);
      }
      qvk_test::for_each_isa([&](int) {
        Vec b = b0, c = b0;
        int info = 0;
        dpptrs_2("u", &n, &nrhs, ap.data(), b.data(), &ldb, &info, 1);
        EXPECT_SAME_BITS(b.data(), alone.data(), b.size());
        eacort(&nn, &n, ap.data(), c.data());
        EXPECT_SAME_BITS(c.data(), alone.data(), n);
      });
    }
}

TEST(Pptrs, InfoRuleAndLeadingDimension) {
  const int n = 4, one = 1, two = 2, ldb = 4, zero = 0;
  const Vec ap = factor(n, 2), b0 = {1, 2, 3, 4, 5, 6, 7, 8};
  Vec b = b0, b1 = b0, b2 = b0, z = {0, 0, 1, 1}, bad = ap;
  int info = 0;
  e_dpptrs("L", &n, &two, ap.data(), b.data(), &ldb, &info, 1);  // only U is accepted
  EXPECT_EQ(info, 1);
  EXPECT_EQ(b, b0);
  // nrhs = 1 ignores ldb, even 0.
  info = 9;
  e_dpptrs("U", &n, &one, ap.data(), b1.data(), &zero, &info, 1);
  e_dpptrs("U", &n, &one, ap.data(), b2.data(), &ldb, &info, 1);
  EXPECT_EQ(b1, b2);
  EXPECT_NE(b1[0], b0[0]);
  EXPECT_EQ(info, 9);
  // Leading zeros are not skipped: a NaN in the factor reaches the solution.
  bad[1] = std::nan("");  // u(1,2)
  e_dpptrs("U", &n, &one, bad.data(), z.data(), &ldb, &info, 1);
  EXPECT_TRUE(std::isnan(z[0]));
}

}  // namespace

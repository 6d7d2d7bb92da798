// Resumable packed Cholesky factorization.
#include <cmath>
#include <vector>

#include "QorVARDMathKernel/packed.h"
#include "qvk_test.h"

namespace {

using Dpptrf = void (*)(const char *, const int *, double *, int *, int);
using Dtpsv = void (*)(const char *, const char *, const char *, const int *, const double *,
                       double *, const int *, int, int, int);

inline size_t at(int r, int c) { return static_cast<size_t>(c - 1 + r * (r - 1) / 2); }  // c <= r

// A well-conditioned SPD matrix in the upper packed layout.
std::vector<double> spd(int n, unsigned seed) {
  std::vector<double> ap = qvk_test::portable_doubles(n * (n + 1) / 2, seed, -3, 0);
  for (int i = 1; i <= n; ++i) ap[at(i, i)] = n + 1.0 + std::fabs(ap[at(i, i)]);
  return ap;
}

int factor(std::vector<double> &ap, int n, int i1 = 1, double tol = 0.0, double *piv = nullptr) {
  int info = -9;
  double p = -7.0;
  eaxfch(nullptr, &i1, &n, &tol, ap.data(), &info, piv ? piv : &p);
  return info;
}

const int kOrders[] = {1, 2, 3, 4, 5, 8, 9, 13, 16, 17, 33, 70, 151};

// L with power-of-two diagonal and small integer entries: A = LL' is exact,
// and so is every step of its factorization, which must return L itself.
TEST(Cholesky, ExactFactorOfIntegerMatrix) {
  const int n = 11;
  std::vector<double> l(n * (n + 1) / 2), a(l.size(), 0.0);
  for (int r = 1; r <= n; ++r)
    for (int c = 1; c <= r; ++c) l[at(r, c)] = r == c ? double(1 << (r % 3)) : (r * 5 + c) % 7 - 3;
  for (int r = 1; r <= n; ++r)
    for (int c = 1; c <= r; ++c)
      for (int k = 1; k <= c; ++k) a[at(r, c)] += l[at(r, k)] * l[at(c, k)];
  qvk_test::for_each_isa([&](int) {
    std::vector<double> ap = a;
    double piv = 123.0;
    EXPECT_EQ(factor(ap, n, 1, 0.0, &piv), 0);
    EXPECT_EQ(ap, l);
    EXPECT_EQ(piv, 123.0);  // not written on success
  });
}

// Each row's off-diagonal values are the reference DTPSV (upper, transposed)
// applied to the original row with the earlier factor rows, bit for bit;
// the whole factor agrees with the reference DPPTRF to rounding (its pivots
// subtract one dot product instead of a running difference).
TEST(Cholesky, MatchesReferenceSolveAndFactorization) {
  auto dtpsv = qvk_test::ref_blas<Dtpsv>("dtpsv_");
  auto dpptrf = qvk_test::ref_lapack<Dpptrf>("dpptrf_");
  ASSERT_ORACLE(dtpsv && dpptrf);
  qvk_test::for_each_isa([&](int) {
    for (int n : kOrders) {
      SCOPED_TRACE(testing::Message() << "n " << n);
      const std::vector<double> a = spd(n, n);
      std::vector<double> ap = a, ref = a;
      ASSERT_EQ(factor(ap, n), 0);
      int info = -1;
      dpptrf("U", &n, ref.data(), &info, 1);
      ASSERT_EQ(info, 0);
      for (size_t k = 0; k < ap.size(); ++k) ASSERT_NEAR(ap[k], ref[k], 1e-13 * std::fabs(ref[k]));
      for (int i = 2; i <= n; ++i) {
        std::vector<double> row(a.begin() + at(i, 1), a.begin() + at(i, i));
        const int m = i - 1, one = 1;
        dtpsv("U", "T", "N", &m, ap.data(), row.data(), &one, 1, 1, 1);
        EXPECT_ORACLE_BITS(ap.data() + at(i, 1), row.data(), m);
      }
    }
  });
}

TEST(Cholesky, FactorTimesTransposeReproducesA) {
  for (int n : {5, 40, 120}) {
    const std::vector<double> a = spd(n, 3 * n);
    std::vector<double> l = a;
    ASSERT_EQ(factor(l, n), 0);
    for (int r = 1; r <= n; ++r)
      for (int c = 1; c <= r; ++c) {
        double s = 0.0;
        for (int k = 1; k <= c; ++k) s += l[at(r, k)] * l[at(c, k)];
        ASSERT_NEAR(s, a[at(r, c)], 1e-14 * n * n) << r << " " << c;
      }
  }
}

// Every path against the scalar order: random matrices, a failure half-way,
// and NaN / Inf / subnormal entries (a NaN pivot is not reported).
TEST(Cholesky, EveryPathGivesTheScalarBits) {
  for (int n : kOrders) {
    for (int variant = 0; variant < 3; ++variant) {
      std::vector<double> a = spd(n, 7 * n + variant);
      if (variant == 1) a[at((n + 1) / 2, (n + 1) / 2)] = 0.5;  // may fail there
      if (variant == 2) {
        const std::vector<double> junk = qvk_test::adversarial_doubles(a.size(), n);
        for (size_t k = 0; k < a.size(); k += 4) a[k] = junk[k];
      }
      std::vector<double> want = a;
      double wpiv = 0.0, piv = 0.0;
      int winfo;
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        winfo = factor(want, n, 1, 1.0, &wpiv);
      }
      qvk_test::for_each_isa([&](int) {
        SCOPED_TRACE(testing::Message() << "n " << n << " variant " << variant);
        std::vector<double> ap = a;
        EXPECT_EQ(factor(ap, n, 1, 1.0, &piv), winfo);
        EXPECT_SAME_BITS(ap.data(), want.data(), ap.size());
        if (winfo) EXPECT_SAME_BITS(&piv, &wpiv, 1);
      });
    }
  }
}

// A failure leaves rows before it complete, its own off-diagonals computed
// and diagonal unwritten, and later rows untouched; restoring the row and
// resuming there gives the factor of one uninterrupted call.
TEST(Cholesky, ResumeAfterFailureEqualsUninterruptedFactor) {
  qvk_test::for_each_isa([&](int) {
    for (int n : {6, 17, 40}) {
      const int fail = n / 2 + 1;
      const std::vector<double> a = spd(n, n + 100);
      std::vector<double> whole = a;
      ASSERT_EQ(factor(whole, n), 0);

      std::vector<double> ap = a;
      ap[at(fail, fail)] = 1e-3;  // pivot now below 0
      double piv = 0.0;
      ASSERT_EQ(factor(ap, n, 1, 0.0, &piv), fail);
      EXPECT_LE(piv, 0.0);
      EXPECT_SAME_BITS(ap.data(), whole.data(), at(fail, fail));  // rows 1..fail-1, row fail
      EXPECT_EQ(ap[at(fail, fail)], 1e-3);
      for (size_t k = at(fail, fail) + 1; k < ap.size(); ++k) ASSERT_EQ(ap[k], a[k]);

      for (int c = 1; c <= fail; ++c) ap[at(fail, c)] = a[at(fail, c)];
      ASSERT_EQ(factor(ap, n, fail), 0);
      EXPECT_SAME_BITS(ap.data(), whole.data(), ap.size());
    }
  });
}

TEST(Cholesky, BorderedGrowthFactorsOnlyTheNewRows) {
  const int n = 30, n1 = 19;
  const std::vector<double> a = spd(n, 77);
  std::vector<double> whole = a, grown = a;
  ASSERT_EQ(factor(whole, n), 0);
  ASSERT_EQ(factor(grown, n1), 0);
  ASSERT_EQ(factor(grown, n, n1 + 1), 0);
  EXPECT_SAME_BITS(grown.data(), whole.data(), grown.size());
}

TEST(Cholesky, ThresholdAndEmptyRanges) {
  std::vector<double> one = {4.0};
  EXPECT_EQ(factor(one, 1), 0);
  EXPECT_EQ(one[0], 2.0);
  // d equal to tol fails; piv is the pivot, the diagonal stays.
  one = {2.5};
  double piv = 0.0;
  EXPECT_EQ(factor(one, 1, 1, 2.5, &piv), 1);
  EXPECT_EQ(piv, 2.5);
  EXPECT_EQ(one[0], 2.5);
  // A positive threshold rejects a nearly singular pivot.
  std::vector<double> a = {1.0, 1.0, 1.0 + 1e-12};
  EXPECT_EQ(factor(a, 2, 1, 1e-9, &piv), 2);
  EXPECT_EQ(a[1], 1.0);
  // i1 > n: nothing factored, info 0, piv untouched.
  std::vector<double> b = {4.0, 1.0, 9.0};
  piv = 5.0;
  EXPECT_EQ(factor(b, 2, 3, 0.0, &piv), 0);
  EXPECT_EQ(b, (std::vector<double>{4.0, 1.0, 9.0}));
  EXPECT_EQ(piv, 5.0);
  // A NaN pivot is stored, not reported.
  std::vector<double> c = {std::nan(""), 1.0, 9.0};
  EXPECT_EQ(factor(c, 2), 0);
  EXPECT_TRUE(std::isnan(c[0]) && std::isnan(c[2]));
}

TEST(Cholesky, StartingRowBelowOneStartsAtRowOne) {
  const std::vector<double> a = spd(9, 5);
  std::vector<double> x = a, y = a;
  ASSERT_EQ(factor(x, 9, 1), 0);
  ASSERT_EQ(factor(y, 9, -4), 0);
  EXPECT_SAME_BITS(x.data(), y.data(), x.size());
}

}  // namespace

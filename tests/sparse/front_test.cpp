// Frontal pivot-block factorization.
#include <cmath>
#include <vector>

#include "QorVARDMathKernel/sparse.h"
#include "qvk_test.h"

namespace {

using D = std::vector<double>;

// Position (0-based) of (i, j), i <= j, in the upper triangle by rows.
size_t at(int n, int i, int j) {
  return static_cast<size_t>((i - 1) * n - (i - 1) * (i - 2) / 2 + (j - i));
}

struct Front {
  D a;
  double ratiomin = 1e300;
  int count = 0, stats = 0, status = -1, result = -1;
  float flops1 = 0.0f, flops2 = 0.0f;
};

void eliminate(Front &r, int n, int npiv, const D &dorig, double tiny, double thr) {
  r.result = easlff_nt(&n, &npiv, r.a.data(), &r.ratiomin, dorig.data(), &tiny, &thr, &r.count,
                       &r.stats, &r.flops1, &r.flops2, &r.status);
}

// A = L diag(d, 0) L' + [0 0; 0 S] with unit lower L, power-of-two pivots
// and small integers everywhere: every step of the elimination is exact,
// so it must hand back L, d and S themselves, whatever the blocking.
TEST(FrontalFactor, ExactFactorsOfIntegerFront) {
  for (int n = 0; n <= 14; ++n)
    for (int p = 0; p <= n; ++p) {
      SCOPED_TRACE(testing::Message() << "n " << n << " npiv " << p);
      std::vector<D> l(n + 1, D(n + 1, 0.0)), s(n + 1, D(n + 1, 0.0));
      D d(n + 1, 0.0);
      for (int i = 1; i <= n; ++i) {
        l[i][i] = 1.0;
        for (int k = 1; k < i && k <= p; ++k) l[i][k] = (i * 3 + k * 5) % 5 - 2;
        d[i] = std::ldexp((i % 2 ? 1.0 : -1.0), i % 4 - 1);
        for (int j = i; j <= n; ++j) s[i][j] = s[j][i] = (i + 2 * j) % 7 - 3;
      }
      Front r;
      r.a.assign(n * (n + 1) / 2 + 1, 0.0);
      r.a.back() = 12345.0;  // guard
      for (int i = 1; i <= n; ++i)
        for (int j = i; j <= n; ++j) {
          double v = i > p ? s[i][j] : 0.0;
          for (int k = 1; k <= p; ++k) v += l[i][k] * d[k] * l[j][k];
          r.a[at(n, i, j)] = v;
        }
      const D dorig(n + 1, 1.0);
      eliminate(r, n, p, dorig, 0.0, -1e300);
      ASSERT_EQ(r.result, 0);
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.count, p);
      EXPECT_EQ(r.stats, p);
      EXPECT_EQ(r.a.back(), 12345.0);
      double dmin = 1e300;
      for (int i = 1; i <= n; ++i)
        for (int j = i; j <= n; ++j) {
          const double want = i <= p ? (i == j ? d[i] : l[j][i]) : s[i][j];
          ASSERT_EQ(r.a[at(n, i, j)], want) << "(" << i << ", " << j << ")";
        }
      for (int i = 1; i <= p; ++i) dmin = std::min(dmin, d[i]);
      EXPECT_EQ(r.ratiomin, dmin);
    }
}

TEST(FrontalFactor, SmallCasesAndCounts) {
  {
    SCOPED_TRACE("npiv 0: counts of zero, nothing else");
    Front r;
    r.a = {1.0, 2.0, 3.0};
    r.flops1 = 0.25f;
    r.flops2 = 0.5f;
    eliminate(r, 2, 0, D{1.0}, 1.0, 0.0);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.a, (D{1.0, 2.0, 3.0}));
    EXPECT_EQ(r.flops1, 0.25f);
    EXPECT_EQ(r.flops2, 0.5f);
    EXPECT_EQ(r.count, 0);
  }
  {
    SCOPED_TRACE("n = npiv = 1");
    Front r;
    r.a = {5.0};
    eliminate(r, 1, 1, D{2.5}, 0.0, 0.0);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.a, D{5.0});
    EXPECT_EQ(r.stats, 1);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.ratiomin, 2.0);
    EXPECT_EQ(r.flops1, 2.0f);  // p = m = 1
    EXPECT_EQ(r.flops2, 1.0f);
  }
  {
    SCOPED_TRACE("2x2, ratio 2/3, twice");
    Front r;
    r.a = {4.0, 2.0, 3.0};
    eliminate(r, 2, 2, D{4.0, 3.0}, 0.0, 0.0);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.a, (D{4.0, 0.5, 2.0}));
    EXPECT_EQ(r.ratiomin, 2.0 / 3.0);
    EXPECT_EQ(r.flops1, 6.0f);  // p = m = 2
    EXPECT_EQ(r.flops2, 6.0f);
    // The smallest ratio is kept across calls.
    r.a = {8.0, 2.0, 3.0};
    eliminate(r, 2, 2, D{4.0, 3.0, 8.0, 0.25}, 0.0, 0.0);
    EXPECT_EQ(r.ratiomin, 2.0 / 3.0);
    EXPECT_EQ(r.a, (D{8.0, 0.25, 2.5}));
    r.a = {1.0};
    eliminate(r, 1, 1, D{4.0, 3.0, 8.0, 0.25, 16.0}, 0.0, 0.0);
    EXPECT_EQ(r.ratiomin, 1.0 / 16.0);
    EXPECT_EQ(r.count, 5);
    EXPECT_EQ(r.stats, 5);
  }
  {
    SCOPED_TRACE("|pivot| equal to tiny passes; ratio equal to thr stops");
    Front r;
    r.a = {-0.5, 1.0, 7.0};
    eliminate(r, 2, 1, D{-1.0}, 0.5, 0.25);
    EXPECT_EQ(r.result, 0);
    Front q;
    q.a = {0.5, 1.0, 7.0};
    eliminate(q, 2, 1, D{2.0}, 0.0, 0.25);
    EXPECT_EQ(q.result, 1);
    EXPECT_EQ(q.status, 34);
    EXPECT_EQ(q.a, (D{0.25, 1.0, 7.0}));  // z = 1: nothing cleared
    EXPECT_EQ(q.ratiomin, 0.25);
    EXPECT_EQ(q.stats, 0);
    EXPECT_EQ(q.count, 1);
  }
  {
    SCOPED_TRACE("tiny first pivot of a 3x3");
    Front r;
    r.a = {1e-20, 2.0, 3.0, 4.0, 5.0, 6.0};
    r.ratiomin = 0.5;
    eliminate(r, 3, 1, D{1.0}, 1e-10, 0.0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.a, (D{1e-20, 0.0, 3.0, 4.0, 5.0, 6.0}));
    EXPECT_EQ(r.ratiomin, 1e-20);
  }
  {
    SCOPED_TRACE("NaN pivot passes both tests");
    Front r;
    r.a = {std::nan(""), 1.0, 1.0};
    eliminate(r, 2, 1, D{1.0}, 1.0, 0.5);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(std::isnan(r.ratiomin));
  }
}

// A pivot rejected at each place of the blocks: the rows before it keep what
// a run that stops short of it leaves in them, its diagonal gets the ratio
// and positions up to z are cleared; later positions are left alone.
TEST(FrontalFactor, RejectionClearsExactly) {
  const int n = 9, npiv = 8;
  const long z = n * npiv - npiv * (npiv + 1) / 2;
  D base = qvk_test::portable_doubles(n * (n + 1) / 2, 5, -3, 0);
  for (int i = 1; i <= n; ++i) base[at(n, i, i)] = 4.0 * n + i;
  for (int q = 1; q <= npiv; ++q) {
    SCOPED_TRACE(q);
    D dorig(npiv + 1, 1.0);
    dorig[q] = 1e300;  // count runs from 1: pivot q uses dorig(1 + q)
    Front r;
    r.a = base;
    r.count = 1;
    eliminate(r, n, npiv, dorig, 0.0, 1e-200);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.status, 34);
    EXPECT_EQ(r.count, 1 + q);
    EXPECT_EQ(r.stats, q - 1);
    // Front the whole blocks before q alone: those rows match.
    const int done = (q - 1) / 3 * 3;
    Front ok;
    ok.a = base;
    eliminate(ok, n, done, D(npiv + 1, 1.0), 0.0, 1e-200);
    for (int i = 1; i <= done; ++i)
      for (int j = i; j <= n; ++j) ASSERT_EQ(r.a[at(n, i, j)], ok.a[at(n, i, j)]);
    const size_t qpos = at(n, q, q);
    EXPECT_GT(r.a[qpos], 0.0);
    EXPECT_LE(r.a[qpos], 1e-200);
    for (size_t p = qpos + 1; static_cast<long>(p) < z; ++p) {
      ASSERT_EQ(qvk_test::bits(r.a[p]), 0u) << p;
    }
  }
}

// Every path gives the plain order's bits, across the blocks of three, the
// row pairs and the vector widths, with and without a rejection.
TEST(FrontalFactor, PathsMatchPlainOrder) {
  for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 16, 17, 23, 31, 40, 67}) {
    for (int p : {0, 1, 2, 3, 4, 5, 6, 7, n / 2, n - 2, n - 1, n}) {
      if (p < 0 || p > n) continue;
      for (int reject = 0; reject < 2; ++reject) {
        SCOPED_TRACE(testing::Message() << "n " << n << " npiv " << p << " reject " << reject);
        D a0 = qvk_test::adversarial_doubles(n * (n + 1) / 2, n * 31 + p);
        for (int i = 1; i <= n; ++i) a0[at(n, i, i)] = n + 3.0 + i * 0.125;
        D dorig(p + 1, 1.0);
        if (reject && p > 0) dorig[p - 1] = -1.0;  // the last pivot's ratio is negative
        Front want;
        {
          qvk_test::IsaScope scalar(qvk::kScalar);
          want.a = a0;
          eliminate(want, n, p, dorig, 0.0, 0.0);
        }
        qvk_test::for_each_isa([&](int) {
          Front got;
          got.a = a0;
          eliminate(got, n, p, dorig, 0.0, 0.0);
          EXPECT_EQ(got.result, want.result);
          EXPECT_EQ(got.status, want.status);
          EXPECT_SAME_BITS(got.a.data(), want.a.data(), a0.size());
          EXPECT_SAME_BITS(&got.ratiomin, &want.ratiomin, 1);
        });
      }
    }
  }
}

}  // namespace

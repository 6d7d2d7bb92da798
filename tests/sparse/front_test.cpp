// Frontal pivot-block factorization.
#include <cmath>
#include <vector>

#include "QorVARDMathKernel/sparse.h"
#include "qvk_test.h"

namespace {

using D = std::vector<double>;

// Position (0-based) of (i, j), i <= j, in the upper triangle by rows.
size_t at(int n, int i, int j) { return static_cast<size_t>((i - 1) * n - (i - 1) * (i - 2) / 2 + (j - i)); }

struct Front {
  D a;
  double ratiomin = 1e300;
  int count = 0, stats = 0, status = -1, result = -1;
  float flops1 = 0.0f, flops2 = 0.0f;
};

// One call on a, from the running values in r.
Front eliminate(D a, int n, int npiv, const D &dorig, double tiny, double thr, Front r = {}) {
  r.a = std::move(a);
  r.result = easlff_nt(&n, &npiv, r.a.data(), &r.ratiomin, dorig.data(), &tiny, &thr, &r.count,
                       &r.stats, &r.flops1, &r.flops2, &r.status);
  return r;
}

// A = L diag(d, 0) L' + [0 0; 0 S] in small integers and powers of two: the
// elimination is exact and must hand back L, d and S whatever the blocking.
TEST(FrontalFactor, ExactFactorsOfIntegerFront) {
  for (int n = 0; n <= 14; ++n)
    for (int p = 0; p <= n; ++p) {
      SCOPED_TRACE(testing::Message() << "n " << n << " npiv " << p);
      auto l = [p](int i, int k) { return i == k ? 1.0 : k < i && k <= p ? (i * 3 + k * 5) % 5 - 2.0 : 0.0; };
      auto d = [](int i) { return std::ldexp(i % 2 ? 1.0 : -1.0, i % 4 - 1); };
      auto s = [](int i, int j) { return (i + 2 * j) % 7 - 3.0; };  // i <= j
      D a(n * (n + 1) / 2 + 1, 12345.0);  // the last is a guard
      double dmin = 1e300;
      for (int i = 1; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
          double v = i > p ? s(i, j) : 0.0;
          for (int k = 1; k <= p; ++k) v += l(i, k) * d(k) * l(j, k);
          a[at(n, i, j)] = v;
        }
        if (i <= p) dmin = std::min(dmin, d(i));
      }
      const Front r = eliminate(a, n, p, D(n + 1, 1.0), 0.0, -1e300);
      ASSERT_TRUE(r.result == 0 && r.status == 0 && r.count == p && r.stats == p);
      EXPECT_EQ(r.a.back(), 12345.0);
      EXPECT_EQ(r.ratiomin, dmin);
      for (int i = 1; i <= n; ++i)
        for (int j = i; j <= n; ++j)
          ASSERT_EQ(r.a[at(n, i, j)], i > p ? s(i, j) : i == j ? d(i) : l(j, i)) << i << "," << j;
    }
}

// A call continues the pivot number, the count and the smallest ratio it is
// given and adds its operation counts. Rows: two pivots; |pivot| = tiny and a
// NaN pass; ratio = thr and a tiny pivot (of a 3x3) stop, clearing up to z.
TEST(FrontalFactor, WorkedCases) {
  const double nan = std::nan("");
  const struct {  // the call's input, then what it gives (out empty: not checked)
    int n, npiv; D a, dorig; double tiny, thr, ratiomin_in; int count_in, result, status;
    D out; double ratiomin; int count, stats; float flops1, flops2;
  } cases[] = {
      {3, 2, {4, 2, 2, 3, 2, 5}, {9, 9, 4, 3}, 0, 0, 0.5, 2, 0, 0, {4, 0.5, 0.5, 2, 0.5, 3.5}, 0.5, 4, 4, 14.5f, 14.5f},
      {2, 1, {-0.5, 1, 7}, {-1}, 0.5, 0.25, 1e300, 0, 0, 0, {-0.5, -2, 9}, 0.5, 1, 1, 5.5f, 5.5f},
      {2, 1, {nan, 1, 1}, {1}, 1, 0.5, 1e300, 0, 0, 0, {}, nan, 1, 1, 5.5f, 5.5f},
      {2, 1, {0.5, 1, 7}, {2}, 0, 0.25, 1e300, 0, 1, 34, {0.25, 1, 7}, 0.25, 1, 0, 5.5f, 5.5f},
      {3, 1, {1e-20, 2, 3, 4, 5, 6}, {1}, 1e-10, 0, 0.5, 0, 1, 6, {1e-20, 0, 3, 4, 5, 6}, 1e-20, 1, 0, 10.5f, 9.5f},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(&c - cases);
    const Front r = eliminate(c.a, c.n, c.npiv, c.dorig, c.tiny, c.thr,
                              Front{{}, c.ratiomin_in, c.count_in, c.count_in, -1, -1, 0.5f, 0.5f});
    EXPECT_TRUE(r.result == c.result && r.status == c.status && r.count == c.count && r.stats == c.stats);
    EXPECT_TRUE(c.out.empty() || r.a == c.out);
    EXPECT_EQ(qvk_test::bits(r.ratiomin), qvk_test::bits(c.ratiomin));
    EXPECT_TRUE(r.flops1 == c.flops1 && r.flops2 == c.flops2);
  }
}

// A pivot rejected at each place of the blocks: earlier rows as a run that
// stops short leaves them, its diagonal the ratio, the rest up to z cleared.
TEST(FrontalFactor, RejectionClearsExactly) {
  const int n = 9, npiv = 8;
  const long z = n * npiv - npiv * (npiv + 1) / 2;
  D base = qvk_test::portable_doubles(n * (n + 1) / 2, 5, -3, 0);
  for (int i = 1; i <= n; ++i) base[at(n, i, i)] = 4.0 * n + i;
  for (int q = 1; q <= npiv; ++q) {
    SCOPED_TRACE(q);
    D dorig(npiv + 1, 1.0);
    dorig[q] = 1e300;  // count runs from 1: pivot q uses dorig(1 + q)
    const Front r = eliminate(base, n, npiv, dorig, 0.0, 1e-200, Front{{}, 1e300, 1});
    EXPECT_TRUE(r.result == 1 && r.status == 34 && r.count == 1 + q && r.stats == q - 1);
    // Front the whole blocks before q alone: those rows match.
    const int done = (q - 1) / 3 * 3;
    const Front ok = eliminate(base, n, done, D(npiv + 1, 1.0), 0.0, 1e-200);
    for (int i = 1; i <= done; ++i)
      for (int j = i; j <= n; ++j) ASSERT_EQ(r.a[at(n, i, j)], ok.a[at(n, i, j)]);
    const long qpos = static_cast<long>(at(n, q, q));
    EXPECT_TRUE(r.a[qpos] > 0.0 && r.a[qpos] <= 1e-200);
    for (long p = qpos + 1; p < z; ++p) ASSERT_EQ(qvk_test::bits(r.a[p]), 0u) << p;
  }
}

// The plain order's bits across blocks, row pairs and vector widths, with
// and without a rejection.
TEST(FrontalFactor, PathsMatchPlainOrder) {
  for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 16, 17, 23, 31, 40, 67}) {
    for (int p : {0, 1, 2, 3, 4, 5, 6, 7, n / 2, n - 2, n - 1, n})
      for (int reject = 0; reject < 2 && p >= 0 && p <= n; ++reject) {
        SCOPED_TRACE(testing::Message() << "n " << n << " npiv " << p << " reject " << reject);
        D a0 = qvk_test::adversarial_doubles(n * (n + 1) / 2, n * 31 + p);
        for (int i = 1; i <= n; ++i) a0[at(n, i, i)] = n + 3.0 + i * 0.125;
        D dorig(p + 1, 1.0);
        if (reject && p > 0) dorig[p - 1] = -1.0;  // the last pivot's ratio is negative
        Front want;
        {
          qvk_test::IsaScope scalar(qvk::kScalar);
          want = eliminate(a0, n, p, dorig, 0.0, 0.0);
        }
        qvk_test::for_each_isa([&](int) {
          const Front got = eliminate(a0, n, p, dorig, 0.0, 0.0);
          EXPECT_TRUE(got.result == want.result && got.status == want.status);
          EXPECT_SAME_BITS(got.a.data(), want.a.data(), a0.size());
          EXPECT_SAME_BITS(&got.ratiomin, &want.ratiomin, 1);
        });
      }
  }
}

}  // namespace

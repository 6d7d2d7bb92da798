// eagemv, its inner kernels and dgemvf: exact sums, bit identity of every
// path with the orders of the contract, the reference DGEMV, early exits that must
// not read, and the fatal stop.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "QorVARDMathKernel/dense.h"
#include "dense_test.h"
#include "qvk_test.h"

namespace {

using qvk_test::for_each_isa;
using std::vector;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Storage offset of logical element i (0-based) under the standard rule.
std::ptrdiff_t at(int len, int inc, int i) {
  return inc > 0 ? static_cast<std::ptrdiff_t>(i) * inc
                 : static_cast<std::ptrdiff_t>(len - 1 - i) * -inc;
}

struct Gemv {
  char trans;
  int m, n, lda, incx, incy;
  double alpha, beta;
  vector<double> a, x, y;
  int lenx() const { return trans == 'N' ? n : m; }
  int leny() const { return trans == 'N' ? m : n; }
  double A(int i, int j) const { return a[i + static_cast<std::size_t>(j) * lda]; }
  double X(int i) const { return x[at(lenx(), incx, i)]; }
  double Y(int i) const { return y[at(leny(), incy, i)]; }
  void call_eagemv() { eagemv(&trans, &m, &n, &alpha, a.data(), &lda, x.data(), &incx, &beta, y.data(), &incy, 1); }
};

// Data whose sums change bits under another order or a fused product: random
// signs and exponents over 2^-30..2^30, so terms cancel and swamp each other.
Gemv make(char trans, int m, int n, int incx, int incy, uint32_t seed, double beta = 0.75) {
  Gemv g{trans, m, n, m + 3, incx, incy, -1.3, beta, {}, {}, {}};
  g.a = qvk_test::random_doubles(static_cast<std::size_t>(g.lda) * (n > 0 ? n : 1), seed);
  g.x = qvk_test::random_doubles(static_cast<std::size_t>(std::abs(incx)) * (g.lenx() + 1), seed + 1);
  g.y = qvk_test::random_doubles(static_cast<std::size_t>(std::abs(incy)) * (g.leny() + 1), seed + 2);
  return g;
}

double start(double beta, double y) { return beta == 0.0 ? 0.0 : beta * y; }

// Plain 'N' order over rows i, columns [j0, j1): the dgemv32_n/dgemv_n formula.
double sum_n(const Gemv &g, int i, double t) {
  for (int j = 0; j < g.n; ++j) t = t + g.A(i, j) * (g.alpha * g.X(j));
  return t;
}
// Plain 'T' order over rows [i0, m): the dgemv_t formula.
double sum_t(const Gemv &g, int j, int i0, double t) {
  for (int i = i0; i < g.m; ++i) t = t + g.A(i, j) * (g.alpha * g.X(i));
  return t;
}
// Groups of four rows over [0, i1), the unit-increment dgemv32_t formula.
double sum_groups(const Gemv &g, int j, int i1, double t) {
  int i = 0;
  for (; i + 4 <= i1; i += 4) {
    double s = g.A(i, j) * g.X(i) + g.A(i + 1, j) * g.X(i + 1);
    s = s + g.A(i + 2, j) * g.X(i + 2);
    s = s + g.A(i + 3, j) * g.X(i + 3);
    t = t + g.alpha * s;
  }
  if (i < i1) {
    double s = g.A(i, j) * g.X(i);
    for (++i; i < i1; ++i) s = s + g.A(i, j) * g.X(i);
    t = t + g.alpha * s;
  }
  return t;
}

// What eagemv must give with positive increments: 'N' the plain order; 'T'
// the dgemv32_t sum over rows 1..m8 (groups of four when both increments
// are 1), then the plain terms of the rows after m8.
vector<double> expected_eagemv(const Gemv &g) {
  vector<double> y = g.y;
  for (int e = 0; e < g.leny(); ++e) {
    double t = start(g.beta, g.Y(e));
    if (g.trans == 'N') {
      t = sum_n(g, e, t);
    } else {
      const int m8 = g.m / 8 * 8;
      if (g.incx == 1 && g.incy == 1) {
        t = sum_t(g, e, m8, sum_groups(g, e, m8, t));
      } else {
        t = sum_t(g, e, 0, t);
      }
    }
    y[at(g.leny(), g.incy, e)] = t;
  }
  return y;
}

TEST(GemvExact, SmallIntegersEveryPath) {
  // Integer data: every order gives the exact sum, so this checks which
  // elements meet, independently of the order.
  for (char trans : {'N', 'T'})
    for (int m : {5, 16, 37})
      for (int n : {3, 64, 70}) {
        Gemv g = make(trans, m, n, 1, 1, 7);
        for (std::size_t i = 0; i < g.a.size(); ++i) g.a[i] = static_cast<double>(int(i % 7) - 3);
        for (std::size_t i = 0; i < g.x.size(); ++i) g.x[i] = static_cast<double>(int(i % 5) - 2);
        for (std::size_t i = 0; i < g.y.size(); ++i) g.y[i] = static_cast<double>(int(i % 3));
        g.alpha = 2.0;
        g.beta = -1.0;
        vector<double> want(g.y);
        for (int e = 0; e < g.leny(); ++e) {
          long long s = 0;
          for (int l = 0; l < g.lenx(); ++l)
            s += static_cast<long long>(trans == 'N' ? g.A(e, l) : g.A(l, e)) * static_cast<long long>(g.X(l));
          want[e] = 2.0 * static_cast<double>(s) - g.y[e];
        }
        for_each_isa([&](int) {
          Gemv h = g;
          h.call_eagemv();
          EXPECT_SAME_BITS_AT(h.y.data(), want.data(), want.size(), trans << " m=" << m << " n=" << n);
        });
      }
}

TEST(GemvBits, EagemvAtPanelBoundaries) {
  // Rows around multiples of 8 (and of the vector widths), columns around
  // multiples of 64, unit and other increments.
  const int ms[] = {1, 3, 4, 7, 8, 9, 12, 15, 16, 17, 31, 32, 33, 37, 65};
  const int ns[] = {1, 2, 4, 5, 7, 9, 16, 17, 63, 64, 65, 70, 128, 130};
  const int incs[][2] = {{1, 1}, {2, 3}, {1, 2}, {3, 1}};
  for (char trans : {'N', 'T', 'C'})
    for (int m : ms)
      for (int n : ns)
        for (auto &inc : incs) {
          if ((m * 7 + n + inc[0]) % 3 == 0 && trans == 'C') continue;  // 'C' = 'T': sample it
          const Gemv g = make(trans, m, n, inc[0], inc[1], 1000u * m + n);
          const vector<double> want = expected_eagemv(g);
          for_each_isa([&](int) {
            Gemv h = g;
            h.call_eagemv();
            EXPECT_SAME_BITS_AT(h.y.data(), want.data(), want.size(), trans << " m=" << m << " n=" << n << " inc=" << inc[0] << "," << inc[1]);
          });
        }
}

TEST(GemvBits, BetaZeroIgnoresNaNInY) {
  for (char trans : {'N', 'T'})
    for (int inc : {1, 2}) {
      Gemv g = make(trans, 37, 70, inc, inc, 5, 0.0);
      for (double &v : g.y) v = kNaN;
      const vector<double> want = expected_eagemv(g);
      for_each_isa([&](int) {
        Gemv h = g;
        h.call_eagemv();
        for (int e = 0; e < h.leny(); ++e) ASSERT_FALSE(std::isnan(h.Y(e)));
        EXPECT_SAME_BITS(h.y.data(), want.data(), want.size());
      });
    }
}

TEST(GemvBits, EveryElementTheSameAcrossPathsOnAdversarialData) {
  // NaN, infinities, signed zeros and subnormals: the paths must agree
  // bit for bit, payloads included, for every entry point.
  for (char trans : {'N', 'T'})
    for (int m : {8, 13, 40})
      for (int n : {9, 64, 67}) {
        Gemv g = make(trans, m, n, 1, 1, 77u + m * n);
        g.a = qvk_test::adversarial_doubles(g.a.size(), 3u + m);
        g.x = qvk_test::adversarial_doubles(g.x.size(), 4u + n);
        vector<double> ref;
        for_each_isa([&](int level) {
          Gemv h = g;
          h.call_eagemv();
          if (level == 0) {
            ref = h.y;
            return;
          }
          EXPECT_SAME_BITS_AT(h.y.data(), ref.data(), ref.size(), trans << m << "x" << n);
        });
      }
}

using Inner = void (*)(const int *, const int *, const double *, const double *, const int *,
                       const double *, const int *, const double *, double *, const int *);

TEST(GemvInner, EachKernelKeepsItsOrder) {
  // Direct calls, increments of both signs: dgemv32_t groups rows by four
  // only when both increments are 1 (and then a short last group).
  struct Case {
    const char *name;
    Inner f;
    char trans;
    bool groups;
  } cases[] = {{"dgemv32_n", dgemv32_n, 'N', false},
               {"dgemv_n", dgemv_n, 'N', false},
               {"dgemv32_t", dgemv32_t, 'T', true},
               {"dgemv_t", dgemv_t, 'T', false}};
  const int incs[][2] = {{1, 1}, {-1, 1}, {1, -2}, {3, 2}};
  for (const Case &c : cases)
    for (int m : {4, 6, 8, 12, 21, 36})
      for (int n : {1, 4, 11, 24})
        for (auto &inc : incs)
          for (double beta : {0.0, 1.0, -2.5}) {
            Gemv g = make(c.trans, m, n, inc[0], inc[1], 31u * m + n, beta);
            vector<double> want = g.y;
            for (int e = 0; e < g.leny(); ++e) {
              double t = start(beta, g.Y(e));
              if (c.trans == 'N')
                t = sum_n(g, e, t);
              else if (c.groups && inc[0] == 1 && inc[1] == 1)
                t = sum_groups(g, e, m, t);
              else
                t = sum_t(g, e, 0, t);
              want[at(g.leny(), g.incy, e)] = t;
            }
            for_each_isa([&](int) {
              Gemv h = g;
              c.f(&h.m, &h.n, &h.alpha, h.a.data(), &h.lda, h.x.data(), &h.incx, &h.beta,
                  h.y.data(), &h.incy);
              EXPECT_SAME_BITS_AT(h.y.data(), want.data(), want.size(), c.name << " m=" << m << " n=" << n << " inc=" << inc[0] << "," << inc[1]
                  << " beta=" << beta);
            });
          }
}

TEST(GemvInner, LongSumsAcrossPasses) {
  // Sums over more than a pass of the wide paths (512 columns or rows):
  // dgemv_n directly and through eagemv's last r rows, dgemv_t, dgemv32_t.
  for (char trans : {'N', 'T'})
    for (int len : {511, 512, 513, 1100}) {
      const int m = trans == 'N' ? 13 : len, n = trans == 'N' ? len : 19;
      const Gemv g = make(trans, m, n, 1, 1, 60u + len);
      const vector<double> want = expected_eagemv(g);
      vector<double> plain = g.y;
      for (int e = 0; e < g.leny(); ++e)
        plain[e] = trans == 'N' ? sum_n(g, e, start(g.beta, g.Y(e))) : sum_t(g, e, 0, start(g.beta, g.Y(e)));
      for_each_isa([&](int) {
        Gemv h = g;
        h.call_eagemv();
        EXPECT_SAME_BITS_AT(h.y.data(), want.data(), want.size(), trans << " len=" << len);
        Gemv d = g;
        (trans == 'N' ? dgemv_n : dgemv_t)(&d.m, &d.n, &d.alpha, d.a.data(), &d.lda, d.x.data(),
                                           &d.incx, &d.beta, d.y.data(), &d.incy);
        EXPECT_SAME_BITS_AT(d.y.data(), plain.data(), plain.size(), trans << " direct len=" << len);
      });
    }
}

TEST(GemvInner, TransposedGroupsOfFourAtMEight) {
  // Column (1, 2^53, -2^53, 1) twice: by groups of four each group gives
  // ((1 + 2^53) - 2^53) + 1 = 1, so y = 2; a running sum keeps the second
  // group's leading 1 (2 + 2^53 is exact) and gives 3.
  const double big = std::ldexp(1.0, 53);
  const double col[8] = {1.0, big, -big, 1.0, 1.0, big, -big, 1.0};
  for (int incx : {1, 2}) {
    Gemv g = make('T', 8, 3, incx, 1, 9, 0.0);
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 8; ++i) g.a[i + j * g.lda] = col[i];
    for (double &v : g.x) v = 1.0;
    g.alpha = 1.0;
    for_each_isa([&](int) {
      Gemv h = g;
      h.call_eagemv();
      for (int j = 0; j < 3; ++j) EXPECT_EQ(h.y[j], incx == 1 ? 2.0 : 3.0) << "incx " << incx;
      Gemv p = g;
      dgemv_t(&p.m, &p.n, &p.alpha, p.a.data(), &p.lda, p.x.data(), &p.incx, &p.beta, p.y.data(),
              &p.incy);
      for (int j = 0; j < 3; ++j) EXPECT_EQ(p.y[j], 3.0);
    });
  }
}

TEST(GemvEarly, AlphaZeroClearsOrScalesWithoutReadingAOrX) {
  dense_test::NoAccessPage guard;
  double *p = guard.get();
  const int m = 6, n = 4, lda = 6, one = 1, minus2 = -2;
  const double alpha = 0.0;
  for (char t : {'N', 'T'}) {
    const int leny = t == 'N' ? m : n;
    vector<double> y(2 * leny, kNaN);
    const double zero = 0.0;
    eagemv(&t, &m, &n, &alpha, p, &lda, p, &one, &zero, y.data(), &minus2, 1);
    for (int i = 0; i < 2 * leny; ++i)
      EXPECT_EQ(qvk_test::bits(y[i]), i % 2 == 0 ? 0u : qvk_test::bits(kNaN)) << i;
    vector<double> z(leny, 1.5), inf(leny, std::numeric_limits<double>::infinity());
    const double two = 2.0;
    eagemv(&t, &m, &n, &alpha, p, &lda, p, &one, &two, z.data(), &one, 1);
    for (double v : z) EXPECT_EQ(v, 3.0);
  }
}

TEST(GemvOracle, DgemvfAndNegativeIncrementsMatchReferenceDgemv) {
  auto ref = qvk_test::ref_blas<dense_test::RefDgemv>("dgemv_");
  ASSERT_ORACLE(ref);
  const int incs[][2] = {{-1, 1}, {1, -1}, {-2, -3}, {2, 3}, {1, 1}};
  for (char trans : {'N', 'T', 'C'})
    for (int m : {1, 7, 20})
      for (int n : {1, 9, 66})
        for (auto &inc : incs)
          for (double beta : {0.0, 1.0, 0.3}) {
            Gemv g = make(trans, m, n, inc[0], inc[1], 500u + m * n, beta);
            Gemv want = g, mine = g;
            ref(&want.trans, &want.m, &want.n, &want.alpha, want.a.data(), &want.lda, want.x.data(),
                &want.incx, &want.beta, want.y.data(), &want.incy, 1);
            dgemvf(&mine.trans, &mine.m, &mine.n, &mine.alpha, mine.a.data(), &mine.lda,
                   mine.x.data(), &mine.incx, &mine.beta, mine.y.data(), &mine.incy, 1);
            EXPECT_ORACLE_BITS(mine.y.data(), want.y.data(), want.y.size());
            if (inc[0] < 0 || inc[1] < 0) {
              // eagemv hands negative increments to dgemvf.
              for_each_isa([&](int) {
                Gemv h = g;
                h.call_eagemv();
                EXPECT_SAME_BITS(h.y.data(), mine.y.data(), mine.y.size());
              });
            }
          }
}

TEST(GemvErrors, DgemvfReportsThePositionAndLeavesY) {
  struct Bad {
    char trans;
    int m, n, lda, incx, incy, pos;
  } cases[] = {{'n', 2, 2, 2, 1, 1, 1}, {'X', 2, 2, 2, 1, 1, 1}, {'N', -1, 2, 2, 1, 1, 2},
               {'T', 2, -1, 2, 1, 1, 3}, {'N', 3, 2, 2, 1, 1, 6}, {'N', 0, 2, 0, 1, 1, 6},
               {'N', 2, 2, 2, 0, 1, 8},  {'T', 2, 2, 2, 1, 0, 11}, {'T', -1, 2, 0, 0, 0, 2}};
  for (const Bad &b : cases) {
    vector<double> a(16, 1.0), x(4, 1.0), y(4, 7.0);
    const double alpha = 1.0, beta = 0.0;
    testing::internal::CaptureStdout();
    dgemvf(&b.trans, &b.m, &b.n, &alpha, a.data(), &b.lda, x.data(), &b.incx, &beta, y.data(),
           &b.incy, 1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "DGEMV Error : " + std::to_string(b.pos) + "\n");
    for (double v : y) EXPECT_EQ(v, 7.0);
  }
}

void call_bad_eagemv(char trans, int m, int n, int lda, int incx, int incy) {
  vector<double> a(16, 1.0), x(4, 1.0), y(4, 1.0);
  const double alpha = 1.0, beta = 0.0;
  eagemv(&trans, &m, &n, &alpha, a.data(), &lda, x.data(), &incx, &beta, y.data(), &incy, 1);
}

TEST(GemvDeathTest, EveryBadArgumentStopsTheProcess) {
  const char *msg = "^DGEMV Fatal Error\n$";
  EXPECT_EXIT(call_bad_eagemv('n', 2, 2, 2, 1, 1), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemv('t', 2, 2, 2, 1, 1), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemv('X', 2, 2, 2, 1, 1), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemv('N', -1, 2, 2, 1, 1), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemv('T', 2, -1, 2, 1, 1), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemv('N', 3, 2, 2, 1, 1), testing::ExitedWithCode(1), msg);
  // The checks come before the quick returns.
  EXPECT_EXIT(call_bad_eagemv('N', 0, 2, 0, 1, 1), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemv('C', 2, 2, 2, 0, 1), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemv('N', 2, 2, 2, 1, 0), testing::ExitedWithCode(1), msg);
}

}  // namespace

// eagemm: exact sums, bit identity of every path with the contracted order
// at every block boundary, the reference DGEMM, early exits that must not
// read, a 1 MiB thread stack, and the fatal stop.
#include <pthread.h>

#include <cmath>
#include <limits>
#include <vector>

#include "QorVARDMathKernel/dense.h"
#include "dense_test.h"
#include "qvk_test.h"

namespace {

using qvk_test::for_each_isa;
using std::vector;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

bool is_t(char t) { return t != 'N' && t != 'n'; }

struct Gemm {
  char ta, tb;
  int m, n, k, lda, ldb, ldc;
  double alpha, beta;
  vector<double> a, b, c;
  double opA(int i, int l) const {
    return is_t(ta) ? a[l + static_cast<std::size_t>(i) * lda] : a[i + static_cast<std::size_t>(l) * lda];
  }
  double opB(int l, int j) const {
    return is_t(tb) ? b[j + static_cast<std::size_t>(l) * ldb] : b[l + static_cast<std::size_t>(j) * ldb];
  }
  void call() {
    eagemm(&ta, &tb, &m, &n, &k, &alpha, a.data(), &lda, b.data(), &ldb, &beta, c.data(), &ldc, 1, 1);
  }
};

Gemm make(char ta, char tb, int m, int n, int k, uint32_t seed, double beta = -0.625) {
  Gemm g{ta, tb, m, n, k, 0, 0, m + 2, -1.1, beta, {}, {}, {}};
  const int rows_a = is_t(ta) ? k : m, cols_a = is_t(ta) ? m : k;
  const int rows_b = is_t(tb) ? n : k, cols_b = is_t(tb) ? k : n;
  g.lda = (rows_a > 1 ? rows_a : 1) + 1;
  g.ldb = (rows_b > 1 ? rows_b : 1) + 3;
  g.a = qvk_test::random_doubles(static_cast<std::size_t>(g.lda) * (cols_a > 0 ? cols_a : 1), seed);
  g.b = qvk_test::random_doubles(static_cast<std::size_t>(g.ldb) * (cols_b > 0 ? cols_b : 1), seed + 1);
  g.c = qvk_test::random_doubles(static_cast<std::size_t>(g.ldc) * (n > 0 ? n : 1), seed + 2);
  return g;
}

// The order of every element: t from beta*c (+0.0 when beta = 0), then one
// rounded product at a time for l increasing, alpha folded into op(A) when
// transb means no transpose and into op(B) otherwise.
vector<double> expected(const Gemm &g) {
  vector<double> c = g.c;
  for (int j = 0; j < g.n; ++j)
    for (int i = 0; i < g.m; ++i) {
      double &cij = c[i + static_cast<std::size_t>(j) * g.ldc];
      double t = g.beta == 0.0 ? 0.0 : g.beta * cij;
      for (int l = 0; l < g.k; ++l) {
        const double p = is_t(g.tb) ? g.opA(i, l) : g.alpha * g.opA(i, l);
        const double q = is_t(g.tb) ? g.alpha * g.opB(l, j) : g.opB(l, j);
        t = t + p * q;
      }
      cij = t;
    }
  return c;
}

void check_paths(const Gemm &g, const char *note) {
  const vector<double> want = expected(g);
  for_each_isa([&](int) {
    Gemm h = g;
    h.call();
    EXPECT_SAME_BITS_AT(h.c.data(), want.data(), want.size(),
                        note << " " << g.ta << g.tb << " m=" << g.m << " n=" << g.n << " k=" << g.k
                             << " beta=" << g.beta);
  });
}

const char kLetters[][2] = {{'N', 'N'}, {'T', 'N'}, {'N', 'T'}, {'T', 'T'},
                            {'c', 'n'}, {'n', 'c'}, {'C', 't'}, {'t', 'C'}};

TEST(GemmExact, SmallIntegersEveryPath) {
  // Integer data: sums are exact in every order, so this checks which terms
  // meet (and the alpha folding) independently of the order.
  for (auto &tt : kLetters)
    for (int m : {7, 33})
      for (int n : {5, 18}) {
        Gemm g = make(tt[0], tt[1], m, n, 13, 3);
        for (std::size_t i = 0; i < g.a.size(); ++i) g.a[i] = static_cast<double>(int(i % 9) - 4);
        for (std::size_t i = 0; i < g.b.size(); ++i) g.b[i] = static_cast<double>(int(i % 7) - 3);
        for (std::size_t i = 0; i < g.c.size(); ++i) g.c[i] = static_cast<double>(int(i % 5) - 2);
        g.alpha = 3.0;
        g.beta = 2.0;
        vector<double> want = g.c;
        for (int j = 0; j < n; ++j)
          for (int i = 0; i < m; ++i) {
            long long s = 0;
            for (int l = 0; l < g.k; ++l)
              s += static_cast<long long>(g.opA(i, l)) * static_cast<long long>(g.opB(l, j));
            want[i + j * g.ldc] = 3.0 * static_cast<double>(s) + 2.0 * g.c[i + j * g.ldc];
          }
        for_each_isa([&](int) {
          Gemm h = g;
          h.call();
          EXPECT_SAME_BITS_AT(h.c.data(), want.data(), want.size(), tt[0] << tt[1] << m << "x" << n);
        });
      }
}

TEST(GemmBits, RowsAndColumnsAroundEveryTile) {
  // Rows around the 32-row panel and the vector tiles, columns around the
  // 4-column register block and the wider tiles.
  const int ms[] = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 23, 24, 25, 31, 32, 33, 37, 47, 48, 49, 97};
  const int ns[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 17};
  int s = 0;
  for (auto &tt : kLetters)
    for (int m : ms)
      for (int n : ns) {
        if (++s % 3 != 0) continue;  // a third of the grid, every letter pair
        check_paths(make(tt[0], tt[1], m, n, 19, 100u + s), "tiles");
      }
}

TEST(GemmBits, DepthAroundBlocksOfL) {
  // k around the blocks of 100 and of the wider paths' depth blocks: an
  // element's sum runs on across them, reloaded exactly.
  for (auto &tt : kLetters)
    for (int k : {1, 2, 99, 100, 101, 250, 255, 256, 257, 385, 513})
      check_paths(make(tt[0], tt[1], 29, 11, k, 7u * k), "depth");
}

TEST(GemmBits, ColumnBlocks) {
  // transb 'N': columns by 1,024 (n = 1,024, 1,025, 2,000); transb 'T':
  // blocks of 100 and the wider paths' column blocks.
  for (int n : {1024, 1025, 2000}) check_paths(make('N', 'N', 9, n, 5, 11u + n), "wide n");
  for (int n : {99, 100, 101, 201, 385}) check_paths(make('N', 'T', 26, n, 23, 13u + n), "NT");
  for (int n : {100, 257}) check_paths(make('T', 'T', 45, n, 7, 17u + n), "TT");
}

TEST(GemmBits, LargerRowPanels) {
  // Rows past the wider paths' row blocks (several panels, short last one).
  for (auto &tt : kLetters) {
    const int m = (tt[0] == 'N' || tt[0] == 'n') ? 300 : 161;
    check_paths(make(tt[0], tt[1], m, 10, 70, 19u + m), "rows");
  }
}

TEST(GemmBits, BetaZeroNeverReadsC) {
  for (auto &tt : kLetters) {
    Gemm g = make(tt[0], tt[1], 37, 12, 101, 23, 0.0);
    for (double &v : g.c) v = kNaN;
    const vector<double> want = expected(g);
    for_each_isa([&](int) {
      Gemm h = g;
      h.call();
      EXPECT_SAME_BITS(h.c.data(), want.data(), want.size());
      for (int j = 0; j < h.n; ++j) {
        for (int i = 0; i < h.m; ++i) ASSERT_FALSE(std::isnan(h.c[i + j * h.ldc]));
        // Rows m+1..ldc keep what they held.
        for (int i = h.m; i < h.ldc; ++i) ASSERT_TRUE(std::isnan(h.c[i + j * h.ldc]));
      }
    });
  }
}

TEST(GemmBits, AdversarialDataSameOnEveryPath) {
  // NaN payloads, infinities, signed zeros, subnormals in A, B and C.
  for (auto &tt : kLetters) {
    Gemm g = make(tt[0], tt[1], 27, 10, 40, 29);
    g.a = qvk_test::adversarial_doubles(g.a.size(), 31);
    g.b = qvk_test::adversarial_doubles(g.b.size(), 37);
    g.c = qvk_test::adversarial_doubles(g.c.size(), 41);
    vector<double> ref;
    for_each_isa([&](int level) {
      Gemm h = g;
      h.call();
      if (level == 0) {
        ref = h.c;
        return;
      }
      EXPECT_SAME_BITS_AT(h.c.data(), ref.data(), ref.size(), tt[0] << tt[1]);
    });
  }
}

TEST(GemmOracle, CloseToReferenceDgemm) {
  auto ref = qvk_test::ref_blas<dense_test::RefDgemm>("dgemm_");
  ASSERT_ORACLE(ref);
  const double eps = std::ldexp(1.0, -52);
  for (auto &tt : kLetters)
    for (int k : {1, 57, 230}) {
      Gemm g = make(tt[0], tt[1], 35, 21, k, 43u + k);
      Gemm want = g, mine = g;
      ref(&want.ta, &want.tb, &want.m, &want.n, &want.k, &want.alpha, want.a.data(), &want.lda,
          want.b.data(), &want.ldb, &want.beta, want.c.data(), &want.ldc, 1, 1);
      mine.call();
      for (int j = 0; j < g.n; ++j)
        for (int i = 0; i < g.m; ++i) {
          // Both are sums of k+1 rounded terms: they differ by at most about
          // 2(k+2) eps times the sum of magnitudes.
          double mag = std::fabs(g.beta * g.c[i + j * g.ldc]);
          for (int l = 0; l < k; ++l) mag += std::fabs(g.alpha * g.opA(i, l) * g.opB(l, j));
          const std::size_t at = i + static_cast<std::size_t>(j) * g.ldc;
          ASSERT_LE(std::fabs(mine.c[at] - want.c[at]), 2.0 * (k + 2) * eps * mag)
              << tt[0] << tt[1] << " k=" << k << " (" << i << "," << j << ")";
        }
    }
}

TEST(GemmEarly, AlphaZeroOrKZeroScalesOrClearsC) {
  dense_test::NoAccessPage guard;
  double *p = guard.get();
  const int m = 5, n = 4, k = 3, zero = 0;
  const double alpha0 = 0.0, alpha = 2.0, three = 3.0, beta0 = 0.0;
  for (int ldc : {5, 7}) {
    // alpha = 0: A and B are not read, C is scaled; rows past m untouched.
    vector<double> c(ldc * n);
    for (std::size_t i = 0; i < c.size(); ++i) c[i] = static_cast<double>(i);
    c[1] = kNaN;
    eagemm("N", "N", &m, &n, &k, &alpha0, p, &m, p, &k, &three, c.data(), &ldc, 1, 1);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < ldc; ++i) {
        const double was = i + j * ldc == 1 ? kNaN : static_cast<double>(i + j * ldc);
        const double v = c[i + j * ldc];
        if (i < m && !std::isnan(was))
          EXPECT_EQ(v, 3.0 * was);
        else if (i >= m)
          EXPECT_EQ(v, was);
        else
          EXPECT_TRUE(std::isnan(v));
      }
    // k = 0, beta = 0: cleared to +0.0 even over NaN.
    vector<double> d(ldc * n, kNaN);
    eagemm("T", "N", &m, &n, &zero, &alpha, p, &m, p, &m, &beta0, d.data(), &ldc, 1, 1);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < ldc; ++i) {
        if (i < m)
          EXPECT_EQ(qvk_test::bits(d[i + j * ldc]), 0u);
        else
          EXPECT_TRUE(std::isnan(d[i + j * ldc]));
      }
  }
}

void *big_product(void *ok) {
  // Sizes past every block of every path, on a 1 MiB stack; the work area
  // depends on transb only.
  for (const char *tt : {"NN", "TT"}) {
    Gemm g = make(tt[0], tt[1], 200, 210, 300, 47);
    g.call();
    if (std::isnan(g.c[0])) *static_cast<bool *>(ok) = false;
  }
  return nullptr;
}

TEST(GemmStack, RunsOnAOneMebibyteThreadStack) {
  for_each_isa([&](int) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 1u << 20), 0);
    pthread_t th;
    bool ok = true;
    ASSERT_EQ(pthread_create(&th, &attr, big_product, &ok), 0);
    pthread_join(th, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_TRUE(ok);
  });
}

void call_bad_eagemm(char ta, char tb, int m, int n, int k, int lda, int ldb, int ldc) {
  vector<double> a(64, 1.0), b(64, 1.0), c(64, 1.0);
  const double alpha = 1.0, beta = 0.0;
  eagemm(&ta, &tb, &m, &n, &k, &alpha, a.data(), &lda, b.data(), &ldb, &beta, c.data(), &ldc, 1, 1);
}

TEST(GemmDeathTest, EveryBadArgumentStopsTheProcess) {
  const char *msg = "^DGEMM FATAL ERROR\n$";
  EXPECT_EXIT(call_bad_eagemm('X', 'N', 2, 2, 2, 2, 2, 2), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemm('N', 'x', 2, 2, 2, 2, 2, 2), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemm('N', 'N', -1, 2, 2, 2, 2, 2), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemm('N', 'N', 2, -1, 2, 2, 2, 2), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemm('N', 'N', 2, 2, -1, 2, 2, 2), testing::ExitedWithCode(1), msg);
  // lda against m ('N') or k (transpose); ldb against k ('N') or n.
  EXPECT_EXIT(call_bad_eagemm('N', 'N', 3, 2, 2, 2, 2, 3), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemm('t', 'N', 2, 2, 3, 2, 3, 2), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemm('N', 'N', 2, 2, 3, 2, 2, 2), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemm('N', 'c', 2, 3, 2, 2, 2, 2), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(call_bad_eagemm('N', 'N', 3, 2, 2, 3, 2, 2), testing::ExitedWithCode(1), msg);
  // k = 0 still checks when beta != 1.
  EXPECT_EXIT(call_bad_eagemm('N', 'N', 2, 2, 0, 0, 1, 2), testing::ExitedWithCode(1), msg);
}

}  // namespace

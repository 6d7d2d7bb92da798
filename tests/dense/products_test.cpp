// eagemv, its inner kernels, dgemvf and eagemm: every path and model against
// the order, the reference BLAS, early exits, stack, heap, stops, checksum.
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "QorVARDMathKernel/dense.h"
#include "kernels/dense/cores.h"
#include "qvk_test.h"

// This program's malloc counts calls while counting (the sanitizers own it).
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define QVK_COUNT_MALLOC 1
static bool g_counting = false;
static long g_calls = 0;
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void *malloc(size_t n) { return g_calls += g_counting, __libc_malloc(n); }
void *calloc(size_t n, size_t size) { return g_calls += g_counting, __libc_calloc(n, size); }
void *realloc(void *p, size_t n) { return g_calls += g_counting, __libc_realloc(p, n); }
}
#endif

namespace {

using qvk_test::Vec;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Every path under each processor model's tuning not seen in an earlier one.
template <class F>
void for_each_path(F body) {
  std::set<std::tuple<int, int, int>> seen;
  for (int core = 0; core < qvk::kCoreCount; ++core) {
    const qvk::CoreTuning &t = qvk::core_tuning(core);
    if (!seen.insert({t.gemm_shape, t.gemm_level, t.gemv_level}).second) continue;
    SCOPED_TRACE(std::string("model ") + t.name);
    qvk::core_force(core);
    qvk_test::for_each_isa(body);
  }
  qvk::core_force(-1);
}

// Runs op on a copy of p on every path and model; op returns its output.
template <class P, class Op>
void expect_every_path(const P &p, const Vec &want, Op op) {
  for_each_path([&](int) {
    P h = p;
    const Vec &got = op(h);
    EXPECT_SAME_BITS(got.data(), want.data(), want.size());
  });
}

// Storage offset of logical element i (0-based) under the standard rule.
ptrdiff_t at(int len, int inc, int i) {
  return inc > 0 ? static_cast<ptrdiff_t>(i) * inc : static_cast<ptrdiff_t>(len - 1 - i) * -inc;
}

struct Gemv {
  char trans;
  int m, n, lda, incx, incy;
  double alpha, beta;
  Vec a, x, y;
  int lenx() const { return trans == 'N' ? n : m; }
  int leny() const { return trans == 'N' ? m : n; }
  double A(int i, int j) const { return a[i + static_cast<size_t>(j) * lda]; }
  double X(int i) const { return x[at(lenx(), incx, i)]; }
  double &Y(int i) { return y[at(leny(), incy, i)]; }
  template <class F>  // eagemv, dgemvf or the reference dgemv
  Vec &call(F f) {
    f(&trans, &m, &n, &alpha, a.data(), &lda, x.data(), &incx, &beta, y.data(), &incy, 1);
    return y;
  }
};

// Random signs and exponents: another order or a fused product changes bits.
Gemv make_gemv(char trans, int m, int n, int incx, int incy, uint32_t seed, double beta = 0.75) {
  Gemv g{trans, m, n, m + 3, incx, incy, -1.3, beta, {}, {}, {}};
  g.a = qvk_test::random_doubles(static_cast<size_t>(g.lda) * std::max(n, 1), seed);
  g.x = qvk_test::random_doubles(static_cast<size_t>(std::abs(incx)) * (g.lenx() + 1), seed + 1);
  g.y = qvk_test::random_doubles(static_cast<size_t>(std::abs(incy)) * (g.leny() + 1), seed + 2);
  return g;
}

// groups: at unit increments 'T' sums rows by fours, eagemv up to the last
// multiple of 8, dgemv32_t over all rows.
struct GemvKernel {
  const char *name;
  char trans;
  decltype(&dgemv_n) inner;
  int groups;
  Vec &run(Gemv &g) const {
    if (!inner) return g.call(eagemv);
    inner(&g.m, &g.n, &g.alpha, g.a.data(), &g.lda, g.x.data(), &g.incx, &g.beta, g.y.data(), &g.incy);
    return g.y;
  }
} const kGemv[] = {{"eagemv", 'N', nullptr, 0},  {"eagemv", 'T', nullptr, 8},       {"eagemv", 'C', nullptr, 8},
                   {"dgemv_n", 'N', dgemv_n, 0}, {"dgemv32_n", 'N', dgemv32_n, 0}, {"dgemv_t", 'T', dgemv_t, 0},
                   {"dgemv32_t", 'T', dgemv32_t, 1}};

// The contracted order: t from beta*y (+0.0 at beta = 0), then for j (or i)
// increasing a(i,j)*(alpha*x(j)), or alpha times each group's sum of four.
Vec expected(const GemvKernel &k, Gemv g) {
  const int grouped = g.incx != 1 || g.incy != 1 || !k.groups ? 0 : k.groups == 8 ? g.m / 8 * 8 : g.m;
  for (int e = 0; e < g.leny(); ++e) {
    double t = g.beta == 0.0 ? 0.0 : g.beta * g.Y(e);
    if (g.trans == 'N') {
      for (int j = 0; j < g.n; ++j) t = t + g.A(e, j) * (g.alpha * g.X(j));
    } else {
      for (int i = 0; i < grouped; i += 4) {
        double s = g.A(i, e) * g.X(i);
        for (int r = i + 1; r < std::min(i + 4, grouped); ++r) s = s + g.A(r, e) * g.X(r);
        t = t + g.alpha * s;
      }
      for (int i = grouped; i < g.m; ++i) t = t + g.A(i, e) * (g.alpha * g.X(i));
    }
    g.Y(e) = t;
  }
  return g.y;
}

// Rows around 8, the vector widths and 1,024, columns around 64 and 512;
// strides, betas (0 over NaN in y), adversarial A and x on a third.
TEST(GemvBits, EveryKernelKeepsItsOrderOnEveryPath) {
  std::vector<std::pair<int, int>> shapes;
  for (int m : {1, 3, 4, 6, 7, 8, 9, 12, 15, 16, 17, 21, 31, 32, 33, 36, 37, 65})
    for (int n : {1, 2, 4, 5, 7, 9, 16, 17, 63, 64, 65, 70, 128, 130}) shapes.push_back({m, n});
  for (int len : {511, 512, 513, 1100}) shapes.insert(shapes.end(), {{13, len}, {len, 19}});
  for (int m : {1025, 1031, 1043})
    for (int n : {1, 3, 6, 67}) shapes.push_back({m, n});
  const int incs[][2] = {{1, 1}, {2, 3}, {3, 1}, {1, 2}, {-1, 1}, {1, -2}};
  const double betas[] = {0.75, 0.0, 1.0, -2.5};
  std::mt19937 pick(1);
  for (const GemvKernel &k : kGemv)
    for (const auto &shape : shapes)
      for (int unit : {1, 0}) {
        const int *inc = incs[unit ? 0 : 1 + pick() % (k.inner ? 5 : 3)];
        const uint32_t seed = pick();
        const double beta = betas[pick() % 4];
        Gemv g = make_gemv(k.trans, shape.first, shape.second, inc[0], inc[1], seed, beta);
        if (beta == 0.0) std::fill(g.y.begin(), g.y.end(), kNaN);
        if (seed % 3 == 0) g.a = qvk_test::adversarial_doubles(g.a.size(), seed), g.x = qvk_test::adversarial_doubles(g.x.size(), seed + 1);
        SCOPED_TRACE(testing::Message() << k.name << " " << k.trans << " m=" << g.m << " n=" << g.n
                                        << " inc=" << inc[0] << "," << inc[1] << " beta=" << beta);
        expect_every_path(g, expected(k, g), [&](Gemv &h) -> Vec & { return k.run(h); });
      }
}

TEST(GemvOracle, DgemvfAndNegativeIncrementsMatchReferenceDgemv) {
  using RefDgemv = void (*)(const char *, const int *, const int *, const double *, const double *, const int *,
                            const double *, const int *, const double *, double *, const int *, size_t);
  auto ref = qvk_test::ref_blas<RefDgemv>("dgemv_");
  ASSERT_ORACLE(ref);
  const int incs[][2] = {{-1, 1}, {1, -1}, {-2, -3}, {2, 3}, {1, 1}};
  for (char trans : {'N', 'T', 'C'})
    for (int m : {1, 7, 20})
      for (int n : {1, 9, 66})
        for (auto &inc : incs)
          for (double beta : {0.0, 1.0, 0.3}) {
            SCOPED_TRACE(testing::Message() << trans << " m=" << m << " n=" << n << " inc=" << inc[0] << ","
                                            << inc[1] << " beta=" << beta);
            Gemv g = make_gemv(trans, m, n, inc[0], inc[1], 500u + m * n, beta), want = g, mine = g;
            EXPECT_ORACLE_BITS(mine.call(dgemvf).data(), want.call(ref).data(), want.y.size());
            if (inc[0] < 0 || inc[1] < 0) expect_every_path(g, mine.y, [](Gemv &h) -> Vec & { return h.call(eagemv); });
          }
}

bool is_t(char t) { return t != 'N' && t != 'n'; }

struct Gemm {
  char ta, tb;
  int m, n, k, lda, ldb, ldc;
  double alpha, beta;
  Vec a, b, c;
  double opA(int i, int l) const { return is_t(ta) ? a[l + size_t(i) * lda] : a[i + size_t(l) * lda]; }
  double opB(int l, int j) const { return is_t(tb) ? b[j + size_t(l) * ldb] : b[l + size_t(j) * ldb]; }
  template <class F = decltype(&eagemm)>  // or the reference dgemm
  Vec &call(F f = eagemm) {
    f(&ta, &tb, &m, &n, &k, &alpha, a.data(), &lda, b.data(), &ldb, &beta, c.data(), &ldc, 1, 1);
    return c;
  }
};

Gemm make_gemm(char ta, char tb, int m, int n, int k, uint32_t seed, double beta = -0.625) {
  Gemm g{ta, tb, m, n, k, std::max(is_t(ta) ? k : m, 1) + 1, std::max(is_t(tb) ? n : k, 1) + 3, m + 2, -1.1, beta,
         {}, {}, {}};
  g.a = qvk_test::random_doubles(static_cast<size_t>(g.lda) * std::max(is_t(ta) ? m : k, 1), seed);
  g.b = qvk_test::random_doubles(static_cast<size_t>(g.ldb) * std::max(is_t(tb) ? k : n, 1), seed + 1);
  g.c = qvk_test::random_doubles(static_cast<size_t>(g.ldc) * std::max(n, 1), seed + 2);
  return g;
}

// The order: t from beta*c (+0.0 at beta = 0), then a rounded product for l
// increasing, alpha folded into op(A) at transb 'N', into op(B) otherwise;
// none at alpha = 0, where A and B are not read.
Vec expected(const Gemm &g) {
  Vec c = g.c;
  for (int j = 0; j < g.n; ++j)
    for (int i = 0; i < g.m; ++i) {
      double &cij = c[i + static_cast<size_t>(j) * g.ldc];
      double t = g.beta == 0.0 ? 0.0 : g.beta * cij;
      for (int l = 0; l < (g.alpha == 0.0 ? 0 : g.k); ++l)
        t = t + (is_t(g.tb) ? g.opA(i, l) * (g.alpha * g.opB(l, j)) : (g.alpha * g.opA(i, l)) * g.opB(l, j));
      cij = t;
    }
  return c;
}

const char kLetters[][2] = {{'N', 'N'}, {'T', 'N'}, {'N', 'T'}, {'T', 'T'}, {'c', 'n'}, {'n', 'c'}, {'C', 't'}, {'t', 'C'}};

// Grids around the row panel and tiles, the depth (and none), column and row
// blocks; betas (0 over NaN in C), adversarial data on a third; on a quarter
// alpha = 0, on a quarter ldc = m (C cleared or scaled in one call).
TEST(GemmBits, EveryPathKeepsTheOrderAtEveryBlockBoundary) {
  const struct {
    std::vector<int> ms, ns, ks;
    unsigned every;
  } grids[] = {{{1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 23, 24, 25, 31, 32, 33, 37, 47, 48, 49, 97},
                {1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 17}, {19}, 3},
               {{29}, {11}, {0, 1, 2, 99, 100, 101, 250, 255, 256, 257, 385, 513}, 1},
               {{26}, {99, 100, 101, 201, 257, 385, 1024, 1025, 2000}, {7}, 1},
               {{161, 300}, {10}, {70}, 1}};
  const double betas[] = {-0.625, 0.0, 1.0};
  std::mt19937 pick(2);
  for (const auto &grid : grids)
    for (auto &tt : kLetters)
      for (int m : grid.ms)
        for (int n : grid.ns)
          for (int k : grid.ks) {
            if (pick() % grid.every) continue;
            uint32_t seed = pick();
            Gemm g = make_gemm(tt[0], tt[1], m, n, k, seed, betas[pick() % 3]);
            if (pick() % 4 == 0) g.alpha = 0.0;
            if (pick() % 4 == 0) g.ldc = m;
            if (seed % 3 == 0)
              for (Vec *v : {&g.a, &g.b, &g.c}) *v = qvk_test::adversarial_doubles(v->size(), seed++);
            if (g.beta == 0.0) std::fill(g.c.begin(), g.c.end(), kNaN);
            SCOPED_TRACE(testing::Message() << tt[0] << tt[1] << " m=" << m << " n=" << n << " k=" << k
                                            << " beta=" << g.beta);
            expect_every_path(g, expected(g), [](Gemm &h) -> Vec & { return h.call(); });
          }
}

// Sums of k+1 rounded terms in two orders: within 2(k+2) eps of the magnitudes.
TEST(GemmOracle, CloseToReferenceDgemm) {
  using RefDgemm = void (*)(const char *, const char *, const int *, const int *, const int *, const double *,
                            const double *, const int *, const double *, const int *, const double *, double *,
                            const int *, size_t, size_t);
  auto ref = qvk_test::ref_blas<RefDgemm>("dgemm_");
  ASSERT_ORACLE(ref);
  for (auto &tt : kLetters)
    for (int k : {1, 57, 230}) {
      Gemm g = make_gemm(tt[0], tt[1], 35, 21, k, 43u + k), want = g, mine = g;
      want.call(ref);
      mine.call();
      for (int j = 0; j < g.n; ++j)
        for (int i = 0; i < g.m; ++i) {
          const size_t at = i + static_cast<size_t>(j) * g.ldc;
          double mag = std::fabs(g.beta * g.c[at]);
          for (int l = 0; l < k; ++l) mag += std::fabs(g.alpha * g.opA(i, l) * g.opB(l, j));
          ASSERT_LE(std::fabs(mine.c[at] - want.c[at]), 2.0 * (k + 2) * 0x1p-52 * mag)
              << tt[0] << tt[1] << " k=" << k << " (" << i << "," << j << ")";
        }
    }
}

// alpha = 0 or k = 0 reads no matrix (null here): y is cleared to +0.0 at
// beta = 0, skipping the others at increment -2, or scaled; C is scaled.
TEST(EarlyExit, AlphaZeroOrKZeroReadsNoMatrix) {
  const int m = 5, n = 4, k = 3, zero = 0, one = 1, minus2 = -2;
  const double alpha0 = 0.0, alpha = 2.0, three = 3.0, beta0 = 0.0;
  for (char t : {'N', 'T'}) {
    const int leny = t == 'N' ? m : n;
    Vec y(2 * leny, kNaN), z(leny, 1.5);
    eagemv(&t, &m, &n, &alpha0, nullptr, &m, nullptr, &one, &beta0, y.data(), &minus2, 1);
    for (int i = 0; i < 2 * leny; ++i) EXPECT_EQ(qvk_test::bits(y[i]), i % 2 ? qvk_test::bits(kNaN) : 0u) << i;
    eagemv(&t, &m, &n, &alpha0, nullptr, &m, nullptr, &one, &three, z.data(), &one, 1);
    EXPECT_EQ(z, Vec(leny, 4.5));
  }
  Vec c(4 * m, 1.5);
  eagemm("T", "N", &m, &n, &zero, &alpha, nullptr, &m, nullptr, &m, &three, c.data(), &m, 1, 1);
  eagemm("N", "N", &m, &n, &k, &alpha0, nullptr, &m, nullptr, &k, &three, c.data(), &m, 1, 1);
  EXPECT_EQ(c, Vec(4 * m, 13.5));
}

// Sizes past every block of every path, both work areas, on a 1 MiB stack.
TEST(GemmStack, RunsOnAOneMebibyteThreadStack) {
  auto big_products = [](void *ok) -> void * {
    for (const char *tt : {"NN", "TT"})
      if (std::isnan(make_gemm(tt[0], tt[1], 200, 210, 300, 47).call()[0])) *static_cast<bool *>(ok) = false;
    return nullptr;
  };
  for_each_path([&](int) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 1u << 20), 0);
    pthread_t th;
    bool ok = true;
    ASSERT_EQ(pthread_create(&th, &attr, big_products, &ok), 0);
    pthread_join(th, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_TRUE(ok);
  });
}

// dgemvf reports the first bad argument and leaves y; eagemv and eagemm stop
// (letters, negative sizes, short leading dimensions; k = 0 at beta != 1).
TEST(ProductsDeathTest, EveryBadArgumentIsReportedOrStops) {
  const struct {
    char trans;
    int m, n, lda, incx, incy, pos;
  } gemv[] = {{'n', 2, 2, 2, 1, 1, 1}, {'t', 2, 2, 2, 1, 1, 1}, {'X', 2, 2, 2, 1, 1, 1},  {'N', -1, 2, 2, 1, 1, 2},
              {'T', 2, -1, 2, 1, 1, 3}, {'N', 3, 2, 2, 1, 1, 6}, {'N', 0, 2, 0, 1, 1, 6},  {'C', 2, 2, 2, 0, 1, 8},
              {'N', 2, 2, 2, 1, 0, 11}, {'T', -1, 2, 0, 0, 0, 2}};
  for (const auto &b : gemv) {
    Gemv g{b.trans, b.m, b.n, b.lda, b.incx, b.incy, 1.0, 0.0, Vec(16, 1.0), Vec(4, 1.0), Vec(4, 7.0)};
    testing::internal::CaptureStdout();
    EXPECT_EQ(g.call(dgemvf), Vec(4, 7.0));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "DGEMV Error : " + std::to_string(b.pos) + "\n");
    EXPECT_EXIT(g.call(eagemv), testing::ExitedWithCode(1), "^DGEMV Fatal Error\n$") << b.pos;
  }
  const struct {
    char ta, tb;
    int m, n, k, lda, ldb, ldc;
  } gemm[] = {{'X', 'N', 2, 2, 2, 2, 2, 2}, {'N', 'x', 2, 2, 2, 2, 2, 2}, {'N', 'N', -1, 2, 2, 2, 2, 2},
              {'N', 'N', 2, -1, 2, 2, 2, 2}, {'N', 'N', 2, 2, -1, 2, 2, 2}, {'N', 'N', 3, 2, 2, 2, 2, 3},
              {'t', 'N', 2, 2, 3, 2, 3, 2}, {'N', 'N', 2, 2, 3, 2, 2, 2}, {'N', 'c', 2, 3, 2, 2, 2, 2},
              {'N', 'N', 3, 2, 2, 3, 2, 2}, {'N', 'N', 2, 2, 0, 0, 1, 2}};
  for (const auto &b : gemm) {
    Gemm g{b.ta, b.tb, b.m, b.n, b.k, b.lda, b.ldb, b.ldc, 1.0, 0.0, Vec(64, 1.0), Vec(64, 1.0), Vec(64, 1.0)};
    EXPECT_EXIT(g.call(), testing::ExitedWithCode(1), "^DGEMM FATAL ERROR\n$") << b.ta << b.tb << b.m << b.n << b.k;
  }
}

// One recorded checksum in both builds on every path; no heap on any path.
TEST(DenseProducts, ChecksumInBothBuildsAndNoHeap) {
  const int m = 37, n = 130, k = 250, ld = 300;
  const Vec a = qvk_test::portable_doubles(ld * 310, 1), b = qvk_test::portable_doubles(ld * 310, 2);
  const Vec c0 = qvk_test::portable_doubles(ld * 130, 3);
  const double alpha = -0.7, beta = 1.3;
  for_each_path([&](int) {
    qvk_test::Checksum sum;
    for (const char *tt : {"NN", "TN", "NT", "TT"}) {
      Vec c = c0;
      eagemm(&tt[0], &tt[1], &m, &n, &k, &alpha, a.data(), &ld, b.data(), &ld, &beta, c.data(), &ld, 1, 1);
      sum.add(c.data(), c.size());
    }
    for (char t : {'N', 'T'})
      for (int inc : {1, 2}) {
        Vec y = c0;
        eagemv(&t, &m, &n, &alpha, a.data(), &ld, b.data(), &inc, &beta, y.data(), &inc, 1);
        sum.add(y.data(), y.size());
      }
    EXPECT_EQ(sum.value(), 739452447859478689ull);
  });
#ifdef QVK_COUNT_MALLOC
  const int mh = 170, nh = 150, kh = 300;
  Vec c(ld * 260, 0.5);
  g_counting = true;  // the counter sees what this program allocates
  void *volatile probe = std::malloc(24);
  g_counting = false;
  std::free(probe);
  ASSERT_EQ(g_calls, 1);
  qvk_test::for_each_isa([&](int) {
    g_calls = 0;
    g_counting = true;
    for (const char *tt : {"NN", "TN", "NT", "TT"})
      eagemm(&tt[0], &tt[1], &mh, &nh, &kh, &alpha, a.data(), &ld, b.data(), &ld, &beta, c.data(), &ld, 1, 1);
    for (char t : {'N', 'T'})
      for (int inc : {1, 2, -1}) {
        eagemv(&t, &mh, &nh, &alpha, a.data(), &ld, b.data(), &inc, &beta, c.data(), &inc, 1);
        dgemvf(&t, &mh, &nh, &alpha, a.data(), &ld, b.data(), &inc, &beta, c.data(), &inc, 1);
      }
    g_counting = false;
    EXPECT_EQ(g_calls, 0);
  });
#endif
}

}  // namespace

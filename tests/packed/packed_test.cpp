// The packed and solve kernels against the reference BLAS/LAPACK, the scalar
// bits and their corner rules; one checksum tying the 32-bit build to 64-bit.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "qvk_test.h"

namespace {

using Bytes = std::vector<unsigned char>;
using qvk_test::Vec;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
// Past 101 the 32-bit reference's x87 rounding drifts beyond its slack.
const int kOrders[] = {1, 2, 3, 4, 5, 7, 8, 9, 13, 16, 17, 31, 33, 64, 70, 101};

// Element (c, r), c <= r, of the upper packed layout: row c of the factor.
size_t at(int r, int c) { return static_cast<size_t>(c - 1 + r * (r - 1) / 2); }

// A well-conditioned SPD matrix, or a fine factor U, in the upper layout.
Vec spd(int n, unsigned seed) {
  Vec ap = qvk_test::portable_doubles(n * (n + 1) / 2, seed, -3, 0);
  for (int i = 1; i <= n; ++i) ap[at(i, i)] = n + 1.0 + std::fabs(ap[at(i, i)]);
  return ap;
}

// A packed triangle (either layout), diagonal in [1, 2], small off-diagonals.
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

int factor(Vec &ap, int n, int i1 = 1, double tol = 0.0, double *piv = nullptr) {
  int info = -9;
  double p = -7.0;
  eaxfch(nullptr, &i1, &n, &tol, ap.data(), &info, piv ? piv : &p);
  return info;
}

// Reference bits at strides of both signs, zeros in x (a skipped column), the
// triangle only read, any letter but N/n as T or U; scalar bits on every path.
TEST(Tpsv, EveryVariantMatchesReferenceAndTheScalarBits) {
  const char *const variants[][2] = {{"UNN", "UNN"}, {"UNU", "UNU"}, {"UTN", "UTN"}, {"UTU", "UTU"},
                                     {"LNN", "LNN"}, {"LNU", "LNU"}, {"LTN", "LTN"}, {"LTU", "LTU"},
                                     {"utn", "UTN"}, {"uCn", "UTN"}, {"Lxn", "LTN"}, {"UNq", "UNU"}};
  auto dtpsv = qvk_test::ref_blas<decltype(&e_dtpsv)>("dtpsv_");
  ASSERT_ORACLE(dtpsv);
  for (const auto &v : variants)
    for (int n : kOrders) {
      SCOPED_TRACE(testing::Message() << v[0] << " n " << n);
      const char *r = v[1];
      const Vec ap = triangle(n, *r == 'U', n);
      for (int inc : {1, -1, 3, -3}) {
        Vec x = qvk_test::random_doubles(n * 3, 7 * n + inc);
        x[0] = 0.0;
        if (n > 4) x[4 * std::abs(inc)] = 0.0;
        qvk_test::expect_oracle_agrees(x, [&](Vec &y) { tpsv(v[0], n, ap, y.data(), inc); },
                                       [&](Vec &y) { dtpsv(r, r + 1, r + 2, &n, ap.data(), y.data(), &inc, 1, 1, 1); });
      }
      EXPECT_EQ(ap, triangle(n, *r == 'U', n));
      Vec junk = qvk_test::adversarial_doubles(ap.size(), n), x = qvk_test::adversarial_doubles(n, 11 * n);
      for (size_t k = 0; k < junk.size(); ++k) junk[k] = k % 5 ? ap[k] : junk[k];
      for (int k = 0; k < n; k += 3) x[k] = 0.0;
      qvk_test::expect_paths_agree(x, [&](Vec &y) { tpsv(v[0], n, junk, y.data(), 1); });
    }
  // x(2) = 0 skips column 2, whose NaN must not reach x(1).
  Vec tri = {2, kNaN, 1, 0.5, 0.0, 4}, x = {1, 0, 8};
  tpsv("UNN", 3, tri, x.data(), 1);
  EXPECT_EQ(x, (Vec{0.0, 0.0, 2.0}));
}

// Reference bits, info unwritten on success, ldb unread for one column;
// columns solved together and eacort give each column's bits alone.
TEST(Pptrs, MatchesReferenceAndSolvesColumnsAsIfAlone) {
  auto dpptrs = qvk_test::ref_lapack<decltype(&e_dpptrs)>("dpptrs_");
  ASSERT_ORACLE(dpptrs);
  for (int n : kOrders)
    for (int nrhs : {1, 2, 3, 8}) {
      SCOPED_TRACE(testing::Message() << "n " << n << " nrhs " << nrhs);
      const Vec ap = spd(n, n);
      const int ldb = n + 3, ours = nrhs == 1 ? 0 : ldb;
      int info = -5, ref_info = 0;
      qvk_test::expect_oracle_agrees(
          qvk_test::random_doubles(ldb * nrhs, n + nrhs, 0.5, 2.0),
          [&](Vec &b) { e_dpptrs("U", &n, &nrhs, ap.data(), b.data(), &ours, &info, 1); },
          [&](Vec &b) { dpptrs("U", &n, &nrhs, ap.data(), b.data(), &ldb, &ref_info, 1); });
      EXPECT_EQ(info, -5);
    }
  for (const auto &size : {std::pair<int, int>{37, 2}, {37, 7}, {37, 9}, {37, 17}, {600, 9}}) {
    const int n = size.first, nrhs = size.second, ldb = n + 3, one = 1, nn = n * (n + 1) / 2;
    SCOPED_TRACE(testing::Message() << "n " << n << " nrhs " << nrhs);
    const Vec ap = spd(n, 4), b0 = qvk_test::adversarial_doubles(ldb * nrhs, 9);
    int info = 0;
    auto alone = [&](Vec &b) {
      qvk_test::IsaScope scalar(qvk::kScalar);
      for (size_t c = 0; c < b.size(); c += ldb) e_dpptrs("U", &n, &one, ap.data(), &b[c], &ldb, &info, 1);
    };
    qvk_test::expect_every_isa(b0, [&](Vec &b) { dpptrs_2("u", &n, &nrhs, ap.data(), b.data(), &ldb, &info, 1); },
                               alone, qvk_test::first_bit_difference);
    qvk_test::expect_every_isa(Vec(b0.begin(), b0.begin() + ldb), [&](Vec &b) { eacort(&nn, &n, ap.data(), b.data()); },
                               alone, qvk_test::first_bit_difference);
  }
  // Only U is accepted (info 1, b kept); a NaN in the factor reaches x.
  const int n = 4, two = 2, one = 1;
  Vec ap = spd(n, 2), b = {1, 2, 3, 4, 5, 6, 7, 8}, z = {0, 0, 1, 1};
  int info = 0;
  e_dpptrs("L", &n, &two, ap.data(), b.data(), &n, &info, 1);
  EXPECT_EQ(info, 1);
  EXPECT_EQ(b, (Vec{1, 2, 3, 4, 5, 6, 7, 8}));
  ap[1] = kNaN;  // u(1,2)
  e_dpptrs("U", &n, &one, ap.data(), z.data(), &n, &info, 1);
  EXPECT_TRUE(std::isnan(z[0]));
}

// Off-diagonals are the reference DTPSV's bits, the factor DPPTRF's to rounding;
// every path gives the scalar bits (info, piv) on failing, adversarial data.
TEST(Cholesky, MatchesReferenceAndTheScalarBits) {
  using Dpptrf = void (*)(const char *, const int *, double *, int *, int);
  auto dtpsv = qvk_test::ref_blas<decltype(&e_dtpsv)>("dtpsv_");
  auto dpptrf = qvk_test::ref_lapack<Dpptrf>("dpptrf_");
  ASSERT_ORACLE(dtpsv && dpptrf);
  for (int n : {1, 2, 3, 4, 5, 8, 9, 13, 16, 17, 33, 70, 151}) {
    SCOPED_TRACE(testing::Message() << "n " << n);
    const Vec a = spd(n, n);
    Vec ref = a;
    int info = -1;
    dpptrf("U", &n, ref.data(), &info, 1);
    ASSERT_EQ(info, 0);
    qvk_test::for_each_isa([&](int) {
      Vec ap = a;
      double piv = 123.0;
      ASSERT_EQ(factor(ap, n, 1, 0.0, &piv), 0);
      EXPECT_EQ(piv, 123.0);
      for (size_t k = 0; k < ap.size(); ++k) ASSERT_NEAR(ap[k], ref[k], 1e-13 * std::fabs(ref[k]));
      for (int i = 2; i <= n; ++i) {
        Vec row(a.begin() + at(i, 1), a.begin() + at(i, i));
        const int m = i - 1, one = 1;
        dtpsv("U", "T", "N", &m, ap.data(), row.data(), &one, 1, 1, 1);
        EXPECT_ORACLE_BITS(ap.data() + at(i, 1), row.data(), m);
      }
    });
    for (int variant = 0; variant < 3; ++variant) {
      Vec b = spd(n, 7 * n + variant);
      if (variant == 1) b[at((n + 1) / 2, (n + 1) / 2)] = 0.5;  // may fail there
      const Vec junk = qvk_test::adversarial_doubles(b.size(), n);
      for (size_t k = 0; variant == 2 && k < b.size(); k += 4) b[k] = junk[k];
      qvk_test::expect_paths_agree(b, [&](Vec &ap) {
        double piv = 0.0;
        const int info = factor(ap, n, 1, 1.0, &piv);
        ap.push_back(info), ap.push_back(info ? piv : 0.0);
      });
    }
  }
}

// A failure leaves its diagonal and the rows below unwritten; resuming there,
// growing by rows or starting below row one gives one whole call's bits.
TEST(Cholesky, ResumeAndGrowthEqualTheUninterruptedFactor) {
  qvk_test::for_each_isa([&](int) {
    for (int n : {6, 17, 40}) {
      const int fail = n / 2 + 1;
      const Vec a = spd(n, n + 100);
      Vec whole = a, ap = a, grown = a, early = a;
      ASSERT_EQ(factor(whole, n), 0);
      ap[at(fail, fail)] = 1e-3;  // pivot now below 0
      double piv = 0.0;
      ASSERT_EQ(factor(ap, n, 1, 0.0, &piv), fail);
      EXPECT_LE(piv, 0.0);
      EXPECT_SAME_BITS(ap.data(), whole.data(), at(fail, fail));
      EXPECT_EQ(ap[at(fail, fail)], 1e-3);
      EXPECT_EQ(Vec(ap.begin() + at(fail, fail) + 1, ap.end()), Vec(a.begin() + at(fail, fail) + 1, a.end()));
      for (int c = 1; c <= fail; ++c) ap[at(fail, c)] = a[at(fail, c)];
      ASSERT_EQ(factor(ap, n, fail), 0);
      EXPECT_SAME_BITS(ap.data(), whole.data(), ap.size());
      ASSERT_EQ(factor(grown, n - 5), 0);
      ASSERT_EQ(factor(grown, n, n - 4), 0);
      EXPECT_SAME_BITS(grown.data(), whole.data(), grown.size());
      ASSERT_EQ(factor(early, n, -4), 0);
      EXPECT_SAME_BITS(early.data(), whole.data(), early.size());
    }
  });
}

// A pivot equal to tol, or nearly singular, fails (piv set, diagonal kept);
// i1 > n factors nothing; a NaN pivot is stored, not reported.
TEST(Cholesky, ThresholdAndStartingRows) {
  const struct {
    Vec a, want;
    int n, i1, info;
    double tol, piv;
  } cases[] = {{{2.5}, {2.5}, 1, 1, 1, 2.5, 2.5},
               {{1.0, 1.0, 1.0 + 1e-12}, {1.0, 1.0, 1.0 + 1e-12}, 2, 1, 2, 1e-9, (1.0 + 1e-12) - 1.0},
               {{4.0, 1.0, 9.0}, {4.0, 1.0, 9.0}, 2, 3, 0, 0.0, 5.0},
               {{kNaN, 1.0, 9.0}, {kNaN, kNaN, kNaN}, 2, 1, 0, 0.0, 5.0}};
  for (const auto &k : cases) {
    Vec a = k.a;
    double piv = 5.0;
    EXPECT_EQ(factor(a, k.n, k.i1, k.tol, &piv), k.info);
    EXPECT_SAME_BITS(a.data(), k.want.data(), a.size());
    EXPECT_EQ(piv, k.piv);
  }
}

TEST(CrossBuild, PackedKernelsReproduceTheRecordedChecksum) {
  auto results = [] {
    qvk_test::Checksum sum;
    const int one = 1;
    for (int n : {1, 3, 8, 13, 40}) {
      // Factor a diagonally dominant matrix, and one that fails half-way.
      Vec ap = qvk_test::portable_doubles(n * (n + 1) / 2, n, -3, 0);
      for (int i = 1; i <= n; ++i) ap[i * (i + 1) / 2 - 1] += n;
      Vec bad = ap;
      bad[(n / 2 + 1) * (n / 2 + 2) / 2 - 1] = 0.25;
      int info = factor(ap, n);
      double piv = 0.0;
      sum.add(static_cast<long long>(info)), sum.add(ap.data(), ap.size());
      info = factor(bad, n, 1, 0.5, &piv);
      sum.add(static_cast<long long>(info)), sum.add(piv), sum.add(bad.data(), bad.size());
      for (int nrhs : {1, 3}) {
        Vec b = qvk_test::portable_doubles(n * nrhs, 5 * n + nrhs, -20, 20);
        e_dpptrs("U", &n, &nrhs, ap.data(), b.data(), &n, &info, 1);
        sum.add(b.data(), b.size());
      }
      for (const char *v : {"UNN", "UNU", "UTN", "UTU", "LNN", "LNU", "LTN", "LTU"})
        for (int inc : {1, -2}) {
          Vec x = qvk_test::portable_doubles(2 * n, 3 * n + inc, -20, 20);
          tpsv(v, n, ap, x.data(), inc);
          sum.add(x.data(), x.size());
        }
      Vec x = qvk_test::portable_doubles(n, 7 * n), y = qvk_test::portable_doubles(n, 9);
      for (int inc : {1, -1}) sum.add(eaxscl(&n, x.data(), &inc, y.data(), &one));
    }
    // Both readings of a banded sparse matrix, three vectors.
    const int n = 30, nvec = 3;
    std::vector<int> ia(n + 1, 0), ja;
    for (int i = 1; i <= n; ++i) {
      for (int c = std::max(1, i - 3); c < i; ++c) ja.push_back(c);
      ja.push_back(0);
      ia[i] = static_cast<int>(ja.size());
    }
    const Vec a = qvk_test::portable_doubles(4 * n, 77, -10, 10), xv = qvk_test::portable_doubles(n * nvec, 78, -10, 10);
    Vec yv(n * nvec);
    for (int mode : {1, 2}) {
      eaxmvm(&mode, &ia[n], &n, &n, &nvec, ja.data(), ia.data(), a.data(), xv.data(), yv.data());
      sum.add(yv.data(), yv.size());
    }
    return sum.value();
  };
  qvk_test::for_each_isa([&](int) { EXPECT_EQ(results(), 0xf50cc1087f1da4b1ull); });
}

// Byte copies act as memmove at any overlap and alignment; fills, typed clears
// (5: double, 3/4: int, 2: short, -k: k blanks) and copies write nothing else.
TEST(Bytes, CopyFillAndTypedClearAnyAlignment) {
  for (int n : {1, 2, 3, 4, 5, 7, 8, 16, 31, 32, 33, 40, 64, 70, 100})
    for (int src = 80; src < 84; ++src) {
      for (int shift : {-5, -4, -2, -1, 0, 1, 2, 3, 4, 5, 40, -40}) {
        Bytes buf(256), want;
        for (size_t k = 0; k < buf.size(); ++k) buf[k] = static_cast<unsigned char>(k * 7 + 3);
        want = buf;
        std::memmove(&want[src + shift], &want[src], n);
        ecrccop(&buf[src], &n, &buf[src + shift]);
        ASSERT_EQ(buf, want) << "n " << n << " src " << src << " shift " << shift;
      }
      Bytes buf(256, 0xA5), want = buf;
      std::memset(&want[src], 'Q', n);
      eaxmac(&buf[src], &n, "Qrest");
      ASSERT_EQ(buf, want) << "fill " << n << " " << src;
    }
  for (int t : {5, 3, 4, 2, -8, -1, -3, 0, 1, 6, 12, 13})
    for (int n : {-2, 0, 1, 3, 9})
      for (int off : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "t " << t << " n " << n << " off " << off);
        const int cleared = t == 5 ? 8 : t == 3 || t == 4 ? 4 : t == 2 ? 2 : t < 0 ? -t : 0;
        Bytes buf(512, 0xA5), want = buf;
        if (n > 0) std::memset(&want[64 + off], t < 0 ? ' ' : 0, cleared * n);
        eaxraz(&t, &buf[64 + off], &n);
        ASSERT_EQ(buf, want);
        for (int k = 0; k < 128; ++k) buf[32 + off + k] = want[32 + off + k] = static_cast<unsigned char>(k + 1);
        if (n > 0) std::memmove(&want[300], &want[32 + off], (t == 5 ? 8 : t == 3 ? 4 : std::abs(t)) * n);
        eaxcpy(&t, &n, &buf[32 + off], &buf[300]);
        ASSERT_EQ(buf, want);
      }
  Vec v = {1, 2, 3, 4, 5, 6};  // an overlapping typed copy acts as memmove too
  const int t = 5, five = 5;
  eaxcpy(&t, &five, v.data(), v.data() + 1);
  EXPECT_EQ(v, (Vec{1, 1, 2, 3, 4, 5}));
}

// The reference DDOT's bits, unrolled by fives at unit strides as it is.
TEST(Dot, MatchesReferenceDdot) {
  auto ddot = qvk_test::ref_blas<decltype(&eaxscl)>("ddot_");
  ASSERT_ORACLE(ddot);
  for (int n : {0, 1, 4, 5, 7, 11, 64, 203})
    for (int incx : {1, -1, 3, -2})
      for (int incy : {1, 2, -3}) {
        SCOPED_TRACE(testing::Message() << n << " " << incx << " " << incy);
        const size_t len = (n > 0 ? n : 1) * 3;
        const Vec x = qvk_test::random_doubles(len, 11 + n), y = qvk_test::random_doubles(len, 97 + n);
        qvk_test::expect_oracle_agrees(
            {}, [&](Vec &r) { r.push_back(eaxscl(&n, x.data(), &incx, y.data(), &incy)); },
            [&](Vec &r) { r.push_back(ddot(&n, x.data(), &incx, y.data(), &incy)); });
      }
}

// Known seeds, the fixed point 0 (read as -2^31), wrap-around modulo 2^32.
TEST(RandomStep, KnownSeedsAndFixedPoint) {
  const struct {
    int seed, steps;
    uint32_t next;
  } cases[] = {{1, 1, 65539u}, {0, 2, 0x80000000u}, {0x7FFFFFFF, 1, 0x7FFFFFFFu * 65539u}};
  for (const auto &k : cases) {
    int seed = k.seed;
    double r = 0;
    for (int i = 0; i < k.steps; ++i) eaxrnd(&seed, &r);
    EXPECT_EQ(static_cast<uint32_t>(seed), k.next);
    EXPECT_EQ(qvk_test::bits(r), qvk_test::bits(seed * qvk_test::from_bits(0x3E00000000200000ull)));
  }
}

// Rows of shuffled columns below the diagonal (some empty), then the
// diagonal; small integers keep sums exact; unread entries are garbage.
struct Sparse {
  int n;
  std::vector<int> ia, ja;
  Vec a;
  void mvm(int mode, int m, int nvec, const double *x, double *y) const {
    eaxmvm(&mode, &ia[n], &m, &n, &nvec, ja.data(), ia.data(), a.data(), x, y);
  }
};

Sparse make(int n, unsigned seed, int per_row) {
  std::mt19937 gen(seed);
  Sparse s{n, std::vector<int>(n + 1, -12345), {}, {}};
  for (int i = 1; i <= n; ++i) {
    std::vector<int> cols;
    for (int c = 1; c < i && i % 5 != 3; ++c)
      if (static_cast<int>(gen() % static_cast<unsigned>(i)) < per_row) cols.push_back(c);
    std::shuffle(cols.begin(), cols.end(), gen);
    for (int c : cols) s.ja.push_back(c), s.a.push_back(static_cast<int>(gen() % 9) - 4);
    s.ja.push_back(-777), s.a.push_back(static_cast<int>(gen() % 7) + 1);
    s.ia[i] = static_cast<int>(s.a.size());
  }
  return s;
}

Vec integers(size_t len, unsigned seed) {
  std::mt19937 gen(seed);
  Vec v(len);
  for (auto &e : v) e = static_cast<int>(gen() % 11) - 5;
  return v;
}

// Mode 2 forms m rows as stored, mode 1 all n of the symmetric reading, others
// nothing; nnz = n (diagonal) forms n rows of at least one vector in any mode.
TEST(StoredProduct, EqualsDenseProductInEveryMode) {
  qvk_test::for_each_isa([&](int) {
    for (int n : {2, 7, 30})
      for (bool diagonal : {false, true}) {
        const Sparse s = make(n, n, diagonal ? 0 : 4);
        for (int mode : {1, 2, 0, 3, -7})
          for (int nvec = 0; nvec <= 9; ++nvec)
            for (int m : {n, n - 1, n / 2}) {
              SCOPED_TRACE(testing::Message() << "n " << n << " nnz " << s.ia[n] << " mode " << mode << " nvec "
                                              << nvec << " m " << m);
              const Vec x = integers(n * 10, n + nvec);
              Vec y(n * 10, 99.0), want = y;
              const int vectors = diagonal ? std::max(nvec, 1) : mode == 1 || mode == 2 ? nvec : 0,
                        rows = diagonal ? n : m;
              for (int k = 0; k < vectors; ++k) {
                double *w = &want[k * n];
                const double *xk = &x[k * n];
                for (int i = 1; i <= (mode == 1 ? n : rows); ++i) w[i - 1] = 0.0;
                for (int i = 1; i <= rows; ++i) {
                  const int diag = s.ia[i] - 1;
                  w[i - 1] += s.a[diag] * xk[i - 1];
                  for (int p = i == 1 ? 0 : s.ia[i - 1]; p < diag; ++p) {
                    w[i - 1] += s.a[p] * xk[s.ja[p] - 1];
                    if (mode == 1) w[s.ja[p] - 1] += s.a[p] * xk[i - 1];
                  }
                }
              }
              s.mvm(mode, m, nvec, x.data(), y.data());
              EXPECT_EQ(y, want);
            }
      }
  });
}

// Several adversarial vectors at once give each one's scalar bits alone.
TEST(StoredProduct, EachVectorAsIfAloneOnEveryPath) {
  const int n = 40;
  Sparse s = make(n, 3, 12);
  const Vec junk = qvk_test::adversarial_doubles(s.a.size(), 8), x = qvk_test::adversarial_doubles(n * 9, 5);
  for (size_t p = 0; p < s.a.size(); ++p) s.a[p] = p % 3 ? junk[p] : std::ldexp(junk[p], 40);
  for (int mode : {1, 2})
    for (int m : {n, 17})
      for (int nvec = 1; nvec <= 9; ++nvec) {
        SCOPED_TRACE(testing::Message() << "mode " << mode << " m " << m << " nvec " << nvec);
        auto alone = [&](Vec &y) {
          qvk_test::IsaScope scalar(qvk::kScalar);
          for (int k = 0; k < nvec; ++k) s.mvm(mode, m, 1, &x[k * n], &y[k * n]);
        };
        qvk_test::expect_every_isa(Vec(n * 9, -1.0), [&](Vec &y) { s.mvm(mode, m, nvec, x.data(), y.data()); },
                                   alone, qvk_test::first_bit_difference);
      }
}

}  // namespace

// Typed copy and clear, byte fill and copy, dot product, random step, and
// the product on the diagonal-last row layout.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "QorVARDMathKernel/packed.h"
#include "qvk_test.h"

namespace {

using Bytes = std::vector<unsigned char>;
using qvk_test::Vec;
constexpr unsigned char kCanary = 0xA5;

// Every copy, overlapping or not, acts as through a temporary (memmove);
// nothing outside the destination changes. Offsets shift source and
// destination off four-byte alignment around the inline threshold. A fill
// takes the first byte of its pattern only.
TEST(Bytes, CopyOverlapsBothWaysAndFillAnyAlignment) {
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
      Bytes buf(256, kCanary), want = buf;
      std::memset(&want[src], 'Q', n);
      eaxmac(&buf[src], &n, "Qrest");
      ASSERT_EQ(buf, want) << "fill " << n << " " << src;
    }
}

// Type codes: 5 double, 3 and 4 four bytes, 2 two bytes, -k k characters
// (cleared to blanks); other codes and counts below one write nothing. A
// copy moves |t| bytes per element (8 for code 5, 4 for code 3).
TEST(Typed, ClearAndCopyEveryTypeCode) {
  const struct {
    int t, bytes;
    unsigned char fill;
  } codes[] = {{5, 8, 0},    {3, 4, 0},    {4, 4, 0}, {2, 2, 0}, {-8, 8, ' '}, {-1, 1, ' '},
               {-3, 3, ' '}, {0, 0, 0},    {1, 0, 0}, {6, 0, 0}, {12, 0, 0},   {13, 0, 0}};
  for (const auto &c : codes)
    for (int n : {-2, 0, 1, 3, 9})
      for (int off : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "t " << c.t << " n " << n << " off " << off);
        Bytes buf(512, kCanary), want = buf;
        if (n > 0) std::memset(&want[64 + off], c.fill, c.bytes * n);
        eaxraz(&c.t, &buf[64 + off], &n);
        ASSERT_EQ(buf, want);
        for (int k = 0; k < 128; ++k) buf[32 + off + k] = want[32 + off + k] = static_cast<unsigned char>(k + 1);
        if (n > 0) std::memmove(&want[300], &want[32 + off], (c.t == 5 ? 8 : c.t == 3 ? 4 : std::abs(c.t)) * n);
        eaxcpy(&c.t, &n, &buf[32 + off], &buf[300]);
        ASSERT_EQ(buf, want);
      }
  // Clearing doubles gives +0.0; overlapping typed copies act as through a
  // temporary too.
  Vec v = {-1, 2, 3, 4, 5, 6};
  const int t = 5, one = 1, five = 5;
  eaxraz(&t, v.data(), &one);
  EXPECT_EQ(qvk_test::bits(v[0]), 0u);
  eaxcpy(&t, &five, v.data(), v.data() + 1);
  EXPECT_EQ(v, (Vec{0, 0, 2, 3, 4, 5}));
}

// The reference DDOT's bits; and 2^53 absorbs a 1 added to it but not a 2:
// one running sum left to right gives big - 1, a group of the small terms
// summed first would not.
TEST(Dot, MatchesReferenceDdotAndSumsLeftToRight) {
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
  const double big = 9007199254740992.0;
  double x[7] = {big, 1, 1, 1, -1, -1, 1}, y[7] = {1, 1, 1, 1, 1, 1, 1};
  const int n = 7, one = 1;
  EXPECT_EQ(eaxscl(&n, x, &one, y, &one), big - 1.0);
}

// Known seeds, the fixed point 0 (read as -2^31), wrap-around modulo 2^32.
TEST(RandomStep, KnownSeedsAndFixedPoint) {
  const double c = qvk_test::from_bits(0x3E00000000200000ull);
  int seed = 1;
  double r = 0;
  eaxrnd(&seed, &r);
  EXPECT_EQ(seed, 65539);
  EXPECT_EQ(qvk_test::bits(r), qvk_test::bits(65539.0 * c));
  seed = 0;
  eaxrnd(&seed, &r);
  eaxrnd(&seed, &r);
  EXPECT_EQ(seed, INT32_MIN);
  EXPECT_EQ(r, -2147483648.0 * c);
  seed = 0x7FFFFFFF;
  eaxrnd(&seed, &r);
  EXPECT_EQ(static_cast<uint32_t>(seed), static_cast<uint32_t>(0x7FFFFFFFu * 65539u));
  EXPECT_LE(r, 1.0);
}

// Rows holding only columns below the diagonal (the symmetric invariant),
// shuffled, some rows empty, then the diagonal; small integer values keep
// every product and sum exact. Entries that must not be read are garbage.
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

// Mode 2 reads the first m rows as stored; mode 1 reads them as the lower
// triangle of a symmetric matrix, each entry also mirrored, and forms all n
// rows. Columns past nvec, and rows past m in mode 2, stay untouched.
TEST(StoredProduct, EqualsDenseProductInBothReadings) {
  qvk_test::for_each_isa([&](int) {
    for (int n : {2, 7, 30}) {
      const Sparse s = make(n, n, 4);
      for (int mode : {1, 2})
        for (int nvec = 0; nvec <= 9; ++nvec)
          for (int m : {n, n - 1, n / 2}) {
            SCOPED_TRACE(testing::Message() << "n " << n << " mode " << mode << " nvec " << nvec << " m " << m);
            const Vec x = integers(n * 10, n + nvec);
            Vec y(n * 10, 99.0), want = y;
            for (int k = 0; k < nvec; ++k) {
              double *w = &want[k * n];
              const double *xk = &x[k * n];
              for (int i = 1; i <= (mode == 1 ? n : m); ++i) w[i - 1] = 0.0;
              for (int i = 1; i <= m; ++i) {
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

// NaN, Inf, signed zeros, subnormals and wide exponents: several vectors
// at once give, on every path, the scalar bits of each vector alone.
TEST(StoredProduct, EachVectorAsIfAloneOnEveryPath) {
  const int n = 40;
  Sparse s = make(n, 3, 12);
  const Vec junk = qvk_test::adversarial_doubles(s.a.size(), 8), x = qvk_test::adversarial_doubles(n * 9, 5);
  for (size_t p = 0; p < s.a.size(); ++p) s.a[p] = p % 3 ? junk[p] : std::ldexp(junk[p], 40);
  for (int mode : {1, 2})
    for (int m : {n, 17}) {
      Vec alone(n * 9, -1.0);
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        for (int k = 0; k < 9; ++k) s.mvm(mode, m, 1, &x[k * n], &alone[k * n]);
      }
      qvk_test::for_each_isa([&](int) {
        for (int nvec = 1; nvec <= 9; ++nvec) {
          SCOPED_TRACE(testing::Message() << "mode " << mode << " m " << m << " nvec " << nvec);
          Vec y(n * 9, -1.0);
          s.mvm(mode, m, nvec, x.data(), y.data());
          EXPECT_SAME_BITS(y.data(), alone.data(), n * nvec);
          EXPECT_EQ(Vec(y.begin() + n * nvec, y.end()), Vec(n * (9 - nvec), -1.0));
        }
      });
    }
}

// A diagonal matrix is one product in every mode, at least one vector and m
// unused; otherwise modes other than 1 and 2, and nvec = 0, write nothing.
TEST(StoredProduct, DiagonalCaseInEveryModeAndOtherModesDoNothing) {
  const int n = 6;
  const Sparse diag{n, {-1, 1, 2, 3, 4, 5, 6}, std::vector<int>(n, -99), {2, 3, 4, 5, 6, 7}};
  const Sparse s = make(n, 9, 3);
  const Vec x = integers(n * 3, 1);
  for (int mode : {0, 1, 2, 3, -7})
    for (int nvec : {0, 1, 2}) {
      Vec y(n * 3, 55.0), y2 = y;
      diag.mvm(mode, 0, nvec, x.data(), y.data());
      for (int k = 0; k < 3; ++k)
        for (int i = 0; i < n; ++i)
          EXPECT_EQ(y[i + k * n], k < std::max(nvec, 1) ? diag.a[i] * x[i + k * n] : 55.0) << mode;
      if ((mode == 1 || mode == 2) && nvec) continue;
      s.mvm(mode, n, nvec, x.data(), y2.data());
      EXPECT_EQ(y2, Vec(n * 3, 55.0)) << mode;
    }
}

}  // namespace

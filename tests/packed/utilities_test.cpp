// Typed copy and clear, byte fill and copy, dot product, random step.
#include <cstdint>
#include <cstring>
#include <vector>

#include "QorVARDMathKernel/packed.h"
#include "qvk_test.h"

namespace {

constexpr unsigned char kCanary = 0xA5;

// A byte arena with canaries on both sides of every region the tests touch.
struct Arena {
  std::vector<unsigned char> bytes = std::vector<unsigned char>(256, kCanary);
  unsigned char *at(int off) { return bytes.data() + 64 + off; }
};

// Reference for any copy: through a temporary.
void copy_through_temp(std::vector<unsigned char> &buf, size_t src, size_t n, size_t dst) {
  std::vector<unsigned char> tmp(buf.begin() + src, buf.begin() + src + n);
  std::copy(tmp.begin(), tmp.end(), buf.begin() + dst);
}

TEST(ByteCopy, OverlapsBothWaysAroundInlineThreshold) {
  // Offsets shift src and dst off four-byte alignment; shifts of 1..5 bytes
  // in both directions overlap for every count tried.
  for (int n : {1, 2, 3, 4, 5, 7, 8, 31, 32, 33, 40, 64, 100}) {
    for (int src = 16; src < 20; ++src) {
      for (int shift : {-5, -4, -2, -1, 0, 1, 2, 3, 4, 5, 40, -40}) {
        std::vector<unsigned char> buf(256);
        for (size_t k = 0; k < buf.size(); ++k) buf[k] = static_cast<unsigned char>(k * 7 + 3);
        std::vector<unsigned char> want = buf;
        const int dst = src + 64 + shift;
        copy_through_temp(want, src + 64, n, dst);
        ecrccop(buf.data() + src + 64, &n, buf.data() + dst);
        ASSERT_EQ(buf, want) << "n " << n << " src " << src << " shift " << shift;
      }
    }
  }
}

TEST(ByteCopy, SameAddressWritesNothing) {
  Arena a;
  int n = 16;
  ecrccop(a.at(0), &n, a.at(0));
  for (unsigned char b : a.bytes) ASSERT_EQ(b, kCanary);
}

TEST(ByteFill, InlineAndLibraryCountsOnAnyAlignment) {
  for (int n : {1, 3, 4, 5, 31, 32, 33, 70}) {
    for (int off = 0; off < 4; ++off) {
      Arena a;
      eaxmac(a.at(off), &n, "Qrest");  // only the first byte fills
      for (int k = -64; k < 180; ++k)
        ASSERT_EQ(a.at(off)[k], k >= 0 && k < n ? 'Q' : kCanary) << n << " " << off << " " << k;
    }
  }
}

TEST(TypedClear, EveryTypeCode) {
  struct Case {
    int t, n, bytes;
    unsigned char fill;
    bool writes;
  } cases[] = {
      {5, 3, 24, 0, true},    {3, 5, 20, 0, true},    {4, 5, 20, 0, true},
      {2, 5, 10, 0, true},    {-8, 3, 24, ' ', true}, {-1, 7, 7, ' ', true},
      {-3, 11, 33, ' ', true}, {0, 9, 0, 0, false},   {1, 9, 0, 0, false},
      {6, 9, 0, 0, false},    {12, 9, 0, 0, false},   {5, 0, 0, 0, false},
      {-8, -2, 0, 0, false},
  };
  for (const Case &c : cases) {
    for (int off : {0, 2}) {
      Arena a;
      eaxraz(&c.t, a.at(off), &c.n);
      for (int k = -64; k < 100; ++k) {
        const bool inside = c.writes && k >= 0 && k < c.bytes;
        ASSERT_EQ(a.at(off)[k], inside ? c.fill : kCanary) << "t " << c.t << " k " << k;
      }
    }
  }
  // Clearing doubles gives +0.0, not merely zero bytes by accident.
  double d[3] = {-1.0, -0.0, 7.0};
  const int t = 5, n = 3;
  eaxraz(&t, d, &n);
  for (double v : d) EXPECT_EQ(qvk_test::bits(v), 0u);
}

TEST(TypedCopy, EveryTypeCodeMovesAbsTTimesNBytes) {
  for (int t : {5, 3, 4, 2, -8, -1, -3, 0, 1, 6, 13}) {
    for (int n : {0, 1, 3, 9}) {
      std::vector<unsigned char> buf(512, kCanary);
      for (int k = 0; k < 128; ++k) buf[32 + k] = static_cast<unsigned char>(k + 1);
      std::vector<unsigned char> want = buf;
      const int size = t == 5 ? 8 : t == 3 ? 4 : (t < 0 ? -t : t);
      copy_through_temp(want, 32, static_cast<size_t>(size * n), 300);
      eaxcpy(&t, &n, buf.data() + 32, buf.data() + 300);
      ASSERT_EQ(buf, want) << "t " << t << " n " << n;
    }
  }
  // Overlapping typed copies behave as through a temporary too.
  std::vector<double> v = {1, 2, 3, 4, 5, 6};
  const int t = 5, n = 5;
  eaxcpy(&t, &n, v.data(), v.data() + 1);
  EXPECT_EQ(v, (std::vector<double>{1, 1, 2, 3, 4, 5}));
}

TEST(Dot, MatchesReferenceDdotBitForBit) {
  using Ddot = double (*)(const int *, const double *, const int *, const double *, const int *);
  auto ddot = qvk_test::ref_blas<Ddot>("ddot_");
  ASSERT_ORACLE(ddot);
  for (int n : {0, 1, 4, 5, 7, 11, 64, 203}) {
    for (int incx : {1, -1, 3, -2}) {
      for (int incy : {1, 2, -3}) {
        const size_t len = static_cast<size_t>(n > 0 ? n : 1) * 3;
        auto x = qvk_test::random_doubles(len, 11 + n);
        auto y = qvk_test::random_doubles(len, 97 + n);
        const double got = eaxscl(&n, x.data(), &incx, y.data(), &incy);
        const double want = ddot(&n, x.data(), &incx, y.data(), &incy);
        SCOPED_TRACE(testing::Message() << n << " " << incx << " " << incy);
        EXPECT_ORACLE_BITS(&got, &want, 1);
      }
    }
  }
}

TEST(Dot, SevenTermsAddTwoSinglyThenAGroupOfFive) {
  // 2^53 absorbs a 1 added to it but not a 2 (two 1s added together first).
  const double big = 9007199254740992.0;
  double x[7] = {big, 1, 1, 1, -1, -1, 1}, y[7] = {1, 1, 1, 1, 1, 1, 1};
  const int n = 7, one = 1;
  // One running sum, left to right: big+1 and big+1 round back to big, the
  // two -1 are exact, the last +1 too. A sum of the group first would give
  // big + 1 = big.
  EXPECT_EQ(eaxscl(&n, x, &one, y, &one), big - 1.0);
}

TEST(RandomStep, KnownSeedsAndFixedPoint) {
  const double c = qvk_test::from_bits(0x3E00000000200000ull);
  int seed = 1;
  double r = 0;
  eaxrnd(&seed, &r);
  EXPECT_EQ(seed, 65539);
  EXPECT_EQ(qvk_test::bits(r), qvk_test::bits(65539.0 * c));
  seed = 0;
  eaxrnd(&seed, &r);
  EXPECT_EQ(seed, INT32_MIN);
  EXPECT_EQ(r, -2147483648.0 * c);
  eaxrnd(&seed, &r);
  EXPECT_EQ(seed, INT32_MIN);
  // Wrap-around modulo 2^32, read signed.
  seed = 0x7FFFFFFF;
  eaxrnd(&seed, &r);
  EXPECT_EQ(static_cast<uint32_t>(seed), static_cast<uint32_t>(0x7FFFFFFFu * 65539u));
  EXPECT_LE(r, 1.0);
}

}  // namespace

// Typed copy and clear, byte fill and copy, dot product, random step.
#include <cstdint>
#include <cstring>

#include "QorVARDMathKernel/packed.h"
#include "qvk_test.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr unsigned char kCanary = 0xA5;

// Every copy, overlapping or not, acts as through a temporary (memmove);
// nothing outside the destination changes. Offsets shift source and
// destination off four-byte alignment around the inline threshold.
TEST(ByteCopy, OverlapsBothWaysAroundInlineThreshold) {
  for (int n : {1, 2, 3, 4, 5, 7, 8, 16, 31, 32, 33, 40, 64, 100})
    for (int src = 80; src < 84; ++src)
      for (int shift : {-5, -4, -2, -1, 0, 1, 2, 3, 4, 5, 40, -40}) {
        Bytes buf(256), want;
        for (size_t k = 0; k < buf.size(); ++k) buf[k] = static_cast<unsigned char>(k * 7 + 3);
        want = buf;
        std::memmove(&want[src + shift], &want[src], n);
        ecrccop(&buf[src], &n, &buf[src + shift]);
        ASSERT_EQ(buf, want) << "n " << n << " src " << src << " shift " << shift;
      }
}

TEST(ByteFill, InlineAndLibraryCountsOnAnyAlignment) {
  for (int n : {1, 3, 4, 5, 31, 32, 33, 70})
    for (int off = 0; off < 4; ++off) {
      Bytes buf(256, kCanary), want = buf;
      std::memset(&want[64 + off], 'Q', n);
      eaxmac(&buf[64 + off], &n, "Qrest");  // only the first byte fills
      ASSERT_EQ(buf, want) << n << " " << off;
    }
}

// Type codes: 5 double, 3 and 4 four bytes, 2 two bytes, -k k characters
// (cleared to blanks); other codes and counts below one write nothing. A
// copy moves |t| bytes per element (8 for code 5, 4 for code 3).
TEST(TypedClearAndCopy, EveryTypeCode) {
  const struct {
    int t, bytes;
    unsigned char fill;
  } codes[] = {{5, 8, 0},  {3, 4, 0},  {4, 4, 0},  {2, 2, 0}, {-8, 8, ' '}, {-1, 1, ' '},
               {-3, 3, ' '}, {0, 0, 0}, {1, 0, 0}, {6, 0, 0}, {12, 0, 0}, {13, 0, 0}};
  for (const auto &c : codes)
    for (int n : {-2, 0, 1, 3, 9})
      for (int off : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "t " << c.t << " n " << n << " off " << off);
        Bytes buf(512, kCanary), want = buf;
        if (n > 0) std::memset(&want[64 + off], c.fill, c.bytes * n);
        eaxraz(&c.t, &buf[64 + off], &n);
        ASSERT_EQ(buf, want);
        for (int k = 0; k < 128; ++k) buf[32 + off + k] = want[32 + off + k] = static_cast<unsigned char>(k + 1);
        const int size = c.t == 5 ? 8 : c.t == 3 ? 4 : std::abs(c.t);
        if (n > 0) std::memmove(&want[300], &want[32 + off], size * n);
        eaxcpy(&c.t, &n, &buf[32 + off], &buf[300]);
        ASSERT_EQ(buf, want);
      }
  // Clearing doubles gives +0.0; overlapping typed copies act as through a
  // temporary too.
  std::vector<double> v = {-1, 2, 3, 4, 5, 6};
  const int t = 5, one = 1, five = 5;
  eaxraz(&t, v.data(), &one);
  EXPECT_EQ(qvk_test::bits(v[0]), 0u);
  eaxcpy(&t, &five, v.data(), v.data() + 1);
  EXPECT_EQ(v, (std::vector<double>{0, 0, 2, 3, 4, 5}));
}

TEST(Dot, MatchesReferenceDdotBitForBit) {
  using Ddot = double (*)(const int *, const double *, const int *, const double *, const int *);
  auto ddot = qvk_test::ref_blas<Ddot>("ddot_");
  ASSERT_ORACLE(ddot);
  for (int n : {0, 1, 4, 5, 7, 11, 64, 203})
    for (int incx : {1, -1, 3, -2})
      for (int incy : {1, 2, -3}) {
        SCOPED_TRACE(testing::Message() << n << " " << incx << " " << incy);
        const size_t len = (n > 0 ? n : 1) * 3;
        const qvk_test::Vec x = qvk_test::random_doubles(len, 11 + n), y = qvk_test::random_doubles(len, 97 + n);
        qvk_test::expect_oracle_agrees(
            {}, [&](qvk_test::Vec &r) { r.push_back(eaxscl(&n, x.data(), &incx, y.data(), &incy)); },
            [&](qvk_test::Vec &r) { r.push_back(ddot(&n, x.data(), &incx, y.data(), &incy)); });
      }
  // 2^53 absorbs a 1 added to it but not a 2: one running sum left to
  // right gives big - 1; summing a group of the small terms first would not.
  const double big = 9007199254740992.0;
  double x[7] = {big, 1, 1, 1, -1, -1, 1}, y[7] = {1, 1, 1, 1, 1, 1, 1};
  const int n = 7, one = 1;
  EXPECT_EQ(eaxscl(&n, x, &one, y, &one), big - 1.0);
}

TEST(RandomStep, KnownSeedsAndFixedPoint) {
  const double c = qvk_test::from_bits(0x3E00000000200000ull);
  int seed = 1;
  double r = 0;
  eaxrnd(&seed, &r);
  EXPECT_EQ(seed, 65539);
  EXPECT_EQ(qvk_test::bits(r), qvk_test::bits(65539.0 * c));
  seed = 0;  // a fixed point of the step, read as -2^31
  eaxrnd(&seed, &r);
  eaxrnd(&seed, &r);
  EXPECT_EQ(seed, INT32_MIN);
  EXPECT_EQ(r, -2147483648.0 * c);
  seed = 0x7FFFFFFF;  // wrap-around modulo 2^32, read signed
  eaxrnd(&seed, &r);
  EXPECT_EQ(static_cast<uint32_t>(seed), static_cast<uint32_t>(0x7FFFFFFFu * 65539u));
  EXPECT_LE(r, 1.0);
}

}  // namespace

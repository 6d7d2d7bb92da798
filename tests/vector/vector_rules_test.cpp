// Results that do not depend on the order of accumulation, sums that only
// the left-to-right order gives, and the corner rules of the vector kernels.
#include <cmath>
#include <limits>

#include "QorVARDMathKernel/vector.h"
#include "qvk_test.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
using qvk_test::bits;
using qvk_test::Vec;

// y one element after x: y(1..10) gets the old x(1..10), and back; every
// payload kept.
TEST(Copy, KeepsBitsAndMovesOverlappingBlocks) {
  int one = 1, ten = 10, m = 37, ibuf[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  Vec buf = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, b(37);
  e_dcopy(&ten, &buf[0], &one, &buf[1], &one);
  e_icopy(&ten, ibuf + 1, &one, ibuf, &one);
  EXPECT_EQ(buf, (Vec{1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(ibuf[0] * 100 + ibuf[9], 211);
  const Vec a = qvk_test::adversarial_doubles(37, 5);
  e_dcopy(&m, a.data(), &one, b.data(), &one);
  EXPECT_EQ(qvk_test::exact_bit_difference(a.data(), b.data(), 37), -1);
}

// Clears write +0.0 (increment 0: x(1) only); 0 * Inf and 0 * NaN stay NaN
// and 0 * -2 is -0; a negative increment acts as its magnitude, 0 scales
// x(1) n times.
TEST(ZeroAndScale, IncrementsAndTheProductAlwaysFormed) {
  double x[5] = {-1, -2, -3, -4, -5}, s[3] = {kInf, kNaN, -2.0}, z = 0.0, a = 3.0, r = 1.0;
  int two = 2, three = 3, m2 = -2, zero = 0, one = 1, ix[3] = {7, 8, 9};
  e_dzero(&two, x, &m2);
  e_dzero(&three, x + 4, &zero);
  e_izero(&two, ix, &two);
  for (int i : {0, 2, 4}) EXPECT_EQ(bits(x[i]), 0u);
  EXPECT_EQ(x[1], -2);
  EXPECT_EQ(ix[0] + ix[1] + ix[2], 8);
  e_dscal(&three, &z, s, &one);
  EXPECT_TRUE(std::isnan(s[0]) && std::isnan(s[1]) && bits(s[2]) == bits(-0.0));
  Vec p = {1, 2, 3, 4, 5, 6}, q = p;
  e_dscal(&three, &a, p.data(), &two);
  e_dscal(&three, &a, q.data(), &m2);
  e_dscal(&three, &a, &r, &zero);
  EXPECT_EQ(p, (Vec{3, 2, 9, 4, 15, 6}));
  EXPECT_EQ(q, p);
  EXPECT_EQ(r, 27.0);
}

// 0 and 1 are skipped (x keeps a NaN); 10 * (1/3) rounds differently from
// 10 / 3.
TEST(ReciprocalScale, SkipsZeroAndOneAndMultipliesByTheRoundedReciprocal) {
  double x[2] = {kNaN, 8.0}, sa0 = 0.0, sa1 = 1.0, sa4 = 4.0, sa3 = 3.0, y = 10.0;
  int n = 2, one = 1;
  drscl(&n, &sa0, x, &one);
  drscl(&n, &sa1, x, &one);
  EXPECT_EQ(x[1], 8.0);
  drscl(&n, &sa4, x, &one);
  drscl(&one, &sa3, &y, &one);
  EXPECT_EQ(x[1], 2.0);
  EXPECT_EQ(y, 10.0 * (1.0 / 3.0));
  EXPECT_NE(y, 10.0 / 3.0);
}

// y = x shifted by one: each update reads the element the previous one
// wrote, as the one-at-a-time loop does.
TEST(Update, ZeroAlphaLeavesYAloneAndOverlapsReadEarlierStores) {
  double x[3] = {kNaN, kInf, 1}, y[3] = {1, 2, 3}, zero = 0.0, a = 1.0;
  int n = 3, one = 1, n39 = 39;
  e_daxpy(&n, &zero, x, &one, y, &one);
  EXPECT_EQ(Vec(y, y + 3), (Vec{1, 2, 3}));
  qvk_test::for_each_isa([&](int) {
    Vec buf(40, 1.0);
    e_daxpy(&n39, &a, &buf[0], &one, &buf[1], &one);
    for (int i = 0; i < 40; ++i) ASSERT_EQ(buf[i], i + 1);
  });
}

// 1 + 2^-53 rounds back to 1 at every step of a left-to-right sum; any
// pairing of the small terms would lift the total above 1.
TEST(Sums, OneSequentialSum) {
  Vec x(25, std::ldexp(1.0, -53)), y(30, 1.0);
  x[0] = -1.0;
  int n = 25, one = 1, m1 = -1, zero = 0, two = 2, nz = 12, idx[12];
  double z[3] = {-1.5, 99, 2.5};
  EXPECT_EQ(e_dasum(&n, x.data(), &one), 1.0);
  EXPECT_EQ(e_dasum(&n, x.data(), &m1), 1.0);
  EXPECT_EQ(e_dasum(&two, z, &two), 4.0);
  EXPECT_EQ(e_dasum(&two, z, &zero), 3.0);
  x[0] = 1.0;
  for (int i = 0; i < 12; ++i) idx[i] = 30 - 2 * i;
  EXPECT_EQ(e_ddoti(&nz, x.data(), idx, y.data()), 1.0);
}

TEST(Norm, PhasesOfTheScaledAlgorithmIncrementsAndAccuracy) {
  const struct {
    Vec x;
    double want;
  } cases[] = {
      {{3, 4}, 5.0},                                                     // mid-range only
      {{0, -0.0}, 0.0},
      {{1e-20, 1e-20}, 1e-20 * std::sqrt(2.0)},                          // small: scaled by the first
      {{1e-20, 2e-20}, 2e-20 * std::sqrt(1.25)},                         // the scale moves up
      {{1e-20, 1.0}, 1.0},                                               // scaled sum lost against 1
      {{-1e200, 1e200}, 1e200 * std::sqrt(2.0)},                         // large from the first
      {{0, 0, 1e-20, 1e-20}, 1e-20 * std::sqrt(2.0)},                    // leading zeros skipped
      {{1.0, 1e300}, 1e300 * std::sqrt(((1.0 / 1e300) / 1e300) + 1.0)},  // divided twice
      {{-7.0, -7.0, -7.0, -7.0}, 14.0},
  };
  const int one = 1, four = 4, zero = 0;
  for (const auto &c : cases) {
    const int n = static_cast<int>(c.x.size());
    EXPECT_EQ(e_dnrm2(&n, c.x.data(), &one), c.want) << c.x[0];
  }
  EXPECT_EQ(e_dnrm2(&four, cases[8].x.data(), &zero), 14.0);  // increment 0: four times x(1)
  for (int e : {-300, -160, -40, 0, 40, 160, 300}) {
    Vec x = qvk_test::random_doubles(301, 11 + e, -1, 1);
    long double exact = 0;
    for (auto &v : x) v = std::ldexp(v, e), exact += static_cast<long double>(v) * v;
    int n = 301, m1 = -1, three = 3, m3 = -3, n3 = 100;
    const double r = e_dnrm2(&n, x.data(), &one), want = static_cast<double>(std::sqrt(exact));
    EXPECT_EQ(bits(r), bits(e_dnrm2(&n, x.data(), &m1)));
    EXPECT_EQ(bits(e_dnrm2(&n3, x.data(), &three)), bits(e_dnrm2(&n3, x.data(), &m3)));
    if (std::isfinite(want) && want > 1e-290) { EXPECT_NEAR(r / want, 1.0, 1e-13) << e; }
  }
  // n = 2^24 + 1 rounds to 2^24 in single precision, so the upper threshold
  // is cuthi/2^24: an element between cuthi/(2^24+1) and cuthi/2^24 (repeated
  // by increment 0) stays unscaled, its squares summed with rounding.
  const int n = 16777217;
  const double lo = 1.304e19 / 16777217.0, hi = 1.304e19 / 16777216.0, v = lo + (hi - lo) / 2;
  const double r = e_dnrm2(&n, &v, &zero), scaled = v * std::sqrt(16777217.0);
  EXPECT_NE(bits(r), bits(scaled));
  EXPECT_NEAR(r / scaled, 1.0, 1e-6);
}

// The first of equal magnitudes is kept, a NaN replaces the largest so far;
// n = 1 reads nothing; increments of every sign.
TEST(LargestMagnitude, KeepsTheFirstTieAndLetsNaNReplace) {
  int three = 3, one = 1, m1 = -1, zero = 0, two = 2;
  double a[3] = {3, -3, 1}, b[3] = {1, kNaN, 2}, c[3] = {1, kNaN, 0.5}, d[5] = {1, 9, -4, 9, 8};
  EXPECT_EQ(e_idamax(&three, a, &one), 1);
  EXPECT_EQ(e_idamax(&three, b, &one), 3);
  EXPECT_EQ(e_idamax(&one, nullptr, &one), 1);
  EXPECT_EQ(damax(&three, c, &one), 0.5);
  EXPECT_EQ(e_idamax(&three, d, &two), 3);  // (1, -4, 8): position 3, storage 5
  EXPECT_EQ(damax(&three, d, &m1), 9.0);
  EXPECT_EQ(e_idamax(&three, d, &zero), 1);
}

TEST(Rotation, ListedCasesAndProperties) {
  const struct {
    double a, b, r, z, c, s, tol;
  } cases[] = {{0, 0, 0, 0, 1, 0, 0}, {0, 2, 2, 1, 0, 1, 0}, {4, 3, 5, 0.6, 0.8, 0.6, 2e-16}};
  double c, s;
  for (const auto &k : cases) {
    double a = k.a, b = k.b;
    e_drotg(&a, &b, &c, &s);
    EXPECT_EQ(a, k.r);
    EXPECT_NEAR(c, k.c, k.tol);
    EXPECT_NEAR(s, k.s, k.tol);
    EXPECT_NEAR(b, k.z, k.tol);
  }
  const Vec v = qvk_test::random_doubles(200, 3, -10, 10);
  for (size_t i = 0; i + 1 < v.size(); i += 2) {
    double a0 = v[i], b0 = v[i + 1], r = a0, z = b0;
    e_drotg(&r, &z, &c, &s);
    const double scale = std::fabs(a0) + std::fabs(b0);
    EXPECT_NEAR(c * c + s * s, 1.0, 1e-15);
    EXPECT_NEAR((c * a0 + s * b0) / scale, r / scale, 1e-15);
    EXPECT_NEAR((-s * a0 + c * b0) / scale, 0.0, 1e-15);
    EXPECT_EQ(z, std::fabs(a0) > std::fabs(b0) ? s : 1.0 / c);  // z rebuilds (c, s)
  }
}

// Repeated positions add up, a zero factor leaves y, the last store wins;
// gather then scatter puts every payload back.
TEST(Sparse, RepeatedPositionsZeroFactorAndRoundTrip) {
  qvk_test::for_each_isa([](int) {
    double y[4] = {0, 0, 10, 0}, x[2] = {1.0, 2.0}, ny[2] = {kNaN, 5}, a = 1.0, zero = 0.0;
    int same[2] = {3, 3}, i2[2] = {1, 2}, two = 2;
    e_daxpyi(&two, &a, x, same, y);
    EXPECT_EQ(y[2], 13.0);
    e_daxpyi(&two, &zero, x, i2, ny);
    EXPECT_EQ(ny[1], 5.0);
    e_dsctr(&two, x, same, y);
    EXPECT_EQ(y[2], 2.0);
  });
  const Vec full = qvk_test::adversarial_doubles(66, 9);
  Vec g(33), back(66, 0.0);
  int n = 33, pos[33];
  for (int i = 0; i < 33; ++i) pos[i] = 66 - 2 * i;
  e_dgthr(&n, full.data(), g.data(), pos);
  e_dsctr(&n, g.data(), pos, back.data());
  for (int i = 0; i < 33; ++i) EXPECT_EQ(bits(back[pos[i] - 1]), bits(full[pos[i] - 1]));
}

}  // namespace

// Results that do not depend on the order of accumulation, and the early
// exits and corner rules of the vector kernels.
#include <cmath>
#include <limits>
#include <vector>

#include "QorVARDMathKernel/vector.h"
#include "qvk_test.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
using qvk_test::bits;

TEST(Copy, NegativeIncrementReversesAndUnitOverlapActsAsBlockMove) {
  double x[3] = {1, 2, 3}, y[3] = {0, 0, 0};
  int n = 3, m1 = -1, one = 1;
  e_dcopy(&n, x, &m1, y, &one);
  EXPECT_EQ(y[0], 3);
  EXPECT_EQ(y[1], 2);
  EXPECT_EQ(y[2], 1);

  // y starts one element after x: y(1..10) gets the old x(1..10), and the
  // same the other way round.
  double buf[11];
  for (int i = 0; i < 11; ++i) buf[i] = i + 1;
  int ten = 10;
  e_dcopy(&ten, buf, &one, buf + 1, &one);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(buf[i + 1], i + 1);
  int ibuf[11];
  for (int i = 0; i < 11; ++i) ibuf[i] = i + 1;
  e_icopy(&ten, ibuf + 1, &one, ibuf, &one);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(ibuf[i], i + 2);
}

TEST(Copy, PassesBitsUnchanged) {
  std::vector<double> x = qvk_test::adversarial_doubles(37, 5), y(37), z(37);
  int n = 37, one = 1, two = 2, half = 18;
  e_dcopy(&n, x.data(), &one, y.data(), &one);
  EXPECT_EQ(qvk_test::exact_bit_difference(x.data(), y.data(), 37), -1);
  e_dcopy(&half, x.data(), &two, z.data(), &one);
  for (int i = 0; i < half; ++i) EXPECT_EQ(bits(z[i]), bits(x[2 * i]));
}

TEST(Zero, WritesPositiveZero) {
  double x[5] = {-1, -2, -3, -4, -5};
  int n = 2, m2 = -2, zero = 0;
  e_dzero(&n, x, &m2);  // elements 1 and 3
  EXPECT_EQ(bits(x[0]), 0u);
  EXPECT_EQ(x[1], -2);
  EXPECT_EQ(bits(x[2]), 0u);
  int three = 3;
  e_dzero(&three, x + 4, &zero);  // inc 0: only x(1)
  EXPECT_EQ(bits(x[4]), 0u);
  int ix[3] = {7, 8, 9};
  int two = 2;
  e_izero(&two, ix, &two);
  EXPECT_EQ(ix[0], 0);
  EXPECT_EQ(ix[1], 8);
  EXPECT_EQ(ix[2], 0);
}

TEST(Scale, AlwaysFormsTheProduct) {
  double x[3] = {kInf, kNaN, -2.0};
  double zero = 0.0;
  int n = 3, one = 1;
  e_dscal(&n, &zero, x, &one);
  EXPECT_TRUE(std::isnan(x[0]));
  EXPECT_TRUE(std::isnan(x[1]));
  EXPECT_EQ(bits(x[2]), bits(-0.0));
}

TEST(Scale, NegativeIncrementActsAsItsMagnitudeAndZeroRepeats) {
  double x[6] = {1, 2, 3, 4, 5, 6}, y[6] = {1, 2, 3, 4, 5, 6};
  double a = 3.0;
  int n = 3, p2 = 2, m2 = -2, zero = 0;
  e_dscal(&n, &a, x, &p2);
  e_dscal(&n, &a, y, &m2);
  EXPECT_SAME_BITS(x, y, 6);
  EXPECT_EQ(x[0], 3);
  EXPECT_EQ(x[1], 2);
  EXPECT_EQ(x[4], 15);
  double z = 1.0;
  e_dscal(&n, &a, &z, &zero);  // x(1) scaled three times
  EXPECT_EQ(z, 27.0);
}

TEST(ReciprocalScale, SkipsZeroAndOneAndMultipliesByTheRoundedReciprocal) {
  double x[2] = {kNaN, 8.0};
  double sa0 = 0.0, sa1 = 1.0, sa4 = 4.0, sa3 = 3.0;
  int n = 2, one = 1;
  drscl(&n, &sa0, x, &one);
  drscl(&n, &sa1, x, &one);
  EXPECT_EQ(x[1], 8.0);
  EXPECT_TRUE(std::isnan(x[0]));
  drscl(&n, &sa4, x, &one);
  EXPECT_EQ(x[1], 2.0);
  // 10 * (1/3) rounds differently from 10 / 3.
  double y = 10.0;
  int n1 = 1;
  drscl(&n1, &sa3, &y, &one);
  EXPECT_EQ(y, 10.0 * (1.0 / 3.0));
  EXPECT_NE(y, 10.0 / 3.0);
}

TEST(Update, ZeroAlphaLeavesYAloneAndIncrementsPairLikeCopy) {
  double x[3] = {kNaN, kInf, 1}, y[3] = {1, 2, 3};
  double zero = 0.0, two = 2.0;
  int n = 3, one = 1, m1 = -1;
  e_daxpy(&n, &zero, x, &one, y, &one);
  EXPECT_EQ(y[0], 1);
  EXPECT_EQ(y[1], 2);
  double u[3] = {1, 2, 3}, v[3] = {10, 20, 30};
  e_daxpy(&n, &two, u, &m1, v, &one);  // v(1) pairs with u(3)
  EXPECT_EQ(v[0], 16);
  EXPECT_EQ(v[1], 24);
  EXPECT_EQ(v[2], 32);
  double p[3] = {1, 2, 3}, q[3] = {4, 5, 6};
  e_dswap(&n, p, &m1, q, &one);
  EXPECT_EQ(q[0], 3);
  EXPECT_EQ(q[2], 1);
  EXPECT_EQ(p[0], 6);
  EXPECT_EQ(p[2], 4);
}

TEST(Update, OverlappingVectorsReadEarlierStores) {
  // y = x shifted by one: each update reads the element that the previous
  // update just wrote, as the one-at-a-time loop does.
  for (int level : qvk_test::supported_isas()) {
    qvk_test::IsaScope scope(level);
    double buf[40];
    for (int i = 0; i < 40; ++i) buf[i] = 1.0;
    int n = 39, one = 1;
    double a = 1.0;
    e_daxpy(&n, &a, buf, &one, buf + 1, &one);
    for (int i = 0; i < 40; ++i) ASSERT_EQ(buf[i], i + 1) << "path " << level;
  }
}

TEST(SumOfMagnitudes, IsOneSequentialSum) {
  // 1 + 2^-53 rounds back to 1 at every step of a left-to-right sum; any
  // pairing of the small terms would lift the total above 1.
  std::vector<double> x(25, std::ldexp(1.0, -53));
  x[0] = -1.0;
  int n = 25, one = 1, m1 = -1, zero = 0;
  EXPECT_EQ(e_dasum(&n, x.data(), &one), 1.0);
  EXPECT_EQ(e_dasum(&n, x.data(), &m1), 1.0);
  int two = 2;
  double y[3] = {-1.5, 99, 2.5};
  EXPECT_EQ(e_dasum(&two, y, &two), 4.0);
  EXPECT_EQ(e_dasum(&two, y, &zero), 3.0);
}

TEST(Norm, FollowsThePhasesOfTheScaledAlgorithm) {
  int two = 2, one = 1;
  double a[2] = {3, 4};
  EXPECT_EQ(e_dnrm2(&two, a, &one), 5.0);  // mid-range only
  double z[2] = {0, -0.0};
  EXPECT_EQ(e_dnrm2(&two, z, &one), 0.0);
  // Small values: scaled by the first, then added as squared quotients.
  double s[2] = {1e-20, 1e-20};
  EXPECT_EQ(e_dnrm2(&two, s, &one), 1e-20 * std::sqrt(2.0));
  // Small then larger small: the scale moves up, sum = 1 + 1*(1/2)^2.
  double s2[2] = {1e-20, 2e-20};
  EXPECT_EQ(e_dnrm2(&two, s2, &one), 2e-20 * std::sqrt(1.25));
  // Small then mid-range: the scaled sum (1e-40) is lost against 1.
  double sm[2] = {1e-20, 1.0};
  EXPECT_EQ(e_dnrm2(&two, sm, &one), 1.0);
  // Large values: phase 4 from the first element.
  double big[2] = {-1e200, 1e200};
  EXPECT_EQ(e_dnrm2(&two, big, &one), 1e200 * std::sqrt(2.0));
  // Zeros before anything else are skipped in phase 1.
  double lead[4] = {0, 0, 1e-20, 1e-20};
  int four = 4;
  EXPECT_EQ(e_dnrm2(&four, lead, &one), 1e-20 * std::sqrt(2.0));
  // Mid-range then huge: sum divided twice by the huge value.
  double mh[2] = {1.0, 1e300};
  const double expect = 1e300 * std::sqrt(((1.0 / 1e300) / 1e300) + 1.0);
  EXPECT_EQ(e_dnrm2(&two, mh, &one), expect);
}

TEST(Norm, IncrementRulesAndAccuracyAcrossRanges) {
  for (int e : {-300, -160, -40, 0, 40, 160, 300}) {
    std::vector<double> x = qvk_test::random_doubles(301, 11 + e, -1, 1);
    for (auto &v : x) v = std::ldexp(v, e);
    int n = 301, one = 1, m1 = -1, three = 3, m3 = -3, n3 = 100;
    const double r = e_dnrm2(&n, x.data(), &one);
    EXPECT_EQ(bits(r), bits(e_dnrm2(&n, x.data(), &m1)));
    EXPECT_EQ(bits(e_dnrm2(&n3, x.data(), &three)), bits(e_dnrm2(&n3, x.data(), &m3)));
    long double exact = 0;
    for (double v : x) exact += static_cast<long double>(v) * v;
    const double want = static_cast<double>(std::sqrt(exact));
    if (std::isfinite(want) && want > 1e-290) {
      EXPECT_NEAR(r / want, 1.0, 1e-13) << "exponent " << e;
    }
  }
  double one_value = -7.0;
  int n = 4, zero = 0;
  EXPECT_EQ(e_dnrm2(&n, &one_value, &zero), 14.0);  // four times x(1)
}

TEST(Norm, UpperThresholdDividesByTheCountInSinglePrecision) {
  // n = 2^24 + 1 rounds to 2^24 in single precision, so hitest is cuthi/2^24.
  // An element between cuthi/(2^24+1) and cuthi/2^24 stays in the unscaled
  // phase: its squares are summed with rounding, which the scaled phase
  // (sum = n exactly, result v*sqrt(n)) would not do. Increment 0 repeats
  // the one element n times.
  const int n = 16777217, zero = 0;
  const double cuthi = 1.304e19;
  const double lo = cuthi / 16777217.0, hi = cuthi / 16777216.0;
  const double v = lo + (hi - lo) / 2;
  const double r = e_dnrm2(&n, &v, &zero);
  const double scaled = v * std::sqrt(16777217.0);
  EXPECT_NE(bits(r), bits(scaled));
  EXPECT_NEAR(r / scaled, 1.0, 1e-6);
}

TEST(LargestMagnitude, KeepsTheFirstTieAndLetsNaNReplace) {
  int three = 3, one = 1, m1 = -1, zero = 0;
  double a[3] = {3, -3, 1};
  EXPECT_EQ(e_idamax(&three, a, &one), 1);
  double b[3] = {1, kNaN, 2};
  EXPECT_EQ(e_idamax(&three, b, &one), 3);
  EXPECT_EQ(e_idamax(&one, nullptr, &one), 1);  // n = 1 reads nothing
  double c[3] = {1, kNaN, 0.5};
  EXPECT_EQ(damax(&three, c, &one), 0.5);
  double d[5] = {1, 9, -4, 9, 8};
  int two = 2;
  EXPECT_EQ(e_idamax(&three, d, &two), 3);  // (1, -4, 8): logical position 3, storage 5
  EXPECT_EQ(damax(&three, d, &m1), 9.0);
  EXPECT_EQ(e_idamax(&three, d, &zero), 1);
  EXPECT_EQ(damax(&one, c + 2, &one), 0.5);
}

TEST(Rotation, ListedCasesAndProperties) {
  // (a, b) in; r, z, c, s out, exact or (tol > 0) within one rounding.
  struct Case {
    double a, b, r, z, c, s, tol;
  };
  const Case cases[] = {{0, 0, 0, 0, 1, 0, 0}, {0, 2, 2, 1, 0, 1, 0}, {4, 3, 5, 0.6, 0.8, 0.6, 2e-16}};
  double c, s;
  for (const Case &k : cases) {
    double a = k.a, b = k.b;
    c = s = -1;
    e_drotg(&a, &b, &c, &s);
    EXPECT_EQ(a, k.r);
    EXPECT_NEAR(c, k.c, k.tol);
    EXPECT_NEAR(s, k.s, k.tol);
    EXPECT_NEAR(b, k.z, k.tol);
    if (std::fabs(k.a) > std::fabs(k.b)) {
      EXPECT_EQ(b, s);  // z is s itself
    }
  }

  std::vector<double> v = qvk_test::random_doubles(200, 3, -10, 10);
  for (size_t i = 0; i + 1 < v.size(); i += 2) {
    double a0 = v[i], b0 = v[i + 1], r = a0, z = b0;
    e_drotg(&r, &z, &c, &s);
    const double scale = std::fabs(a0) + std::fabs(b0);
    EXPECT_NEAR(c * c + s * s, 1.0, 1e-15);
    EXPECT_NEAR((c * a0 + s * b0) / scale, r / scale, 1e-15);
    EXPECT_NEAR((-s * a0 + c * b0) / scale, 0.0, 1e-15);
    // z rebuilds (c, s): s itself when |a| > |b|, 1/c otherwise.
    if (std::fabs(a0) > std::fabs(b0)) {
      EXPECT_EQ(z, s);
    } else {
      EXPECT_EQ(z, 1.0 / c);
    }
  }
}

TEST(Sparse, RepeatedPositionsAndZeroFactor) {
  for (int level : qvk_test::supported_isas()) {
    qvk_test::IsaScope scope(level);
    double y[4] = {0, 0, 10, 0};
    double x[2] = {1.0, 2.0};
    int idx[2] = {3, 3}, two = 2;
    double a = 1.0, zero = 0.0;
    e_daxpyi(&two, &a, x, idx, y);
    EXPECT_EQ(y[2], 13.0);
    double ny[2] = {kNaN, 5};
    int i2[2] = {1, 2};
    e_daxpyi(&two, &zero, x, i2, ny);
    EXPECT_EQ(ny[1], 5.0);
    double sx[2] = {5.0, 7.0};
    int d2[2] = {2, 2};
    e_dsctr(&two, sx, d2, y);
    EXPECT_EQ(y[1], 7.0);
  }
}

TEST(Sparse, DotIsOneSequentialSumAndGatherScatterRoundTrip) {
  // As for the sum of magnitudes: 1 then twelve halves of an ulp.
  std::vector<double> x(12, std::ldexp(1.0, -53)), y(30, 1.0);
  x[0] = 1.0;
  std::vector<int> idx(12);
  for (int i = 0; i < 12; ++i) idx[i] = 30 - 2 * i;
  int nz = 12;
  EXPECT_EQ(e_ddoti(&nz, x.data(), idx.data(), y.data()), 1.0);

  std::vector<double> full = qvk_test::adversarial_doubles(66, 9), g(33), back(66, 0.0);
  std::vector<int> pos(33);
  for (int i = 0; i < 33; ++i) pos[i] = 66 - 2 * i;
  int n = 33;
  e_dgthr(&n, full.data(), g.data(), pos.data());
  e_dsctr(&n, g.data(), pos.data(), back.data());
  for (int i = 0; i < 33; ++i) EXPECT_EQ(bits(back[pos[i] - 1]), bits(full[pos[i] - 1]));
}

}  // namespace

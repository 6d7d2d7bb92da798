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

Vec cat(std::initializer_list<Vec> parts) {
  Vec all;
  for (const Vec &p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Each rule runs kernels on small data and returns what they left or gave;
// want is exact, bit for bit (+0.0 is not -0.0; NaNs equal).
const struct {
  const char *what;
  Vec (*run)();
  Vec want;
} kRules[] = {
    {"dcopy of y = x shifted by one moves the old x, icopy back",
     [] {
       int one = 1, ten = 10, ib[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
       Vec b = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
       e_dcopy(&ten, &b[0], &one, &b[1], &one), e_icopy(&ten, ib + 1, &one, ib, &one);
       return cat({b, {double(ib[0]), double(ib[9])}});
     },
     {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 2, 11}},
    {"clears write +0.0; increment -2 acts as 2, increment 0 clears x(1) only",
     [] {
       Vec x = {-1, -2, -3, -4, -5};
       int two = 2, three = 3, m2 = -2, zero = 0, ix[3] = {7, 8, 9};
       e_dzero(&two, &x[0], &m2), e_dzero(&three, &x[4], &zero), e_izero(&two, ix, &two);
       return cat({x, {double(ix[0]), double(ix[1]), double(ix[2])}});
     },
     {0.0, -2, 0.0, -4, 0.0, 0, 8, 0}},
    {"dscal forms every product (0 * Inf, 0 * NaN, 0 * -2); increment -2 acts as 2, 0 scales x(1) n times",
     [] {
       Vec s = {kInf, kNaN, -2.0}, p = {1, 2, 3, 4, 5, 6}, q = p, r = {1.0};
       double z = 0.0, a = 3.0;
       int one = 1, two = 2, m2 = -2, zero = 0, three = 3;
       e_dscal(&three, &z, &s[0], &one), e_dscal(&three, &a, &p[0], &two);
       e_dscal(&three, &a, &q[0], &m2), e_dscal(&three, &a, &r[0], &zero);
       return cat({s, p, q, r});
     },
     {kNaN, kNaN, -0.0, 3, 2, 9, 4, 15, 6, 3, 2, 9, 4, 15, 6, 27}},
    {"drscl skips 0 and 1, multiplies by the rounded reciprocal (10 * (1/3), not 10 / 3)",
     [] {
       Vec x = {kNaN, 8.0, 10.0};
       double sa[] = {0.0, 1.0, 4.0, 3.0};
       int two = 2, one = 1;
       for (int i = 0; i < 3; ++i) drscl(&two, &sa[i], &x[0], &one);
       drscl(&one, &sa[3], &x[2], &one);
       return x;
     },
     {kNaN, 2.0, 10.0 * (1.0 / 3.0)}},
    {"daxpy with alpha 0 leaves y; over y = x shifted by one each update reads the previous store",
     [] {
       Vec x = {kNaN, kInf, 1}, y = {1, 2, 3}, buf(40, 1.0);
       double zero = 0.0, a = 1.0;
       int n = 3, one = 1, n39 = 39;
       e_daxpy(&n, &zero, &x[0], &one, &y[0], &one), e_daxpy(&n39, &a, &buf[0], &one, &buf[1], &one);
       for (int i = 0; i < 40; ++i) buf[i] -= i;  // 1, 2, ..., 40 wanted
       return cat({y, buf});
     },
     cat({{1, 2, 3}, Vec(40, 1.0)})},
    {"dasum and ddoti: one left-to-right sum, 1 + 2^-53 rounds back to 1 at every step",
     [] {
       Vec x(25, std::ldexp(1.0, -53)), y(30, 1.0), z = {-1.5, 99, 2.5};
       int n = 25, one = 1, m1 = -1, zero = 0, two = 2, nz = 12, idx[12];
       for (int i = 0; i < 12; ++i) idx[i] = 30 - 2 * i;
       x[0] = -1.0;
       Vec r = {e_dasum(&n, &x[0], &one), e_dasum(&n, &x[0], &m1), e_dasum(&two, &z[0], &two), e_dasum(&two, &z[0], &zero)};
       x[0] = 1.0;
       return cat({r, {e_ddoti(&nz, &x[0], idx, &y[0])}});
     },
     {1, 1, 4, 3, 1}},
    // Mid-range only; zeros; small, scaled by the first; the scale moving up;
    // a scaled sum lost against 1; large from the first; leading zeros
    // skipped; divided twice; increment 0 (four times x(1)).
    {"dnrm2 follows the phases of the scaled algorithm",
     [] {
       const Vec xs[] = {{3, 4}, {0, -0.0}, {1e-20, 1e-20}, {1e-20, 2e-20}, {1e-20, 1.0}, {-1e200, 1e200},
                         {0, 0, 1e-20, 1e-20}, {1.0, 1e300}};
       Vec r;
       int one = 1, four = 4, zero = 0;
       for (const Vec &x : xs) {
         const int n = static_cast<int>(x.size());
         r.push_back(e_dnrm2(&n, x.data(), &one));
       }
       const double v = -7.0;
       return cat({r, {e_dnrm2(&four, &v, &zero)}});
     },
     {5.0, 0.0, 1e-20 * std::sqrt(2.0), 2e-20 * std::sqrt(1.25), 1.0, 1e200 * std::sqrt(2.0), 1e-20 * std::sqrt(2.0),
      1e300 * std::sqrt(((1.0 / 1e300) / 1e300) + 1.0), 14.0}},
    {"idamax keeps the first tie, a NaN replaces, n = 1 reads nothing; damax; increments 2, -1, 0",
     [] {
       int three = 3, one = 1, m1 = -1, zero = 0, two = 2;
       double a[3] = {3, -3, 1}, b[3] = {1, kNaN, 2}, c[3] = {1, kNaN, 0.5}, d[5] = {1, 9, -4, 9, 8};
       return Vec{double(e_idamax(&three, a, &one)), double(e_idamax(&three, b, &one)),
                  double(e_idamax(&one, nullptr, &one)), damax(&three, c, &one), double(e_idamax(&three, d, &two)),
                  damax(&three, d, &m1), double(e_idamax(&three, d, &zero))};
     },
     {1, 3, 1, 0.5, 3, 9, 1}},
    {"daxpyi adds at repeated positions, alpha 0 leaves y; dsctr's last store wins",
     [] {
       Vec y = {0, 0, 10, 0}, x = {1, 2}, ny = {kNaN, 5};
       double a = 1.0, zero = 0.0;
       int same[2] = {3, 3}, i2[2] = {1, 2}, two = 2;
       e_daxpyi(&two, &a, &x[0], same, &y[0]);
       const double added = y[2];
       e_daxpyi(&two, &zero, &x[0], i2, &ny[0]), e_dsctr(&two, &x[0], same, &y[0]);
       return Vec{added, ny[1], y[2]};
     },
     {13, 5, 2}},
};

TEST(Rules, KnownAnswersOnEveryPath) {
  qvk_test::for_each_isa([](int) {
    for (const auto &rule : kRules) {
      SCOPED_TRACE(rule.what);
      const Vec got = rule.run();
      ASSERT_EQ(got.size(), rule.want.size());
      EXPECT_SAME_BITS(got.data(), rule.want.data(), got.size());
    }
  });
}

// Copies, and gather then scatter, keep every payload.
TEST(Moves, KeepEveryBit) {
  const Vec a = qvk_test::adversarial_doubles(66, 9);
  Vec b(66), g(33), back(66, 0.0);
  int n = 66, one = 1, half = 33, pos[33];
  for (int i = 0; i < 33; ++i) pos[i] = 66 - 2 * i;
  e_dcopy(&n, a.data(), &one, b.data(), &one);
  EXPECT_EQ(qvk_test::exact_bit_difference(a.data(), b.data(), 66), -1);
  e_dgthr(&half, a.data(), g.data(), pos);
  e_dsctr(&half, g.data(), pos, back.data());
  for (int i = 0; i < 33; ++i) EXPECT_EQ(bits(back[pos[i] - 1]), bits(a[pos[i] - 1]));
}

TEST(Norm, IncrementsAndAccuracyAcrossRanges) {
  for (int e : {-300, -160, -40, 0, 40, 160, 300}) {
    Vec x = qvk_test::random_doubles(301, 11 + e, -1, 1);
    long double exact = 0;
    for (auto &v : x) v = std::ldexp(v, e), exact += static_cast<long double>(v) * v;
    int n = 301, one = 1, m1 = -1, three = 3, m3 = -3, n3 = 100;
    const double r = e_dnrm2(&n, x.data(), &one), want = static_cast<double>(std::sqrt(exact));
    EXPECT_EQ(bits(r), bits(e_dnrm2(&n, x.data(), &m1)));
    EXPECT_EQ(bits(e_dnrm2(&n3, x.data(), &three)), bits(e_dnrm2(&n3, x.data(), &m3)));
    if (std::isfinite(want) && want > 1e-290) { EXPECT_NEAR(r / want, 1.0, 1e-13) << e; }
  }
  // n = 2^24 + 1 rounds to 2^24 in single precision, so the upper threshold
  // is cuthi/2^24: an element between cuthi/(2^24+1) and cuthi/2^24 (repeated
  // by increment 0) stays unscaled, its squares summed with rounding.
  const int n = 16777217, zero = 0;
  const double lo = 1.304e19 / 16777217.0, hi = 1.304e19 / 16777216.0, v = lo + (hi - lo) / 2;
  const double r = e_dnrm2(&n, &v, &zero), scaled = v * std::sqrt(16777217.0);
  EXPECT_NE(bits(r), bits(scaled));
  EXPECT_NEAR(r / scaled, 1.0, 1e-6);
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

}  // namespace

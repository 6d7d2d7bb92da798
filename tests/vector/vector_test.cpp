// The vector kernels: known answers on every path, every path against the
// scalar bits, the reference BLAS, accuracy, a cross-build checksum.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <random>

#include "QorVARDMathKernel/vector.h"
#include "qvk_test.h"

namespace {

using qvk_test::bits;
using qvk_test::expect_paths_agree;
using qvk_test::Vec;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kAlphas[] = {0.75, -3.0e-7, 1.0e300, -0.0, 4.9e-324, kInf, kNaN};

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
    {"dcopy of y = x shifted by one moves the old x, icopy back", [] {
       int one = 1, ten = 10, ib[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
       Vec b = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
       e_dcopy(&ten, &b[0], &one, &b[1], &one), e_icopy(&ten, ib + 1, &one, ib, &one);
       return cat({b, {double(ib[0]), double(ib[9])}});
     }, {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 2, 11}},
    {"clears write +0.0; increment -2 acts as 2, increment 0 clears x(1) only", [] {
       Vec x = {-1, -2, -3, -4, -5};
       int two = 2, three = 3, m2 = -2, zero = 0, ix[3] = {7, 8, 9};
       e_dzero(&two, &x[0], &m2), e_dzero(&three, &x[4], &zero), e_izero(&two, ix, &two);
       return cat({x, {double(ix[0]), double(ix[1]), double(ix[2])}});
     }, {0.0, -2, 0.0, -4, 0.0, 0, 8, 0}},
    {"dscal forms every product (0 * Inf, 0 * NaN, 0 * -2); increment -2 acts as 2, 0 scales x(1) n times", [] {
       Vec s = {kInf, kNaN, -2.0}, p = {1, 2, 3, 4, 5, 6}, q = p, r = {1.0};
       double z = 0.0, a = 3.0;
       int one = 1, two = 2, m2 = -2, zero = 0, three = 3;
       e_dscal(&three, &z, &s[0], &one), e_dscal(&three, &a, &p[0], &two);
       e_dscal(&three, &a, &q[0], &m2), e_dscal(&three, &a, &r[0], &zero);
       return cat({s, p, q, r});
     }, {kNaN, kNaN, -0.0, 3, 2, 9, 4, 15, 6, 3, 2, 9, 4, 15, 6, 27}},
    {"drscl skips 0 and 1, multiplies by the rounded reciprocal (10 * (1/3), not 10 / 3)", [] {
       Vec x = {kNaN, 8.0, 10.0};
       double sa[] = {0.0, 1.0, 4.0, 3.0};
       int two = 2, one = 1;
       for (int i = 0; i < 3; ++i) drscl(&two, &sa[i], &x[0], &one);
       drscl(&one, &sa[3], &x[2], &one);
       return x;
     }, {kNaN, 2.0, 10.0 * (1.0 / 3.0)}},
    {"daxpy with alpha 0 leaves y; over y = x shifted by one each update reads the previous store", [] {
       Vec x = {kNaN, kInf, 1}, y = {1, 2, 3}, buf(40, 1.0);
       double zero = 0.0, a = 1.0;
       int n = 3, one = 1, n39 = 39;
       e_daxpy(&n, &zero, &x[0], &one, &y[0], &one), e_daxpy(&n39, &a, &buf[0], &one, &buf[1], &one);
       for (int i = 0; i < 40; ++i) buf[i] -= i;  // 1, 2, ..., 40 wanted
       return cat({y, buf});
     }, cat({{1, 2, 3}, Vec(40, 1.0)})},
    {"dasum and ddoti: one left-to-right sum, 1 + 2^-53 rounds back to 1 at every step", [] {
       Vec x(25, std::ldexp(1.0, -53)), y(30, 1.0), z = {-1.5, 99, 2.5};
       int n = 25, one = 1, m1 = -1, zero = 0, two = 2, nz = 12, idx[12];
       for (int i = 0; i < 12; ++i) idx[i] = 30 - 2 * i;
       x[0] = -1.0;
       Vec r = {e_dasum(&n, &x[0], &one), e_dasum(&n, &x[0], &m1), e_dasum(&two, &z[0], &two), e_dasum(&two, &z[0], &zero)};
       x[0] = 1.0;
       return cat({r, {e_ddoti(&nz, &x[0], idx, &y[0])}});
     }, {1, 1, 4, 3, 1}},
    // Mid-range; zeros; small; the scale moving up; a scaled sum lost against
    // 1; large; leading zeros skipped; divided twice; increment 0.
    {"dnrm2 follows the phases of the scaled algorithm", [] {
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
     }, {5.0, 0.0, 1e-20 * std::sqrt(2.0), 2e-20 * std::sqrt(1.25), 1.0, 1e200 * std::sqrt(2.0), 1e-20 * std::sqrt(2.0),
      1e300 * std::sqrt(((1.0 / 1e300) / 1e300) + 1.0), 14.0}},
    {"idamax keeps the first tie, a NaN replaces, n = 1 reads nothing; damax; increments 2, -1, 0", [] {
       int three = 3, one = 1, m1 = -1, zero = 0, two = 2;
       double a[3] = {3, -3, 1}, b[3] = {1, kNaN, 2}, c[3] = {1, kNaN, 0.5}, d[5] = {1, 9, -4, 9, 8};
       return Vec{double(e_idamax(&three, a, &one)), double(e_idamax(&three, b, &one)),
                  double(e_idamax(&one, nullptr, &one)), damax(&three, c, &one), double(e_idamax(&three, d, &two)),
                  damax(&three, d, &m1), double(e_idamax(&three, d, &zero))};
     }, {1, 3, 1, 0.5, 3, 9, 1}},
    {"daxpyi adds at repeated positions, alpha 0 leaves y; dsctr's last store wins", [] {
       Vec y = {0, 0, 10, 0}, x = {1, 2}, ny = {kNaN, 5};
       double a = 1.0, zero = 0.0;
       int same[2] = {3, 3}, i2[2] = {1, 2}, two = 2;
       e_daxpyi(&two, &a, &x[0], same, &y[0]);
       const double added = y[2];
       e_daxpyi(&two, &zero, &x[0], i2, &ny[0]), e_dsctr(&two, &x[0], same, &y[0]);
       return Vec{added, ny[1], y[2]};
     }, {13, 5, 2}},
};

TEST(Rules, KnownAnswersAndMovesOnEveryPath) {
  qvk_test::for_each_isa([](int) {
    for (const auto &rule : kRules) {
      SCOPED_TRACE(rule.what);
      const Vec got = rule.run();
      ASSERT_EQ(got.size(), rule.want.size());
      EXPECT_SAME_BITS(got.data(), rule.want.data(), got.size());
    }
    // Copies, and gather then scatter, keep every payload.
    const Vec a = qvk_test::adversarial_doubles(66, 9);
    Vec b(66), g(33), back(66, 0.0);
    int n = 66, one = 1, half = 33, pos[33];
    for (int i = 0; i < 33; ++i) pos[i] = 66 - 2 * i;
    e_dcopy(&n, a.data(), &one, b.data(), &one);
    EXPECT_EQ(qvk_test::exact_bit_difference(a.data(), b.data(), 66), -1);
    e_dgthr(&half, a.data(), g.data(), pos);
    e_dsctr(&half, g.data(), pos, back.data());
    for (int i = 0; i < 33; ++i) EXPECT_EQ(bits(back[pos[i] - 1]), bits(a[pos[i] - 1]));
  });
}

// Either sign of increment, accurate from 2^-300 to 2^300; the upper threshold
// divides by n in single precision: 2^24 + 1 as 2^24, elements left unscaled.
TEST(Norm, IncrementsAccuracyAndTheUpperThreshold) {
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
  const int n = 16777217, zero = 0;
  const double v = 1.304e19 / 16777216.5, r = e_dnrm2(&n, &v, &zero), scaled = v * std::sqrt(16777217.0);
  EXPECT_NE(bits(r), bits(scaled));
  EXPECT_NEAR(r / scaled, 1.0, 1e-6);
}

// (c, s) turns (a, b) onto (r, 0); z is s when |a| > |b|, else 1/c, or 1 at
// c = 0 (a = 0 here); a = b = 0 gives (1, 0) and leaves a and b.
TEST(Rotation, TurnsOntoTheFirstAxis) {
  Vec v = qvk_test::random_doubles(200, 3, -10, 10);
  v[0] = 0.0;
  for (size_t i = 0; i + 1 < v.size(); i += 2) {
    double a0 = v[i], b0 = v[i + 1], r = a0, z = b0, c, s;
    e_drotg(&r, &z, &c, &s);
    const double scale = std::fabs(a0) + std::fabs(b0);
    EXPECT_NEAR(c * c + s * s, 1.0, 1e-15);
    EXPECT_NEAR((c * a0 + s * b0) / scale, r / scale, 1e-15);
    EXPECT_NEAR((-s * a0 + c * b0) / scale, 0.0, 1e-15);
    EXPECT_EQ(z, std::fabs(a0) > std::fabs(b0) ? s : c != 0.0 ? 1.0 / c : 1.0);
  }
  double a = 0.0, b = 0.0, c, s;
  e_drotg(&a, &b, &c, &s);
  EXPECT_EQ(Vec({a, b, c, s}), Vec({0, 0, 1, 0}));
}

// Sizes across every unroll, vector and cache-block boundary.
std::vector<int> boundary_sizes() {
  std::vector<int> s(71);
  std::iota(s.begin(), s.end(), 0);
  s.insert(s.end(), {95, 96, 97, 127, 128, 129, 255, 1000, 1001, 4099});
  return s;
}

// One call on buffer p: x from p[1] (an unaligned start), y from p[off];
// results returned are appended to p. exact: moves keep NaN payloads.
const struct {
  const char *name;
  bool alpha, exact, y;
  void (*f)(Vec &p, int n, int inc, int off, double a);
} kKernels[] = {
    {"e_dscal", true, false, false, [](Vec &p, int n, int inc, int, double a) { e_dscal(&n, &a, &p[1], &inc); }},
    {"drscl", true, false, false, [](Vec &p, int n, int inc, int, double a) { drscl(&n, &a, &p[1], &inc); }},
    {"e_daxpy", true, false, true,
     [](Vec &p, int n, int inc, int off, double a) { e_daxpy(&n, &a, &p[1], &inc, &p[off], &inc); }},
    {"e_dswap", false, true, true,
     [](Vec &p, int n, int inc, int off, double) { e_dswap(&n, &p[1], &inc, &p[off], &inc); }},
    {"e_dcopy", false, true, true,
     [](Vec &p, int n, int inc, int off, double) { e_dcopy(&n, &p[1], &inc, &p[off], &inc); }},
    {"e_dzero", false, true, false, [](Vec &p, int n, int inc, int, double) { e_dzero(&n, &p[1], &inc); }},
    {"sums", false, false, false,
     [](Vec &p, int n, int inc, int, double) {
       p.push_back(e_dasum(&n, &p[1], &inc)), p.push_back(e_dnrm2(&n, &p[1], &inc));
       p.push_back(e_idamax(&n, &p[1], &inc)), p.push_back(damax(&n, &p[1], &inc));
     }},
};

TEST(Paths, EveryKernelGivesTheScalarBits) {
  std::mt19937 gen(23);
  for (int n : boundary_sizes()) {
    SCOPED_TRACE(n);
    Vec ties = qvk_test::random_doubles(4 * n + 3, n);
    for (auto &v : ties) v = std::round(v * 3) * 0.5;  // few values, both signs, zeros
    std::vector<Vec> data = {qvk_test::adversarial_doubles(4 * n + 3, n), ties};
    if (n >= 1) {  // a NaN last, and one anywhere, among ties
      data.push_back(ties), data.back()[n] = -kNaN;
      data.push_back(ties), data.back()[1 + gen() % n] = kNaN;
    }
    for (const Vec &buf : data)
      for (int inc : {1, -1, 2, -2}) {
        const int k = std::abs(inc) == 1 ? n : n / 2, apart = std::abs(inc) == 1 ? n + 2 : 2 * n + 2;
        for (const auto &kernel : kKernels)
          for (int off : {apart, 0, 1, 2, 4})  // y apart from x, or overlapping it
            for (double a : kAlphas) {
              if (off != apart && !kernel.y) break;
              SCOPED_TRACE(testing::Message() << kernel.name << " inc " << inc << " y at " << off << " alpha " << a);
              expect_paths_agree(buf, [&](Vec &p) { kernel.f(p, k, inc, off, a); }, kernel.exact);
              if (!kernel.alpha) break;
            }
      }
  }
}

TEST(Paths, SparseGatherScatterUpdate) {
  std::mt19937 gen(17);
  for (int nz : boundary_sizes()) {
    SCOPED_TRACE(nz);
    const int ylen = 2 * nz + 9;
    std::vector<int> distinct(ylen), repeated(nz);
    std::iota(distinct.begin(), distinct.end(), 1);
    std::shuffle(distinct.begin(), distinct.end(), gen);
    distinct.resize(nz);
    for (auto &p : repeated) p = 1 + static_cast<int>(gen() % 6);  // groups of eight repeat
    const Vec buf = qvk_test::adversarial_doubles(1 + nz + ylen, 100 + nz);  // [pad][x: nz][y: ylen]
    for (const int *ix : {distinct.data(), repeated.data()}) {
      expect_paths_agree(buf, [&](Vec &p) { e_dgthr(&nz, &p[1 + nz], &p[1], ix); }, true);
      expect_paths_agree(buf, [&](Vec &p) { e_dsctr(&nz, &p[1], ix, &p[1 + nz]); }, true);
      for (double a : kAlphas) expect_paths_agree(buf, [&](Vec &p) { e_daxpyi(&nz, &a, &p[1], ix, &p[1 + nz]); });
      expect_paths_agree(buf, [&](Vec &p) { p.push_back(e_ddoti(&nz, &p[1], ix, &p[1 + nz])); });
    }
  }
}

// Finite data: where both define a result, it must be the reference's bits.
TEST(Oracle, Level1RoutinesMatchReference) {
  auto dcopy = qvk_test::ref_blas<decltype(&e_dcopy)>("dcopy_");
  auto dswap = qvk_test::ref_blas<decltype(&e_dswap)>("dswap_");
  auto daxpy = qvk_test::ref_blas<decltype(&e_daxpy)>("daxpy_");
  auto dscal = qvk_test::ref_blas<decltype(&e_dscal)>("dscal_");
  auto idamax = qvk_test::ref_blas<decltype(&e_idamax)>("idamax_");
  ASSERT_ORACLE(dcopy && dswap && daxpy && dscal && idamax);
  const double a = -0.3125;
  const int incs[][2] = {{1, 1}, {2, 3}, {-1, 1}, {1, -2}, {-3, -2}, {0, 1}, {4, -1}};
  for (int n : {1, 2, 5, 13, 64, 257})
    for (const auto &s : incs) {
      SCOPED_TRACE(testing::Message() << "n " << n << " incx " << s[0] << " incy " << s[1]);
      const int len = n * 4 + 1, *ix = &s[0], *iy = &s[1];
      Vec buf = qvk_test::random_doubles(2 * len, n);
      auto agree = [&](auto ours, auto ref) { qvk_test::expect_oracle_agrees(buf, ours, ref); };
      agree([&](Vec &p) { e_dcopy(&n, &p[0], ix, &p[len], iy); }, [&](Vec &p) { dcopy(&n, &p[0], ix, &p[len], iy); });
      agree([&](Vec &p) { e_dswap(&n, &p[0], ix, &p[len], iy); }, [&](Vec &p) { dswap(&n, &p[0], ix, &p[len], iy); });
      agree([&](Vec &p) { e_daxpy(&n, &a, &p[0], ix, &p[len], iy); },
            [&](Vec &p) { daxpy(&n, &a, &p[0], ix, &p[len], iy); });
      if (*ix <= 0) continue;  // the reference scaling and search do nothing there
      agree([&](Vec &p) { e_dscal(&n, &a, &p[0], ix); }, [&](Vec &p) { dscal(&n, &a, &p[0], ix); });
      for (auto &v : buf) v = std::round(v * 4);  // many ties, both signs
      EXPECT_EQ(e_idamax(&n, buf.data(), ix), idamax(&n, buf.data(), ix));
    }
}

// One checksum over the results of every arithmetic vector kernel.
TEST(CrossBuild, VectorKernelsReproduceTheRecordedChecksum) {
  auto results = [] {
    qvk_test::Checksum sum;
    for (int n : {1, 3, 4, 5, 6, 7, 8, 9, 12, 17, 31, 64, 100, 257})
      for (int inc : {1, 2, -1, -3, 0}) {
        const int len = n * 3 + 1, one = 1;
        Vec x = qvk_test::portable_doubles(len, n * 31 + inc + 7);
        Vec y = qvk_test::portable_doubles(len, n * 37 + inc + 11, -60, 60);
        const double a = x[0] * 3.0;
        e_daxpy(&n, &a, x.data(), &inc, y.data(), &one);
        e_dscal(&n, &a, x.data(), &inc);
        sum.add(y.data(), y.size()), sum.add(x.data(), x.size());
        sum.add(e_dasum(&n, y.data(), &inc)), sum.add(e_dnrm2(&n, y.data(), &inc)), sum.add(damax(&n, y.data(), &inc));
        sum.add(static_cast<long long>(e_idamax(&n, y.data(), &inc)));
        drscl(&n, &a, y.data(), &inc);
        sum.add(y.data(), y.size());
        std::vector<int> idx(n);
        for (int i = 0; i < n; ++i) idx[i] = (i * 7) % len + 1;
        e_daxpyi(&n, &a, x.data(), idx.data(), y.data());
        sum.add(y.data(), y.size()), sum.add(e_ddoti(&n, x.data(), idx.data(), y.data()));
      }
    // The norm through all four phases and the rotation across magnitudes.
    for (int e : {-200, -40, 0, 40, 200}) {
      Vec v = qvk_test::portable_doubles(50, 1000 + e, e - 10, e + 10);
      const int n = 50, one = 1;
      sum.add(e_dnrm2(&n, v.data(), &one));
      for (size_t i = 0; i + 1 < v.size(); i += 2) {
        double c, s;
        e_drotg(&v[i], &v[i + 1], &c, &s);
        sum.add(v.data() + i, 2), sum.add(c), sum.add(s);
      }
    }
    return sum.value();
  };
  qvk_test::for_each_isa([&](int) { EXPECT_EQ(results(), 0x047a0196dab783d5ull); });
}

}  // namespace

// On an emulated processor (tools/test) the dispatch finds its level exactly.
TEST(Dispatch, FindsTheLevelOfThisProcessor) {
  const char *expect = std::getenv("QVK_EXPECT_ISA");
  EXPECT_STREQ(qvk::isa_name(qvk::isa_supported()), expect ? expect : qvk::isa_name(qvk::isa_supported()));
}

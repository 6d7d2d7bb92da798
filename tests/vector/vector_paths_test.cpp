// Every optimized path against the scalar order, bit for bit (sizes across
// every unroll and vector boundary, unaligned starts, increments, overlaps,
// NaN payloads, infinities, signed zeros, subnormals, ties); the published
// Level 1 routines against the reference BLAS; one checksum tying the 32-bit
// build to the 64-bit one.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include "QorVARDMathKernel/vector.h"
#include "qvk_test.h"

namespace {

using qvk_test::expect_paths_agree;
using qvk_test::Vec;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kAlphas[] = {0.75, -3.0e-7, 1.0e300, -0.0, 4.9e-324, std::numeric_limits<double>::infinity(), kNaN};

// One call on buffer p: x from p[1] (an unaligned start), y from p[off];
// results returned are appended to p. exact: moves keep NaN payloads.
const struct {
  const char *name;
  bool alpha, exact;
  void (*f)(Vec &p, int n, int inc, int off, double a);
} kKernels[] = {
    {"e_dscal", true, false, [](Vec &p, int n, int inc, int, double a) { e_dscal(&n, &a, &p[1], &inc); }},
    {"drscl", true, false, [](Vec &p, int n, int inc, int, double a) { drscl(&n, &a, &p[1], &inc); }},
    {"e_daxpy", true, false,
     [](Vec &p, int n, int inc, int off, double a) { e_daxpy(&n, &a, &p[1], &inc, &p[off], &inc); }},
    {"e_dswap", false, true, [](Vec &p, int n, int inc, int off, double) { e_dswap(&n, &p[1], &inc, &p[off], &inc); }},
    {"e_dcopy", false, true, [](Vec &p, int n, int inc, int off, double) { e_dcopy(&n, &p[1], &inc, &p[off], &inc); }},
    {"e_dzero", false, true, [](Vec &p, int n, int inc, int, double) { e_dzero(&n, &p[1], &inc); }},
    {"sums", false, false,
     [](Vec &p, int n, int inc, int, double) {
       p.push_back(e_dasum(&n, &p[1], &inc)), p.push_back(e_dnrm2(&n, &p[1], &inc));
       p.push_back(e_idamax(&n, &p[1], &inc)), p.push_back(damax(&n, &p[1], &inc));
     }},
};

TEST(Paths, EveryKernelGivesTheScalarBits) {
  std::mt19937 gen(23);
  for (int n : qvk_test::boundary_sizes()) {
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
        const int k = std::abs(inc) == 1 ? n : n / 2, off = std::abs(inc) == 1 ? n + 2 : 2 * n + 2;
        for (const auto &kernel : kKernels)
          for (double a : kAlphas) {
            SCOPED_TRACE(testing::Message() << kernel.name << " inc " << inc << " alpha " << a);
            expect_paths_agree(buf, [&](Vec &p) { kernel.f(p, k, inc, off, a); }, kernel.exact);
            if (!kernel.alpha) break;
          }
      }
  }
}

TEST(Paths, OverlappingAndIdenticalVectors) {
  const int one = 1;
  const double a = 0.5;
  for (int n : {7, 16, 33, 64, 101})
    for (int shift : {-3, -1, 0, 1, 2, 5}) {
      const Vec buf = qvk_test::random_doubles(n + 12, n);
      expect_paths_agree(buf, [&](Vec &p) { e_daxpy(&n, &a, &p[4], &one, &p[4 + shift], &one); });
      expect_paths_agree(buf, [&](Vec &p) { e_dswap(&n, &p[4], &one, &p[4 + shift], &one); });
    }
}

TEST(Paths, SparseGatherScatterUpdate) {
  std::mt19937 gen(17);
  for (int nz : qvk_test::boundary_sizes()) {
    SCOPED_TRACE(nz);
    const int ylen = 2 * nz + 9;
    std::vector<int> distinct(ylen), repeated(nz);
    for (int i = 0; i < ylen; ++i) distinct[i] = i + 1;
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
  // The reference routines have our entries' signatures.
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

// Run on an emulated processor (tools/test), the dispatch must find the
// level that the processor model offers and no more.
TEST(Dispatch, FindsTheLevelOfThisProcessor) {
  const char *expect = std::getenv("QVK_EXPECT_ISA");
  EXPECT_STREQ(qvk::isa_name(qvk::isa_supported()), expect ? expect : qvk::isa_name(qvk::isa_supported()));
}

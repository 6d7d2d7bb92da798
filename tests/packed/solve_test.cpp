// Packed triangular solve, the Cholesky solves and the resumable packed
// Cholesky factorization: the reference BLAS/LAPACK, every path against the
// scalar bits, the documented corner rules, and one checksum over the packed
// kernels that ties the 32-bit build to the 64-bit one.
#include <algorithm>
#include <cmath>

#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "qvk_test.h"

namespace {

using qvk_test::Vec;
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

// A packed triangle (either layout), diagonal in [1, 2], off-diagonals
// scaled down to keep the solution bounded.
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

// Against the reference at strides of both signs, with zeros in x that let
// the non-transposed solves skip a column; the triangle is only read. Every
// letter but N/n selects the transposed solve and the unit diagonal. With
// NaN, Inf, signed zeros and subnormals in the triangle and in x, every path
// gives the scalar bits.
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
  // Upper, not transposed: x(2) = 0 skips column 2, whose NaN must not
  // reach x(1).
  Vec tri = {2, std::nan(""), 1, 0.5, 0.0, 4}, x = {1, 0, 8};
  tpsv("UNN", 3, tri, x.data(), 1);
  EXPECT_EQ(x, (Vec{0.0, 0.0, 2.0}));
}

// Rows past n in each column keep their values; info is not written on
// success; one column ignores ldb, even 0. Columns solved together (counts
// around the lane widths; the long order fills the column buffer of the
// widest lanes) give the bits of each column solved alone, as does eacort.
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
  for (int n : {37, 600})
    for (int nrhs : {2, 7, 9, 17}) {
      if (n == 600 && nrhs != 9) continue;
      SCOPED_TRACE(testing::Message() << "n " << n << " nrhs " << nrhs);
      const int ldb = n + 3, one = 1, nn = n * (n + 1) / 2;
      const Vec ap = spd(n, 4), b0 = qvk_test::adversarial_doubles(ldb * nrhs, 9);
      Vec alone = b0;
      int info = 0;
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        for (int c = 0; c < nrhs; ++c) e_dpptrs("U", &n, &one, ap.data(), &alone[c * ldb], &ldb, &info, 1);
      }
      qvk_test::for_each_isa([&](int) {
        Vec b = b0, c = b0;
        dpptrs_2("u", &n, &nrhs, ap.data(), b.data(), &ldb, &info, 1);
        EXPECT_SAME_BITS(b.data(), alone.data(), b.size());
        eacort(&nn, &n, ap.data(), c.data());
        EXPECT_SAME_BITS(c.data(), alone.data(), n);
      });
    }
  // Only U is accepted (info 1, b kept); leading zeros are not skipped, so
  // a NaN in the factor reaches the solution.
  const int n = 4, two = 2, one = 1;
  Vec ap = spd(n, 2), b = {1, 2, 3, 4, 5, 6, 7, 8}, z = {0, 0, 1, 1};
  int info = 0;
  e_dpptrs("L", &n, &two, ap.data(), b.data(), &n, &info, 1);
  EXPECT_EQ(info, 1);
  EXPECT_EQ(b, (Vec{1, 2, 3, 4, 5, 6, 7, 8}));
  ap[1] = std::nan("");  // u(1,2)
  e_dpptrs("U", &n, &one, ap.data(), z.data(), &n, &info, 1);
  EXPECT_TRUE(std::isnan(z[0]));
}

// Each row's off-diagonal values are the reference DTPSV (upper, transposed)
// of the original row with the earlier factor rows, bit for bit; the factor
// agrees with the reference DPPTRF to rounding (its pivots subtract one dot
// product instead of a running difference); piv is written only on failure.
// On every path, the scalar bits for random matrices, a failure half-way, and
// NaN / Inf / subnormal entries (a NaN pivot is not reported), info and the
// failed pivot included.
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

// A failure leaves rows before it complete, its own off-diagonals computed
// and diagonal unwritten, later rows untouched; restoring the row and
// resuming there, or growing a factored matrix by new rows, gives the
// factor of one uninterrupted call.
TEST(Cholesky, ResumeAndGrowthEqualTheUninterruptedFactor) {
  qvk_test::for_each_isa([&](int) {
    for (int n : {6, 17, 40}) {
      const int fail = n / 2 + 1;
      const Vec a = spd(n, n + 100);
      Vec whole = a, ap = a, grown = a;
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
    }
  });
}

// d equal to tol fails (piv the pivot, the diagonal kept), as does a nearly
// singular pivot; i1 > n factors nothing (info 0, piv untouched); a NaN
// pivot is stored, not reported; a starting row below one starts at one.
TEST(Cholesky, ThresholdAndStartingRows) {
  Vec one = {4.0}, tol = {2.5}, a = {1.0, 1.0, 1.0 + 1e-12}, b = {4.0, 1.0, 9.0}, c = {std::nan(""), 1.0, 9.0};
  double piv = 0.0, piv2 = 5.0;
  EXPECT_EQ(factor(one, 1), 0);
  EXPECT_EQ(factor(tol, 1, 1, 2.5, &piv), 1);
  EXPECT_EQ(Vec({one[0], tol[0], piv}), Vec({2.0, 2.5, 2.5}));
  EXPECT_EQ(factor(a, 2, 1, 1e-9, &piv), 2);
  EXPECT_EQ(a[1], 1.0);
  EXPECT_EQ(factor(b, 2, 3, 0.0, &piv2), 0);
  EXPECT_EQ(b, (Vec{4.0, 1.0, 9.0}));
  EXPECT_EQ(piv2, 5.0);
  EXPECT_EQ(factor(c, 2), 0);
  EXPECT_TRUE(std::isnan(c[0]) && std::isnan(c[2]));
  Vec x = spd(9, 5), y = x;
  ASSERT_EQ(factor(x, 9, 1), 0);
  ASSERT_EQ(factor(y, 9, -4), 0);
  EXPECT_SAME_BITS(x.data(), y.data(), x.size());
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
      const double tol = 0.0, high = 0.5;
      int info = 0;
      double piv = 0.0;
      eaxfch(nullptr, &one, &n, &tol, ap.data(), &info, &piv);
      sum.add(static_cast<long long>(info)), sum.add(ap.data(), ap.size());
      eaxfch(nullptr, &one, &n, &high, bad.data(), &info, &piv);
      sum.add(static_cast<long long>(info)), sum.add(piv), sum.add(bad.data(), bad.size());
      for (int nrhs : {1, 3}) {
        Vec b = qvk_test::portable_doubles(n * nrhs, 5 * n + nrhs, -20, 20);
        e_dpptrs("U", &n, &nrhs, ap.data(), b.data(), &n, &info, 1);
        sum.add(b.data(), b.size());
      }
      for (const char *uplo : {"U", "L"})
        for (const char *trans : {"N", "T"})
          for (const char *diag : {"N", "U"})
            for (int inc : {1, -2}) {
              Vec x = qvk_test::portable_doubles(2 * n, 3 * n + inc, -20, 20);
              e_dtpsv(uplo, trans, diag, &n, ap.data(), x.data(), &inc, 1, 1, 1);
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

}  // namespace

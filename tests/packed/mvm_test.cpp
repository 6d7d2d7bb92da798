// Product on the diagonal-last row layout.
#include <algorithm>
#include <cmath>
#include <random>

#include "QorVARDMathKernel/packed.h"
#include "qvk_test.h"

namespace {

using qvk_test::Vec;

// Rows holding only columns below the diagonal (the symmetric invariant),
// shuffled, some rows empty, then the diagonal; small integer values keep
// every product and sum exact. Entries that must not be read are garbage.
struct Sparse {
  int n;
  std::vector<int> ia, ja;
  Vec a;
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

void mvm(int mode, const Sparse &s, int m, int nvec, const double *x, double *y) {
  eaxmvm(&mode, &s.ia[s.n], &m, &s.n, &nvec, s.ja.data(), s.ia.data(), s.a.data(), x, y);
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
              for (int i = 1; i <= (mode == 1 ? n : m); ++i) want[i - 1 + k * n] = 0.0;
              for (int i = 1; i <= m; ++i) {
                const int diag = s.ia[i] - 1;
                want[i - 1 + k * n] += s.a[diag] * x[i - 1 + k * n];
                for (int p = i == 1 ? 0 : s.ia[i - 1]; p < diag; ++p) {
                  const int c = s.ja[p];
                  want[i - 1 + k * n] += s.a[p] * x[c - 1 + k * n];
                  if (mode == 1) want[c - 1 + k * n] += s.a[p] * x[i - 1 + k * n];
                }
              }
            }
            mvm(mode, s, m, nvec, x.data(), y.data());
            EXPECT_EQ(y, want);
          }
    }
  });
}

TEST(StoredProduct, EachVectorAsIfAloneOnEveryPath) {
  const int n = 40;
  Sparse s = make(n, 3, 12);
  const Vec junk = qvk_test::adversarial_doubles(s.a.size(), 8);
  for (size_t p = 0; p < s.a.size(); ++p) s.a[p] = p % 3 ? junk[p] : std::ldexp(junk[p], 40);
  const Vec x = qvk_test::adversarial_doubles(n * 9, 5);
  for (int mode : {1, 2})
    for (int m : {n, 17}) {
      Vec alone(n * 9, -1.0);
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        for (int k = 0; k < 9; ++k) mvm(mode, s, m, 1, &x[k * n], &alone[k * n]);
      }
      qvk_test::for_each_isa([&](int) {
        for (int nvec = 1; nvec <= 9; ++nvec) {
          SCOPED_TRACE(testing::Message() << "mode " << mode << " m " << m << " nvec " << nvec);
          Vec y(n * 9, -1.0);
          mvm(mode, s, m, nvec, x.data(), y.data());
          EXPECT_SAME_BITS(y.data(), alone.data(), n * nvec);
          for (size_t k = n * nvec; k < y.size(); ++k) ASSERT_EQ(y[k], -1.0);
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
      mvm(mode, diag, 0, nvec, x.data(), y.data());
      for (int k = 0; k < 3; ++k)
        for (int i = 0; i < n; ++i)
          EXPECT_EQ(y[i + k * n], k < std::max(nvec, 1) ? diag.a[i] * x[i + k * n] : 55.0) << mode;
      if ((mode == 1 || mode == 2) && nvec) continue;
      mvm(mode, s, n, nvec, x.data(), y2.data());
      EXPECT_EQ(y2, Vec(n * 3, 55.0)) << mode;
    }
}

}  // namespace

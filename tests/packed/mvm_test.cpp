// Product on the diagonal-last row layout.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "QorVARDMathKernel/packed.h"
#include "qvk_test.h"

namespace {

// A sparse matrix whose rows hold only columns below the diagonal (the
// symmetric invariant), in shuffled order, some rows empty; values are
// small integers so that every product and sum below is exact.
struct Sparse {
  int n;
  std::vector<int> ia, ja;
  std::vector<double> a;
};

Sparse make(int n, unsigned seed, int per_row) {
  std::mt19937 gen(seed);
  Sparse s{n, std::vector<int>(n + 1, 0), {}, {}};
  s.ia[0] = -12345;  // never read
  for (int i = 1; i <= n; ++i) {
    std::vector<int> cols;
    for (int c = 1; c < i; ++c)
      if (static_cast<int>(gen() % static_cast<unsigned>(i)) < per_row) cols.push_back(c);
    if (i % 5 == 3) cols.clear();  // diagonal only
    std::shuffle(cols.begin(), cols.end(), gen);
    for (int c : cols) {
      s.ja.push_back(c);
      s.a.push_back(static_cast<double>(static_cast<int>(gen() % 9) - 4));
    }
    s.ja.push_back(-777);  // diagonal: column not read
    s.a.push_back(static_cast<double>(static_cast<int>(gen() % 7) + 1));
    s.ia[i] = static_cast<int>(s.a.size());
  }
  return s;
}

// Dense reading of the same arrays.
std::vector<double> dense(const Sparse &s, bool symmetric) {
  const int n = s.n;
  std::vector<double> d(static_cast<size_t>(n) * n, 0.0);
  for (int i = 1; i <= n; ++i) {
    const int first = i == 1 ? 0 : s.ia[i - 1], diag = s.ia[i] - 1;
    d[(i - 1) + (i - 1) * n] = s.a[diag];
    for (int p = first; p < diag; ++p) {
      const int c = s.ja[p];
      d[(i - 1) + (c - 1) * n] += s.a[p];
      if (symmetric) d[(c - 1) + (i - 1) * n] += s.a[p];
    }
  }
  return d;
}

std::vector<double> integers(size_t len, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<double> v(len);
  for (auto &e : v) e = static_cast<double>(static_cast<int>(gen() % 11) - 5);
  return v;
}

void mvm(int mode, const Sparse &s, int m, int nvec, const double *x, double *y) {
  const int nnz = s.ia[s.n];
  eaxmvm(&mode, &nnz, &m, &s.n, &nvec, s.ja.data(), s.ia.data(), s.a.data(), x, y);
}

TEST(StoredProduct, EqualsDenseProductInBothReadings) {
  qvk_test::for_each_isa([&](int) {
    for (int n : {2, 7, 30}) {
      const Sparse s = make(n, n, 4);
      for (int mode : {1, 2}) {
        const std::vector<double> d = dense(s, mode == 1);
        for (int nvec = 0; nvec <= 9; ++nvec) {
          for (int m : {n, n - 1, n / 2}) {
            SCOPED_TRACE(testing::Message() << "n " << n << " mode " << mode << " nvec " << nvec
                                            << " m " << m);
            const std::vector<double> x = integers(static_cast<size_t>(n) * 10, n + nvec);
            std::vector<double> y(static_cast<size_t>(n) * 10, 99.0);
            mvm(mode, s, m, nvec, x.data(), y.data());
            for (int k = 0; k < 10; ++k)
              for (int i = 1; i <= n; ++i) {
                // Untouched: columns past nvec, and rows past m in mode 2.
                double want = 99.0;
                if (k < nvec && (i <= m || mode == 1)) {
                  want = 0.0;
                  for (int c = 1; c <= n; ++c) {
                    // Mode 1: row i's own entries when it is formed, and the
                    // mirrors from formed rows below it.
                    const bool counted =
                        mode == 2 || (c <= i && i <= m) || (c > i && c <= m);
                    if (counted) want += d[(i - 1) + (c - 1) * n] * x[(c - 1) + k * n];
                  }
                }
                ASSERT_EQ(y[(i - 1) + k * n], want) << "row " << i << " vector " << k;
              }
          }
        }
      }
    }
  });
}

TEST(StoredProduct, EachVectorAsIfAloneOnEveryPath) {
  const int n = 40;
  const Sparse s0 = make(n, 3, 12);
  Sparse s = s0;
  const std::vector<double> junk = qvk_test::adversarial_doubles(s.a.size(), 8);
  for (size_t p = 0; p < s.a.size(); ++p) s.a[p] = p % 3 ? junk[p] : std::ldexp(junk[p], 40);
  const std::vector<double> x = qvk_test::adversarial_doubles(static_cast<size_t>(n) * 9, 5);
  for (int mode : {1, 2}) {
    for (int m : {n, 17}) {
      // Each column alone on the scalar path.
      std::vector<double> alone(static_cast<size_t>(n) * 9, -1.0);
      {
        qvk_test::IsaScope scalar(qvk::kScalar);
        for (int k = 0; k < 9; ++k) mvm(mode, s, m, 1, x.data() + k * n, alone.data() + k * n);
      }
      qvk_test::for_each_isa([&](int) {
        for (int nvec = 1; nvec <= 9; ++nvec) {
          SCOPED_TRACE(testing::Message() << "mode " << mode << " m " << m << " nvec " << nvec);
          std::vector<double> y(static_cast<size_t>(n) * 9, -1.0);
          mvm(mode, s, m, nvec, x.data(), y.data());
          EXPECT_SAME_BITS(y.data(), alone.data(), static_cast<size_t>(n) * nvec);
          for (size_t k = static_cast<size_t>(n) * nvec; k < y.size(); ++k) ASSERT_EQ(y[k], -1.0);
        }
      });
    }
  }
}

TEST(StoredProduct, DiagonalCaseInEveryModeAndOtherModesDoNothing) {
  const int n = 6;
  Sparse diag{n, {-1, 1, 2, 3, 4, 5, 6}, std::vector<int>(n, -99), {2, 3, 4, 5, 6, 7}};
  const std::vector<double> x = integers(static_cast<size_t>(n) * 3, 1);
  for (int mode : {0, 1, 2, 3, -7}) {
    for (int nvec : {0, 1, 2}) {
      std::vector<double> y(static_cast<size_t>(n) * 3, 55.0);
      mvm(mode, diag, 0, nvec, x.data(), y.data());  // m is not used
      const int formed = std::max(nvec, 1);
      for (int k = 0; k < 3; ++k)
        for (int i = 0; i < n; ++i)
          EXPECT_EQ(y[i + k * n], k < formed ? diag.a[i] * x[i + k * n] : 55.0)
              << mode << " " << nvec;
    }
  }
  // Outside the diagonal case, modes other than 1 and 2 leave y alone, and
  // nvec = 0 writes nothing in either mode.
  const Sparse s = make(n, 9, 3);
  for (int mode : {0, 3, 1, 2}) {
    const int nvec = mode == 1 || mode == 2 ? 0 : 2;
    std::vector<double> y(static_cast<size_t>(n) * 2, 55.0);
    mvm(mode, s, n, nvec, x.data(), y.data());
    for (double v : y) EXPECT_EQ(v, 55.0) << "mode " << mode;
  }
}

}  // namespace

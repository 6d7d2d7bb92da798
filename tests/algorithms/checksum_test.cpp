// One checksum over the results of the small dense algorithms, recorded
// once: the native and the 32-bit builds, on every path, must reproduce it.
#include <vector>

#include "QorVARDMathKernel/algorithms.h"
#include "algorithms_test.h"
#include "qvk_test.h"

namespace {

int linear(const int *, const int *, const int *m, const int *, const int *, const double *x,
           double *, double *p, int *) {
  p[0] = 1.0;
  for (int j = 1; j < *m; ++j) p[j] = x[(j - 1) % 3] * (j > 3 ? x[j % 3] : 1.0);
  return 0;
}

uint64_t algorithm_results() {
  qvk_test::Checksum sum;
  for (int n : {1, 2, 3, 5, 8, 13, 30, 41}) {
    const int len = n * (n + 1) / 2;
    std::vector<double> v = qvk_test::portable_doubles(static_cast<size_t>(n) * n, n, -4, 4);
    // Eigenpairs of a symmetric matrix, both orders.
    for (int iord : {1, 2}) {
      std::vector<double> ap(v.begin(), v.begin() + len), d(n), z(static_cast<size_t>(n) * n), e(n);
      int ierr = 0;
      sum.add(static_cast<long long>(eaxeig(&n, &iord, ap.data(), d.data(), z.data(), e.data(), &ierr)));
      sum.add(d.data(), d.size());
      sum.add(z.data(), z.size());
      sum.add(ap.data(), ap.size());
    }
    // Every inversion mode on the same square array.
    for (int mode : {1, 2, 3}) {
      std::vector<double> a = v;
      for (int i = 0; i < n; ++i) a[i + static_cast<size_t>(i) * n] += 2.0 * n;
      std::vector<int> ipiv(n);
      int info = -1;
      eaxinv(&mode, &n, &n, ipiv.data(), &info, a.data());
      sum.add(static_cast<long long>(info));
      sum.add(a.data(), a.size());
    }
    // Pseudo-inverse of a matrix with a pattern of zeros.
    if (n <= 30) {
      alg_test::Sym s(n);
      for (int j = 1; j <= n; ++j)
        for (int i = j; i <= n; ++i) s.set(i, j, v[(i - 1) + (j - 1) * n] * ((i + j) % 3 ? 1.0 : 0.0));
      std::vector<double> a = s.a, w(a.size()), z(a.size());
      const double tol = 1e-3;
      int info = 0;
      sum.add(static_cast<long long>(eaxinvs(&n, &tol, a.data(), w.data(), z.data(), &info)));
      sum.add(static_cast<long long>(info));
      sum.add(a.data(), a.size());
    }
  }
  // A fit with a 10-function basis on 30 points.
  const int m = 10, n = 30;
  std::vector<double> xyz = qvk_test::portable_doubles(3 * n, 3, -2, 2),
                      u = qvk_test::portable_doubles(n, 4, -2, 2), wt(n, 1.0);
  for (int i = 0; i < n; i += 3) wt[i] = 0.5;
  std::vector<double> a(m * m), w(m * m), z(m * m), b(n * m), p(m), coef(m);
  const double x0[3] = {0.25, -0.5, 0.125};
  double f = 0.0;
  int info = 0;
  sum.add(static_cast<long long>(eaxrmc3(&m, &n, xyz.data(), x0, u.data(), &f, linear, a.data(),
                                         w.data(), z.data(), b.data(), p.data(), coef.data(),
                                         wt.data(), &info)));
  sum.add(static_cast<long long>(info));
  sum.add(f);
  sum.add(coef.data(), coef.size());
  return sum.value();
}

TEST(Checksum, SameBitsInEveryBuildAndOnEveryPath) {
  qvk_test::for_each_isa([](int) { EXPECT_EQ(algorithm_results(), 0x42c527bd7efebdccull); });
}

}  // namespace

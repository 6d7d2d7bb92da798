// One checksum over the results of the packed kernels, recorded once: the
// native and the 32-bit builds, on every path, must reproduce it.
#include <vector>

#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "qvk_test.h"

namespace {

uint64_t packed_results() {
  qvk_test::Checksum sum;
  for (int n : {1, 3, 8, 13, 40}) {
    const int len = n * (n + 1) / 2;
    // Factor a diagonally dominant matrix, and one that fails half-way.
    std::vector<double> ap = qvk_test::portable_doubles(len, n, -3, 0);
    for (int i = 1; i <= n; ++i) ap[i * (i + 1) / 2 - 1] += n;
    std::vector<double> bad = ap;
    bad[(n / 2 + 1) * (n / 2 + 2) / 2 - 1] = 0.25;
    const int one = 1;
    const double tol = 0.0, high = 0.5;
    int info = 0;
    double piv = 0.0;
    eaxfch(nullptr, &one, &n, &tol, ap.data(), &info, &piv);
    sum.add(static_cast<long long>(info));
    sum.add(ap.data(), ap.size());
    eaxfch(nullptr, &one, &n, &high, bad.data(), &info, &piv);
    sum.add(static_cast<long long>(info));
    sum.add(piv);
    sum.add(bad.data(), bad.size());
    // Cholesky solves with 1 and 3 columns, and every triangular variant.
    for (int nrhs : {1, 3}) {
      std::vector<double> b = qvk_test::portable_doubles(n * nrhs, 5 * n + nrhs, -20, 20);
      e_dpptrs("U", &n, &nrhs, ap.data(), b.data(), &n, &info, 1);
      sum.add(b.data(), b.size());
    }
    for (const char *uplo : {"U", "L"})
      for (const char *trans : {"N", "T"})
        for (const char *diag : {"N", "U"})
          for (int inc : {1, -2}) {
            std::vector<double> x = qvk_test::portable_doubles(2 * n, 3 * n + inc, -20, 20);
            e_dtpsv(uplo, trans, diag, &n, ap.data(), x.data(), &inc, 1, 1, 1);
            sum.add(x.data(), x.size());
          }
    std::vector<double> x = qvk_test::portable_doubles(n, 7 * n), y = qvk_test::portable_doubles(n, 9);
    for (int inc : {1, -1}) sum.add(eaxscl(&n, x.data(), &inc, y.data(), &one));
  }
  // Both readings of a banded sparse matrix, three vectors.
  const int n = 30, nvec = 3;
  std::vector<int> ia(n + 1, 0), ja;
  std::vector<double> a = qvk_test::portable_doubles(4 * n, 77, -10, 10), xv, yv(n * nvec);
  for (int i = 1; i <= n; ++i) {
    for (int c = i - 3; c < i; ++c)
      if (c >= 1) ja.push_back(c);
    ja.push_back(0);
    ia[i] = static_cast<int>(ja.size());
  }
  xv = qvk_test::portable_doubles(n * nvec, 78, -10, 10);
  for (int mode : {1, 2}) {
    const int nnz = ia[n];
    eaxmvm(&mode, &nnz, &n, &n, &nvec, ja.data(), ia.data(), a.data(), xv.data(), yv.data());
    sum.add(yv.data(), yv.size());
  }
  return sum.value();
}

TEST(CrossBuild, PackedKernelsReproduceTheRecordedChecksum) {
  const uint64_t recorded = 0xf50cc1087f1da4b1ull;
  qvk_test::for_each_isa([&](int) {
    EXPECT_EQ(packed_results(), recorded) << std::hex << "got 0x" << packed_results();
  });
}

}  // namespace

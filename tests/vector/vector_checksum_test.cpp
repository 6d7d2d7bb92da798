// One checksum over the results of every arithmetic vector kernel, recorded
// once: the native and the 32-bit builds, on every path, must reproduce it.
#include <cmath>
#include <limits>
#include <vector>

#include "QorVARDMathKernel/vector.h"
#include "qvk_test.h"

namespace {

uint64_t vector_results() {
  qvk_test::Checksum sum;
  const int incs[] = {1, 2, -1, -3, 0};
  for (int n : {1, 3, 4, 5, 6, 7, 8, 9, 12, 17, 31, 64, 100, 257}) {
    for (int inc : incs) {
      const int len = n * 3 + 1;
      std::vector<double> x = qvk_test::portable_doubles(len, n * 31 + inc + 7);
      std::vector<double> y = qvk_test::portable_doubles(len, n * 37 + inc + 11, -60, 60);
      const double a = x[0] * 3.0;
      const int one = 1;
      e_daxpy(&n, &a, x.data(), &inc, y.data(), &one);
      e_dscal(&n, &a, x.data(), &inc);
      sum.add(y.data(), y.size());
      sum.add(x.data(), x.size());
      sum.add(e_dasum(&n, y.data(), &inc));
      sum.add(e_dnrm2(&n, y.data(), &inc));
      sum.add(damax(&n, y.data(), &inc));
      sum.add(static_cast<long long>(e_idamax(&n, y.data(), &inc)));
      drscl(&n, &a, y.data(), &inc);
      sum.add(y.data(), y.size());
      std::vector<int> idx(n);
      for (int i = 0; i < n; ++i) idx[i] = (i * 7) % len + 1;
      e_daxpyi(&n, &a, x.data(), idx.data(), y.data());
      sum.add(y.data(), y.size());
      sum.add(e_ddoti(&n, x.data(), idx.data(), y.data()));
    }
  }
  // The norm through all four phases and the rotation across magnitudes.
  for (int e : {-200, -40, 0, 40, 200}) {
    std::vector<double> v = qvk_test::portable_doubles(50, 1000 + e, e - 10, e + 10);
    const int n = 50, one = 1;
    sum.add(e_dnrm2(&n, v.data(), &one));
    for (size_t i = 0; i + 1 < v.size(); i += 2) {
      double a = v[i], b = v[i + 1], c, s;
      e_drotg(&a, &b, &c, &s);
      sum.add(a);
      sum.add(b);
      sum.add(c);
      sum.add(s);
    }
  }
  return sum.value();
}

TEST(CrossBuild, VectorKernelsReproduceTheRecordedChecksum) {
  const uint64_t recorded = 0x047a0196dab783d5ull;
  qvk_test::for_each_isa([&](int) {
    EXPECT_EQ(vector_results(), recorded) << std::hex << "got 0x" << vector_results();
  });
}

}  // namespace

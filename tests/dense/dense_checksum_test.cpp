// Both builds, every path: the same bits, tied to one recorded checksum.
#include <vector>

#include "QorVARDMathKernel/dense.h"
#include "dense_test.h"
#include "qvk_test.h"

namespace {

uint64_t products_checksum() {
  qvk_test::Checksum sum;
  const int m = 37, n = 130, k = 250, ld = 300;
  const std::vector<double> a = qvk_test::portable_doubles(ld * 260, 1);
  const std::vector<double> b = qvk_test::portable_doubles(ld * 260, 2);
  const std::vector<double> c0 = qvk_test::portable_doubles(ld * 130, 3);
  const double alpha = -0.7, beta = 1.3;
  for (const char *tt : {"NN", "TN", "NT", "TT"}) {
    std::vector<double> c = c0;
    eagemm(&tt[0], &tt[1], &m, &n, &k, &alpha, a.data(), &ld, b.data(), &ld, &beta, c.data(), &ld,
           1, 1);
    sum.add(c.data(), c.size());
  }
  for (char t : {'N', 'T'}) {
    for (int inc : {1, 2}) {
      std::vector<double> y = c0;
      eagemv(&t, &m, &n, &alpha, a.data(), &ld, b.data(), &inc, &beta, y.data(), &inc, 1);
      sum.add(y.data(), y.size());
    }
  }
  return sum.value();
}

TEST(DenseChecksum, SameBitsInBothBuildsOnEveryPath) {
  dense_test::for_each_path([](int) { EXPECT_EQ(products_checksum(), 739452447859478689ull); });
}

}  // namespace

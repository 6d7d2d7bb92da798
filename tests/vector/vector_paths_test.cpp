// Every optimized path against the scalar order, bit for bit: sizes across
// every unroll and vector boundary, unaligned starts, overlapping vectors and
// data full of NaNs, infinities, signed zeros and subnormals.
#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "QorVARDMathKernel/vector.h"
#include "qvk_test.h"

namespace {

using qvk_test::adversarial_doubles;

std::vector<int> sizes() {
  std::vector<int> s;
  for (int n = 0; n <= 70; ++n) s.push_back(n);
  for (int n : {95, 96, 97, 127, 128, 129, 255, 1000, 1001, 4099}) s.push_back(n);
  return s;
}

const double kAlphas[] = {0.75, -3.0e-7, 1.0e300, -0.0, 4.9e-324,
                          std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN()};

// Runs op on a copy of the initial buffer at each level and compares every
// level's buffer with the scalar one. The buffer carries one leading element
// so that the vectors start unaligned.
// Moves (exact) must keep even the payloads of NaNs; arithmetic is compared
// with the NaN-meets-NaN allowance of EXPECT_SAME_BITS.
template <class Op>
void compare_paths(const std::vector<double> &initial, Op op, bool exact = false) {
  std::vector<double> scalar = initial;
  {
    qvk_test::IsaScope s(qvk::kScalar);
    op(scalar.data());
  }
  qvk_test::for_each_isa([&](int) {
    std::vector<double> got = initial;
    op(got.data());
    if (exact)
      EXPECT_EQ(qvk_test::exact_bit_difference(got.data(), scalar.data(), got.size()), -1);
    else
      EXPECT_SAME_BITS(got.data(), scalar.data(), got.size());
  });
}

TEST(Paths, ScaleUpdateExchange) {
  for (int n : sizes()) {
    SCOPED_TRACE(n);
    const int one = 1;
    std::vector<double> buf = adversarial_doubles(2 * n + 3, n);
    for (double a : kAlphas) {
      compare_paths(buf, [&](double *p) { e_dscal(&n, &a, p + 1, &one); });
      compare_paths(buf, [&](double *p) { e_daxpy(&n, &a, p + 1, &one, p + n + 2, &one); });
    }
    compare_paths(buf, [&](double *p) { e_dswap(&n, p + 1, &one, p + n + 2, &one); }, true);
  }
}

TEST(Paths, OverlappingAndIdenticalVectors) {
  const int one = 1;
  const double a = 0.5;
  for (int n : {7, 16, 33, 64, 101}) {
    SCOPED_TRACE(n);
    std::vector<double> buf = qvk_test::random_doubles(n + 12, n);
    for (int shift : {-3, -1, 0, 1, 2, 5}) {
      const int base = 4;
      compare_paths(buf, [&](double *p) { e_daxpy(&n, &a, p + base, &one, p + base + shift, &one); });
      compare_paths(buf, [&](double *p) { e_dswap(&n, p + base, &one, p + base + shift, &one); });
    }
  }
}

TEST(Paths, LargestMagnitudeWithTiesNaNsAndSignedZeros) {
  std::mt19937 gen(23);
  for (int n : sizes()) {
    SCOPED_TRACE(n);
    std::vector<std::vector<double>> cases;
    cases.push_back(adversarial_doubles(n + 1, 300 + n));  // NaNs anywhere
    std::vector<double> ties = qvk_test::random_doubles(n + 1, n);
    for (auto &v : ties) v = std::round(v * 3) * 0.5;  // few values, both signs, zeros
    cases.push_back(ties);
    if (n >= 1) {
      std::vector<double> last = ties;
      last[n] = -std::numeric_limits<double>::quiet_NaN();  // NaN in the last place
      cases.push_back(last);
      std::vector<double> mid = ties;
      mid[1 + gen() % n] = std::numeric_limits<double>::quiet_NaN();
      cases.push_back(mid);
    }
    for (const auto &c : cases) {
      const double *x = c.data() + 1;  // unaligned start
      for (int inc : {1, -1, 2}) {
        const int m = inc == 2 ? n / 2 : n;
        int k0;
        double a0;
        {
          qvk_test::IsaScope s(qvk::kScalar);
          k0 = e_idamax(&m, x, &inc);
          a0 = damax(&m, x, &inc);
        }
        qvk_test::for_each_isa([&](int) {
          EXPECT_EQ(e_idamax(&m, x, &inc), k0);
          EXPECT_EQ(qvk_test::bits(damax(&m, x, &inc)), qvk_test::bits(a0));
        });
      }
    }
  }
}

TEST(Paths, SparseGatherScatterUpdate) {
  std::mt19937 gen(17);
  for (int nz : sizes()) {
    SCOPED_TRACE(nz);
    const int ylen = 2 * nz + 9;
    std::vector<int> distinct(ylen), repeated(nz);
    for (int i = 0; i < ylen; ++i) distinct[i] = i + 1;
    std::shuffle(distinct.begin(), distinct.end(), gen);
    distinct.resize(nz);
    // Few positions: groups of eight nearly always repeat one.
    std::uniform_int_distribution<int> few(1, 6);
    for (auto &p : repeated) p = few(gen);
    // Layout: [1 pad][x: nz][y: ylen]
    std::vector<double> buf = adversarial_doubles(1 + nz + ylen, 100 + nz);
    for (const std::vector<int> *idx : {&distinct, &repeated}) {
      const int *ix = idx->data();
      compare_paths(buf, [&](double *p) { e_dgthr(&nz, p + 1 + nz, p + 1, ix); }, true);
      compare_paths(buf, [&](double *p) { e_dsctr(&nz, p + 1, ix, p + 1 + nz); }, true);
      for (double a : kAlphas)
        compare_paths(buf, [&](double *p) { e_daxpyi(&nz, &a, p + 1, ix, p + 1 + nz); });
    }
  }
}

}  // namespace

// Run on an emulated processor (tools/test), the dispatch must find the
// level that the processor model offers and no more.
TEST(Dispatch, FindsTheLevelOfThisProcessor) {
  const char *expect = std::getenv("QVK_EXPECT_ISA");
  if (!expect) return;
  EXPECT_STREQ(qvk::isa_name(qvk::isa_supported()), expect);
}

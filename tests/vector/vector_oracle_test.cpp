// The kernels that compute what a published Level 1 routine computes, against
// the system's reference BLAS, loaded from its own file.
#include <vector>

#include "QorVARDMathKernel/vector.h"
#include "qvk_test.h"

namespace {

using Copy = void (*)(const int *, const double *, const int *, double *, const int *);
using Scal = void (*)(const int *, const double *, double *, const int *);
using Axpy = void (*)(const int *, const double *, const double *, const int *, double *,
                      const int *);
using Swap = void (*)(const int *, double *, const int *, double *, const int *);
using Amax = int (*)(const int *, const double *, const int *);

struct Strides {
  int incx, incy;
};
const Strides kStrides[] = {{1, 1}, {2, 3}, {-1, 1}, {1, -2}, {-3, -2}, {0, 1}, {4, -1}};

// Finite values only: where both define a result, it must be the same bits.
std::vector<double> data(int n, unsigned seed) { return qvk_test::random_doubles(n, seed); }

TEST(Oracle, CopyScaleUpdateExchangeMatchReference) {
  auto dcopy = qvk_test::ref_blas<Copy>("dcopy_");
  auto dscal = qvk_test::ref_blas<Scal>("dscal_");
  auto daxpy = qvk_test::ref_blas<Axpy>("daxpy_");
  auto dswap = qvk_test::ref_blas<Swap>("dswap_");
  ASSERT_ORACLE(dcopy && dscal && daxpy && dswap);
  for (int n : {1, 2, 5, 13, 64, 257}) {
    for (const Strides &s : kStrides) {
      SCOPED_TRACE(testing::Message() << "n " << n << " incx " << s.incx << " incy " << s.incy);
      const int len = n * 4 + 1;
      std::vector<double> x = data(len, n), y = data(len, n + 1);
      std::vector<double> y1 = y, y2 = y, x1 = x, x2 = x;
      const double a = -0.3125;
      e_dcopy(&n, x.data(), &s.incx, y1.data(), &s.incy);
      dcopy(&n, x.data(), &s.incx, y2.data(), &s.incy);
      EXPECT_SAME_BITS(y1.data(), y2.data(), len);
      y1 = y2 = y;
      e_daxpy(&n, &a, x.data(), &s.incx, y1.data(), &s.incy);
      daxpy(&n, &a, x.data(), &s.incx, y2.data(), &s.incy);
      EXPECT_ORACLE_BITS(y1.data(), y2.data(), len);
      y1 = y2 = y;
      e_dswap(&n, x1.data(), &s.incx, y1.data(), &s.incy);
      dswap(&n, x2.data(), &s.incx, y2.data(), &s.incy);
      EXPECT_SAME_BITS(y1.data(), y2.data(), len);
      EXPECT_SAME_BITS(x1.data(), x2.data(), len);
      // The reference scaling does nothing for increments <= 0.
      if (s.incx > 0) {
        x1 = x2 = x;
        e_dscal(&n, &a, x1.data(), &s.incx);
        dscal(&n, &a, x2.data(), &s.incx);
        EXPECT_ORACLE_BITS(x1.data(), x2.data(), len);
      }
    }
  }
}

TEST(Oracle, IndexOfLargestMagnitudeMatchesReferenceWithTies) {
  auto idamax = qvk_test::ref_blas<Amax>("idamax_");
  ASSERT_ORACLE(idamax);
  for (int n : {1, 2, 7, 100}) {
    for (int inc : {1, 3}) {
      std::vector<double> x = data(n * inc, n);
      for (auto &v : x) v = std::round(v * 4);  // many ties, both signs
      EXPECT_EQ(e_idamax(&n, x.data(), &inc), idamax(&n, x.data(), &inc));
    }
  }
}

}  // namespace

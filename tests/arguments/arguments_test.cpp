// Every exported kernel with sizes and increments that leave nothing to do:
// negative, zero and extreme counts, every increment from INT_MIN to
// INT_MAX, and null arrays, on every path. A kernel must return without
// touching memory and without forming an address from a count it has not
// yet checked (the undefined-behaviour sanitizer reports such arithmetic on
// a null pointer; tools/test runs this program under it).
#include <climits>

#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "QorVARDMathKernel/vector.h"
#include "qvk_test.h"

namespace {

using qvk_test::for_each_isa;

const int kEmpty[] = {INT_MIN, -7, -1, 0};
const int kAny[] = {INT_MIN, -7, -1, 0, 1, 7, INT_MAX};
const int kStep[] = {INT_MIN, -3, -1, 0, 1, 3, INT_MAX};

TEST(BadArguments, VectorKernelsWithNothingToDo) {
  for_each_isa([](int) {
    const double one = 1.0, zero = 0.0;
    for (int n : kEmpty)
      for (int ix : kStep)
        for (int iy : kStep) {
          e_dcopy(&n, nullptr, &ix, nullptr, &iy);
          e_icopy(&n, nullptr, &ix, nullptr, &iy);
          e_daxpy(&n, &one, nullptr, &ix, nullptr, &iy);
          e_dswap(&n, nullptr, &ix, nullptr, &iy);
          EXPECT_EQ(eaxscl(&n, nullptr, &ix, nullptr, &iy), 0.0);
          if (iy != kStep[0]) continue;
          e_dzero(&n, nullptr, &ix);
          e_izero(&n, nullptr, &ix);
          e_dscal(&n, &one, nullptr, &ix);
          drscl(&n, &one, nullptr, &ix);
          drscl(&n, &zero, nullptr, &ix);
          EXPECT_EQ(e_dasum(&n, nullptr, &ix), 0.0);
          EXPECT_EQ(e_dnrm2(&n, nullptr, &ix), 0.0);
          EXPECT_EQ(e_idamax(&n, nullptr, &ix), 0);
          EXPECT_EQ(damax(&n, nullptr, &ix), 0.0);
        }
    for (int nz : kEmpty) {
      e_dgthr(&nz, nullptr, nullptr, nullptr);
      e_dsctr(&nz, nullptr, nullptr, nullptr);
      e_daxpyi(&nz, &one, nullptr, nullptr, nullptr);
      EXPECT_EQ(e_ddoti(&nz, nullptr, nullptr, nullptr), 0.0);
    }
  });
}

// A single element under an extreme increment is the element at x(1).
TEST(BadArguments, OneElementUnderExtremeIncrements) {
  for_each_isa([](int) {
    const int n = 1;
    for (int ix : kStep)
      for (int iy : kStep) {
        double x = 2.0, y = 3.0;
        e_dswap(&n, &x, &ix, &y, &iy);
        EXPECT_EQ(x, 3.0);
        e_dcopy(&n, &x, &ix, &y, &iy);
        const double a = 0.5;
        e_daxpy(&n, &a, &x, &ix, &y, &iy);
        EXPECT_EQ(y, 4.5);
        EXPECT_EQ(eaxscl(&n, &x, &ix, &y, &iy), 13.5);
        EXPECT_EQ(e_dasum(&n, &y, &ix), 4.5);
        EXPECT_EQ(e_idamax(&n, &y, &ix), 1);
        const char up[] = {'U', 'L'}, tr[] = {'N', 'T'};
        for (char u : up)
          for (char t : tr) {
            double ap = 2.0, b = 4.0;
            e_dtpsv(&u, &t, "N", &n, &ap, &b, &ix, 1, 1, 1);
            EXPECT_EQ(b, 2.0);
          }
      }
  });
}

TEST(BadArguments, PackedKernelsWithNothingToDo) {
  for_each_isa([](int) {
    const int types[] = {5, 3, 4, 2, 0, 1, 7, -1, -9};
    const char fill = 'x';
    for (int n : kEmpty) {
      for (int t : types) {
        eaxcpy(&t, &n, nullptr, nullptr);
        eaxraz(&t, nullptr, &n);
      }
      eaxmac(nullptr, &n, &fill);
      ecrccop(nullptr, &n, nullptr);
      const int nn = 0;
      eacort(&nn, &n, nullptr, nullptr);
      for (int i1 : kAny) {
        int info = -5;
        const double tol = 0.0;
        eaxfch(nullptr, &i1, &n, &tol, nullptr, &info, nullptr);
        EXPECT_EQ(info, 0);
        eaxfch2(nullptr, &i1, &n, &tol, nullptr, &info, nullptr);
        EXPECT_EQ(info, 0);
      }
      // The product with an empty order, whatever the other counts.
      for (int mode = 0; mode <= 3; ++mode)
        for (int nnz : kAny)
          for (int m : kEmpty)
            for (int nvec : kAny) eaxmvm(&mode, &nnz, &m, &n, &nvec, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    // Solves with no order or no right-hand side, whatever the other counts.
    for (int n : kAny)
      for (int nrhs : kAny) {
        if (n >= 1 && nrhs >= 1) continue;
        for (int ldb : kAny) {
          int info = -5;
          e_dpptrs("U", &n, &nrhs, nullptr, nullptr, &ldb, &info, 1);
          dpptrs_2("U", &n, &nrhs, nullptr, nullptr, &ldb, &info, 1);
          EXPECT_EQ(info, -5);
        }
      }
    const char letters[] = {'U', 'L', 'N', 'T', 'x'};
    for (int n : kEmpty)
      for (int ix : kStep)
        for (char u : letters)
          for (char t : letters) e_dtpsv(&u, &t, "N", &n, nullptr, nullptr, &ix, 1, 1, 1);
  });
}

// The inner kernels check nothing, but an empty product must not read even
// its sizes' neighbours: any count <= 0 and any leading dimension.
TEST(BadArguments, ProductsWithNothingToDo) {
  using Inner = void (*)(const int *, const int *, const double *, const double *, const int *,
                         const double *, const int *, const double *, double *, const int *);
  const Inner inner[] = {dgemv32_n, dgemv_n, dgemv32_t, dgemv_t};
  for_each_isa([&](int) {
    const double one = 1.0, two = 2.0;
    for (int m : kAny)
      for (int n : kAny) {
        if (m > 0 && n > 0) continue;
        for (int ld : {INT_MIN, 0, 1, INT_MAX})
          for (int ix : kStep)
            for (int iy : kStep)
              for (Inner f : inner) f(&m, &n, &two, nullptr, &ld, nullptr, &ix, &two, nullptr, &iy);
      }
    // eagemv and eagemm: an empty product with good arguments returns, as
    // does (alpha = 0 or k = 0) with beta = 1 before any check.
    for (int big : {1, 7, INT_MAX}) {
      const int zero = 0, ione = 1;
      for (int ix : kStep)
        for (int iy : kStep) {
          if (ix == 0 || iy == 0) continue;
          eagemv("N", &zero, &big, &two, nullptr, &ione, nullptr, &ix, &two, nullptr, &iy, 1);
          eagemv("T", &big, &zero, &two, nullptr, &big, nullptr, &ix, &two, nullptr, &iy, 1);
          dgemvf("N", &zero, &big, &two, nullptr, &ione, nullptr, &ix, &two, nullptr, &iy, 1);
          dgemvf("T", &big, &zero, &two, nullptr, &big, nullptr, &ix, &two, nullptr, &iy, 1);
        }
      for (int k : kAny) {
        eagemm("N", "N", &zero, &big, &k, &two, nullptr, &k, nullptr, &k, &two, nullptr, &k, 1, 1);
        eagemm("T", "T", &big, &zero, &k, &two, nullptr, &k, nullptr, &k, &two, nullptr, &k, 1, 1);
        const double alpha0 = 0.0;
        eagemm("N", "T", &big, &big, &k, &alpha0, nullptr, &k, nullptr, &k, &one, nullptr, &k, 1,
               1);
      }
      eagemm("N", "N", &big, &big, &zero, &two, nullptr, &zero, nullptr, &zero, &one, nullptr,
             &zero, 1, 1);
      // Quick returns come before the checks: bad letters and leading
      // dimensions pass unseen.
      eagemm("X", "Y", &zero, &big, &big, &two, nullptr, &zero, nullptr, &zero, &two, nullptr,
             &zero, 1, 1);
      const double alpha0 = 0.0;
      for (char t : {'N', 'T', 'C'}) {
        eagemv(&t, &big, &big, &alpha0, nullptr, &big, nullptr, &ione, &one, nullptr, &ione, 1);
        dgemvf(&t, &big, &big, &alpha0, nullptr, &big, nullptr, &ione, &one, nullptr, &ione, 1);
      }
    }
  });
}

}  // namespace

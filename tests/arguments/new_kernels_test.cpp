// The small dense algorithms and the sparse structure routines under sizes
// that leave nothing to do: negative, zero and extreme orders with null
// arrays, on every path. Where a routine's manual promises an early exit or
// a refusal, it must keep it without touching memory or forming an address
// from an unchecked count (tools/test runs this under the sanitizers). The
// sparse routines trust their arguments: only their stated exits are swept.
#include <climits>
#include <vector>

#include "QorVARDMathKernel/algorithms.h"
#include "QorVARDMathKernel/sparse.h"
#include "qvk_test.h"

namespace {

using qvk_test::for_each_isa;

const int kEmpty[] = {INT_MIN, -7, -1, 0};
const int kAny[] = {INT_MIN, -7, -1, 0, 1, 7, INT_MAX};
const int kOrders[] = {1, 2, 0, -1, 7};  // iord / mode values, valid and not

TEST(NewKernelArguments, EigenSolverAndStepsWithNoOrder) {
  for_each_isa([](int) {
    for (int n : kEmpty)
      for (int iord : kOrders) {
        int ierr = -5;
        EXPECT_EQ(eaxeig(&n, &iord, nullptr, nullptr, nullptr, nullptr, &ierr), 0);
        EXPECT_EQ(eaxeql(&n, nullptr, nullptr, nullptr, &ierr), 0);
        EXPECT_EQ(ierr, -5);
        eaxetr(&n, nullptr, nullptr, nullptr);
        eaxeor(&iord, &n, nullptr, nullptr);
        eaxevp(&n, nullptr, nullptr);
      }
    // Orders too small for a sort or a reflection.
    const int one = 1, two = 2;
    double d = 4.0, z[4] = {1, 2, 3, 4};
    eaxeor(&one, &one, &d, z);
    eaxevp(&one, nullptr, z);
    eaxevp(&two, nullptr, z);
    EXPECT_EQ(d, 4.0);
    EXPECT_EQ(z[0], 1.0);
    EXPECT_EQ(z[3], 4.0);
  });
}

TEST(NewKernelArguments, InversesWithNoOrderOrTooLarge) {
  for_each_isa([](int) {
    for (int n : kEmpty)
      for (int lda : kAny)
        for (int mode : kOrders) {
          int info = -5;
          eaxinv(&mode, &lda, &n, nullptr, &info, nullptr);
          // Only the tested symmetric mode reports, and it clears info first.
          EXPECT_EQ(info, mode == 1 || mode == 2 ? -5 : 0) << mode;
        }
    const double tol = 1.0E-6;
    for (int n : kEmpty) {
      int info = -5;
      EXPECT_EQ(eaxinvs(&n, &tol, nullptr, nullptr, nullptr, &info), 0);
      EXPECT_EQ(info, 0);
    }
    for (int n : {31, 1000, INT_MAX}) {
      int info = -5;
      EXPECT_EQ(eaxinvs(&n, &tol, nullptr, nullptr, nullptr, &info), 1);
      EXPECT_EQ(info, -1);
    }
  });
}

// An evaluator that must not be reached, and one for an empty basis.
int unreachable_basis(const int *, const int *, const int *, const int *, const int *,
                      const double *, double *, double *, int *) {
  ADD_FAILURE() << "basis evaluated";
  return 1;
}
int empty_basis(const int *, const int *, const int *m, const int *, const int *, const double *,
                double *, double *, int *) {
  EXPECT_EQ(*m, 0);
  return 0;
}

TEST(NewKernelArguments, FitRefusesABasisOutsideItsWork) {
  for_each_isa([](int) {
    for (int m : {INT_MIN, -7, -1, 31, INT_MAX})
      for (int n : kAny) {
        int info = 5;
        double f = 3.0;
        EXPECT_EQ(eaxrmc3(&m, &n, nullptr, nullptr, nullptr, &f, unreachable_basis, nullptr,
                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &info),
                  1);
        EXPECT_EQ(info, -1);
        EXPECT_EQ(f, 3.0);
      }
    // No functions and no points: nothing to fit, the value at the target is 0.
    const int m = 0;
    const double x0[3] = {1, 2, 3};
    for (int n : kEmpty) {
      int info = 5;
      double f = 3.0;
      EXPECT_EQ(eaxrmc3(&m, &n, nullptr, x0, nullptr, &f, empty_basis, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr, &info),
                0);
      EXPECT_EQ(info, 0);
      EXPECT_EQ(f, 0.0);
    }
  });
}

TEST(NewKernelArguments, ProductsWithAnEmptyDimension) {
  for_each_isa([](int) {
    // An empty result, whatever the other sizes: nothing read or written.
    for (int big : {1, 7, INT_MAX})
      for (int k : {0, 1, INT_MAX}) {
        const int zero = 0;
        eaxmmp(&zero, &k, &big, nullptr, nullptr, nullptr);
        eaxmmp(&big, &k, &zero, nullptr, nullptr, nullptr);
      }
    const int zero = 0, two = 2;
    ebhpap(&zero, nullptr, nullptr, nullptr, nullptr);
    // An empty inner dimension clears C.
    double c[4] = {5, 5, 5, 5};
    eaxmmp(&two, &zero, &two, nullptr, nullptr, c);
    for (double v : c) EXPECT_EQ(v, 0.0);
  });
}

TEST(NewKernelArgumentsDeathTest, ProductsStopOnANegativeSize) {
  const int neg = -1, two = 2;
  double buf[4] = {};
  EXPECT_EXIT(eaxmmp(&neg, &two, &two, buf, buf, buf), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(eaxmmp(&two, &neg, &two, buf, buf, buf), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(ebhpap(&neg, buf, buf, buf, buf), testing::ExitedWithCode(1), "");
}

TEST(NewKernelArguments, SparseRoutinesKeepTheirStatedExits) {
  for_each_isa([](int) {
    // No elements: every node's list is empty, the member arrays untouched.
    for (int n : {0, 1, 7})
      for (int m : kEmpty) {
        std::vector<int> nptr(n + 1, 9), aptr(n + 1, 9), work(n + 1, 9);
        EXPECT_EQ(eaunle(&n, &m, &m, nullptr, nullptr, nptr.data(), nullptr), 0);
        EXPECT_EQ(nptr, std::vector<int>(n + 1, 0));
        int total = 9;
        nptr.assign(n + 1, 9);
        EXPECT_EQ(eaupnn(&n, &m, &m, nullptr, nullptr, nptr.data(), nullptr, work.data(),
                         aptr.data(), &total),
                  0);
        EXPECT_EQ(aptr, std::vector<int>(n + 1, 0));
        EXPECT_EQ(total, 0);
      }
    // No equations: nothing ordered, nothing counted.
    for (int neqns : kEmpty)
      for (int delta : {-1, 0, INT_MAX}) {
        int nofsub = 9;
        mmd(neqns, nullptr, nullptr, nullptr, nullptr, delta, nullptr, nullptr, nullptr, nullptr,
            INT_MAX, &nofsub);
        EXPECT_EQ(nofsub, 9);
      }
    // Fewer than two records: nothing to sort, whatever the layout.
    for (int nrec : {INT_MIN, -1, 0, 1})
      for (int nwords : kAny)
        for (int keypos : kAny) {
          int record = 7;
          eaxsort(nrec == 1 ? &record : nullptr, &nwords, &nrec, &keypos, nullptr);
          EXPECT_EQ(record, 7);
        }
    // No pivots: the counts grow by zero, the front is not read.
    for (int n : {0, 1, 7, INT_MAX}) {
      const int npiv = 0;
      int count = 3, stats = 4, status = 9;
      float flops1 = 1.5f, flops2 = 2.5f;
      double ratiomin = 0.25;
      const double tiny = 1e-12, thr = 0.0;
      EXPECT_EQ(easlff_nt(&n, &npiv, nullptr, &ratiomin, nullptr, &tiny, &thr, &count, &stats,
                          &flops1, &flops2, &status),
                0);
      EXPECT_EQ(status, 0);
      EXPECT_EQ(count, 3);
      EXPECT_EQ(stats, 4);
      EXPECT_EQ(flops1, 1.5f);
      EXPECT_EQ(flops2, 2.5f);
      EXPECT_EQ(ratiomin, 0.25);
    }
  });
}

}  // namespace

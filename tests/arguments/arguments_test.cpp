// Every exported kernel with nothing to do (sizes and increments INT_MIN to
// INT_MAX, null arrays) on every path returns or refuses, touching no memory
// and forming no address (under the sanitizers); sparse ones at their exits.
#include <climits>
#include <vector>

#include "QorVARDMathKernel/algorithms.h"
#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "QorVARDMathKernel/sparse.h"
#include "QorVARDMathKernel/vector.h"
#include "qvk_test.h"

namespace {

const int kEmpty[] = {INT_MIN, -7, -1, 0};
const int kAny[] = {INT_MIN, -7, -3, -1, 0, 1, 2, 3, 7, 31, INT_MAX};
const double one = 1.0, two = 2.0, zero = 0.0;

// eaxrmc3's basis, for no basis functions only: any other m is refused unread.
int empty_basis(const int *, const int *, const int *m, const int *, const int *, const double *, double *,
                double *, int *) {
  EXPECT_EQ(*m, 0) << "basis evaluated";
  return *m == 0 ? 0 : 1;
}

// Each call gets a count n from kEmpty and two more values p, q from kAny
// (increments, other sizes, leading dimensions, modes).
const struct {
  const char *name;
  void (*f)(int n, int p, int q);
} kCalls[] = {
    {"vector kernels", [](int n, int p, int q) {
       e_dcopy(&n, nullptr, &p, nullptr, &q), e_icopy(&n, nullptr, &p, nullptr, &q);
       e_daxpy(&n, &one, nullptr, &p, nullptr, &q), e_dswap(&n, nullptr, &p, nullptr, &q);
       e_dzero(&n, nullptr, &p), e_izero(&n, nullptr, &p), e_dscal(&n, &one, nullptr, &p);
       for (double sa : {0.0, 1.0, 2.0}) drscl(&n, &sa, nullptr, &p);
       e_dgthr(&n, nullptr, nullptr, nullptr), e_dsctr(&n, nullptr, nullptr, nullptr);
       e_daxpyi(&n, &one, nullptr, nullptr, nullptr);
       const std::vector<double> got = {eaxscl(&n, nullptr, &p, nullptr, &q), e_dasum(&n, nullptr, &p),
                                        e_dnrm2(&n, nullptr, &p), damax(&n, nullptr, &p),
                                        double(e_idamax(&n, nullptr, &p)), e_ddoti(&n, nullptr, nullptr, nullptr)};
       EXPECT_EQ(got, std::vector<double>(6, 0.0));
     }},
    {"packed kernels and solves", [](int n, int p, int q) {
       for (int t : {p, 4, 5, -9}) eaxcpy(&t, &n, nullptr, nullptr), eaxraz(&t, nullptr, &n);
       const int nn = 0;
       eaxmac(nullptr, &n, "x"), ecrccop(nullptr, &n, nullptr), eacort(&nn, &n, nullptr, nullptr);
       int info = -5, info2 = -5, solve_info = -5;  // the factorizations clear info, the solves leave it
       eaxfch(nullptr, &p, &n, &zero, nullptr, &info, nullptr);
       eaxfch2(nullptr, &p, &n, &zero, nullptr, &info2, nullptr);
       EXPECT_EQ(std::vector<int>({info, info2}), std::vector<int>({0, 0}));
       for (int mode = 0; mode <= 3; ++mode)
         for (int m : kEmpty) eaxmvm(&mode, &p, &m, &n, &q, nullptr, nullptr, nullptr, nullptr, nullptr);
       e_dpptrs("U", &n, &p, nullptr, nullptr, &q, &solve_info, 1), e_dpptrs("U", &p, &n, nullptr, nullptr, &q, &solve_info, 1);
       dpptrs_2("U", &n, &p, nullptr, nullptr, &q, &solve_info, 1), dpptrs_2("U", &p, &n, nullptr, nullptr, &q, &solve_info, 1);
       EXPECT_EQ(solve_info, -5);
       for (char u : {'U', 'L', 'N', 'T', 'x'})
         for (char t : {'U', 'L', 'N', 'T', 'x'}) e_dtpsv(&u, &t, "N", &n, nullptr, nullptr, &p, 1, 1, 1);
     }},
    // The unchecked inner products: empty whatever the other size and ld.
    {"inner products", [](int n, int p, int q) {
       for (auto f : {dgemv32_n, dgemv_n, dgemv32_t, dgemv_t})
         for (int other : kAny)
           for (int ld : {INT_MIN, 0, 1, INT_MAX}) {
             f(&n, &other, &two, nullptr, &ld, nullptr, &p, &two, nullptr, &q);
             f(&other, &n, &two, nullptr, &ld, nullptr, &p, &two, nullptr, &q);
           }
     }},
    // Empty products, and alpha = 0 or k = 0 at beta = 1 before any check
    // (bad letters and leading dimensions unseen); negative sizes stop.
    {"products", [](int n, int p, int q) {
       if (n != 0 || p <= 0) return;
       const int ione = 1;
       for (auto gemv : {eagemv, dgemvf}) {
         for (int inc : kAny) {
           if (q == 0 || inc == 0) continue;
           gemv("N", &n, &p, &two, nullptr, &ione, nullptr, &q, &two, nullptr, &inc, 1);
           gemv("T", &p, &n, &two, nullptr, &p, nullptr, &q, &two, nullptr, &inc, 1);
         }
         for (const char *t : {"N", "T", "C"}) gemv(t, &p, &p, &zero, nullptr, &p, nullptr, &ione, &one, nullptr, &ione, 1);
       }
       eagemm("N", "N", &n, &p, &q, &two, nullptr, &q, nullptr, &q, &two, nullptr, &q, 1, 1);
       eagemm("T", "T", &p, &n, &q, &two, nullptr, &q, nullptr, &q, &two, nullptr, &q, 1, 1);
       eagemm("N", "T", &p, &p, &q, &zero, nullptr, &q, nullptr, &q, &one, nullptr, &q, 1, 1);
       eagemm("N", "N", &p, &p, &n, &two, nullptr, &n, nullptr, &n, &one, nullptr, &n, 1, 1);
       eagemm("X", "Y", &n, &p, &p, &two, nullptr, &n, nullptr, &n, &two, nullptr, &n, 1, 1);
       if (q < 0) return;
       eaxmmp(&n, &q, &p, nullptr, nullptr, nullptr);
       eaxmmp(&p, &q, &n, nullptr, nullptr, nullptr);
       ebhpap(&n, nullptr, nullptr, nullptr, nullptr);
     }},
    {"eigen solver, inverses, fit", [](int n, int p, int q) {
       int ierr = -5;
       EXPECT_EQ(eaxeig(&n, &p, nullptr, nullptr, nullptr, nullptr, &ierr), 0);
       EXPECT_EQ(eaxeql(&n, nullptr, nullptr, nullptr, &ierr), 0);
       EXPECT_EQ(ierr, -5);
       eaxetr(&n, nullptr, nullptr, nullptr);
       eaxeor(&p, &n, nullptr, nullptr);
       eaxevp(&n, nullptr, nullptr);
       // Only the symmetric modes 1 and 2 of eaxinv leave info alone.
       int info = -5, infos = -5;
       eaxinv(&p, &q, &n, nullptr, &info, nullptr);
       EXPECT_EQ(info, p == 1 || p == 2 ? -5 : 0) << p;
       EXPECT_EQ(eaxinvs(&n, &one, nullptr, nullptr, nullptr, &infos), 0);
       EXPECT_EQ(infos, 0);
       // No basis and no points fit 0; m or an order outside 0..30 is refused.
       const int m0 = 0;
       const double x0[3] = {1, 2, 3};
       double f = 3.0;
       EXPECT_EQ(eaxrmc3(&m0, &n, nullptr, x0, nullptr, &f, empty_basis, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, &info), 0);
       EXPECT_EQ(info + f, 0.0);
       if (p >= 0 && p <= 30) return;
       f = 3.0;
       EXPECT_EQ(eaxrmc3(&p, &q, nullptr, nullptr, nullptr, &f, empty_basis, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr, &info), 1);
       EXPECT_EQ(info, -1);
       EXPECT_EQ(f, 3.0);
       if (p < 0) return;
       EXPECT_EQ(eaxinvs(&p, &one, nullptr, nullptr, nullptr, &infos), 1);
       EXPECT_EQ(infos, -1);
     }},
    // No elements, equations or records: empty lists, nothing ordered or sorted.
    {"sparse structure and front step", [](int n, int p, int q) {
       if (p >= 0 && p <= 7) {
         std::vector<int> nptr(p + 1, 9), aptr(p + 1, 9), work(p + 1, 9);
         int total = 9;
         EXPECT_EQ(eaunle(&p, &n, &n, nullptr, nullptr, nptr.data(), nullptr), 0);
         EXPECT_EQ(nptr, std::vector<int>(p + 1, 0));
         nptr.assign(p + 1, 9);
         EXPECT_EQ(eaupnn(&p, &n, &n, nullptr, nullptr, nptr.data(), nullptr, work.data(), aptr.data(), &total), 0);
         EXPECT_EQ(aptr, std::vector<int>(p + 1, 0));
         EXPECT_EQ(total, 0);
       }
       int nofsub = 9, record = 7, nrec1 = 1;
       mmd(n, nullptr, nullptr, nullptr, nullptr, p, nullptr, nullptr, nullptr, nullptr, INT_MAX, &nofsub);
       EXPECT_EQ(nofsub, 9);
       eaxsort(nullptr, &p, &n, &q, nullptr);
       eaxsort(&record, &p, &nrec1, &q, nullptr);
       EXPECT_EQ(record, 7);
       if (n != 0 || p < 0) return;  // no pivots: the counts grow by zero, the front is not read
       int count = 3, stats = 4, status = 9;
       float flops1 = 1.5f, flops2 = 2.5f;
       double ratiomin = 0.25;
       const double tiny = 1e-12;
       EXPECT_EQ(easlff_nt(&p, &n, nullptr, &ratiomin, nullptr, &tiny, &zero, &count, &stats, &flops1,
                           &flops2, &status), 0);
       EXPECT_EQ(std::vector<int>({count, stats, status}), std::vector<int>({3, 4, 0}));
       EXPECT_EQ(std::vector<double>({flops1, flops2, ratiomin}), std::vector<double>({1.5, 2.5, 0.25}));
     }},
};

TEST(BadArguments, EveryKernelWithNothingToDo) {
  qvk_test::for_each_isa([](int) {
    for (const auto &call : kCalls)
      for (int n : kEmpty)
        for (int p : kAny)
          for (int q : kAny) {
            SCOPED_TRACE(testing::Message() << call.name << " n " << n << " p " << p << " q " << q);
            call.f(n, p, q);
          }
  });
}

// One element under any increment is x(1); the smallest eigen orders leave
// their data; an empty inner dimension clears the product.
TEST(BadArguments, OneElementAndSmallestOrders) {
  qvk_test::for_each_isa([](int) {
    const int n = 1, n2 = 2, n0 = 0;
    for (int ix : kAny)
      for (int iy : kAny) {
        double x = 2.0, y = 3.0;
        e_dswap(&n, &x, &ix, &y, &iy);
        EXPECT_EQ(x, 3.0);
        e_dcopy(&n, &x, &ix, &y, &iy);
        e_daxpy(&n, &two, &x, &ix, &y, &iy);
        EXPECT_EQ(std::vector<double>({y, eaxscl(&n, &x, &ix, &y, &iy), e_dasum(&n, &y, &ix),
                                       double(e_idamax(&n, &y, &ix))}), std::vector<double>({9, 27, 9, 1}));
        for (const char *v : {"UN", "UT", "LN", "LT"}) {
          double ap = 2.0, b = 4.0;
          e_dtpsv(v, v + 1, "N", &n, &ap, &b, &ix, 1, 1, 1);
          EXPECT_EQ(b, 2.0);
        }
      }
    double d = 4.0, z[4] = {1, 2, 3, 4}, c[4] = {5, 5, 5, 5};
    eaxeor(&n, &n, &d, z);
    eaxevp(&n, nullptr, z);
    eaxevp(&n2, nullptr, z);
    EXPECT_EQ(std::vector<double>({d, z[0], z[3]}), std::vector<double>({4, 1, 4}));
    eaxmmp(&n2, &n0, &n2, nullptr, nullptr, c);
    for (double v : c) EXPECT_EQ(v, 0.0);
  });
}

TEST(BadArgumentsDeathTest, ProductsStopOnANegativeSize) {
  const int neg = -1, two = 2;
  double buf[4] = {};
  EXPECT_EXIT(eaxmmp(&neg, &two, &two, buf, buf, buf), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(eaxmmp(&two, &neg, &two, buf, buf, buf), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(ebhpap(&neg, buf, buf, buf, buf), testing::ExitedWithCode(1), "");
}

}  // namespace

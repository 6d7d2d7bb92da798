// The products take nothing from the heap, whatever the sizes and the path:
// this program's malloc counts the calls made while a product runs.
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "QorVARDMathKernel/dense.h"
#include "qvk_test.h"

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define QVK_COUNT_MALLOC 1

namespace {
bool g_counting = false;
long g_calls = 0;
}  // namespace

extern "C" {
void *__libc_malloc(std::size_t);
void *__libc_calloc(std::size_t, std::size_t);
void *__libc_realloc(void *, std::size_t);

void *malloc(std::size_t n) {
  if (g_counting) ++g_calls;
  return __libc_malloc(n);
}
void *calloc(std::size_t n, std::size_t size) {
  if (g_counting) ++g_calls;
  return __libc_calloc(n, size);
}
void *realloc(void *p, std::size_t n) {
  if (g_counting) ++g_calls;
  return __libc_realloc(p, n);
}
}
#endif

namespace {

TEST(DenseNoHeap, ProductsAllocateNothing) {
#ifndef QVK_COUNT_MALLOC
  GTEST_SKIP() << "the sanitizer owns malloc";
#else
  const int m = 170, n = 150, k = 300, ld = 310;
  const std::vector<double> a = qvk_test::random_doubles(ld * 310, 1);
  const std::vector<double> b = qvk_test::random_doubles(ld * 310, 2);
  std::vector<double> c(ld * 310, 0.5);
  const double alpha = 0.5, beta = 2.0;
  // The counter sees what this program allocates.
  g_counting = true;
  void *volatile probe = std::malloc(24);
  g_counting = false;
  std::free(probe);
  ASSERT_EQ(g_calls, 1);
  qvk_test::for_each_isa([&](int) {
    g_calls = 0;
    g_counting = true;
    for (const char *tt : {"NN", "TN", "NT", "TT"})
      eagemm(&tt[0], &tt[1], &m, &n, &k, &alpha, a.data(), &ld, b.data(), &ld, &beta, c.data(),
             &ld, 1, 1);
    for (char t : {'N', 'T'})
      for (int inc : {1, 2, -1}) {
        eagemv(&t, &m, &n, &alpha, a.data(), &ld, b.data(), &inc, &beta, c.data(), &inc, 1);
        dgemvf(&t, &m, &n, &alpha, a.data(), &ld, b.data(), &inc, &beta, c.data(), &inc, 1);
      }
    g_counting = false;
    EXPECT_EQ(g_calls, 0);
  });
#endif
}

}  // namespace

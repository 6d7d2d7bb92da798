// Helpers of the dense product tests: a no-access page for arguments that
// must not be read, and the reference routines' Fortran signatures.
#ifndef QVK_TESTS_DENSE_DENSE_TEST_H
#define QVK_TESTS_DENSE_DENSE_TEST_H

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <string>

#include "kernels/dense/cores.h"
#include "qvk_test.h"

// EXPECT_SAME_BITS with a note naming the case.
#define EXPECT_SAME_BITS_AT(a, b, n, note)               \
  do {                                                   \
    SCOPED_TRACE(::testing::Message() << note);          \
    EXPECT_SAME_BITS((a), (b), (n));                     \
  } while (0)

namespace dense_test {

// An address whose every read or write faults: a call that touches it dies.
class NoAccessPage {
 public:
  NoAccessPage() {
    size_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    p_ = mmap(nullptr, size_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  }
  ~NoAccessPage() {
    if (p_ != MAP_FAILED) munmap(p_, size_);
  }
  NoAccessPage(const NoAccessPage &) = delete;
  NoAccessPage &operator=(const NoAccessPage &) = delete;
  double *get() const { return static_cast<double *>(p_); }
  bool ok() const { return p_ != MAP_FAILED; }

 private:
  void *p_;
  std::size_t size_;
};

// Every path under every processor model's tuning (shape of the products'
// tiles and blocks, level caps), each forced in turn. A model whose tuning
// equals an earlier one's runs the same code and is not repeated.
template <class F>
void for_each_path(F body) {
  struct Reset {
    ~Reset() { qvk::core_force(-1); }
  } reset;
  for (int core = 0; core < qvk::kCoreCount; ++core) {
    const qvk::CoreTuning &t = qvk::core_tuning(core);
    bool seen = false;
    for (int e = 0; e < core; ++e) {
      const qvk::CoreTuning &u = qvk::core_tuning(e);
      seen = seen || (u.gemm_shape == t.gemm_shape && u.gemm_level == t.gemm_level &&
                      u.gemv_level == t.gemv_level);
    }
    if (seen) continue;
    SCOPED_TRACE(std::string("model ") + t.name);
    qvk::core_force(core);
    qvk_test::for_each_isa(body);
  }
}

using RefDgemv = void (*)(const char *, const int *, const int *, const double *, const double *,
                          const int *, const double *, const int *, const double *, double *,
                          const int *, std::size_t);
using RefDgemm = void (*)(const char *, const char *, const int *, const int *, const int *,
                          const double *, const double *, const int *, const double *,
                          const int *, const double *, double *, const int *, std::size_t,
                          std::size_t);

}  // namespace dense_test

#endif

// Helpers of the dense product tests: a no-access page for arguments that
// must not be read, and the reference routines' Fortran signatures.
#ifndef QVK_TESTS_DENSE_DENSE_TEST_H
#define QVK_TESTS_DENSE_DENSE_TEST_H

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>

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

using RefDgemv = void (*)(const char *, const int *, const int *, const double *, const double *,
                          const int *, const double *, const int *, const double *, double *,
                          const int *, std::size_t);
using RefDgemm = void (*)(const char *, const char *, const int *, const int *, const int *,
                          const double *, const double *, const int *, const double *,
                          const int *, const double *, double *, const int *, std::size_t,
                          std::size_t);

}  // namespace dense_test

#endif

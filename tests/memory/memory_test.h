// Shared tools of the memory tests: a manager whose tables can be read, a
// fixture that restores the seams, and probes run in a child process.
#ifndef QVK_TESTS_MEMORY_MEMORY_TEST_H
#define QVK_TESTS_MEMORY_MEMORY_TEST_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "KORSYS/QorError.h"
#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/memory.h"
#include "capture.h"
#include "memory/probes.h"
#include "memory/raise.h"

namespace qvk_test {

class Managed : public QorVardMemoryManager {
 public:
  explicit Managed(int step, bool warning = false) : QorVardMemoryManager(step) {
    if (warning) SetModeWarning();
  }
  unsigned words_in_use() const { return _WordsInUse; }
  unsigned peak() const { return _PeakWords; }
  int capacity() const { return _Capacity; }
  int boundary(int k) const { return _BoundaryTable[k]; }
  unsigned length(int e) const { return _LengthTable[e]; }
  // No block or length is left beyond the last live entry.
  bool clean_beyond_live() const {
    for (int e = _BoundaryTable[_CurrentIndex] + 1; e < _Capacity; ++e)
      if (_BlockTable[e] != nullptr && _LengthTable[e] != 0) return false;
    return true;
  }
};

inline unsigned &fixed_allowance() {  // the allowance of warning mode, in words
  static unsigned value = 0x7FFFFFFF;
  return value;
}

// Raises are checked through the record of the last one; their printed
// form is left to one test.
class MemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QorVARDTraceState("VARDPrint", 0);
    QorVARDTraceState("OPTPrint", 0);
    fixed_allowance() = 0x7FFFFFFF;
    qvk_memory::set_allowance_probe([](int *a) { *a = static_cast<int>(fixed_allowance()); });
  }
  void TearDown() override {
    QorFaultCountdown(0);
    QorVARDTraceState("VARDPrint", 1);
    QorVARDTraceState("OPTPrint", 1);
    qvk_memory::set_allowance_probe(nullptr);
    qvk_memory::set_one_block_refused(false);
    QorError::QorSetLastError(nullptr, nullptr);
  }
  static long raises() { return qvk_memory::last_raised().count; }
  // Exactly one raise since `before`, of this kind and number.
  static const qvk_memory::Raised &expect_raise(long before, bool warning, int number) {
    const qvk_memory::Raised &r = qvk_memory::last_raised();
    EXPECT_EQ(r.count, before + 1);
    EXPECT_EQ(r.warning, warning);
    EXPECT_EQ(r.number, number);
    return r;
  }
};

// Runs body in a child with the variables set (null: unset) and returns
// what body returned; a child that does not finish fails the test.
inline long long in_child(const std::vector<std::pair<const char *, const char *>> &env,
                          const std::function<long long()> &body) {
  int fds[2];
  if (pipe(fds) != 0) return -999;
  fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    for (auto &v : env) v.second ? setenv(v.first, v.second, 1) : unsetenv(v.first);
    long long value = body();
    _exit(write(fds[1], &value, sizeof value) == sizeof value ? 0 : 1);
  }
  close(fds[1]);
  long long value = -999;
  ssize_t r = read(fds[0], &value, sizeof value);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(r == sizeof value && WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return value;
}

// A byte pattern of seed written into n bytes and checked back.
inline char pattern(unsigned seed, size_t i) {
  return static_cast<char>((seed * 131u + i * 7u) & 0xFF);
}
inline void fill(char *p, size_t n, unsigned seed) {
  for (size_t i = 0; i < n; ++i) p[i] = pattern(seed, i);
}
inline bool holds(const char *p, size_t n, unsigned seed) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != pattern(seed, i)) return false;
  return true;
}

}  // namespace qvk_test

#endif

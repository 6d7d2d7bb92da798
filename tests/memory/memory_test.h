// Shared tools of the memory tests: a manager whose tables can be read,
// a fixture that restores the seams and the fault checkpoint, and probes
// run in a child process with its own environment.
#ifndef QVK_TESTS_MEMORY_MEMORY_TEST_H
#define QVK_TESTS_MEMORY_MEMORY_TEST_H

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "KORSYS/QorError.h"
#include "KORSYS/QorSystem.h"
#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/memory.h"
#include "memory/probes.h"
#include "memory/raise.h"

namespace qvk_test {

// The manager with its tables in view.
class Managed : public QorVardMemoryManager {
 public:
  explicit Managed(int step) : QorVardMemoryManager(step) {}
  unsigned words_in_use() const { return _WordsInUse; }
  unsigned peak() const { return _PeakWords; }
  int capacity() const { return _Capacity; }
  int current() const { return _CurrentIndex; }
  int boundary(int k) const { return _BoundaryTable[k]; }
  char *block(int e) const { return _BlockTable[e]; }
  unsigned length(int e) const { return _LengthTable[e]; }
  // No block or length is left beyond the last live entry.
  bool clean_beyond_live() const {
    for (int e = _BoundaryTable[_CurrentIndex] + 1; e < _Capacity; ++e)
      if (_BlockTable[e] != nullptr && _LengthTable[e] != 0) return false;
    return true;
  }
};

inline void fixed_allowance_probe(int *allowance);
inline unsigned &fixed_allowance() {
  static unsigned value = 0x7FFFFFFF;
  return value;
}
inline void fixed_allowance_probe(int *allowance) { *allowance = static_cast<int>(fixed_allowance()); }

class MemoryTest : public ::testing::Test {
 protected:
  // Raised reports are checked through the record of the last raise;
  // their printed form is left to one test.
  void SetUp() override {
    QorVARDTraceState("VARDPrint", 0);
    QorVARDTraceState("OPTPrint", 0);
    fixed_allowance() = 0x7FFFFFFF;
    qvk_memory::set_allowance_probe(fixed_allowance_probe);
  }
  void TearDown() override {
    QorFaultCountdown(0);
    QorVARDTraceState("VARDPrint", 1);
    QorVARDTraceState("OPTPrint", 1);
    qvk_memory::set_allowance_probe(nullptr);
    qvk_memory::set_one_block_refused(false);
  }
  long raises() const { return qvk_memory::last_raised().count; }
};

// Runs body in a child with the variables set (null value: unset) and
// returns what body returned; a child that does not finish fails the test.
inline long long in_child(const std::vector<std::pair<const char *, const char *>> &env,
                          const std::function<long long()> &body) {
  int fds[2];
  if (pipe(fds) != 0) return -999;
  fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    for (auto &v : env) {
      if (v.second) setenv(v.first, v.second, 1);
      else unsetenv(v.first);
    }
    long long value = body();
    ssize_t w = write(fds[1], &value, sizeof value);
    _exit(w == sizeof value ? 0 : 1);
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

// Fills n bytes with a pattern of seed and checks it back.
inline void fill(char *p, size_t n, unsigned seed) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<char>((seed * 131u + i * 7u) & 0xFF);
}
inline bool holds(const char *p, size_t n, unsigned seed) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != static_cast<char>((seed * 131u + i * 7u) & 0xFF)) return false;
  return true;
}

}  // namespace qvk_test

#endif

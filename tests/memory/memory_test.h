// Memory test tools: a manager whose tables can be read, a fixture restoring the seams.
#ifndef QVK_TESTS_MEMORY_MEMORY_TEST_H
#define QVK_TESTS_MEMORY_MEMORY_TEST_H

#include <gtest/gtest.h>

#include <string>
#include <tuple>

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
  int capacity() const { return _Capacity; }
  int boundary(int k) const { return _BoundaryTable[k]; }
  unsigned length(int e) const { return _LengthTable[e]; }
  // What a request may change: the next index, the words in use, their
  // peak, and whether no block or length is left beyond the live entries.
  std::tuple<int, unsigned, unsigned, bool> state() const {
    bool clean = true;
    for (int e = _BoundaryTable[_CurrentIndex] + 1; e < _Capacity; ++e)
      clean = clean && (_BlockTable[e] == nullptr || _LengthTable[e] == 0);
    return {GetIndiceAllocation(), _WordsInUse, _PeakWords, clean};
  }
};

inline unsigned fixed_allowance = 0x7FFFFFFF;  // the allowance of warning mode, in words

// Raises are checked through the record of the last one, unprinted.
class MemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QorVARDTraceState("VARDPrint", 0);
    QorVARDTraceState("OPTPrint", 0);
    fixed_allowance = 0x7FFFFFFF;
    qvk_memory::set_allowance_probe([](int *a) { *a = static_cast<int>(fixed_allowance); });
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
  // Exactly one raise since `before`, of this kind and number, with these
  // amounts (kUnchecked: any).
  static constexpr int kUnchecked = -1000000;
  static const qvk_memory::Raised &expect_raise(long before, bool warning, int number,
                                                int p1 = kUnchecked, int p2 = kUnchecked) {
    const qvk_memory::Raised &r = qvk_memory::last_raised();
    EXPECT_EQ(std::make_tuple(r.count, r.warning, r.number), std::make_tuple(before + 1, warning, number));
    EXPECT_TRUE(p1 == kUnchecked || r.p1 == p1) << r.p1 << ", not " << p1;
    EXPECT_TRUE(p2 == kUnchecked || r.p2 == p2) << r.p2 << ", not " << p2;
    return r;
  }
};

// Seeded bytes written into an array and checked again.
inline void fill(char *p, size_t n, unsigned seed) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<char>(seed * 131u + i * 7u);
}
inline bool holds(const char *p, size_t n, unsigned seed) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != static_cast<char>(seed * 131u + i * 7u)) return false;
  return true;
}

}  // namespace qvk_test

#endif

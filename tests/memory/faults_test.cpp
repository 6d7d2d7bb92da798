// Every allocator call of a request made to fail in turn, in error and in
// warning mode: the right report and result, nothing of the failed request
// left behind, every earlier index intact (the sanitizers check the rest).
#include <cstring>
#include <string>

#include "memory_test.h"

using qvk_test::Managed;
using qvk_test::MemoryTest;

namespace {

const int kCount = 4;
// Each array at least 64,000 words, so that the trial of the available
// amount starts just below it.
const unsigned kLengths[kCount] = {520000, 600000, 700000, 800000};

int words_of(unsigned length) { return static_cast<int>(length / 8 + 1); }
int kb_available(int words) { return (8 * words - 512000) / 8 / 128; }

// An index held before the request, with known contents.
struct Earlier {
  char *a = nullptr, *b = nullptr;
  int index = 0;
  void make(QorVardMemoryManager &m) {
    ASSERT_EQ(m.Allocation(2, index, &a, 100u, &b, 3000u), 0);
    qvk_test::fill(a, 100, 1);
    qvk_test::fill(b, 3000, 2);
  }
  bool intact() const { return qvk_test::holds(a, 100, 1) && qvk_test::holds(b, 3000, 2); }
};

class Faults : public MemoryTest, public ::testing::WithParamInterface<int> {
 protected:
  bool warning() const { return GetParam() == 1; }
  void mode(QorVardMemoryManager &m) const {
    if (warning()) m.SetModeWarning();
  }
};

}  // namespace

TEST_P(Faults, MultiArrayRequest) {
  for (bool one_block : {true, false}) {
    SCOPED_TRACE(one_block ? "one block tried" : "separate arrays");
    qvk_memory::set_one_block_refused(!one_block);
    Managed m(16);
    mode(m);
    Earlier before;
    before.make(m);
    const unsigned in_use = m.words_in_use();
    int failures = 0;
    for (long n = 1;; ++n) {
      char *p[kCount] = {};
      int index = -5;
      long raised = raises();
      QorFaultCountdown(n);
      int rc = m.Allocation(kCount, index, &p[0], kLengths[0], &p[1], kLengths[1], &p[2],
                            kLengths[2], &p[3], kLengths[3]);
      long calls = QorFaultCalls();
      QorFaultCountdown(0);
      ASSERT_TRUE(before.intact()) << "call " << n;
      if (rc == 0) {
        // Served (a refused single block falls back on separate arrays).
        EXPECT_EQ(index, 2);
        EXPECT_EQ(raises(), raised);
        for (int i = 0; i < kCount; ++i) {
          EXPECT_EQ(reinterpret_cast<uintptr_t>(p[i]) % 8, 0u);
          qvk_test::fill(p[i], kLengths[i], 10 + i);
        }
        for (int i = 0; i < kCount; ++i) EXPECT_TRUE(qvk_test::holds(p[i], kLengths[i], 10 + i));
        ASSERT_EQ(m.Desallocation(index), 0);
        EXPECT_EQ(m.words_in_use(), in_use);
        if (n > calls) break;
        continue;
      }
      // Array n of the separate path was refused.
      ++failures;
      ASSERT_FALSE(one_block) << "call " << n;
      ASSERT_LE(n, kCount);
      EXPECT_EQ(rc, warning() ? 8 : QOR_E_FAIL);
      EXPECT_EQ(index, -5);
      for (char *x : p) EXPECT_EQ(x, nullptr);
      const qvk_memory::Raised &r = qvk_memory::last_raised();
      EXPECT_EQ(r.count, raised + 1);
      EXPECT_EQ(r.number, warning() ? 300 : 302);
      EXPECT_EQ(r.warning, warning());
      const int w = words_of(kLengths[n - 1]);
      EXPECT_EQ(r.p1, w / 128);
      EXPECT_EQ(r.p2, kb_available(w));
      EXPECT_EQ(m.GetIndiceAllocation(), 2);
      EXPECT_EQ(m.words_in_use(), in_use);
      EXPECT_TRUE(m.clean_beyond_live());
    }
    EXPECT_EQ(failures, one_block ? 0 : kCount);
  }
}

TEST_P(Faults, TableExtension) {
  // A growth step of 1: the request extends the tables a step at a time,
  // before its single block and again before its separate arrays.
  for (bool one_block : {true, false}) {
    SCOPED_TRACE(one_block ? "one block tried" : "separate arrays");
    qvk_memory::set_one_block_refused(!one_block);
    int table_failures = 0;  // reports of error 302
    for (long n = 1;; ++n) {
      Managed m(1);
      mode(m);
      Earlier before;
      before.make(m);
      const unsigned in_use = m.words_in_use();
      char *p[3] = {};
      int index = -5;
      long raised = raises();
      QorFaultCountdown(n);
      int rc = m.Allocation(3, index, &p[0], 8u, &p[1], 16u, &p[2], 24u);
      long calls = QorFaultCalls();
      QorFaultCountdown(0);
      ASSERT_TRUE(before.intact()) << "call " << n;
      if (rc == 0) {
        EXPECT_EQ(index, 2);
        memset(p[2], 7, 24);
        if (n > calls) break;
        continue;
      }
      EXPECT_EQ(index, -5);
      const qvk_memory::Raised &r = qvk_memory::last_raised();
      EXPECT_EQ(r.count, raised + 1);
      if (r.number == 302) {
        // Tables that cannot grow are error 302 in both modes, with the
        // capacity asked for, in kilobytes of words.
        EXPECT_EQ(rc, QOR_E_FAIL);
        EXPECT_EQ(r.p1, (m.capacity() + 1) / 128);
        EXPECT_GE(r.p2, 0);
        ++table_failures;
      } else {
        EXPECT_TRUE(warning());
        EXPECT_EQ(r.number, 300);
        EXPECT_EQ(rc, 8);
      }
      EXPECT_EQ(m.GetIndiceAllocation(), 2);
      EXPECT_EQ(m.words_in_use(), in_use);
      EXPECT_TRUE(m.clean_beyond_live());
      // The tables hold whatever grew: more requests go through.
      for (int k = 0; k < 5; ++k) {
        char *x = nullptr;
        ASSERT_EQ(m.Allocation(1, index, &x, 8u), 0);
        EXPECT_EQ(index, k + 2);
      }
    }
    // Three tables, one step before the block, two more before separate
    // arrays; in error mode the three arrays add theirs.
    EXPECT_EQ(table_failures, one_block ? 3 : warning() ? 9 : 12);
  }
}

TEST_P(Faults, Reallocation) {
  Managed m(4);
  mode(m);
  Earlier before;
  before.make(m);
  char *p = nullptr;
  int index = 0;
  ASSERT_EQ(m.Allocation(1, index, &p, 600000u), 0);
  qvk_test::fill(p, 600000, 5);
  const unsigned in_use = m.words_in_use();
  for (long n = 1;; ++n) {
    char *q = p;
    long raised = raises();
    QorFaultCountdown(n);
    int rc = m.Reallocation(index, q, 700000u);
    long calls = QorFaultCalls();
    QorFaultCountdown(0);
    if (n > calls) {
      ASSERT_EQ(rc, 0);
      EXPECT_TRUE(qvk_test::holds(q, 600000, 5));
      EXPECT_EQ(m.words_in_use(), in_use - 75001 + 87500);
      break;
    }
    // The old block, its entry and the caller's pointer are kept.
    EXPECT_EQ(rc, QOR_E_FAIL);
    EXPECT_EQ(q, p);
    EXPECT_TRUE(qvk_test::holds(p, 600000, 5));
    EXPECT_EQ(m.words_in_use(), in_use);
    EXPECT_EQ(m.length(1), 75001u);
    const qvk_memory::Raised &r = qvk_memory::last_raised();
    EXPECT_EQ(r.count, raised + 1);
    EXPECT_EQ(r.number, 302);
    EXPECT_EQ(r.p1, 87501 / 128);
    EXPECT_EQ(r.p2, kb_available(87501));
  }
  EXPECT_TRUE(before.intact());
}

TEST_P(Faults, TablesOfTheConstructor) {
  for (long n = 1; n <= 3; ++n) {
    QorFaultCountdown(n);
    Managed m(4);
    QorFaultCountdown(0);
    mode(m);
    EXPECT_EQ(m.capacity(), 0);
    EXPECT_EQ(m.GetIndiceAllocation(), 1);
    EXPECT_EQ(m.Desallocation(1), 0);
    EXPECT_EQ(m.Desallocation(-1), 0);
    // The first request builds them.
    char *p = nullptr;
    int index = 0;
    ASSERT_EQ(m.Allocation(1, index, &p, 8u), 0);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(m.boundary(0), -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, Faults, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int> &i) {
                           return std::string(i.param ? "Warning" : "Error");
                         });

using WarningMode = MemoryTest;

namespace {
int g_allowance_calls = 0;
// 10,000 words for the whole request, 1,500 for each array after it.
void shrinking_allowance(int *allowance) { *allowance = g_allowance_calls++ == 0 ? 10000 : 1500; }
}  // namespace

TEST_F(WarningMode, AllowanceRefusals) {
  Managed m(8);
  m.SetModeWarning();
  Earlier before;
  before.make(m);
  const unsigned in_use = m.words_in_use();
  char *p[2] = {};
  int index = -5;
  long raised = raises();
  // The whole request over the allowance: 8 at once, nothing reported.
  qvk_test::fixed_allowance() = 1000;
  EXPECT_EQ(m.Allocation(2, index, &p[0], 4000u, &p[1], 4000u), 8);
  EXPECT_EQ(raises(), raised);
  EXPECT_EQ(index, -5);
  // Separate arrays, the allowance shrinking after the check of the whole
  // request: the second array over it is warning 300 with its words and
  // the allowance; the first is given back.
  qvk_memory::set_one_block_refused(true);
  qvk_memory::set_allowance_probe(shrinking_allowance);
  EXPECT_EQ(m.Allocation(2, index, &p[0], 4000u, &p[1], 12800u), 8);
  const qvk_memory::Raised &r = qvk_memory::last_raised();
  EXPECT_EQ(r.count, raised + 1);
  EXPECT_TRUE(r.warning);
  EXPECT_EQ(r.number, 300);
  EXPECT_EQ(r.p1, 1601 / 128);
  EXPECT_EQ(r.p2, 1500 / 128);
  EXPECT_EQ(p[0], nullptr);
  EXPECT_TRUE(m.clean_beyond_live());
  EXPECT_EQ(m.words_in_use(), in_use);
  // Out of warning mode the allowance is not asked.
  m.ResetModeWarning();
  EXPECT_EQ(m.Allocation(2, index, &p[0], 4000u, &p[1], 12800u), 0);
  EXPECT_TRUE(before.intact());
}

TEST_F(WarningMode, ReportsArePrintedAndRecorded) {
  // The raised error goes through the factories: printed, and the last
  // error of the process; a warning is not recorded.
  QorVARDTraceState("VARDPrint", 1);
  QorVARDTraceState("OPTPrint", 1);
  Managed m(8);
  qvk_memory::set_one_block_refused(true);
  char *p = nullptr;
  int index = 0;
  QorError::QorSetLastError(nullptr, nullptr);
  QorFaultCountdown(1);
  EXPECT_EQ(m.Allocation(1, index, &p, 600000u), QOR_E_FAIL);
  QorFaultCountdown(0);
  QorError *last = QorError::QorGetLastError();
  ASSERT_NE(last, nullptr);
  EXPECT_STREQ(last->GetMsgId(), "ERR_0302");
  EXPECT_STREQ(last->GetMsgCatalog(), "QorVARDMathKernelError");
  EXPECT_STREQ(last->GetNLSDiagnosticParam(1), std::to_string(75001 / 128).c_str());
  EXPECT_STREQ(last->GetNLSDiagnosticParam(2), std::to_string(kb_available(75001)).c_str());

  m.SetModeWarning();
  QorFaultCountdown(1);
  EXPECT_EQ(m.Allocation(1, index, &p, 600000u), 8);
  QorFaultCountdown(0);
  EXPECT_EQ(QorError::QorGetLastError(), last);
  QorError::QorSetLastError(nullptr, nullptr);
}

// Every allocator call of a request made to fail in turn, in error and in
// warning mode: the right report and result, nothing of the failed request
// left behind, every earlier index intact (the sanitizers check the rest).
#include <optional>

#include "memory_test.h"

using qvk_test::fails_at;
using qvk_test::Managed;

namespace {

int kb_available(int words) { return (8 * words - 512000) / 8 / 128; }

// An index held before the request, with known contents.
struct Earlier {
  char *a = nullptr, *b = nullptr;
  explicit Earlier(QorVardMemoryManager &m) {
    int index = 0;
    EXPECT_EQ(m.Allocation(2, index, &a, 100u, &b, 3000u), 0);
    qvk_test::fill(a, 100, 1);
    qvk_test::fill(b, 3000, 2);
  }
  bool intact() const { return qvk_test::holds(a, 100, 1) && qvk_test::holds(b, 3000, 2); }
};

class Faults : public qvk_test::MemoryTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool warning() const { return GetParam(); }
  // After a failure: nothing added, nothing left over, the earlier index kept.
  static void expect_unchanged(const Managed &m, unsigned in_use, const Earlier &before) {
    EXPECT_EQ(m.GetIndiceAllocation(), 2);
    EXPECT_EQ(m.words_in_use(), in_use);
    EXPECT_TRUE(m.clean_beyond_live());
    EXPECT_TRUE(before.intact());
  }
};

}  // namespace

// A request with its n-th allocator call refused, n = 1, 2, ... until it
// runs clean: four large arrays on roomy tables, and three small ones on
// tables grown one slot at a time (extended before the single block and
// again before the separate arrays). A refused table is error 302 in both
// modes with the capacity asked for; a refused array is 302, or warning
// 300 and 8 in warning mode, with its words and those available.
TEST_P(Faults, EveryCallOfARequest) {
  // Each large array at least 64,000 words: the trial of the available
  // amount starts just below it.
  const struct {
    int step, count;
    unsigned lengths[4];
    int tables[2];  // calls that grow the tables: one block tried, separate arrays
  } cases[] = {{16, 4, {520000, 600000, 700000, 800000}, {0, 0}}, {1, 3, {8, 16, 24}, {3, 9}}};
  for (const auto &c : cases)
    for (bool one_block : {true, false}) {
      SCOPED_TRACE(std::to_string(c.count) + (one_block ? " arrays, one block tried" : " arrays"));
      qvk_memory::set_one_block_refused(!one_block);
      const int tables = c.tables[one_block ? 0 : 1];
      int failures = 0;
      for (long n = 1;; ++n) {
        SCOPED_TRACE(n);
        Managed m(c.step, warning());
        Earlier before(m);
        const unsigned in_use = m.words_in_use();
        char *p[4] = {};
        int index = -5, rc = 0;
        const long raised = raises();
        const unsigned *l = c.lengths;
        QorError::QorSetLastError(nullptr, nullptr);
        const bool clean = fails_at(n, [&] {
          rc = m.Allocation(c.count, index, &p[0], l[0], &p[1], l[1], &p[2], l[2], &p[3], l[3]);
        });
        ASSERT_TRUE(before.intact());
        if (rc == 0) {  // served (a refused single block falls back on separate arrays)
          EXPECT_EQ(index, 2);
          EXPECT_EQ(raises(), raised);
          for (int i = 0; i < c.count; ++i) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p[i]) % 8, 0u);
            qvk_test::fill(p[i], l[i], 10 + i);
          }
          for (int i = 0; i < c.count; ++i) EXPECT_TRUE(qvk_test::holds(p[i], l[i], 10 + i));
          ASSERT_EQ(m.Desallocation(index), 0);
          EXPECT_EQ(m.words_in_use(), in_use);
          if (clean) break;
          continue;
        }
        ++failures;
        EXPECT_EQ(index, -5);
        for (char *x : p) EXPECT_EQ(x, nullptr);
        expect_unchanged(m, in_use, before);
        const bool table = n <= tables, warned = warning() && !table;
        ASSERT_TRUE(table || (!one_block && n <= tables + c.count));
        const qvk_memory::Raised &r = expect_raise(raised, warned, warned ? 300 : 302);
        EXPECT_EQ(rc, warned ? 8 : QOR_E_FAIL);
        const int w = table ? m.capacity() + 1 : static_cast<int>(l[n - tables - 1] / 8 + 1);
        EXPECT_EQ(r.p1, w / 128);
        EXPECT_TRUE(w < 64000 ? r.p2 >= 0 : r.p2 == kb_available(w)) << r.p2;
        // An error is the last error of the process, with its amounts; a
        // warning is not recorded.
        QorError *last = QorError::QorGetLastError();
        ASSERT_EQ(last != nullptr, !warned);
        if (last) {
          EXPECT_STREQ(last->GetMsgId(), "ERR_0302");
          EXPECT_STREQ(last->GetMsgCatalog(), "QorVARDMathKernelError");
          EXPECT_STREQ(last->GetNLSDiagnosticParam(1), std::to_string(r.p1).c_str());
          EXPECT_STREQ(last->GetNLSDiagnosticParam(2), std::to_string(r.p2).c_str());
        }
        for (int k = 2; k < 7; ++k) {  // the tables hold whatever grew
          char *x = nullptr;
          ASSERT_EQ(m.Allocation(1, index, &x, 8u), 0);
          EXPECT_EQ(index, k);
        }
      }
      EXPECT_EQ(failures, one_block ? tables : tables + c.count);
    }
}

// The old block, its entry and the caller's pointer are kept; a resize is
// error 302 in both modes.
TEST_P(Faults, Reallocation) {
  Managed m(4, warning());
  Earlier before(m);
  char *p = nullptr;
  int index = 0;
  ASSERT_EQ(m.Allocation(1, index, &p, 600000u), 0);
  qvk_test::fill(p, 600000, 5);
  const unsigned in_use = m.words_in_use();
  for (long n = 1;; ++n) {
    char *q = p;
    int rc = 0;
    const long raised = raises();
    if (fails_at(n, [&] { rc = m.Reallocation(index, q, 700000u); })) {
      ASSERT_EQ(rc, 0);
      EXPECT_TRUE(qvk_test::holds(q, 600000, 5));
      EXPECT_EQ(m.words_in_use(), in_use - 75001 + 87500);
      break;
    }
    EXPECT_EQ(rc, QOR_E_FAIL);
    EXPECT_EQ(q, p);
    EXPECT_TRUE(qvk_test::holds(p, 600000, 5));
    EXPECT_EQ(m.words_in_use(), in_use);
    EXPECT_EQ(m.length(1), 75001u);
    const qvk_memory::Raised &r = expect_raise(raised, false, 302);
    EXPECT_EQ(r.p1, 87501 / 128);
    EXPECT_EQ(r.p2, kb_available(87501));
  }
  EXPECT_TRUE(before.intact());
}

// Tables refused to the constructor: an empty manager that the first
// request builds.
TEST_P(Faults, TablesOfTheConstructor) {
  for (long n = 1; n <= 3; ++n) {
    std::optional<Managed> m;
    fails_at(n, [&] { m.emplace(4, warning()); });
    EXPECT_EQ(m->capacity(), 0);
    EXPECT_EQ(m->GetIndiceAllocation(), 1);
    EXPECT_EQ(m->Desallocation(1), 0);
    EXPECT_EQ(m->Desallocation(-1), 0);
    char *p = nullptr;
    int index = 0;
    ASSERT_EQ(m->Allocation(1, index, &p, 8u), 0);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(m->boundary(0), -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, Faults, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &i) {
                           return std::string(i.param ? "Warning" : "Error");
                         });

using WarningMode = qvk_test::MemoryTest;

TEST_F(WarningMode, AllowanceRefusals) {
  Managed m(8, true);
  Earlier before(m);
  const unsigned in_use = m.words_in_use();
  char *p[2] = {};
  int index = -5;
  const long raised = raises();
  // The whole request over the allowance: 8 at once, nothing reported.
  qvk_test::fixed_allowance() = 1000;
  EXPECT_EQ(m.Allocation(2, index, &p[0], 4000u, &p[1], 4000u), 8);
  EXPECT_EQ(raises(), raised);
  EXPECT_EQ(index, -5);
  // Separate arrays, the allowance shrinking to 1,500 words after the check
  // of the whole request: the second array over it is warning 300 with its
  // words and the allowance; the first is given back.
  qvk_memory::set_one_block_refused(true);
  static int calls = 0;
  qvk_memory::set_allowance_probe([](int *a) { *a = calls++ == 0 ? 10000 : 1500; });
  EXPECT_EQ(m.Allocation(2, index, &p[0], 4000u, &p[1], 12800u), 8);
  const qvk_memory::Raised &r = expect_raise(raised, true, 300);
  EXPECT_EQ(r.p1, 1601 / 128);
  EXPECT_EQ(r.p2, 1500 / 128);
  EXPECT_EQ(p[0], nullptr);
  EXPECT_TRUE(m.clean_beyond_live());
  EXPECT_EQ(m.words_in_use(), in_use);
  m.ResetModeWarning();  // out of warning mode the allowance is not asked
  EXPECT_EQ(m.Allocation(2, index, &p[0], 4000u, &p[1], 12800u), 0);
  EXPECT_TRUE(before.intact());
}

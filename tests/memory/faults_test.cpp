// Every allocator call of a request failed in turn, in both modes: the right report
// and result, nothing of the failed request left behind, earlier indices intact.
#include <optional>

#include "memory_test.h"

using qvk_test::fails_at;
using qvk_test::Managed;
using qvk_test::MemoryTest;

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
};

}  // namespace

// Large arrays on roomy tables, small ones on tables grown a slot at a time. A refused
// table is error 302 with the capacity asked for; a refused array is 302, or warning
// 300 and 8 in warning mode, with its words and those available; only an error is recorded.
TEST_P(Faults, EveryCallOfARequest) {
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
      const unsigned *l = c.lengths;
      int failures = 0;
      for (long n = 1;; ++n) {
        SCOPED_TRACE(n);
        Managed m(c.step, warning());
        Earlier before(m);
        const unsigned in_use = m.words_in_use();
        char *p[4] = {};
        int index = -5, rc = 0;
        const long raised = raises();
        QorError::QorSetLastError(nullptr, nullptr);
        const bool clean = fails_at(n, [&] {
          rc = m.Allocation(c.count, index, &p[0], l[0], &p[1], l[1], &p[2], l[2], &p[3], l[3]);
        });
        ASSERT_TRUE(before.intact());
        if (rc == 0) {  // served (a refused single block falls back on separate arrays)
          EXPECT_EQ(std::make_tuple(index, raises()), std::make_tuple(2, raised));
          for (int i = 0; i < c.count; ++i) qvk_test::fill(p[i], l[i], 10 + i);
          for (int i = 0; i < c.count; ++i) EXPECT_TRUE(qvk_test::holds(p[i], l[i], 10 + i));
          ASSERT_EQ(m.Desallocation(index), 0);
          EXPECT_EQ(m.words_in_use(), in_use);
          if (clean) break;
          continue;
        }
        ++failures;
        const bool table = n <= tables, warned = warning() && !table;
        ASSERT_TRUE(table || (!one_block && n <= tables + c.count));
        const int w = table ? m.capacity() + 1 : static_cast<int>(l[n - tables - 1] / 8 + 1);
        const qvk_memory::Raised &r = expect_raise(raised, warned, warned ? 300 : 302, w / 128);
        EXPECT_TRUE(w < 64000 ? r.p2 >= 0 : r.p2 == kb_available(w)) << r.p2;
        EXPECT_EQ(std::make_pair(rc, index), std::make_pair(warned ? 8 : QOR_E_FAIL, -5));
        for (char *x : p) EXPECT_EQ(x, nullptr);
        EXPECT_EQ(m.state(), std::make_tuple(2, in_use, in_use, true));
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

// A refused resize keeps the old block, its entry and the caller's pointer: error 302.
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
    expect_raise(raised, false, 302, 87501 / 128, kb_available(87501));
    EXPECT_EQ(std::make_tuple(rc, q, m.words_in_use(), m.length(1)),
              std::make_tuple(QOR_E_FAIL, p, in_use, 75001u));
    EXPECT_TRUE(qvk_test::holds(p, 600000, 5));
  }
  EXPECT_TRUE(before.intact());
}

// Tables refused to the constructor: an empty manager, built by the first request.
TEST_P(Faults, TablesOfTheConstructor) {
  for (long n = 1; n <= 3; ++n) {
    std::optional<Managed> m;
    fails_at(n, [&] { m.emplace(4, warning()); });
    EXPECT_EQ(m->capacity(), 0);
    EXPECT_EQ(m->Desallocation(1) + m->Desallocation(-1), 0);
    char *p = nullptr;
    int index = 0;
    ASSERT_EQ(m->Allocation(1, index, &p, 8u), 0);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(m->boundary(0), -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, Faults, ::testing::Bool(),
                         [](const auto &i) { return std::string(i.param ? "Warning" : "Error"); });

// Warning mode: a request over the allowance is 8, unreported; an array over an allowance shrunk
// after that check is warning 300, the first array given back. Out of warning mode: not asked.
TEST_F(MemoryTest, WarningModeAllowance) {
  Managed m(8, true);
  Earlier before(m);
  const unsigned in_use = m.words_in_use();
  char *p[2] = {};
  int index = -5;
  const long raised = raises();
  qvk_test::fixed_allowance = 1000;
  EXPECT_EQ(m.Allocation(2, index, &p[0], 4000u, &p[1], 4000u), 8);
  EXPECT_EQ(std::make_pair(raises(), index), std::make_pair(raised, -5));
  qvk_memory::set_one_block_refused(true);
  static int calls = 0;
  qvk_memory::set_allowance_probe([](int *a) { *a = calls++ == 0 ? 10000 : 1500; });
  EXPECT_EQ(m.Allocation(2, index, &p[0], 4000u, &p[1], 12800u), 8);
  expect_raise(raised, true, 300, 1601 / 128, 1500 / 128);
  EXPECT_EQ(p[0], nullptr);
  EXPECT_EQ(m.state(), std::make_tuple(2, in_use, in_use, true));
  m.ResetModeWarning();
  EXPECT_EQ(m.Allocation(2, index, &p[0], 4000u, &p[1], 12800u), 0);
  EXPECT_TRUE(before.intact());
}

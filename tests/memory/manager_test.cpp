// The manager's refusals and the edges of its stack of indices that the
// random model leaves alone (the model covers the ordinary traffic); typed
// pointers: element sizes of the value tags and the typed Allocation.
#include <cstring>

#include "memory_test.h"

using qvk_test::Managed;
using Manager = qvk_test::MemoryTest;

TEST_F(Manager, RefusedCountsAndLengths) {
  Managed m(4);
  char *p = nullptr;
  int index = 7;
  const struct {
    int count;
    unsigned length;
  } cases[] = {{0, 8}, {-3, 8}, {1, 0}, {12, 8}};
  for (const auto &c : cases) {
    const long before = raises();
    EXPECT_EQ(m.Allocation(c.count, index, &p, c.length), QOR_E_FAIL) << c.count;
    EXPECT_EQ(raises(), before + 1);
    EXPECT_EQ(index, 7);
    EXPECT_EQ(p, nullptr);
  }
  // A zero inside the lengths of the core form: those before it are
  // already rewritten to words, those after it left alone.
  char *slots[3] = {};
  char **pointers = slots;
  unsigned lengths[3] = {16, 0, 8};
  EXPECT_EQ(m.Allocation(3, index, pointers, lengths), QOR_E_FAIL);
  EXPECT_EQ(lengths[0], 3u);
  EXPECT_EQ(lengths[2], 8u);
  EXPECT_STREQ(qvk_memory::last_raised().text, "Null Allocation Length");
  EXPECT_EQ(index, 7);
  EXPECT_EQ(m.words_in_use(), 0u);
  EXPECT_EQ(m.GetIndiceAllocation(), 1);
}

TEST_F(Manager, ResizingIndicesNotLive) {
  Managed m(4);
  char *p = nullptr;
  int index = 0;
  for (int bad : {0, -1, 1, 2}) EXPECT_EQ(m.Reallocation(bad, p, 8u), QOR_E_FAIL);
  ASSERT_EQ(m.Allocation(1, index, &p, 8u), 0);
  char *const held = p;
  EXPECT_EQ(m.Reallocation(2, p, 8u), QOR_E_FAIL);
  EXPECT_EQ(p, held);
  // Failed moves leave index and pointer as they were, and take no index.
  int stale = 9, live = 1;
  EXPECT_EQ(m.ManualReallocation(stale, p, 8u, 8u), QOR_E_FAIL);
  EXPECT_EQ(m.ManualReallocation(live, p, 8u, 0u), QOR_E_FAIL);
  EXPECT_EQ(live, 1);
  EXPECT_EQ(p, held);
  EXPECT_EQ(m.GetIndiceAllocation(), 2);
  // An emptied index gets a fresh block.
  EXPECT_EQ(m.Desallocation(-1), 0);
  ASSERT_EQ(m.Reallocation(1, p, 16u), 0);
  memset(p, 3, 16);
  EXPECT_EQ(m.words_in_use(), 2u);
}

TEST_F(Manager, DestructionElementAndGrowthSteps) {
  Managed m(4);
  char *p = static_cast<char *>(malloc(16));
  EXPECT_EQ(m.DestructionElement(p), 0);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(m.DestructionElement(p), 0);

  Managed zero(0);  // a step below 1 counts as 1
  EXPECT_EQ(zero.capacity(), 1);
  int i = 0;
  for (int k = 0; k < 20; ++k) ASSERT_EQ(zero.Allocation(1, i, &p, 8u), 0);
  EXPECT_EQ(i, 20);
}

TEST_F(Manager, WordsPastThirtyTwoBitsAreReported) {
  const unsigned big = 0xFFFFFFFFu;  // 2^29 words
  for (bool warning : {false, true}) {
    Managed m(4);
    if (warning) m.SetModeWarning();
    const int refused = warning ? 8 : QOR_E_FAIL, number = warning ? 1026 : 1025;
    char *held = nullptr;
    int index = 0;
    ASSERT_EQ(m.Allocation(1, index, &held, 8u), 0);
    // Eight of them make 2^32 words, one more than a count can hold.
    char *q[8] = {};
    const long before = raises();
    EXPECT_EQ(m.Allocation(8, index, &q[0], big, &q[1], big, &q[2], big, &q[3], big, &q[4], big,
                           &q[5], big, &q[6], big, &q[7], big),
              refused);
    expect_raise(before, warning, number);
    for (char *x : q) EXPECT_EQ(x, nullptr);
    if (sizeof(void *) == 4) {
      // One such array and its alignment word exceed a 32-bit address space.
      EXPECT_EQ(m.Allocation(1, index, &q[0], big), refused);
      EXPECT_EQ(m.Reallocation(1, held, big), refused);
    }
    EXPECT_EQ(index, 1);
    EXPECT_EQ(m.words_in_use(), 2u);
  }
}

namespace {
const int kAddress = static_cast<int>(sizeof(void *));
}

TEST(TypedSizes, SizesAndPointedTypes) {
  const QorVardValue none = QorVardValueLast;
  const struct {
    QorVardValue tag;
    int size;
    QorVardValue pointed;
  } cases[] = {
      {QorVardValueInteger4, 4, none}, {QorVardValueReal4, 4, none}, {QorVardValueReal8, 8, none},
      {QorVardValueChar4, 4, none},    {QorVardValueChar1, 1, none}, {QorVardValueString, 0, none},
      {QorVardValueQorMathComplexf, 8, none},  {QorVardValueQorMathComplex, 16, none},
      {QorVardValueLast, 0, none}, {static_cast<QorVardValue>(40), 0, none},
      {static_cast<QorVardValue>(-1), 0, none},
      {QorVardValueInteger4Ptr, kAddress, QorVardValueInteger4},
      {QorVardValueReal4Ptr, 0, QorVardValueReal4},
      {QorVardValueReal8Ptr, 0, QorVardValueReal8},
      {QorVardValueChar1Ptr, kAddress, QorVardValueChar1},
      {QorVardValueChar1PtrPtr, 0, QorVardValueChar1Ptr},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(GetStratoSizeOf(c.tag), c.size) << c.tag;
    EXPECT_EQ(GetPointedType(c.tag), c.pointed) << c.tag;
  }
  EXPECT_EQ(QorVardTypeEncapMemory::EmptyEncapMem.GetStratoSizeOfPointedType(), 0);
  EXPECT_EQ(QorVardTypeEncapMemory::Test(), 0);
}

TEST_F(Manager, TypedCountsBecomeLengths) {
  Managed m(8);
  double *d = nullptr;
  int *k = nullptr;
  int index = 0;
  ASSERT_EQ(m.Allocation(index, d, 100, k, 7), 0);
  EXPECT_EQ(m.words_in_use(), 101u + 4u);
  EXPECT_EQ(reinterpret_cast<char *>(k) - reinterpret_cast<char *>(d), 8 * 101);
  for (int i = 0; i < 100; ++i) d[i] = i;
  for (int i = 0; i < 7; ++i) k[i] = i;

  char **texts = nullptr;
  char *chars = nullptr;
  float *f = nullptr;
  ASSERT_EQ(m.Allocation(index, texts, 5, chars, 3, f, 2), 0);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(m.words_in_use(), 105u + (5u * kAddress / 8 + 1) + 1u + 2u);
  texts[4] = chars;
  f[1] = 1.0f;
}

TEST_F(Manager, TypedRefusals) {
  Managed m(8);
  double *d = nullptr;
  int *k = nullptr;
  int index = 0;
  const long before = raises();
  // An empty first pair: nothing to allocate.
  EXPECT_EQ(m.Allocation(index, QorVardTypeEncapMemory::EmptyEncapMem, 5), QOR_E_FAIL);
  EXPECT_STREQ(qvk_memory::last_raised().text, "Null Allocation Length");
  // A usable pair after a zero count.
  EXPECT_EQ(m.Allocation(index, k, 0, d, 10), QOR_E_FAIL);
  EXPECT_STREQ(qvk_memory::last_raised().text, "Memory allocation: Array type not recognized");
  // An empty or zero pair after the stop is no error: the first pair goes.
  EXPECT_EQ(m.Allocation(index, d, 10, k, 0, QorVardTypeEncapMemory::EmptyEncapMem, 4), 0);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(raises(), before + 2);
  EXPECT_EQ(k, nullptr);

  // Counts whose bytes pass 32 bits, or negative ones, are refused whole,
  // never wrapped, also in a later pair.
  for (bool warning : {false, true}) {
    if (warning) m.SetModeWarning();
    for (int count : {1 << 30, -1, INT32_MIN, 0}) {
      double *x = nullptr;
      const long n = raises();
      const int rc = count ? m.Allocation(index, x, count) : m.Allocation(index, x, 4, d, 1 << 29);
      EXPECT_EQ(rc, warning ? 8 : QOR_E_FAIL) << count;
      EXPECT_EQ(expect_raise(n, warning, warning ? 1026 : 1025).params, 0);
      EXPECT_EQ(x, nullptr);
    }
  }
  EXPECT_EQ(index, 1);
  EXPECT_EQ(m.GetIndiceAllocation(), 2);
}

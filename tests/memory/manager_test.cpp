// The manager's bookkeeping: word counts, block layout, the stack of
// indices and its release forms, resizing and moving arrays.
#include <cstring>

#include "memory_test.h"

using qvk_test::Managed;
using qvk_test::MemoryTest;

namespace {
uintptr_t address(const void *p) { return reinterpret_cast<uintptr_t>(p); }
}  // namespace

using ManagerLayout = MemoryTest;
using ManagerStack = MemoryTest;
using ManagerResize = MemoryTest;

TEST_F(ManagerLayout, WordCountsOfLengths) {
  struct Case {
    unsigned length, words;
  } cases[] = {{1, 1}, {7, 1}, {8, 2}, {15, 2}, {16, 3}, {100, 13}, {800, 101}};
  for (const Case &c : cases) {
    Managed m(4);
    char *p = nullptr;
    int index = 0;
    ASSERT_EQ(m.Allocation(1, index, &p, c.length), 0) << c.length;
    EXPECT_EQ(m.words_in_use(), c.words) << c.length;
    EXPECT_EQ(m.length(0), c.words) << c.length;
    EXPECT_EQ(address(p) % 8, 0u);
    memset(p, 0x5A, 8 * c.words);  // the whole count is usable (the sanitizer checks)
  }
}

TEST_F(ManagerLayout, OneBlockCarvedInOrder) {
  Managed m(4);
  char *a = nullptr, *b = nullptr, *c = nullptr;
  int index = 0;
  ASSERT_EQ(m.Allocation(3, index, &a, 8u, &b, 4u, &c, 24u), 0);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(b - a, 16);
  EXPECT_EQ(c - a, 24);
  EXPECT_EQ(m.words_in_use(), 7u);
  EXPECT_EQ(m.length(0), 7u);  // one entry for the request
  EXPECT_EQ(m.boundary(1), 0);
  memset(c, 1, 40);  // the last array reaches the end of the 64-byte block
}

TEST_F(ManagerLayout, CoreRewritesLengthsPairsLeaveThem) {
  Managed m(4);
  char *slots[3] = {};
  char **pointers = slots;
  unsigned lengths[3] = {8, 1, 17};
  int index = 0;
  ASSERT_EQ(m.Allocation(3, index, pointers, lengths), 0);
  EXPECT_EQ(lengths[0], 2u);
  EXPECT_EQ(lengths[1], 1u);
  EXPECT_EQ(lengths[2], 3u);

  unsigned zero_inside[3] = {16, 0, 8};
  long before = qvk_memory::last_raised().count;
  EXPECT_EQ(m.Allocation(3, index, pointers, zero_inside), QOR_E_FAIL);
  EXPECT_EQ(zero_inside[0], 3u);  // rewritten up to the zero
  EXPECT_EQ(zero_inside[2], 8u);
  EXPECT_EQ(qvk_memory::last_raised().count, before + 1);
  EXPECT_STREQ(qvk_memory::last_raised().text, "Null Allocation Length");
  EXPECT_EQ(index, 1);
  EXPECT_EQ(m.GetIndiceAllocation(), 2);
}

TEST_F(ManagerLayout, RefusedCountsAndLengths) {
  Managed m(4);
  char *p = nullptr;
  int index = 7;
  struct Case {
    int count;
    unsigned length;
  } cases[] = {{0, 8}, {-3, 8}, {1, 0}, {12, 8}};
  for (const Case &c : cases) {
    long before = qvk_memory::last_raised().count;
    EXPECT_EQ(m.Allocation(c.count, index, &p, c.length), QOR_E_FAIL) << c.count;
    EXPECT_EQ(qvk_memory::last_raised().count, before + 1);
    EXPECT_EQ(index, 7);
    EXPECT_EQ(p, nullptr);
  }
  EXPECT_EQ(m.words_in_use(), 0u);
  EXPECT_EQ(m.GetIndiceAllocation(), 1);
}

TEST_F(ManagerStack, IndicesPushAndPop) {
  Managed m(3);
  char *a = nullptr, *b = nullptr;
  int i1 = 0, i2 = 0;
  EXPECT_EQ(m.GetIndiceAllocation(), 1);
  EXPECT_EQ(m.GetMemoryUsed(), 0.0f);
  ASSERT_EQ(m.Allocation(1, i1, &a, 8u), 0);
  ASSERT_EQ(m.Allocation(1, i2, &b, 16u), 0);
  EXPECT_EQ(i1, 1);
  EXPECT_EQ(i2, 2);
  EXPECT_EQ(m.Desallocation(5), 0);  // above the stack: nothing
  EXPECT_EQ(m.GetIndiceAllocation(), 3);
  EXPECT_EQ(m.Desallocation(0), QOR_E_FAIL);
  EXPECT_EQ(m.words_in_use(), 5u);
  EXPECT_EQ(m.Desallocation(1), 0);  // releases 1 and 2
  EXPECT_EQ(m.GetIndiceAllocation(), 1);
  EXPECT_EQ(m.words_in_use(), 0u);
  EXPECT_EQ(m.GetMemoryUsed(), 5.0f);
  EXPECT_EQ(m.block(0), nullptr);
  EXPECT_EQ(m.block(1), nullptr);
  // The peak stays after the release.
  ASSERT_EQ(m.Allocation(1, i1, &a, 792u), 0);  // 100 words
  EXPECT_EQ(m.Desallocation(i1), 0);
  EXPECT_EQ(m.GetMemoryUsed(), 100.0f);
}

TEST_F(ManagerResize, ReallocationCountsFloorWords) {
  Managed m(4);
  char *p = nullptr;
  int index = 0;
  ASSERT_EQ(m.Allocation(1, index, &p, 10u), 0);
  EXPECT_EQ(m.words_in_use(), 2u);
  memcpy(p, "abcdefghij", 10);
  ASSERT_EQ(m.Reallocation(index, p, 40u), 0);
  EXPECT_EQ(m.words_in_use(), 5u);
  EXPECT_EQ(m.peak(), 5u);
  EXPECT_EQ(address(p) % 8, 0u);
  EXPECT_EQ(memcmp(p, "abcdefghij", 10), 0);
  memset(p, 0, 40);
}

TEST_F(ManagerResize, ReallocationKeepsTheWholeLength) {
  // A length that is not a multiple of 8 counts fewer words than it holds;
  // every byte must survive the next resizes all the same.
  Managed m(4);
  char *p = nullptr;
  int index = 0;
  ASSERT_EQ(m.Allocation(1, index, &p, 8u), 0);
  ASSERT_EQ(m.Reallocation(index, p, 13u), 0);
  EXPECT_EQ(m.words_in_use(), 1u);
  qvk_test::fill(p, 13, 9);
  ASSERT_EQ(m.Reallocation(index, p, 5000u), 0);
  EXPECT_TRUE(qvk_test::holds(p, 13, 9));
  qvk_test::fill(p, 5000, 10);
  ASSERT_EQ(m.Reallocation(index, p, 21u), 0);
  EXPECT_TRUE(qvk_test::holds(p, 21, 10));
  EXPECT_EQ(m.words_in_use(), 2u);
  EXPECT_EQ(m.peak(), 625u);
}

TEST_F(ManagerResize, ReallocationOfIndicesNotLive) {
  Managed m(4);
  char *p = nullptr;
  int index = 0;
  for (int bad : {0, -1, 1, 2}) EXPECT_EQ(m.Reallocation(bad, p, 8u), QOR_E_FAIL);
  ASSERT_EQ(m.Allocation(1, index, &p, 8u), 0);
  char *before = p;
  EXPECT_EQ(m.Reallocation(2, p, 8u), QOR_E_FAIL);
  EXPECT_EQ(p, before);
  // An emptied index gets a fresh block.
  EXPECT_EQ(m.Desallocation(-1), 0);
  char *stale = p;
  ASSERT_EQ(m.Reallocation(1, stale, 16u), 0);
  memset(stale, 3, 16);
  EXPECT_EQ(m.words_in_use(), 2u);
}

TEST_F(ManagerResize, ManualReallocationMovesToTheTop) {
  Managed m(4);
  char *a = nullptr, *b = nullptr;
  int ia = 0, ib = 0;
  ASSERT_EQ(m.Allocation(1, ia, &a, 32u), 0);
  ASSERT_EQ(m.Allocation(1, ib, &b, 8u), 0);
  qvk_test::fill(a, 32, 4);
  int moved = ia;
  char *p = a;
  ASSERT_EQ(m.ManualReallocation(moved, p, 32u, 64u), 0);
  EXPECT_EQ(moved, 3);
  EXPECT_TRUE(qvk_test::holds(p, 32, 4));
  EXPECT_EQ(m.block(0), nullptr);  // the old array is gone, its index stays
  EXPECT_EQ(m.GetIndiceAllocation(), 4);
  EXPECT_EQ(m.words_in_use(), 2u + 9u);

  // More bytes to copy than the new array holds: only what fits.
  char *q = p;
  int iq = moved;
  ASSERT_EQ(m.ManualReallocation(iq, q, 64u, 16u), 0);
  EXPECT_TRUE(qvk_test::holds(q, 16, 4));

  // Failures leave index and pointer as they were, and take no index.
  char *keep = q;
  int stale = 9;
  EXPECT_EQ(m.ManualReallocation(stale, keep, 8u, 8u), QOR_E_FAIL);
  int live = iq;
  EXPECT_EQ(m.ManualReallocation(live, keep, 8u, 0u), QOR_E_FAIL);
  EXPECT_EQ(live, iq);
  EXPECT_EQ(keep, q);
  EXPECT_EQ(m.GetIndiceAllocation(), 5);
}

TEST_F(ManagerResize, DestructionElementAndGrowthSteps) {
  Managed m(4);
  char *p = static_cast<char *>(malloc(16));
  EXPECT_EQ(m.DestructionElement(p), 0);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(m.DestructionElement(p), 0);

  Managed zero(0);  // a step below 1 counts as 1
  EXPECT_EQ(zero.capacity(), 1);
  char *a = nullptr;
  int i = 0;
  for (int k = 0; k < 20; ++k) ASSERT_EQ(zero.Allocation(1, i, &a, 8u), 0);
  EXPECT_EQ(i, 20);
  EXPECT_EQ(zero.ExtensionTable(), 0);
  EXPECT_GE(zero.capacity(), 22);
}

TEST_F(ManagerLayout, WordsPastThirtyTwoBitsAreReported) {
  const unsigned big = 0xFFFFFFFFu;  // 2^29 words
  for (int warning : {0, 1}) {
    Managed m(4);
    if (warning) m.SetModeWarning();
    char *held = nullptr;
    int index = 0;
    ASSERT_EQ(m.Allocation(1, index, &held, 8u), 0);
    // Eight of them make 2^32 words, one more than a count can hold.
    char *q[8] = {};
    long before = qvk_memory::last_raised().count;
    int rc = m.Allocation(8, index, &q[0], big, &q[1], big, &q[2], big, &q[3], big, &q[4], big,
                          &q[5], big, &q[6], big, &q[7], big);
    EXPECT_EQ(rc, warning ? 8 : QOR_E_FAIL);
    EXPECT_EQ(qvk_memory::last_raised().count, before + 1);
    EXPECT_EQ(qvk_memory::last_raised().number, warning ? 1026 : 1025);
    EXPECT_EQ(qvk_memory::last_raised().warning, warning == 1);
    for (char *x : q) EXPECT_EQ(x, nullptr);
    EXPECT_EQ(index, 1);
    if (sizeof(void *) == 4) {
      // One such array and its alignment word exceed a 32-bit address space.
      EXPECT_EQ(m.Allocation(1, index, &q[0], big), warning ? 8 : QOR_E_FAIL);
      EXPECT_EQ(m.Reallocation(1, held, big), warning ? 8 : QOR_E_FAIL);
      EXPECT_EQ(index, 1);
    }
    EXPECT_EQ(m.words_in_use(), 2u);
  }
}

// The manager's refusals and the edges of its stack of indices that the
// random model leaves alone; typed pointers and their element sizes.
#include <cstring>

#include "memory_test.h"

using qvk_test::Managed;
using Manager = qvk_test::MemoryTest;

TEST_F(Manager, RefusedCountsAndLengths) {
  Managed m(4);
  char *p = nullptr;
  int index = 7;
  const std::pair<int, unsigned> cases[] = {{0, 8}, {-3, 8}, {1, 0}, {12, 8}};  // count, length
  for (const auto &c : cases) {
    const long before = raises();
    EXPECT_EQ(m.Allocation(c.first, index, &p, c.second), QOR_E_FAIL) << c.first;
    EXPECT_EQ(raises(), before + 1);
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
  EXPECT_EQ(m.state(), std::make_tuple(1, 0u, 0u, true));
}

TEST_F(Manager, IndicesNotLiveAndReleasedBlocks) {
  Managed m(4);
  char *p = nullptr;
  int index = 0;
  for (int bad : {0, -1, 1, 2}) EXPECT_EQ(m.Reallocation(bad, p, 8u), QOR_E_FAIL);
  ASSERT_EQ(m.Allocation(1, index, &p, 8u), 0);
  char *const held = p;
  EXPECT_EQ(m.Reallocation(2, p, 8u), QOR_E_FAIL);
  int stale = 9, live = 1;  // failed moves leave index and pointer, and take no index
  EXPECT_EQ(m.ManualReallocation(stale, p, 8u, 8u), QOR_E_FAIL);
  EXPECT_EQ(m.ManualReallocation(live, p, 8u, 0u), QOR_E_FAIL);
  EXPECT_EQ(live, 1);
  EXPECT_EQ(p, held);
  EXPECT_EQ(m.GetIndiceAllocation(), 2);
  EXPECT_EQ(m.Desallocation(-1), 0);  // an emptied index gets a fresh block
  ASSERT_EQ(m.Reallocation(1, p, 16u), 0);
  memset(p, 3, 16);
  EXPECT_EQ(m.words_in_use(), 2u);
  char *own = static_cast<char *>(malloc(16));
  for (int twice = 0; twice < 2; ++twice) EXPECT_EQ(m.DestructionElement(own), 0);
  EXPECT_EQ(own, nullptr);
}

// Counts of words, or typed counts whose bytes pass 32 bits (negative ones
// included), are reported, never wrapped: 1025, or 1026 and 8 in warning
// mode.
TEST_F(Manager, CountsPastThirtyTwoBitsAreReported) {
  const unsigned big = 0xFFFFFFFFu;  // 2^29 words
  for (bool warning : {false, true}) {
    Managed m(4, warning);
    const int refused = warning ? 8 : QOR_E_FAIL, number = warning ? 1026 : 1025;
    char *held = nullptr, *q[8] = {};
    double *x = nullptr, *d = nullptr;
    int index = 0;
    ASSERT_EQ(m.Allocation(1, index, &held, 8u), 0);
    auto refused_call = [&](auto call) {
      const long before = raises();
      EXPECT_EQ(call(), refused);
      EXPECT_EQ(expect_raise(before, warning, number).params, 0);
      EXPECT_EQ(index, 1);
      EXPECT_EQ(x, nullptr);
      for (char *a : q) EXPECT_EQ(a, nullptr);
    };
    // Eight of them make 2^32 words, one more than a count can hold.
    refused_call([&] {
      return m.Allocation(8, index, &q[0], big, &q[1], big, &q[2], big, &q[3], big, &q[4], big,
                          &q[5], big, &q[6], big, &q[7], big);
    });
    if (sizeof(void *) == 4) {
      // One such array and its alignment word exceed a 32-bit address space.
      refused_call([&] { return m.Allocation(1, index, &q[0], big); });
      refused_call([&] { return m.Reallocation(1, held, big); });
    }
    for (int count : {1 << 30, -1, INT32_MIN})
      refused_call([&] { return m.Allocation(index, x, count); });
    refused_call([&] { return m.Allocation(index, x, 4, d, 1 << 29); });  // in a later pair
    EXPECT_EQ(m.words_in_use(), 2u);
  }
}

TEST_F(Manager, TypedPointers) {
  // Element sizes and pointed types in tag order (13 is QorVardValueLast):
  // a wrong size over- or under-allocates every typed request.
  const int a = static_cast<int>(sizeof(void *));
  const int sizes[] = {4, 4, 8, 4, 1, 0, a, 0, 0, a, 0, 8, 16, 0};
  const int pointed[] = {13, 13, 13, 13, 13, 13, 0, 1, 2, 4, 9, 13, 13, 13};
  for (int tag = -1; tag <= 40; ++tag) {
    EXPECT_EQ(GetStratoSizeOf(QorVardValue(tag)), tag >= 0 && tag < 14 ? sizes[tag] : 0) << tag;
    EXPECT_EQ(GetPointedType(QorVardValue(tag)), tag >= 0 && tag < 14 ? pointed[tag] : 13) << tag;
  }
  EXPECT_EQ(QorVardTypeEncapMemory::EmptyEncapMem.GetStratoSizeOfPointedType(), 0);
  EXPECT_EQ(QorVardTypeEncapMemory::Test(), 0);

  // Typed counts become lengths: one block, the arrays side by side.
  Managed m(8);
  double *d = nullptr;
  int *k = nullptr, index = 0;
  ASSERT_EQ(m.Allocation(index, d, 100, k, 7), 0);
  EXPECT_EQ(m.words_in_use(), 101u + 4u);
  EXPECT_EQ(reinterpret_cast<char *>(k) - reinterpret_cast<char *>(d), 8 * 101);
  for (int i = 0; i < 100; ++i) d[i] = i;
  for (int i = 0; i < 7; ++i) k[i] = i;
  char **texts = nullptr, *chars = nullptr;
  float *f = nullptr;
  ASSERT_EQ(m.Allocation(index, texts, 5, chars, 3, f, 2), 0);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(m.words_in_use(), 105u + (5u * a / 8 + 1) + 1u + 2u);
  texts[4] = chars;
  f[1] = 1.0f;

  // Pairs are taken up to an empty holder or a zero count; a usable pair
  // after that is an error; an empty or zero one is not.
  int *none = nullptr;
  const long before = raises();
  EXPECT_EQ(m.Allocation(index, QorVardTypeEncapMemory::EmptyEncapMem, 5), QOR_E_FAIL);
  EXPECT_STREQ(qvk_memory::last_raised().text, "Null Allocation Length");
  EXPECT_EQ(m.Allocation(index, none, 0, d, 10), QOR_E_FAIL);
  EXPECT_STREQ(qvk_memory::last_raised().text, "Memory allocation: Array type not recognized");
  EXPECT_EQ(m.Allocation(index, d, 10, none, 0, QorVardTypeEncapMemory::EmptyEncapMem, 4), 0);
  EXPECT_EQ(std::make_tuple(index, raises(), none), std::make_tuple(3, before + 2, nullptr));
}

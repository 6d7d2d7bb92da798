// The manager's refusals, the release of a caller's block, typed pointers
// and their element sizes.
#include "memory_test.h"

using qvk_test::Managed;
using Manager = qvk_test::MemoryTest;

// A refused request takes no index and gives no pointer, in either mode:
// bad counts and zero lengths are an internal error; counts of words, or
// typed counts whose bytes pass 32 bits (negative ones included), are
// reported, never wrapped: 1025, or 1026 and 8 in warning mode.
TEST_F(Manager, RefusedRequestsChangeNothing) {
  const unsigned big = 0xFFFFFFFFu;  // 2^29 words
  for (bool warning : {false, true}) {
    Managed m(4, warning);
    char *held = nullptr, *q[8] = {};
    double *x = nullptr, *d = nullptr;
    int index = 0;
    ASSERT_EQ(m.Allocation(1, index, &held, 8u), 0);
    auto refused = [&](bool overflow, auto call) {
      const long before = raises();
      const bool warned = warning && overflow;
      EXPECT_EQ(call(), warned ? 8 : QOR_E_FAIL);
      EXPECT_EQ(expect_raise(before, warned, overflow ? (warned ? 1026 : 1025) : 0).params, 0);
      EXPECT_EQ(index, 1);
      EXPECT_EQ(x, nullptr);
      for (char *a : q) EXPECT_EQ(a, nullptr);
    };
    for (const auto &c : {std::make_pair(0, 8u), {-3, 8u}, {1, 0u}, {12, 8u}})  // count, length
      refused(false, [&] { return m.Allocation(c.first, index, &q[0], c.second); });
    // Eight of them make 2^32 words, one more than a count can hold.
    refused(true, [&] {
      return m.Allocation(8, index, &q[0], big, &q[1], big, &q[2], big, &q[3], big, &q[4], big,
                          &q[5], big, &q[6], big, &q[7], big);
    });
    if (sizeof(void *) == 4) {
      // One such array and its alignment word exceed a 32-bit address space.
      refused(true, [&] { return m.Allocation(1, index, &q[0], big); });
      refused(true, [&] { return m.Reallocation(1, held, big); });
    }
    for (int count : {1 << 30, -1, INT32_MIN})
      refused(true, [&] { return m.Allocation(index, x, count); });
    refused(true, [&] { return m.Allocation(index, x, 4, d, 1 << 29); });  // in a later pair
    EXPECT_EQ(m.state(), std::make_tuple(2, 2u, 2u, true));
  }
  // A zero inside the lengths of the core form: those before it are
  // already rewritten to words, those after it left alone.
  Managed m(4);
  char *slots[3] = {};
  char **pointers = slots;
  unsigned lengths[3] = {16, 0, 8};
  int index = 7;
  EXPECT_EQ(m.Allocation(3, index, pointers, lengths), QOR_E_FAIL);
  EXPECT_EQ(std::make_tuple(lengths[0], lengths[2], index), std::make_tuple(3u, 8u, 7));
  EXPECT_STREQ(qvk_memory::last_raised().text, "Null Allocation Length");
  EXPECT_EQ(m.state(), std::make_tuple(1, 0u, 0u, true));
}

// A block the caller owns is freed and its pointer cleared; twice is harmless.
TEST_F(Manager, DestructionElement) {
  Managed m(4);
  char *own = static_cast<char *>(malloc(16));
  for (int twice = 0; twice < 2; ++twice) EXPECT_EQ(m.DestructionElement(own), 0);
  EXPECT_EQ(own, nullptr);
}

// Element sizes and pointed types in tag order (13 is QorVardValueLast):
// a wrong size over- or under-allocates every typed request.
TEST_F(Manager, TypedPointers) {
  const int a = static_cast<int>(sizeof(void *));
  const int sizes[] = {4, 4, 8, 4, 1, 0, a, 0, 0, a, 0, 8, 16, 0};
  const int pointed[] = {13, 13, 13, 13, 13, 13, 0, 1, 2, 4, 9, 13, 13, 13};
  for (int tag = -1; tag <= 40; ++tag) {
    const bool known = tag >= 0 && tag < 14;
    EXPECT_EQ(GetStratoSizeOf(QorVardValue(tag)), known ? sizes[tag] : 0) << tag;
    EXPECT_EQ(GetPointedType(QorVardValue(tag)), known ? pointed[tag] : 13) << tag;
  }
  EXPECT_EQ(QorVardTypeEncapMemory::Test(), 0);
  // Typed counts become lengths: one block, the arrays side by side (the
  // address sanitizer checks the last element of each).
  Managed m(8);
  double *d = nullptr;
  int *k = nullptr, index = 0;
  char **texts = nullptr, *chars = nullptr;
  ASSERT_EQ(m.Allocation(index, d, 100, k, 7, texts, 5, chars, 3), 0);
  EXPECT_EQ(m.words_in_use(), 101u + 4u + (5u * a / 8 + 1) + 1u);
  EXPECT_EQ(reinterpret_cast<char *>(k) - reinterpret_cast<char *>(d), 8 * 101);
  d[99] = k[6] = 1;
  texts[4] = chars;
  chars[2] = 'c';
  // Pairs are taken up to an empty holder or a zero count; a usable pair
  // after that is an error; an empty or zero one is not.
  int *none = nullptr;
  EXPECT_EQ(m.Allocation(index, QorVardTypeEncapMemory::EmptyEncapMem, 5), QOR_E_FAIL);
  EXPECT_STREQ(qvk_memory::last_raised().text, "Null Allocation Length");
  EXPECT_EQ(m.Allocation(index, none, 0, d, 10), QOR_E_FAIL);
  EXPECT_STREQ(qvk_memory::last_raised().text, "Memory allocation: Array type not recognized");
  EXPECT_EQ(m.Allocation(index, d, 10, none, 0, QorVardTypeEncapMemory::EmptyEncapMem, 4), 0);
  EXPECT_EQ(std::make_tuple(index, none), std::make_tuple(2, nullptr));
}

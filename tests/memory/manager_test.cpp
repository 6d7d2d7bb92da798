// The manager: its stack of indices against a model, refusals, typed pointers, sizes.
#include <random>
#include <vector>

#include "memory_test.h"

using qvk_test::Managed;
using Manager = qvk_test::MemoryTest;

namespace {

struct Array {
  char *p;
  unsigned bytes, seed, words;
};
using Index = std::vector<Array>;  // empty once emptied in place
unsigned words_of(unsigned bytes) { return bytes / 8 + 1; }

}  // namespace

// Random operations against a plain model of the stack of indices: next index, words
// in use, peak and every live array's bytes agree throughout (growth steps 0 and random).
TEST_F(Manager, RandomOperationsAgreeWithAModel) {
  std::mt19937 rng(20261206);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int growth : {0, pick(1, 12)}) {
    SCOPED_TRACE("growth step " + std::to_string(growth));
    Managed m(growth);
    std::vector<Index> stack;  // index k is stack[k - 1]
    unsigned peak = 0, next_seed = 1;
    auto in_use = [&] {
      unsigned words = 0;
      for (const Index &x : stack)
        for (const Array &a : x) words += a.words;
      return words;
    };
    auto check_contents = [&] {  // aligned, and every byte as written
      for (const Index &x : stack)
        for (const Array &a : x)
          ASSERT_TRUE(reinterpret_cast<uintptr_t>(a.p) % 8 == 0 &&
                      qvk_test::holds(a.p, a.bytes, a.seed));
    };
    // A live index holding at most one array, or 0.
    auto single_index = [&]() {
      std::vector<int> ks;
      for (size_t k = 0; k < stack.size(); ++k)
        if (stack[k].size() <= 1) ks.push_back(static_cast<int>(k + 1));
      return ks.empty() ? 0 : ks[pick(0, static_cast<int>(ks.size()) - 1)];
    };
    for (int step = 0; step < 4000; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      const int op = pick(0, 99), current = static_cast<int>(stack.size());
      if (op < 40) {  // the core form, one block or separate arrays: lengths come back as words
        const int count = pick(1, 11);
        qvk_memory::set_one_block_refused(pick(0, 4) == 0);
        char *slots[11] = {};
        char **pointers = slots;
        unsigned lengths[11];
        Index x;
        for (int i = 0; i < count; ++i) {
          lengths[i] = pick(0, 3) == 0 ? 8u * pick(1, 40) : static_cast<unsigned>(pick(1, 300));
          x.push_back({nullptr, lengths[i], next_seed++, words_of(lengths[i])});
        }
        int index = 0;
        ASSERT_EQ(m.Allocation(count, index, pointers, lengths), 0);
        ASSERT_EQ(index, current + 1);
        for (int i = 0; i < count; ++i) {
          ASSERT_EQ(lengths[i], x[i].words);
          x[i].p = slots[i];
          qvk_test::fill(slots[i], x[i].bytes, x[i].seed);
        }
        stack.push_back(x);
      } else if (op < 63) {  // k releases k and every later index; -k empties k in place
        const int k = pick(0, current + 2);
        ASSERT_EQ(m.Desallocation(op < 55 ? k : -k), k == 0 ? QOR_E_FAIL : 0);
        if (k >= 1 && k <= current && op < 55) stack.resize(k - 1);
        if (k >= 1 && k <= current && op >= 55) stack[k - 1].clear();
      } else if (op < 68) {
        int list[4];
        const int n = pick(1, 4);
        for (int i = 0; i < n; ++i) list[i] = pick(-2, current + 2);
        ASSERT_EQ(m.Desallocation(n, list), 0);
        for (int i = 0; i < n; ++i)
          if (list[i] >= 1 && list[i] <= current) stack[list[i] - 1].clear();
      } else if (op < 90) {
        // A resize or a move of a live index (an emptied one gets a fresh
        // block); of an index not live, or to 0 bytes, it is refused and
        // leaves the pointer, the index and the stack as they were.
        const int k = pick(0, 9) ? single_index() : current + pick(1, 2);
        const bool live = k >= 1 && k <= current, resize_op = op < 80;
        const Array old = live && !stack[k - 1].empty() ? stack[k - 1][0] : Array{nullptr, 0, 0, 0};
        char *const before = live ? old.p : reinterpret_cast<char *>(&stack), *p = before;
        const unsigned copy = static_cast<unsigned>(pick(0, static_cast<int>(old.bytes)));
        const unsigned length = static_cast<unsigned>(pick(0, resize_op ? 600 : 400));
        int index = k;
        const bool done = live && (resize_op || length > 0);
        ASSERT_EQ(resize_op ? m.Reallocation(k, p, length)
                            : m.ManualReallocation(index, p, copy, length),
                  done ? 0 : QOR_E_FAIL);
        ASSERT_EQ(index, done && !resize_op ? current + 1 : k);
        ASSERT_TRUE(done || p == before);
        if (done && resize_op) {  // a resize counts the floor of its words and keeps every byte
          ASSERT_TRUE(qvk_test::holds(p, std::min(length, old.bytes), old.seed));
          stack[k - 1] = {{p, length, next_seed, length / 8}};
          qvk_test::fill(p, length, next_seed++);
        } else if (done) {
          ASSERT_TRUE(qvk_test::holds(p, std::min(copy, length), old.seed));
          // The new array is had before the old one goes: both count in the peak.
          stack.push_back({{p, length, next_seed, words_of(length)}});
          qvk_test::fill(p, length, next_seed++);
          peak = std::max(peak, in_use());
          stack[k - 1].clear();
        }
      } else {
        const int capacity = m.capacity();
        ASSERT_EQ(m.ExtensionTable(), 0);
        ASSERT_GT(m.capacity(), capacity);
      }
      peak = std::max(peak, in_use());
      ASSERT_EQ(m.state(),
                std::make_tuple(static_cast<int>(stack.size()) + 1, in_use(), peak, true));
      ASSERT_EQ(m.GetMemoryUsed(), static_cast<float>(peak));
      if (step % 25 == 0) check_contents();
    }
    check_contents();
  }
}

// A refused request takes no index and gives no pointer: bad counts and zero lengths
// are an internal error; amounts past 32 bits are 1025, or 1026 and 8 in warning mode.
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
}

// Element sizes and pointed types in tag order (13 is Last): a wrong size mis-sizes requests.
TEST_F(Manager, TypedPointersAndReleasedBlocks) {
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
  // A block the caller owns is freed and its pointer cleared; twice is harmless.
  char *own = static_cast<char *>(malloc(16));
  for (int twice = 0; twice < 2; ++twice) EXPECT_EQ(m.DestructionElement(own), 0);
  EXPECT_EQ(own, nullptr);
}

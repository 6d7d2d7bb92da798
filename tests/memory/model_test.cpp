// Thousands of random operations against a plain model of the stack of
// indices: next index, words in use, peak and the contents of every live
// array must agree with the model throughout.
#include <random>
#include <vector>

#include "memory_test.h"

namespace {

struct Array {
  char *p;
  unsigned bytes, seed;
};
struct Index {
  std::vector<Array> arrays;  // empty once emptied in place
  unsigned words;
};
unsigned words_of(unsigned bytes) { return bytes / 8 + 1; }

}  // namespace

// With growth steps of 0 (counted as 1) and of a random size.
using MemoryModel = qvk_test::MemoryTest;
TEST_F(MemoryModel, RandomOperations) {
  std::mt19937 rng(20261206);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int growth : {0, pick(1, 12)}) {
    SCOPED_TRACE("growth step " + std::to_string(growth));
    qvk_test::Managed m(growth);
    std::vector<Index> stack;  // index k is stack[k - 1]
    unsigned peak = 0, next_seed = 1;
    auto in_use = [&] {
      unsigned words = 0;
      for (const Index &x : stack) words += x.words;
      return words;
    };
    auto resize = [&](int k, unsigned words) {
      stack[k - 1].words = words;
      peak = std::max(peak, in_use());
    };
    auto check_contents = [&] {
      for (const Index &x : stack)
        for (const Array &a : x.arrays) {
          ASSERT_EQ(reinterpret_cast<uintptr_t>(a.p) % 8, 0u);
          ASSERT_TRUE(qvk_test::holds(a.p, a.bytes, a.seed));
        }
    };
    // A live index holding at most one array, or 0.
    auto single_index = [&]() {
      std::vector<int> ks;
      for (size_t k = 0; k < stack.size(); ++k)
        if (stack[k].arrays.size() <= 1) ks.push_back(static_cast<int>(k + 1));
      return ks.empty() ? 0 : ks[pick(0, static_cast<int>(ks.size()) - 1)];
    };
    for (int step = 0; step < 4000; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      const int op = pick(0, 99), current = static_cast<int>(stack.size());
      if (op < 40) {
        // The core form, on one block or on separate arrays: the lengths
        // come back as words.
        const int count = pick(1, 11);
        qvk_memory::set_one_block_refused(pick(0, 4) == 0);
        char *slots[11] = {};
        char **pointers = slots;
        unsigned lengths[11];
        Index x{{}, 0};
        for (int i = 0; i < count; ++i) {
          lengths[i] = pick(0, 3) == 0 ? 8u * pick(1, 40) : static_cast<unsigned>(pick(1, 300));
          x.arrays.push_back({nullptr, lengths[i], next_seed++});
          x.words += words_of(lengths[i]);
        }
        int index = 0;
        ASSERT_EQ(m.Allocation(count, index, pointers, lengths), 0);
        ASSERT_EQ(index, current + 1);
        for (int i = 0; i < count; ++i) {
          ASSERT_EQ(lengths[i], words_of(x.arrays[i].bytes));
          x.arrays[i].p = slots[i];
          qvk_test::fill(slots[i], x.arrays[i].bytes, x.arrays[i].seed);
        }
        stack.push_back(x);
        resize(current + 1, x.words);
      } else if (op < 55) {  // releases k and every later index
        const int k = pick(0, current + 2);
        ASSERT_EQ(m.Desallocation(k), k == 0 ? QOR_E_FAIL : 0);
        if (k >= 1 && k <= current) stack.resize(k - 1);
      } else if (op < 63) {  // empties k in place
        const int k = pick(1, current + 2);
        ASSERT_EQ(m.Desallocation(-k), 0);
        if (k <= current) stack[k - 1] = {{}, 0};
      } else if (op < 68) {
        int list[4];
        const int n = pick(1, 4);
        for (int i = 0; i < n; ++i) list[i] = pick(-2, current + 2);
        ASSERT_EQ(m.Desallocation(n, list), 0);
        for (int i = 0; i < n; ++i)
          if (list[i] >= 1 && list[i] <= current) stack[list[i] - 1] = {{}, 0};
      } else if (op < 90) {
        // A resize or a move of a live index (an emptied one gets a fresh
        // block); of an index not live, or to 0 bytes, it is refused and
        // leaves the pointer, the index and the stack as they were.
        const int k = pick(0, 9) ? single_index() : current + pick(1, 2);
        const bool live = k >= 1 && k <= current, resize_op = op < 80;
        const Array old = live && !stack[k - 1].arrays.empty() ? stack[k - 1].arrays[0]
                                                               : Array{nullptr, 0, 0};
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
          stack[k - 1].arrays = {{p, length, next_seed}};
          qvk_test::fill(p, length, next_seed++);
          resize(k, length / 8);
        } else if (done) {
          ASSERT_TRUE(qvk_test::holds(p, std::min(copy, length), old.seed));
          // The new array is had before the old one goes: both count in the peak.
          stack.push_back({{{p, length, next_seed}}, 0});
          qvk_test::fill(p, length, next_seed++);
          resize(current + 1, words_of(length));
          stack[k - 1] = {{}, 0};
        }
      } else {
        const int capacity = m.capacity();
        ASSERT_EQ(m.ExtensionTable(), 0);
        ASSERT_GT(m.capacity(), capacity);
      }
      const int next = static_cast<int>(stack.size()) + 1;
      ASSERT_EQ(m.state(), std::make_tuple(next, in_use(), peak, true));
      ASSERT_EQ(m.GetMemoryUsed(), static_cast<float>(peak));
      if (step % 25 == 0) check_contents();
    }
    check_contents();
  }
}

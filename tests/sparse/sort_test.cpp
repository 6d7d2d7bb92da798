// Record sort.
#include <algorithm>
#include <climits>
#include <random>
#include <thread>
#include <vector>

#include "QorVARDMathKernel/sparse.h"
#include "qvk_test.h"

namespace {

using V = std::vector<int>;
using Records = std::vector<V>;

// The sort's scheme written plainly over a vector of records: indices
// instead of addresses, recursion-free with an unbounded stack.
void model_sort(Records &r, int keypos) {
  const int kp = keypos - 1;
  auto key = [&](long i) { return r[i][kp]; };
  std::vector<std::pair<long, long>> stack;
  long lo = 0, hi = static_cast<long>(r.size()) - 1;
  bool f1 = false, f2 = false;
  for (;;) {
    while (lo >= hi) {
      if (stack.empty()) return;
      lo = stack.back().first;
      hi = stack.back().second;
      stack.pop_back();
    }
    const long k = hi - lo;
    long d = k / 2;
    f1 = !f1;
    if (!f1) {
      f2 = !f2;
      d += f2 ? k / 4 : -(k / 4);
    }
    const long p = lo + d;
    const int v = key(p);
    long l = lo;
    while (l < p && key(l) <= v) ++l;
    long rr = hi;
    while (rr > p && key(rr) >= v) --rr;
    long h = p;
    if (l != p || rr != p) {
      const V saved = r[p];
      if (l < p) {
        r[p] = r[l];
        h = l;
      }
      while (h != rr) {
        while (rr != h && key(rr) > v) --rr;
        if (rr == h) break;
        r[h] = r[rr];
        do ++h;
        while (h != rr && key(h) < v);
        if (h == rr) break;
        r[rr] = r[h];
        --rr;
      }
      r[h] = saved;
    }
    const long c = h - lo;
    if (2 * c < k) {
      stack.push_back({h + 1, hi});
      hi = h - 1;
    } else {
      stack.push_back({lo, h - 1});
      lo = h + 1;
    }
  }
}

V flatten(const Records &r) {
  V flat;
  for (const V &x : r) flat.insert(flat.end(), x.begin(), x.end());
  return flat;
}

// Records whose other words name the record, so that a word left behind
// shows; keys from one of several patterns.
Records make_records(int nrec, int nwords, int keypos, int pattern, unsigned seed) {
  std::mt19937 rng(seed);
  Records r(nrec, V(nwords));
  for (int i = 0; i < nrec; ++i) {
    for (int w = 0; w < nwords; ++w) r[i][w] = i * 16 + w;
    int &key = r[i][keypos - 1];
    switch (pattern) {
      case 0: key = static_cast<int>(rng()); break;                 // random, full range
      case 1: key = i; break;                                       // sorted
      case 2: key = nrec - i; break;                                // reversed
      case 3: key = 7; break;                                       // all equal
      case 4: key = rng() % 2 ? INT_MIN : INT_MAX; break;           // two values, extremes
      default: key = static_cast<int>(rng() % 5) - 2; break;        // few values around 0
    }
  }
  return r;
}

V run_sort(const Records &r, int nwords, int keypos) {
  V flat = flatten(r);
  flat.push_back(0x13579bdf);  // guard
  V work(nwords + 1, 0);
  work.back() = 0x2468ace0;
  const int nrec = static_cast<int>(r.size());
  eaxsort(flat.data(), &nwords, &nrec, &keypos, work.data());
  EXPECT_EQ(flat.back(), 0x13579bdf);
  EXPECT_EQ(work.back(), 0x2468ace0);
  flat.pop_back();
  return flat;
}

// Against the plain model record for record, and against std::sort as a
// multiset of records ordered by key.
TEST(RecordSort, MatchesModelAndSortedSet) {
  for (int nwords = 1; nwords <= 9; ++nwords)
    for (int keypos = 1; keypos <= nwords; ++keypos)
      for (int pattern = 0; pattern < 6; ++pattern)
        for (int nrec : {0, 1, 2, 3, 5, 17, 100, 1000}) {
          SCOPED_TRACE(testing::Message() << "nwords " << nwords << " keypos " << keypos
                                          << " pattern " << pattern << " nrec " << nrec);
          const Records in = make_records(nrec, nwords, keypos, pattern, nwords * 100 + nrec);
          Records model = in;
          model_sort(model, keypos);
          const V got = run_sort(in, nwords, keypos);
          ASSERT_EQ(got, flatten(model));

          Records expect = in, sorted(nrec, V(nwords));
          for (int i = 0; i < nrec; ++i)
            sorted[i].assign(got.begin() + i * nwords, got.begin() + (i + 1) * nwords);
          auto by_key = [keypos](const V &a, const V &b) {
            return a[keypos - 1] != b[keypos - 1] ? a[keypos - 1] < b[keypos - 1] : a < b;
          };
          ASSERT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [keypos](const V &a, const V &b) {
            return a[keypos - 1] < b[keypos - 1];
          }));
          std::sort(expect.begin(), expect.end(), by_key);
          std::sort(sorted.begin(), sorted.end(), by_key);
          ASSERT_EQ(sorted, expect);
        }
}

// Small cases worked by hand: where the pivot lands and how equal keys
// come out.
TEST(RecordSort, WorkedCases) {
  struct Case {
    V in, out;
  };
  const Case cases[] = {
      {{3, 1, 2}, {1, 2, 3}},
      {{-1, 0, 2147483647, -2147483647 - 1}, {-2147483647 - 1, -1, 0, 2147483647}},
  };
  for (const Case &c : cases) {
    V a = c.in, work(1);
    const int nw = 1, kp = 1, n = static_cast<int>(a.size());
    eaxsort(a.data(), &nw, &n, &kp, work.data());
    EXPECT_EQ(a, c.out);
  }
  // Keys (2, 1, 2, 1) with tags, worked through by hand: pivots 1 (middle),
  // then 2 (middle + 0), then 2 (middle).
  V a{2, 10, 1, 11, 2, 12, 1, 13}, work(2);
  const int nw = 2, kp = 1, n = 4;
  eaxsort(a.data(), &nw, &n, &kp, work.data());
  EXPECT_EQ(a, (V{1, 11, 1, 13, 2, 10, 2, 12}));
  Records r{{2, 10}, {1, 11}, {2, 12}, {1, 13}};
  model_sort(r, 1);
  EXPECT_EQ(flatten(r), a);
}

// The pending ranges belong to each call: two sorts at once give what each
// gives alone.
TEST(RecordSort, TwoThreadsAtOnce) {
  const int nwords = 3, keypos = 2;
  const Records a = make_records(200000, nwords, keypos, 0, 1);
  const Records b = make_records(150000, nwords, keypos, 5, 2);
  const V expect_a = run_sort(a, nwords, keypos), expect_b = run_sort(b, nwords, keypos);
  for (int round = 0; round < 3; ++round) {
    V got_a, got_b;
    std::thread t1([&] { got_a = run_sort(a, nwords, keypos); });
    std::thread t2([&] { got_b = run_sort(b, nwords, keypos); });
    t1.join();
    t2.join();
    EXPECT_EQ(got_a, expect_a);
    EXPECT_EQ(got_b, expect_b);
  }
}

}  // namespace

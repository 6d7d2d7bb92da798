// Record sort: every record length and key position; the order of equal
// keys, which callers see, pinned by a checksum.
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

// Records whose other words name the record, so that a word left behind
// shows; keys from one of several patterns.
Records make_records(int nrec, int nwords, int keypos, int pattern, unsigned seed) {
  std::mt19937 rng(seed);
  Records r(nrec, V(nwords));
  for (int i = 0; i < nrec; ++i) {
    for (int w = 0; w < nwords; ++w) r[i][w] = i * 16 + w;
    int &key = r[i][keypos - 1];
    switch (pattern) {
      case 0: key = static_cast<int>(rng()); break;        // random, full range
      case 1: key = i; break;                              // sorted
      case 2: key = nrec - i; break;                       // reversed
      case 3: key = 7; break;                              // all equal
      case 4: key = rng() % 2 ? INT_MIN : INT_MAX; break;  // two values, extremes
      default: key = static_cast<int>(rng() % 5) - 2;      // few values around 0
    }
  }
  return r;
}

// The sort of r, with guards after the records and after the work record.
Records run_sort(const Records &r, int nwords, int keypos) {
  V flat;
  for (const V &x : r) flat.insert(flat.end(), x.begin(), x.end());
  flat.push_back(0x13579bdf);
  V work(nwords + 1, 0x2468ace0);
  const int nrec = static_cast<int>(r.size());
  eaxsort(flat.data(), &nwords, &nrec, &keypos, work.data());
  EXPECT_EQ(flat.back(), 0x13579bdf);
  EXPECT_EQ(work.back(), 0x2468ace0);
  Records out(nrec);
  for (int i = 0; i < nrec; ++i) out[i].assign(flat.begin() + i * nwords, flat.begin() + (i + 1) * nwords);
  return out;
}

// Ascending by key, the same records, in the recorded order.
TEST(RecordSort, SortsWholeRecordsInTheRecordedOrder) {
  qvk_test::Checksum sum;
  for (int nwords = 1; nwords <= 9; ++nwords)
    for (int keypos = 1; keypos <= nwords; ++keypos)
      for (int pattern = 0; pattern < 6; ++pattern)
        for (int nrec : {0, 1, 2, 3, 5, 17, 100, 1000}) {
          SCOPED_TRACE(testing::Message() << "nwords " << nwords << " keypos " << keypos
                                          << " pattern " << pattern << " nrec " << nrec);
          Records in = make_records(nrec, nwords, keypos, pattern, nwords * 100 + nrec);
          Records out = run_sort(in, nwords, keypos);
          for (const V &x : out)
            for (int w : x) sum.add(static_cast<long long>(static_cast<uint32_t>(w)));
          const int k = keypos - 1;
          ASSERT_TRUE(std::is_sorted(out.begin(), out.end(), [k](const V &x, const V &y) { return x[k] < y[k]; }));
          std::sort(in.begin(), in.end());
          std::sort(out.begin(), out.end());
          ASSERT_EQ(in, out);
        }
  EXPECT_EQ(sum.value(), 0x56494ee23398ca2bull);
  // Worked by hand: pivots 1 (middle), then 2 (middle + 0), then 2 (middle).
  EXPECT_EQ(run_sort({{2, 10}, {1, 11}, {2, 12}, {1, 13}}, 2, 1), (Records{{1, 11}, {1, 13}, {2, 10}, {2, 12}}));
}

// The pending ranges belong to each call: two sorts at once as each alone.
TEST(RecordSort, TwoThreadsAtOnce) {
  const Records a = make_records(200000, 3, 2, 0, 1), b = make_records(150000, 3, 2, 5, 2);
  const Records want_a = run_sort(a, 3, 2), want_b = run_sort(b, 3, 2);
  for (int round = 0; round < 3; ++round) {
    Records got_a, got_b;
    std::thread t1([&] { got_a = run_sort(a, 3, 2); });
    std::thread t2([&] { got_b = run_sort(b, 3, 2); });
    t1.join();
    t2.join();
    EXPECT_EQ(got_a, want_a);
    EXPECT_EQ(got_b, want_b);
  }
}

}  // namespace

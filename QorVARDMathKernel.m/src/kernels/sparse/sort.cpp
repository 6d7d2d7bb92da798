// Record sort: non-recursive quicksort of fixed-size records on one signed
// key word.
//
// Order (it fixes where equal keys end up): for a range lo..hi of k+1
// records, the pivot index is k/2, and on every second partition k/4 is
// added and subtracted in turn (middle, middle + quarter, middle, middle -
// quarter, ...), counted over the whole call. A left scan from lo stops at
// the first key above the pivot's (or at the pivot), a right scan from hi
// at the first key below it. If neither stops the pivot stays. Otherwise
// the pivot is saved in the work record and the hole walks: a record
// greater than the pivot stopped by the left scan fills the pivot's slot;
// then repeatedly R moves left past keys above v and fills the hole, and
// the hole moves right to the first key not below v, which fills R's slot.
// The pivot lands in the final hole. The smaller part (the left one when
// 2c < k, c records before the pivot) is continued, the other pushed.
//
// The stack of pending ranges lives in the call's frame, so calls on
// different arrays may run at the same time.
#include <cstddef>
#include <cstring>

#include "QorVARDMathKernel/sparse.h"

namespace {

// Record moves: a fixed number of words lets the compiler use plain loads
// and stores; W = 0 takes the length at run time.
template <int W>
struct Rec {
  std::ptrdiff_t nw;
  explicit Rec(int n) : nw(W ? W : n) {}
  std::ptrdiff_t words() const { return W ? W : nw; }
  void copy(int *dst, const int *src) const {
    std::memcpy(dst, src, sizeof(int) * static_cast<std::size_t>(words()));
  }
};

// A pending range by record index: lo..hi, k = hi - lo.
struct Range {
  std::ptrdiff_t lo, hi;
};

template <int W>
void sort_records(int *base, int nwords, int nrec, int keypos, int *work) {
  const Rec<W> rec(nwords);
  const std::ptrdiff_t w = rec.words();
  const int kp = keypos - 1;
  auto key = [kp](const int *r) { return r[kp]; };

  // Depth never exceeds log2(nrec) because the smaller part (under half of
  // the range) is always continued; 32 covers every int count.
  Range stack[32];
  int top = 0;
  std::ptrdiff_t lo = 0, hi = static_cast<std::ptrdiff_t>(nrec) - 1;
  bool flag1 = false, flag2 = false;

  for (;;) {
    while (lo >= hi) {
      if (top == 0) return;
      --top;
      lo = stack[top].lo;
      hi = stack[top].hi;
    }
    const std::ptrdiff_t k = hi - lo;
    std::ptrdiff_t d = k >> 1;
    flag1 = !flag1;
    if (!flag1) {
      std::ptrdiff_t q = k >> 2;
      flag2 = !flag2;
      if (!flag2) q = -q;
      d += q;
    }
    int *const first = base + lo * w;
    int *const p = first + d * w;
    const int v = key(p);

    // Left scan, counting the records passed.
    int *l = first;
    std::ptrdiff_t c = 0;
    while (l < p && key(l) <= v) {
      l += w;
      ++c;
    }
    // Right scan.
    int *r = base + hi * w;
    while (r > p && key(r) >= v) r -= w;

    int *h;
    if (l == p && r == p) {
      h = p;
    } else {
      rec.copy(work, p);
      if (l < p) {
        rec.copy(p, l);
        h = l;
      } else {
        h = p;
      }
      // Hole partition: h is the hole, r the next record to move left.
      while (h != r) {
        while (r != h && key(r) > v) r -= w;
        if (r == h) break;
        rec.copy(h, r);
        bool met = false;
        for (;;) {
          h += w;
          ++c;
          if (h == r) {
            met = true;
            break;
          }
          if (key(h) >= v) break;
        }
        if (met) break;
        rec.copy(r, h);
        r -= w;
      }
      rec.copy(h, work);
    }

    // Split around the pivot at lo + c: c records before it, k - c after.
    const std::ptrdiff_t at = lo + c;
    if (2 * c < k) {
      stack[top++] = Range{at + 1, hi};
      hi = at - 1;
    } else {
      stack[top++] = Range{lo, at - 1};
      lo = at + 1;
    }
  }
}

}  // namespace

extern "C" void eaxsort(int *records, const int *nwords, const int *nrec, const int *keypos,
                        int *work) {
  const int nw = *nwords, n = *nrec, kp = *keypos;
  if (n < 2) return;
  switch (nw) {
    case 1: sort_records<1>(records, nw, n, kp, work); break;
    case 2: sort_records<2>(records, nw, n, kp, work); break;
    case 3: sort_records<3>(records, nw, n, kp, work); break;
    case 4: sort_records<4>(records, nw, n, kp, work); break;
    default: sort_records<0>(records, nw, n, kp, work); break;
  }
}

// The memory manager in a solver's pattern beside malloc/free: three
// working arrays allocated, touched and released, and ten indices nested
// one in another and released at once. Rates are patterns per microsecond;
// the peer does the same with one malloc per array and one free each.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "QorVARDMathKernel/memory.h"

namespace {

struct Sizes {
  const char *name;
  unsigned a, b, c;
};
const Sizes kSizes[] = {{"small", 64, 256, 1024}, {"medium", 8192, 32768, 65536}};

void touch(char *p, unsigned n) {
  p[0] = 1;
  p[n - 1] = 2;
  benchmark::DoNotOptimize(p);
}

void three_ours(benchmark::State &st, Sizes s) {
  QorVardMemoryManager m(32);
  for (auto _ : st) {
    char *a, *b, *c;
    int index;
    if (m.Allocation(3, index, &a, s.a, &b, s.b, &c, s.c) != 0) st.SkipWithError("refused");
    touch(a, s.a);
    touch(b, s.b);
    touch(c, s.c);
    m.Desallocation(index);
  }
  st.SetItemsProcessed(st.iterations());
}

void three_malloc(benchmark::State &st, Sizes s) {
  for (auto _ : st) {
    char *a = static_cast<char *>(malloc(s.a));
    char *b = static_cast<char *>(malloc(s.b));
    char *c = static_cast<char *>(malloc(s.c));
    touch(a, s.a);
    touch(b, s.b);
    touch(c, s.c);
    free(c);
    free(b);
    free(a);
  }
  st.SetItemsProcessed(st.iterations());
}

const int kDepth = 10;

void nested_ours(benchmark::State &st, Sizes s) {
  QorVardMemoryManager m(32);
  for (auto _ : st) {
    char *p[kDepth];
    int index;
    for (int d = 0; d < kDepth; ++d) {
      if (m.Allocation(1, index, &p[d], s.b) != 0) st.SkipWithError("refused");
      touch(p[d], s.b);
    }
    m.Desallocation(1);
  }
  st.SetItemsProcessed(st.iterations());
}

void nested_malloc(benchmark::State &st, Sizes s) {
  for (auto _ : st) {
    char *p[kDepth];
    for (int d = 0; d < kDepth; ++d) {
      p[d] = static_cast<char *>(malloc(s.b));
      touch(p[d], s.b);
    }
    for (int d = kDepth - 1; d >= 0; --d) free(p[d]);
  }
  st.SetItemsProcessed(st.iterations());
}

// Rows are named pattern/who/size, as tools/bench-table reads them.
int register_all() {
  for (const Sizes &s : kSizes) {
    const std::string tail = std::string("/") + s.name;
    benchmark::RegisterBenchmark(("three/ours" + tail).c_str(), three_ours, s);
    benchmark::RegisterBenchmark(("three/malloc" + tail).c_str(), three_malloc, s);
    benchmark::RegisterBenchmark(("nested10/ours" + tail).c_str(), nested_ours, s);
    benchmark::RegisterBenchmark(("nested10/malloc" + tail).c_str(), nested_malloc, s);
  }
  return 0;
}
const int registered = register_all();

}  // namespace

// The probes, each with its environment in a child process (their first
// calls are cached for the life of the process).
#include <sys/resource.h>

#include <climits>

#include "memory/machine.h"
#include "memory_test.h"

using qvk_test::in_child;

namespace {
// The answer of a probe called with `start` in a child with `env`.
long long probe(const char *name, const char *value, void (*fn)(int *), int start = -1) {
  return in_child({{name, value}}, [&] {
    int w = start;
    fn(&w);
    return static_cast<long long>(w);
  });
}
}  // namespace

TEST(MemoryProbes, VariablesReadAndFixedAnswers) {
  const struct {
    const char *name, *value;
    void (*fn)(int *);
    int start;
    long long expected;
  } cases[] = {
      {"VARD_MAX_ALLOC", "1", LimitAvailableMemory, 1000000, 128018},
      {"VARD_MAX_ALLOC", "1", LimitAvailableMemory, 1000, 1000},
      {"VARD_MAX_ALLOC", "-3", LimitAvailableMemory, 1000000, 1000000},
      {"VARD_MAX_ALLOC", nullptr, LimitAvailableMemory, 5, 5},
      // 4200 x 1,024,144 bytes: past 32 bits, not wrapped.
      {"VARD_MAX_ALLOC", "4200", LimitAvailableMemory, INT_MAX, 537675600},
      {"VARD_MAX_ALLOC", "100000", LimitAvailableMemory, INT_MAX, INT_MAX},
      {"VARD_REAL_MEMORY", "1024", ehumem, 0, 134217728},
      {"VARD_REAL_MEMORY", "32769", ehumem, 0, 268000000},
      {"VARD_REAL_MEMORY", "-5", ehumem, 0, 268000000},
      {"VARD_REAL_MEMORY", "1", ehumem, 0, 131072},
      {"OMP_NUM_THREADS", nullptr, ehucpu, -1, 1},
      {"OMP_NUM_THREADS", "0x10", ehucpu, -1, 16},
      {"OMP_NUM_THREADS", "010", ehucpu, -1, 8},
      {"OMP_NUM_THREADS", "abc", ehucpu, -1, 1},
      {"OMP_NUM_THREADS", "0", ehucpu, -1, 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(probe(c.name, c.value, c.fn, c.start), c.expected)
        << c.name << "=" << (c.value ? c.value : "(unset)") << " " << c.start;
  // A null argument is ignored.
  EXPECT_EQ(in_child({{"VARD_MAX_ALLOC", "1"}},
                     [] {
                       LimitAvailableMemory(nullptr);
                       return 0LL;
                     }),
            0);
  // The real memory is read once: later calls give the same, unset it is
  // the machine's pages, in words, capped.
  const long long cached = in_child({{"VARD_REAL_MEMORY", nullptr}}, [] {
    int w = 0, again = 0;
    if (stratoFirst != 1 || page != 0) return -1LL;
    ehumem(&w);
    if (stratoFirst != 0 || page != 1 || siz != w) return -2LL;
    setenv("VARD_REAL_MEMORY", "1", 1);
    ehumem(&again);
    return again == w ? static_cast<long long>(w) : -3LL;
  });
  const long long pages =
      static_cast<long long>(sysconf(_SC_PAGESIZE)) * (sysconf(_SC_PHYS_PAGES) / 8);
  EXPECT_EQ(cached, pages > 268000000 || pages < 1 ? 268000000 : pages);
  // The fixed answers that callers still link against.
  int v = -1, a = 1, b = 2, c = 3, kind = -1;
  char text[16] = "something";
  GetMaxSlaveMemory(&v);
  getversionmkl(text);
  getblas(&a, &b, &c);
  EXPECT_EQ(v, 187900000);
  EXPECT_FALSE(IsPentium4());
  for (int call = 0; call < 2; ++call) EXPECT_EQ(ehaldb(&kind) + kind, 0);
  EXPECT_EQ(text[0] + a + b + c + eaxblas[0] + eaxblas[1] + eaxblas[2], 0);
}

TEST(MemoryProbes, CheckAvailableMemory) {
  int available = -1;
  QorFaultCountdown(0);
  const long before = QorFaultCalls();
  CheckAvailableMemory(64000, available);
  EXPECT_EQ(available, 0);
  EXPECT_EQ(QorFaultCalls(), before);  // no trial at all
  // Under 64,000 words: the top of the address space (32-bit build), or
  // nothing where a huge trial would prove nothing (64-bit build).
  CheckAvailableMemory(1000, available);
  if (sizeof(void *) == 8) {
    EXPECT_EQ(available, 0);
    EXPECT_EQ(QorFaultCalls(), before);
  } else {
    EXPECT_GT(available, 1000 * 1000);
  }
  // 1 MB asked: the trial is 512,000 bytes below it, and it is granted.
  CheckAvailableMemory(131072, available);
  EXPECT_EQ(available, (131072 * 8 - 512000) / 8);
  // Every trial refused: the search steps down to 0 instead of wrapping.
  qvk_test::fails_at(1, [&] { CheckAvailableMemory(64000 + 3 * 64000, available); });
  EXPECT_EQ(available, (3 * 512000 - 512000) / 8);
}

TEST(MemoryProbes, Allowance) {
  // Whatever the machine, the allowance is a count of words that the
  // memory left can back: at most a tenth of the bytes available.
  const long long words = in_child({{"VARD_MAX_ALLOC", nullptr}, {"MALLOCTYPE", nullptr}}, [] {
    int a = -1;
    ehalmxc(&a);
    return static_cast<long long>(a);
  });
  EXPECT_GE(words, 0);
  const uint64_t backing = qvk_memory::machine_backing();
  if (sizeof(void *) == 8 && backing != qvk_memory::kUnlimited) {
    EXPECT_LE(static_cast<uint64_t>(words), backing / 10 + 1);
  }
  EXPECT_EQ(probe("VARD_MAX_ALLOC", "1", ehalmxc), std::min(words, 128018LL));
  EXPECT_LE(probe("MALLOCTYPE", "yes", ehalmxc), words);

  using qvk_memory::kMiB;
  using qvk_memory::kUnlimited;
  const struct {
    qvk_memory::MachineRoom m;
    int allowance;
    bool warn;
  } cases[] = {
      // Room in 4 MiB steps, plus the free space inside the heap.
      {{kUnlimited, 0, 0, 41 * kMiB}, static_cast<int>(40 * kMiB / 10), false},
      {{100 * kMiB, 60 * kMiB, 8 * kMiB, kUnlimited}, static_cast<int>(48 * kMiB / 10), false},
      // The heap has reached its limit: the warning, and only the free space.
      {{100 * kMiB, 120 * kMiB, 9 * kMiB, 1000 * kMiB}, static_cast<int>(8 * kMiB / 10), true},
      {{kUnlimited, 0, 0, 3 * kMiB}, 0, true},
      // Far beyond 32 bits: clamped to the largest positive int.
      {{kUnlimited, 0, 0, kUnlimited}, INT_MAX, false},
  };
  for (const auto &c : cases) {
    bool warn = !c.warn;
    EXPECT_EQ(qvk_memory::allowance_of(c.m, warn), c.allowance);
    EXPECT_EQ(warn, c.warn);
  }
}

// A heap at its limit (a data-segment limit below the reserve) prints the
// shortage warning.
TEST(MemoryProbes, ShortageWarningText) {
  if (sizeof(void *) != 8) GTEST_SKIP() << "the 32-bit build follows the break";
  qvk_test::TempDir dir;
  const std::string out = dir.file("out");
  const long long words = in_child({}, [&] {
    static char buffer[256];
    if (!freopen(out.c_str(), "w", stdout)) return -1LL;
    setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    struct rlimit r = {64 << 20, 64 << 20}, now;
    if (setrlimit(RLIMIT_DATA, &r) != 0) return -2LL;
    // User-mode emulators accept the limit without applying it.
    if (getrlimit(RLIMIT_DATA, &now) != 0 || now.rlim_cur != r.rlim_cur) return -3LL;
    int a = -1;
    ehalmxc(&a);
    fflush(stdout);
    return static_cast<long long>(a);
  });
  if (words == -3) GTEST_SKIP() << "the data-segment limit is not applied here (emulator)";
  EXPECT_GE(words, 0);
  EXPECT_EQ(qvk_test::read_file(out), "*** WARNING *** Less than 128 Mb \n");
}

// The probes, each with its environment in a child process (their first
// calls are cached for the life of the process).
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "capture.h"
#include "memory/machine.h"
#include "memory_test.h"

using qvk_test::in_child;

TEST(MemoryProbes, FixedAnswers) {
  int v = -1;
  GetMaxSlaveMemory(&v);
  EXPECT_EQ(v, 187900000);
  EXPECT_FALSE(IsPentium4());
  char text[16] = "something";
  getversionmkl(text);
  EXPECT_EQ(text[0], '\0');
  int a = 1, b = 2, c = 3;
  getblas(&a, &b, &c);
  EXPECT_EQ(a + b + c, 0);
  int kind = -1;
  EXPECT_EQ(ehaldb(&kind), 0);
  EXPECT_EQ(kind, 0);
  EXPECT_EQ(eaxblas[0] + eaxblas[1] + eaxblas[2], 0);
  EXPECT_EQ(ehaldb(&kind), 0);
  EXPECT_EQ(kind, 0);
}

TEST(MemoryProbes, LimitAvailableMemoryFromTheEnvironment) {
  struct Case {
    const char *value;
    int words, expected;
  } cases[] = {
      {"1", 1000000, 128018},   {"1", 1000, 1000},          {"0", 1000000, 1000000},
      {"x", 1000000, 1000000},  {"-3", 1000000, 1000000},   {nullptr, 5, 5},
      {"4200", INT_MAX, 537675600},  // 4200 x 1,024,144 bytes: past 32 bits, not wrapped
      {"100000", INT_MAX, INT_MAX},
  };
  for (const Case &c : cases) {
    long long got = in_child({{"VARD_MAX_ALLOC", c.value}}, [&] {
      int w = c.words;
      LimitAvailableMemory(&w);
      LimitAvailableMemory(nullptr);
      return static_cast<long long>(w);
    });
    EXPECT_EQ(got, c.expected) << (c.value ? c.value : "(unset)") << " " << c.words;
  }
}

TEST(MemoryProbes, RealMemory) {
  struct Case {
    const char *value;
    long long words;
  } cases[] = {{"1024", 134217728}, {"4096", 268000000}, {"32769", 268000000},
               {"-5", 268000000},   {"0", 268000000},    {"1", 131072}};
  for (const Case &c : cases) {
    long long got = in_child({{"VARD_REAL_MEMORY", c.value}}, [] {
      int w = 0;
      if (stratoFirst != 1 || page != 0) return -1LL;
      ehumem(&w);
      if (stratoFirst != 0 || page != 1) return -2LL;
      int again = 0;
      ehumem(&again);
      return again == w ? static_cast<long long>(w) : -3LL;
    });
    EXPECT_EQ(got, c.words) << c.value;
  }
  // Unset: the machine's pages, in words, capped.
  long long machine = in_child({{"VARD_REAL_MEMORY", nullptr}}, [] {
    int w = 0;
    ehumem(&w);
    return siz == w ? static_cast<long long>(w) : -1LL;
  });
  long long expect = static_cast<long long>(sysconf(_SC_PAGESIZE)) * (sysconf(_SC_PHYS_PAGES) / 8);
  EXPECT_EQ(machine, expect > 268000000 || expect < 1 ? 268000000 : expect);
}

TEST(MemoryProbes, Processors) {
  struct Case {
    const char *value;
    int n;
  } cases[] = {{nullptr, 1}, {"4", 4}, {"0x10", 16}, {"010", 8}, {"abc", 1}, {"", 1}, {"0", 0}};
  for (const Case &c : cases) {
    long long got = in_child({{"OMP_NUM_THREADS", c.value}}, [] {
      int n = -1;
      ehucpu(&n);
      return static_cast<long long>(n);
    });
    EXPECT_EQ(got, c.n) << (c.value ? c.value : "(unset)");
  }
}

TEST(MemoryProbes, CheckAvailableMemory) {
  int available = -1;
  QorFaultCountdown(0);
  long before = QorFaultCalls();
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
  QorFaultCountdown(1);
  CheckAvailableMemory(64000 + 3 * 64000, available);
  QorFaultCountdown(0);
  EXPECT_EQ(available, (3 * 512000 - 512000) / 8);
}

TEST(MemoryProbes, AllowanceIsMeaningful) {
  // Whatever the machine, the allowance is a count of words that the
  // memory left can back: at most a tenth of the bytes available.
  long long words = in_child({{"VARD_MAX_ALLOC", nullptr}, {"MALLOCTYPE", nullptr}}, [] {
    int a = -1;
    ehalmxc(&a);
    return static_cast<long long>(a);
  });
  EXPECT_GE(words, 0);
  if (sizeof(void *) == 8) {
    uint64_t backing = qvk_memory::machine_backing();
    if (backing != qvk_memory::kUnlimited) {
      EXPECT_LE(static_cast<uint64_t>(words), backing / 10 + 1);
    }
  }
  long long capped = in_child({{"VARD_MAX_ALLOC", "1"}}, [] {
    int a = -1;
    ehalmxc(&a);
    return static_cast<long long>(a);
  });
  EXPECT_EQ(capped, std::min(words, 128018LL));
  long long reserved = in_child({{"MALLOCTYPE", "yes"}}, [] {
    int a = -1;
    ehalmxc(&a);
    return static_cast<long long>(a);
  });
  EXPECT_LE(reserved, words);
}

TEST(MemoryProbes, AllowanceArithmetic64) {
  using qvk_memory::kMiB;
  using qvk_memory::MachineRoom;
  struct Case {
    MachineRoom m;
    int allowance;
    bool warn;
  } cases[] = {
      // Room in 4 MiB steps, plus the free space inside the heap.
      {{qvk_memory::kUnlimited, 0, 0, 41 * kMiB}, static_cast<int>(40 * kMiB / 10), false},
      {{100 * kMiB, 60 * kMiB, 8 * kMiB, qvk_memory::kUnlimited}, static_cast<int>(48 * kMiB / 10), false},
      // The heap has reached its limit: the warning, and only the free space.
      {{100 * kMiB, 120 * kMiB, 9 * kMiB, 1000 * kMiB}, static_cast<int>(8 * kMiB / 10), true},
      {{qvk_memory::kUnlimited, 0, 0, 3 * kMiB}, 0, true},
      // Far beyond 32 bits: clamped to the largest positive int.
      {{qvk_memory::kUnlimited, 0, 0, qvk_memory::kUnlimited}, INT_MAX, false},
  };
  for (const Case &c : cases) {
    bool warn = !c.warn;
    EXPECT_EQ(qvk_memory::allowance_of(c.m, warn), c.allowance);
    EXPECT_EQ(warn, c.warn);
  }
}

TEST(MemoryProbes, ShortageWarningText) {
  // A heap at its limit: a data-segment limit below the reserve.
  if (sizeof(void *) != 8) GTEST_SKIP() << "the 32-bit build follows the break";
  qvk_test::TempDir dir;
  std::string out = dir.file("out");
  long long words = in_child({}, [&] {
    static char buffer[256];
    if (!freopen(out.c_str(), "w", stdout)) return -1LL;
    setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    struct rlimit r = {64 << 20, 64 << 20};
    if (setrlimit(RLIMIT_DATA, &r) != 0) return -2LL;
    int a = -1;
    ehalmxc(&a);
    fflush(stdout);
    return static_cast<long long>(a);
  });
  EXPECT_GE(words, 0);
  EXPECT_EQ(qvk_test::read_file(out), "*** WARNING *** Less than 128 Mb \n");
}

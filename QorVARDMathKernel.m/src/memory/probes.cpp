// Allowances and machine probes. Amounts are computed wide and clamped
// into their 32-bit results, never wrapped.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "KORSYS/QorSystem.h"
#include "QorVARDMathKernel/memory.h"
#include "memory/machine.h"
#include "memory/probes.h"

#if UINTPTR_MAX == 0xFFFFFFFFu
#define QVK_BREAK_HEAP 1  // 32-bit: the heap is followed through the break
#include <ulimit.h>
#endif

int stratoFirst = 1;
long long siz = 0;
long long page = 0;
int eaxblas[3] = {0, 0, 0};

namespace {

const uint32_t kTrialStep = 512000;     // CheckAvailableMemory steps down by this
const uint32_t kProbeStep = 4194304;    // ehalmxc steps up by 4 MiB
const unsigned kDivisor = 10;
const int kMaxRealWords = 268000000;
const long long kMaxAllocUnit = 1024144;  // VARD_MAX_ALLOC unit, in bytes

int g_allowance_first = 0;  // ehalmxc: the limit is computed once
int g_blas_kind = -1;       // ehaldb's cache

qvk_memory::AllowanceProbe g_allowance_probe = nullptr;

void print_shortage_warning() {
  printf("*** WARNING *** Less than %d Mb \n", 128);
  fflush(stdout);
}

#ifdef QVK_BREAK_HEAP
uint32_t g_limit = 0;  // largest break less the reserves

// One pass of the heap probe: grows trial blocks in 4 MiB steps below the
// break and the limit; sets found when a block the size of the room was
// had but a further step was not. Returns the size reached.
uint32_t probe_heap(uintptr_t base, int &found) {
  uint32_t size = kProbeStep;
  uint32_t cap = base < g_limit ? static_cast<uint32_t>(base) : g_limit;
  found = 0;
  if (reinterpret_cast<uintptr_t>(sbrk(0)) != base) return size;
  while (size < cap) {
    char *p = static_cast<char *>(QorUnsecuredMemAlloc(size));
    if (!p) {
      size -= kProbeStep;
      break;
    }
    if (reinterpret_cast<uintptr_t>(sbrk(0)) != base) {
      free(p);
      break;
    }
    // Sums of addresses are taken in 64 bits: near the top of the 32-bit
    // space they would wrap below the limit.
    uint64_t end = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)) + size;
    if (end + kProbeStep >= g_limit) {
      free(p);
      break;
    }
    size += kProbeStep;
    if (end + kProbeStep < base) {
      free(p);
      if (reinterpret_cast<uintptr_t>(sbrk(0)) == base) continue;
      break;
    }
    void *q = QorUnsecuredMemAlloc(kProbeStep);
    if (q && reinterpret_cast<uintptr_t>(sbrk(0)) == base) {
      free(q);
      free(p);
      continue;
    }
    found = -1;
    free(q);
    free(p);
    size -= kProbeStep;
    break;
  }
  return size;
}
#endif

}  // namespace

namespace qvk_memory {

void set_allowance_probe(AllowanceProbe probe) { g_allowance_probe = probe; }

bool g_one_block_refused = false;
void set_one_block_refused(bool refused) { g_one_block_refused = refused; }

unsigned int allowance_words() {
  int allowance = 0;
  (g_allowance_probe ? g_allowance_probe : ehalmxc)(&allowance);
  return static_cast<unsigned int>(allowance);
}

}  // namespace qvk_memory

void CheckAvailableMemory(int words, int &available) {
  // The first trial is 512,000 bytes below the request, and a request whose
  // bytes exceed 32 bits starts at the top of that range.
  uint64_t bytes = words > 0 ? 8u * static_cast<uint64_t>(words) : 0;
  uint32_t b;
  if (bytes < kTrialStep) {
#ifdef QVK_BREAK_HEAP
    // Under 64,000 words the start wraps to the top of the 32-bit range:
    // the largest block that the address space can still give.
    b = static_cast<uint32_t>((1ull << 32) + bytes - kTrialStep);
#else
    // Clamped, not wrapped: a trial block of the whole 32-bit range
    // proves nothing where the kernel overcommits.
    b = 0;
#endif
  } else if (bytes - kTrialStep > UINT32_MAX) {
    b = UINT32_MAX - UINT32_MAX % kTrialStep;
  } else {
    b = static_cast<uint32_t>(bytes - kTrialStep);
  }
#ifndef QVK_BREAK_HEAP
  // A trial block beyond what the machine can back proves nothing either.
  if (b != 0) {
    uint64_t room = qvk_memory::room_of(qvk_memory::measure_room(0));
    if (b > room) b = static_cast<uint32_t>(room - room % kTrialStep);
  }
#endif
  while (b != 0) {
    void *p = QorUnsecuredMemAlloc(b);
    if (p) {
      free(p);
      break;
    }
    b = b > kTrialStep ? b - kTrialStep : 0;  // stops at 0 instead of wrapping
  }
  available = static_cast<int>(b >> 3);
}

void LimitAvailableMemory(int *words) {
  if (!words) return;
  const char *value = QorGetEnv("VARD_MAX_ALLOC");
  if (!value) return;
  long long bytes = static_cast<long long>(atoi(value)) * kMaxAllocUnit;
  if (bytes < 1) return;
  if (bytes / 8 < *words) *words = static_cast<int>(bytes / 8);
}

extern "C" void ehalmxc(int *allowance) {
#ifdef QVK_BREAK_HEAP
  if (!g_allowance_first) {
    // ulimit 3 is the largest break; Linux does not answer it (-1), which
    // leaves the whole 32-bit range. The reserves never take it below 0.
    uint32_t limit = static_cast<uint32_t>(ulimit(3, 0L));
    uint32_t reserve = 134217728u + (QorGetEnv("MALLOCTYPE") ? 67108864u : 0u);
    g_limit = limit > reserve ? limit - reserve : 0;
    g_allowance_first = 1;
  }
  uintptr_t base = reinterpret_cast<uintptr_t>(sbrk(0));
  int found;
  uint64_t size = probe_heap(base, found);
  uint64_t top = reinterpret_cast<uintptr_t>(sbrk(0));
  uint64_t room = top < g_limit ? g_limit - top : 0;
  uint64_t result;
  if (found) {
    result = (std::max(size, room) - 1) / kDivisor;
  } else if (room == 0) {
    print_shortage_warning();
    result = size / kDivisor;
  } else {
    result = (size + room) / kDivisor;
  }
  int words = result > static_cast<uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(result);
#else
  static uint64_t reserve = 0;
  if (!g_allowance_first) {
    reserve = qvk_memory::kReserve + (QorGetEnv("MALLOCTYPE") ? qvk_memory::kMallocTypeReserve : 0);
    g_allowance_first = 1;
  }
  bool warn = false;
  int words = qvk_memory::allowance_of(qvk_memory::measure_room(reserve), warn);
  if (warn) print_shortage_warning();
#endif
  LimitAvailableMemory(&words);
  if (allowance) *allowance = words;
}

extern "C" void ehumem(int *words) {
  if (stratoFirst) {
    siz = sysconf(_SC_PAGESIZE);
    page = sysconf(_SC_PHYS_PAGES) / 8;
    stratoFirst = 0;
    siz = siz * page;
    page = 1;
    if (const char *value = QorGetEnv("VARD_REAL_MEMORY")) {
      // Widened before the shift: 16,384 Mb and more would wrap in 32 bits.
      siz = static_cast<long long>(atoi(value)) * 131072;
    }
  }
  if (siz > kMaxRealWords || siz < 1) siz = kMaxRealWords;
  if (words) *words = static_cast<int>(siz);
}

extern "C" void ehucpu(int *processors) {
  if (!processors) return;
  *processors = 1;
  if (const char *value = QorGetEnv("OMP_NUM_THREADS")) {
    int n;
    if (sscanf(value, "%i", &n) == 1) *processors = n;
  }
}

extern "C" int ehaldb(int *kind) {
  if (g_blas_kind == -1) {
    getblas(&eaxblas[0], &eaxblas[1], &eaxblas[2]);
    g_blas_kind = eaxblas[2];
  }
  if (kind) *kind = g_blas_kind;
  return 0;
}

extern "C" void getblas(int *a, int *b, int *c) {
  if (a) *a = 0;
  if (b) *b = 0;
  if (c) *c = 0;
}

extern "C" void getversionmkl(char *text) {
  if (text) text[0] = '\0';
}

void GetMaxSlaveMemory(int *value) {
  if (value) *value = 187900000;
}

bool IsPentium4() { return false; }

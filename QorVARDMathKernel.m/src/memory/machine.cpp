// Measures of the machine for the 64-bit probes. Files are read with plain
// system calls into stack buffers: a probe must not allocate, or it would
// disturb what it measures (and pass the fault checkpoint).
#include "memory/machine.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace qvk_memory {
namespace {

// The whole (small) file into buf, zero-terminated; false when unreadable.
bool read_small_file(const char *path, char *buf, size_t size) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  size_t got = 0;
  while (got + 1 < size) {
    ssize_t n = read(fd, buf + got, size - 1 - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  buf[got] = '\0';
  return got > 0;
}

// The number after "key:" in a /proc/meminfo text, in bytes (the file
// gives kB); false when absent.
bool meminfo_field(const char *text, const char *key, uint64_t &bytes) {
  size_t klen = strlen(key);
  for (const char *p = text; p && *p; p = strchr(p, '\n'), p = p ? p + 1 : p) {
    if (strncmp(p, key, klen) == 0 && p[klen] == ':') {
      bytes = strtoull(p + klen + 1, nullptr, 10) * 1024u;
      return true;
    }
  }
  return false;
}

uint64_t sub_floor(uint64_t a, uint64_t b) { return a > b ? a - b : 0; }

}  // namespace

uint64_t resource_limit() {
  uint64_t limit = kUnlimited;
  for (int which : {RLIMIT_DATA, RLIMIT_AS}) {
    struct rlimit r;
    if (getrlimit(which, &r) == 0 && r.rlim_cur != RLIM_INFINITY &&
        static_cast<uint64_t>(r.rlim_cur) < limit)
      limit = static_cast<uint64_t>(r.rlim_cur);
  }
  return limit;
}

uint64_t machine_backing() {
  uint64_t backing = kUnlimited;
  char text[8192];
  if (read_small_file("/proc/meminfo", text, sizeof text)) {
    uint64_t avail;
    if (meminfo_field(text, "MemAvailable", avail) && avail < backing) backing = avail;
    // Strict accounting (mode 2) refuses what exceeds the commit limit:
    // there a block is worth only the commit room left.
    char mode[16];
    if (read_small_file("/proc/sys/vm/overcommit_memory", mode, sizeof mode) && mode[0] == '2') {
      uint64_t limit, committed;
      if (meminfo_field(text, "CommitLimit", limit) &&
          meminfo_field(text, "Committed_AS", committed))
        backing = std::min(backing, sub_floor(limit, committed));
    }
  }
  // A control group's limit kills the process beyond it whatever the
  // machine has left.
  char max[64], cur[64];
  if (read_small_file("/sys/fs/cgroup/memory.max", max, sizeof max) &&
      strncmp(max, "max", 3) != 0 &&
      read_small_file("/sys/fs/cgroup/memory.current", cur, sizeof cur)) {
    backing = std::min(backing, sub_floor(strtoull(max, nullptr, 10), strtoull(cur, nullptr, 10)));
  }
  return backing;
}

void allocator_usage(uint64_t &held, uint64_t &free_held) {
  struct mallinfo2 mi = mallinfo2();
  held = static_cast<uint64_t>(mi.arena) + static_cast<uint64_t>(mi.hblkhd);
  free_held = static_cast<uint64_t>(mi.fordblks);
}

MachineRoom measure_room(uint64_t reserve) {
  MachineRoom m;
  uint64_t limit = resource_limit();
  m.limit = limit == kUnlimited ? kUnlimited : sub_floor(limit, reserve);
  allocator_usage(m.held, m.free_held);
  uint64_t backing = machine_backing();
  m.backing = backing == kUnlimited ? kUnlimited : sub_floor(backing, reserve);
  return m;
}

int allowance_of(const MachineRoom &m, bool &warn) {
  uint64_t room = room_of(m);
  room -= room % kStep;
  uint64_t inside = m.free_held - m.free_held % kStep;
  warn = room == 0;
  uint64_t total = room > UINT64_MAX - inside ? UINT64_MAX : room + inside;
  uint64_t allowance = total / 10;
  return allowance > static_cast<uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(allowance);
}

}  // namespace qvk_memory

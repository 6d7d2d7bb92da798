// What the machine and the process can still back, for the probes of the
// 64-bit build (see the public header for why trial blocks alone prove
// nothing there). All amounts in bytes, saturated, never wrapped.
#ifndef QVK_MEMORY_MACHINE_H
#define QVK_MEMORY_MACHINE_H

#include <cstdint>

namespace qvk_memory {

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kReserve = 128 * kMiB;       // kept back from every bound
constexpr uint64_t kMallocTypeReserve = 64 * kMiB;
constexpr uint64_t kStep = 4 * kMiB;            // allowance steps
constexpr uint64_t kUnlimited = UINT64_MAX;

struct MachineRoom {
  uint64_t limit;      // resource limit less the reserve (kUnlimited when none)
  uint64_t held;       // bytes the allocator holds from the system
  uint64_t free_held;  // free bytes inside the allocator's heap
  uint64_t backing;    // memory the machine can still back, less the reserve
};

// The smaller of the data-segment and address-space resource limits.
uint64_t resource_limit();
// MemAvailable, the commit room under strict overcommit accounting and the
// control group's remaining memory, whichever is smallest; kUnlimited when
// none can be read.
uint64_t machine_backing();
// held and free_held from the allocator's statistics.
void allocator_usage(uint64_t &held, uint64_t &free_held);

// room = min(limit - held, backing), 0 when either is exhausted.
inline uint64_t room_of(const MachineRoom &m) {
  uint64_t by_limit = m.limit == kUnlimited ? kUnlimited : (m.limit > m.held ? m.limit - m.held : 0);
  return by_limit < m.backing ? by_limit : m.backing;
}

// The allowance of the 64-bit build from one measure: the room (in 4 MiB
// steps) plus the free space of the heap, divided by 10, at most 2^31 - 1;
// warn is set when the room is exhausted.
int allowance_of(const MachineRoom &m, bool &warn);

// The current measure with the limit fixed on the first call.
MachineRoom measure_room(uint64_t reserve);

}  // namespace qvk_memory

#endif

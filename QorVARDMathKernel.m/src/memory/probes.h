// Internal seams of the memory services, for tests: the allowance source
// of the manager's warning mode, and a switch that refuses every
// one-block attempt so that the separate-arrays path can be driven.
#ifndef QVK_MEMORY_PROBES_H
#define QVK_MEMORY_PROBES_H

namespace qvk_memory {

using AllowanceProbe = void (*)(int *allowance);
// Null restores ehalmxc.
void set_allowance_probe(AllowanceProbe probe);
// The words the manager may still allocate: the probe's answer.
unsigned int allowance_words();

// While set, every one-block attempt fails as a refused malloc would.
void set_one_block_refused(bool refused);
extern bool g_one_block_refused;
inline bool one_block_refused() { return g_one_block_refused; }

}  // namespace qvk_memory

#endif

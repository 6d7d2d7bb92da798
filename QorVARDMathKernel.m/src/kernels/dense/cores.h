// Processor models of the dense products: the wide paths' shape and the
// highest instruction-set level each product uses, picked once from the
// CPU's vendor, family and model, as the dispatch picks the level
// (kernels/vector/isa.h).
//
// Order: none. A model changes blocks, tiles and the level only; every
// element keeps its one order of accumulation, so results are the same bits
// on every model, path and build. Tests force each model in turn.
#ifndef QVK_KERNELS_DENSE_CORES_H
#define QVK_KERNELS_DENSE_CORES_H

#include "kernels/vector/isa.h"

namespace qvk {

enum Core : int {
  kCoreDefault = 0,  // any other processor
  kCoreZen3,
  kCoreZen4,
  kCoreZen5,
  kCoreSkylakeX,  // also Cascade Lake and Cooper Lake
  kCoreIceLake,   // server and client
  kCoreSapphireRapids,  // also Emerald Rapids
  kCoreCount
};

struct CoreTuning {
  const char *name;
  int gemm_shape;  // GemmShape of the wide products (kernels/vector/blocking.h)
  int gemm_level;  // highest level eagemm uses
  int gemv_level;  // highest level eagemv and its inner kernels use
  bool measured;   // false: set from published instruction tables and cache sizes
};

// The model of this processor (kCoreDefault when not in the table).
int core_detected();
// The model in use: the detected one, or the one forced.
int core_active();
// Forces a model's tuning (a negative value returns to the detected one).
// Not thread-safe: for tests and measurements, between calls.
void core_force(int core);
const CoreTuning &core_tuning(int core);
inline const CoreTuning &core_tuning() { return core_tuning(core_active()); }

// The level for a product whose highest level on this model is `cap`: the
// active level, lowered to the cap unless a level is forced.
inline int core_level(int cap) {
  const int level = isa_active();
  return isa_is_forced() || level <= cap ? level : cap;
}

}  // namespace qvk

#endif

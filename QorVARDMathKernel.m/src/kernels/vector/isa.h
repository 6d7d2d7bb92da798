// Run-time choice of code paths.
//
// Every kernel family with optimized paths keeps one table per level: the
// scalar table holds the plain order of every kernel, and each level up
// copies the level below and overrides what it does faster (SSE2, then AVX2,
// then AVX-512). The active level is the best one that the processor and the
// operating system support, checked once; "QORVARD_KERNEL_ISA" (scalar, sse2,
// avx2, avx512) lowers it for diagnosis, and tests force each level in turn
// with qvk_isa_force. Every path of a kernel gives the same bits, so the
// level changes speed only.
#ifndef QVK_KERNELS_VECTOR_ISA_H
#define QVK_KERNELS_VECTOR_ISA_H

namespace qvk {

enum Isa : int { kScalar = 0, kSse2 = 1, kAvx2 = 2, kAvx512 = 3, kIsaCount = 4 };

// Highest level that this processor and OS can run.
int isa_supported();
// Level in use now.
int isa_active();
// Forces a level (clamped to the supported one); a negative level returns to
// the automatic choice. Returns the level now active. Not thread-safe: meant
// for tests and diagnosis, between calls.
int isa_force(int level);
const char *isa_name(int level);

// A family's tables, level by level. Paths is a struct of function pointers.
// fill[l] (may be null) overrides entries of the copy taken from level l-1.
// A filler is compiled for its own instruction set and may use it (the
// compiler stores the pointers with wide registers), so only the fillers of
// supported levels run; a level above them keeps the copy below and is never
// selected anyway (isa_force clamps).
template <class Paths>
struct PathTable {
  Paths level[kIsaCount];
  PathTable(const Paths &scalar, void (*const fill[kIsaCount])(Paths &)) {
    level[0] = scalar;
    const int top = isa_supported();
    for (int l = 1; l < kIsaCount; ++l) {
      level[l] = level[l - 1];
      if (fill[l] && l <= top) fill[l](level[l]);
    }
  }
};

}  // namespace qvk

#endif

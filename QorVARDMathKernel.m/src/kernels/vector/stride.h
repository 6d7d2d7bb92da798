// Increment rules of the vector kernels, in 0-based storage offsets.
#ifndef QVK_KERNELS_VECTOR_STRIDE_H
#define QVK_KERNELS_VECTOR_STRIDE_H

#include <cstddef>
#include <cstdint>

namespace qvk {

// Standard rule: a negative increment starts the vector at x(1+(n-1)*|inc|)
// and walks backwards, so v_1 sits at this offset and v_i at first + (i-1)*inc.
inline std::ptrdiff_t first_offset(int n, int inc) {
  return inc < 0 ? static_cast<std::ptrdiff_t>(n - 1) * -static_cast<std::ptrdiff_t>(inc)
                 : 0;
}

// Magnitude rule: a negative increment acts as its absolute value.
inline std::ptrdiff_t magnitude(int inc) {
  return inc < 0 ? -static_cast<std::ptrdiff_t>(inc) : inc;
}

// True when the n-element blocks at a and b share any byte.
inline bool blocks_overlap(const void *a, const void *b, std::size_t bytes) {
  auto pa = reinterpret_cast<std::uintptr_t>(a);
  auto pb = reinterpret_cast<std::uintptr_t>(b);
  return pa < pb + bytes && pb < pa + bytes;
}

}  // namespace qvk

#endif

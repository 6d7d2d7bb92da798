// Byte fill and byte copy beneath the typed utilities. Runs of 32 bytes and
// less are done inline (no library call): character items and small typed
// records are copied and cleared constantly. Longer runs go to the C
// library.
#ifndef QVK_KERNELS_PACKED_BYTES_H
#define QVK_KERNELS_PACKED_BYTES_H

#include <cstddef>

namespace qvk {
namespace packed {

constexpr std::size_t kInlineBytes = 32;

// Sets n bytes at x to fill.
void fill_bytes(void *x, std::size_t n, unsigned char fill);
// Copies n bytes from src to dst as if through a temporary.
void copy_bytes(const void *src, std::size_t n, void *dst);

}  // namespace packed
}  // namespace qvk

#endif

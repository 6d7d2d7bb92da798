// Typed copy and clear, byte fill and copy, dot product and random step.
#include <cstdint>
#include <cstring>

#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/vector.h"
#include "kernels/packed/bytes.h"
#include "kernels/vector/stride.h"

namespace qvk {
namespace packed {

namespace {

inline bool aligned4(const void *p) { return (reinterpret_cast<std::uintptr_t>(p) & 3u) == 0; }

// Byte count of n items of |t| bytes, computed wide so that no product
// wraps; a count that is not positive gives 0.
inline std::size_t item_bytes(int t, int n) {
  const long long size = t < 0 ? -static_cast<long long>(t) : t;
  const long long bytes = size * n;
  return bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
}

}  // namespace

void fill_bytes(void *x, std::size_t n, unsigned char fill) {
  if (n > kInlineBytes) {
    std::memset(x, fill, n);
    return;
  }
  auto *p = static_cast<unsigned char *>(x);
  std::size_t i = 0;
  // Aligned start: the fill byte repeated in 32-bit words, then bytes.
  if (aligned4(p)) {
    const std::uint32_t word = 0x01010101u * fill;
    for (; i + 4 <= n; i += 4) std::memcpy(p + i, &word, 4);
  }
  for (; i < n; ++i) p[i] = fill;
}

void copy_bytes(const void *src, std::size_t n, void *dst) {
  auto *d = static_cast<unsigned char *>(dst);
  const auto *s = static_cast<const unsigned char *>(src);
  if (n == 0 || d == s) return;
  const auto sd = reinterpret_cast<std::uintptr_t>(d), ss = reinterpret_cast<std::uintptr_t>(s);
  const bool overlap = ss < sd + n && sd < ss + n;
  // Forward overlap (dst after src) must copy from the end; the library
  // move does. A long copy with dst before an overlapping src goes to the
  // move as well: a block copy does not allow any overlap.
  if ((sd > ss && overlap) || (n > kInlineBytes && overlap)) {
    std::memmove(d, s, n);
    return;
  }
  if (n > kInlineBytes) {
    std::memcpy(d, s, n);
    return;
  }
  // Inline, ascending: with dst before src each chunk is loaded before it is
  // stored and no store reaches a byte not yet read.
  std::size_t i = 0;
  if (aligned4(d) && aligned4(s)) {
    for (; i + 4 <= n; i += 4) {
      std::uint32_t w;
      std::memcpy(&w, s + i, 4);
      std::memcpy(d + i, &w, 4);
    }
  } else {
    for (; i + 2 <= n; i += 2) {
      std::uint16_t h;
      std::memcpy(&h, s + i, 2);
      std::memcpy(d + i, &h, 2);
    }
  }
  // The odd remainder.
  for (; i < n; ++i) d[i] = s[i];
}

}  // namespace packed
}  // namespace qvk

using qvk::packed::copy_bytes;
using qvk::packed::fill_bytes;
using qvk::packed::item_bytes;

extern "C" {

void eaxmac(void *x, const int *nbytes, const void *fill) {
  if (*nbytes > 0)
    fill_bytes(x, static_cast<std::size_t>(*nbytes), *static_cast<const unsigned char *>(fill));
}

void ecrccop(const void *src, const int *nbytes, void *dst) {
  if (*nbytes > 0) copy_bytes(src, static_cast<std::size_t>(*nbytes), dst);
}

void eaxcpy(const int *t, const int *n, const void *src, void *dst) {
  static const int one = 1;
  switch (*t) {
    case 3:
      e_icopy(n, static_cast<const int *>(src), &one, static_cast<int *>(dst), &one);
      return;
    case 5:
      e_dcopy(n, static_cast<const double *>(src), &one, static_cast<double *>(dst), &one);
      return;
    default:
      copy_bytes(src, item_bytes(*t, *n), dst);
  }
}

void eaxraz(const int *t, void *x, const int *n) {
  static const int one = 1;
  const int code = *t;
  if (code == 3 || code == 4)
    e_izero(n, static_cast<int *>(x), &one);
  else if (code == 5)
    e_dzero(n, static_cast<double *>(x), &one);
  else if (code == 2)
    fill_bytes(x, item_bytes(2, *n), 0);
  else if (code < 0)
    fill_bytes(x, item_bytes(code, *n), ' ');
  // 0, 1 and codes of 6 and above clear nothing.
}

// The reference DDOT: a single sum from 0.0. At unit increments the first
// mod(n, 5) products are added singly, then each group of five is added to
// the running sum from left to right.
double eaxscl(const int *n, const double *x, const int *incx, const double *y, const int *incy) {
  const int len = *n, ix = *incx, iy = *incy;
  double s = 0.0;
  if (len < 1) return s;
  if (ix == 1 && iy == 1) {
    const int m = len % 5;
    int i = 0;
    for (; i < m; ++i) s = s + x[i] * y[i];
    for (; i < len; i += 5)
      s = s + x[i] * y[i] + x[i + 1] * y[i + 1] + x[i + 2] * y[i + 2] + x[i + 3] * y[i + 3] +
          x[i + 4] * y[i + 4];
    return s;
  }
  std::ptrdiff_t px = qvk::first_offset(len, ix), py = qvk::first_offset(len, iy);
  for (int i = 0; i < len; ++i, px += ix, py += iy) s = s + x[px] * y[py];
  return s;
}

void eaxrnd(int *seed, double *r) {
  // The double nearest 1/2147483647: bits 0x3E00000000200000.
  constexpr double c = 0x1.00000002p-31;
  std::uint32_t s = static_cast<std::uint32_t>(*seed) * 65539u;
  if (s == 0) s = 0x80000000u;
  std::int32_t v;
  std::memcpy(&v, &s, sizeof v);
  *seed = v;
  *r = static_cast<double>(v) * c;
}

}  // extern "C"

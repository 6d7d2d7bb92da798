// Storage layouts shared by the packed and stored-matrix kernels, as 0-based
// offsets into the caller's arrays. Every kernel that walks one of these
// layouts takes its positions from here.
//
// Upper packed: element (i, j), 1 <= i <= j <= n, of an n-by-n triangle at
// 1-based position i + j(j-1)/2, the upper triangle column after column. The
// same array read the other way is the lower triangle row after row: (r, c),
// c <= r, at c + r(r-1)/2. A Cholesky factor held there is U (A = U'U) by
// columns, or L = U' (A = LL') by rows.
//
// Lower packed: (i, j), 1 <= j <= i <= n, at i + (j-1)(2n-j)/2, the lower
// triangle column after column.
//
// Diagonal-last rows (sparse n-by-n): row i occupies positions ia(i)+1 ..
// ia(i+1) of ja and a, its diagonal last at ia(i+1); ia(1) is never read and
// stands for 0. ja of the diagonal position is not read.
#ifndef QVK_KERNELS_PACKED_LAYOUT_H
#define QVK_KERNELS_PACKED_LAYOUT_H

#include <cstddef>

namespace qvk {
namespace packed {

using idx = std::ptrdiff_t;

// Internal linkage: the instruction-set files include these too, and an
// out-of-line copy compiled with wide-register flags must never be the one
// that the linker keeps for the plain path.
namespace {

// Upper packed: offset of column j's first element (row 1), which is also
// the offset of row j of the lower triangle read by rows.
inline idx col_start(idx j) { return j * (j - 1) / 2; }
// Upper packed: offset of (i, j), i <= j; equally (r, c) = (j, i) by rows.
inline idx upper(idx i, idx j) { return col_start(j) + (i - 1); }
// Upper packed: offset of diagonal j.
inline idx upper_diag(idx j) { return j * (j + 1) / 2 - 1; }
// Lower triangle by rows in the upper packed array: offset of (r, c), c <= r.
inline idx row_lower(idx r, idx c) { return col_start(r) + (c - 1); }
// Number of elements of an n-by-n packed triangle.
inline idx packed_size(idx n) { return n * (n + 1) / 2; }

// Lower packed (columns of the lower triangle): offset of (i, j), j <= i.
inline idx lower(idx i, idx j, idx n) { return (i - 1) + (j - 1) * (2 * n - j) / 2; }
// Lower packed: offset of diagonal j.
inline idx lower_diag(idx j, idx n) { return (j - 1) * (2 * n - j + 2) / 2; }

// Diagonal-last rows. Row i (1-based) holds its off-diagonal entries at
// offsets [row_first(ia, i), row_diag(ia, i)) and its diagonal at
// row_diag(ia, i).
inline idx row_first(const int *ia, int i) { return i == 1 ? 0 : ia[i - 1]; }
inline idx row_diag(const int *ia, int i) { return static_cast<idx>(ia[i]) - 1; }

}  // namespace
}  // namespace packed
}  // namespace qvk

#endif

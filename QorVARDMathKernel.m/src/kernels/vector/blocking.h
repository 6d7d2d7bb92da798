// Blocking sizes of the products and of the packed solves, in one table,
// kept beside the vector types since every family below may use it.
//
// None of these sizes changes a result: a sum that is cut at a block edge is
// stored and reloaded exactly, and no block ever splits or reorders one
// element's sum. They set speed and the stack frame only. Every buffer here
// lives in its routine's own frame (the kernels never take memory from the
// heap), so the frames are checked against one budget below; the public
// header promises callers a work area under 700 KB.
//
// The wide products have one row per shape; the processor model picks the
// shape at load (kernels/dense/cores.h).
#ifndef QVK_KERNELS_VECTOR_BLOCKING_H
#define QVK_KERNELS_VECTOR_BLOCKING_H

#include <cstddef>

namespace qvk {

// The largest work area a kernel may keep in its frame.
constexpr std::size_t kFrameBudget = 640 * 1024;

// The wide paths of eagemm (kernels/dense/gemm_simd.h).
struct GemmBlocks {
  int mv;  // vectors down the rows of a register tile: MR = mv*W rows
  int nr;  // columns of a register tile; mv*nr accumulators stay in registers
  int mc;  // rows of op(A) copied per block (a multiple of MR)
  int kc;  // values of l per block
  int nc;  // columns of op(B) copied per block (a multiple of nr)
  // The copy buffers of A (mc*kc) and of B (kc*nc), both in the frame.
  constexpr std::size_t frame_bytes() const {
    return sizeof(double) * (static_cast<std::size_t>(mc) * kc + static_cast<std::size_t>(kc) * nc);
  }
};

// Shapes of the wide products' tiles and blocks; each processor model picks
// one (kernels/dense/cores.h). Every shape gives the same bits.
//
// A tile's kc-by-NR sliver of B stays in L1 while the MR-by-kc slivers of
// the A block stream past it from L2. Each block of NC columns copies the
// A block again, so the blocks are few rows by many columns: a narrow A
// block (a few tiles deep) and the widest B block the frame allows. On a
// Zen 3 core at n = 1,000 this layout (48 rows, 256 values of l, 264
// columns) ran 12 to 15% faster than 96 by 256 with 120 columns, and 192
// rows by 256 with 120 columns was no better.
enum GemmShape : int {
  // Wide tiles (eight columns of 512-bit vectors, six of 256-bit ones): for
  // cores whose broadcasts are plain loads.
  kShapeWide = 0,
  // Tall tiles (four or three vectors down the rows, fewer columns): fewer
  // broadcasts of B per multiply, for cores where a broadcast takes a
  // floating-point pipe (AMD Zen 4).
  kShapeTall = 1,
  kGemmShapes = 2
};

#if defined(__x86_64__)
// 16 vector registers: tiles of 4x4 (SSE2, 8 accumulators), 8x6 or 12x4
// (AVX2, 12 accumulators). Without a fused multiply-add each product needs
// a register of its own: 8x6 uses all 16 (12 accumulators, two of A, one
// broadcast, one product), and in 12x4 the compiler reads the third vector
// of A from memory in each multiply, which also saves an instruction.
constexpr GemmBlocks kGemmSse2[kGemmShapes] = {{2, 4, 48, 256, 272}, {2, 4, 48, 128, 576}};
constexpr GemmBlocks kGemmAvx2[kGemmShapes] = {{2, 6, 48, 256, 264}, {3, 4, 48, 256, 264}};
#else
// The 32-bit build has 8 vector registers: tiles of 4x2 and 8x2 (tall: 6x1
// and 12x1).
constexpr GemmBlocks kGemmSse2[kGemmShapes] = {{2, 2, 48, 256, 272}, {3, 1, 48, 128, 576}};
constexpr GemmBlocks kGemmAvx2[kGemmShapes] = {{2, 2, 48, 256, 272}, {3, 1, 48, 128, 576}};
#endif
// 32 registers: tiles of 24x8 or 32x6 (24 accumulators). Wide: A blocks of
// 72 rows (three tiles) by 256 values of l, B blocks of 248 columns; tall:
// 64 rows by 128, with 576 columns. Both fill the frame budget. (A 32-row
// sliver of 128 values of l alone fills a 32 KB L1.)
constexpr GemmBlocks kGemmAvx512[kGemmShapes] = {{3, 8, 72, 256, 248}, {4, 6, 64, 128, 576}};

// The plain blocked product (kernels/dense/gemm_scalar.cpp), whose
// blocks are those of the library's original routine.
struct GemmScalarBlocks {
  int cols_n;  // columns of C per block, B read in place
  int cols_t;  // columns of C per block, alpha*op(B) copied
  int depth;   // values of l per block
  int rows;    // rows of C per A panel (register blocks of 4 by 4 within)
  int panel;   // doubles of the A panel buffer: rows*depth and a spare line
  constexpr std::size_t frame_bytes() const {
    return sizeof(double) * (static_cast<std::size_t>(cols_t) * depth + panel);
  }
};
constexpr GemmScalarBlocks kGemmScalarBlocks = {1024, 100, 100, 32, 3328};

// The packed solves and the Cholesky factorization (kernels/dense/tpsv_simd.h,
// kernels/packed/cholesky_simd.h): W right-hand sides or W rows are
// transposed into a buffer of this many doubles (32 KiB, L1) while n*W fits.
constexpr int kLaneBuffer = 4096;
// Transposed solves: the first columns, whose sums are short, go singly.
constexpr int kSingleColumns = 32;

constexpr bool frames_fit(const GemmBlocks (&rows)[kGemmShapes]) {
  for (const GemmBlocks &r : rows)
    if (r.frame_bytes() > kFrameBudget) return false;
  return true;
}
static_assert(frames_fit(kGemmSse2), "SSE2 product blocks over the frame budget");
static_assert(frames_fit(kGemmAvx2), "AVX2 product blocks over the frame budget");
static_assert(frames_fit(kGemmAvx512), "AVX-512 product blocks over the frame budget");
static_assert(kGemmScalarBlocks.frame_bytes() <= kFrameBudget,
              "scalar product blocks over the frame budget");
static_assert(kGemmScalarBlocks.panel >= kGemmScalarBlocks.rows * kGemmScalarBlocks.depth,
              "the A panel holds rows by depth");
static_assert(sizeof(double) * kLaneBuffer <= kFrameBudget, "lane buffer over the frame budget");

}  // namespace qvk

#endif

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
// A row of the table is a plain struct so that a later choice by processor
// model (cache sizes differ from one core to the next) can add rows and pick
// one at run time without touching the kernels.
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
  int kc;  // values of l per block: an MR-by-kc sliver of A stays in L1
  int nc;  // columns of alpha*op(B) copied per block when B is transposed
           // (a multiple of nr): the kc-by-nc block stays in L2
  // The copy buffers of A (mc*kc) and of B (kc*nc), both in the frame.
  constexpr std::size_t frame_bytes() const {
    return sizeof(double) * (static_cast<std::size_t>(mc) * kc + static_cast<std::size_t>(kc) * nc);
  }
};

#if defined(__x86_64__)
// 16 vector registers: tiles of 4x4 (SSE2, 8 accumulators) and 8x6 (AVX2,
// 12 accumulators), leaving room for the operands.
constexpr GemmBlocks kGemmSse2 = {2, 4, 96, 256, 128};
constexpr GemmBlocks kGemmAvx2 = {2, 6, 96, 256, 120};
#else
// The 32-bit build has 8 vector registers: tiles of 4x2 and 8x2.
constexpr GemmBlocks kGemmSse2 = {2, 2, 96, 256, 128};
constexpr GemmBlocks kGemmAvx2 = {2, 2, 96, 256, 128};
#endif
// 32 registers: tiles of 24x8 (24 accumulators); A blocks of 144 rows by 256
// values of l (288 KB), B blocks of 256 by 128 columns (256 KB).
constexpr GemmBlocks kGemmAvx512 = {3, 8, 144, 256, 128};

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

static_assert(kGemmSse2.frame_bytes() <= kFrameBudget, "SSE2 product blocks over the frame budget");
static_assert(kGemmAvx2.frame_bytes() <= kFrameBudget, "AVX2 product blocks over the frame budget");
static_assert(kGemmAvx512.frame_bytes() <= kFrameBudget,
              "AVX-512 product blocks over the frame budget");
static_assert(kGemmScalarBlocks.frame_bytes() <= kFrameBudget,
              "scalar product blocks over the frame budget");
static_assert(kGemmScalarBlocks.panel >= kGemmScalarBlocks.rows * kGemmScalarBlocks.depth,
              "the A panel holds rows by depth");
static_assert(sizeof(double) * kLaneBuffer <= kFrameBudget, "lane buffer over the frame budget");

}  // namespace qvk

#endif

// Vector types of the packed and dense kernels' wide paths: the vector
// kernels' types (kernels/vector/simd.h) with the subtraction and division
// that the solves and the factorization need. For the instruction-set files
// only: each file gets the types its flags allow (2 lanes with SSE2, 4 with
// AVX2, 8 with AVX-512), all in an unnamed namespace so that copies compiled
// with different flags are never merged by the linker.
//
// Operand order is kept: sub(a, b) is a - b, div(a, b) is a / b.
#ifndef QVK_KERNELS_PACKED_LANES_H
#define QVK_KERNELS_PACKED_LANES_H

#include <immintrin.h>

#include "kernels/vector/simd.h"

namespace {

#if defined(__SSE2__)
struct Lanes2 : VSse2 {
  static T sub(T a, T b) { return _mm_sub_pd(a, b); }
  static T div(T a, T b) { return _mm_div_pd(a, b); }
};
#endif

#if defined(__AVX2__)
struct Lanes4 : VAvx2 {
  static T sub(T a, T b) { return _mm256_sub_pd(a, b); }
  static T div(T a, T b) { return _mm256_div_pd(a, b); }
};
#endif

#if defined(__AVX512F__)
struct Lanes8 : VAvx512 {
  static T sub(T a, T b) { return _mm512_sub_pd(a, b); }
  static T div(T a, T b) { return _mm512_div_pd(a, b); }
};
#endif

}  // namespace

#endif

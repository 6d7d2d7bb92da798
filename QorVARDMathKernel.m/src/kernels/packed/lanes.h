// Vector types of the packed and dense kernels' wide paths, for the
// instruction-set files only: each file gets the types its flags allow
// (SSE2 always; 4 lanes with AVX2; 8 lanes with AVX-512). Everything sits in
// an unnamed namespace so that the copies compiled with different flags are
// never merged by the linker.
//
// Each type provides T, W, load, store (unaligned), set1, mul, sub, div, with
// the operand order kept: sub(a, b) is a - b.
#ifndef QVK_KERNELS_PACKED_LANES_H
#define QVK_KERNELS_PACKED_LANES_H

#include <immintrin.h>

namespace {

struct Lanes2 {
  using T = __m128d;
  static constexpr int W = 2;
  static T load(const double *p) { return _mm_loadu_pd(p); }
  static void store(double *p, T v) { _mm_storeu_pd(p, v); }
  static T set1(double a) { return _mm_set1_pd(a); }
  static T mul(T a, T b) { return _mm_mul_pd(a, b); }
  static T sub(T a, T b) { return _mm_sub_pd(a, b); }
  static T div(T a, T b) { return _mm_div_pd(a, b); }
};

#if defined(__AVX2__)
struct Lanes4 {
  using T = __m256d;
  static constexpr int W = 4;
  static T load(const double *p) { return _mm256_loadu_pd(p); }
  static void store(double *p, T v) { _mm256_storeu_pd(p, v); }
  static T set1(double a) { return _mm256_set1_pd(a); }
  static T mul(T a, T b) { return _mm256_mul_pd(a, b); }
  static T sub(T a, T b) { return _mm256_sub_pd(a, b); }
  static T div(T a, T b) { return _mm256_div_pd(a, b); }
};
#endif

#if defined(__AVX512F__)
struct Lanes8 {
  using T = __m512d;
  static constexpr int W = 8;
  static T load(const double *p) { return _mm512_loadu_pd(p); }
  static void store(double *p, T v) { _mm512_storeu_pd(p, v); }
  static T set1(double a) { return _mm512_set1_pd(a); }
  static T mul(T a, T b) { return _mm512_mul_pd(a, b); }
  static T sub(T a, T b) { return _mm512_sub_pd(a, b); }
  static T div(T a, T b) { return _mm512_div_pd(a, b); }
};
#endif

}  // namespace

#endif

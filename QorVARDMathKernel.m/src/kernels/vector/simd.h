// Vector types of the wide paths, one per instruction set, for the kernels
// written once over a type V (elementwise_simd.h, amax_simd.h). Include it
// only from a file compiled for that set (*_sse2.cpp, *_avx2.cpp,
// *_avx512.cpp): each type exists only where the compiler's flags allow it.
// Everything sits in an unnamed namespace, so copies compiled with different
// flags are never merged by the linker.
//
// Each type gives: T, W (doubles per vector), load, store, set1, mul, add
// and sub (operand order kept: add(a, b) is a + b, sub(a, b) is a - b), max, abs_load (|x| of a load),
// eq_bits and nan_bits (one bit per lane, lane 0 lowest), hmax (largest lane,
// for lanes free of NaN).
#ifndef QVK_KERNELS_VECTOR_SIMD_H
#define QVK_KERNELS_VECTOR_SIMD_H

#include <immintrin.h>

namespace {

#if defined(__SSE2__)
struct VSse2 {
  using T = __m128d;
  static constexpr int W = 2;
  static T load(const double *p) { return _mm_loadu_pd(p); }
  static void store(double *p, T v) { _mm_storeu_pd(p, v); }
  static T set1(double a) { return _mm_set1_pd(a); }
  static T mul(T a, T b) { return _mm_mul_pd(a, b); }
  static T add(T a, T b) { return _mm_add_pd(a, b); }
  static T sub(T a, T b) { return _mm_sub_pd(a, b); }
  static T max(T a, T b) { return _mm_max_pd(a, b); }
  static T abs_load(const double *p) { return _mm_andnot_pd(_mm_set1_pd(-0.0), load(p)); }
  static int eq_bits(T a, T b) { return _mm_movemask_pd(_mm_cmpeq_pd(a, b)); }
  static int nan_bits(T a) { return _mm_movemask_pd(_mm_cmpunord_pd(a, a)); }
  static double hmax(T a) {
    const double hi = _mm_cvtsd_f64(_mm_unpackhi_pd(a, a)), lo = _mm_cvtsd_f64(a);
    return lo > hi ? lo : hi;
  }
};
#endif

#if defined(__AVX2__)
struct VAvx2 {
  using T = __m256d;
  static constexpr int W = 4;
  static T load(const double *p) { return _mm256_loadu_pd(p); }
  static void store(double *p, T v) { _mm256_storeu_pd(p, v); }
  static T set1(double a) { return _mm256_set1_pd(a); }
  static T mul(T a, T b) { return _mm256_mul_pd(a, b); }
  static T add(T a, T b) { return _mm256_add_pd(a, b); }
  static T sub(T a, T b) { return _mm256_sub_pd(a, b); }
  static T max(T a, T b) { return _mm256_max_pd(a, b); }
  static T abs_load(const double *p) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), load(p)); }
  static int eq_bits(T a, T b) { return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_EQ_OQ)); }
  static int nan_bits(T a) { return _mm256_movemask_pd(_mm256_cmp_pd(a, a, _CMP_UNORD_Q)); }
  static double hmax(T a) {
    return VSse2::hmax(_mm_max_pd(_mm256_castpd256_pd128(a), _mm256_extractf128_pd(a, 1)));
  }
};
#endif

#if defined(__AVX512F__)
struct VAvx512 {
  using T = __m512d;
  static constexpr int W = 8;
  static T load(const double *p) { return _mm512_loadu_pd(p); }
  static void store(double *p, T v) { _mm512_storeu_pd(p, v); }
  static T set1(double a) { return _mm512_set1_pd(a); }
  static T mul(T a, T b) { return _mm512_mul_pd(a, b); }
  static T add(T a, T b) { return _mm512_add_pd(a, b); }
  static T sub(T a, T b) { return _mm512_sub_pd(a, b); }
  static T max(T a, T b) { return _mm512_max_pd(a, b); }
  static T abs_load(const double *p) { return _mm512_abs_pd(load(p)); }
  static int eq_bits(T a, T b) { return static_cast<int>(_mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ)); }
  static int nan_bits(T a) { return static_cast<int>(_mm512_cmp_pd_mask(a, a, _CMP_UNORD_Q)); }
  static double hmax(T a) { return _mm512_reduce_max_pd(a); }
};
#endif

}  // namespace

#endif

// The vector types of the wide paths, one per instruction set, for every
// kernel family that is written once over a type V (the elementwise kernels,
// the index of the largest magnitude, the matrix products, the packed solves
// and the Cholesky factorization). Include it only from a file compiled for
// that set (*_sse2.cpp, *_avx2.cpp, *_avx512.cpp): each type exists only
// where the compiler's flags allow it. Everything sits in an unnamed
// namespace, so copies compiled with different flags are never merged by the
// linker.
//
//   VSse2    2 doubles  (__m128d)
//   VAvx2    4 doubles  (__m256d)
//   VAvx512  8 doubles  (__m512d)
//
// Each type gives:
//   T, W                 the register type and the doubles it holds;
//   load, store          W doubles, any alignment;
//   loadn, storen        the first `count` lanes only (0 <= count <= W):
//                        other lanes read as +0.0 and memory past them is
//                        neither read nor written;
//   zero, set1           +0.0 in every lane, one value in every lane;
//   add, sub, mul, div   lane by lane, operand order kept (sub(a, b) is
//                        a - b), each operation rounded on its own: no type
//                        offers a fused multiply-add;
//   max, abs_load        largest of two, |x| of a load;
//   eq_bits, nan_bits    one bit per lane, lane 0 lowest;
//   hmax                 the largest lane, for lanes free of NaN;
//   transpose(v)         W vectors v[0..W-1] taken as the rows of a W-by-W
//                        block, replaced by its columns: v[r] := (v[0][r],
//                        ..., v[W-1][r]).
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
  static T loadn(const double *p, int count) {
    return count >= 2 ? _mm_loadu_pd(p) : count == 1 ? _mm_load_sd(p) : zero();
  }
  static void storen(double *p, T v, int count) {
    if (count >= 2)
      _mm_storeu_pd(p, v);
    else if (count == 1)
      _mm_store_sd(p, v);
  }
  static T zero() { return _mm_setzero_pd(); }
  static T set1(double a) { return _mm_set1_pd(a); }
  static T add(T a, T b) { return _mm_add_pd(a, b); }
  static T sub(T a, T b) { return _mm_sub_pd(a, b); }
  static T mul(T a, T b) { return _mm_mul_pd(a, b); }
  static T div(T a, T b) { return _mm_div_pd(a, b); }
  static T max(T a, T b) { return _mm_max_pd(a, b); }
  static T abs_load(const double *p) { return _mm_andnot_pd(_mm_set1_pd(-0.0), load(p)); }
  static int eq_bits(T a, T b) { return _mm_movemask_pd(_mm_cmpeq_pd(a, b)); }
  static int nan_bits(T a) { return _mm_movemask_pd(_mm_cmpunord_pd(a, a)); }
  static double hmax(T a) {
    const double hi = _mm_cvtsd_f64(_mm_unpackhi_pd(a, a)), lo = _mm_cvtsd_f64(a);
    return lo > hi ? lo : hi;
  }
  static void transpose(T *v) {
    const T t0 = _mm_unpacklo_pd(v[0], v[1]), t1 = _mm_unpackhi_pd(v[0], v[1]);
    v[0] = t0;
    v[1] = t1;
  }
};
#endif

#if defined(__AVX2__)
struct VAvx2 {
  using T = __m256d;
  static constexpr int W = 4;
  static T load(const double *p) { return _mm256_loadu_pd(p); }
  static void store(double *p, T v) { _mm256_storeu_pd(p, v); }
  static __m256i lanes(int count) {
    return _mm256_cmpgt_epi64(_mm256_set1_epi64x(count), _mm256_set_epi64x(3, 2, 1, 0));
  }
  // Whole vectors take the plain moves: a masked store costs many cycles on
  // AMD cores (a plain one, one).
  static T loadn(const double *p, int count) {
    return count == W ? load(p) : _mm256_maskload_pd(p, lanes(count));
  }
  static void storen(double *p, T v, int count) {
    if (count == W)
      store(p, v);
    else
      _mm256_maskstore_pd(p, lanes(count), v);
  }
  static T zero() { return _mm256_setzero_pd(); }
  static T set1(double a) { return _mm256_set1_pd(a); }
  static T add(T a, T b) { return _mm256_add_pd(a, b); }
  static T sub(T a, T b) { return _mm256_sub_pd(a, b); }
  static T mul(T a, T b) { return _mm256_mul_pd(a, b); }
  static T div(T a, T b) { return _mm256_div_pd(a, b); }
  static T max(T a, T b) { return _mm256_max_pd(a, b); }
  static T abs_load(const double *p) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), load(p)); }
  static int eq_bits(T a, T b) { return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_EQ_OQ)); }
  static int nan_bits(T a) { return _mm256_movemask_pd(_mm256_cmp_pd(a, a, _CMP_UNORD_Q)); }
  static double hmax(T a) {
    return VSse2::hmax(_mm_max_pd(_mm256_castpd256_pd128(a), _mm256_extractf128_pd(a, 1)));
  }
  static void transpose(T *v) {
    const T t0 = _mm256_unpacklo_pd(v[0], v[1]), t1 = _mm256_unpackhi_pd(v[0], v[1]);
    const T t2 = _mm256_unpacklo_pd(v[2], v[3]), t3 = _mm256_unpackhi_pd(v[2], v[3]);
    v[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
    v[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
    v[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
    v[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
  }
};
#endif

#if defined(__AVX512F__)
struct VAvx512 {
  using T = __m512d;
  static constexpr int W = 8;
  static T load(const double *p) { return _mm512_loadu_pd(p); }
  static void store(double *p, T v) { _mm512_storeu_pd(p, v); }
  static __mmask8 lanes(int count) { return static_cast<__mmask8>((1u << count) - 1u); }
  static T loadn(const double *p, int count) { return _mm512_maskz_loadu_pd(lanes(count), p); }
  static void storen(double *p, T v, int count) { _mm512_mask_storeu_pd(p, lanes(count), v); }
  static T zero() { return _mm512_setzero_pd(); }
  static T set1(double a) { return _mm512_set1_pd(a); }
  static T add(T a, T b) { return _mm512_add_pd(a, b); }
  static T sub(T a, T b) { return _mm512_sub_pd(a, b); }
  static T mul(T a, T b) { return _mm512_mul_pd(a, b); }
  static T div(T a, T b) { return _mm512_div_pd(a, b); }
  static T max(T a, T b) { return _mm512_max_pd(a, b); }
  static T abs_load(const double *p) { return _mm512_abs_pd(load(p)); }
  static int eq_bits(T a, T b) { return static_cast<int>(_mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ)); }
  static int nan_bits(T a) { return static_cast<int>(_mm512_cmp_pd_mask(a, a, _CMP_UNORD_Q)); }
  static double hmax(T a) { return _mm512_reduce_max_pd(a); }
  // Three rounds: pairs, 128-bit and 256-bit exchanges.
  static void transpose(T *v) {
    T t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
      t[i] = _mm512_unpacklo_pd(v[i], v[i + 1]);
      t[i + 1] = _mm512_unpackhi_pd(v[i], v[i + 1]);
    }
    for (int h = 0; h < 8; h += 4) {
      u[h] = _mm512_shuffle_f64x2(t[h], t[h + 2], 0x88);
      u[h + 1] = _mm512_shuffle_f64x2(t[h], t[h + 2], 0xDD);
      u[h + 2] = _mm512_shuffle_f64x2(t[h + 1], t[h + 3], 0x88);
      u[h + 3] = _mm512_shuffle_f64x2(t[h + 1], t[h + 3], 0xDD);
    }
    // u[0] = rows 0,4 of columns 0-3; u[1] = rows 2,6; u[2] = rows 1,5;
    // u[3] = rows 3,7; u[4..7] the same for columns 4-7.
    v[0] = _mm512_shuffle_f64x2(u[0], u[4], 0x88);
    v[4] = _mm512_shuffle_f64x2(u[0], u[4], 0xDD);
    v[2] = _mm512_shuffle_f64x2(u[1], u[5], 0x88);
    v[6] = _mm512_shuffle_f64x2(u[1], u[5], 0xDD);
    v[1] = _mm512_shuffle_f64x2(u[2], u[6], 0x88);
    v[5] = _mm512_shuffle_f64x2(u[2], u[6], 0xDD);
    v[3] = _mm512_shuffle_f64x2(u[3], u[7], 0x88);
    v[7] = _mm512_shuffle_f64x2(u[3], u[7], 0xDD);
  }
};
#endif

}  // namespace

#endif

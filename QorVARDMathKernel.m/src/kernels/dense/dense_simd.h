// What the dense products need of a vector type beyond kernels/vector/simd.h:
// zero, partial loads and stores of the first `count` lanes (the other lanes
// neither read nor written), and the transposition of W vectors. Include
// only from a file compiled for the set in question.
#ifndef QVK_KERNELS_DENSE_DENSE_SIMD_H
#define QVK_KERNELS_DENSE_DENSE_SIMD_H

#include "kernels/vector/simd.h"

namespace {

#if defined(__SSE2__)
struct DSse2 : VSse2 {
  static T zero() { return _mm_setzero_pd(); }
  static T loadn(const double *p, int count) {
    return count >= 2 ? _mm_loadu_pd(p) : count == 1 ? _mm_load_sd(p) : zero();
  }
  static void storen(double *p, T v, int count) {
    if (count >= 2)
      _mm_storeu_pd(p, v);
    else if (count == 1)
      _mm_store_sd(p, v);
  }
  static void transpose(T *v) {
    const T t0 = _mm_unpacklo_pd(v[0], v[1]), t1 = _mm_unpackhi_pd(v[0], v[1]);
    v[0] = t0;
    v[1] = t1;
  }
};
#endif

#if defined(__AVX512F__)
struct DAvx512 : VAvx512 {
  static T zero() { return _mm512_setzero_pd(); }
  static __mmask8 lanes(int count) { return static_cast<__mmask8>((1u << count) - 1u); }
  static T loadn(const double *p, int count) { return _mm512_maskz_loadu_pd(lanes(count), p); }
  static void storen(double *p, T v, int count) { _mm512_mask_storeu_pd(p, lanes(count), v); }
  // v[r] := (v[0][r], ..., v[7][r]): three rounds of pair, 128-bit and
  // 256-bit exchanges.
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

#if defined(__AVX2__)
struct DAvx2 : VAvx2 {
  static T zero() { return _mm256_setzero_pd(); }
  static __m256i lanes(int count) {
    return _mm256_cmpgt_epi64(_mm256_set1_epi64x(count), _mm256_set_epi64x(3, 2, 1, 0));
  }
  static T loadn(const double *p, int count) { return _mm256_maskload_pd(p, lanes(count)); }
  static void storen(double *p, T v, int count) { _mm256_maskstore_pd(p, lanes(count), v); }
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

}  // namespace

#endif

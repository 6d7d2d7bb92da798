// Shared tools of the test programs: code-path forcing, bitwise comparison,
// adversarial data and the reference BLAS/LAPACK loaded by file.
#ifndef QVK_TESTS_COMMON_QVK_TEST_H
#define QVK_TESTS_COMMON_QVK_TEST_H

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kernels/vector/isa.h"

namespace qvk_test {

// Forces a code path for the lifetime of the object.
struct IsaScope {
  explicit IsaScope(int level) { qvk::isa_force(level); }
  ~IsaScope() { qvk::isa_force(-1); }
  IsaScope(const IsaScope &) = delete;
};

// Runs body(level) with each level this machine can run forced, scalar first.
template <class F>
void for_each_isa(F body) {
  for (int level = qvk::kScalar; level <= qvk::isa_supported(); ++level) {
    SCOPED_TRACE(std::string("path ") + qvk::isa_name(level));
    IsaScope scope(level);
    body(level);
  }
}

inline uint64_t bits(double v) { uint64_t u; std::memcpy(&u, &v, sizeof u); return u; }
inline double from_bits(uint64_t u) { double v; std::memcpy(&v, &u, sizeof v); return v; }

// Index of the first element whose bits differ, or -1. NaNs are equal (a path
// may swap a commutative operation's operands) but for moves (exact); the x87
// 32-bit reference libraries round twice: their oracle slack is 2^-40.
using Finder = long (*)(const double *, const double *, size_t);
long first_bit_difference(const double *a, const double *b, size_t n);
long exact_bit_difference(const double *a, const double *b, size_t n);
long oracle_difference(const double *a, const double *b, size_t n);

#define QVK_EXPECT_NO_DIFFERENCE(find, a, b, n)                                  \
  do {                                                                           \
    long qvk_at_ = find((a), (b), (n));                                          \
    EXPECT_EQ(qvk_at_, -1) << "first difference at element " << qvk_at_ << ": "  \
                           << (qvk_at_ >= 0 ? (a)[qvk_at_] : 0.0) << " vs "       \
                           << (qvk_at_ >= 0 ? (b)[qvk_at_] : 0.0);                \
  } while (0)
#define EXPECT_SAME_BITS(a, b, n) QVK_EXPECT_NO_DIFFERENCE(qvk_test::first_bit_difference, a, b, n)
#define EXPECT_ORACLE_BITS(a, b, n) QVK_EXPECT_NO_DIFFERENCE(qvk_test::oracle_difference, a, b, n)

// Wide exponents that catch a changed order or a fused multiply-add; the
// adversarial mix adds NaN payloads, infinities, signed zeros, subnormals.
std::vector<double> random_doubles(size_t n, uint32_t seed, double lo = -1.0, double hi = 1.0);
std::vector<double> adversarial_doubles(size_t n, uint32_t seed);

// Cross-build checksums: portable_doubles makes the same data in every build
// (exact integer-to-double steps only); Checksum folds NaNs to one value.
std::vector<double> portable_doubles(size_t n, uint32_t seed, int min_exp = -30, int max_exp = 30);
struct Checksum {
  uint64_t h = 14695981039346656037ull;
  void add(double v);
  void add(const double *v, size_t n) { for (size_t i = 0; i < n; ++i) add(v[i]); }
  void add(long long v);
  uint64_t value() const { return h; }
};

// The reference BLAS and LAPACK from their own files; null when missing.
void *reference_symbol(const char *name, bool lapack);
template <class F> F ref_blas(const char *name) { return reinterpret_cast<F>(reference_symbol(name, false)); }
template <class F> F ref_lapack(const char *name) { return reinterpret_cast<F>(reference_symbol(name, true)); }
#define ASSERT_ORACLE(f) ASSERT_TRUE(static_cast<bool>(f)) << "reference BLAS/LAPACK missing: " #f

using Vec = std::vector<double>;

// Runs want once and ours on every path, each on a copy of initial that it
// may append results to (a sum, an index, an info); compares them with find.
template <class Ours, class Want>
void expect_every_isa(const Vec &initial, Ours ours, Want want_op, Finder find) {
  Vec want = initial;
  want_op(want);
  for_each_isa([&](int) {
    Vec got = initial;
    ours(got);
    ASSERT_EQ(got.size(), want.size());
    QVK_EXPECT_NO_DIFFERENCE(find, got.data(), want.data(), got.size());
  });
}

// Every path gives the scalar bits (exact: NaN payloads too, for moves).
template <class Op>
void expect_paths_agree(const Vec &initial, Op op, bool exact = false) {
  auto scalar = [&](Vec &v) {
    IsaScope scope(qvk::kScalar);
    op(v);
  };
  expect_every_isa(initial, op, scalar, exact ? exact_bit_difference : first_bit_difference);
}

// Every path gives the reference's bits (EXPECT_ORACLE_BITS).
template <class Ours, class Ref>
void expect_oracle_agrees(const Vec &initial, Ours ours, Ref ref) {
  expect_every_isa(initial, ours, ref, oracle_difference);
}

}  // namespace qvk_test

#endif

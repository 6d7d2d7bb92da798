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

// Every level this machine can run, scalar first.
std::vector<int> supported_isas();

// Forces a code path for the lifetime of the object.
struct IsaScope {
  explicit IsaScope(int level) { qvk::isa_force(level); }
  ~IsaScope() { qvk::isa_force(-1); }
  IsaScope(const IsaScope &) = delete;
};

// Runs body(level) with each supported level forced in turn.
template <class F>
void for_each_isa(F body) {
  for (int level : supported_isas()) {
    SCOPED_TRACE(std::string("path ") + qvk::isa_name(level));
    IsaScope scope(level);
    body(level);
  }
}

inline uint64_t bits(double v) { uint64_t u; std::memcpy(&u, &v, sizeof u); return u; }
inline double from_bits(uint64_t u) { double v; std::memcpy(&v, &u, sizeof v); return v; }

// Index of the first element whose bits differ, or -1. Two NaNs count as
// equal (the compiler may swap the operands of a commutative operation in one
// path, and the first NaN operand's payload wins); every other bit is
// compared. Copies, which must keep payloads, use exact_bit_difference.
long first_bit_difference(const double *a, const double *b, size_t n);
long exact_bit_difference(const double *a, const double *b, size_t n);

#define QVK_EXPECT_NO_DIFFERENCE(find, a, b, n)                                  \
  do {                                                                           \
    long qvk_at_ = find((a), (b), (n));                                          \
    EXPECT_EQ(qvk_at_, -1) << "first difference at element " << qvk_at_ << ": "  \
                           << (qvk_at_ >= 0 ? (a)[qvk_at_] : 0.0) << " vs "       \
                           << (qvk_at_ >= 0 ? (b)[qvk_at_] : 0.0);                \
  } while (0)
#define EXPECT_SAME_BITS(a, b, n) QVK_EXPECT_NO_DIFFERENCE(qvk_test::first_bit_difference, a, b, n)

// Wide exponent range, cancellation, subnormals: values that catch a changed
// order or a fused multiply-add. adversarial_doubles mixes in NaNs (several
// payloads), infinities, signed zeros, subnormals, huge and tiny values.
std::vector<double> random_doubles(size_t n, uint32_t seed, double lo = -1.0, double hi = 1.0);
std::vector<double> adversarial_doubles(size_t n, uint32_t seed);

// Cross-build checksums: portable_doubles makes the same data in every build
// (exact integer-to-double steps only); Checksum folds NaNs to one value.
std::vector<double> portable_doubles(size_t n, uint32_t seed, int min_exp = -30, int max_exp = 30);
class Checksum {
 public:
  void add(double v);
  void add(const double *v, size_t n) { for (size_t i = 0; i < n; ++i) add(v[i]); }
  void add(long long v);
  uint64_t value() const { return h_; }

 private:
  uint64_t h_ = 14695981039346656037ull;
};

// Comparison with the reference BLAS/LAPACK: the same bits, as
// first_bit_difference. The distribution's 32-bit reference libraries round
// twice through x87 extended precision, so the 32-bit build accepts a
// difference up to kX87Slack of the larger magnitude (the path tests and the
// checksums hold that build's bits).
constexpr double kX87Slack = 0x1p-40;
long oracle_difference(const double *a, const double *b, size_t n);

#define EXPECT_ORACLE_BITS(a, b, n) QVK_EXPECT_NO_DIFFERENCE(qvk_test::oracle_difference, a, b, n)

// The reference BLAS and LAPACK, from their own files; null when missing
// (ASSERT_ORACLE then fails the test).
void *reference_blas_symbol(const char *name);
void *reference_lapack_symbol(const char *name);
template <class F> F ref_blas(const char *name) { return reinterpret_cast<F>(reference_blas_symbol(name)); }
template <class F> F ref_lapack(const char *name) { return reinterpret_cast<F>(reference_lapack_symbol(name)); }

using Vec = std::vector<double>;

// Sizes across every unroll, vector and cache-block boundary.
std::vector<int> boundary_sizes();

// Runs op on a copy of initial on the scalar path, then on every path, and
// expects the same bits (exact: NaN payloads too, as moves must keep them).
// op may append what it returns (a sum, an index, an info) to its buffer.
template <class Op>
void expect_paths_agree(const Vec &initial, Op op, bool exact = false) {
  Vec want = initial;
  {
    IsaScope scalar(qvk::kScalar);
    op(want);
  }
  for_each_isa([&](int) {
    Vec got = initial;
    op(got);
    ASSERT_EQ(got.size(), want.size());
    QVK_EXPECT_NO_DIFFERENCE((exact ? exact_bit_difference : first_bit_difference), got.data(), want.data(), got.size());
  });
}

// Runs ours on every path and the reference once, each on a copy of
// initial, and expects the reference's bits (EXPECT_ORACLE_BITS).
template <class Ours, class Ref>
void expect_oracle_agrees(const Vec &initial, Ours ours, Ref ref) {
  Vec want = initial;
  ref(want);
  for_each_isa([&](int) {
    Vec got = initial;
    ours(got);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_ORACLE_BITS(got.data(), want.data(), got.size());
  });
}

}  // namespace qvk_test

#define ASSERT_ORACLE(f) ASSERT_TRUE(static_cast<bool>(f)) << "reference BLAS/LAPACK missing: " #f

#endif

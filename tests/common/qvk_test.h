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
class IsaScope {
 public:
  explicit IsaScope(int level) { qvk::isa_force(level); }
  ~IsaScope() { qvk::isa_force(-1); }
  IsaScope(const IsaScope &) = delete;
  IsaScope &operator=(const IsaScope &) = delete;
};

// Runs body(level) with each supported level forced in turn; failures name
// the level.
template <class F>
void for_each_isa(F body) {
  for (int level : supported_isas()) {
    SCOPED_TRACE(std::string("path ") + qvk::isa_name(level));
    IsaScope scope(level);
    body(level);
  }
}

inline uint64_t bits(double v) {
  uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}
inline double from_bits(uint64_t u) {
  double v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}

// Index of the first element whose bits differ, or -1. Two NaNs count as
// equal: where two NaN operands meet, the processor keeps the payload of the
// first operand, and the compiler may swap the operands of a commutative
// operation in one path and not in another. Every other bit, the payload of
// a NaN that meets a number included, is compared exactly. Copies, which
// must keep every payload, are checked with exact_bit_difference.
long first_bit_difference(const double *a, const double *b, size_t n);
long exact_bit_difference(const double *a, const double *b, size_t n);

#define EXPECT_SAME_BITS(a, b, n)                                                          \
  do {                                                                                     \
    long qvk_at_ = qvk_test::first_bit_difference((a), (b), (n));                          \
    EXPECT_EQ(qvk_at_, -1) << "first difference at element " << qvk_at_ << ": "            \
                           << (qvk_at_ >= 0 ? (a)[qvk_at_] : 0.0) << " vs "                 \
                           << (qvk_at_ >= 0 ? (b)[qvk_at_] : 0.0);                          \
  } while (0)

// Values that catch a changed order or a fused multiply-add: wide exponent
// range, cancellation, subnormals.
std::vector<double> random_doubles(size_t n, uint32_t seed, double lo = -1.0, double hi = 1.0);
// As random_doubles, with NaNs (several payloads), infinities, signed zeros,
// subnormals, huge and tiny values mixed in.
std::vector<double> adversarial_doubles(size_t n, uint32_t seed);

// Cross-build checksums: the 64-bit and the 32-bit builds must give the same
// bits, so a test can hash its results and compare with one recorded value.
// portable_doubles draws from mt19937 with exact integer-to-double steps only,
// so every build sees the same data; Checksum folds NaNs to one value.
std::vector<double> portable_doubles(size_t n, uint32_t seed, int min_exp = -30, int max_exp = 30);
class Checksum {
 public:
  void add(double v);
  void add(const double *v, size_t n) {
    for (size_t i = 0; i < n; ++i) add(v[i]);
  }
  void add(long long v);
  uint64_t value() const { return h_; }

 private:
  uint64_t h_ = 14695981039346656037ull;
};

// Comparison with the reference BLAS/LAPACK: the same bits (two NaNs equal),
// as first_bit_difference. The 32-bit reference libraries of the
// distribution compute in x87 extended precision and round twice, so their
// results are not those of double arithmetic; in the 32-bit build a
// difference up to kX87Slack relative to the larger magnitude is accepted
// there. Bit identity of the 32-bit build is held by the path tests and by
// the cross-build checksums, which tie it to the 64-bit results.
constexpr double kX87Slack = 0x1p-40;
long oracle_difference(const double *a, const double *b, size_t n);

#define EXPECT_ORACLE_BITS(a, b, n)                                                      \
  do {                                                                                   \
    long qvk_at_ = qvk_test::oracle_difference((a), (b), (n));                           \
    EXPECT_EQ(qvk_at_, -1) << "first difference at element " << qvk_at_ << ": "          \
                           << (qvk_at_ >= 0 ? (a)[qvk_at_] : 0.0) << " vs "               \
                           << (qvk_at_ >= 0 ? (b)[qvk_at_] : 0.0);                        \
  } while (0)

// The reference BLAS and LAPACK, from their own files. The symbol is null
// when the library is missing: the oracle tests then fail (ASSERT_ORACLE).
void *reference_blas_symbol(const char *name);
void *reference_lapack_symbol(const char *name);

template <class F>
F ref_blas(const char *name) {
  return reinterpret_cast<F>(reference_blas_symbol(name));
}
template <class F>
F ref_lapack(const char *name) {
  return reinterpret_cast<F>(reference_lapack_symbol(name));
}

}  // namespace qvk_test

#define ASSERT_ORACLE(f) ASSERT_TRUE(static_cast<bool>(f)) << "reference BLAS/LAPACK missing: " #f

#endif

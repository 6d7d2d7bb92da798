// Oracle comparisons against the reference BLAS/LAPACK. The 64-bit reference
// libraries compute in SSE2 double precision, so our results must match them
// bit for bit. The 32-bit ones are compiled for the x87 unit, whose extended
// intermediates round differently: there the oracle is checked to a few
// units in the last place, and bit identity rests on the path tests.
#ifndef QVK_TESTS_PACKED_ORACLE_H
#define QVK_TESTS_PACKED_ORACLE_H

#include <cmath>

#include "qvk_test.h"

namespace qvk_test {

constexpr bool kOracleExact = sizeof(void *) == 8;

// Index of the first element where got and want disagree (bits on 64-bit,
// a relative 1e-10 on 32-bit), or -1.
inline long oracle_difference(const double *got, const double *want, size_t n) {
  if (kOracleExact) return first_bit_difference(got, want, n);
  for (size_t k = 0; k < n; ++k) {
    const double g = got[k], w = want[k];
    if (std::isnan(g) && std::isnan(w)) continue;
    if (!(std::fabs(g - w) <= 1e-10 * std::fmax(1.0, std::fabs(w)))) return static_cast<long>(k);
  }
  return -1;
}

}  // namespace qvk_test

#define EXPECT_ORACLE(got, want, n)                                                         \
  do {                                                                                      \
    long qvk_at_ = qvk_test::oracle_difference((got), (want), (n));                         \
    EXPECT_EQ(qvk_at_, -1) << "first difference at element " << qvk_at_ << ": "             \
                           << (qvk_at_ >= 0 ? (got)[qvk_at_] : 0.0) << " vs "                \
                           << (qvk_at_ >= 0 ? (want)[qvk_at_] : 0.0);                        \
  } while (0)

#endif

// The plain order of the frontal elimination, one element at a time.
#include "kernels/sparse/front.h"
#include "kernels/sparse/front_impl.h"

namespace {

struct PlainOps {
  static void scale3(double *a1, double *a2, double *a3, ptrdiff_t len, double a12, double a13,
                     double t, double r1, double r2, double r3) {
    for (ptrdiff_t j = 0; j < len; ++j) {
      const double l1 = a1[j] * r1;
      const double l2 = (a2[j] - a12 * l1) * r2;
      a1[j] = l1;
      a2[j] = l2;
      a3[j] = ((a3[j] - a13 * l1) - t * l2) * r3;
    }
  }
  static void scale2(double *a1, double *a2, ptrdiff_t len, double a12, double r1, double r2) {
    for (ptrdiff_t j = 0; j < len; ++j) {
      const double l1 = a1[j] * r1;
      a1[j] = l1;
      a2[j] = (a2[j] - a12 * l1) * r2;
    }
  }
  static void scale1(double *a1, ptrdiff_t len, double r) {
    for (ptrdiff_t j = 0; j < len; ++j) a1[j] = a1[j] * r;
  }
  static void rank3(double *x, double *y, const double *l1, const double *l2, const double *l3,
                    ptrdiff_t len, double s1, double s2, double s3, double u1, double u2,
                    double u3) {
    for (ptrdiff_t j = 0; j < len; ++j) {
      x[j] = ((x[j] + s1 * l1[j]) + s2 * l2[j]) + s3 * l3[j];
      y[j] = ((y[j] + u1 * l1[j]) + u2 * l2[j]) + u3 * l3[j];
    }
  }
  static void rank2(double *x, double *y, const double *l1, const double *l2, ptrdiff_t len,
                    double s1, double s2, double u1, double u2) {
    for (ptrdiff_t j = 0; j < len; ++j) {
      x[j] = (x[j] + s1 * l1[j]) + s2 * l2[j];
      y[j] = (y[j] + u1 * l1[j]) + u2 * l2[j];
    }
  }
  static void rank1(double *x, double *y, const double *l1, ptrdiff_t len, double s, double u) {
    for (ptrdiff_t j = 0; j < len; ++j) {
      x[j] = x[j] + s * l1[j];
      y[j] = y[j] + u * l1[j];
    }
  }
};

}  // namespace

namespace qvk {

const FrontPaths &front_paths(int level) {
  static void (*const fill[kIsaCount])(FrontPaths &) = {nullptr, front_fill_sse2,
                                                        front_fill_avx2, front_fill_avx512};
  static const PathTable<FrontPaths> table(FrontPaths{front_factor<PlainOps>}, fill);
  return table.level[level];
}

}  // namespace qvk

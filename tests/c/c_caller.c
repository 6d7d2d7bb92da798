/* A C caller of the shared library: the public headers compile as C, the
 * kernels are reached by their plain names, the ordering takes its scalars
 * by value and the fit a C evaluator. */
#include <stdio.h>

#include "QorVARDMathKernel/algorithms.h"
#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/sparse.h"
#include "QorVARDMathKernel/vector.h"

/* A constant basis: the fit is the weighted mean. */
static int constant(const int *one, const int *zero, const int *m, const int *one2, const int *zero2,
                    const double *x, double *scratch, double *p, int *info) {
  (void)one, (void)zero, (void)m, (void)one2, (void)zero2, (void)x, (void)scratch, (void)info;
  p[0] = 1.0;
  return 0;
}

int main(void) {
  double x[4] = {1.0, -2.0, 3.0, -4.0}, y[4] = {0.5, 0.5, 0.5, 0.5}, two = 2.0, zero = 0.0;
  double a[4] = {1.0, 2.0, 3.0, 4.0}, c[4] = {0.0, 0.0, 0.0, 0.0};
  double xyz[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0}, x0[3] = {0, 0, 0}, u[3] = {1, 2, 6}, wt[3] = {1, 1, 1};
  double f = 0.0, fa[1], fw[1], fz[1], fb[3], fp[1], coef[1];
  int n = 4, one = 1, two_i = 2, n3 = 3, info = -1, fit, nofsub = 0;
  int xadj[4] = {1, 2, 4, 5}, adjncy[4] = {2, 1, 3, 2}, invp[3], perm[3], ws[12]; /* 1 - 2 - 3 */
  HALDEN_BRIX2_INTERNAL_QorVARDMathKernel();
  /* C := 2*A*A' with A = [1 3; 2 4]. */
  eagemm("N", "T", &two_i, &two_i, &two_i, &two, a, &two_i, a, &two_i, &zero, c, &two_i, 1, 1);
  e_daxpy(&n, &two, x, &one, y, &one);
  fit = eaxrmc3(&one, &n3, xyz, x0, u, &f, constant, fa, fw, fz, fb, fp, coef, wt, &info);
  mmd(3, xadj, adjncy, invp, perm, 0, ws, ws + 3, ws + 6, ws + 9, 2147483647, &nofsub);
  if (c[0] != 20.0 || c[1] != 28.0 || c[2] != 28.0 || c[3] != 40.0 || y[0] != 2.5 || y[3] != -7.5 ||
      e_dasum(&n, x, &one) != 10.0 || e_idamax(&n, x, &one) != 4 || fit != 0 || info != 0 || f != 3.0 ||
      perm[0] != 3 || perm[1] != 1 || perm[2] != 2 || nofsub != 4) {
    printf("FAIL\n");
    return 1;
  }
  printf("ok\n");
  return 0;
}

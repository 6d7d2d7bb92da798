/* A C caller of the shared library: the public headers compile as C and the
 * kernels are reached by their plain names. */
#include <stdio.h>

#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/sparse.h"
#include "QorVARDMathKernel/vector.h"

int main(void) {
  double x[4] = {1.0, -2.0, 3.0, -4.0}, y[4] = {0.5, 0.5, 0.5, 0.5};
  int n = 4, one = 1;
  double two = 2.0;
  double a[4] = {1.0, 2.0, 3.0, 4.0}, c[4] = {0.0, 0.0, 0.0, 0.0}, zero = 0.0;
  int two_i = 2;
  HALDEN_BRIX2_INTERNAL_QorVARDMathKernel();
  /* C := 2*A*A' with A = [1 3; 2 4]. */
  eagemm("N", "T", &two_i, &two_i, &two_i, &two, a, &two_i, a, &two_i, &zero, c, &two_i, 1, 1);
  if (c[0] != 20.0 || c[1] != 28.0 || c[2] != 28.0 || c[3] != 40.0) {
    printf("FAIL\n");
    return 1;
  }
  e_daxpy(&n, &two, x, &one, y, &one);
  if (y[0] != 2.5 || y[3] != -7.5 || e_dasum(&n, x, &one) != 10.0 ||
      e_idamax(&n, x, &one) != 4) {
    printf("FAIL\n");
    return 1;
  }
  {
    /* The ordering takes its scalars by value: a path 1 - 2 - 3. */
    int xadj[4] = {1, 2, 4, 5}, adjncy[4] = {2, 1, 3, 2}, invp[3], perm[3], ws[12], nofsub = 0;
    mmd(3, xadj, adjncy, invp, perm, 0, ws, ws + 3, ws + 6, ws + 9, 2147483647, &nofsub);
    if (perm[0] != 3 || perm[1] != 1 || perm[2] != 2 || nofsub != 4) {
      printf("FAIL\n");
      return 1;
    }
  }
  printf("ok\n");
  return 0;
}

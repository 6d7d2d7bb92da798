/* A C caller of the shared library: the public headers compile as C and the
 * kernels are reached by their plain names. */
#include <stdio.h>

#include "QorVARDMathKernel/vector.h"

int main(void) {
  double x[4] = {1.0, -2.0, 3.0, -4.0}, y[4] = {0.5, 0.5, 0.5, 0.5};
  int n = 4, one = 1;
  double two = 2.0;
  HALDEN_BRIX2_INTERNAL_QorVARDMathKernel();
  e_daxpy(&n, &two, x, &one, y, &one);
  if (y[0] != 2.5 || y[3] != -7.5 || e_dasum(&n, x, &one) != 10.0 ||
      e_idamax(&n, x, &one) != 4) {
    printf("FAIL\n");
    return 1;
  }
  printf("ok\n");
  return 0;
}

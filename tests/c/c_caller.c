/* A C caller of the shared library: the public headers compile as C and the
 * kernels are reached by their plain names. */
#include <stdio.h>

#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/memory.h"
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
    char version[8] = "x";
    int words = 0;
    getversionmkl(version);
    ehumem(&words);
    if (version[0] != '\0' || words < 1) {
      printf("FAIL\n");
      return 1;
    }
  }
  printf("ok\n");
  return 0;
}

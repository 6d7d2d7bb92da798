/* Calls the kernels the way a solver module does, and prints what it did. */
#include <stdio.h>

#include "QorVARDMathKernel/vector.h"

static void show(const char *what, const double *v, int n) {
  printf("%-34s", what);
  for (int i = 0; i < n; ++i) printf(" %9.4f", v[i]);
  printf("\n");
}

int main(void) {
  enum { N = 6 };
  double x[N] = {3.0, -4.0, 12.0, 0.5, -0.25, 2.0};
  double y[N] = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  int n = N, one = 1, minus_one = -1, two = 2, half_n = N / 2;
  double alpha = 2.0, quarter_divisor = 4.0;

  show("x", x, N);
  show("y", y, N);
  e_daxpy(&n, &alpha, x, &one, y, &one);
  show("y := y + 2 x  (e_daxpy)", y, N);
  e_dcopy(&n, x, &minus_one, y, &one);
  show("y := x reversed (e_dcopy, incx -1)", y, N);
  drscl(&n, &quarter_divisor, y, &one);
  show("y := y / 4  (drscl)", y, N);
  printf("%-34s %9.4f\n", "sum |x|  (e_dasum)", e_dasum(&n, x, &one));
  printf("%-34s %9.4f\n", "||x||_2  (e_dnrm2)", e_dnrm2(&n, x, &one));
  printf("%-34s %9d\n", "argmax |x|  (e_idamax)", e_idamax(&n, x, &one));
  printf("%-34s %9.4f\n", "||x(1:2:5)||_2  (e_dnrm2, inc 2)", e_dnrm2(&half_n, x, &two));

  double a = 4.0, b = 3.0, c, s;
  e_drotg(&a, &b, &c, &s);
  printf("%-34s r=%.4f c=%.4f s=%.4f z=%.4f\n", "rotation of (4, 3)  (e_drotg)", a, c, s, b);

  /* A sparse vector of three entries against the dense y. */
  int nz = 3, indx[3] = {2, 4, 6};
  double vals[3] = {10.0, 20.0, 30.0};
  double one_d = 1.0;
  e_daxpyi(&nz, &one_d, vals, indx, y);
  show("y(2,4,6) += (10,20,30)  (e_daxpyi)", y, N);
  printf("%-34s %9.4f\n", "vals . y(2,4,6)  (e_ddoti)", e_ddoti(&nz, vals, indx, y));
  return 0;
}

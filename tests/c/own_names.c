/* The library's calls between its own kernels (eagemm clears C through
 * e_dzero, eagemv hands negative increments to dgemvf) reach its own code
 * even where the program defines functions of the same names. */
#include <stdio.h>

#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/vector.h"

static int calls;

void e_dzero(const int *n, double *x, const int *incx) {
  (void)n, (void)incx;
  x[0] = 42.0;
  ++calls;
}

void dgemvf(const char *trans, const int *m, const int *n, const double *alpha, const double *a, const int *lda,
            const double *x, const int *incx, const double *beta, double *y, const int *incy, int trans_len) {
  (void)trans, (void)m, (void)n, (void)alpha, (void)a, (void)lda, (void)x, (void)incx, (void)beta, (void)incy;
  (void)trans_len;
  y[0] = 42.0;
  ++calls;
}

int main(void) {
  double a[4] = {1.0, 2.0, 3.0, 4.0}, c[4] = {5.0, 6.0, 7.0, 8.0}, x[2] = {1.0, 1.0}, y[2] = {0.0, 0.0};
  const double zero = 0.0, one = 1.0;
  const int two = 2, ione = 1, minus = -1;
  eagemm("N", "N", &two, &two, &two, &zero, a, &two, a, &two, &zero, c, &two, 1, 1); /* C cleared */
  eagemv("N", &two, &two, &one, a, &two, x, &minus, &zero, y, &ione, 1);              /* x backwards */
  if (calls != 0 || c[0] != 0.0 || c[3] != 0.0 || y[0] != 4.0 || y[1] != 6.0) {
    printf("FAIL: the library called the program's functions (%d calls)\n", calls);
    return 1;
  }
  printf("ok\n");
  return 0;
}

/* A C program built against an installed library: a matrix product, a
 * packed Cholesky factorization and solve, vector kernels, and its verdict
 * printed through the library's trace channel. */
#include <stddef.h>
#include <stdio.h>

#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "QorVARDMathKernel/vector.h"

static int failures = 0;

static void check(int ok, const char *what) {
  if (!ok) {
    printf("FAIL: %s\n", what);
    ++failures;
  }
}

int main(void) {
  /* C := A*B with A = [1 3 5; 2 4 6] and B = [1 2; 0 1; -1 0], by columns. */
  double a[6] = {1, 2, 3, 4, 5, 6};
  double b[6] = {1, 0, -1, 2, 1, 0};
  double c[4] = {-1, -1, -1, -1};
  int m = 2, n = 2, k = 3, lda = 2, ldb = 3, ldc = 2;
  double one = 1.0, zero = 0.0;
  eagemm("N", "N", &m, &n, &k, &one, a, &lda, b, &ldb, &zero, c, &ldc, 1, 1);
  check(c[0] == -4 && c[1] == -4 && c[2] == 5 && c[3] == 8, "eagemm");

  /* A = U'U with U = [2 1 -1; 0 1 2; 0 0 4]; A upper packed is
   * a11, a12, a22, a13, a23, a33. Then A*x = (2, 9, 63)' gives x = (1, 2, 3)'. */
  double ap[6] = {4, 2, 2, -2, 1, 21};
  double rhs[3] = {2, 9, 63};
  int first = 1, order = 3, nrhs = 1, info = -1;
  double tol = 0.0, piv = 0.0;
  eaxfch(NULL, &first, &order, &tol, ap, &info, &piv);
  check(info == 0 && ap[0] == 2 && ap[2] == 1 && ap[5] == 4, "eaxfch");
  info = 0;
  e_dpptrs("U", &order, &nrhs, ap, rhs, &order, &info, 1);
  check(info == 0 && rhs[0] == 1 && rhs[1] == 2 && rhs[2] == 3, "e_dpptrs");

  /* [1 2; 2 1] is not positive definite: row 2 fails with pivot 1 - 4. */
  double indefinite[3] = {1, 2, 1};
  order = 2;
  eaxfch(NULL, &first, &order, &tol, indefinite, &info, &piv);
  check(info == 2 && piv == -3, "eaxfch failure");

  int four = 4, inc = 1;
  double x[4] = {1, -2, 3, -4}, y[4] = {1, 1, 1, 1}, two = 2.0;
  e_daxpy(&four, &two, x, &inc, y, &inc);
  check(y[0] == 3 && y[3] == -7, "e_daxpy");
  check(e_dasum(&four, x, &inc) == 10 && e_idamax(&four, x, &inc) == 4, "e_dasum, e_idamax");

  if (failures) return 1;
  int checks = 6;
  ehprini("C consumer checks passed: ", &checks);
  return 0;
}

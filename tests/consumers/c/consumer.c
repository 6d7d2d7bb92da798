/* A C program built against an installed library: a matrix product, a
 * fill-reducing ordering and a sparse solve, its verdict printed through the
 * library. */
#include <stdio.h>

#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/sparse.h"
#include "QorVARDMathKernel/sparse_solver.h"

static int failures = 0;

static void check(int ok, const char *what) {
  if (!ok) printf("FAIL: %s\n", what);
  failures += !ok;
}

int main(void) {
  /* C := A*B with A = [1 3 5; 2 4 6] and B = [1 2; 0 1; -1 0], by columns. */
  double a[6] = {1, 2, 3, 4, 5, 6}, b[6] = {1, 0, -1, 2, 1, 0}, c[4] = {-1, -1, -1, -1}, one = 1.0, zero = 0.0;
  int m = 2, k = 3, checks = 3, i;
  /* The star with centre 1 and leaves 2, 3, 4. */
  int xadj[5] = {1, 4, 5, 6, 7}, adjncy[6] = {2, 3, 4, 1, 1, 1}, invp[4], perm[4], ws[16], nofsub = 0;
  eagemm("N", "N", &m, &m, &k, &one, a, &m, b, &k, &zero, c, &m, 1, 1);
  check(c[0] == -4 && c[1] == -4 && c[2] == 5 && c[3] == 8, "eagemm");
  /* The ordering takes its scalars by value: the leaves come before the centre. */
  mmd(4, xadj, adjncy, invp, perm, 0, ws, ws + 4, ws + 8, ws + 12, 2147483647, &nofsub);
  check(invp[0] == 4 && invp[perm[0] - 1] == 1 && invp[perm[1] - 1] == 2, "mmd");
  {
    /* The 1D Laplacian of order 5, lower rows with the diagonal last: K x for
     * x = (1, 2, 3, 4, 5) is (0, 0, 0, 0, 6). */
    int n = 5, nschur = 0, job = QVK_SOLVE_FULL, nrhs = 1, ia[6] = {0, 1, 3, 5, 7, 9}, ja[9] = {1, 1, 2, 2, 3, 3, 4, 4, 5};
    double ka[9] = {2, -1, 2, -1, 2, -1, 2, -1, 2}, x[5] = {0, 0, 0, 0, 6}, err = 0.0;
    qvk_sparse_solver *h = NULL;
    int rc = qvk_sparse_create(&h);
    if (rc == QVK_SPARSE_OK) rc = qvk_sparse_analyse_matrix(&h, NULL, &n, ia, ja, NULL, &nschur, NULL, NULL);
    if (rc == QVK_SPARSE_OK) rc = qvk_sparse_factor(&h, &n, ia, ja, ka, NULL, NULL);
    if (rc == QVK_SPARSE_OK) rc = qvk_sparse_solve(&h, &job, &nrhs, x, &n, NULL);
    for (i = 0; i < 5; ++i) {
      const double d = x[i] - (i + 1);
      if (d > err || -d > err) err = d > 0 ? d : -d;
    }
    qvk_sparse_destroy(&h);
    check(rc == QVK_SPARSE_OK && err < 1e-14 && h == NULL, "sparse solver");
  }
  if (failures) return 1;
  ehprini("C consumer checks passed: ", &checks);
  return 0;
}

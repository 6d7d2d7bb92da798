// A C++ program built against an installed library: a product on
// std::vector storage, an error whose texts come from the installed message
// catalogs, one raised through the factories, working arrays from the
// memory manager, a sparse solve.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "KORSYS/QorError.h"
#include "KORSYS/QorString.h"
#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/errors.h"
#include "QorVARDMathKernel/memory.h"
#include "QorVARDMathKernel/sparse_solver.h"

namespace {
int failures = 0;
void check(bool ok, const char *what) {
  if (!ok) std::printf("FAIL: %s\n", what);
  failures += !ok;
}
}  // namespace

int main() {
  // C := 2*A'*A for A = [1 3; 2 4]: A'A = [5 11; 11 25].
  std::vector<double> a = {1, 2, 3, 4}, c(4, -1.0);
  int n = 2, checks = 5;
  double two = 2.0, zero = 0.0;
  eagemm("T", "N", &n, &n, &n, &two, a.data(), &n, a.data(), &n, &zero, c.data(), &n, 1, 1);
  check(c == std::vector<double>({10, 22, 22, 50}), "eagemm");

  // The installed catalogs are found beside the installed libraries; error
  // 302 raised is printed with its parameters and left as the last error.
  QorError *error = new QorError("ERR_0302", "QorVARDMathKernelError");
  error->SetNLSDiagnosticParams(2, "12", "8");
  check(error->GetNLSDiagnostic() == "12 KB were asked for and 8 KB are available.", "catalog text");
  error->Release();
  QorVardErrorTools::CreateError(302, "QorVARDMathKernelError", 40, 12);
  const QorError *last = QorError::QorGetLastError();
  check(last && std::strcmp(last->GetMsgId(), "ERR_0302") == 0 &&
            last->GetNLSDiagnostic() == "40 KB were asked for and 12 KB are available.",
        "raised error");
  QorError::QorSetLastError(nullptr, nullptr);

  // Three working arrays under one allocation index, used, released by it.
  QorVardMemoryManager memory(32);
  double *k = nullptr;
  int *map = nullptr, index = 0;
  char *flags = nullptr;
  const bool got = memory.Allocation(index, k, 100, map, 10, flags, 10) == 0 && index == 1 && k && map && flags;
  if (got) k[99] = map[9] = flags[9] = 1;
  check(got && memory.Desallocation(index) == 0 && memory.GetIndiceAllocation() == 1, "memory manager");

  // The 1D Laplacian of order 5 (lower rows, diagonal last) in reversed
  // order: K x = (0, 0, 0, 0, 6) for x = (1, 2, 3, 4, 5).
  {
    const int order = 5, nschur = 0, job = QVK_SOLVE_FULL, nrhs = 1;
    const std::vector<int> ia = {0, 1, 3, 5, 7, 9}, ja = {1, 1, 2, 2, 3, 3, 4, 4, 5};
    const std::vector<double> ka = {2, -1, 2, -1, 2, -1, 2, -1, 2};
    std::vector<double> x = {0, 0, 0, 0, 6};
    qvk_sparse_control control;
    qvk_sparse_defaults(&control);
    control.ordering = QVK_ORDER_REVERSED;
    qvk_sparse_info info;
    qvk_sparse_solver *h = nullptr;
    int rc = qvk_sparse_create(&h);
    if (rc == QVK_SPARSE_OK)
      rc = qvk_sparse_analyse_matrix(&h, &control, &order, ia.data(), ja.data(), nullptr, &nschur, nullptr, &info);
    if (rc == QVK_SPARSE_OK) rc = qvk_sparse_factor(&h, &order, ia.data(), ja.data(), ka.data(), nullptr, &info);
    if (rc == QVK_SPARSE_OK) rc = qvk_sparse_solve(&h, &job, &nrhs, x.data(), &order, &info);
    double err = 0.0;
    for (int i = 0; i < order; ++i) err = std::fmax(err, std::fabs(x[i] - (i + 1)));
    qvk_sparse_destroy(&h);
    check(rc == QVK_SPARSE_OK && err < 1e-14 && info.equations == order && h == nullptr, "sparse solver");
  }

  if (failures) return 1;
  ehprini("C++ consumer checks passed: ", &checks);
  return 0;
}

// A C++ program built against an installed library: every public header,
// a product on std::vector storage, the timer and date text, an error
// whose texts come from the installed message catalogs, an error raised
// through the factories, and working arrays from the memory manager.
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "KORSYS/QorBase.h"
#include "KORSYS/QorError.h"
#include "KORSYS/QorString.h"
#include "KORSYS/QorSystem.h"
#include "KORSYS/QorTrace.h"
#include "QorVARDMathKernel/algorithms.h"
#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/encap.h"
#include "QorVARDMathKernel/enums.h"
#include "QorVARDMathKernel/errors.h"
#include "QorVARDMathKernel/memory.h"
#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "QorVARDMathKernel/sparse.h"
#include "QorVARDMathKernel/types.h"
#include "QorVARDMathKernel/vector.h"

namespace {

int failures = 0;

void check(bool ok, const char *what) {
  if (!ok) {
    std::printf("FAIL: %s\n", what);
    ++failures;
  }
}

}  // namespace

int main() {
  // C := 2*A'*A for A = [1 3; 2 4]: A'A = [5 11; 11 25].
  std::vector<double> a = {1, 2, 3, 4}, c(4, -1.0);
  int n = 2;
  double two = 2.0, zero = 0.0;
  eagemm("T", "N", &n, &n, &n, &two, a.data(), &n, a.data(), &n, &zero, c.data(), &n, 1, 1);
  check(c == std::vector<double>({10, 22, 22, 50}), "eagemm");

  // y := A*x with the matrix-vector product.
  std::vector<double> x = {1, -1}, y = {7, 7};
  int inc = 1;
  double one = 1.0;
  eagemv("N", &n, &n, &one, a.data(), &n, x.data(), &inc, &zero, y.data(), &inc, 1);
  check(y[0] == -2 && y[1] == -2, "eagemv");

  // The installed catalogs are found beside the installed libraries.
  QorError *error = new QorError("ERR_0302", "QorVARDMathKernelError");
  error->SetNLSDiagnosticParams(2, "12", "8");
  check(error->GetNLSDiagnostic() == "12 KB were asked for and 8 KB are available.",
        "catalog text");
  error->Release();

  QorVardTimer timer;
  timer.Start();
  timer.Stop();
  check(timer.GetElapsed() >= 0.0 && timer.GetCPU() >= 0.0, "timer");
  char *date = nullptr;
  VardGetDate(date);
  check(date != nullptr && QorUnicodeString(date).GetLengthInChar() > 10, "date text");
  operator delete(date);
  QorVardMatrixVersion version;
  check(version.Major == 13, "version record");

  // Three working arrays under one allocation index, used, released by
  // that index.
  {
    QorVardMemoryManager memory(32);
    const int n = 10;
    double *k = nullptr;
    int *map = nullptr;
    char *flags = nullptr;
    int index = 0;
    int rc = memory.Allocation(index, k, n * n, map, n, flags, n);
    check(rc == 0 && index == 1 && k && map && flags, "memory manager allocation");
    if (rc == 0) {
      for (int i = 0; i < n; ++i) {
        k[i * n + i] = 1.0;
        map[i] = i + 1;
        flags[i] = 'y';
      }
      rc = memory.Desallocation(index);
      check(rc == 0 && memory.GetIndiceAllocation() == 1, "memory manager release");
    }
  }

  // Error 302 of the shipped catalog, printed with its parameters and left
  // as the process's last error.
  QorVardErrorTools::CreateError(302, "QorVARDMathKernelError", 40, 12);
  const QorError *last = QorError::QorGetLastError();
  check(last && std::strcmp(last->GetMsgId(), "ERR_0302") == 0 &&
            last->GetNLSDiagnostic() == "40 KB were asked for and 12 KB are available.",
        "raised error");
  QorError::QorSetLastError(nullptr, nullptr);

  if (failures) return 1;
  int checks = 9;
  ehprini("C++ consumer checks passed: ", &checks);
  return 0;
}

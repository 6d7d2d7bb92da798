// A C++ program built against an installed library: every public header,
// a product on std::vector storage, the timer and date text, and an error
// whose texts come from the installed message catalogs.
#include <cstdio>
#include <new>
#include <vector>

#include "KORSYS/QorBase.h"
#include "KORSYS/QorError.h"
#include "KORSYS/QorString.h"
#include "KORSYS/QorSystem.h"
#include "KORSYS/QorTrace.h"
#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
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

  if (failures) return 1;
  int checks = 6;
  ehprini("C++ consumer checks passed: ", &checks);
  return 0;
}

// A solver's start-up as the kernel sees it: the channels and the listing
// file are set up from the environment, and the kernel's messages, a timer
// and the date go to the listing. Run it with TBX_ODT_OUT naming a
// directory to get a listing file there; without it everything appears
// on standard output.
#include <cstdio>
#include <new>

#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/types.h"
#include "QorVARDMathKernel/vector.h"

int main() {
  SetVardTraces();
  if (QorVardListingServices::GetDescriptor() != -1) {
    // Plain stdio output stays on the terminal.
    printf("listing file: %s/%s\n", QorVardListingServices::GetDirectory().ConvertToChar(),
           QorVardListingServices::GetFileName().ConvertToChar());
    fflush(stdout);
  }

  char *date = nullptr;
  VardGetDate(date);
  ehprint("Kernel listing example, ");
  ehprint(date);
  ehprint("\n");
  operator delete(date);

  QorVardTimer timer;
  timer.Start();
  enum { N = 6 };
  double x[N] = {3.0, -4.0, 12.0, 0.5, -0.25, 2.0};
  int n = N, one = 1;
  double norm = e_dnrm2(&n, x, &one);
  timer.Stop();

  ehprini("Vector length: ", &n);
  ehprinr("Euclidean norm: %.6f", &norm);
  double tenth = 0.1;
  ehprinr("0.1 in double precision: %.20f", &tenth);
  eaoprntr("0.1 in single precision: %.20f", &tenth);
  eaoprnt("Optimization channel: one line");

  QorVardMatrixVersion version;
  ehprini("Matrix description version ", &version.Major);
  double cpu = timer.GetCPU();
  ehprinr("CPU seconds: %.3f", &cpu);
  ehprint("End of the kernel listing example\n");
  return 0;
}

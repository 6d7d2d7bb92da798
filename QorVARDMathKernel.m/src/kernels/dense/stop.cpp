#include "kernels/dense/stop.h"

#include <cstdio>
#include <cstdlib>

namespace qvk {

void product_stop(const char *message) {
  // What the caller printed before the bad call comes first; the message
  // goes where diagnostics go, unbuffered, as one line.
  std::fflush(stdout);
  std::fputs(message, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::exit(1);
}

void product_report(const char *message, int number) {
  std::printf("%s%d\n", message, number);
  std::fflush(stdout);
}

}  // namespace qvk

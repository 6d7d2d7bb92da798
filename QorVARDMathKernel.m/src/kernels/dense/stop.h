// The fatal stop of the two product drivers and the argument report of
// dgemvf: the only place where a kernel writes anything or ends the
// process.
#ifndef QVK_KERNELS_DENSE_STOP_H
#define QVK_KERNELS_DENSE_STOP_H

namespace qvk {

// Flushes standard output, writes `message` and a newline on standard error
// and ends the process with exit(1). Never returns.
[[noreturn]] void product_stop(const char *message);

// Writes `message`, the number and a newline on standard output as one
// line, and flushes it; the caller goes on.
void product_report(const char *message, int number);

}  // namespace qvk

#endif

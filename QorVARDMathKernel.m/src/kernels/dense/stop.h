// The fatal stop of the two product drivers: the only place where a kernel
// writes anything or ends the process.
#ifndef QVK_KERNELS_DENSE_STOP_H
#define QVK_KERNELS_DENSE_STOP_H

namespace qvk {

// Flushes standard output, writes `message` and a newline on standard error
// and ends the process with exit(1). Never returns.
[[noreturn]] void product_stop(const char *message);

}  // namespace qvk

#endif

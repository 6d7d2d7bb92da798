// How the memory services raise their failures: numbered errors and
// warnings of the catalog "QorVARDMathKernelError" with up to two integer
// parameters (amounts in kilobytes), and internal errors from a text. The
// last raise is remembered so that tests can tell what was raised.
#ifndef QVK_MEMORY_RAISE_H
#define QVK_MEMORY_RAISE_H

namespace qvk_memory {

constexpr const char *kCatalog = "QorVARDMathKernelError";

// Error (CreateError) or warning (CreateWarning) number of the catalog,
// with params (0, 1 or 2) integers.
void raise_numbered(bool warning, int number, int params, int p1 = 0, int p2 = 0);
// An internal error made from text: by the error's own constructor, or
// through the factories' text form when tools is set.
void raise_text(const char *text, bool tools);

struct Raised {
  long count;        // raises so far in this process
  bool warning;
  int number;        // 0 for a text
  int params;
  int p1, p2;
  const char *text;  // null for a number
};
const Raised &last_raised();

}  // namespace qvk_memory

#endif

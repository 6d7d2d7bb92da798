// Raises through the error factories; the error prints and records itself.
#include "memory/raise.h"

#include "QorVARDMathKernel/errors.h"

namespace qvk_memory {
namespace {
Raised g_last = {0, false, 0, 0, 0, 0, nullptr};

QorVardTypeEncapError parameter(int params, int k, int value) {
  return params >= k ? QorVardTypeEncapError(value) : QorVardTypeEncapError::EmptyEncapEr;
}
}  // namespace

const Raised &last_raised() { return g_last; }

void raise_numbered(bool warning, int number, int params, int p1, int p2) {
  g_last = {g_last.count + 1, warning, number, params, params > 0 ? p1 : 0, params > 1 ? p2 : 0,
            nullptr};
  if (warning)
    QorVardErrorTools::CreateWarning(number, kCatalog, parameter(params, 1, p1),
                                     parameter(params, 2, p2));
  else
    QorVardErrorTools::CreateError(number, kCatalog, parameter(params, 1, p1),
                                   parameter(params, 2, p2));
}

void raise_text(const char *text, bool tools) {
  g_last = {g_last.count + 1, false, 0, 0, 0, 0, text};
  if (tools) {
    QorVardErrorTools::Create(text);
  } else {
    // The error raises itself in its constructor and is gone when it returns.
    QorUnicodeString message(text);
    new QorVardError(&message);
  }
}

}  // namespace qvk_memory

#include "diagnostics/redirect.h"

#include <cstdio>

#include <unistd.h>

#include "QorVARDMathKernel/diagnostics.h"
#include "diagnostics/platform/platform.h"

namespace qvk::diag {

Redirection::Redirection() {
  int listing = QorVardListingServices::GetDescriptor();
  if (listing == -1) return;
  _Stdout = fileno(stdout);
  if (_Stdout < 0) return;
  _Saved = QorDup(_Stdout);
  if (_Saved == -1) return;
  _Redirected = QorDup2(listing, _Stdout);
}

Redirection::~Redirection() {
  if (_Redirected != -1) {
    // Standard output must never stay on the listing: one retry covers a
    // transient failure.
    if (QorDup2(_Saved, _Stdout) == -1) QorDup2(_Saved, _Stdout);
  }
  // The duplicate is released even if a close reports an error, so it is
  // closed directly rather than through the checkpoint: an injected
  // failure there would only simulate a leak the system cannot have.
  if (_Saved != -1) close(_Saved);
}

}  // namespace qvk::diag

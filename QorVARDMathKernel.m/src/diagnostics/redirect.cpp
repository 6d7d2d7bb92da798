#include "diagnostics/redirect.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <unistd.h>

#include "QorVARDMathKernel/diagnostics.h"
#include "diagnostics/platform/platform.h"

namespace qvk::diag {

namespace {
const int kLevel = 2;
}

std::recursive_mutex &listing_lock() {
  static std::recursive_mutex *lock = new std::recursive_mutex;
  return *lock;
}

int print_text(QorTrace &channel, const char *text, size_t length) {
  std::lock_guard<std::recursive_mutex> hold(listing_lock());
  // The level member is kept as the channel's users expect to find it;
  // the write itself takes its level as an argument.
  channel._Level = kLevel;
  return channel.TraPutTo(QorVardListingServices::_Descriptor, kLevel, text,
                          static_cast<long>(length));
}

int print_text(QorTrace &channel, const char *text) {
  return text ? print_text(channel, text, strlen(text)) : 0;
}

int print_line(QorTrace &channel, const char *text) {
  size_t n = strlen(text ? text : "");
  char *line = static_cast<char *>(malloc(n + 1));
  if (!line) return QOR_E_FAIL;
  memcpy(line, text ? text : "", n);
  line[n] = '\n';
  int rc = print_text(channel, line, n + 1);
  free(line);
  return rc;
}

Redirection::Redirection() : _Hold(listing_lock()) {
  int listing = QorVardListingServices::_Descriptor;
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

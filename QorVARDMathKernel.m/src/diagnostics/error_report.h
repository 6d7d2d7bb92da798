// The writes of an error report.
#ifndef QVK_DIAGNOSTICS_ERROR_REPORT_H
#define QVK_DIAGNOSTICS_ERROR_REPORT_H

#include "diagnostics/platform/platform.h"

namespace qvk::diag {

// One channel write of a report at level 2, into the listing when one is
// open; a write that cannot be made is dropped.
void report_write(QorTrace &channel, const char *text);

// What is printed when not even the error object can be built: the
// identifier and catalog between an UNKNOWN banner and the closing one.
void report_unbuilt(const char *msg_id, const char *catalog);

}  // namespace qvk::diag

#endif

// The library's private channel; the exported ones are in the public
// diagnostics header.
#ifndef QVK_DIAGNOSTICS_CHANNELS_H
#define QVK_DIAGNOSTICS_CHANNELS_H

#include "diagnostics/platform/platform.h"

namespace qvk::diag {
extern QorTrace vardbas_channel;  // "VARDBAS", never written
}

#endif

// The library's view of the system services (libKORSYS.so): everything the
// diagnostics use of the platform comes through this header. Every
// allocation and file call of the platform passes its fault checkpoint, so
// that tests can make any of them fail.
#ifndef QVK_DIAGNOSTICS_PLATFORM_PLATFORM_H
#define QVK_DIAGNOSTICS_PLATFORM_PLATFORM_H

#include "KORSYS/QorError.h"
#include "KORSYS/QorString.h"
#include "KORSYS/QorSystem.h"
#include "KORSYS/QorTrace.h"

#endif

/* Export marker of libKORSYS.so, the system-services library. Everything
 * it does not mark is hidden. */
#ifndef KORSYS_EXPORT_H
#define KORSYS_EXPORT_H

#if defined(__GNUC__)
#define KORSYS_EXPORT __attribute__((visibility("default")))
#else
#define KORSYS_EXPORT
#endif

#endif

/* Export marker for the names that libQorVARDMathKernel.so offers. Every
 * other symbol of the library is hidden. */
#ifndef QORVARDMATHKERNEL_EXPORT_H
#define QORVARDMATHKERNEL_EXPORT_H

#if defined(__GNUC__)
#define QVK_EXPORT __attribute__((visibility("default")))
#else
#define QVK_EXPORT
#endif

#ifdef __cplusplus
/* Open and close the C linkage block of a header read by C++. */
#define QVK_EXTERN_C_BEGIN extern "C" {
#define QVK_EXTERN_C_END }
#else
#define QVK_EXTERN_C_BEGIN
#define QVK_EXTERN_C_END
#endif

QVK_EXTERN_C_BEGIN
/* Does nothing; its presence marks the library. */
QVK_EXPORT void HALDEN_BRIX2_INTERNAL_QorVARDMathKernel(void);
QVK_EXTERN_C_END

#endif

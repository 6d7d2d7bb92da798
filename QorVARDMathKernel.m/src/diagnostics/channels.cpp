// The trace channels, in the order of construction (destroyed in the
// reverse order at unload). VARDBAS belongs to the library and is never
// written.
#include "QorVARDMathKernel/diagnostics.h"
#include "diagnostics/channels.h"
#include "diagnostics/platform/platform.h"

QorTrace Tra_VARDPrint("VARDPrint", "Strato traces for listing", 0, "STDOUT", 1024);
QorTrace Tra_VARDCompute("VARDCompute", "Strato traces for computation", 0, "STDOUT", 1024);
QorTrace Tra_VARDDefine("VARDDefine", "Strato traces for definition", 0, "STDOUT", 1024);
QorTrace Tra_VARDStorage("VARDStorage", "Strato traces for external storage", 0, "STDOUT", 1024);
QorTrace Tra_VARDAcquire("VARDAcquire", "Strato traces for acquisition", 0, "STDOUT", 1024);
QorTrace Tra_VARDOutput("VARDOutput", "Strato traces for acquisition", 0, "STDOUT", 1024);
QorTrace Tra_VARDInfra("VARDInfra", "Strato traces for infrastructure", 0, "STDOUT", 1024);
QorTrace Tra_VARDStorageLink("VARDStorageLink", "Strato traces for external storage links ", 0,
                             "STDOUT", 1024);
QorTrace Tra_VARDError("VARDError", "Strato traces for errors", 0, "STDOUT", 1024);
QorTrace Tra_VARDCpuElapse("VARDCpuElapse", "Strato traces for Cpu and Elapses", 0, "STDOUT",
                           1024);
QorTrace Tra_OPTPrint("OPTPrint", "Optimization traces", 0, "STDOUT", 1024);
QorTrace Tra_VARDOptim("VARDOptim", "Strato traces for optimization", 0, "STDOUT", 1024);

namespace qvk::diag {
QorTrace vardbas_channel("VARDBAS", "[VARDBAS] ", 0, "STDOUT", 1024);
}

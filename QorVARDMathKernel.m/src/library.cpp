#include "QorVARDMathKernel/export.h"

extern "C" void HALDEN_BRIX2_INTERNAL_QorVARDMathKernel(void) {}

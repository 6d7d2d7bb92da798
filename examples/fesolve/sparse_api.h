// The kernel's sparse-structure routines as this program calls them. A
// library built without its sparse header gets the program's own stand-ins
// (sparse_standin.cpp), with the same arguments.
#ifndef FESOLVE_SPARSE_API_H
#define FESOLVE_SPARSE_API_H

#if defined(FESOLVE_HAVE_SPARSE)
#include "QorVARDMathKernel/sparse.h"
#else
extern "C" {
int eaunle(const int *n, const int *m, const int *nz, const int *eptr, const int *eidx,
           int *nptr, int *nidx);
int eaupnn(const int *n, const int *m, const int *nz, const int *eptr, const int *eidx,
           int *nptr, int *nidx, int *work, int *aptr, int *total);
int eaunln(const int *n, const int *m, const int *nz, const int *eptr, const int *eidx,
           const int *nptr, const int *nidx, int *work, int *adj);
void mmd(int neqns, int *xadj, int *adjncy, int *invp, int *perm, int delta, int *dhead,
         int *qsize, int *llist, int *marker, int maxint, int *nofsub);
int easlff_nt(const int *n, const int *npiv, double *a, double *ratiomin, const double *dorig,
              const double *tiny, const double *thr, int *count, int *stats, float *flops1,
              float *flops2, int *status);
}
// Tells whether mmd is the real ordering (the stand-in keeps the order).
constexpr bool kHaveMmd = false;
#endif

#if defined(FESOLVE_HAVE_SPARSE)
constexpr bool kHaveMmd = true;
#endif

#endif

// Stand-ins for the kernel's sparse-structure routines, used only when the
// library at hand has no sparse header. They give the same structures (the
// connectivity lists) or a correct but plainer result (the frontal
// elimination without the pivot blocking; no reordering at all for mmd).
#include <cmath>

#include "sparse_api.h"

extern "C" {

int eaunle(const int *n, const int *m, const int *, const int *eptr, const int *eidx, int *nptr,
           int *nidx) {
  for (int j = 0; j <= *n; ++j) nptr[j] = 0;
  for (int p = 0; p < (*m >= 1 ? eptr[*m] : 0); ++p) ++nptr[eidx[p]];
  int s = 0;
  for (int j = 1; j <= *n; ++j) {
    int c = nptr[j];
    nptr[j] = s;
    s += c;
  }
  for (int e = 0; e < *m; ++e)
    for (int p = eptr[e]; p < eptr[e + 1]; ++p) nidx[nptr[eidx[p]]++] = e + 1;
  return 0;
}

int eaupnn(const int *n, const int *m, const int *nz, const int *eptr, const int *eidx,
           int *nptr, int *nidx, int *work, int *aptr, int *total) {
  eaunle(n, m, nz, eptr, eidx, nptr, nidx);
  for (int i = 0; i < *n; ++i) work[i] = 0;
  aptr[0] = 0;
  for (int i = 1; i <= *n; ++i) {
    work[i - 1] = i;
    int c = 0;
    for (int q = nptr[i - 1]; q < nptr[i]; ++q) {
      int e = nidx[q];
      for (int p = eptr[e - 1]; p < eptr[e]; ++p)
        if (work[eidx[p] - 1] != i) {
          work[eidx[p] - 1] = i;
          ++c;
        }
    }
    aptr[i] = aptr[i - 1] + c;
  }
  *total = aptr[*n];
  return 0;
}

int eaunln(const int *n, const int *, const int *, const int *eptr, const int *eidx,
           const int *nptr, const int *nidx, int *work, int *adj) {
  // work[j] marks node j's membership by the current node; the list is
  // sorted by counting over marks (node numbers are dense).
  for (int j = 0; j <= *n; ++j) work[j] = 0;
  int q = 0;
  for (int i = 1; i <= *n; ++i) {
    int start = q;
    work[i] = i;
    for (int r = nptr[i - 1]; r < nptr[i]; ++r) {
      int e = nidx[r];
      for (int p = eptr[e - 1]; p < eptr[e]; ++p) {
        int j = eidx[p];
        if (work[j] != i) {
          work[j] = i;
          int k = q++;
          while (k > start && adj[k - 1] > j) {
            adj[k] = adj[k - 1];
            --k;
          }
          adj[k] = j;
        }
      }
    }
  }
  return 0;
}

void mmd(int neqns, int *, int *, int *invp, int *perm, int, int *, int *, int *, int *, int,
         int *nofsub) {
  if (neqns < 1) return;
  for (int i = 0; i < neqns; ++i) perm[i] = invp[i] = i + 1;
  *nofsub = 0;
}

int easlff_nt(const int *n, const int *npiv, double *a, double *ratiomin, const double *dorig,
              const double *tiny, const double *thr, int *count, int *stats, float *, float *,
              int *status) {
  // Row k of the front starts at its diagonal and runs to column n.
  const int nn = *n;
  auto at = [nn](int r, int c) { return r * nn - r * (r - 1) / 2 + (c - r); };
  *status = 0;
  for (int k = 0; k < *npiv; ++k) {
    double d = a[at(k, k)];
    ++*count;
    if (std::fabs(d) < *tiny) {
      *status = 6;
      *ratiomin = d;
      return 1;
    }
    double r = d / dorig[*count - 1];
    if (!(*ratiomin <= r)) *ratiomin = r;
    if (r <= *thr) {
      a[at(k, k)] = r;
      *status = 34;
      return 1;
    }
    ++stats[0];
    for (int i = k + 1; i < nn; ++i) {
      double s = a[at(k, i)];
      for (int j = i; j < nn; ++j) a[at(i, j)] -= s * a[at(k, j)] / d;
    }
    for (int j = k + 1; j < nn; ++j) a[at(k, j)] /= d;
  }
  return 0;
}
}

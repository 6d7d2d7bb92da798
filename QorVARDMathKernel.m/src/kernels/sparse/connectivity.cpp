// Element connectivity: node-to-element lists, node-to-node sizes and sorted
// lists, and the owner map of numbered ranges, all in the offset form.
// Arrays are 1-based in the manual; here p[j-1] stands for p(j).
#include "QorVARDMathKernel/sparse.h"
#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/vector.h"

extern "C" {

int eaunle(const int *n, const int *m, const int *, const int *eptr, const int *eidx, int *nptr,
           int *nidx) {
  const int nn = *n, mm = *m;
  if (nn >= 0) {
    const int len = nn + 1, one = 1;
    e_izero(&len, nptr, &one);
  }
  // Count each node's memberships in nptr(j+1).
  for (int e = 0; e < mm; ++e)
    for (int p = eptr[e]; p < eptr[e + 1]; ++p) ++nptr[eidx[p]];
  // Counts become start offsets, shifted one slot right so that the fill
  // below leaves nptr(j+1) at the end of node j's list.
  int s = 0;
  for (int j = 1; j <= nn; ++j) {
    const int c = nptr[j];
    nptr[j] = s;
    s += c;
  }
  for (int e = 0; e < mm; ++e)
    for (int p = eptr[e]; p < eptr[e + 1]; ++p) nidx[nptr[eidx[p]]++] = e + 1;
  return 0;
}

int eaupnn(const int *n, const int *m, const int *nz, const int *eptr, const int *eidx, int *nptr,
           int *nidx, int *work, int *aptr, int *total) {
  const int nn = *n;
  const int one = 1;
  if (nn >= 0) {
    const int len = nn + 1;
    e_izero(&len, aptr, &one);
  }
  eaunle(n, m, nz, eptr, eidx, nptr, nidx);
  e_izero(n, work, &one);
  // work(j) = i marks node j as counted for node i; i marks itself first.
  for (int i = 1; i <= nn; ++i) {
    work[i - 1] = i;
    int c = 0;
    for (int q = nptr[i - 1]; q < nptr[i]; ++q) {
      const int e = nidx[q] - 1;
      for (int p = eptr[e]; p < eptr[e + 1]; ++p) {
        const int j = eidx[p];
        if (work[j - 1] != i) {
          work[j - 1] = i;
          ++c;
        }
      }
    }
    aptr[i] = aptr[i - 1] + c;
  }
  *total = nn >= 0 ? aptr[nn] : 0;
  return 0;
}

int eaunln(const int *n, const int *, const int *, const int *eptr, const int *eidx,
           const int *nptr, const int *nidx, int *work, int *adj) {
  const int nn = *n;
  const int end = nn + 1;
  // link[0] heads the sorted list of node i's neighbours, link[j] follows
  // node j: 0 = not listed, end = last, -1 = node i itself.
  int *const link = work;
  const int one = 1;
  e_izero(n, link + 1, &one);
  int q = 0;
  for (int i = 1; i <= nn; ++i) {
    link[0] = end;
    if (nptr[i] > nptr[i - 1]) link[i] = -1;
    int c = 0;
    for (int r = nptr[i - 1]; r < nptr[i]; ++r) {
      const int e = nidx[r] - 1;
      for (int p = eptr[e]; p < eptr[e + 1]; ++p) {
        const int j = eidx[p];
        if (link[j] != 0) continue;
        ++c;
        // Sorted insertion: after the last listed node below j.
        int prev = 0, next = link[0];
        while (next < j) {
          prev = next;
          next = link[next];
        }
        link[j] = next;
        link[prev] = j;
      }
    }
    // Copy out in order, unlinking as we go.
    for (int k = 0, j = link[0]; k < c; ++k) {
      adj[q + k] = j;
      const int next = link[j];
      link[j] = 0;
      j = next;
    }
    q += c;
    link[i] = 0;
  }
  return 0;
}

int eaupne(const int *nown, const int *nitem1, const int *npos1, const int *np, const int *first,
           int *owner) {
  const int no = *nown, n1 = *nitem1, p1 = *npos1, last = *np;
  const int code = 3, len = last + 1;
  eaxraz(&code, owner, &len);
  for (int i = 1; i <= n1; ++i) owner[first[i - 1]] = i;
  // The first range's fill stops at np: with no second range, npos1 is
  // not bounded by the array otherwise.
  const int stop1 = p1 < last ? p1 : last;
  for (int p = 1; p <= stop1; ++p)
    if (owner[p] == 0) owner[p] = owner[p - 1];
  for (int i = n1 + 1; i <= no; ++i) owner[p1 + first[i - 1]] = i;
  for (int p = (p1 > 0 ? p1 + 1 : 1); p <= last; ++p)
    if (owner[p] == 0) owner[p] = owner[p - 1];
  return 0;
}

}  // extern "C"

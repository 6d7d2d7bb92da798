// Nested dissection through METIS_NodeND. METIS takes non-const idx_t
// arrays, so the graph is copied into arrays of its own type (whatever the
// width of idx_t in the installed metis.h) and the inputs stay untouched.
//
// METIS's outputs (manual of 5.1, METIS_NodeND): row i of the permuted
// matrix is row perm[i] of the original, and iperm[i] is the new position of
// original row i. So METIS's perm is the elimination order itself:
// perm[k] = node eliminated k-th.
#include "kernels/sparse/nested.h"

#include "QorVARDMathKernel/sparse_solver.h"

#ifdef QVK_HAVE_METIS
#include <metis.h>

#include <new>
#include <vector>
#endif

namespace qvk {

#ifdef QVK_HAVE_METIS

bool nested_dissection_available() { return true; }

int nested_dissection(int n, const int *xadj, const int *adj, const int *vwgt, int *perm) {
  if (n < 0 || !xadj || !perm) return QVK_SPARSE_BAD_ARGUMENT;
  if (n == 0) return QVK_SPARSE_OK;
  // What METIS does not check and would not survive.
  if (xadj[0] != 0) return QVK_SPARSE_BAD_STRUCTURE;
  for (int i = 0; i < n; ++i) {
    if (xadj[i + 1] < xadj[i]) return QVK_SPARSE_BAD_STRUCTURE;
    if (vwgt && vwgt[i] < 1) return QVK_SPARSE_BAD_STRUCTURE;
  }
  const int nnz = xadj[n];
  if (nnz > 0 && !adj) return QVK_SPARSE_BAD_ARGUMENT;
  for (int i = 0; i < n; ++i)
    for (int p = xadj[i]; p < xadj[i + 1]; ++p)
      if (adj[p] < 0 || adj[p] >= n || adj[p] == i) return QVK_SPARSE_BAD_STRUCTURE;

  try {
    // A graph without edges still gets an adjacency array of one element.
    std::vector<idx_t> x(xadj, xadj + n + 1), a(nnz > 0 ? adj : xadj, nnz > 0 ? adj + nnz : xadj + 1);
    std::vector<idx_t> w, order(n), inverse(n);
    if (vwgt) w.assign(vwgt, vwgt + n);
    idx_t nv = n;
    idx_t options[METIS_NOPTIONS];
    METIS_SetDefaultOptions(options);
    options[METIS_OPTION_NUMBERING] = 0;
    const int rc = METIS_NodeND(&nv, x.data(), a.data(), vwgt ? w.data() : nullptr, options, order.data(),
                                inverse.data());
    if (rc == METIS_ERROR_MEMORY) return QVK_SPARSE_NO_MEMORY;
    if (rc == METIS_ERROR_INPUT) return QVK_SPARSE_BAD_STRUCTURE;
    if (rc != METIS_OK) return QVK_SPARSE_BAD_ARGUMENT;
    for (int k = 0; k < n; ++k) perm[k] = static_cast<int>(order[k]);
  } catch (const std::bad_alloc &) {
    return QVK_SPARSE_NO_MEMORY;
  }
  return QVK_SPARSE_OK;
}

#else

bool nested_dissection_available() { return false; }

int nested_dissection(int, const int *, const int *, const int *, int *) { return QVK_SPARSE_UNAVAILABLE; }

#endif

}  // namespace qvk

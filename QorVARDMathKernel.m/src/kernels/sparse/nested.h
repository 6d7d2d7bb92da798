// Nested dissection ordering of a node graph through METIS 5.1 (a build
// dependency, optional: a build without it reports QVK_SPARSE_UNAVAILABLE).
#ifndef QVK_KERNELS_SPARSE_NESTED_H
#define QVK_KERNELS_SPARSE_NESTED_H

namespace qvk {

// Nested dissection order of a graph by METIS_NodeND with fixed options
// (METIS_SetDefaultOptions, then METIS_OPTION_NUMBERING = 0; default seed,
// so the order is the same on every run).
// n nodes; xadj(n+1) 0-based offsets; adj 0-based neighbours (no self
// entries, symmetric); vwgt: weight of each node (its equations, at least 1)
// or null. perm[k] = node eliminated k-th (0-based).
// Returns 0; 8 (QVK_SPARSE_UNAVAILABLE) in a build without METIS;
// 7 (QVK_SPARSE_NO_MEMORY) when an array cannot be had or METIS reports
// METIS_ERROR_MEMORY; 2 for METIS_ERROR_INPUT and for input that METIS would
// not survive (checked first: xadj not starting at 0 or decreasing, a
// neighbour out of range or the node itself, a weight below 1); 1 for a
// negative n, a null array, or any other METIS failure. The inputs are only
// read; perm is written only on success.
int nested_dissection(int n, const int *xadj, const int *adj, const int *vwgt, int *perm);

// True in a build with METIS.
bool nested_dissection_available();

}  // namespace qvk

#endif

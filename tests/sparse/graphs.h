// Graphs for the ordering tests and a symbolic factorization to measure the
// fill of an ordering.
#ifndef QVK_TESTS_SPARSE_GRAPHS_H
#define QVK_TESTS_SPARSE_GRAPHS_H

#include <cstdint>
#include <vector>

namespace qvk_sparse_test {

// Adjacency in the pointer form of the ordering routines: node i's
// neighbours are adjncy[xadj[i-1]-1 .. xadj[i]-2], 1-based nodes.
struct Graph {
  int n = 0;
  std::vector<int> xadj{1}, adjncy;
};

// Regular grids nx*ny*nz whose stencil joins nodes at offsets of at most 1
// in every direction; full = false keeps only the axis neighbours (5- and
// 7-point), full = true every neighbour (9- and 27-point).
Graph grid(int nx, int ny, int nz, bool full);

// Graph from lists of neighbours (1-based), in the given order.
Graph from_lists(const std::vector<std::vector<int>> &lists);

struct Ordering {
  std::vector<int> perm, invp;
  int nofsub = -1;
  bool guards_intact = false;  // nothing written past any array
};
Ordering order(const Graph &g, int delta, int maxint = 0x7fffffff);

// Off-diagonal entries of the Cholesky factor of the graph's matrix in the
// order perm (1-based, perm[k-1] = node placed k-th).
int64_t factor_entries(const Graph &g, const std::vector<int> &perm);

}  // namespace qvk_sparse_test

#endif

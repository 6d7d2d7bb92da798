// Graphs for the ordering's tests and benchmark, and the fill of an ordering.
#ifndef QVK_TESTS_SPARSE_GRAPHS_H
#define QVK_TESTS_SPARSE_GRAPHS_H

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qvk_sparse_test {

using V = std::vector<int>;

// A graph in the pointer form of the ordering: node i's neighbours are
// adjncy[xadj[i-1]-1 .. xadj[i]-2].
struct Graph {
  int n = 0;
  V xadj{1}, adjncy;
};

inline Graph from_lists(const std::vector<V> &lists) {
  Graph g;
  g.n = static_cast<int>(lists.size());
  for (const V &l : lists) {
    g.adjncy.insert(g.adjncy.end(), l.begin(), l.end());
    g.xadj.push_back(static_cast<int>(g.adjncy.size()) + 1);
  }
  return g;
}

// nx*ny*nz grid: neighbours along the axes (5-, 7-point) or all (9-, 27-point).
inline Graph grid(int nx, int ny, int nz, bool full) {
  std::vector<V> lists(static_cast<size_t>(nx) * ny * nz);
  for (int v = 0; v < static_cast<int>(lists.size()); ++v)
    for (int d = 0; d < 27; ++d) {  // offsets -1..1 in x fastest, then y, then z
      const int dx = d % 3 - 1, dy = d / 3 % 3 - 1, dz = d / 9 - 1, k = (dx != 0) + (dy != 0) + (dz != 0);
      const int X = v % nx + dx, Y = v / nx % ny + dy, Z = v / nx / ny + dz;
      if (k > 0 && (full || k == 1) && X >= 0 && Y >= 0 && Z >= 0 && X < nx && Y < ny && Z < nz)
        lists[v].push_back(1 + X + nx * (Y + ny * Z));
    }
  return from_lists(lists);
}

// Off-diagonal entries of the Cholesky factor in the order perm: column
// k's rows are its later neighbours and the rows of its children's columns.
inline int64_t factor_entries(const Graph &g, const V &perm) {
  const int n = g.n;
  V pos(n + 1), mark(n, -1);
  for (int k = 0; k < n; ++k) pos[perm[k]] = k;
  std::vector<V> cols(n), children(n);
  int64_t total = 0;
  for (int k = 0; k < n; ++k) {
    V &c = cols[k];
    auto add = [&](int r) {
      if (r <= k || mark[r] == k) return;
      mark[r] = k;
      c.push_back(r);
    };
    for (int p = g.xadj[perm[k] - 1]; p < g.xadj[perm[k]]; ++p) add(pos[g.adjncy[p - 1]]);
    for (int ch : children[k]) {
      for (int r : cols[ch]) add(r);
      V().swap(cols[ch]);
    }
    total += static_cast<int64_t>(c.size());
    if (!c.empty()) children[*std::min_element(c.begin(), c.end())].push_back(k);
  }
  return total;
}

}  // namespace qvk_sparse_test

#endif

#include "graphs.h"

#include <algorithm>

#include "QorVARDMathKernel/sparse.h"

namespace qvk_sparse_test {

Graph from_lists(const std::vector<std::vector<int>> &lists) {
  Graph g;
  g.n = static_cast<int>(lists.size());
  for (const auto &l : lists) {
    g.adjncy.insert(g.adjncy.end(), l.begin(), l.end());
    g.xadj.push_back(static_cast<int>(g.adjncy.size()) + 1);
  }
  return g;
}

Graph grid(int nx, int ny, int nz, bool full) {
  std::vector<std::vector<int>> lists(static_cast<size_t>(nx) * ny * nz);
  auto id = [&](int x, int y, int z) { return 1 + x + nx * (y + ny * z); };
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x)
        for (int dz = -1; dz <= 1; ++dz)
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
              const int d = (dx != 0) + (dy != 0) + (dz != 0);
              if (d == 0 || (!full && d > 1)) continue;
              const int X = x + dx, Y = y + dy, Z = z + dz;
              if (X < 0 || Y < 0 || Z < 0 || X >= nx || Y >= ny || Z >= nz) continue;
              lists[id(x, y, z) - 1].push_back(id(X, Y, Z));
            }
  return from_lists(lists);
}

Ordering order(const Graph &g, int delta, int maxint) {
  const size_t n = static_cast<size_t>(g.n);
  std::vector<int> adjncy = g.adjncy, dhead(n + 1), qsize(n + 1), llist(n + 1), marker(n + 1);
  adjncy.push_back(0);  // guard; also keeps data() valid for an empty graph
  Ordering o;
  o.perm.assign(n + 1, 0);
  o.invp.assign(n + 1, 0);
  // A guard word after each array of neqns entries.
  const int guard = -0x2bad;
  for (std::vector<int> *v : {&dhead, &qsize, &llist, &marker, &o.perm, &o.invp}) v->back() = guard;
  mmd(g.n, g.xadj.data(), adjncy.data(), o.invp.data(), o.perm.data(), delta, dhead.data(),
      qsize.data(), llist.data(), marker.data(), maxint, &o.nofsub);
  o.guards_intact = adjncy.back() == 0;
  for (std::vector<int> *v : {&dhead, &qsize, &llist, &marker, &o.perm, &o.invp})
    o.guards_intact = o.guards_intact && v->back() == guard;
  o.perm.pop_back();
  o.invp.pop_back();
  return o;
}

int64_t factor_entries(const Graph &g, const std::vector<int> &perm) {
  const int n = g.n;
  std::vector<int> pos(n + 1);
  for (int k = 0; k < n; ++k) pos[perm[k]] = k;
  // Column structures by elimination: column k's rows are its later
  // neighbours and the rows of its children's columns.
  std::vector<std::vector<int>> cols(n);
  std::vector<std::vector<int>> children(n);
  std::vector<int> mark(n, -1);
  int64_t total = 0;
  for (int k = 0; k < n; ++k) {
    const int v = perm[k];
    std::vector<int> &c = cols[k];
    mark[k] = k;
    for (int p = g.xadj[v - 1]; p < g.xadj[v]; ++p) {
      const int r = pos[g.adjncy[p - 1]];
      if (r > k && mark[r] != k) {
        mark[r] = k;
        c.push_back(r);
      }
    }
    for (int ch : children[k]) {
      for (int r : cols[ch])
        if (r > k && mark[r] != k) {
          mark[r] = k;
          c.push_back(r);
        }
      std::vector<int>().swap(cols[ch]);
    }
    total += static_cast<int64_t>(c.size());
    if (!c.empty()) children[*std::min_element(c.begin(), c.end())].push_back(k);
  }
  return total;
}

}  // namespace qvk_sparse_test

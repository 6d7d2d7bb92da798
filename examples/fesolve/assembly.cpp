// From the mesh to the stored matrices: dof numbering, the node graph built
// by the kernel's connectivity routines, and the assembly of stiffness, mass
// and loads on that graph's pattern.
#include <algorithm>
#include <string>

#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/sparse.h"
#include "fesolve.h"

namespace fesolve {

void number_dofs(Dofs &d) {
  d.neq = 0;
  for (int &e : d.eq) e = e < 0 ? -1 : d.neq++;
}

Graph node_graph(const Mesh &mesh, const Dofs &d) {
  int n = mesh.nodes(), m = mesh.elements(), nz = static_cast<int>(mesh.conn.size());
  // The connectivity routines take 1-based members in the offset form.
  std::vector<int> eidx(mesh.conn.begin(), mesh.conn.end());
  for (int &v : eidx) ++v;
  std::vector<int> nptr(n + 1), nidx(std::max(nz, 1)), work(n + 1), aptr(n + 1);
  int total = 0;
  eaupnn(&n, &m, &nz, mesh.start.data(), eidx.data(), nptr.data(), nidx.data(), work.data(),
         aptr.data(), &total);
  std::vector<int> adj(std::max(total, 1));
  eaunln(&n, &m, &nz, mesh.start.data(), eidx.data(), nptr.data(), nidx.data(), work.data(),
         adj.data());

  // Keep the nodes that carry free dofs; their order is the node order, so
  // that equations grow with the graph's node numbers.
  Graph g;
  std::vector<int> gid(n, -1);
  for (int v = 0; v < n; ++v) {
    int w = 0, f = -1;
    for (int c = 0; c < 3; ++c)
      if (d.eq[3 * v + c] >= 0) {
        if (f < 0) f = d.eq[3 * v + c];
        ++w;
      }
    if (w == 0) continue;
    gid[v] = g.n++;
    g.width.push_back(w);
    g.first.push_back(f);
  }
  g.xadj.push_back(0);
  for (int v = 0; v < n; ++v) {
    if (gid[v] < 0) continue;
    for (int p = aptr[v]; p < aptr[v + 1]; ++p)
      if (gid[adj[p] - 1] >= 0) g.adj.push_back(gid[adj[p] - 1]);
    g.xadj.push_back(static_cast<int>(g.adj.size()));
  }
  return g;
}

namespace {

// The lower pattern by rows, columns increasing, diagonal last: every pair
// of equations of neighbouring (or the same) graph nodes.
void pattern(const Graph &g, int neq, Stored &s) {
  s.n = neq;
  s.ia.assign(neq + 1, 0);
  s.ja.clear();
  std::vector<int> nb;
  for (int v = 0; v < g.n; ++v) {
    nb.assign(g.adj.begin() + g.xadj[v], g.adj.begin() + g.xadj[v + 1]);
    std::sort(nb.begin(), nb.end(), [&](int a, int b) { return g.first[a] < g.first[b]; });
    for (int c = 0; c < g.width[v]; ++c) {
      const int row = g.first[v] + c;
      for (int u : nb) {
        if (g.first[u] > g.first[v]) break;
        for (int q = 0; q < g.width[u]; ++q) s.ja.push_back(g.first[u] + q + 1);
      }
      for (int q = 0; q < c; ++q) s.ja.push_back(g.first[v] + q + 1);
      s.ja.push_back(row + 1);
      s.ia[row + 1] = static_cast<int>(s.ja.size());
    }
  }
  s.a.assign(s.ja.size(), 0.0);
}

// Position (0-based) of entry (row, col), col <= row, in the stored matrix.
inline int find(const Stored &s, int row, int col) {
  if (col == row) return s.ia[row + 1] - 1;
  const int *b = s.ja.data() + s.ia[row], *e = s.ja.data() + s.ia[row + 1] - 1;
  const int *p = std::lower_bound(b, e, col + 1);
  return static_cast<int>(p - s.ja.data());
}

}  // namespace

void assemble(const Mesh &mesh, const Material &mat, const Dofs &d, const Graph &g,
              Stored &k, Stored *mass, std::vector<double> &rhs) {
  pattern(g, d.neq, k);
  if (mass) *mass = k;
  rhs.resize(d.neq, 0.0);
  double ke[24 * 24], me[24 * 24], x[24];
  int eq[24];
  for (int e = 0; e < mesh.elements(); ++e) {
    const int nn = mesh.start[e + 1] - mesh.start[e], nd = 3 * nn;
    for (int a = 0; a < nn; ++a) {
      const int node = mesh.conn[mesh.start[e] + a];
      for (int c = 0; c < 3; ++c) {
        x[3 * a + c] = mesh.xyz[3 * node + c];
        eq[3 * a + c] = d.eq[3 * node + c];
      }
    }
    const bool ok = mesh.kind[e] == kHex8 ? hex8_matrices(x, mat, ke, mass ? me : nullptr)
                                          : tet4_matrices(x, mat, ke, mass ? me : nullptr);
    if (!ok) throw InputError("element " + std::to_string(e + 1) + " is inverted or degenerate");
    for (int p = 0; p < nd; ++p) {
      const int r = eq[p];
      if (r < 0) continue;
      for (int q = 0; q < nd; ++q) {
        const int c = eq[q];
        if (c < 0) {
          const int node = mesh.conn[mesh.start[e] + q / 3];
          rhs[r] -= ke[p * nd + q] * d.fixed[3 * node + q % 3];
          continue;
        }
        if (c > r) continue;
        const int at = find(k, r, c);
        k.a[at] += ke[p * nd + q];
        if (mass) mass->a[at] += me[p * nd + q];
      }
    }
  }
}

void stored_product(const Stored &a, int nvec, const double *x, double *y) {
  const int mode = 1, nnz = a.nnz();
  eaxmvm(&mode, &nnz, &a.n, &a.n, &nvec, a.ja.data(), a.ia.data(), a.a.data(), x, y);
}

}  // namespace fesolve

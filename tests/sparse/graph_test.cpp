// From elements to an ordering: connectivity lists, the owner map and the
// multiple minimum degree ordering of the graphs they give.
#include <climits>
#include <random>
#include <set>

#include "QorVARDMathKernel/sparse.h"
#include "graphs.h"
#include "qvk_test.h"

#ifdef QVK_TEST_HAVE_AMD
#include <suitesparse/amd.h>
#endif

namespace {

using namespace qvk_sparse_test;
const int kGuard = 0x5a5a5a5a;

struct Mesh {
  int n = 0;
  V eptr{0}, eidx;
  int m() const { return static_cast<int>(eptr.size()) - 1; }
};

// Random bars to bricks with repeated and unused nodes (seed 0: none).
Mesh random_mesh(unsigned seed) {
  std::mt19937 rng(seed);
  Mesh mesh;
  mesh.n = 10 + seed * 37;
  for (int e = 0; e < static_cast<int>(seed) * 40; ++e) {
    for (int k = V{1, 2, 3, 4, 8, 20}[rng() % 6]; k > 0; --k) mesh.eidx.push_back(1 + rng() % (mesh.n - 3));
    mesh.eptr.push_back(static_cast<int>(mesh.eidx.size()));
  }
  return mesh;
}

// The lists by eaupnn and eaunln, each array guarded against a write past it.
struct Lists { V nptr, nidx, aptr, adj; };
Lists build(const Mesh &mesh) {
  const int n = mesh.n, m = mesh.m(), nz = -1;
  Lists r{V(n + 2, -7), V(mesh.eidx.size() + 1, -7), V(n + 2, -7), {}};
  V work(n + 2, -7);
  r.nptr.back() = r.nidx.back() = r.aptr.back() = work[n] = work[n + 1] = kGuard;
  int total = -1;
  EXPECT_EQ(eaupnn(&n, &m, &nz, mesh.eptr.data(), mesh.eidx.data(), r.nptr.data(), r.nidx.data(), work.data(),
                   r.aptr.data(), &total), 0);
  EXPECT_EQ(work[n], kGuard);  // eaupnn uses n words of work
  EXPECT_EQ(total, r.aptr[n]);
  r.adj.assign(total + 1, kGuard);
  EXPECT_EQ(eaunln(&n, &m, &nz, mesh.eptr.data(), mesh.eidx.data(), r.nptr.data(), r.nidx.data(),
                   work.data(), r.adj.data()), 0);
  EXPECT_EQ(work[n + 1], kGuard);
  for (V *v : {&r.nptr, &r.nidx, &r.aptr, &r.adj}) {
    EXPECT_EQ(v->back(), kGuard);
    v->pop_back();
  }
  return r;
}

// Both lists against a set-based construction, list by list.
TEST(Connectivity, MatchesSetConstruction) {
  for (unsigned seed = 0; seed <= 6; ++seed) {
    const Mesh mesh = random_mesh(seed);
    SCOPED_TRACE(testing::Message() << "n " << mesh.n << " m " << mesh.m());
    const Lists r = build(mesh);
    std::vector<V> elements(mesh.n + 1);
    std::vector<std::set<int>> nbrs(mesh.n + 1);
    for (int e = 0; e < mesh.m(); ++e)
      for (int p = mesh.eptr[e]; p < mesh.eptr[e + 1]; ++p) {
        elements[mesh.eidx[p]].push_back(e + 1);
        for (int q = mesh.eptr[e]; q < mesh.eptr[e + 1]; ++q)
          if (mesh.eidx[q] != mesh.eidx[p]) nbrs[mesh.eidx[p]].insert(mesh.eidx[q]);
      }
    ASSERT_TRUE(r.nptr[0] == 0 && r.aptr[0] == 0);
    for (int i = 1; i <= mesh.n; ++i) {
      EXPECT_EQ(V(r.nidx.begin() + r.nptr[i - 1], r.nidx.begin() + r.nptr[i]), elements[i]) << i;
      EXPECT_EQ(V(r.adj.begin() + r.aptr[i - 1], r.adj.begin() + r.aptr[i]), V(nbrs[i].begin(), nbrs[i].end()))
          << i;
    }
  }
}

TEST(Connectivity, OwnerMap) {
  const struct { int nown, nitem1, npos1, np; V first, owner; } cases[] = {
      {2, 1, 3, 5, {0, 0}, {1, 1, 1, 2, 2, 2}},
      // Second-range item starting after npos1: npos1 keeps the first's.
      {3, 2, 4, 7, {1, 3, 2}, {0, 1, 1, 2, 2, 2, 3, 3}},
      {0, 0, 0, 2, {}, {0, 0, 0}},
      // First range only, npos1 beyond np: filled up to np and no further.
      {1, 1, 9, 3, {1}, {0, 1, 1, 1}},
  };
  for (const auto &c : cases) {
    V owner(c.np + 2, -5);
    EXPECT_EQ(eaupne(&c.nown, &c.nitem1, &c.npos1, &c.np, c.first.data(), owner.data()), 0);
    EXPECT_EQ(owner.back(), -5);
    owner.pop_back();
    EXPECT_EQ(owner, c.owner) << c.np;
  }
}

// The graph of a mesh, as a solver builds it for its ordering.
Graph mesh_graph(const Mesh &mesh) {
  const Lists r = build(mesh);
  Graph g{mesh.n, r.aptr, r.adj};
  for (int &p : g.xadj) ++p;
  return g;
}

struct Ordering { V perm, invp; int nofsub = -1; };
// The ordering of g, every array guarded; perm and invp must be inverses.
Ordering order(const Graph &g, int delta, int maxint = INT_MAX) {
  const size_t n = static_cast<size_t>(g.n);
  V adjncy = g.adjncy, dhead(n + 1), qsize(n + 1), llist(n + 1), marker(n + 1);
  adjncy.push_back(kGuard);
  Ordering o{V(n + 1), V(n + 1)};
  for (V *v : {&dhead, &qsize, &llist, &marker, &o.perm, &o.invp}) v->back() = kGuard;
  mmd(g.n, g.xadj.data(), adjncy.data(), o.invp.data(), o.perm.data(), delta, dhead.data(), qsize.data(),
      llist.data(), marker.data(), maxint, &o.nofsub);
  for (V *v : {&adjncy, &dhead, &qsize, &llist, &marker, &o.perm, &o.invp}) EXPECT_EQ(v->back(), kGuard);
  o.perm.pop_back();
  o.invp.pop_back();
  V seen(n + 1, 0);
  for (int k = 1; k <= g.n; ++k) {
    const int v = o.perm[k - 1];
    EXPECT_TRUE(v >= 1 && v <= g.n && seen[v]++ == 0 && o.invp[v - 1] == k) << "position " << k;
  }
  return o;
}

// Worked by hand: a bucket is numbered from its head (highest node first); a
// self entry starts its node one bucket up, as the published routine does.
TEST(Mmd, SmallCases) {
  const struct { std::vector<V> lists; V perm; int nofsub; } cases[] = {
      {{{2, 3, 4}, {1}, {1}, {1}}, {4, 3, 2, 1}, 5},  // the leaves, then the centre: 3 + 1 + 1
      {{{1, 2}, {1, 2, 3}, {2, 3}}, {3, 1, 2}, 11},   // (2+1+1) + (2+1+1) + (1+1+1)
  };
  for (const auto &c : cases) {
    const Ordering o = order(from_lists(c.lists), 0);
    EXPECT_TRUE(o.perm == c.perm && o.nofsub == c.nofsub) << "case " << &c - cases;
  }
}

// Every delta orders. Tag resets forced by a small maxint change nothing for
// delta >= 0 (below, a tag may pass mdeg + delta within one element). The
// fill is near that of an approximate minimum degree ordering.
TEST(Mmd, OrderingsTagResetsAndFill) {
  const struct { const char *name; Graph g; } graphs[] = {
      {"2D 5-point 23x17", grid(23, 17, 1, false)}, {"2D 9-point 20x20", grid(20, 20, 1, true)},
      {"3D 7-point 9x8x7", grid(9, 8, 7, false)},
      // delta < 0: its first elements outgrow mdeg + delta (once looped).
      {"3D 7-point 8^3", grid(8, 8, 8, false)}, {"3D 27-point 7x7x7", grid(7, 7, 7, true)},
      {"random elements", mesh_graph(random_mesh(6))}};
  for (const auto &t : graphs) {
    for (int delta : {-1, 0, 1, 4}) {
      SCOPED_TRACE(testing::Message() << t.name << " delta " << delta);
      const Ordering o = order(t.g, delta);
      EXPECT_GT(o.nofsub, 0);
      if (delta < 0) continue;
      const Ordering small = order(t.g, delta, 2 * t.g.n + 64);
      EXPECT_TRUE(small.perm == o.perm && small.nofsub == o.nofsub);
    }
#ifdef QVK_TEST_HAVE_AMD
    V ap(t.g.xadj), ai(t.g.adjncy), p(t.g.n);
    for (V *v : {&ap, &ai})
      for (int &x : *v) --x;
    ASSERT_EQ(amd_order(t.g.n, ap.data(), ai.data(), p.data(), nullptr, nullptr), AMD_OK);
    for (int &v : p) ++v;
    const double ours = static_cast<double>(factor_entries(t.g, order(t.g, 0).perm));
    const double theirs = static_cast<double>(factor_entries(t.g, p));
    EXPECT_TRUE(ours < 1.2 * theirs && ours > 0.8 * theirs) << t.name << ": " << ours << " vs " << theirs;
#endif
  }
}

}  // namespace

// Element connectivity: node-to-element and node-to-node lists, owner map.
#include <random>
#include <set>
#include <vector>

#include "QorVARDMathKernel/sparse.h"
#include "qvk_test.h"

namespace {

using V = std::vector<int>;

struct Mesh {
  int n = 0;
  V eptr{0}, eidx;
  void add(const V &nodes) {
    eidx.insert(eidx.end(), nodes.begin(), nodes.end());
    eptr.push_back(static_cast<int>(eidx.size()));
  }
  int m() const { return static_cast<int>(eptr.size()) - 1; }
};

struct Lists {
  V nptr, nidx, aptr, adj;
  int total = -1;
};

// Runs eaupnn then eaunln, with a guard word after every output.
Lists build(const Mesh &mesh) {
  const int n = mesh.n, m = mesh.m(), nz = -1, guard = 0x5a5a5a5a;
  Lists r;
  r.nptr.assign(n + 2, -7);
  r.nidx.assign(mesh.eidx.size() + 1, -7);
  r.aptr.assign(n + 2, -7);
  V work(n + 2, -7);
  r.nptr[n + 1] = r.aptr[n + 1] = work[n] = work[n + 1] = guard;
  r.nidx.back() = guard;
  EXPECT_EQ(eaupnn(&n, &m, &nz, mesh.eptr.data(), mesh.eidx.data(), r.nptr.data(), r.nidx.data(),
                   work.data(), r.aptr.data(), &r.total),
            0);
  EXPECT_EQ(r.nptr[n + 1], guard);
  EXPECT_EQ(r.nidx.back(), guard);
  EXPECT_EQ(r.aptr[n + 1], guard);
  EXPECT_EQ(work[n], guard);  // eaupnn uses n words of work
  r.adj.assign(r.total + 1, -7);
  r.adj.back() = guard;
  EXPECT_EQ(eaunln(&n, &m, &nz, mesh.eptr.data(), mesh.eidx.data(), r.nptr.data(), r.nidx.data(),
                   work.data(), r.adj.data()),
            0);
  EXPECT_EQ(r.adj.back(), guard);
  EXPECT_EQ(work[n + 1], guard);
  r.nptr.pop_back();
  r.nidx.pop_back();
  r.aptr.pop_back();
  r.adj.pop_back();
  return r;
}

TEST(Connectivity, TwoTriangles) {
  Mesh mesh;
  mesh.n = 4;
  mesh.add({1, 2, 3});
  mesh.add({2, 3, 4});
  const Lists r = build(mesh);
  EXPECT_EQ(r.nptr, (V{0, 1, 3, 5, 6}));
  EXPECT_EQ(r.nidx, (V{1, 1, 2, 1, 2, 2}));
  EXPECT_EQ(r.aptr, (V{0, 2, 5, 8, 10}));
  EXPECT_EQ(r.total, 10);
  EXPECT_EQ(r.adj, (V{2, 3, 1, 3, 4, 1, 2, 4, 2, 3}));
}

// Set-based construction of both structures, compared list by list.
void expect_matches_sets(const Mesh &mesh) {
  const Lists r = build(mesh);
  std::vector<V> elements(mesh.n + 1);
  std::vector<std::set<int>> nbrs(mesh.n + 1);
  for (int e = 0; e < mesh.m(); ++e)
    for (int p = mesh.eptr[e]; p < mesh.eptr[e + 1]; ++p) {
      const int i = mesh.eidx[p];
      elements[i].push_back(e + 1);
      for (int q = mesh.eptr[e]; q < mesh.eptr[e + 1]; ++q)
        if (mesh.eidx[q] != i) nbrs[i].insert(mesh.eidx[q]);
    }
  ASSERT_EQ(r.nptr[0], 0);
  ASSERT_EQ(r.aptr[0], 0);
  for (int i = 1; i <= mesh.n; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(V(r.nidx.begin() + r.nptr[i - 1], r.nidx.begin() + r.nptr[i]), elements[i]);
    EXPECT_EQ(V(r.adj.begin() + r.aptr[i - 1], r.adj.begin() + r.aptr[i]),
              V(nbrs[i].begin(), nbrs[i].end()));
  }
}

TEST(Connectivity, MatchesSetConstruction) {
  {
    SCOPED_TRACE("isolated nodes, repeated node, one element");
    Mesh mesh;
    mesh.n = 9;
    mesh.add({5, 2, 5, 8});
    expect_matches_sets(mesh);
  }
  {
    SCOPED_TRACE("no element");
    Mesh mesh;
    mesh.n = 3;
    expect_matches_sets(mesh);
  }
  {
    SCOPED_TRACE("no node, no element");
    Mesh mesh;
    expect_matches_sets(mesh);
  }
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    // Mixed element types: bars, triangles, quads, bricks, with repeats and
    // with nodes that belong to nothing.
    std::mt19937 rng(seed);
    Mesh mesh;
    mesh.n = 10 + seed * 37;
    const int sizes[] = {1, 2, 3, 4, 8, 20};
    for (int e = 0; e < static_cast<int>(seed) * 40; ++e) {
      V nodes(sizes[rng() % 6]);
      for (int &x : nodes) x = 1 + static_cast<int>(rng() % (mesh.n - 3));
      mesh.add(nodes);
    }
    expect_matches_sets(mesh);
  }
}

TEST(Connectivity, OwnerMap) {
  struct Case {
    int nown, nitem1, npos1, np;
    V first, owner;
  };
  const Case cases[] = {
      {2, 1, 3, 5, {0, 0}, {1, 1, 1, 2, 2, 2}},
      // Second-range item starting after npos1: npos1 keeps the first's.
      {3, 2, 4, 7, {1, 3, 2}, {0, 1, 1, 2, 2, 2, 3, 3}},
      {0, 0, 0, 2, {}, {0, 0, 0}},
      // First range only, npos1 beyond np: filled up to np and no further.
      {1, 1, 9, 3, {1}, {0, 1, 1, 1}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.np);
    V owner(c.np + 2, -5);
    EXPECT_EQ(eaupne(&c.nown, &c.nitem1, &c.npos1, &c.np, c.first.data(), owner.data()), 0);
    EXPECT_EQ(owner.back(), -5);
    owner.pop_back();
    EXPECT_EQ(owner, c.owner);
  }
}

}  // namespace

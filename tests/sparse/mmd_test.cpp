// Multiple minimum degree ordering.
#include <climits>
#include <random>
#include <vector>

#include "QorVARDMathKernel/sparse.h"
#include "graphs.h"
#include "qvk_test.h"

#ifdef QVK_TEST_HAVE_AMD
#include <suitesparse/amd.h>
#endif

namespace {

using namespace qvk_sparse_test;
using V = std::vector<int>;

void expect_inverse_permutations(const Ordering &o, int n) {
  ASSERT_EQ(static_cast<int>(o.perm.size()), n);
  std::vector<int> seen(n + 1, 0);
  for (int k = 1; k <= n; ++k) {
    const int v = o.perm[k - 1];
    ASSERT_GE(v, 1);
    ASSERT_LE(v, n);
    ASSERT_EQ(seen[v]++, 0) << "node " << v << " placed twice";
    ASSERT_EQ(o.invp[v - 1], k);
  }
  EXPECT_TRUE(o.guards_intact);
}

TEST(Mmd, SmallCases) {
  {
    SCOPED_TRACE("empty graph: nothing written");
    int nofsub = 77;
    mmd(0, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr, INT_MAX,
        &nofsub);
    EXPECT_EQ(nofsub, 77);
  }
  struct Case {
    const char *name;
    std::vector<V> lists;
    V perm;
    int nofsub;
  };
  const Case cases[] = {
      // Every node in bucket 1, numbered from the head: highest first.
      {"no edges", {{}, {}, {}, {}, {}}, {5, 4, 3, 2, 1}, 0},
      // Ends start in bucket 1 (node 3 first); node 2 from bucket 2 adds
      // 2 + 1 + 1.
      {"path", {{2}, {1, 3}, {2}}, {3, 1, 2}, 4},
      // With self entries every node starts one bucket up, as the published
      // routine starts the plain path: 3 and 1 by multiple elimination from
      // bucket 2, then 2 from bucket 1: (2+1+1) + (2+1+1) + (1+1+1).
      {"path with self entries", {{1, 2}, {1, 2, 3}, {2, 3}}, {3, 1, 2}, 11},
      // A star: the leaves go first (bucket 1), then the centre.
      {"star", {{2, 3, 4}, {1}, {1}, {1}}, {4, 3, 2, 1}, 3 + 1 + 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const Ordering o = order(from_lists(c.lists), 0);
    expect_inverse_permutations(o, static_cast<int>(c.lists.size()));
    EXPECT_EQ(o.perm, c.perm);
    EXPECT_EQ(o.nofsub, c.nofsub);
  }
}

// Buckets are stacks filled in increasing node order; an empty list joins
// bucket 1, a list's length is its bucket.
TEST(Mmd, InitialBuckets) {
  const Graph g = from_lists({{2, 3, 4}, {1}, {1}, {}, {1, 2}});
  const int n = g.n;
  V dhead(n), dforw(n), dbakw(n), qsize(n, 9), llist(n, 9), marker(n, 9);
  mmdint(n, g.xadj.data(), g.adjncy.data(), dhead.data(), dforw.data(), dbakw.data(),
         qsize.data(), llist.data(), marker.data());
  EXPECT_EQ(dhead, (V{4, 5, 1, 0, 0}));
  EXPECT_EQ(dforw, (V{0, 0, 2, 3, 0}));
  EXPECT_EQ(dbakw, (V{-3, 3, 4, -1, -2}));
  EXPECT_EQ(qsize, (V{1, 1, 1, 1, 1}));
  EXPECT_EQ(llist, (V{0, 0, 0, 0, 0}));
  EXPECT_EQ(marker, (V{0, 0, 0, 0, 0}));
}

// Triangles over a jittered point grid, through the connectivity routines:
// the road a solver takes from a mesh to an ordering.
Graph random_mesh(int side, unsigned seed) {
  std::mt19937 rng(seed);
  const int n = side * side, nz = 0;
  V eptr{0}, eidx;
  for (int y = 0; y + 1 < side; ++y)
    for (int x = 0; x + 1 < side; ++x) {
      const int a = 1 + x + side * y, b = a + 1, c = a + side, d = c + 1;
      if (rng() % 5 == 0) continue;  // holes leave some nodes less connected
      const V quad = rng() % 2 ? V{a, b, d, a, d, c} : V{a, b, c, b, d, c};
      for (int t = 0; t < 2; ++t) {
        eidx.insert(eidx.end(), quad.begin() + 3 * t, quad.begin() + 3 * t + 3);
        eptr.push_back(static_cast<int>(eidx.size()));
      }
    }
  const int m = static_cast<int>(eptr.size()) - 1;
  V nptr(n + 1), nidx(eidx.size()), work(n + 1), aptr(n + 1);
  int total = 0;
  eaupnn(&n, &m, &nz, eptr.data(), eidx.data(), nptr.data(), nidx.data(), work.data(),
         aptr.data(), &total);
  Graph g;
  g.n = n;
  g.adjncy.assign(total, 0);
  eaunln(&n, &m, &nz, eptr.data(), eidx.data(), nptr.data(), nidx.data(), work.data(),
         g.adjncy.data());
  g.xadj.resize(n + 1);
  for (int i = 0; i <= n; ++i) g.xadj[i] = aptr[i] + 1;
  return g;
}

struct Named {
  const char *name;
  Graph g;
};

std::vector<Named> test_graphs() {
  return {{"2D 5-point 23x17", grid(23, 17, 1, false)},
          {"2D 9-point 20x20", grid(20, 20, 1, true)},
          {"3D 7-point 9x8x7", grid(9, 8, 7, false)},
          // With delta < 0 its first elements outgrow mdeg + delta: the
          // tags must still pass every mark (this graph once looped).
          {"3D 7-point 8^3", grid(8, 8, 8, false)},
          {"3D 27-point 7x7x7", grid(7, 7, 7, true)},
          {"random mesh", random_mesh(25, 3)},
          {"random mesh 2", random_mesh(18, 11)}};
}

// Every delta gives a valid ordering; a small maxint forces many tag
// resets and must not change a single position. (With delta < 0 a tag may
// pass mdeg + delta within one element, so there only a large maxint keeps
// the marks apart.)
TEST(Mmd, ValidOrderingsAndTagResets) {
  for (const Named &t : test_graphs()) {
    SCOPED_TRACE(t.name);
    for (int delta : {-1, 0, 1, 4}) {
      SCOPED_TRACE(delta);
      const Ordering o = order(t.g, delta);
      expect_inverse_permutations(o, t.g.n);
      EXPECT_GT(o.nofsub, 0);
      if (delta < 0) continue;
      const Ordering small = order(t.g, delta, 2 * t.g.n + 64);
      expect_inverse_permutations(small, t.g.n);
      EXPECT_EQ(small.perm, o.perm);
      EXPECT_EQ(small.nofsub, o.nofsub);
    }
  }
}

#ifdef QVK_TEST_HAVE_AMD
// The fill of the ordering is close to that of an approximate minimum
// degree ordering of the same graph.
TEST(Mmd, FillCloseToApproximateMinimumDegree) {
  for (const Named &t : test_graphs()) {
    SCOPED_TRACE(t.name);
    const Graph &g = t.g;
    V ap(g.n + 1), ai(g.adjncy.size()), p(g.n);
    for (int i = 0; i <= g.n; ++i) ap[i] = g.xadj[i] - 1;
    for (size_t k = 0; k < ai.size(); ++k) ai[k] = g.adjncy[k] - 1;
    ASSERT_EQ(amd_order(g.n, ap.data(), ai.data(), p.data(), nullptr, nullptr), AMD_OK);
    for (int &v : p) ++v;
    const double ours = static_cast<double>(factor_entries(g, order(g, 0).perm));
    const double theirs = static_cast<double>(factor_entries(g, p));
    EXPECT_LT(ours, 1.2 * theirs);
    EXPECT_GT(ours, 0.8 * theirs);
  }
}
#endif

}  // namespace

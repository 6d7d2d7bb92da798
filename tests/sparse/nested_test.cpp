// Nested dissection through METIS: a permutation, in the order's meaning
// (perm[k] = node eliminated k-th), far less fill than the natural order on
// a 3D grid, the same order on every call; the edge cases and bad input.
#include <numeric>

#include "QorVARDMathKernel/sparse_solver.h"
#include "graphs.h"
#include "kernels/sparse/nested.h"
#include "qvk_test.h"

namespace {

using namespace qvk_sparse_test;

// Orders the 1-based graph g through the 0-based interface; perm 0-based.
int order(const Graph &g, V &perm, const V *wgt = nullptr) {
  V xadj(g.xadj), adj(g.adjncy);
  for (int &x : xadj) --x;
  for (int &a : adj) --a;
  perm.assign(g.n, -1);
  return qvk::nested_dissection(g.n, xadj.data(), adj.data(), wgt ? wgt->data() : nullptr, perm.data());
}

bool is_permutation(V perm) {
  std::sort(perm.begin(), perm.end());
  for (int k = 0; k < static_cast<int>(perm.size()); ++k)
    if (perm[k] != k) return false;
  return true;
}

// factor_entries takes a 1-based order.
int64_t fill(const Graph &g, V perm) {
  for (int &p : perm) ++p;
  return factor_entries(g, perm);
}

bool skip_without_metis() {
  if (qvk::nested_dissection_available()) return false;
  int xadj[2] = {0, 0}, perm[1] = {-1};
  EXPECT_EQ(qvk::nested_dissection(1, xadj, nullptr, nullptr, perm), QVK_SPARSE_UNAVAILABLE);
  EXPECT_EQ(perm[0], -1);
  return true;
}

TEST(NestedDissection, GridFillAndDeterminism) {
  if (skip_without_metis()) GTEST_SKIP() << "built without METIS";
  const Graph g = grid(20, 20, 20, false);
  V perm, again;
  ASSERT_EQ(order(g, perm), 0);
  ASSERT_TRUE(is_permutation(perm));
  ASSERT_EQ(order(g, again), 0);
  EXPECT_EQ(perm, again);

  V natural(g.n), inverse(g.n);
  std::iota(natural.begin(), natural.end(), 0);
  for (int k = 0; k < g.n; ++k) inverse[perm[k]] = k;
  const int64_t nd = fill(g, perm), nat = fill(g, natural), inv = fill(g, inverse);
  EXPECT_LT(nd * 3, nat) << "nested dissection " << nd << ", natural " << nat;
  // Read the other way round (METIS's iperm) the order would be far worse.
  EXPECT_LT(nd * 3, inv) << "nested dissection " << nd << ", inverse " << inv;

  // Node weights (the equations of each node) still give a permutation.
  V wgt(g.n);
  for (int i = 0; i < g.n; ++i) wgt[i] = 1 + i % 6;
  ASSERT_EQ(order(g, perm, &wgt), 0);
  EXPECT_TRUE(is_permutation(perm));
  ASSERT_EQ(order(g, again, &wgt), 0);
  EXPECT_EQ(perm, again);
}

TEST(NestedDissection, SmallCases) {
  if (skip_without_metis()) GTEST_SKIP() << "built without METIS";
  // No nodes: nothing to do, nothing written.
  int xadj0[1] = {0}, untouched[1] = {-1};
  EXPECT_EQ(qvk::nested_dissection(0, xadj0, nullptr, nullptr, untouched), 0);
  EXPECT_EQ(untouched[0], -1);

  // Nodes without edges (no adjacency array at all), one node alone.
  V xadj(6, 0), perm(5, -1);
  ASSERT_EQ(qvk::nested_dissection(5, xadj.data(), nullptr, nullptr, perm.data()), 0);
  EXPECT_TRUE(is_permutation(perm));
  ASSERT_EQ(qvk::nested_dissection(1, xadj.data(), nullptr, nullptr, perm.data()), 0);
  EXPECT_EQ(perm[0], 0);

  // A star whose centre is node 3: the centre is eliminated last.
  std::vector<V> lists(9);
  for (int leaf = 1; leaf <= 9; ++leaf)
    if (leaf != 4) lists[3].push_back(leaf), lists[leaf - 1].push_back(4);
  ASSERT_EQ(order(from_lists(lists), perm), 0);
  EXPECT_TRUE(is_permutation(perm));
  EXPECT_EQ(perm.back(), 3);

  // Bad structure: a neighbour out of range, the node itself, a bad weight.
  int x[3] = {0, 1, 2}, out[2] = {1, 2}, self[2] = {0, 1}, adj[2] = {1, 0}, w[2] = {1, 0};
  int p[2] = {-1, -1};
  EXPECT_EQ(qvk::nested_dissection(2, x, out, nullptr, p), QVK_SPARSE_BAD_STRUCTURE);
  EXPECT_EQ(qvk::nested_dissection(2, x, self, nullptr, p), QVK_SPARSE_BAD_STRUCTURE);
  EXPECT_EQ(qvk::nested_dissection(2, x, adj, w, p), QVK_SPARSE_BAD_STRUCTURE);
  EXPECT_EQ(p[0], -1);
  EXPECT_EQ(qvk::nested_dissection(-1, x, adj, nullptr, p), QVK_SPARSE_BAD_ARGUMENT);
}

}  // namespace

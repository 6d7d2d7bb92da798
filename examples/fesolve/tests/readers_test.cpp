// The mesh and matrix readers on valid files and on each kind of damage,
// and the output file that is either complete or absent.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fesolve.h"

using namespace fesolve;

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/fesolve_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  std::string write(const std::string &name, const std::string &text) {
    std::string p = dir_ + "/" + name;
    std::ofstream(p) << text;
    return p;
  }
  std::string dir_;
};

// The message of the InputError that f throws, or "" when none is thrown.
template <class F>
std::string error_of(F f) {
  try {
    f();
  } catch (const InputError &e) {
    return e.what();
  }
  return "";
}

const char kMeshHead[] = "$MeshFormat\n2.2 0 8\n$EndMeshFormat\n";
// Nine nodes: a unit cube (ids 1..8, scattered order) and a ninth on top.
const char kNodes[] =
    "$Nodes\n9\n"
    "1 0 0 0\n2 1 0 0\n3 1 1 0\n4 0 1 0\n5 0 0 1\n6 1 0 1\n7 1 1 1\n8 0 1 1\n"
    "20 0.5 0.5 2\n$EndNodes\n";

TEST_F(Files, GmshReadsHexahedraAndTetrahedraAndSkipsTheRest) {
  const std::string p = write("ok.msh", std::string(kMeshHead) +
                                            "$PhysicalNames\n1\n3 1 \"body\"\n$EndPhysicalNames\n" +
                                            kNodes +
                                            "$Elements\n4\n"
                                            "1 15 2 0 1 1\n"
                                            "2 3 2 0 1 5 6 7 8\n"
                                            "3 5 2 1 1 1 2 3 4 5 6 7 8\n"
                                            "4 4 2 1 1 5 6 7 20\n"
                                            "$EndElements\n");
  Mesh m = read_gmsh(p);
  ASSERT_EQ(m.nodes(), 9);
  ASSERT_EQ(m.elements(), 2);
  EXPECT_EQ(m.kind[0], kHex8);
  EXPECT_EQ(m.kind[1], kTet4);
  EXPECT_EQ(m.conn[m.start[1] + 3], 8);  // node id 20 is the ninth node
  EXPECT_EQ(m.xyz[3 * 8 + 2], 2.0);
}

TEST_F(Files, GmshDamageIsNamedByLine) {
  const std::string head = std::string(kMeshHead) + kNodes;
  struct Case {
    const char *what, *text, *expect;
  } cases[] = {
      {"binary", "$MeshFormat\n2.2 1 8\n$EndMeshFormat\n", ":2: binary"},
      {"version 4", "$MeshFormat\n4.1 0 8\n$EndMeshFormat\n", ":2: expected format version"},
      {"no elements", "", "no $Elements"},
      {"undefined node", "$Elements\n1\n1 4 0 1 2 3 99\n$EndElements\n", ":18: element 1 refers to undefined node 99"},
      {"repeated node", "$Elements\n1\n1 4 0 1 2 3 2\n$EndElements\n", ":18: element 1 repeats node 2"},
      {"short element", "$Elements\n1\n7 5 0 1 2 3 4 5 6 7\n$EndElements\n", ":18: element 7 of type 5 needs 8 nodes"},
      {"unknown type", "$Elements\n1\n1 11 0 1 2 3 4 5 6 7 8 9 10\n$EndElements\n", ":18: element type 11"},
      {"bad count", "$Elements\nmany\n", ":17: expected the number of elements"},
      {"truncated", "$Elements\n2\n1 4 0 1 2 3 5\n", "unexpected end of file"},
      {"inverted tet", "$Elements\n1\n1 4 0 1 3 2 5\n$EndElements\n", ":18: element is inverted"},
      {"missing end", "$Elements\n1\n1 4 0 1 2 3 5\n$Nodes\n", ":19: expected $EndElements"},
  };
  for (const Case &c : cases) {
    const std::string text = std::string(c.what).rfind("binary", 0) == 0 ||
                                     std::string(c.what).rfind("version", 0) == 0
                                 ? c.text
                                 : head + c.text;
    const std::string p = write("bad.msh", text);
    const std::string e = error_of([&] { read_gmsh(p); });
    EXPECT_NE(e.find(c.expect), std::string::npos) << c.what << ": '" << e << "'";
    EXPECT_EQ(e.rfind(p, 0), 0u) << c.what << ": the message names the file";
  }
  EXPECT_NE(error_of([&] { read_gmsh(dir_ + "/absent.msh"); }).find("cannot open"), std::string::npos);
  const std::string p = write("coord.msh", std::string(kMeshHead) + "$Nodes\n1\n1 0 x 0\n$EndNodes\n");
  EXPECT_NE(error_of([&] { read_gmsh(p); }).find(":6: bad coordinate 'x'"), std::string::npos);
}

TEST_F(Files, MatrixMarketSymmetricAndGeneral) {
  const std::string sym = write("s.mtx",
                                "%%MatrixMarket matrix coordinate real symmetric\n% a comment\n"
                                "3 3 4\n1 1 4\n2 1 -1\n2 2 4\n3 3 2.5\n");
  Stored s = read_matrix_market(sym);
  ASSERT_EQ(s.n, 3);
  EXPECT_EQ(s.ia, (std::vector<int>{0, 1, 3, 4}));
  EXPECT_EQ(s.ja, (std::vector<int>{1, 1, 2, 3}));
  EXPECT_EQ(s.a, (std::vector<double>{4, -1, 4, 2.5}));
  const std::string gen = write("g.mtx",
                                "%%MatrixMarket matrix coordinate real general\n"
                                "3 3 5\n1 1 4\n1 2 -1\n2 1 -1\n2 2 4\n3 3 2.5\n");
  Stored g = read_matrix_market(gen);
  EXPECT_EQ(g.ia, s.ia);
  EXPECT_EQ(g.a, s.a);
}

TEST_F(Files, MatrixMarketDamageIsNamedByLine) {
  struct Case {
    const char *what, *text, *expect;
  } cases[] = {
      {"header", "%%MatrixMarket matrix array real symmetric\n3 3\n", ":1: only coordinate"},
      {"complex", "%%MatrixMarket matrix coordinate complex symmetric\n", ":1: field 'complex'"},
      {"skew", "%%MatrixMarket matrix coordinate real skew-symmetric\n", ":1: symmetry"},
      {"not square", "%%MatrixMarket matrix coordinate real symmetric\n3 4 1\n1 1 1\n", ":2: the matrix is not square"},
      {"range", "%%MatrixMarket matrix coordinate real symmetric\n2 2 2\n1 1 1\n3 1 1\n", ":4: index out of range"},
      {"value", "%%MatrixMarket matrix coordinate real symmetric\n2 2 1\n1 1 abc\n", ":3: expected 'row column value'"},
      {"twice", "%%MatrixMarket matrix coordinate real symmetric\n2 2 2\n1 1 1\n1 1 2\n", ":4: entry given twice"},
      {"short", "%%MatrixMarket matrix coordinate real symmetric\n2 2 3\n1 1 1\n", "unexpected end of file"},
      {"long", "%%MatrixMarket matrix coordinate real symmetric\n2 2 1\n1 1 1\n2 2 1\n", ":4: more entries"},
      {"unsymmetric", "%%MatrixMarket matrix coordinate real general\n2 2 3\n1 1 1\n1 2 1\n2 1 2\n", ":4: the matrix is not symmetric"},
      {"no mirror", "%%MatrixMarket matrix coordinate real general\n2 2 2\n1 1 1\n2 1 2\n", "has no mirror"},
  };
  for (const Case &c : cases) {
    const std::string p = write("bad.mtx", c.text);
    const std::string e = error_of([&] { read_matrix_market(p); });
    EXPECT_NE(e.find(c.expect), std::string::npos) << c.what << ": '" << e << "'";
    EXPECT_EQ(e.rfind(p, 0), 0u) << c.what;
  }
}

TEST_F(Files, VtuIsCompleteOrAbsent) {
  Beam b;
  b.nx = b.ny = b.nz = 1;
  Mesh m = make_beam(b);
  std::vector<Field> f(1);
  f[0].name = "displacement";
  f[0].values.assign(3 * m.nodes(), 0.5);
  const std::string ok = dir_ + "/out.vtu";
  write_vtu(ok, m, f);
  std::ifstream in(ok);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(all.find("</VTKFile>"), std::string::npos);
  EXPECT_NE(all.find("Name=\"displacement\""), std::string::npos);
  // An unwritable place: an error naming the path, and nothing left.
  const std::string bad = dir_ + "/missing/out.vtu";
  EXPECT_NE(error_of([&] { write_vtu(bad, m, f); }).find(bad), std::string::npos);
  EXPECT_EQ(std::system(("test -z \"$(ls " + dir_ + " | grep -v '^out.vtu$')\"").c_str()), 0);
}

}  // namespace

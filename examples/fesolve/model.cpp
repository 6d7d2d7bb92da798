// Models: the generated cantilever and the two file readers.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <unordered_map>

#include "fesolve.h"

namespace fesolve {

Mesh make_beam(const Beam &b) {
  Mesh m;
  const int px = b.nx + 1, py = b.ny + 1, pz = b.nz + 1;
  m.xyz.reserve(3 * static_cast<std::size_t>(px) * py * pz);
  for (int i = 0; i < px; ++i)
    for (int j = 0; j < py; ++j)
      for (int k = 0; k < pz; ++k) {
        m.xyz.push_back(b.length * i / b.nx);
        m.xyz.push_back(b.width * j / b.ny);
        m.xyz.push_back(b.height * k / b.nz);
      }
  auto id = [&](int i, int j, int k) { return k + pz * (j + py * i); };
  m.start.push_back(0);
  for (int i = 0; i < b.nx; ++i)
    for (int j = 0; j < b.ny; ++j)
      for (int k = 0; k < b.nz; ++k) {
        const int c[8] = {id(i, j, k),         id(i + 1, j, k),
                          id(i + 1, j + 1, k), id(i, j + 1, k),
                          id(i, j, k + 1),     id(i + 1, j, k + 1),
                          id(i + 1, j + 1, k + 1), id(i, j + 1, k + 1)};
        m.conn.insert(m.conn.end(), c, c + 8);
        m.start.push_back(static_cast<int>(m.conn.size()));
        m.kind.push_back(kHex8);
      }
  return m;
}

Cantilever clamp_and_load(const Mesh &mesh, bool grid) {
  Cantilever c;
  const int nn = mesh.nodes();
  for (int k = 0; k < 3; ++k) {
    c.lo[k] = 1e300;
    c.hi[k] = -1e300;
  }
  // A node of no element (a construction point of the mesh file) has no
  // stiffness: it stays where it is, takes no load and does not count in
  // the bounding box.
  std::vector<char> used(nn, 0);
  for (int v : mesh.conn) used[v] = 1;
  for (int i = 0; i < nn; ++i)
    for (int k = 0; k < 3 && used[i]; ++k) {
      c.lo[k] = std::min(c.lo[k], mesh.xyz[3 * i + k]);
      c.hi[k] = std::max(c.hi[k], mesh.xyz[3 * i + k]);
    }
  const double eps = 1e-9 * (c.hi[0] - c.lo[0]);
  c.dofs.eq.assign(3 * nn, 0);
  c.dofs.fixed.assign(3 * nn, 0.0);
  c.weight.assign(nn, 0.0);
  double sum = 0;
  for (int i = 0; i < nn; ++i) {
    const double x = mesh.xyz[3 * i];
    if (!used[i]) continue;
    if (x <= c.lo[0] + eps)
      for (int k = 0; k < 3; ++k) c.dofs.eq[3 * i + k] = -1;
    if (x >= c.hi[0] - eps) {
      double w = 1;
      if (grid) {
        const double y = mesh.xyz[3 * i + 1], z = mesh.xyz[3 * i + 2];
        if (y <= c.lo[1] + eps || y >= c.hi[1] - eps) w *= 0.5;
        if (z <= c.lo[2] + eps || z >= c.hi[2] - eps) w *= 0.5;
      }
      c.weight[i] = w;
      sum += w;
    }
  }
  for (double &w : c.weight) w /= sum;
  for (int i = 0; i < nn; ++i)
    if (!used[i])
      for (int k = 0; k < 3; ++k) c.dofs.eq[3 * i + k] = -1;
  number_dofs(c.dofs);
  return c;
}

double tip_deflection(const Cantilever &c, const std::vector<double> &u) {
  double t = 0;
  for (std::size_t i = 0; i < c.weight.size(); ++i)
    if (c.weight[i] > 0 && c.dofs.eq[3 * i + 2] >= 0) t += u[c.dofs.eq[3 * i + 2]] * c.weight[i];
  return t;
}

double timoshenko_compliance(double len, double wid, double hgt, const Material &m) {
  const double e = m.young, nu = m.poisson, g = e / (2 * (1 + nu));
  const double iy = wid * hgt * hgt * hgt / 12, kappa = 10 * (1 + nu) / (12 + 11 * nu);
  return len * len * len / (3 * e * iy) + len / (kappa * g * wid * hgt);
}

namespace {

// Reads a text file line by line and keeps the line number for messages.
class LineReader {
 public:
  explicit LineReader(const std::string &path) : path_(path), in_(path) {
    if (!in_) throw InputError(path + ": cannot open: " + std::strerror(errno));
  }
  bool next(std::string &line) {
    if (!std::getline(in_, line)) return false;
    ++lineno_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
  // The next line, which must exist.
  std::string need(const char *what) {
    std::string line;
    if (!next(line)) fail(std::string("unexpected end of file, expected ") + what);
    return line;
  }
  [[noreturn]] void fail(const std::string &what) const {
    throw InputError(path_ + ":" + std::to_string(lineno_) + ": " + what);
  }
  int line() const { return lineno_; }

 private:
  std::string path_;
  std::ifstream in_;
  int lineno_ = 0;
};

// Whole-token numbers: "12x" or "" are errors, not 12 or 0.
bool to_long(const std::string &s, long long &v) {
  if (s.empty()) return false;
  char *end = nullptr;
  errno = 0;
  v = std::strtoll(s.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}
bool to_double(const std::string &s, double &v) {
  if (s.empty()) return false;
  char *end = nullptr;
  errno = 0;
  v = std::strtod(s.c_str(), &end);
  return errno != ERANGE && *end == '\0' && std::isfinite(v);
}

std::vector<std::string> split(const std::string &line) {
  std::vector<std::string> t;
  std::istringstream s(line);
  std::string w;
  while (s >> w) t.push_back(w);
  return t;
}

int count_line(LineReader &r, const std::string &line, const char *what, long long max) {
  auto t = split(line);
  long long v;
  if (t.size() != 1 || !to_long(t[0], v) || v < 0 || v > max)
    r.fail(std::string("expected the number of ") + what + ", got '" + line + "'");
  return static_cast<int>(v);
}

}  // namespace

// Gmsh ASCII format 2.2: $MeshFormat, $Nodes and $Elements; hexahedra
// (type 5) and tetrahedra (type 4) are kept, points, lines and faces are
// skipped, other sections are passed over.
Mesh read_gmsh(const std::string &path) {
  LineReader r(path);
  Mesh m;
  std::unordered_map<long long, int> node_of;
  bool format = false, nodes = false, elements = false;
  std::vector<int> node_line;  // line of each element, for the final checks
  std::string line;
  while (r.next(line)) {
    if (line.empty()) continue;
    if (line == "$MeshFormat") {
      auto t = split(r.need("the format line"));
      if (t.size() != 3 || t[0].compare(0, 2, "2.") != 0)
        r.fail("expected format version 2.2 (\"2.2 0 8\")");
      if (t[1] != "0") r.fail("binary meshes are not read; save the mesh as ASCII");
      if (r.need("$EndMeshFormat") != "$EndMeshFormat") r.fail("expected $EndMeshFormat");
      format = true;
    } else if (line == "$Nodes") {
      if (!format) r.fail("$Nodes before $MeshFormat");
      if (nodes) r.fail("a second $Nodes section");
      int n = count_line(r, r.need("the node count"), "nodes", 100000000);
      m.xyz.resize(3 * static_cast<std::size_t>(n));
      for (int i = 0; i < n; ++i) {
        auto t = split(r.need("a node"));
        long long id;
        if (t.size() != 4 || !to_long(t[0], id)) r.fail("expected 'id x y z'");
        for (int c = 0; c < 3; ++c)
          if (!to_double(t[1 + c], m.xyz[3 * i + c]))
            r.fail("bad coordinate '" + t[1 + c] + "'");
        if (!node_of.emplace(id, i).second) r.fail("node " + t[0] + " defined twice");
      }
      if (r.need("$EndNodes") != "$EndNodes") r.fail("expected $EndNodes");
      nodes = true;
    } else if (line == "$Elements") {
      if (!nodes) r.fail("$Elements before $Nodes");
      if (elements) r.fail("a second $Elements section");
      int n = count_line(r, r.need("the element count"), "elements", 100000000);
      m.start.push_back(0);
      for (int i = 0; i < n; ++i) {
        auto t = split(r.need("an element"));
        long long id, type, ntags;
        if (t.size() < 3 || !to_long(t[0], id) || !to_long(t[1], type) ||
            !to_long(t[2], ntags) || ntags < 0 || 3 + ntags > static_cast<long long>(t.size()))
          r.fail("expected 'id type ntags tags... nodes...'");
        int nn;
        switch (type) {
          case 15: nn = 1; break;   // point
          case 1: nn = 2; break;    // line
          case 2: nn = 3; break;    // triangle
          case 3: nn = 4; break;    // quadrangle
          case 4: nn = 4; break;    // tetrahedron
          case 5: nn = 8; break;    // hexahedron
          default: r.fail("element type " + t[1] + " is not read (4 and 5 are, 1, 2, 3 and 15 are skipped)");
        }
        if (static_cast<long long>(t.size()) != 3 + ntags + nn)
          r.fail("element " + t[0] + " of type " + t[1] + " needs " + std::to_string(nn) + " nodes");
        if (type != 4 && type != 5) continue;
        int c[8];
        for (int j = 0; j < nn; ++j) {
          long long nid;
          const std::string &w = t[3 + ntags + j];
          if (!to_long(w, nid)) r.fail("bad node number '" + w + "'");
          auto it = node_of.find(nid);
          if (it == node_of.end()) r.fail("element " + t[0] + " refers to undefined node " + w);
          c[j] = it->second;
          for (int q = 0; q < j; ++q)
            if (c[q] == c[j]) r.fail("element " + t[0] + " repeats node " + w);
        }
        m.conn.insert(m.conn.end(), c, c + nn);
        m.start.push_back(static_cast<int>(m.conn.size()));
        m.kind.push_back(type == 5 ? kHex8 : kTet4);
        node_line.push_back(r.line());
      }
      if (r.need("$EndElements") != "$EndElements") r.fail("expected $EndElements");
      elements = true;
    } else if (line[0] == '$') {
      // An unknown section ($PhysicalNames, $NodeData, ...): skip to its end.
      const std::string end = "$End" + line.substr(1);
      std::string l;
      do {
        if (!r.next(l)) r.fail("section " + line + " has no " + end);
      } while (l != end);
    } else {
      r.fail("unexpected text '" + line.substr(0, 40) + "'");
    }
  }
  if (!format) r.fail("no $MeshFormat section");
  if (!nodes) r.fail("no $Nodes section");
  if (!elements) r.fail("no $Elements section");
  if (m.kind.empty()) r.fail("no hexahedra or tetrahedra");
  // A volume element turned inside out is an error of the file, not of the
  // solve: name its line.
  Material unit;
  std::vector<double> ke(24 * 24), me(24 * 24);
  for (int e = 0; e < m.elements(); ++e) {
    double x[24];
    const int nn = m.start[e + 1] - m.start[e];
    for (int j = 0; j < nn; ++j)
      for (int c = 0; c < 3; ++c) x[3 * j + c] = m.xyz[3 * m.conn[m.start[e] + j] + c];
    bool ok = m.kind[e] == kHex8 ? hex8_matrices(x, unit, nullptr, nullptr)
                                 : tet4_matrices(x, unit, nullptr, nullptr);
    if (!ok)
      throw InputError(path + ":" + std::to_string(node_line[e]) +
                       ": element is inverted or degenerate (non-positive volume)");
  }
  return m;
}

// Matrix Market coordinate files, real or integer, symmetric or general; a
// general file must hold a symmetric matrix.
Stored read_matrix_market(const std::string &path) {
  LineReader r(path);
  std::string line = r.need("the %%MatrixMarket header");
  auto h = split(line);
  for (auto &w : h) std::transform(w.begin(), w.end(), w.begin(), ::tolower);
  if (h.size() != 5 || h[0] != "%%matrixmarket" || h[1] != "matrix")
    r.fail("expected '%%MatrixMarket matrix coordinate real symmetric'");
  if (h[2] != "coordinate") r.fail("only coordinate (sparse) files are read, not '" + h[2] + "'");
  if (h[3] != "real" && h[3] != "integer" && h[3] != "double")
    r.fail("field '" + h[3] + "' is not read (real or integer)");
  bool general = h[4] == "general";
  if (!general && h[4] != "symmetric") r.fail("symmetry '" + h[4] + "' is not read (symmetric or general)");
  do line = r.need("the size line");
  while (line.empty() || line[0] == '%');
  auto t = split(line);
  long long rows, cols, entries;
  if (t.size() != 3 || !to_long(t[0], rows) || !to_long(t[1], cols) || !to_long(t[2], entries) ||
      rows < 1 || cols < 1 || entries < 0 || rows > 100000000 || entries > 1000000000)
    r.fail("expected 'rows columns entries'");
  if (rows != cols) r.fail("the matrix is not square");
  const int n = static_cast<int>(rows);
  // Entries as (row, col) with row >= col; the upper ones of a general file
  // are kept apart to be checked against their mirror.
  std::map<std::pair<int, int>, double> lower, upper;
  std::map<std::pair<int, int>, int> upper_line;
  for (long long k = 0; k < entries; ++k) {
    do line = r.need("an entry");
    while (line.empty() || line[0] == '%');
    auto e = split(line);
    long long i, j;
    double v;
    if (e.size() != 3 || !to_long(e[0], i) || !to_long(e[1], j) || !to_double(e[2], v))
      r.fail("expected 'row column value'");
    if (i < 1 || i > n || j < 1 || j > n)
      r.fail("index out of range 1.." + std::to_string(n));
    auto key = std::make_pair(static_cast<int>(std::max(i, j)), static_cast<int>(std::min(i, j)));
    if (general && i < j) {
      if (!upper.emplace(key, v).second) r.fail("entry given twice");
      upper_line[key] = r.line();
    } else if (!lower.emplace(key, v).second) {
      r.fail("entry given twice");
    }
  }
  std::string rest;
  while (r.next(rest))
    if (!split(rest).empty() && rest[0] != '%') r.fail("more entries than the size line says");
  if (general) {
    auto mismatch = [](double a, double b) {
      double s = std::max(std::fabs(a), std::fabs(b));
      return std::fabs(a - b) > 1e-12 * s;
    };
    for (auto &u : upper) {
      auto it = lower.find(u.first);
      double lv = it == lower.end() ? 0.0 : it->second;
      if (mismatch(u.second, lv))
        throw InputError(path + ":" + std::to_string(upper_line[u.first]) +
                         ": the matrix is not symmetric: entry (" + std::to_string(u.first.second) +
                         "," + std::to_string(u.first.first) + ") differs from its mirror");
    }
    for (auto &l : lower)
      if (l.first.first != l.first.second && l.second != 0.0 && !upper.count(l.first))
        throw InputError(path + ": the matrix is not symmetric: entry (" +
                         std::to_string(l.first.first) + "," + std::to_string(l.first.second) +
                         ") has no mirror");
  }
  Stored s;
  s.n = n;
  s.ia.assign(n + 1, 0);
  // Rows in order; map order is (row, col) increasing, so each row's
  // off-diagonal entries come before its diagonal.
  std::vector<double> diag(n, 0.0);
  std::vector<std::vector<std::pair<int, double>>> rowsv(n);
  for (auto &l : lower) {
    int i = l.first.first - 1, j = l.first.second - 1;
    if (i == j) diag[i] = l.second;
    else rowsv[i].push_back({j + 1, l.second});
  }
  for (int i = 0; i < n; ++i) {
    for (auto &p : rowsv[i]) {
      s.ja.push_back(p.first);
      s.a.push_back(p.second);
    }
    s.ja.push_back(i + 1);
    s.a.push_back(diag[i]);
    s.ia[i + 1] = static_cast<int>(s.a.size());
  }
  return s;
}

}  // namespace fesolve

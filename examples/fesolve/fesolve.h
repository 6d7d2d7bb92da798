// The example solver's pieces: models, elements, assembly, the handle on the
// library's sparse solver, the eigen solver and the output files. Everything
// here is what a solver author writes on top of the kernel library.
#ifndef FESOLVE_FESOLVE_H
#define FESOLVE_FESOLVE_H

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "QorVARDMathKernel/sparse_solver.h"

namespace fesolve {

// Bad input of any kind: the message is one line naming the file and line or
// the option. Callers print it and stop with a non-zero status.
struct InputError : std::runtime_error {
  explicit InputError(const std::string &m) : std::runtime_error(m) {}
};

// A numerical failure of the solve (a rejected pivot, an eigen solver that
// did not converge): the message says which.
struct SolveError : std::runtime_error {
  explicit SolveError(const std::string &m) : std::runtime_error(m) {}
};

enum ElementKind { kHex8 = 8, kTet4 = 4 };

struct Mesh {
  std::vector<double> xyz;       // 3 per node
  std::vector<int> conn;         // nodes of each element, 0-based
  std::vector<int> start;        // element e: conn[start[e] .. start[e+1])
  std::vector<int> kind;         // ElementKind of each element
  int nodes() const { return static_cast<int>(xyz.size() / 3); }
  int elements() const { return static_cast<int>(kind.size()); }
};

struct Material {
  double young = 2.1e11;
  double poisson = 0.3;
  double density = 7850.0;
};

struct Beam {
  int nx = 120, ny = 15, nz = 15;
  double length = 8.0, width = 1.0, height = 1.0;
};

// Hexahedra on a regular grid over [0,L]x[0,W]x[0,H]; node (i,j,k) is
// k + (nz+1)*(j + (ny+1)*i), so that the numbering runs slice by slice
// along the length.
Mesh make_beam(const Beam &b);

// Readers; both throw InputError naming path:line.
Mesh read_gmsh(const std::string &path);

// A symmetric matrix as its lower triangle by rows, diagonal last in each
// row (the kernel's stored-matrix layout, 1-based ia/ja).
struct Stored {
  int n = 0;
  std::vector<int> ia;     // n + 1 entries; ia[i+1] is the 1-based position of
                           // the diagonal of row i+1
  std::vector<int> ja;     // 1-based columns
  std::vector<double> a;
  int nnz() const { return n ? ia[n] : 0; }
};
Stored read_matrix_market(const std::string &path);

// Element matrices, dof order (node 0: x y z, node 1: x y z, ...).
// Returns false when the element is inverted or degenerate.
bool hex8_matrices(const double *x, const Material &m, double *ke, double *me);
bool tet4_matrices(const double *x, const Material &m, double *ke, double *me);

// Degrees of freedom: 3 per node, a negative equation for a fixed one.
struct Dofs {
  std::vector<int> eq;            // 3 per node; equation (0-based) or -1
  std::vector<double> fixed;      // prescribed value of each fixed dof
  int neq = 0;
};
// Numbers the free dofs node by node.
void number_dofs(Dofs &d);

// The graph between nodes that carry free dofs (each once, no self entry),
// built from the mesh's element lists by the kernel's connectivity
// routines. Node v of the graph is mesh node gnode[v].
struct Graph {
  int n = 0;
  std::vector<int> xadj;   // 0-based offsets, n + 1
  std::vector<int> adj;    // 0-based graph nodes
  std::vector<int> width;  // equations per graph node
  std::vector<int> first;  // first equation of each graph node
};
Graph node_graph(const Mesh &mesh, const Dofs &d);

// Assembles the stiffness (and, when mass is given, the consistent mass) on
// the graph's pattern, and adds to rhs the loads of the prescribed values.
// Throws InputError (naming the element) for an inverted element.
void assemble(const Mesh &mesh, const Material &mat, const Dofs &d,
              const Graph &g, Stored &k, Stored *mass, std::vector<double> &rhs);

// y = A x for a stored symmetric matrix, nvec vectors of length n.
void stored_product(const Stored &a, int nvec, const double *x, double *y);

// The cantilever's supports and load: every dof of the nodes at the
// smallest x fixed; a unit load along z shared by the nodes at the largest
// x, by the area each stands for on a regular grid (grid = true) or
// equally. weight sums to 1. Nodes of no element are fixed too.
struct Cantilever {
  Dofs dofs;
  std::vector<double> weight;  // per node
  double lo[3], hi[3];         // bounding box
};
Cantilever clamp_and_load(const Mesh &mesh, bool grid);
// The deflection along z that the load works on.
double tip_deflection(const Cantilever &c, const std::vector<double> &u);
// Tip deflection per unit tip load of a Timoshenko cantilever with a
// rectangular section (width along y, height along z, load along z).
double timoshenko_compliance(double length, double width, double height, const Material &m);

// The fill-reducing orderings of the library's sparse solver.
enum Ordering {
  kAuto = QVK_ORDER_AUTO,                // nested dissection or mmd, fewer operations
  kMinimumDegree = QVK_ORDER_MMD,
  kNestedDissection = QVK_ORDER_ND,
  kNatural = QVK_ORDER_NATURAL,
  kReversed = QVK_ORDER_REVERSED
};
// "auto", "mmd", "nd", "natural", "reversed"; "given" for a caller's order.
const char *ordering_name(int ordering);

// The library's sparse direct solver behind one owned handle. Every
// failure becomes an exception with a one-line message: a rejected pivot
// (statuses 6 and 34, naming the caller's equation), a shortage or a
// factor too large is a SolveError; a matrix pattern the library refuses,
// or nested dissection asked of a build without it, is an InputError. The
// library also raises its own numbered error for each failure.
class Solver {
 public:
  Solver();  // throws SolveError when no handle can be had
  ~Solver();
  Solver(const Solver &) = delete;
  Solver &operator=(const Solver &) = delete;
  // Ordering and symbolic phase on the node graph: node v carries the
  // equations first[v] .. first[v]+width[v]-1, which must run node after
  // node from 0 (as node_graph numbers them).
  void analyse(const Graph &g, Ordering o);
  // The same on a matrix's own pattern, one equation per node.
  void analyse(const Stored &k, Ordering o);
  // The numeric phase, again for new values on the analysed pattern.
  void factor(const Stored &k);
  // Solves K X = B in place for nrhs columns of length equations().
  void solve(double *b, int nrhs);
  // One step of iterative refinement of u, a solution of K u = b:
  // r = b - K u, u += K^-1 r. Returns the scaled residual of the new u,
  // |b-Ku|inf / (|K|inf |u|inf + |b|inf).
  double refine(const Stored &k, const std::vector<double> &b, std::vector<double> &u);
  // The record the last call left: the prediction of analyse, what factor
  // met (smallest pivot ratio, peak memory), the ordering actually used.
  qvk_sparse_info info() const;
  int equations() const { return info().equations; }

 private:
  qvk_sparse_solver *h_ = nullptr;
  // Throws for a non-zero status of the call named by what.
  void check(int status, const char *what, bool input) const;
};

// The lowest nmodes eigenpairs of K x = lambda M x by subspace iteration.
// report is told (iteration, converged count, largest relative change).
struct Modes {
  std::vector<double> lambda;
  std::vector<double> vectors;   // neq x nmodes
  int iterations = 0;
};
Modes subspace_iteration(const Stored &k, const Stored &m, Solver &f,
                         int nmodes, double tol, int max_iter,
                         const std::function<void(int, int, double)> &report);

// Writes the mesh, the displacement field and the mode shapes to path
// through a temporary file renamed at the end; throws InputError naming the
// path when it cannot be written (nothing is left behind).
struct Field {
  std::string name;
  std::vector<double> values;    // 3 per node
};
void write_vtu(const std::string &path, const Mesh &mesh, const std::vector<Field> &fields);

}  // namespace fesolve

#endif

// The example solver's pieces: models, elements, assembly, the multifrontal
// factorization, the eigen solver and the output files. Everything here is
// what a solver author writes on top of the kernel library.
#ifndef FESOLVE_FESOLVE_H
#define FESOLVE_FESOLVE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "QorVARDMathKernel/memory.h"

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
Graph matrix_graph(const Stored &k);

// Assembles the stiffness (and, when mass is given, the consistent mass) on
// the graph's pattern, and adds to rhs the loads of the prescribed values.
// Throws InputError (naming the element) for an inverted element.
void assemble(const Mesh &mesh, const Material &mat, const Dofs &d,
              const Graph &g, Stored &k, Stored *mass, std::vector<double> &rhs);

// y = A x for a stored symmetric matrix, nvec vectors of length n.
void stored_product(const Stored &a, int nvec, const double *x, double *y);

enum Ordering { kNatural, kReversed, kMinimumDegree };
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

// Elimination order of the graph's nodes: perm[k] = node eliminated k-th.
std::vector<int> order_graph(const Graph &g, Ordering o);

struct FactorStats {
  double nnz_l = 0;        // entries of L, diagonal included
  double flops = 0;        // multiply-adds counted as two
  int fronts = 0, max_front = 0;
  double min_ratio = 0;    // smallest pivot / original diagonal
};

// Supernodal LDL' factorization by the multifrontal method. The factor and
// the working arrays of the numeric phase come from a memory manager: the
// factor under the first index, the work under the next, released when the
// factorization ends.
class Multifrontal {
 public:
  Multifrontal() : mm_(8) {}
  Multifrontal(const Multifrontal &) = delete;
  Multifrontal &operator=(const Multifrontal &) = delete;
  // The symbolic phase: elimination tree, supernodes, assembly tree.
  void analyse(const Graph &g, const std::vector<int> &perm);
  // The numeric phase; throws SolveError on a rejected pivot. progress (may
  // be empty) is told the fraction of the work done.
  void factor(const Stored &k, const std::function<void(double)> &progress);
  // Solves K X = B in place for nrhs columns of length neq.
  void solve(double *b, int nrhs) const;
  const FactorStats &stats() const { return stats_; }
  int equations() const { return neq_; }
  // Peak of the memory manager's words, in bytes.
  double peak_bytes() { return 8.0 * mm_.GetMemoryUsed(); }

 private:
  struct Super {
    int first, ncol;             // equations first .. first+ncol-1 (new order)
    int rows;                    // front order (pivot rows first)
    std::size_t row_at;          // into rowidx_
    std::size_t val_at;          // into lval_: rows x ncol column-major
    int parent;                  // -1 for a root
  };
  int neq_ = 0;
  std::vector<int> neweq_;       // new equation -> original equation
  std::vector<int> oldeq_;       // original equation -> new equation
  std::vector<Super> sn_;        // in postorder
  std::vector<int> rowidx_;      // front rows of each supernode (new numbers)
  double *lval_ = nullptr;       // L below the diagonal, D on it
  std::size_t nval_ = 0;
  int factor_index_ = 0;         // the factor's allocation index, 0: none
  QorVardMemoryManager mm_;
  // Arrays of the given lengths (in doubles) under a new index; throws
  // SolveError naming what when the manager cannot supply them.
  int take(const char *what, std::initializer_list<std::pair<double **, std::size_t>> arrays);
  FactorStats stats_;
};

// One step of iterative refinement of u, a solution of K u = b by f:
// r = b - K u (the stored-matrix product), u += K^-1 r.
void refine(const Stored &k, const Multifrontal &f, const std::vector<double> &b,
            std::vector<double> &u);

// The lowest nmodes eigenpairs of K x = lambda M x by subspace iteration.
// report is told (iteration, converged count, largest relative change).
struct Modes {
  std::vector<double> lambda;
  std::vector<double> vectors;   // neq x nmodes
  int iterations = 0;
};
Modes subspace_iteration(const Stored &k, const Stored &m, const Multifrontal &f,
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

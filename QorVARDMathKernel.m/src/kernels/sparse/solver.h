// The sparse direct solver behind sparse_solver.h: the handle's state and
// the phases, in C++. The C entries in solver_api.cpp check the arguments,
// run a phase, turn its failure into a status and a numbered error.
//
// Numbering: "old" equations are the caller's (0-based here), "new" ones
// the elimination order. Fronts (supernodes) are kept in postorder; front s
// eliminates new equations first .. first+ncol-1, and its rows are those
// pivots followed by the rows below them, increasing.
#ifndef QVK_KERNELS_SPARSE_SOLVER_H
#define QVK_KERNELS_SPARSE_SOLVER_H

#include <cstddef>

#include "QorVARDMathKernel/memory.h"
#include "QorVARDMathKernel/sparse_solver.h"

namespace qvk_solver {

// A phase's failure: the status, the routine and what went wrong; the
// equation (caller's, 1-based) and ratio of a rejected pivot.
struct Failure {
  int status;
  const char *detail;
  int equation = 0;
  double ratio = 0.0;
};

// Arrays from one memory manager, each under its own index; release()
// returns the manager to the index it had when the pool was made (every
// later index included), and the destructor does so too.
class Pool {
 public:
  explicit Pool(QorVardMemoryManager &mm) : mm_(mm), mark_(mm.GetIndiceAllocation()) {}
  ~Pool() { release(); }
  Pool(const Pool &) = delete;
  Pool &operator=(const Pool &) = delete;
  // count elements of T; throws Failure (status 7, or 9 past 4 GB).
  template <class T>
  T *take(double count) {
    return static_cast<T *>(take_bytes(count * sizeof(T)));
  }
  void release();
  // Keeps what was taken: the destructor will not release it.
  void keep() { mark_ = mm_.GetIndiceAllocation(); }

 private:
  void *take_bytes(double bytes);
  QorVardMemoryManager &mm_;
  int mark_;
};

struct Front {
  int first;           // first pivot (new equation)
  int ncol;            // pivots
  int rows;            // order of the front
  int parent;          // -1 for a root
  int child_begin;     // its children in kids[child_begin .. child_end)
  int child_end;
  std::size_t row_at;  // into rowidx
  std::size_t val_at;  // into its chunk of the factor: rows x ncol by columns
  int chunk;           // which chunk of the factor holds it
};

struct Symbolic {
  int neq = 0, nnodes = 0, nfronts = 0, nschur = 0;
  int ordering = 0;
  Front *fronts = nullptr;
  int *kids = nullptr;        // children of each front, in postorder
  int *rowidx = nullptr;      // front rows, new equations
  int *neweq = nullptr;       // new -> old equation
  int *oldeq = nullptr;       // old -> new equation
  int *eqnode = nullptr;      // old equation -> node (0-based)
  int *nodefirst = nullptr;   // node -> its first old equation (nnodes + 1)
  int *xadj = nullptr;        // the analysed node graph, 0-based (for the
  int *adj = nullptr;         // pattern check of factor), each list sorted
  int *schur = nullptr;       // caller's Schur equations, 0-based, in order
  int nchunks = 0;
  double *chunk_len = nullptr;  // doubles of each chunk of the factor
  double nnz_l = 0, flops = 0;
  int max_front = 0, max_update_rows = 0;
  double update_peak = 0;
  double max_panel_below = 0; // largest (rows - ncol) * ncol of a front
  double max_contribution = 0; // largest (rows - ncol)^2 (rows^2 for Schur)     // doubles of the update stack at its peak
  double predicted_words = 0;
};

}  // namespace qvk_solver

// The handle. Three managers: the analysis, the factor, the work of one call.
struct qvk_sparse_solver {
  qvk_sparse_solver() : mm_sym(16), mm_fac(16), mm_work(16) {}
  QorVardMemoryManager mm_sym, mm_fac, mm_work;
  int stage = 0;  // 0 empty, 1 analysed, 2 factored
  qvk_sparse_control control{};
  qvk_sparse_info info{};
  qvk_solver::Symbolic sym;
  double **lval = nullptr;  // the factor's chunks: L below the diagonal, D on it
  double words_peak = 0;
};

namespace qvk_solver {

// Input of the analysis: the node graph, 0-based, validated.
struct GraphInput {
  int n;                 // nodes
  const int *xadj;       // n + 1 offsets
  const int *adj;        // 0-based neighbours
  const int *width;      // equations per node
  const int *perm;       // QVK_ORDER_GIVEN: node eliminated k-th, 0-based
  int nschur;
  const int *schur;      // 0-based old equations
};

// Orders and analyses into h (h->stage becomes 1). Throws Failure.
void analyse(qvk_sparse_solver &h, const qvk_sparse_control &c, const GraphInput &g);

// Checks the stored layout (0-based ia as given, 1-based ja): ia(1) = 0,
// rows non-empty, the diagonal last, the other columns below it and each
// once. stamp: n ints of work. Throws Failure (status 2).
void check_stored(int n, const int *ia, const int *ja, int *stamp);

// Factors a matrix in the stored layout (0-based ia as given, 1-based ja);
// s: the Schur complement's nschur^2 values or null. Throws Failure.
void factor(qvk_sparse_solver &h, const int *ia, const int *ja, const double *a, double *s);

// Solves in place; job as in the header. Throws Failure.
void solve(qvk_sparse_solver &h, int job, int nrhs, double *b, int ldb);

}  // namespace qvk_solver

#endif

// The handle on the library's sparse solver: fesolve's graphs and stored
// matrices in the library's conventions, and its statuses as exceptions.
#include <string>

#include "fesolve.h"

namespace fesolve {

const char *ordering_name(int ordering) {
  switch (ordering) {
    case QVK_ORDER_AUTO: return "auto";
    case QVK_ORDER_MMD: return "mmd";
    case QVK_ORDER_ND: return "nd";
    case QVK_ORDER_NATURAL: return "natural";
    case QVK_ORDER_REVERSED: return "reversed";
    case QVK_ORDER_GIVEN: return "given";
    default: return "unknown";
  }
}

Solver::Solver() { check(qvk_sparse_create(&h_), "creating the solver", false); }

Solver::~Solver() { qvk_sparse_destroy(&h_); }

qvk_sparse_info Solver::info() const {
  qvk_sparse_info r{};
  // get_info reads the handle and leaves the pointer as it is.
  qvk_sparse_solver *h = h_;
  qvk_sparse_get_info(&h, &r);
  return r;
}

void Solver::check(int status, const char *what, bool input) const {
  if (status == QVK_SPARSE_OK) return;
  const int eq = status == QVK_SPARSE_ZERO_PIVOT || status == QVK_SPARSE_NOT_POSITIVE
                     ? info().failed_equation : 0;
  const std::string n = std::to_string(status);
  switch (status) {
    case QVK_SPARSE_ZERO_PIVOT:
      throw SolveError("zero pivot at equation " + std::to_string(eq) +
                       " (status 6): the matrix is singular");
    case QVK_SPARSE_NOT_POSITIVE:
      throw SolveError("pivot of equation " + std::to_string(eq) +
                       " not positive (status 34): the matrix is not positive definite");
    case QVK_SPARSE_NO_MEMORY:
      throw SolveError(std::string(what) + ": not enough memory (status 7)");
    case QVK_SPARSE_TOO_LARGE:
      throw SolveError(std::string(what) + ": a count exceeds 32 bits (status 9)");
    case QVK_SPARSE_UNAVAILABLE:
      throw InputError(std::string(what) +
                       ": nested dissection is not available in this build (status 8)");
    case QVK_SPARSE_BAD_STRUCTURE:
      if (input)
        throw InputError(std::string(what) + ": the matrix pattern is refused (status 2)");
      break;
    default:
      break;
  }
  // Anything else is a call this program should not have made.
  throw SolveError(std::string(what) + " failed with status " + n);
}

void Solver::analyse(const Graph &g, Ordering o) {
  // The library numbers a node's equations after those of the nodes before
  // it; the graph must already number them so, or the solution would land
  // on the wrong equations.
  int next = 0;
  for (int v = 0; v < g.n; ++v) {
    if (g.first[v] != next)
      throw SolveError("the graph's equations do not run node after node (node " +
                       std::to_string(v + 1) + ")");
    next += g.width[v];
  }
  std::vector<int> adj(g.adj.size() + 1);
  for (std::size_t p = 0; p < g.adj.size(); ++p) adj[p] = g.adj[p] + 1;
  // xadj is already the offset form (xadj(1) = 0) that the library takes.
  std::vector<int> xadj = g.xadj.empty() ? std::vector<int>{0} : g.xadj;
  qvk_sparse_control c;
  qvk_sparse_defaults(&c);
  c.ordering = o;
  const int nschur = 0;
  check(qvk_sparse_analyse_graph(&h_, &c, &g.n, xadj.data(), adj.data(),
                                 g.width.empty() ? nullptr : g.width.data(), nullptr, &nschur,
                                 nullptr, nullptr),
        "analysis", false);
}

void Solver::analyse(const Stored &k, Ordering o) {
  qvk_sparse_control c;
  qvk_sparse_defaults(&c);
  c.ordering = o;
  const int nschur = 0;
  const std::vector<int> ia = k.ia.empty() ? std::vector<int>{0} : k.ia;
  check(qvk_sparse_analyse_matrix(&h_, &c, &k.n, ia.data(), k.ja.data(), nullptr, &nschur,
                                  nullptr, nullptr),
        "analysis", true);
}

void Solver::factor(const Stored &k) {
  check(qvk_sparse_factor(&h_, &k.n, k.ia.data(), k.ja.data(), k.a.data(), nullptr, nullptr),
        "factorization", false);
}

void Solver::solve(double *b, int nrhs) {
  const int job = QVK_SOLVE_FULL, n = equations(), ldb = n > 1 ? n : 1;
  check(qvk_sparse_solve(&h_, &job, &nrhs, b, &ldb, nullptr), "solve", false);
}

double Solver::refine(const Stored &k, const std::vector<double> &b, std::vector<double> &u) {
  if (b.size() != static_cast<std::size_t>(k.n) || u.size() != b.size())
    throw SolveError("refinement: vectors of " + std::to_string(b.size()) + " and " +
                     std::to_string(u.size()) + " values for " + std::to_string(k.n) +
                     " equations");
  const int nrhs = 1, ldb = k.n > 1 ? k.n : 1;
  double resid = 0;
  check(qvk_sparse_refine(&h_, &k.n, k.ia.data(), k.ja.data(), k.a.data(), &nrhs, b.data(),
                          u.data(), &ldb, &resid, nullptr),
        "refinement", false);
  return resid;
}

}  // namespace fesolve

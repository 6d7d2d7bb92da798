// The C entries of the sparse direct solver: argument checks, the phases,
// statuses, numbered errors and the info record.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>

#include "QorVARDMathKernel/errors.h"
#include "QorVARDMathKernel/packed.h"
#include "kernels/sparse/solver.h"

using qvk_solver::Failure;
using qvk_solver::Pool;

namespace {

const char kCatalog[] = "QorVARDMathKernelError";

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Raises the numbered error of a failure (a refused allocation has been
// raised by the memory manager already).
void raise(const char *routine, const Failure &f) {
  switch (f.status) {
    case QVK_SPARSE_NO_MEMORY:
      return;
    case QVK_SPARSE_ZERO_PIVOT:
      QorVardErrorTools::CreateError(406, kCatalog, f.equation);
      return;
    case QVK_SPARSE_NOT_POSITIVE:
      QorVardErrorTools::CreateError(434, kCatalog, f.equation, f.ratio);
      return;
    default:
      QorVardErrorTools::CreateError(400 + f.status, kCatalog, routine, f.detail);
  }
}

void copy_info(const qvk_sparse_solver *h, qvk_sparse_info *info) {
  if (info) *info = h->info;
}

// Statuses of the entries: the failure raised and recorded; info copied.
int finish(qvk_sparse_solver *h, const char *routine, const Failure *f, qvk_sparse_info *info) {
  const int st = f ? f->status : QVK_SPARSE_OK;
  if (f) raise(routine, *f);
  if (h) {
    h->info.status = st;
    if (f && (st == QVK_SPARSE_ZERO_PIVOT || st == QVK_SPARSE_NOT_POSITIVE))
      h->info.failed_equation = f->equation;
    h->words_peak = std::max(h->words_peak, double(h->mm_sym.GetMemoryUsed()) +
                                                h->mm_fac.GetMemoryUsed() +
                                                h->mm_work.GetMemoryUsed());
    h->info.peak_words = h->words_peak;
    copy_info(h, info);
  } else if (info) {
    info->status = st;
  }
  return st;
}

#define QVK_REQUIRE(cond, what) \
  if (!(cond)) throw Failure { QVK_SPARSE_BAD_ARGUMENT, what }

// Runs body, turning a failure into its status. The handle must be usable.
template <class Body>
int run(qvk_sparse_solver **handle, const char *routine, qvk_sparse_info *info, Body body) {
  qvk_sparse_solver *h = handle ? *handle : nullptr;
  if (!h) {
    const Failure f{QVK_SPARSE_BAD_ARGUMENT, "the handle is null"};
    return finish(nullptr, routine, &f, info);
  }
  h->info.failed_equation = 0;
  try {
    body(*h);
  } catch (const Failure &f) {
    return finish(h, routine, &f, info);
  } catch (const std::bad_alloc &) {
    const Failure f{QVK_SPARSE_NO_MEMORY, "not enough memory"};
    return finish(h, routine, &f, info);
  }
  return finish(h, routine, nullptr, info);
}

void check_control(const qvk_sparse_control &c) {
  QVK_REQUIRE(c.ordering >= QVK_ORDER_AUTO && c.ordering <= QVK_ORDER_GIVEN,
              "control.ordering is not one of the orderings");
  QVK_REQUIRE(c.tiny >= 0 && std::isfinite(c.tiny), "control.tiny is negative or not finite");
  QVK_REQUIRE(std::isfinite(c.threshold), "control.threshold is not finite");
  QVK_REQUIRE(c.relax_columns[0] >= 0 && c.relax_columns[1] >= 0 && c.relax_columns[2] >= 0,
              "control.relax_columns is negative");
  QVK_REQUIRE(c.relax_small >= 0 && c.relax_mid >= 0 && c.relax_large >= 0 &&
                  c.relax_small <= 1 && c.relax_mid <= 1 && c.relax_large <= 1,
              "a control.relax fraction is outside 0..1");
  QVK_REQUIRE(c.auto_nodes >= 0, "control.auto_nodes is negative");
}

// Common checks of the analysis: Schur set and given order, then the phase.
void analyse_checked(qvk_sparse_solver &h, const qvk_sparse_control *control, int n,
                     const int *xadj0, const int *adj0, const int *width, const int *perm,
                     const int *nschur, const int *schur, Pool &work) {
  const qvk_sparse_control c = control ? *control : h.control;
  check_control(c);
  QVK_REQUIRE(nschur && *nschur >= 0, "nschur is null or negative");
  QVK_REQUIRE(*nschur == 0 || schur, "schur is null");
  double neqd = 0;
  for (int v = 0; v < n; ++v) neqd += width[v];
  if (neqd > 2147483647.0) throw Failure{QVK_SPARSE_TOO_LARGE, "more than 2^31 - 1 equations"};
  const int neq = static_cast<int>(neqd);
  int *schur0 = work.take<int>(std::max(*nschur, 1));
  {
    char *seen = work.take<char>(std::max(neq, 1));
    std::memset(seen, 0, std::max(neq, 1));
    for (int i = 0; i < *nschur; ++i) {
      if (schur[i] < 1 || schur[i] > neq)
        throw Failure{QVK_SPARSE_BAD_SCHUR, "an equation out of range"};
      if (seen[schur[i] - 1]) throw Failure{QVK_SPARSE_BAD_SCHUR, "an equation given twice"};
      seen[schur[i] - 1] = 1;
      schur0[i] = schur[i] - 1;
    }
  }
  int *perm0 = nullptr;
  if (c.ordering == QVK_ORDER_GIVEN) {
    QVK_REQUIRE(perm, "perm is null with the given ordering");
    perm0 = work.take<int>(std::max(n, 1));
    char *seen = work.take<char>(std::max(n, 1));
    std::memset(seen, 0, std::max(n, 1));
    for (int k = 0; k < n; ++k) {
      if (perm[k] < 1 || perm[k] > n) throw Failure{QVK_SPARSE_BAD_ORDER, "a node out of range"};
      if (seen[perm[k] - 1]) throw Failure{QVK_SPARSE_BAD_ORDER, "a node given twice"};
      seen[perm[k] - 1] = 1;
      perm0[k] = perm[k] - 1;
    }
  }
  const double t0 = now();
  h.control = c;
  const qvk_solver::GraphInput g{n, xadj0, adj0, width, perm0, *nschur, schur0};
  qvk_solver::analyse(h, c, g);
  const qvk_solver::Symbolic &s = h.sym;
  h.stage = 1;
  qvk_sparse_info &in = h.info;
  in.equations = s.neq;
  in.nodes = s.nnodes;
  in.fronts = s.nfronts;
  in.max_front = s.max_front;
  in.ordering = s.ordering;
  in.schur = s.nschur;
  in.nnz_l = s.nnz_l;
  in.flops = s.flops;
  in.predicted_words = s.predicted_words;
  in.min_ratio = 0;
  in.residual = 0;
  in.time_analyse = now() - t0;
}

// Drops the analysis and the factor: the handle as created, its control
// kept.
void reset(qvk_sparse_solver &h) {
  h.mm_fac.Desallocation(1);
  h.mm_sym.Desallocation(1);
  h.lval = nullptr;
  h.sym = qvk_solver::Symbolic();
  h.stage = 0;
  const qvk_sparse_control c = h.control;
  const double peak = h.words_peak;
  h.info = qvk_sparse_info();
  h.control = c;
  h.words_peak = peak;
}

}  // namespace

extern "C" {

void qvk_sparse_defaults(qvk_sparse_control *c) {
  if (!c) return;
  *c = qvk_sparse_control();
  c->tiny = 1e-300;
  c->threshold = 0.0;
  c->relax_small = 0.8;
  c->relax_mid = 0.1;
  c->relax_large = 0.05;
  c->ordering = QVK_ORDER_AUTO;
  c->relax_columns[0] = 4;
  c->relax_columns[1] = 16;
  c->relax_columns[2] = 48;
  c->auto_nodes = 2000000;
}

int qvk_sparse_create(qvk_sparse_solver **handle) {
  if (!handle) {
    const Failure f{QVK_SPARSE_BAD_ARGUMENT, "the handle's address is null"};
    return finish(nullptr, "qvk_sparse_create", &f, nullptr);
  }
  *handle = new (std::nothrow) qvk_sparse_solver();
  if (!*handle) {
    QorVardErrorTools::CreateError(302, kCatalog, int(sizeof(qvk_sparse_solver) / 1024 + 1), 0);
    return QVK_SPARSE_NO_MEMORY;
  }
  qvk_sparse_defaults(&(*handle)->control);
  return QVK_SPARSE_OK;
}

int qvk_sparse_destroy(qvk_sparse_solver **handle) {
  if (handle && *handle) {
    delete *handle;
    *handle = nullptr;
  }
  return QVK_SPARSE_OK;
}

int qvk_sparse_analyse_graph(qvk_sparse_solver **handle, const qvk_sparse_control *control,
                             const int *nnodes, const int *xadj, const int *adj, const int *width,
                             const int *perm, const int *nschur, const int *schur,
                             qvk_sparse_info *info) {
  return run(handle, "qvk_sparse_analyse_graph", info, [&](qvk_sparse_solver &h) {
    reset(h);
    QVK_REQUIRE(nnodes && *nnodes >= 0, "nnodes is null or negative");
    const int n = *nnodes;
    QVK_REQUIRE(xadj, "xadj is null");
    if (xadj[0] != 0) throw Failure{QVK_SPARSE_BAD_STRUCTURE, "xadj(1) is not 0"};
    for (int v = 0; v < n; ++v)
      if (xadj[v + 1] < xadj[v]) throw Failure{QVK_SPARSE_BAD_STRUCTURE, "xadj decreases"};
    const int nz = xadj[n];
    QVK_REQUIRE(nz == 0 || adj, "adj is null");
    Pool work(h.mm_work);
    int *w = work.take<int>(std::max(n, 1));
    for (int v = 0; v < n; ++v) {
      w[v] = width ? width[v] : 1;
      QVK_REQUIRE(w[v] >= 1 && w[v] <= 6, "a width outside 1..6");
    }
    // Neighbours 0-based, each list sorted; checked for range, self
    // entries, repeats and symmetry.
    int *x0 = work.take<int>(n + 1.0), *a0 = work.take<int>(std::max(nz, 1));
    std::memcpy(x0, xadj, sizeof(int) * (n + 1));
    for (int p = 0; p < nz; ++p) {
      if (adj[p] < 1 || adj[p] > n) throw Failure{QVK_SPARSE_BAD_STRUCTURE, "a node out of range"};
      a0[p] = adj[p] - 1;
    }
    for (int v = 0; v < n; ++v) {
      std::sort(a0 + x0[v], a0 + x0[v + 1]);
      for (int p = x0[v]; p < x0[v + 1]; ++p) {
        if (a0[p] == v) throw Failure{QVK_SPARSE_BAD_STRUCTURE, "a node lists itself"};
        if (p > x0[v] && a0[p] == a0[p - 1])
          throw Failure{QVK_SPARSE_BAD_STRUCTURE, "a neighbour listed twice"};
      }
    }
    for (int v = 0; v < n; ++v)
      for (int p = x0[v]; p < x0[v + 1]; ++p) {
        const int u = a0[p];
        if (!std::binary_search(a0 + x0[u], a0 + x0[u + 1], v))
          throw Failure{QVK_SPARSE_BAD_STRUCTURE, "the graph is not symmetric"};
      }
    analyse_checked(h, control, n, x0, a0, w, perm, nschur, schur, work);
  });
}

int qvk_sparse_analyse_matrix(qvk_sparse_solver **handle, const qvk_sparse_control *control,
                              const int *n_, const int *ia, const int *ja, const int *perm,
                              const int *nschur, const int *schur, qvk_sparse_info *info) {
  return run(handle, "qvk_sparse_analyse_matrix", info, [&](qvk_sparse_solver &h) {
    reset(h);
    QVK_REQUIRE(n_ && *n_ >= 0, "n is null or negative");
    const int n = *n_;
    QVK_REQUIRE(ia, "ia is null");
    QVK_REQUIRE(n == 0 || ja, "ja is null");
    Pool work(h.mm_work);
    int *stamp = work.take<int>(std::max(n, 1));
    qvk_solver::check_stored(n, ia, ja, stamp);
    // The graph of the pattern: each off-diagonal entry both ways.
    int *x0 = work.take<int>(n + 1.0), *w = work.take<int>(std::max(n, 1));
    const double off = double(ia[n]) - n;
    if (2 * off > 2147483647.0) throw Failure{QVK_SPARSE_TOO_LARGE, "more than 2^30 entries"};
    int *a0 = work.take<int>(std::max(2 * off, 1.0));
    for (int i = 0; i <= n; ++i) x0[i] = 0;
    for (int i = 0; i < n; ++i) {
      w[i] = 1;
      for (int p = ia[i]; p < ia[i + 1] - 1; ++p) {
        ++x0[i + 1];
        ++x0[ja[p]];
      }
    }
    for (int i = 0; i < n; ++i) x0[i + 1] += x0[i];
    for (int i = 0; i < n; ++i) stamp[i] = x0[i];
    for (int i = 0; i < n; ++i)
      for (int p = ia[i]; p < ia[i + 1] - 1; ++p) {
        const int j = ja[p] - 1;
        a0[stamp[i]++] = j;
        a0[stamp[j]++] = i;
      }
    for (int v = 0; v < n; ++v) std::sort(a0 + x0[v], a0 + x0[v + 1]);
    analyse_checked(h, control, n, x0, a0, w, perm, nschur, schur, work);
  });
}

int qvk_sparse_factor(qvk_sparse_solver **handle, const int *n, const int *ia, const int *ja,
                      const double *a, double *s, qvk_sparse_info *info) {
  return run(handle, "qvk_sparse_factor", info, [&](qvk_sparse_solver &h) {
    if (h.stage < 1) throw Failure{QVK_SPARSE_OUT_OF_ORDER, "factor before analyse"};
    QVK_REQUIRE(n && *n == h.sym.neq, "n is null or not the analysed order");
    QVK_REQUIRE(ia && (*n == 0 || (ja && a)), "ia, ja or a is null");
    QVK_REQUIRE(h.sym.nschur == 0 || s, "s is null in Schur complement mode");
    const double t0 = now();
    h.info.min_ratio = h.info.time_fronts = h.info.time_assembly = 0;
    qvk_solver::factor(h, ia, ja, a, s);
    h.info.time_factor = now() - t0;
  });
}

int qvk_sparse_solve(qvk_sparse_solver **handle, const int *job, const int *nrhs, double *b,
                     const int *ldb, qvk_sparse_info *info) {
  return run(handle, "qvk_sparse_solve", info, [&](qvk_sparse_solver &h) {
    if (h.stage < 2) throw Failure{QVK_SPARSE_OUT_OF_ORDER, "solve before factor"};
    QVK_REQUIRE(job && *job >= QVK_SOLVE_FULL && *job <= QVK_SOLVE_EXPAND, "job is not a job");
    const bool schur = h.sym.nschur > 0;
    QVK_REQUIRE(!(schur && *job == QVK_SOLVE_FULL), "a full solve in Schur complement mode");
    QVK_REQUIRE(schur || *job <= QVK_SOLVE_LT, "condense or expand without a Schur complement");
    QVK_REQUIRE(nrhs && *nrhs >= 0, "nrhs is null or negative");
    QVK_REQUIRE(ldb && *ldb >= std::max(1, h.sym.neq), "ldb is null or below n");
    QVK_REQUIRE(*nrhs == 0 || b, "b is null");
    const double t0 = now();
    qvk_solver::solve(h, *job, *nrhs, b, *ldb);
    h.info.time_solve = now() - t0;
  });
}

int qvk_sparse_refine(qvk_sparse_solver **handle, const int *n_, const int *ia, const int *ja,
                      const double *a, const int *nrhs, const double *b, double *u,
                      const int *ldb, double *resid, qvk_sparse_info *info) {
  return run(handle, "qvk_sparse_refine", info, [&](qvk_sparse_solver &h) {
    if (h.stage < 2) throw Failure{QVK_SPARSE_OUT_OF_ORDER, "refine before factor"};
    QVK_REQUIRE(h.sym.nschur == 0, "refinement in Schur complement mode");
    QVK_REQUIRE(n_ && *n_ == h.sym.neq, "n is null or not the analysed order");
    const int n = *n_;
    QVK_REQUIRE(ia && (n == 0 || (ja && a)), "ia, ja or a is null");
    QVK_REQUIRE(nrhs && *nrhs >= 0, "nrhs is null or negative");
    QVK_REQUIRE(ldb && *ldb >= std::max(1, n), "ldb is null or below n");
    QVK_REQUIRE(*nrhs == 0 || (b && u), "b or u is null");
    const double t0 = now();
    Pool work(h.mm_work);
    int *stamp = work.take<int>(std::max(n, 1));
    qvk_solver::check_stored(n, ia, ja, stamp);
    double *r = work.take<double>(std::max(n, 1)), *rowsum = work.take<double>(std::max(n, 1));
    // |K|inf, both triangles.
    for (int i = 0; i < n; ++i) rowsum[i] = 0;
    for (int i = 0; i < n; ++i)
      for (int p = ia[i]; p < ia[i + 1]; ++p) {
        rowsum[i] += std::fabs(a[p]);
        if (p != ia[i + 1] - 1) rowsum[ja[p] - 1] += std::fabs(a[p]);
      }
    double kinf = 0;
    for (int i = 0; i < n; ++i) kinf = std::max(kinf, rowsum[i]);
    const int mode = 1, one = 1, nnz = ia[n], full = QVK_SOLVE_FULL;
    double worst = 0;
    for (int c = 0; c < *nrhs; ++c) {
      const double *bc = b + static_cast<std::size_t>(c) * *ldb;
      double *uc = u + static_cast<std::size_t>(c) * *ldb;
      if (n > 0) eaxmvm(&mode, &nnz, &n, &n, &one, ja, ia, a, uc, r);
      for (int i = 0; i < n; ++i) r[i] = bc[i] - r[i];
      qvk_solver::solve(h, full, 1, r, n);
      for (int i = 0; i < n; ++i) uc[i] += r[i];
      if (n > 0) eaxmvm(&mode, &nnz, &n, &n, &one, ja, ia, a, uc, r);
      double rinf = 0, uinf = 0, binf = 0;
      for (int i = 0; i < n; ++i) {
        rinf = std::max(rinf, std::fabs(bc[i] - r[i]));
        uinf = std::max(uinf, std::fabs(uc[i]));
        binf = std::max(binf, std::fabs(bc[i]));
      }
      const double den = kinf * uinf + binf;
      worst = std::max(worst, den > 0 ? rinf / den : rinf);
    }
    h.info.residual = worst;
    if (resid) *resid = worst;
    h.info.time_solve = now() - t0;
  });
}

int qvk_sparse_get_info(qvk_sparse_solver **handle, qvk_sparse_info *info) {
  if (!handle || !*handle || !info) return QVK_SPARSE_BAD_ARGUMENT;
  *info = (*handle)->info;
  return QVK_SPARSE_OK;
}

}  // extern "C"

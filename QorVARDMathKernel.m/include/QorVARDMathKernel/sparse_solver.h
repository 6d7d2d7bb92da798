/* The sparse direct solver: analyse, factor, solve and refine a symmetric
 * positive definite system K u = b by the multifrontal LDL' method.
 *
 * Routines
 *   qvk_sparse_defaults        control record filled with the defaults
 *   qvk_sparse_create          a new, empty solver handle
 *   qvk_sparse_destroy         releases a handle and everything it holds
 *   qvk_sparse_analyse_graph   ordering and symbolic phase from a node graph
 *   qvk_sparse_analyse_matrix  the same from a matrix's stored pattern
 *   qvk_sparse_factor          numeric phase (again for new values)
 *   qvk_sparse_solve           full solve, or L, D, L' alone, in place
 *   qvk_sparse_refine          one step of iterative refinement
 *   qvk_sparse_get_info        the info record of the last call
 *
 * Conventions: C linkage, every argument by reference (so that Fortran
 * calls them through the module's interfaces), 32-bit int, IEEE binary64
 * reals, 1-based node, equation and position numbers. The handle is an
 * opaque pointer held by the caller; every routine takes its address.
 * Argument classes: [in] read only; [out] written; [in,out] read and
 * updated.
 *
 * Equations. A finite-element model groups its unknowns by node: node i
 * carries width(i) equations (1 to 6, typically 3), numbered consecutively
 * node after node, so node 1 holds equations 1..width(1). Orderings work on
 * the nodes, so a node's equations stay together; a matrix given without
 * nodes has one equation per node.
 *
 * Matrices are given in the stored layout of eaxmvm (packed.h): the lower
 * triangle by rows, the diagonal last in each row. ia(n+1) with ia(1) = 0;
 * row i holds positions ia(i)+1 .. ia(i+1) of ja and a, ja(ia(i+1)) = i, the
 * other columns below i, increasing or not, each at most once.
 *
 * The factorization is P K P' = L D L', P the fill-reducing order applied
 * to nodes, L unit lower triangular by supernodes (fronts). The pivots are
 * eliminated a block at a time by easlff_nt, with its tiny and threshold
 * tests against the original diagonal; the panels and the trailing updates
 * of each front go through eagemm. For a given ordering, L, D and every
 * solution are the same bits on every processor and in 32-bit and 64-bit
 * builds.
 *
 * Schur complement mode. A set of equations named at analyse (whole nodes:
 * a node's equations are all in the set or none) is ordered last and left
 * unfactored. The factor returns the dense Schur complement
 * S = K_ss - K_si K_ii^-1 K_is on them; solve with job 4 (condense) turns b
 * into the interior's intermediate values and the condensed right-hand
 * side b_s - K_si K_ii^-1 b_i at the Schur equations; the caller solves
 * S u_s = (condensed b_s), stores u_s at the Schur equations, and job 5
 * (expand) completes the interior u_i.
 *
 * Statuses (returned, and kept in info.status). Each failure other than a
 * refused allocation raises the numbered error 400 + status of catalog
 * "QorVARDMathKernelError" (a refused allocation raises the memory
 * manager's own 302):
 *   0   QVK_SPARSE_OK
 *   1   QVK_SPARSE_BAD_ARGUMENT  a null pointer, a size or job out of
 *                                range, a control value out of range
 *   2   QVK_SPARSE_BAD_STRUCTURE a node or column out of range, a repeated
 *                                entry, a missing or misplaced diagonal,
 *                                xadj(1) or ia(1) not 0, offsets that
 *                                decrease, a graph that is not symmetric,
 *                                an entry outside the analysed pattern
 *   3   QVK_SPARSE_BAD_ORDER     a given order that is not a permutation
 *   4   QVK_SPARSE_BAD_SCHUR     a Schur equation out of range, repeated,
 *                                or splitting a node
 *   5   QVK_SPARSE_OUT_OF_ORDER  factor before analyse, solve before factor
 *   6   QVK_SPARSE_ZERO_PIVOT    |pivot| below tiny (easlff_nt status 6)
 *   7   QVK_SPARSE_NO_MEMORY     the memory manager refused an array
 *   8   QVK_SPARSE_UNAVAILABLE   nested dissection asked for in a build
 *                                without METIS
 *   9   QVK_SPARSE_TOO_LARGE     a count beyond 32 bits (the factor's
 *                                entries, an array past 4 GB)
 *   34  QVK_SPARSE_NOT_POSITIVE  pivot ratio at or below the threshold, or
 *                                a diagonal that is not positive
 *                                (easlff_nt status 34)
 * A failed analyse leaves the handle empty (as created); a failed factor
 * leaves the analysis in place (factor may be called again) and no factor;
 * a failed solve or refine leaves the factor in place. For statuses 6 and
 * 34, info.failed_equation holds the caller's number of the equation.
 *
 * Memory: every array of the handle comes from QorVardMemoryManager
 * objects that the handle owns. Threads: a handle is used by one thread at
 * a time; distinct handles are independent. */
#ifndef QORVARDMATHKERNEL_SPARSE_SOLVER_H
#define QORVARDMATHKERNEL_SPARSE_SOLVER_H

#include "QorVARDMathKernel/export.h"

QVK_EXTERN_C_BEGIN

#define QVK_SPARSE_OK 0
#define QVK_SPARSE_BAD_ARGUMENT 1
#define QVK_SPARSE_BAD_STRUCTURE 2
#define QVK_SPARSE_BAD_ORDER 3
#define QVK_SPARSE_BAD_SCHUR 4
#define QVK_SPARSE_OUT_OF_ORDER 5
#define QVK_SPARSE_ZERO_PIVOT 6
#define QVK_SPARSE_NO_MEMORY 7
#define QVK_SPARSE_UNAVAILABLE 8
#define QVK_SPARSE_TOO_LARGE 9
#define QVK_SPARSE_NOT_POSITIVE 34

/* Orderings (control.ordering, info.ordering). */
#define QVK_ORDER_AUTO 0     /* nested dissection or mmd, whichever predicts
                                fewer operations (see below) */
#define QVK_ORDER_MMD 1      /* multiple minimum degree (mmd) */
#define QVK_ORDER_ND 2       /* nested dissection (METIS_NodeND) */
#define QVK_ORDER_NATURAL 3  /* nodes as numbered */
#define QVK_ORDER_REVERSED 4 /* nodes in reverse */
#define QVK_ORDER_GIVEN 5    /* the caller's permutation of the nodes */

/* Solve jobs. */
#define QVK_SOLVE_FULL 0     /* b := K^-1 b */
#define QVK_SOLVE_L 1        /* b := P' L^-1 P b */
#define QVK_SOLVE_D 2        /* b := P' D^-1 P b */
#define QVK_SOLVE_LT 3       /* b := P' L'^-1 P b */
#define QVK_SOLVE_CONDENSE 4 /* Schur mode: L then D on the interior */
#define QVK_SOLVE_EXPAND 5   /* Schur mode: L' on the interior */

typedef struct qvk_sparse_solver qvk_sparse_solver;

/* Control record. Reals first, so that the layout is the same for C and
 * for a bind(C) Fortran type in both builds. */
typedef struct qvk_sparse_control {
  double tiny;       /* easlff_nt's smallest admissible |pivot| (1e-300) */
  double threshold;  /* easlff_nt's pivot ratio bound (0.0): a pivot whose
                        ratio to its original diagonal is at or below it is
                        rejected (status 34) */
  double relax_small;  /* amalgamation: a front and its child merge while
                          the merged front has at most relax_columns(1)
                          columns (4), or the explicit zeros it adds stay
                          below relax_small (0.8) of its entries with at most
                          relax_columns(2) columns (16), */
  double relax_mid;    /* below relax_mid (0.1) with at most
                          relax_columns(3) columns (48), */
  double relax_large;  /* or below relax_large (0.05) at any size */
  int ordering;        /* QVK_ORDER_* (QVK_ORDER_AUTO) */
  int relax_columns[3];/* 4, 16, 48 */
  int auto_nodes;      /* automatic ordering: graphs of at most this many
                          nodes (2,000,000) are analysed under both mmd and
                          nested dissection and the one predicting fewer
                          operations is kept; larger graphs take nested
                          dissection. Graphs of fewer than 200 nodes, and
                          every graph in a build without METIS, take
                          mmd. */
  int reserved[8];     /* zero */
} qvk_sparse_control;

/* Info record: what analyse predicts and what factor met. */
typedef struct qvk_sparse_info {
  double nnz_l;          /* entries of L, diagonal included (the Schur
                            block excluded) */
  double flops;          /* operations of the factorization, multiply-adds
                            counted as two */
  double min_ratio;      /* smallest pivot / original diagonal (factor) */
  double peak_words;     /* peak of the handle's memory managers, words */
  double predicted_words;/* words that factor will hold (factor + fronts) */
  double time_analyse;   /* seconds (wall) of the last analyse */
  double time_factor;    /* of the last factor */
  double time_solve;     /* of the last solve or refine */
  double residual;       /* scaled residual after the last refine:
                            |b-Ku|inf / (|K|inf |u|inf + |b|inf) */
  double time_fronts;    /* of time_factor: the fronts' elimination (pivot
                            blocks, panels, trailing updates) */
  double time_assembly;  /* of time_factor: the fronts' assembly from the
                            matrix and the children, the update stack */
  int status;            /* of the last call */
  int equations;         /* order of K */
  int nodes;             /* nodes of the graph */
  int fronts;            /* supernodes */
  int max_front;         /* largest front order */
  int ordering;          /* ordering used (never QVK_ORDER_AUTO) */
  int failed_equation;   /* statuses 6 and 34: the caller's equation */
  int schur;             /* equations of the Schur complement */
  int reserved[8];
} qvk_sparse_info;

/* control [out] the defaults above. */
QVK_EXPORT void qvk_sparse_defaults(qvk_sparse_control *control);

/* handle [out] a new empty handle (null on failure).
 * Returns 0, 1 (handle null) or 7. */
QVK_EXPORT int qvk_sparse_create(qvk_sparse_solver **handle);

/* handle [in,out] released and set to null; a null handle is ignored.
 * Returns 0. */
QVK_EXPORT int qvk_sparse_destroy(qvk_sparse_solver **handle);

/* Ordering and symbolic factorization from the node graph.
 * [in,out] handle   from qvk_sparse_create; an earlier analysis and
 *                   factor are dropped.
 * [in]  control     null: the defaults.
 * [in]  nnodes      number of nodes, >= 0.
 * [in]  xadj(nnodes+1)  offsets of the adjacency lists (the offset form of
 *                   eaupnn: xadj(1) = 0, node i's neighbours at positions
 *                   xadj(i)+1 .. xadj(i+1)).
 * [in]  adj(xadj(nnodes+1))  neighbours, 1-based, each at most once per
 *                   list, without the node itself; the graph symmetric.
 * [in]  width(nnodes)  equations of each node, 1 to 6; null: 1 each.
 * [in]  perm(nnodes) QVK_ORDER_GIVEN: perm(k) = node eliminated k-th;
 *                   otherwise not read (may be null).
 * [in]  nschur      equations of the Schur complement, >= 0.
 * [in]  schur(nschur)  their numbers (whole nodes, no repeats); the Schur
 *                   complement's rows and columns follow this order.
 * [out] info        null or the info record (prediction: nnz_l, flops,
 *                   fronts, max_front, predicted_words).
 * Returns a status. */
QVK_EXPORT int qvk_sparse_analyse_graph(qvk_sparse_solver **handle,
                                        const qvk_sparse_control *control,
                                        const int *nnodes, const int *xadj, const int *adj,
                                        const int *width, const int *perm, const int *nschur,
                                        const int *schur, qvk_sparse_info *info);

/* The same from the pattern of a matrix in the stored layout (one equation
 * per node); the pattern is checked (status 2).
 * [in] n, ia(n+1), ja(ia(n+1))  the stored pattern.
 * Other arguments as for qvk_sparse_analyse_graph, perm over equations. */
QVK_EXPORT int qvk_sparse_analyse_matrix(qvk_sparse_solver **handle,
                                         const qvk_sparse_control *control, const int *n,
                                         const int *ia, const int *ja, const int *perm,
                                         const int *nschur, const int *schur,
                                         qvk_sparse_info *info);

/* Numeric factorization; may be called again with new values on the same
 * pattern (or any pattern inside the analysed one).
 * [in] n        the analysed order.
 * [in] ia, ja, a  the matrix in the stored layout; an entry whose two
 *               nodes are not joined in the analysed graph is status 2.
 * [out] s(nschur, nschur)  Schur mode: the Schur complement, both
 *               triangles, by columns, leading dimension nschur; null when
 *               nschur = 0.
 * [out] info    null or the info record.
 * Returns a status. */
QVK_EXPORT int qvk_sparse_factor(qvk_sparse_solver **handle, const int *n, const int *ia,
                                 const int *ja, const double *a, double *s,
                                 qvk_sparse_info *info);

/* Solves in place.
 * [in] job      QVK_SOLVE_*; FULL in Schur mode is status 1, CONDENSE and
 *               EXPAND outside it likewise.
 * [in] nrhs     right-hand sides, >= 0.
 * [in,out] b(ldb, nrhs)  right-hand sides, overwritten by the solutions.
 * [in] ldb      >= max(1, n).
 * [out] info    null or the info record.
 * Every column is solved with the same operations as alone. */
QVK_EXPORT int qvk_sparse_solve(qvk_sparse_solver **handle, const int *job, const int *nrhs,
                                double *b, const int *ldb, qvk_sparse_info *info);

/* One step of iterative refinement of the full solve (not in Schur mode):
 * r = b - K u by eaxmvm, u := u + K^-1 r; then the scaled residual
 * |b - K u|inf / (|K|inf |u|inf + |b|inf) of the new u, the largest over
 * the columns, in resid and info.residual.
 * [in] n, ia, ja, a   the matrix that was factored.
 * [in] nrhs, b(ldb, nrhs), ldb  the right-hand sides.
 * [in,out] u(ldb, nrhs)  solutions, improved.
 * [out] resid   the scaled residual after the step.
 * Returns a status. */
QVK_EXPORT int qvk_sparse_refine(qvk_sparse_solver **handle, const int *n, const int *ia,
                                 const int *ja, const double *a, const int *nrhs,
                                 const double *b, double *u, const int *ldb, double *resid,
                                 qvk_sparse_info *info);

/* info [out] the record as the last call left it. Returns 0, 1 for a null
 * handle. */
QVK_EXPORT int qvk_sparse_get_info(qvk_sparse_solver **handle, qvk_sparse_info *info);

QVK_EXTERN_C_END

#endif

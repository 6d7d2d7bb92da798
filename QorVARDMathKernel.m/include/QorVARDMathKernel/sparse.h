/* Sparse structure: element connectivity, multiple minimum degree ordering,
 * record sort and the frontal pivot-block factorization. The road from a
 * mesh to a factorization runs through them in that order:
 *
 *   element-to-node lists --eaupnn/eaunln--> node-to-node lists
 *   --(offsets + 1)--> mmd --> fronts eliminated by easlff_nt.
 *
 * Conventions: C linkage, 32-bit int, IEEE binary64 reals, 1-based node,
 * element and position numbers. Every argument is passed by reference, as
 * in vector.h, except for the ordering family (mmd and its steps), which
 * takes its scalars by value, as marked.
 *
 * Offset form of packed lists: an offset array p of k+1 ints describes k
 * lists stored one after another in a member array; list j holds members
 * p(j)+1 .. p(j+1) (1-based), p(1) = 0, p(k+1) = total members. Adding 1
 * to every offset gives the pointer form (xadj) that mmd reads.
 *
 * Argument classes: [in] read only; [out] written; [in,out] read and
 * updated; [mod] overwritten with values of no use on return; [ws]
 * workspace of the stated size, contents undefined on entry and return.
 *
 * Caution: no routine here checks its arguments. Sizes, ranges and graph
 * shapes stated below are trusted; the routines read and write only the
 * stated extents for any input that meets them. None allocates memory or
 * keeps state between calls; all are reentrant.
 */
#ifndef QORVARDMATHKERNEL_SPARSE_H
#define QORVARDMATHKERNEL_SPARSE_H

#include "QorVARDMathKernel/export.h"

QVK_EXTERN_C_BEGIN

/* ---------------------------------------------------------------- */
/* Element connectivity                                              */
/* ---------------------------------------------------------------- */

/* Node-to-element lists: the transpose of the element-to-node lists.
 * [in]  n        number of nodes.
 * [in]  m        number of elements.
 * [in]  nz       not read.
 * [in]  eptr(m+1), eidx(eptr(m+1)) element-to-node lists, offset form;
 *                members in 1..n (a node may repeat within an element).
 * [out] nptr(n+1) offsets of the node-to-element lists (n >= 0).
 * [out] nidx(eptr(m+1)) members: each node's elements in increasing order,
 *                an element once per time it lists the node.
 * Returns 0. m < 1 leaves nptr all zero and nidx untouched. */
QVK_EXPORT int eaunle(const int *n, const int *m, const int *nz, const int *eptr,
                      const int *eidx, int *nptr, int *nidx);

/* Sizes of the node-to-node lists (the distinct other nodes that share an
 * element with each node). Builds the node-to-element lists first.
 * [in]  n, m, nz, eptr, eidx   as for eaunle.
 * [out] nptr(n+1), nidx(eptr(m+1))  node-to-element lists (from eaunle).
 * [ws]  work(n)  workspace, modified.
 * [out] aptr(n+1) offsets of the node-to-node lists.
 * [out] total    aptr(n+1), the length adj must have for eaunln.
 * Returns 0. */
QVK_EXPORT int eaupnn(const int *n, const int *m, const int *nz, const int *eptr,
                      const int *eidx, int *nptr, int *nidx, int *work, int *aptr,
                      int *total);

/* Node-to-node lists, each sorted increasing, at the offsets eaupnn gave.
 * [in]  n, m, nz, eptr, eidx   as for eaupnn.
 * [in]  nptr, nidx             the node-to-element lists from eaupnn.
 * [ws]  work(n+1)  workspace, modified: work(1) heads a sorted linked list
 *                  and work(j+1) is the link of node j (n+1 ends the list,
 *                  0 means "not in the list", -1 marks the node itself).
 * [out] adj(total) members: node i's neighbours in adj(aptr(i)+1 ..
 *                  aptr(i+1)), increasing, without i itself.
 * Returns 0. */
QVK_EXPORT int eaunln(const int *n, const int *m, const int *nz, const int *eptr,
                      const int *eidx, const int *nptr, const int *nidx, int *work,
                      int *adj);

/* Owner of every position of two numbered ranges. Items 1..nitem1 start at
 * positions first(i) of the first range 0..npos1; items nitem1+1..nown at
 * npos1+first(i) of the second range npos1..np. Every position gets the
 * item that starts at it, else the owner of the position before it.
 * [in]  nown, nitem1, npos1, np  counts as above (0 <= npos1).
 * [in]  first(nown)  starting positions, within the ranges above.
 * [out] owner(np+1)  owner(p) for p = 0..np at the 1-based element p+1;
 *                    0 for positions before the first item's start.
 * Position npos1 is filled by the first range and then overwritten by a
 * second-range item whose first(i) is 0. When there are no second-range
 * items, an npos1 beyond np fills only up to np.
 * Returns 0. */
QVK_EXPORT int eaupne(const int *nown, const int *nitem1, const int *npos1, const int *np,
                      const int *first, int *owner);

/* ---------------------------------------------------------------- */
/* Multiple minimum degree ordering (scalars by value)               */
/* ---------------------------------------------------------------- */
/* The graph: xadj(neqns+1), adjncy(xadj(neqns+1)-1); node i's neighbours
 * are adjncy(xadj(i) .. xadj(i+1)-1), 1-based, the graph symmetric, no
 * entry repeated; a node may list itself. The routines share these
 * encodings of their integer arrays while the ordering runs:
 *   adjncy  the quotient graph: a list may end early at a 0, and an entry
 *           -e continues the list in the storage of eliminated node e.
 *   dhead   dhead(b) heads the degree bucket b (0: empty). Buckets are
 *           stacks: insertion and removal at the head.
 *   dforw   (invp in mmd) for a node in a bucket: the next node (0 ends);
 *           for a node flagged for update: its number of quotient
 *           neighbours + 1; -k: eliminated as the k-th node; -r: merged
 *           into supernode r.
 *   dbakw   (perm in mmd) for a node in a bucket: the previous node, or -b
 *           when it heads bucket b; 0: flagged for update; -maxint: merged
 *           or outmatched (no update needed).
 *   qsize   supernode size; 0 for a node merged into another.
 *   llist   links of the list of eliminated nodes and of the nodes to
 *           update.
 *   marker  tag marks; maxint marks a node taken out for good.
 * maxint must exceed neqns plus the largest tag the run reaches (a value
 * like 2^31-1 always does). Nothing is checked. */

/* Fill-reducing ordering by multiple minimum external degree.
 * [in]     neqns   number of nodes (value). neqns < 1: nothing is done,
 *                  nofsub included.
 * [in]     xadj(neqns+1)  list starts (pointer form).
 * [mod]    adjncy  neighbour lists; overwritten by the quotient graph.
 * [out]    invp(neqns)   invp(i) = position of node i (dforw meanwhile).
 * [out]    perm(neqns)   perm(k) = node placed k-th (dbakw meanwhile).
 * [in]     delta   multiple-elimination tolerance (value); < 0 eliminates
 *                  one supernode between degree updates.
 * [ws]     dhead(neqns), qsize(neqns), llist(neqns), marker(neqns).
 * [in]     maxint  mark of removed nodes (value), see above.
 * [out]    nofsub  sum over the nodes taken by degree of
 *                  degree + supernode size + 1 (an estimate of the
 *                  subscripts of the factor).
 * Nodes start in the degree bucket equal to their list length (an empty
 * list counts as 1), and all of bucket 1 is numbered first, head first.
 * The search for the lowest non-empty bucket stops at neqns, and after
 * each element's degree update the tag is at least every mark made, which
 * with delta < 0 an element larger than mdeg + delta would otherwise
 * outrun. */
QVK_EXPORT void mmd(int neqns, const int *xadj, int *adjncy, int *invp, int *perm, int delta,
                    int *dhead, int *qsize, int *llist, int *marker, int maxint, int *nofsub);

/* Initialization: clears dhead, marker, llist, sets qsize to 1 and pushes
 * each node, in increasing order, on bucket max(list length, 1).
 * [in] neqns (value), xadj, adjncy (not read);
 * [out] dhead, dforw, dbakw, qsize, llist, marker (neqns each). */
QVK_EXPORT void mmdint(int neqns, const int *xadj, const int *adjncy, int *dhead, int *dforw,
                       int *dbakw, int *qsize, int *llist, int *marker);

/* Eliminates mdnode: builds its reachable set in its own list (and, when
 * full, in the storage of the eliminated neighbours it absorbs), merges
 * reached nodes left without quotient neighbours into mdnode, takes the
 * other reached nodes out of their buckets and flags them for update.
 * [in] mdnode, maxint, tag (values); [in] xadj;
 * [in,out] adjncy, dhead, dforw, dbakw, qsize, llist, marker. */
QVK_EXPORT void mmdelm(int mdnode, const int *xadj, int *adjncy, int *dhead, int *dforw,
                       int *dbakw, int *qsize, int *llist, int *marker, int maxint, int tag);

/* Degree update of the nodes flagged by the eliminations listed from ehead
 * (through llist): merges indistinguishable nodes into supernodes and puts
 * each updated node at the head of bucket (external degree + 1).
 * [in] ehead, neqns, delta, maxint (values); [in] xadj, adjncy;
 * [in,out] mdeg (lowered to the lowest bucket that receives a node),
 *          tag, dhead, dforw, dbakw, qsize, llist, marker. */
QVK_EXPORT void mmdupd(int ehead, int neqns, const int *xadj, const int *adjncy, int delta,
                       int *mdeg, int *dhead, int *dforw, int *dbakw, int *qsize, int *llist,
                       int *marker, int maxint, int *tag);

/* Final numbering: each merged node right after the root of its merge
 * tree (trees are shortened on the way); perm := inverse of invp.
 * [in] neqns (value), qsize; [in,out] invp (-position or -parent on entry,
 * positions on return); [out] perm. */
QVK_EXPORT void mmdnum(int neqns, int *perm, int *invp, const int *qsize);

/* ---------------------------------------------------------------- */
/* Record sort                                                       */
/* ---------------------------------------------------------------- */

/* Sorts nrec records of nwords 32-bit words into ascending order of the
 * signed key word keypos (1-based) of each record, in place. Non-recursive
 * quicksort: the pivot cycles middle, middle + quarter, middle, middle -
 * quarter, ...; records move whole through a hole; the smaller part is
 * continued, the larger pushed. Not stable: the order of equal keys is
 * fixed by that scheme.
 * [in,out] records(nwords*nrec); [in] nwords >= 1; [in] nrec (< 2 leaves
 * the array unchanged); [in] keypos in 1..nwords; [ws] work(nwords).
 * The pending ranges live in the call's own frame: concurrent calls on
 * different arrays are safe. */
QVK_EXPORT void eaxsort(int *records, const int *nwords, const int *nrec, const int *keypos,
                        int *work);

/* ---------------------------------------------------------------- */
/* Frontal pivot-block factorization                                 */
/* ---------------------------------------------------------------- */

/* Eliminates the first npiv pivots of a dense symmetric front of order n by
 * A = L D L' (no square roots), leaving the Schur complement of the other
 * n-npiv rows in place. Pivots go three at a time (a rank-3 update of the
 * trailing rows, two rows at a time), then two or one.
 * [in]     n      order of the front.
 * [in]     npiv   pivots to eliminate, 0 <= npiv <= n.
 * [in,out] a(n(n+1)/2)  the upper triangle stored row after row (row k
 *                 starts at its diagonal). On return, each eliminated row
 *                 holds d_k on its diagonal and l_kj = u_kj/d_k beside it.
 * [in,out] ratiomin  smallest pivot ratio d_k/dorig(count) met so far
 *                 (also replaced by an unordered ratio); on a tiny pivot it
 *                 receives that pivot.
 * [in]     dorig(count+npiv)  unfactored diagonal, by running pivot number.
 * [in]     tiny   smallest admissible |pivot| (|d| = tiny passes; NaN
 *                 passes).
 * [in]     thr    the ratio must exceed thr (NaN passes).
 * [in,out] count  running pivot number, raised before each pivot test.
 * [in,out] stats  stats(1) raised for each accepted pivot.
 * [in,out] flops1, flops2  single-precision operation counts, raised by
 *                 the counts of the whole call on entry.
 * [out]    status 0, 6 (|pivot| < tiny) or 34 (ratio <= thr).
 * Returns 0, or 1 on a rejected pivot at position q: positions q+1 .. z,
 * z = n*npiv - npiv(npiv+1)/2, are set to 0.0 and position q receives the
 * pivot (status 6) or its ratio (status 34); rows eliminated before keep
 * their factors. npiv = 0 only adds the (zero) counts. */
QVK_EXPORT int easlff_nt(const int *n, const int *npiv, double *a, double *ratiomin,
                         const double *dorig, const double *tiny, const double *thr, int *count,
                         int *stats, float *flops1, float *flops2, int *status);

QVK_EXTERN_C_END

#endif

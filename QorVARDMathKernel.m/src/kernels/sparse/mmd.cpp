// Multiple minimum external degree ordering on the quotient graph, in four
// steps: initialization (mmdint), elimination of one node (mmdelm), degree
// update after a round of eliminations (mmdupd) and final numbering
// (mmdnum), driven by mmd. The encodings of the integer arrays are in
// sparse.h. Every tie-break is part of the result: buckets are stacks, the
// lowest non-empty bucket is always taken from its head, and the lists are
// walked in storage order.
//
// Arrays are used 1-based through pointers shifted by one element, so that
// the code reads like the algorithm's description.
#include "QorVARDMathKernel/sparse.h"

namespace {

inline int *one_based(int *p) { return p - 1; }
inline const int *one_based(const int *p) { return p - 1; }

// Clears every mark below maxint (marks of nodes still in play) so that the
// tag can start again from 1.
void reset_marks(int neqns, int *marker, int maxint) {
  for (int i = 1; i <= neqns; ++i)
    if (marker[i] < maxint) marker[i] = 0;
}

}  // namespace

extern "C" {

void mmdint(int neqns, const int *xadj_, const int *, int *dhead_, int *dforw_, int *dbakw_,
            int *qsize_, int *llist_, int *marker_) {
  const int *xadj = one_based(xadj_);
  int *dhead = one_based(dhead_), *dforw = one_based(dforw_), *dbakw = one_based(dbakw_);
  int *qsize = one_based(qsize_), *llist = one_based(llist_), *marker = one_based(marker_);
  for (int node = 1; node <= neqns; ++node) {
    dhead[node] = 0;
    qsize[node] = 1;
    marker[node] = 0;
    llist[node] = 0;
  }
  // Bucket = list length; an empty list joins the one-entry lists.
  for (int node = 1; node <= neqns; ++node) {
    int b = xadj[node + 1] - xadj[node];
    if (b == 0) b = 1;
    const int fnode = dhead[b];
    dforw[node] = fnode;
    dhead[b] = node;
    if (fnode > 0) dbakw[fnode] = node;
    dbakw[node] = -b;
  }
}

void mmdelm(int mdnode, const int *xadj_, int *adjncy_, int *dhead_, int *dforw_, int *dbakw_,
            int *qsize_, int *llist_, int *marker_, int maxint, int tag) {
  const int *xadj = one_based(xadj_);
  int *adjncy = one_based(adjncy_), *dhead = one_based(dhead_), *dforw = one_based(dforw_);
  int *dbakw = one_based(dbakw_), *qsize = one_based(qsize_), *llist = one_based(llist_);
  int *marker = one_based(marker_);

  // Reachable set: uneliminated neighbours are compacted at the front of
  // mdnode's own list; eliminated ones are chained through llist.
  marker[mdnode] = tag;
  const int istrt = xadj[mdnode], istop = xadj[mdnode + 1] - 1;
  int elmnt = 0, rloc = istrt, rlmt = istop;
  for (int i = istrt; i <= istop; ++i) {
    const int nabor = adjncy[i];
    if (nabor == 0) break;
    if (marker[nabor] >= tag) continue;
    marker[nabor] = tag;
    if (dforw[nabor] < 0) {
      llist[nabor] = elmnt;
      elmnt = nabor;
    } else {
      adjncy[rloc++] = nabor;
    }
  }
  // Merge in the nodes reachable through each eliminated neighbour; when
  // mdnode's list is full, continue in that neighbour's storage, linked by
  // a negative entry in the last slot.
  while (elmnt > 0) {
    adjncy[rlmt] = -elmnt;
    int link = elmnt;
    for (;;) {
      const int jstrt = xadj[link], jstop = xadj[link + 1] - 1;
      bool jumped = false;
      for (int j = jstrt; j <= jstop; ++j) {
        const int node = adjncy[j];
        if (node < 0) {
          link = -node;
          jumped = true;
          break;
        }
        if (node == 0) break;
        if (marker[node] >= tag || dforw[node] < 0) continue;
        marker[node] = tag;
        while (rloc >= rlmt) {
          const int spill = -adjncy[rlmt];
          rloc = xadj[spill];
          rlmt = xadj[spill + 1] - 1;
        }
        adjncy[rloc++] = node;
      }
      if (!jumped) break;
    }
    elmnt = llist[elmnt];
  }
  if (rloc <= rlmt) adjncy[rloc] = 0;

  // Each reachable node: out of its bucket, inactive neighbours purged,
  // then merged into mdnode if nothing is left, else flagged for update
  // with mdnode added as a neighbour.
  int link = mdnode;
  for (;;) {
    const int istrt2 = xadj[link], istop2 = xadj[link + 1] - 1;
    bool jumped = false;
    for (int i = istrt2; i <= istop2; ++i) {
      const int rnode = adjncy[i];
      if (rnode < 0) {
        link = -rnode;
        jumped = true;
        break;
      }
      if (rnode == 0) return;
      const int pvnode = dbakw[rnode];
      if (pvnode != 0 && pvnode != -maxint) {
        const int nxnode = dforw[rnode];
        if (nxnode > 0) dbakw[nxnode] = pvnode;
        if (pvnode > 0) dforw[pvnode] = nxnode;
        if (pvnode < 0) dhead[-pvnode] = nxnode;
      }
      const int jstrt = xadj[rnode], jstop = xadj[rnode + 1] - 1;
      int xqnbr = jstrt;
      for (int j = jstrt; j <= jstop; ++j) {
        const int nabor = adjncy[j];
        if (nabor == 0) break;
        if (marker[nabor] >= tag) continue;
        adjncy[xqnbr++] = nabor;
      }
      const int nqnbrs = xqnbr - jstrt;
      if (nqnbrs <= 0) {
        qsize[mdnode] += qsize[rnode];
        qsize[rnode] = 0;
        marker[rnode] = maxint;
        dforw[rnode] = -mdnode;
        dbakw[rnode] = -maxint;
        continue;
      }
      dforw[rnode] = nqnbrs + 1;
      dbakw[rnode] = 0;
      adjncy[xqnbr++] = mdnode;
      if (xqnbr <= jstop) adjncy[xqnbr] = 0;
    }
    if (!jumped) return;
  }
}

void mmdupd(int ehead, int neqns, const int *xadj_, const int *adjncy_, int delta, int *mdeg,
            int *dhead_, int *dforw_, int *dbakw_, int *qsize_, int *llist_, int *marker_,
            int maxint, int *tag_) {
  const int *xadj = one_based(xadj_), *adjncy = one_based(adjncy_);
  int *dhead = one_based(dhead_), *dforw = one_based(dforw_), *dbakw = one_based(dbakw_);
  int *qsize = one_based(qsize_), *llist = one_based(llist_), *marker = one_based(marker_);
  int tag = *tag_, md = *mdeg;
  const int mdeg0 = md + delta;

  for (int elmnt = ehead; elmnt > 0; elmnt = llist[elmnt]) {
    int mtag = tag + mdeg0;
    if (mtag >= maxint) {
      tag = 1;
      reset_marks(neqns, marker, maxint);
      mtag = tag + mdeg0;
    }
    // Split the element's flagged nodes into those with two quotient
    // neighbours (q2) and the rest (qx); deg0 = size of the element.
    int q2head = 0, qxhead = 0, deg0 = 0;
    int link = elmnt;
    for (;;) {
      const int istrt = xadj[link], istop = xadj[link + 1] - 1;
      bool jumped = false;
      for (int i = istrt; i <= istop; ++i) {
        const int enode = adjncy[i];
        if (enode < 0) {
          link = -enode;
          jumped = true;
          break;
        }
        if (enode == 0) break;
        if (qsize[enode] == 0) continue;
        deg0 += qsize[enode];
        marker[enode] = mtag;
        if (dbakw[enode] != 0) continue;
        if (dforw[enode] == 2) {
          llist[enode] = q2head;
          q2head = enode;
        } else {
          llist[enode] = qxhead;
          qxhead = enode;
        }
      }
      if (!jumped) break;
    }

    // q2 nodes first, then qx nodes; a node settled meanwhile (merged or
    // outmatched) is skipped.
    for (int pass = 0; pass < 2; ++pass) {
      int enode = pass == 0 ? q2head : qxhead;
      for (; enode > 0; enode = llist[enode]) {
        if (dbakw[enode] != 0) continue;
        ++tag;
        int deg = deg0;
        if (pass == 0) {
          // The neighbour other than this element.
          const int istrt = xadj[enode];
          int nabor = adjncy[istrt];
          if (nabor == elmnt) nabor = adjncy[istrt + 1];
          if (dforw[nabor] >= 0) {
            deg += qsize[nabor];
          } else {
            // The other element: count its unmarked nodes; nodes marked
            // by this element with two neighbours too are
            // indistinguishable from enode and merge into it, the others
            // are outmatched.
            int lk = nabor;
            for (;;) {
              const int istrt2 = xadj[lk], istop2 = xadj[lk + 1] - 1;
              bool jumped = false;
              for (int i = istrt2; i <= istop2; ++i) {
                const int node = adjncy[i];
                if (node == enode) continue;
                if (node < 0) {
                  lk = -node;
                  jumped = true;
                  break;
                }
                if (node == 0) break;
                if (qsize[node] == 0) continue;
                if (marker[node] < tag) {
                  marker[node] = tag;
                  deg += qsize[node];
                  continue;
                }
                if (dbakw[node] != 0) continue;
                if (dforw[node] == 2) {
                  qsize[enode] += qsize[node];
                  qsize[node] = 0;
                  marker[node] = maxint;
                  dforw[node] = -enode;
                  dbakw[node] = -maxint;
                } else {
                  dbakw[node] = -maxint;
                }
              }
              if (!jumped) break;
            }
          }
        } else {
          // Every unmarked quotient neighbour: a node counts itself, an
          // element counts its unmarked nodes.
          const int istrt = xadj[enode], istop = xadj[enode + 1] - 1;
          for (int i = istrt; i <= istop; ++i) {
            const int nabor = adjncy[i];
            if (nabor == 0) break;
            if (marker[nabor] >= tag) continue;
            marker[nabor] = tag;
            if (dforw[nabor] >= 0) {
              deg += qsize[nabor];
              continue;
            }
            int lk = nabor;
            for (;;) {
              const int jstrt = xadj[lk], jstop = xadj[lk + 1] - 1;
              bool jumped = false;
              for (int j = jstrt; j <= jstop; ++j) {
                const int node = adjncy[j];
                if (node < 0) {
                  lk = -node;
                  jumped = true;
                  break;
                }
                if (node == 0) break;
                if (marker[node] >= tag) continue;
                marker[node] = tag;
                deg += qsize[node];
              }
              if (!jumped) break;
            }
          }
        }
        // External degree + 1 is the bucket; pushed at its head.
        deg = deg - qsize[enode] + 1;
        const int fnode = dhead[deg];
        dforw[enode] = fnode;
        dbakw[enode] = -deg;
        if (fnode > 0) dbakw[fnode] = enode;
        dhead[deg] = enode;
        if (deg < md) md = deg;
      }
    }
    // The next tag must pass every mark just made. An element may hold
    // more flagged nodes than mdeg + delta (a node still in its starting
    // bucket, list length rather than degree + 1, eliminated with
    // delta < 0); its last nodes then carry tags above mtag, and going back
    // to mtag would leave marks that later tags take for current ones.
    if (tag < mtag) tag = mtag;
  }
  *tag_ = tag;
  *mdeg = md;
}

void mmdnum(int neqns, int *perm_, int *invp_, const int *qsize_) {
  int *perm = one_based(perm_), *invp = one_based(invp_);
  const int *qsize = one_based(qsize_);
  // perm: the position of a root (positive), or -parent of a merged node.
  for (int node = 1; node <= neqns; ++node) perm[node] = qsize[node] > 0 ? -invp[node] : invp[node];
  for (int node = 1; node <= neqns; ++node) {
    if (perm[node] > 0) continue;
    int father = node;
    while (perm[father] <= 0) father = -perm[father];
    // Number node right after its root, then point the path at the root.
    const int root = father;
    const int num = perm[root] + 1;
    invp[node] = -num;
    perm[root] = num;
    father = node;
    for (;;) {
      const int nextf = -perm[father];
      if (nextf <= 0) break;
      perm[father] = -root;
      father = nextf;
    }
  }
  for (int node = 1; node <= neqns; ++node) {
    const int num = -invp[node];
    invp[node] = num;
    perm[num] = node;
  }
}

void mmd(int neqns, const int *xadj, int *adjncy, int *invp_, int *perm_, int delta, int *dhead_,
         int *qsize_, int *llist_, int *marker_, int maxint, int *nofsub) {
  if (neqns < 1) return;
  int *invp = one_based(invp_), *perm = one_based(perm_), *dhead = one_based(dhead_);
  int *qsize = one_based(qsize_), *marker = one_based(marker_);
  *nofsub = 0;
  mmdint(neqns, xadj, adjncy, dhead_, invp_, perm_, qsize_, llist_, marker_);

  // Bucket 1 is numbered at once, from its head, with no elimination.
  int num = 1;
  for (int next = dhead[1]; next > 0;) {
    const int mdnode = next;
    next = invp[mdnode];
    marker[mdnode] = maxint;
    invp[mdnode] = -num;
    ++num;
  }
  if (num <= neqns) {
    int tag = 1;
    dhead[1] = 0;
    int mdeg = 2;
    for (;;) {
      // Lowest non-empty bucket, looked for no further than neqns.
      while (mdeg <= neqns && dhead[mdeg] <= 0) ++mdeg;
      if (mdeg > neqns) break;
      const int mdlmt = mdeg + delta;
      int ehead = 0;
      bool done = false;
      for (;;) {
        const int mdnode = mdeg <= neqns ? dhead[mdeg] : 0;
        if (mdnode <= 0) {
          ++mdeg;
          if (mdeg > mdlmt) break;
          continue;
        }
        const int nextmd = invp[mdnode];
        dhead[mdeg] = nextmd;
        if (nextmd > 0) perm[nextmd] = -mdeg;
        invp[mdnode] = -num;
        *nofsub += mdeg + qsize[mdnode] + 1;
        if (num + qsize[mdnode] > neqns) {
          done = true;
          break;
        }
        if (++tag >= maxint) {
          tag = 1;
          reset_marks(neqns, marker, maxint);
        }
        mmdelm(mdnode, xadj, adjncy, dhead_, invp_, perm_, qsize_, llist_, marker_, maxint, tag);
        num += qsize[mdnode];
        llist_[mdnode - 1] = ehead;
        ehead = mdnode;
        if (delta < 0) break;
      }
      if (done || num > neqns) break;
      mmdupd(ehead, neqns, xadj, adjncy, delta, &mdeg, dhead_, invp_, perm_, qsize_, llist_,
             marker_, maxint, &tag);
    }
  }
  mmdnum(neqns, perm_, invp_, qsize_);
}

}  // extern "C"

// Factors and solves the cantilever's stiffness matrix with fesolve's
// multifrontal LDL' (mmd ordering) and with CHOLMOD's supernodal Cholesky
// (AMD forced, then its default ordering), one after the other in one run,
// and prints time, factor nonzeros, operation count and scaled residual of
// each. Run it with OPENBLAS_NUM_THREADS=1 (examples/fesolve/bench/compare).
#include <cholmod.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fesolve.h"

using namespace fesolve;

namespace {

double cpu_now() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}
double wall_now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

double scaled_residual(const Stored &k, const std::vector<double> &b, const std::vector<double> &u) {
  std::vector<double> ku(k.n), rs(k.n, 0.0);
  stored_product(k, 1, u.data(), ku.data());
  for (int i = 0; i < k.n; ++i)
    for (int p = k.ia[i]; p < k.ia[i + 1]; ++p) {
      rs[i] += std::fabs(k.a[p]);
      if (p != k.ia[i + 1] - 1) rs[k.ja[p] - 1] += std::fabs(k.a[p]);
    }
  double r = 0, kn = 0, un = 0, bn = 0;
  for (int i = 0; i < k.n; ++i) {
    r = std::max(r, std::fabs(b[i] - ku[i]));
    kn = std::max(kn, rs[i]);
    un = std::max(un, std::fabs(u[i]));
    bn = std::max(bn, std::fabs(b[i]));
  }
  return r / (kn * un + bn);
}

void row(const char *who, int n, double order_s, double fact_cpu, double fact_wall, double nnzl,
         double flops, double resid, double refined = -1) {
  char ref[32] = "-";
  if (refined >= 0) std::snprintf(ref, sizeof ref, "%9.2e", refined);
  std::printf("| %-22s | %8d | %7.2f | %8.2f | %8.2f | %7.1f | %8.1f | %7.1f | %9.2e | %9s |\n",
              who, n, order_s, fact_cpu, fact_wall, nnzl * 1e-6, flops * 1e-9,
              flops * 1e-9 / fact_cpu, resid, ref);
  std::fflush(stdout);
}

void cholmod_run(const char *who, const Stored &k, const std::vector<double> &b, bool amd) {
  cholmod_common c;
  cholmod_start(&c);
  c.supernodal = CHOLMOD_SUPERNODAL;
  if (amd) {
    c.nmethods = 1;
    c.method[0].ordering = CHOLMOD_AMD;
    c.postorder = 1;
  }
  // Each stored row holds the columns up to the diagonal: read as a column
  // it is that column's upper part, rows increasing (stype 1).
  cholmod_sparse *a = cholmod_allocate_sparse(k.n, k.n, k.nnz(), 1, 1, 1, CHOLMOD_REAL, &c);
  int *ap = static_cast<int *>(a->p), *ai = static_cast<int *>(a->i);
  double *ax = static_cast<double *>(a->x);
  ap[0] = 0;
  for (int j = 0; j < k.n; ++j) {
    int q = ap[j];
    for (int p = k.ia[j]; p < k.ia[j + 1]; ++p) {
      ai[q] = k.ja[p] - 1;
      ax[q++] = k.a[p];
    }
    ap[j + 1] = q;
  }
  double t0 = wall_now();
  cholmod_factor *l = cholmod_analyze(a, &c);
  const double order_s = wall_now() - t0;
  const double c0 = cpu_now(), w0 = wall_now();
  cholmod_factorize(a, l, &c);
  const double fc = cpu_now() - c0, fw = wall_now() - w0;
  cholmod_dense *bd = cholmod_allocate_dense(k.n, 1, k.n, CHOLMOD_REAL, &c);
  std::copy(b.begin(), b.end(), static_cast<double *>(bd->x));
  cholmod_dense *x = cholmod_solve(CHOLMOD_A, l, bd, &c);
  std::vector<double> u(static_cast<double *>(x->x), static_cast<double *>(x->x) + k.n);
  row(who, k.n, order_s, fc, fw, c.lnz, c.fl, scaled_residual(k, b, u));
  cholmod_free_dense(&x, &c);
  cholmod_free_dense(&bd, &c);
  cholmod_free_factor(&l, &c);
  cholmod_free_sparse(&a, &c);
  cholmod_finish(&c);
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<Beam> sizes;
  for (int i = 1; i + 2 < argc; i += 3) {
    Beam b;
    b.nx = std::atoi(argv[i]);
    b.ny = std::atoi(argv[i + 1]);
    b.nz = std::atoi(argv[i + 2]);
    sizes.push_back(b);
  }
  if (sizes.empty()) {
    for (int s : {0, 1, 2}) {
      Beam b;
      b.nx = s == 0 ? 40 : s == 1 ? 120 : 200;
      b.ny = b.nz = s == 0 ? 10 : s == 1 ? 15 : 20;
      sizes.push_back(b);
    }
  }
  std::printf("| solver                 | equations | order s | factor s (CPU) | factor s (wall) | nnz(L) M | GFLOP | GFLOP/s (CPU) | scaled residual | after one refinement step |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
  for (const Beam &bm : sizes) {
    Mesh mesh = make_beam(bm);
    Cantilever cl = clamp_and_load(mesh, true);
    Graph g = node_graph(mesh, cl.dofs);
    Stored k;
    std::vector<double> b;
    assemble(mesh, Material(), cl.dofs, g, k, nullptr, b);
    for (int i = 0; i < mesh.nodes(); ++i)
      if (cl.weight[i] > 0) b[cl.dofs.eq[3 * i + 2]] -= 1e6 * cl.weight[i];
    {
      Multifrontal mf;
      double t0 = wall_now();
      mf.analyse(g, order_graph(g, kMinimumDegree));
      const double order_s = wall_now() - t0;
      const double c0 = cpu_now(), w0 = wall_now();
      mf.factor(k, nullptr);
      const double fc = cpu_now() - c0, fw = wall_now() - w0;
      std::vector<double> u = b;
      mf.solve(u.data(), 1);
      // Multiply-adds as two, as CHOLMOD counts its flops.
      const double direct = scaled_residual(k, b, u);
      refine(k, mf, b, u);
      row("fesolve (mmd)", k.n, order_s, fc, fw, mf.stats().nnz_l, mf.stats().flops, direct,
          scaled_residual(k, b, u));
    }
    cholmod_run("CHOLMOD supernodal AMD", k, b, true);
    cholmod_run("CHOLMOD default order", k, b, false);
  }
  return 0;
}

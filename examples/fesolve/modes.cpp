// The lowest natural frequencies by subspace iteration: each cycle solves
// K Xb = M X with the factorization, projects K and M on Xb, solves the
// small generalized problem (Cholesky of the projected mass, eaxfch; the
// standard problem by eaxeig) and rotates the subspace.
#include <algorithm>
#include <cmath>

#include "QorVARDMathKernel/algorithms.h"
#include "QorVARDMathKernel/dense.h"
#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "fesolve.h"

namespace fesolve {

namespace {

// Packs the upper triangle of the q x q column-major s (1-based position
// i + j(j-1)/2 for i <= j).
void pack_upper(int q, const double *s, double *ap) {
  for (int j = 0; j < q; ++j)
    for (int i = 0; i <= j; ++i) ap[i + j * (j + 1) / 2] = s[i + j * q];
}

void tpsv_columns(const char *trans, int q, const double *u, double *x, int ncol) {
  const int one = 1;
  for (int c = 0; c < ncol; ++c) e_dtpsv("U", trans, "N", &q, u, x + c * q, &one, 1, 1, 1);
}

}  // namespace

Modes subspace_iteration(const Stored &k, const Stored &m, Solver &f, int nmodes,
                         double tol, int max_iter,
                         const std::function<void(int, int, double)> &report) {
  const int n = k.n;
  Modes out;
  nmodes = std::min(nmodes, n);
  if (nmodes < 1) return out;
  const int q = std::min(std::max(2 * nmodes, nmodes + 8), n);
  std::vector<double> x(static_cast<std::size_t>(n) * q), z(x.size()), w(x.size());
  // Start from M times pseudo-random vectors.
  int seed = 12345;
  for (double &v : w) eaxrnd(&seed, &v);
  stored_product(m, q, w.data(), x.data());
  std::vector<double> kr(q * q), mr(q * q), ap(q * (q + 1) / 2), d(q), zq(q * q), e(q), old(q, 0.0);
  const double one = 1.0, zero = 0.0;
  for (int it = 1; it <= max_iter; ++it) {
    // z = M X; Xb solves K Xb = z (kept in w).
    stored_product(m, q, x.data(), z.data());
    w = z;
    f.solve(w.data(), q);
    // Kr = Xb' K Xb = Xb' z; Mr = Xb' M Xb.
    eagemm("T", "N", &q, &q, &n, &one, w.data(), &n, z.data(), &n, &zero, kr.data(), &q, 1, 1);
    stored_product(m, q, w.data(), z.data());
    eagemm("T", "N", &q, &q, &n, &one, w.data(), &n, z.data(), &n, &zero, mr.data(), &q, 1, 1);
    // Mr = U'U; C = U^-T Kr U^-1; C Z = Z diag(d); Q = U^-1 Z.
    std::vector<double> u(q * (q + 1) / 2);
    pack_upper(q, mr.data(), u.data());
    int i1 = 1, info = 0;
    double ftol = 0.0, piv = 0.0;
    eaxfch(nullptr, &i1, &q, &ftol, u.data(), &info, &piv);
    if (info != 0) throw SolveError("subspace iteration: projected mass not positive definite");
    tpsv_columns("T", q, u.data(), kr.data(), q);           // B = U^-T Kr
    for (int j = 0; j < q; ++j)                             // B' = Kr U^-1
      for (int i = 0; i < j; ++i) std::swap(kr[i + j * q], kr[j + i * q]);
    tpsv_columns("T", q, u.data(), kr.data(), q);           // C = U^-T Kr U^-1
    for (int j = 0; j < q; ++j)                             // symmetric to rounding
      for (int i = 0; i < j; ++i) kr[i + j * q] = 0.5 * (kr[i + j * q] + kr[j + i * q]);
    pack_upper(q, kr.data(), ap.data());
    const int iord = 1;
    int ierr = 0;
    if (eaxeig(&q, &iord, ap.data(), d.data(), zq.data(), e.data(), &ierr) != 0)
      throw SolveError("subspace iteration: the projected eigenproblem did not converge");
    tpsv_columns("N", q, u.data(), zq.data(), q);
    eagemm("N", "N", &n, &q, &q, &one, w.data(), &n, zq.data(), &q, &zero, x.data(), &n, 1, 1);
    int conv = 0;
    double worst = 0;
    for (int i = 0; i < nmodes; ++i) {
      const double ch = std::fabs(d[i] - old[i]) / std::fabs(d[i]);
      worst = std::max(worst, ch);
      if (ch <= tol) ++conv;
    }
    old = d;
    out.iterations = it;
    if (report) report(it, conv, worst);
    if (conv == nmodes) break;
    if (it == max_iter)
      throw SolveError("subspace iteration: " + std::to_string(nmodes - conv) +
                       " frequencies not converged after " + std::to_string(max_iter) + " iterations");
  }
  out.lambda.assign(d.begin(), d.begin() + nmodes);
  out.vectors.assign(x.begin(), x.begin() + static_cast<std::size_t>(n) * nmodes);
  return out;
}

}  // namespace fesolve

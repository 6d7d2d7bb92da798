// Packed algebra and solves beside the reference BLAS/LAPACK and OpenBLAS:
// the Cholesky factorization against DPPTRF, the Cholesky solve against
// DPPTRS, the packed triangular solve against DTPSV, and the product on the
// diagonal-last row layout on the matrices of 2D and 3D grids (no peer: GB/s
// of matrix data streamed). Rates are GFLOP/s (n^3/3 for the factorization,
// 2n^2 per right-hand side for the solve, n^2 for the triangular solve). Our rows run every path this machine has; "ours"
// alone is the path chosen at run time. Each timed call starts from a fresh
// copy of its in-place operand (the copy is timed for every contender).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "QorVARDMathKernel/packed.h"
#include "QorVARDMathKernel/solve.h"
#include "kernels/vector/isa.h"
#include "peers.h"

namespace {

using Factor = void (*)(const char *, const int *, double *, int *, int);
using Solve = void (*)(const char *, const int *, const int *, const double *, double *,
                       const int *, int *, int);
using Tpsv = void (*)(const char *, const char *, const char *, const int *, const double *,
                      double *, const int *, int, int, int);

// SPD, diagonally dominant, in the upper packed layout.
std::vector<double> spd(int n) {
  std::vector<double> ap(static_cast<size_t>(n) * (n + 1) / 2);
  for (int r = 1; r <= n; ++r)
    for (int c = 1; c <= r; ++c)
      ap[c - 1 + static_cast<size_t>(r) * (r - 1) / 2] =
          r == c ? 2.0 * n : 0.5 - 1e-3 * ((r * 31 + c * 17) % 997);
  return ap;
}

std::vector<double> factored(int n) {
  std::vector<double> ap = spd(n);
  int one = 1, info = 0;
  double tol = 0.0, piv = 0.0;
  eaxfch(nullptr, &one, &n, &tol, ap.data(), &info, &piv);
  return ap;
}

// Registers our entry once per path (and once as chosen), then each peer.
// Rows are named kernel/who/size, as tools/bench-table reads them.
template <class F, class Run>
void add(const std::string &kernel, const std::string &size, F ours, const char *peer_symbol,
         Run run) {
  auto at_level = [=](benchmark::State &st, F f, int level) {
    if (level >= 0) qvk::isa_force(level);
    run(st, f);
    qvk::isa_force(-1);
  };
  const std::string tail = "/" + size;
  benchmark::RegisterBenchmark((kernel + "/ours" + tail).c_str(), at_level, ours, -1);
  for (int l = 0; l <= qvk::isa_supported(); ++l)
    benchmark::RegisterBenchmark((kernel + "/ours:" + qvk::isa_name(l) + tail).c_str(), at_level,
                                 ours, l);
  if (!peer_symbol) return;
  for (qvk_bench::Peer p : {qvk_bench::kReference, qvk_bench::kOpenBlas}) {
    F f = qvk_bench::peer<F>(p, peer_symbol);
    if (f)
      benchmark::RegisterBenchmark((kernel + "/" + qvk_bench::peer_name(p) + tail).c_str(),
                                   at_level, f, -1);
  }
}

void ours_factor(const char *, const int *n, double *ap, int *info, int) {
  static const int one = 1;
  static const double tol = 0.0;
  double piv;
  eaxfch(nullptr, &one, n, &tol, ap, info, &piv);
}

// Diagonal-last rows of a grid's node matrix: each node coupled to its
// neighbours within distance 1 in every direction (9 points in 2D, 27 in
// 3D), lower triangle by rows.
struct Grid {
  int n = 0;
  std::vector<int> ia, ja;
  std::vector<double> a;
};

Grid grid(int nx, int ny, int nz) {
  Grid g;
  g.n = nx * ny * nz;
  g.ia.assign(g.n + 1, 0);
  auto node = [&](int x, int y, int z) { return x + nx * (y + ny * z) + 1; };
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) {
        const int i = node(x, y, z);
        for (int dz = -1; dz <= 1; ++dz)
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
              const int X = x + dx, Y = y + dy, Z = z + dz;
              if (X < 0 || Y < 0 || Z < 0 || X >= nx || Y >= ny || Z >= nz) continue;
              const int c = node(X, Y, Z);
              if (c >= i) continue;
              g.ja.push_back(c);
              g.a.push_back(-1.0 / (1 + (c % 7)));
            }
        g.ja.push_back(0);
        g.a.push_back(8.0);
        g.ia[i] = static_cast<int>(g.a.size());
      }
  return g;
}

const int one = 1;

int register_all() {
  qvk_bench::add_context();
  for (int n : {30, 200, 1000}) {
    const std::string size = std::to_string(n);
    add<Factor>("eaxfch", size, ours_factor, "dpptrf_", [n](benchmark::State &st, Factor f) {
      const std::vector<double> a = spd(n);
      std::vector<double> ap(a.size());
      int info = 0;
      for (auto _ : st) {
        std::memcpy(ap.data(), a.data(), a.size() * sizeof(double));
        f("U", &n, ap.data(), &info, 1);
        benchmark::ClobberMemory();
      }
      st.SetItemsProcessed(st.iterations() * static_cast<long long>(double(n) * n * n / 3.0));
    });
    for (int nrhs : {1, 8}) {
      add<Solve>("e_dpptrs", size + "/nrhs:" + std::to_string(nrhs), e_dpptrs, "dpptrs_",
                 [n, nrhs](benchmark::State &st, Solve f) {
                   const std::vector<double> u = factored(n);
                   std::vector<double> b0(static_cast<size_t>(n) * nrhs), b(b0.size());
                   for (size_t k = 0; k < b0.size(); ++k) b0[k] = 1.0 + 1e-3 * (k % 101);
                   int info = 0;
                   for (auto _ : st) {
                     std::memcpy(b.data(), b0.data(), b0.size() * sizeof(double));
                     f("U", &n, &nrhs, u.data(), b.data(), &n, &info, 1);
                     benchmark::ClobberMemory();
                   }
                   st.SetItemsProcessed(st.iterations() * 2LL * n * n * nrhs);
                 });
    }
  }
  for (const char *trans : {"N", "T"}) {
    const int n = 1000;
    add<Tpsv>(std::string("e_dtpsv:U") + trans, "1000", e_dtpsv, "dtpsv_",
              [n, trans](benchmark::State &st, Tpsv f) {
                const std::vector<double> u = factored(n);
                std::vector<double> x0(n), x(n);
                for (int k = 0; k < n; ++k) x0[k] = 1.0 + 1e-3 * (k % 101);
                for (auto _ : st) {
                  std::memcpy(x.data(), x0.data(), n * sizeof(double));
                  f("U", trans, "N", &n, u.data(), x.data(), &one, 1, 1, 1);
                  benchmark::ClobberMemory();
                }
                st.SetItemsProcessed(st.iterations() * static_cast<long long>(n) * n);
              });
  }
  using Mvm = void (*)(const int *, const int *, const int *, const int *, const int *,
                       const int *, const int *, const double *, const double *, double *);
  struct Shape {
    const char *name;
    int nx, ny, nz;
  };
  for (const Shape &sh : {Shape{"grid2d", 300, 300, 1}, Shape{"grid3d", 45, 45, 45}}) {
    for (int mode : {1, 2}) {
      for (int nvec : {1, 4}) {
        add<Mvm>("eaxmvm:mode" + std::to_string(mode),
                 std::string(sh.name) + "/nvec:" + std::to_string(nvec), eaxmvm, nullptr, [sh, mode, nvec](benchmark::State &st, Mvm f) {
                   const Grid g = grid(sh.nx, sh.ny, sh.nz);
                   const int nnz = g.ia[g.n];
                   std::vector<double> x(static_cast<size_t>(g.n) * nvec, 1.0), y(x.size());
                   for (size_t k = 0; k < x.size(); ++k) x[k] = 1.0 + 1e-3 * (k % 13);
                   for (auto _ : st) {
                     f(&mode, &nnz, &g.n, &g.n, &nvec, g.ja.data(), g.ia.data(), g.a.data(),
                       x.data(), y.data());
                     benchmark::ClobberMemory();
                   }
                   // Matrix data streamed: values, columns and row pointers.
                   st.SetBytesProcessed(st.iterations() *
                                        (static_cast<long long>(nnz) * 12 + 4LL * (g.n + 1)));
                 });
      }
    }
  }
  return 0;
}

const int registered = register_all();

}  // namespace

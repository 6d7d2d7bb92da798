// Small dense algorithms beside the reference LAPACK and OpenBLAS: the
// symmetric eigen solver against DSPEV (eigenvalues and eigenvectors, upper
// packed), the general inverse against DGETRF followed by DGETRI, and the
// least-squares fit with a 10-function quadratic basis on 30 points (no
// peer). Rates are nominal GFLOP/s: 9n^3 for an eigen solution, 2n^3 for an
// inverse, 2m^2n + 9m^3 for the fit; the ratios are ratios of time. Our rows
// run every path this machine has; "ours" alone is the path chosen at run
// time. Each timed call starts from a fresh copy of its in-place operand
// (the copy is timed for every contender).
#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "QorVARDMathKernel/algorithms.h"
#include "kernels/vector/isa.h"
#include "peers.h"

namespace {

using Spev = void (*)(const char *, const char *, const int *, double *, double *, double *,
                      const int *, double *, int *, int, int);
using Getrf = void (*)(const int *, const int *, double *, const int *, int *, int *);
using Getri = void (*)(const int *, double *, const int *, const int *, double *, const int *,
                       int *);
using Body = std::function<void(benchmark::State &)>;

// Symmetric with a spread of eigenvalues, by columns of the full matrix.
std::vector<double> symmetric(int n) {
  std::vector<double> a(static_cast<size_t>(n) * n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i)
      a[i + j * n] = a[j + i * n] = i == j ? 1.0 + i : 0.5 - 1e-3 * ((i * 31 + j * 17) % 997);
  return a;
}

std::vector<double> packed(const std::vector<double> &a, int n) {
  std::vector<double> ap;
  for (int r = 0; r < n; ++r)
    for (int c = 0; c <= r; ++c) ap.push_back(a[r + c * n]);
  return ap;
}

// Our entry once per path and once as chosen, then each peer's body when
// it exists. Rows are named kernel/who/size, as tools/bench-table reads them.
void add(const std::string &kernel, const std::string &size, const Body &ours,
         const std::function<Body(qvk_bench::Peer)> &peer_body, double flops) {
  auto with_rate = [flops](Body body, int level) {
    return [=](benchmark::State &st) {
      if (level >= 0) qvk::isa_force(level);
      body(st);
      qvk::isa_force(-1);
      st.SetItemsProcessed(st.iterations() * static_cast<long long>(flops));
    };
  };
  const std::string tail = "/" + size;
  benchmark::RegisterBenchmark((kernel + "/ours" + tail).c_str(), with_rate(ours, -1));
  for (int l = 0; l <= qvk::isa_supported(); ++l)
    benchmark::RegisterBenchmark((kernel + "/ours:" + qvk::isa_name(l) + tail).c_str(),
                                 with_rate(ours, l));
  if (!peer_body) return;
  for (qvk_bench::Peer p : {qvk_bench::kReference, qvk_bench::kOpenBlas}) {
    Body b = peer_body(p);
    if (b)
      benchmark::RegisterBenchmark((kernel + "/" + qvk_bench::peer_name(p) + tail).c_str(),
                                   with_rate(b, -1));
  }
}

// 1, x, y, z, x^2, y^2, z^2, xy, yz, zx.
int quadratic(const int *, const int *, const int *, const int *, const int *, const double *x,
              double *, double *p, int *) {
  const double a = x[0], b = x[1], c = x[2];
  p[0] = 1.0;
  p[1] = a;
  p[2] = b;
  p[3] = c;
  p[4] = a * a;
  p[5] = b * b;
  p[6] = c * c;
  p[7] = a * b;
  p[8] = b * c;
  p[9] = c * a;
  return 0;
}

int register_all() {
  benchmark::AddCustomContext("openblas_core", qvk_bench::openblas_core());
  for (int n : {10, 30, 100}) {
    const std::vector<double> ap0 = packed(symmetric(n), n);
    const double flops = 9.0 * n * n * n;
    add("eaxeig", std::to_string(n),
        [n, ap0](benchmark::State &st) {
          std::vector<double> ap(ap0.size()), d(n), z(static_cast<size_t>(n) * n), e(n);
          const int iord = 1;
          int ierr = 0;
          for (auto _ : st) {
            std::memcpy(ap.data(), ap0.data(), ap0.size() * sizeof(double));
            eaxeig(&n, &iord, ap.data(), d.data(), z.data(), e.data(), &ierr);
            benchmark::ClobberMemory();
          }
        },
        [n, ap0](qvk_bench::Peer p) -> Body {
          Spev f = qvk_bench::peer<Spev>(p, "dspev_");
          if (!f) return nullptr;
          return [n, ap0, f](benchmark::State &st) {
            std::vector<double> ap(ap0.size()), w(n), z(static_cast<size_t>(n) * n), work(3 * n);
            int info = 0;
            for (auto _ : st) {
              std::memcpy(ap.data(), ap0.data(), ap0.size() * sizeof(double));
              f("V", "U", &n, ap.data(), w.data(), z.data(), &n, work.data(), &info, 1, 1);
              benchmark::ClobberMemory();
            }
          };
        },
        flops);
  }
  for (int n : {10, 30}) {
    std::vector<double> a0 = symmetric(n);
    for (int j = 0; j < n; ++j) a0[j * n] += 0.25 * j;  // not symmetric
    add("eaxinv:1", std::to_string(n),
        [n, a0](benchmark::State &st) {
          std::vector<double> a(a0.size());
          std::vector<int> ipiv(n);
          const int mode = 1;
          int info = 0;
          for (auto _ : st) {
            std::memcpy(a.data(), a0.data(), a0.size() * sizeof(double));
            eaxinv(&mode, &n, &n, ipiv.data(), &info, a.data());
            benchmark::ClobberMemory();
          }
        },
        [n, a0](qvk_bench::Peer p) -> Body {
          Getrf trf = qvk_bench::peer<Getrf>(p, "dgetrf_");
          Getri tri = qvk_bench::peer<Getri>(p, "dgetri_");
          if (!trf || !tri) return nullptr;
          return [n, a0, trf, tri](benchmark::State &st) {
            std::vector<double> a(a0.size()), work(64 * n);
            std::vector<int> ipiv(n);
            const int lwork = 64 * n;
            int info = 0;
            for (auto _ : st) {
              std::memcpy(a.data(), a0.data(), a0.size() * sizeof(double));
              trf(&n, &n, a.data(), &n, ipiv.data(), &info);
              tri(&n, a.data(), &n, ipiv.data(), work.data(), &lwork, &info);
              benchmark::ClobberMemory();
            }
          };
        },
        2.0 * n * n * n);
  }
  {
    const int m = 10, n = 30;
    std::vector<double> xyz(3 * n), u(n), wt(n, 1.0);
    for (int i = 0; i < 3 * n; ++i) xyz[i] = -2.0 + 4.0 * ((i * 37) % 101) / 101.0;
    for (int i = 0; i < n; ++i) u[i] = 1.0 + xyz[3 * i] * xyz[3 * i + 1] - xyz[3 * i + 2];
    add("eaxrmc3", "m:10/n:30",
        [=](benchmark::State &st) {
          std::vector<double> a(m * m), w(m * m), z(m * m), b(n * m), p(m), coef(m);
          const double x0[3] = {0.1, 0.2, 0.3};
          double f = 0.0;
          int info = 0;
          for (auto _ : st) {
            eaxrmc3(&m, &n, xyz.data(), x0, u.data(), &f, quadratic, a.data(), w.data(),
                    z.data(), b.data(), p.data(), coef.data(), wt.data(), &info);
            benchmark::DoNotOptimize(f);
          }
        },
        nullptr, 2.0 * m * m * n + 9.0 * m * m * m);
  }
  return 0;
}

const int registered = register_all();

}  // namespace

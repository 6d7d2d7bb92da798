// Sparse structure beside its peers: the ordering beside SuiteSparse AMD on
// 2D and 3D grids (time per ordering, and the factor entries nnz(L) of each
// ordering as counters "nnzL"), the record sort beside qsort and std::sort,
// and the frontal elimination (GFLOP/s) beside OpenBLAS DPOTRF and DSYTRF of
// the same order. Flops of the elimination: (n-k)(n-k+1) for pivot k
// (the trailing triangle's multiply and add), n^3/3 for the peers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <suitesparse/amd.h>

#include "QorVARDMathKernel/sparse.h"
#include "graphs.h"
#include "kernels/vector/isa.h"
#include "peers.h"

namespace {

using qvk_sparse_test::Graph;

struct Shape {
  const char *name;
  int nx, ny, nz;
  bool full;
};

const Shape kShapes[] = {
    {"2d5pt:200x200", 200, 200, 1, false}, {"2d9pt:200x200", 200, 200, 1, true},
    {"3d7pt:20^3", 20, 20, 20, false},     {"3d7pt:30^3", 30, 30, 30, false},
    {"3d7pt:40^3", 40, 40, 40, false},     {"3d7pt:60^3", 60, 60, 60, false},
    {"3d27pt:20^3", 20, 20, 20, true},
};

void bench_mmd(benchmark::State &st, const Shape &sh) {
  const Graph g = qvk_sparse_test::grid(sh.nx, sh.ny, sh.nz, sh.full);
  const size_t n = static_cast<size_t>(g.n);
  std::vector<int> adj(g.adjncy.size()), invp(n), perm(n), dhead(n), qsize(n), llist(n), marker(n);
  int nofsub = 0;
  for (auto _ : st) {
    st.PauseTiming();
    std::copy(g.adjncy.begin(), g.adjncy.end(), adj.begin());
    st.ResumeTiming();
    mmd(g.n, g.xadj.data(), adj.data(), invp.data(), perm.data(), 0, dhead.data(), qsize.data(),
        llist.data(), marker.data(), INT_MAX, &nofsub);
    benchmark::ClobberMemory();
  }
  st.counters["nnzL"] = static_cast<double>(qvk_sparse_test::factor_entries(g, perm));
}

void bench_amd(benchmark::State &st, const Shape &sh) {
  const Graph g = qvk_sparse_test::grid(sh.nx, sh.ny, sh.nz, sh.full);
  std::vector<int> ap(g.n + 1), ai(g.adjncy.size()), p(g.n);
  for (int i = 0; i <= g.n; ++i) ap[i] = g.xadj[i] - 1;
  for (size_t k = 0; k < ai.size(); ++k) ai[k] = g.adjncy[k] - 1;
  for (auto _ : st) {
    amd_order(g.n, ap.data(), ai.data(), p.data(), nullptr, nullptr);
    benchmark::ClobberMemory();
  }
  for (int &v : p) ++v;
  st.counters["nnzL"] = static_cast<double>(qvk_sparse_test::factor_entries(g, p));
}

// One million records of three words, keyed on the middle word.
struct Rec3 {
  int w[3];
};
std::vector<Rec3> records(int nrec) {
  std::mt19937 rng(42);
  std::vector<Rec3> r(nrec);
  for (int i = 0; i < nrec; ++i) r[i] = Rec3{{i, static_cast<int>(rng()), -i}};
  return r;
}

int compare_middle(const void *a, const void *b) {
  const int x = static_cast<const Rec3 *>(a)->w[1], y = static_cast<const Rec3 *>(b)->w[1];
  return (x > y) - (x < y);
}

template <class Sort>
void bench_sort(benchmark::State &st, Sort sort) {
  const int nrec = 1000000;
  const std::vector<Rec3> in = records(nrec);
  std::vector<Rec3> r(in.size());
  for (auto _ : st) {
    std::memcpy(r.data(), in.data(), in.size() * sizeof(Rec3));
    sort(r);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * nrec);
}

// A symmetric, diagonally dominant front: packed upper by rows for ours,
// full column-major for the peers.
double entry(int i, int j, int n) {
  return i == j ? 2.0 * n : 0.5 - 1e-3 * ((std::min(i, j) * 31 + std::max(i, j) * 17) % 997);
}

void bench_front(benchmark::State &st, int n, int npiv, int level) {
  if (level >= 0) qvk::isa_force(level);
  std::vector<double> a0, a;
  for (int i = 1; i <= n; ++i)
    for (int j = i; j <= n; ++j) a0.push_back(entry(i, j, n));
  a.resize(a0.size());
  std::vector<double> dorig(n + 1, 2.0 * n);
  double tiny = 1e-300, thr = 0.0, ratiomin = 1.0;
  int count = 0, stats = 0, status = 0;
  float f1 = 0, f2 = 0;
  for (auto _ : st) {
    std::memcpy(a.data(), a0.data(), a0.size() * sizeof(double));
    count = 0;
    easlff_nt(&n, &npiv, a.data(), &ratiomin, dorig.data(), &tiny, &thr, &count, &stats, &f1,
              &f2, &status);
    benchmark::ClobberMemory();
  }
  qvk::isa_force(-1);
  double flops = 0;
  for (int k = 1; k <= npiv; ++k) flops += double(n - k) * (n - k + 1);
  st.SetItemsProcessed(static_cast<int64_t>(st.iterations() * flops));
}

using Potrf = void (*)(const char *, const int *, double *, const int *, int *, int);
using Sytrf = void (*)(const char *, const int *, double *, const int *, int *, double *,
                       const int *, int *, int);

void bench_lapack(benchmark::State &st, int n, bool sytrf) {
  std::vector<double> a0(static_cast<size_t>(n) * n), a(a0.size());
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= n; ++i) a0[(i - 1) + static_cast<size_t>(j - 1) * n] = entry(i, j, n);
  auto potrf = qvk_bench::peer<Potrf>(qvk_bench::kOpenBlas, "dpotrf_");
  auto sytrf_f = qvk_bench::peer<Sytrf>(qvk_bench::kOpenBlas, "dsytrf_");
  if (!potrf || !sytrf_f) {
    st.SkipWithError("OpenBLAS absent");
    return;
  }
  std::vector<int> ipiv(n);
  const int lwork = 64 * n;
  std::vector<double> work(lwork);
  int info = 0;
  for (auto _ : st) {
    std::memcpy(a.data(), a0.data(), a0.size() * sizeof(double));
    if (sytrf)
      sytrf_f("U", &n, a.data(), &n, ipiv.data(), work.data(), &lwork, &info, 1);
    else
      potrf("U", &n, a.data(), &n, &info, 1);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(static_cast<int64_t>(st.iterations() * (double(n) * n * n / 3.0)));
}

int register_all() {
  benchmark::AddCustomContext("openblas_core", qvk_bench::openblas_core());
  for (const Shape &sh : kShapes) {
    benchmark::RegisterBenchmark((std::string("mmd/ours/") + sh.name).c_str(), bench_mmd, sh)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("mmd/amd/") + sh.name).c_str(), bench_amd, sh)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("eaxsort/ours/1000000x3", [](benchmark::State &st) {
    bench_sort(st, [](std::vector<Rec3> &r) {
      const int nw = 3, n = static_cast<int>(r.size()), kp = 2;
      int work[3];
      eaxsort(&r[0].w[0], &nw, &n, &kp, work);
    });
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("eaxsort/qsort/1000000x3", [](benchmark::State &st) {
    bench_sort(st, [](std::vector<Rec3> &r) {
      std::qsort(r.data(), r.size(), sizeof(Rec3), compare_middle);
    });
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("eaxsort/std::sort/1000000x3", [](benchmark::State &st) {
    bench_sort(st, [](std::vector<Rec3> &r) {
      std::sort(r.begin(), r.end(), [](const Rec3 &x, const Rec3 &y) { return x.w[1] < y.w[1]; });
    });
  })->Unit(benchmark::kMillisecond);
  for (int n : {200, 1000}) {
    for (int npiv : {n / 2, n}) {
      const std::string tail = "/" + std::to_string(n) + "/npiv:" + std::to_string(npiv);
      benchmark::RegisterBenchmark(("easlff_nt/ours" + tail).c_str(), bench_front, n, npiv, -1)
          ->Unit(benchmark::kMillisecond);
      for (int l = 0; l <= qvk::isa_supported(); ++l)
        benchmark::RegisterBenchmark(
            ("easlff_nt/ours:" + std::string(qvk::isa_name(l)) + tail).c_str(), bench_front, n,
            npiv, l)
            ->Unit(benchmark::kMillisecond);
    }
    const std::string tail = "/" + std::to_string(n);
    benchmark::RegisterBenchmark(("dpotrf/openblas" + tail).c_str(), bench_lapack, n, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("dsytrf/openblas" + tail).c_str(), bench_lapack, n, true)
        ->Unit(benchmark::kMillisecond);
  }
  return 0;
}

const int registered = register_all();

}  // namespace

// Dense products beside the reference BLAS and OpenBLAS, in floating-point
// operations per second (2mnk for the matrix product, 2mn for the
// matrix-vector product). Our rows run every path this machine has; "ours"
// alone is the path chosen at run time; at the largest sizes, "ours@<model>"
// runs the tuning of each processor model in the table (its shape and its
// level, capped by what this machine has).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

#include "QorVARDMathKernel/dense.h"
#include "kernels/dense/cores.h"
#include "kernels/vector/isa.h"
#include "peers.h"

namespace {

using PeerGemm = void (*)(const char *, const char *, const int *, const int *, const int *,
                          const double *, const double *, const int *, const double *,
                          const int *, const double *, double *, const int *, std::size_t,
                          std::size_t);
using PeerGemv = void (*)(const char *, const int *, const int *, const double *, const double *,
                          const int *, const double *, const int *, const double *, double *,
                          const int *, std::size_t);

// Data that stays finite under repeated calls (beta = 0 for the matrix
// product, beta = 0.5 for the matrix-vector product).
std::vector<double> filled(std::size_t n, int salt) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = 0.5 + 1e-3 * static_cast<double>((i * 7 + salt) % 101);
  return v;
}

void register_gemm(const char *trans, int n) {
  const std::string tail = "/" + std::to_string(n);
  const std::string name = std::string("dgemm_") + trans;
  // who: -1 the peer f, else our path level (kIsaCount: the run-time
  // choice); core >= 0 forces a model's tuning.
  auto run = [=](benchmark::State &st, PeerGemm f, int level, int core) {
    if (level >= 0 && level < qvk::kIsaCount) qvk::isa_force(level);
    qvk::core_force(core);
    const std::vector<double> a = filled(static_cast<std::size_t>(n) * n, 1);
    const std::vector<double> b = filled(static_cast<std::size_t>(n) * n, 2);
    std::vector<double> c(static_cast<std::size_t>(n) * n, 0.0);
    const double alpha = 1.0, beta = 0.0;
    for (auto _ : st) {
      if (f)
        f(&trans[0], &trans[1], &n, &n, &n, &alpha, a.data(), &n, b.data(), &n, &beta, c.data(),
          &n, 1, 1);
      else
        eagemm(&trans[0], &trans[1], &n, &n, &n, &alpha, a.data(), &n, b.data(), &n, &beta,
               c.data(), &n, 1, 1);
      benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * 2LL * n * n * n);
    qvk::isa_force(-1);
    qvk::core_force(-1);
  };
  benchmark::RegisterBenchmark((name + "/ours" + tail).c_str(), run, nullptr, qvk::kIsaCount, -1)
      ->Unit(benchmark::kMicrosecond);
  for (int l = 0; l <= qvk::isa_supported(); ++l)
    benchmark::RegisterBenchmark((name + "/ours:" + qvk::isa_name(l) + tail).c_str(), run,
                                 nullptr, l, -1)
        ->Unit(benchmark::kMicrosecond);
  if (n >= 1000)
    for (int c = 0; c < qvk::kCoreCount; ++c)
      benchmark::RegisterBenchmark((name + "/ours@" + qvk::core_tuning(c).name + tail).c_str(),
                                   run, nullptr, qvk::kIsaCount, c)
          ->Unit(benchmark::kMicrosecond);
  for (qvk_bench::Peer p : {qvk_bench::kReference, qvk_bench::kOpenBlas})
    if (PeerGemm f = qvk_bench::peer<PeerGemm>(p, "dgemm_"))
      benchmark::RegisterBenchmark((name + "/" + qvk_bench::peer_name(p) + tail).c_str(), run, f,
                                   -1, -1)
          ->Unit(benchmark::kMicrosecond);
}

void register_gemv(char trans, int n) {
  const std::string tail = "/" + std::to_string(n);
  const std::string name = std::string("dgemv_") + trans;
  auto run = [=](benchmark::State &st, PeerGemv f, int level, int core) {
    if (level >= 0 && level < qvk::kIsaCount) qvk::isa_force(level);
    qvk::core_force(core);
    const std::vector<double> a = filled(static_cast<std::size_t>(n) * n, 3);
    const std::vector<double> x = filled(n, 4);
    std::vector<double> y = filled(n, 5);
    const double alpha = 1.0, beta = 0.5;
    const int one = 1;
    for (auto _ : st) {
      if (f)
        f(&trans, &n, &n, &alpha, a.data(), &n, x.data(), &one, &beta, y.data(), &one, 1);
      else
        eagemv(&trans, &n, &n, &alpha, a.data(), &n, x.data(), &one, &beta, y.data(), &one, 1);
      benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * 2LL * n * n);
    qvk::isa_force(-1);
    qvk::core_force(-1);
  };
  benchmark::RegisterBenchmark((name + "/ours" + tail).c_str(), run, nullptr, qvk::kIsaCount, -1);
  for (int l = 0; l <= qvk::isa_supported(); ++l)
    benchmark::RegisterBenchmark((name + "/ours:" + qvk::isa_name(l) + tail).c_str(), run,
                                 nullptr, l, -1);
  if (n >= 2000)
    for (int c = 0; c < qvk::kCoreCount; ++c)
      benchmark::RegisterBenchmark((name + "/ours@" + qvk::core_tuning(c).name + tail).c_str(),
                                   run, nullptr, qvk::kIsaCount, c);
  for (qvk_bench::Peer p : {qvk_bench::kReference, qvk_bench::kOpenBlas})
    if (PeerGemv f = qvk_bench::peer<PeerGemv>(p, "dgemv_"))
      benchmark::RegisterBenchmark((name + "/" + qvk_bench::peer_name(p) + tail).c_str(), run, f,
                                   -1, -1);
}

int register_all() {
  for (const char *t : {"NN", "TN", "NT"})
    for (int n : {64, 256, 1000}) register_gemm(t, n);
  for (char t : {'N', 'T'})
    for (int n : {200, 2000}) register_gemv(t, n);
  qvk_bench::add_context();
  benchmark::AddCustomContext("kernel_core", qvk::core_tuning(qvk::core_detected()).name);
  return 0;
}

const int registered = register_all();

}  // namespace

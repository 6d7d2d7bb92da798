// Vector kernels beside the reference BLAS and OpenBLAS, in elements per
// second, at n = 1,000 (in cache) and n = 4,000,000 (memory-bound). Our rows
// run every path this machine has; "ours" alone is the path chosen at run
// time.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "QorVARDMathKernel/vector.h"
#include "kernels/vector/isa.h"
#include "peers.h"

namespace {

using Copy = void (*)(const int *, const double *, const int *, double *, const int *);
using Scal = void (*)(const int *, const double *, double *, const int *);
using Axpy = void (*)(const int *, const double *, const double *, const int *, double *,
                      const int *);
using Swap = void (*)(const int *, double *, const int *, double *, const int *);
using Reduce = double (*)(const int *, const double *, const int *);
using Index = int (*)(const int *, const double *, const int *);

const int kSizes[] = {1000, 4000000};

struct Data {
  std::vector<double> x, y;
  std::vector<int> idx;
  explicit Data(int n) : x(n), y(n), idx(n) {
    for (int i = 0; i < n; ++i) {
      x[i] = 1.0 + 1e-3 * (i % 97);
      y[i] = 0.5 - 1e-3 * (i % 89);
      idx[i] = static_cast<int>((static_cast<long long>(i) * 7919) % n) + 1;  // distinct
    }
  }
};

template <class F, class Call>
void add(const std::string &kernel, F ours, const char *peer_name, Call call) {
  for (int n : kSizes) {
    const std::string tail = "/" + std::to_string(n);
    auto run = [=](benchmark::State &st, F f, int level) {
      if (level >= 0) qvk::isa_force(level);
      Data d(n);
      for (auto _ : st) {
        call(f, n, d);
        benchmark::ClobberMemory();
      }
      st.SetItemsProcessed(st.iterations() * static_cast<long long>(n));
      qvk::isa_force(-1);
    };
    benchmark::RegisterBenchmark((kernel + "/ours" + tail).c_str(), run, ours, -1);
    for (int l = 0; l <= qvk::isa_supported(); ++l)
      benchmark::RegisterBenchmark((kernel + "/ours:" + qvk::isa_name(l) + tail).c_str(), run,
                                   ours, l);
    if (!peer_name) continue;
    for (qvk_bench::Peer p : {qvk_bench::kReference, qvk_bench::kOpenBlas}) {
      F f = qvk_bench::peer<F>(p, peer_name);
      if (f)
        benchmark::RegisterBenchmark((kernel + "/" + qvk_bench::peer_name(p) + tail).c_str(), run,
                                     f, -1);
    }
  }
}

// Scalars the registered calls take by reference: they outlive registration.
// alpha = -1 is no special case for any peer and keeps repeated calls finite.
const int one = 1;
const double alpha = -1.0;

int register_all() {
  add<Axpy>("daxpy", e_daxpy, "daxpy_", [&](Axpy f, int n, Data &d) {
    f(&n, &alpha, d.x.data(), &one, d.y.data(), &one);
  });
  add<Scal>("dscal", e_dscal, "dscal_", [&](Scal f, int n, Data &d) {
    f(&n, &alpha, d.x.data(), &one);
  });
  add<Copy>("dcopy", e_dcopy, "dcopy_", [&](Copy f, int n, Data &d) {
    f(&n, d.x.data(), &one, d.y.data(), &one);
  });
  add<Swap>("dswap", e_dswap, "dswap_", [&](Swap f, int n, Data &d) {
    f(&n, d.x.data(), &one, d.y.data(), &one);
  });
  add<Reduce>("dasum", e_dasum, "dasum_", [&](Reduce f, int n, Data &d) {
    benchmark::DoNotOptimize(f(&n, d.x.data(), &one));
  });
  add<Reduce>("dnrm2", e_dnrm2, "dnrm2_", [&](Reduce f, int n, Data &d) {
    benchmark::DoNotOptimize(f(&n, d.x.data(), &one));
  });
  add<Index>("idamax", e_idamax, "idamax_", [&](Index f, int n, Data &d) {
    benchmark::DoNotOptimize(f(&n, d.x.data(), &one));
  });
  // The sparse kernels have no peer in either library.
  using Gthr = void (*)(const int *, const double *, double *, const int *);
  using Sctr = void (*)(const int *, const double *, const int *, double *);
  using Axpyi = void (*)(const int *, const double *, const double *, const int *, double *);
  using Doti = double (*)(const int *, const double *, const int *, const double *);
  add<Gthr>("dgthr", e_dgthr, nullptr, [&](Gthr f, int n, Data &d) {
    f(&n, d.y.data(), d.x.data(), d.idx.data());
  });
  add<Sctr>("dsctr", e_dsctr, nullptr, [&](Sctr f, int n, Data &d) {
    f(&n, d.x.data(), d.idx.data(), d.y.data());
  });
  add<Axpyi>("daxpyi", e_daxpyi, nullptr, [&](Axpyi f, int n, Data &d) {
    f(&n, &alpha, d.x.data(), d.idx.data(), d.y.data());
  });
  add<Doti>("ddoti", e_ddoti, nullptr, [&](Doti f, int n, Data &d) {
    benchmark::DoNotOptimize(f(&n, d.x.data(), d.idx.data(), d.y.data()));
  });
  qvk_bench::add_context();
  return 0;
}

const int registered = register_all();

}  // namespace

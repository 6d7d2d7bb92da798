// Factors and solves the stiffness matrix of hex8 models with the library's
// sparse solver (through fesolve's handle: automatic ordering, nested
// dissection, minimum degree) and with CHOLMOD's supernodal Cholesky (METIS
// forced, AMD forced), one after the other in one run, and prints one table
// row for each. Run it with OPENBLAS_NUM_THREADS=1 (bench/compare).
//
// Models: beam:NX:NY:NZ, the 8 x 1 x 1 m cantilever of NX x NY x NZ
// elements; cube:N, the 1 m cube of N x N x N elements. Both are clamped at
// x = 0 (3 NX (NY+1) (NZ+1) equations) and loaded at the far end.
// Default: beam:120:15:15 (92,160 equations), beam:184:23:23 (317,952) and
// cube:32 (104,544).
//
// Columns. Analyse: wall seconds of the ordering and symbolic phase.
// Factor: CPU and wall seconds. nnz(L) and GFLOP: ours from the info
// record (entries of L with the amalgamation's zeros; multiply-adds counted
// as two), CHOLMOD's own lnz and fl (the fundamental entries; flops counted
// the same way). Peak memory in MB of 2^20 bytes over analyse and factor,
// the input matrix excluded: ours the handle's memory managers, CHOLMOD's
// memory_usage less what it held before cholmod_analyze (the matrix).
// Scaled residual |b-Ku|inf / (|K|inf |u|inf + |b|inf) of the direct
// solve, and for ours after one step of refinement.
#include <cholmod.h>
#include <dlfcn.h>
#include <limits.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "QorVARDMathKernel/dense.h"
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

const char kUsage[] =
    "usage: fesolve_cholmod [--reps N] [MODEL ...]\n"
    "  --reps N       factor each model N times with each solver (a new analysis each\n"
    "                 time, untimed) and report the fastest factorization (1)\n"
    "  beam:NX:NY:NZ  cantilever 8 x 1 x 1 m of NX x NY x NZ hexahedra\n"
    "  cube:N         cube 1 x 1 x 1 m of N x N x N hexahedra\n"
    "default: beam:120:15:15 beam:184:23:23 cube:32\n";

// Factorizations per row; the fastest is reported.
int g_reps = 1;

struct Model {
  std::string name;
  Beam beam;
};

// Parses beam:NX:NY:NZ or cube:N; false for anything else.
bool parse_model(const std::string &text, Model &m) {
  std::vector<std::string> part;
  std::size_t at = 0;
  for (;;) {
    const std::size_t colon = text.find(':', at);
    part.push_back(text.substr(at, colon == std::string::npos ? colon : colon - at));
    if (colon == std::string::npos) break;
    at = colon + 1;
  }
  std::vector<int> n;
  for (std::size_t i = 1; i < part.size(); ++i) {
    char *end = nullptr;
    const long v = std::strtol(part[i].c_str(), &end, 10);
    if (part[i].empty() || *end || v < 1 || v > 1000) return false;
    n.push_back(static_cast<int>(v));
  }
  m.name = text;
  if (part[0] == "beam" && n.size() == 3) {
    m.beam.nx = n[0];
    m.beam.ny = n[1];
    m.beam.nz = n[2];
  } else if (part[0] == "cube" && n.size() == 1) {
    m.beam.nx = m.beam.ny = m.beam.nz = n[0];
    m.beam.length = m.beam.width = m.beam.height = 1.0;
  } else {
    return false;
  }
  // Stored matrices index their entries with 32-bit integers.
  return double(m.beam.nx + 1) * (m.beam.ny + 1) * (m.beam.nz + 1) <= 1e7;
}

// The model name, family and model of the first processor.
std::string cpu_model() {
  std::ifstream in("/proc/cpuinfo");
  std::string line, name = "unknown", family = "?", model = "?";
  while (std::getline(in, line) && !line.empty()) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::size_t at = line.find_first_not_of(" \t", colon + 1);
    const std::string value = at == std::string::npos ? "" : line.substr(at);
    const std::string key = line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1);
    if (key == "model name") name = value;
    else if (key == "cpu family") family = value;
    else if (key == "model") model = value;
  }
  return name + " (family " + family + ", model " + model + ")";
}

// The file that CHOLMOD's dgemm comes from: a reference BLAS there makes
// the comparison meaningless.
std::string blas_library() {
  Dl_info di;
  void *f = dlsym(RTLD_DEFAULT, "dgemm_");
  if (!f || !dladdr(f, &di) || !di.dli_fname) return "unknown";
  char path[PATH_MAX];
  return realpath(di.dli_fname, path) ? path : di.dli_fname;
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

struct Row {
  double analyse = 0, fact_cpu = 0, fact_wall = 0, nnzl = 0, flops = 0, peak_bytes = 0;
  double resid = 0, refined = -1;  // refined < 0: not refined
  double fronts = -1, assembly = -1;  // ours: the fronts' elimination, their assembly
};

void print_header() {
  std::printf("| solver | equations | analyse s | factor s (CPU) | factor s (wall) | nnz(L) M | "
              "GFLOP | GFLOP/s (CPU) | fronts s | fronts GFLOP/s | assembly s | peak memory MB | "
              "scaled residual | after one refinement |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
}

void print_row(const std::string &who, int n, const Row &r) {
  char ref[32] = "-", fr[3][32] = {"-", "-", "-"};
  if (r.refined >= 0) std::snprintf(ref, sizeof ref, "%9.2e", r.refined);
  if (r.fronts > 0) {
    std::snprintf(fr[0], sizeof fr[0], "%7.2f", r.fronts);
    std::snprintf(fr[1], sizeof fr[1], "%7.1f", r.flops * 1e-9 / r.fronts);
    std::snprintf(fr[2], sizeof fr[2], "%7.2f", r.assembly);
  }
  std::printf("| %-20s | %8d | %7.2f | %8.2f | %8.2f | %7.1f | %8.1f | %7.1f | %7s | %7s | %7s | %8.1f | "
              "%9.2e | %9s |\n",
              who.c_str(), n, r.analyse, r.fact_cpu, r.fact_wall, r.nnzl * 1e-6, r.flops * 1e-9,
              r.flops * 1e-9 / std::max(r.fact_cpu, 1e-6), fr[0], fr[1], fr[2],
              r.peak_bytes / 1048576.0, r.resid, ref);
  std::fflush(stdout);
}

// A row that could not be measured, and why.
void print_failed(const std::string &who, int n, const std::string &why) {
  std::printf("| %-20s | %8d | %s |\n", who.c_str(), n, why.c_str());
  std::fflush(stdout);
}

void ours_run(Ordering o, const Graph &g, const Stored &k, const std::vector<double> &b) {
  std::string who = std::string("ours ") + ordering_name(o);
  try {
    Row r;
    r.fact_cpu = 1e30;
    for (int rep = 1; rep < g_reps; ++rep) {  // the earlier repetitions
      Solver t;
      t.analyse(g, o);
      const double c0 = cpu_now(), w0 = wall_now();
      t.factor(k);
      const double fc = cpu_now() - c0, fw = wall_now() - w0;
      if (fc < r.fact_cpu) {
        r.fact_cpu = fc;
        r.fact_wall = fw;
        r.fronts = t.info().time_fronts;
        r.assembly = t.info().time_assembly;
      }
    }
    Solver s;
    double t0 = wall_now();
    s.analyse(g, o);
    r.analyse = wall_now() - t0;
    if (o == kAuto) who += std::string(": ") + ordering_name(s.info().ordering);
    const double c0 = cpu_now(), w0 = wall_now();
    s.factor(k);
    const double fc = cpu_now() - c0, fw = wall_now() - w0;
    const qvk_sparse_info info = s.info();
    if (fc < r.fact_cpu) {
      r.fact_cpu = fc;
      r.fact_wall = fw;
      r.fronts = info.time_fronts;
      r.assembly = info.time_assembly;
    }
    r.nnzl = info.nnz_l;
    r.flops = info.flops;
    r.peak_bytes = 8.0 * info.peak_words;
    std::vector<double> u = b;
    s.solve(u.data(), 1);
    r.resid = scaled_residual(k, b, u);
    r.refined = s.refine(k, b, u);
    print_row(who, k.n, r);
  } catch (const InputError &e) {
    print_failed(who, k.n, std::string("unavailable: ") + e.what());
  } catch (const SolveError &e) {
    print_failed(who, k.n, std::string("failed: ") + e.what());
  }
}

void cholmod_run(bool metis, const Stored &k, const std::vector<double> &b) {
  const std::string who = metis ? "CHOLMOD METIS" : "CHOLMOD AMD";
  cholmod_common c;
  cholmod_start(&c);
  c.supernodal = CHOLMOD_SUPERNODAL;
  c.nmethods = 1;
  c.method[0].ordering = metis ? CHOLMOD_METIS : CHOLMOD_AMD;
  c.postorder = 1;
  // Each stored row holds the columns up to the diagonal: read as a column
  // it is that column's upper part, rows increasing (stype 1).
  cholmod_sparse *a = cholmod_allocate_sparse(k.n, k.n, k.nnz(), 1, 1, 1, CHOLMOD_REAL, &c);
  if (!a) {
    print_failed(who, k.n, "failed: no memory for the matrix");
    cholmod_finish(&c);
    return;
  }
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
  Row r;
  const double held = static_cast<double>(c.memory_inuse);
  double t0 = wall_now();
  cholmod_factor *l = cholmod_analyze(a, &c);
  r.analyse = wall_now() - t0;
  if (!l || c.status != CHOLMOD_OK) {
    print_failed(who, k.n, "unavailable (cholmod_analyze status " + std::to_string(c.status) + ")");
  } else {
    // The earlier repetitions, each on a new analysis as ours (so that
    // neither reuses the pages of an earlier factor).
    r.fact_cpu = 1e30;
    for (int rep = 1; rep < g_reps; ++rep) {
      cholmod_factor *lt = cholmod_analyze(a, &c);
      const double c0 = cpu_now(), w0 = wall_now();
      if (lt) cholmod_factorize(a, lt, &c);
      const double fc = cpu_now() - c0, fw = wall_now() - w0;
      if (lt && fc < r.fact_cpu) {
        r.fact_cpu = fc;
        r.fact_wall = fw;
      }
      cholmod_free_factor(&lt, &c);
    }
    const double c0 = cpu_now(), w0 = wall_now();
    cholmod_factorize(a, l, &c);
    const double fc = cpu_now() - c0, fw = wall_now() - w0;
    if (fc < r.fact_cpu) {
      r.fact_cpu = fc;
      r.fact_wall = fw;
    }
    r.peak_bytes = static_cast<double>(c.memory_usage) - held;
    r.nnzl = c.lnz;
    r.flops = c.fl;
    if (c.status != CHOLMOD_OK) {
      print_failed(who, k.n, "failed (cholmod_factorize status " + std::to_string(c.status) + ")");
    } else {
      cholmod_dense *bd = cholmod_allocate_dense(k.n, 1, k.n, CHOLMOD_REAL, &c);
      cholmod_dense *x = nullptr;
      if (bd) {
        std::copy(b.begin(), b.end(), static_cast<double *>(bd->x));
        x = cholmod_solve(CHOLMOD_A, l, bd, &c);
      }
      if (x) {
        const double *xv = static_cast<const double *>(x->x);
        r.resid = scaled_residual(k, b, std::vector<double>(xv, xv + k.n));
        print_row(who, k.n, r);
      } else {
        print_failed(who, k.n, "failed (cholmod_solve status " + std::to_string(c.status) + ")");
      }
      cholmod_free_dense(&x, &c);
      cholmod_free_dense(&bd, &c);
    }
  }
  cholmod_free_factor(&l, &c);
  cholmod_free_sparse(&a, &c);
  cholmod_finish(&c);
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<Model> models;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--reps" && i + 1 < argc) {
      g_reps = std::atoi(argv[++i]);
      if (g_reps < 1 || g_reps > 100) {
        std::fprintf(stderr, "fesolve_cholmod: --reps takes 1 to 100\n%s", kUsage);
        return 2;
      }
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    Model m;
    if (!parse_model(arg, m)) {
      std::fprintf(stderr, "fesolve_cholmod: model '%s' not understood\n%s", argv[i], kUsage);
      return 2;
    }
    models.push_back(m);
  }
  if (models.empty())
    for (const char *name : {"beam:120:15:15", "beam:184:23:23", "cube:32"}) {
      Model m;
      parse_model(name, m);
      models.push_back(m);
    }
  std::printf("CPU: %s\n", cpu_model().c_str());
  std::printf("factorizations per row: %d, the fastest reported\n", g_reps);
  const char *threads = std::getenv("OPENBLAS_NUM_THREADS");
  std::printf("CHOLMOD's BLAS: %s (OPENBLAS_NUM_THREADS %s)\n\n", blas_library().c_str(),
              threads ? threads : "unset");
  // The matrix product alone on this machine, in the same run: the
  // fronts' rate is read against it.
  {
    const int nn = 1000;
    const double one = 1.0, zero = 0.0;
    std::vector<double> a(static_cast<std::size_t>(nn) * nn), bb(a.size()), cc(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      a[i] = std::sin(0.001 * i);
      bb[i] = std::cos(0.002 * i);
    }
    double best = 1e30;
    for (int rep = 0; rep < 5; ++rep) {
      const double c0 = cpu_now();
      eagemm("N", "N", &nn, &nn, &nn, &one, a.data(), &nn, bb.data(), &nn, &zero, cc.data(), &nn, 1, 1);
      best = std::min(best, cpu_now() - c0);
    }
    std::printf("eagemm NN n = 1,000: %.1f GFLOP/s (CPU, best of 5)\n\n", 2e-9 * nn * nn * nn / best);
  }
  print_header();
  for (const Model &md : models) {
    const Mesh mesh = make_beam(md.beam);
    const Cantilever cl = clamp_and_load(mesh, true);
    const Graph g = node_graph(mesh, cl.dofs);
    Stored k;
    std::vector<double> b;
    assemble(mesh, Material(), cl.dofs, g, k, nullptr, b);
    for (int i = 0; i < mesh.nodes(); ++i)
      if (cl.weight[i] > 0) b[cl.dofs.eq[3 * i + 2]] -= 1e6 * cl.weight[i];
    for (Ordering o : {kAuto, kNestedDissection, kMinimumDegree}) ours_run(o, g, k, b);
    cholmod_run(true, k, b);
    cholmod_run(false, k, b);
  }
  return 0;
}

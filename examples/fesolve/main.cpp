// fesolve: a linear-elastic static solve and the lowest natural frequencies
// of a clamped cantilever (generated, or read from a mesh file), or the
// solve of a symmetric positive definite matrix read from a file.

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/errors.h"
#include "QorVARDMathKernel/types.h"
#include "fesolve.h"

using namespace fesolve;

namespace {

const char kUsage[] =
    "usage: fesolve [options]\n"
    "Solves a clamped cantilever under a tip load (3D linear elasticity, 8-node\n"
    "hexahedra) and finds its lowest natural frequencies; or solves K x = 1 for\n"
    "a symmetric positive definite matrix read from a file.\n"
    "\n"
    "model\n"
    "  --nx N, --ny N, --nz N  elements along the length, width, height (120, 15, 15)\n"
    "  --length L, --width W, --height H   beam size in m (8, 1, 1)\n"
    "  --young E       Young's modulus in Pa (2.1e11)\n"
    "  --poisson NU    Poisson's ratio, 0 <= NU < 0.5 (0.3)\n"
    "  --density RHO   density in kg/m3 (7850)\n"
    "  --load P        tip load in N, along -z (1e6)\n"
    "  --mesh FILE     a Gmsh 2.2 ASCII mesh (hexahedra, tetrahedra) instead of the\n"
    "                  generated beam: clamped at its smallest x, loaded at its largest\n"
    "  --matrix FILE   a Matrix Market matrix (coordinate, real, symmetric or\n"
    "                  symmetric general): solve K x = 1 and report\n"
    "solver\n"
    "  --ordering O    auto, nd, mmd, natural or reversed (auto: nested dissection\n"
    "                  or minimum degree, whichever predicts fewer operations)\n"
    "  --modes N       natural frequencies to find, 0 to skip (10)\n"
    "  --tol T         relative change of the frequencies that ends the iteration (1e-8)\n"
    "output\n"
    "  --vtu FILE      ParaView file with displacements and mode shapes (fesolve.vtu);\n"
    "                  'none' writes no file\n"
    "  --quiet         accepted for older scripts (there is no progress indicator)\n"
    "  --help          this text\n"
    "The summary is also written to the listing file when TBX_ODT_OUT names a\n"
    "directory.\n";

struct Options {
  Beam beam;
  Material mat;
  double load = 1e6;
  std::string mesh, matrix, vtu = "fesolve.vtu";
  Ordering ordering = kAuto;
  int modes = 10;
  double tol = 1e-8;
};

// Summary lines go to the terminal and, when one is open, to the listing.
void say(const char *fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  std::fputs(buf, stdout);
  std::fflush(stdout);
  if (QorVardListingServices::GetDescriptor() != -1) ehprint(buf);
}

[[noreturn]] void bad_option(const std::string &opt, const std::string &what) {
  throw InputError("option " + opt + ": " + what);
}

int int_value(const std::string &opt, const std::string &v, int lo, int hi) {
  char *end = nullptr;
  errno = 0;
  long x = std::strtol(v.c_str(), &end, 10);
  if (v.empty() || *end || errno || x < lo || x > hi)
    bad_option(opt, "expected an integer from " + std::to_string(lo) + " to " +
                        std::to_string(hi) + ", got '" + v + "'");
  return static_cast<int>(x);
}

double real_value(const std::string &opt, const std::string &v, double lo, double hi,
                  bool open_hi = false) {
  char *end = nullptr;
  errno = 0;
  double x = std::strtod(v.c_str(), &end);
  if (v.empty() || *end || errno || !std::isfinite(x) || x < lo || (open_hi ? x >= hi : x > hi)) {
    char range[96];
    std::snprintf(range, sizeof range, "expected a number from %g to %g%s, got '", lo, hi,
                  open_hi ? " (excluded)" : "");
    bad_option(opt, range + v + "'");
  }
  return x;
}

// Returns false after printing the usage for --help.
bool parse(int argc, char **argv, Options &o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i], v;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return false;
    }
    if (a == "--quiet") continue;
    static const char *const kValued[] = {
        "--nx",  "--ny",   "--nz",     "--length", "--width",  "--height", "--young", "--poisson",
        "--density", "--load", "--mesh", "--matrix", "--vtu", "--modes", "--tol", "--ordering"};
    const auto eq = a.find('=');
    const std::string name = eq == std::string::npos ? a : a.substr(0, eq);
    if (std::none_of(std::begin(kValued), std::end(kValued), [&](const char *k) { return name == k; }))
      throw InputError("unknown option '" + name + "' (see --help)");
    if (eq != std::string::npos) {
      v = a.substr(eq + 1);
      a = name;
    } else if (i + 1 < argc) {
      v = argv[++i];
    } else {
      bad_option(a, "needs a value (see --help)");
    }
    const double big = 1e30;
    if (a == "--nx") o.beam.nx = int_value(a, v, 1, 100000);
    else if (a == "--ny") o.beam.ny = int_value(a, v, 1, 100000);
    else if (a == "--nz") o.beam.nz = int_value(a, v, 1, 100000);
    else if (a == "--length") o.beam.length = real_value(a, v, 1e-9, big);
    else if (a == "--width") o.beam.width = real_value(a, v, 1e-9, big);
    else if (a == "--height") o.beam.height = real_value(a, v, 1e-9, big);
    else if (a == "--young") o.mat.young = real_value(a, v, 1e-9, big);
    else if (a == "--poisson") o.mat.poisson = real_value(a, v, 0.0, 0.5, true);
    else if (a == "--density") o.mat.density = real_value(a, v, 1e-9, big);
    else if (a == "--load") o.load = real_value(a, v, -big, big);
    else if (a == "--mesh") o.mesh = v;
    else if (a == "--matrix") o.matrix = v;
    else if (a == "--vtu") o.vtu = v;
    else if (a == "--modes") o.modes = int_value(a, v, 0, 50);
    else if (a == "--tol") o.tol = real_value(a, v, 1e-15, 1e-1);
    else if (a == "--ordering") {
      bool known = false;
      for (Ordering c : {kAuto, kNestedDissection, kMinimumDegree, kNatural, kReversed})
        if (v == ordering_name(c)) {
          o.ordering = c;
          known = true;
        }
      if (!known) bad_option(a, "expected auto, nd, mmd, natural or reversed, got '" + v + "'");
    }
  }
  if (!o.mesh.empty() && !o.matrix.empty())
    throw InputError("options --mesh and --matrix exclude each other");
  if (o.mesh.empty() && o.matrix.empty()) {
    const double nodes = double(o.beam.nx + 1) * (o.beam.ny + 1) * (o.beam.nz + 1);
    // Stored matrices index their entries with 32-bit integers.
    if (nodes > 1e7) throw InputError("options --nx --ny --nz: more than 10 million nodes");
  }
  return true;
}

struct Solved {
  std::vector<double> u;
  double scaled = 0, relative = 0;
};

// Order, analyse, factor, solve and check one system; prints its part of
// the summary. g null: the matrix's own pattern is analysed.
Solved solve_system(const Options &o, const Graph *g, const Stored &k,
                    const std::vector<double> &b, Solver &mf) {
  QorVardTimer t_order, t_factor, t_solve;
  t_order.Start();
  if (g)
    mf.analyse(*g, o.ordering);
  else
    mf.analyse(k, o.ordering);
  t_order.Stop();
  t_factor.Start();
  mf.factor(k);
  t_factor.Stop();
  const qvk_sparse_info st = mf.info();
  Solved s;
  s.u = b;
  t_solve.Start();
  mf.solve(s.u.data(), 1);
  t_solve.Stop();

  // Residuals through the stored-matrix product, of the direct solve and
  // after one step of refinement (whose scaled residual the library gives).
  std::vector<double> rowsum(k.n, 0.0);
  for (int i = 0; i < k.n; ++i)
    for (int p = k.ia[i]; p < k.ia[i + 1]; ++p) {
      rowsum[i] += std::fabs(k.a[p]);
      if (p != k.ia[i + 1] - 1) rowsum[k.ja[p] - 1] += std::fabs(k.a[p]);
    }
  const double kinf = *std::max_element(rowsum.begin(), rowsum.end());
  struct Residuals {
    double scaled, relative;
  };
  auto residuals = [&]() {
    std::vector<double> ku(k.n);
    stored_product(k, 1, s.u.data(), ku.data());
    double rinf = 0, r2 = 0, b2 = 0, binf = 0, uinf = 0;
    for (int i = 0; i < k.n; ++i) {
      const double r = b[i] - ku[i];
      rinf = std::max(rinf, std::fabs(r));
      r2 += r * r;
      b2 += b[i] * b[i];
      binf = std::max(binf, std::fabs(b[i]));
      uinf = std::max(uinf, std::fabs(s.u[i]));
    }
    return Residuals{rinf / (kinf * uinf + binf), b2 > 0 ? std::sqrt(r2 / b2) : std::sqrt(r2)};
  };
  const Residuals direct = residuals();
  QorVardTimer t_refine;
  t_refine.Start();
  s.scaled = mf.refine(k, b, s.u);
  t_refine.Stop();
  s.relative = residuals().relative;
  // The peak is the handle's, the refinement's work included.
  const double peak_words = std::max(st.peak_words, mf.info().peak_words);

  std::string used = ordering_name(st.ordering);
  if (o.ordering == kAuto) used = std::string("auto: ") + used;
  const double nnzk = 2.0 * (k.nnz() - k.n) + k.n;
  say("  equations                %12d\n", k.n);
  say("  nonzeros of K            %12.0f\n", nnzk);
  say("  nonzeros of L            %12.0f  (%d fronts, largest %d)\n", st.nnz_l, st.fronts,
      st.max_front);
  say("  ordering and analysis    %12.3f s  (%s)\n", t_order.GetElapsed(), used.c_str());
  say("  factorization            %12.3f s  (CPU %.3f s) %.2f GFLOP, %.2f GFLOP/s (CPU)\n",
      t_factor.GetElapsed(), t_factor.GetCPU(), st.flops * 1e-9,
      st.flops * 1e-9 / std::max(t_factor.GetCPU(), 1e-3));
  say("  solve                    %12.3f s\n", t_solve.GetElapsed());
  say("  smallest pivot ratio     %12.3e\n", st.min_ratio);
  say("  memory manager peak      %12.1f MB  (factor and fronts)\n",
      8.0 * peak_words / 1048576.0);
  say("  scaled residual          %12.3e  |b-Ku|inf/(|K|inf|u|inf+|b|inf), direct solve\n",
      direct.scaled);
  say("                           %12.3e  after one refinement step (%.3f s)\n", s.scaled,
      t_refine.GetElapsed());
  say("  relative residual        %12.3e  |b-Ku|/|b|, %.3e after refinement\n", direct.relative,
      s.relative);
  return s;
}

int run_matrix(const Options &o) {
  Stored k = read_matrix_market(o.matrix);
  say("fesolve: matrix %s\n", o.matrix.c_str());
  std::vector<double> b(k.n, 1.0);
  Solver mf;
  try {
    solve_system(o, nullptr, k, b, mf);
  } catch (const SolveError &e) {
    throw SolveError(o.matrix + ": " + e.what());
  } catch (const InputError &e) {
    throw InputError(o.matrix + ": " + e.what());
  }
  return 0;
}

int run_model(const Options &o) {
  Mesh mesh = o.mesh.empty() ? make_beam(o.beam) : read_gmsh(o.mesh);
  const int nn = mesh.nodes();
  Cantilever cl = clamp_and_load(mesh, o.mesh.empty());
  if (!(cl.hi[0] > cl.lo[0])) throw InputError(o.mesh + ": the mesh has no extent along x");
  const double len = cl.hi[0] - cl.lo[0], wid = cl.hi[1] - cl.lo[1], hgt = cl.hi[2] - cl.lo[2];
  const double *lo = cl.lo;
  Dofs &d = cl.dofs;
  const std::vector<double> &weight = cl.weight;
  if (d.neq == 0) throw InputError("the model has no free degree of freedom");
  if (o.mesh.empty())
    say("fesolve: cantilever %g x %g x %g m, %d x %d x %d hexahedra, %d nodes\n", len, wid, hgt,
        o.beam.nx, o.beam.ny, o.beam.nz, nn);
  else
    say("fesolve: mesh %s, %d elements, %d nodes\n", o.mesh.c_str(), mesh.elements(), nn);

  QorVardTimer t_asm;
  t_asm.Start();
  Graph g = node_graph(mesh, d);
  Stored k, m;
  std::vector<double> rhs;
  assemble(mesh, o.mat, d, g, k, o.modes > 0 ? &m : nullptr, rhs);
  for (int i = 0; i < nn; ++i)
    if (weight[i] > 0 && d.eq[3 * i + 2] >= 0) rhs[d.eq[3 * i + 2]] -= o.load * weight[i];
  t_asm.Stop();
  say("  assembly                 %12.3f s\n", t_asm.GetElapsed());

  Solver mf;
  Solved s = solve_system(o, &g, k, rhs, mf);

  // The tip deflection that the load works on, against the Timoshenko beam.
  const double tip = tip_deflection(cl, s.u);
  const double E = o.mat.young, nu = o.mat.poisson, G = E / (2 * (1 + nu));
  const double area = wid * hgt, iy = wid * hgt * hgt * hgt / 12, iz = hgt * wid * wid * wid / 12;
  const double beam = -o.load * timoshenko_compliance(len, wid, hgt, o.mat);
  say("  tip deflection           %12.5e m  (Timoshenko beam %.5e m, ratio %.4f)\n", tip, beam,
      beam != 0 ? tip / beam : 0.0);

  std::vector<Field> fields(1);
  fields[0].name = "displacement";
  fields[0].values.assign(3 * nn, 0.0);
  for (int i = 0; i < 3 * nn; ++i) fields[0].values[i] = d.eq[i] >= 0 ? s.u[d.eq[i]] : d.fixed[i];

  if (o.modes > 0) {
    QorVardTimer t_modes;
    t_modes.Start();
    say("  subspace iteration for %d frequencies:\n", o.modes);
    Modes md = subspace_iteration(k, m, mf, o.modes, o.tol, 60, [&](int it, int conv, double ch) {
      say("    iteration %2d: %2d converged, largest relative change %.2e\n", it, conv, ch);
    });
    t_modes.Stop();
    // Each mode is told apart by its displacements: stretching (x
    // dominates), bending (a net sideways motion) or torsion (sideways
    // without a net motion), and set beside the n-th mode of that kind of
    // a beam: Euler-Bernoulli bending in both planes, Saint-Venant torsion
    // of the rectangle, the free-fixed bar.
    const double bl[4] = {1.87510407, 4.69409113, 7.85475744, 10.99554073};
    std::vector<double> bend;
    for (double in : {iy, iz})
      for (double b : bl)
        bend.push_back(b * b / (2 * M_PI * len * len) * std::sqrt(E * in / (o.mat.density * area)));
    std::sort(bend.begin(), bend.end());
    const double a = std::max(wid, hgt), b = std::min(wid, hgt), r = b / a;
    const double jt = (1.0 / 3 - 0.21 * r * (1 - r * r * r * r / 12)) * a * b * b * b;
    const double ip = area * (wid * wid + hgt * hgt) / 12;
    const double c_tor = std::sqrt(G * jt / (o.mat.density * ip)), c_ax = std::sqrt(E / o.mat.density);
    int nb = 0, nt = 0, na = 0;
    say("  frequencies (%d iterations, %.3f s)\n", md.iterations, t_modes.GetElapsed());
    say("    mode        Hz          beam Hz   kind\n");
    for (std::size_t i = 0; i < md.lambda.size(); ++i) {
      const double f = std::sqrt(std::max(md.lambda[i], 0.0)) / (2 * M_PI);
      const double *v = md.vectors.data() + static_cast<std::size_t>(i) * k.n;
      // Sideways motion of each slice across the length: its mean is the
      // bending part, what remains about it the torsion part.
      const int nbins = o.mesh.empty() ? o.beam.nx + 1 : 50;
      std::vector<double> by(nbins, 0.0), bz(nbins, 0.0), bn(nbins, 0.0);
      double sx = 0, st = 0, sb = 0;
      for (int j = 0; j < nn; ++j) {
        const double ux = d.eq[3 * j] >= 0 ? v[d.eq[3 * j]] : 0;
        const double uy = d.eq[3 * j + 1] >= 0 ? v[d.eq[3 * j + 1]] : 0;
        const double uz = d.eq[3 * j + 2] >= 0 ? v[d.eq[3 * j + 2]] : 0;
        const int bi = static_cast<int>(std::lround((mesh.xyz[3 * j] - lo[0]) / len * (nbins - 1)));
        sx += ux * ux;
        st += uy * uy + uz * uz;
        by[bi] += uy;
        bz[bi] += uz;
        bn[bi] += 1;
      }
      for (int bi = 0; bi < nbins; ++bi)
        if (bn[bi] > 0) sb += (by[bi] * by[bi] + bz[bi] * bz[bi]) / bn[bi];
      double ref;
      const char *kind;
      if (sx > st) {
        kind = "stretching";
        ref = (2 * ++na - 1) / (4 * len) * c_ax;
      } else if (sb > 0.5 * st) {
        kind = "bending";
        ref = nb < static_cast<int>(bend.size()) ? bend[nb] : 0;
        ++nb;
      } else {
        kind = "torsion";
        ref = (2 * ++nt - 1) / (4 * len) * c_tor;
      }
      say("    %2zu  %14.6f  %14.6f   %s\n", i + 1, f, ref, kind);
      Field fm;
      fm.name = "mode" + std::to_string(i + 1);
      fm.values.assign(3 * nn, 0.0);
      for (int j = 0; j < 3 * nn; ++j)
        if (d.eq[j] >= 0) fm.values[j] = v[d.eq[j]];
      fields.push_back(std::move(fm));
    }
  }
  if (o.vtu != "none") {
    write_vtu(o.vtu, mesh, fields);
    say("  written                  %s\n", o.vtu.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  Options o;
  try {
    if (!parse(argc, argv, o)) return 0;
  } catch (const InputError &e) {
    std::fprintf(stderr, "fesolve: %s\n", e.what());
    return 2;
  }
  SetVardTraces();
  if (QorVardListingServices::GetDescriptor() != -1)
    std::printf("listing file: %s/%s\n", QorVardListingServices::GetDirectory().ConvertToChar(),
                QorVardListingServices::GetFileName().ConvertToChar());
  // A failure: one line on standard error, and the numbered report of the
  // error tools (into the listing when one is open).
  auto fail = [](int number, const std::exception &e) {
    std::fprintf(stderr, "fesolve: %s\n", e.what());
    QorVardErrorTools::CreateError(number, "FesolveError", QorVardTypeEncapError(e.what()));
  };
  try {
    return o.matrix.empty() ? run_model(o) : run_matrix(o);
  } catch (const InputError &e) {
    fail(101, e);
    return 2;
  } catch (const SolveError &e) {
    fail(102, e);
    return 3;
  } catch (const std::bad_alloc &e) {
    fail(102, std::runtime_error("out of memory"));
    return 4;
  }
}

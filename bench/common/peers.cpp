#include "peers.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <fstream>

namespace qvk_bench {
namespace {

void *reference_blas() {
  static void *lib = dlopen(QVK_REF_BLAS_PATH, RTLD_NOW | RTLD_LOCAL);
  return lib;
}

// Opened after the reference BLAS, whose soname it then binds to.
void *reference_lapack() {
  static void *lib = reference_blas() ? dlopen(QVK_REF_LAPACK_PATH, RTLD_NOW | RTLD_LOCAL) : nullptr;
  return lib;
}

void *openblas() {
  static void *lib = [] {
    void *h = dlopen(QVK_OPENBLAS_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
    if (h) {
      auto set_threads = reinterpret_cast<void (*)(int)>(dlsym(h, "openblas_set_num_threads"));
      if (set_threads) set_threads(1);
    }
    return h;
  }();
  return lib;
}

}  // namespace

void *peer_symbol(Peer peer, const char *name) {
  if (peer == kOpenBlas) {
    void *h = openblas();
    return h ? dlsym(h, name) : nullptr;
  }
  if (void *h = reference_blas())
    if (void *s = dlsym(h, name)) return s;
  void *h = reference_lapack();
  return h ? dlsym(h, name) : nullptr;
}

std::string openblas_core() {
  auto f = peer<char *(*)()>(kOpenBlas, "openblas_get_corename");
  return f ? f() : "absent";
}

std::string cpu_model() {
  std::string name = "?", family = "?", model = "?";
  std::ifstream info("/proc/cpuinfo");
  for (std::string line; std::getline(info, line) && line.find_first_not_of(" \t") != std::string::npos;) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = line.substr(0, colon);
    key.erase(key.find_last_not_of(" \t") + 1);
    const std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
    if (key == "model name") name = value;
    if (key == "cpu family") family = value;
    if (key == "model") model = value;
  }
  return name + ", family " + family + " model " + model;
}

void add_context() {
  benchmark::AddCustomContext("openblas_core", openblas_core());
  benchmark::AddCustomContext("cpu_model", cpu_model());
}

}  // namespace qvk_bench

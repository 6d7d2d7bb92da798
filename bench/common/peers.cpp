#include "peers.h"

#include <dlfcn.h>

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

}  // namespace qvk_bench

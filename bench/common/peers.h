// The peers of the benchmarks, loaded by file so that each is what it says:
// the reference BLAS and LAPACK from their own folders, OpenBLAS from its
// library, bound to itself and run on one thread.
#ifndef QVK_BENCH_COMMON_PEERS_H
#define QVK_BENCH_COMMON_PEERS_H

#include <string>

namespace qvk_bench {

enum Peer { kReference, kOpenBlas };

// Address of a Fortran symbol ("dgemm_") in a peer, or null when absent.
void *peer_symbol(Peer peer, const char *name);

template <class F>
F peer(Peer p, const char *name) {
  return reinterpret_cast<F>(peer_symbol(p, name));
}

inline const char *peer_name(Peer p) { return p == kReference ? "reference" : "openblas"; }

// OpenBLAS's core type as it runs ("Haswell", "SkylakeX", ...).
std::string openblas_core();

// The processor: its name, family and model ("AMD EPYC, family 25 model
// 17"), for the tables' headings.
std::string cpu_model();
// Every driver's context: OpenBLAS's core type and the processor.
void add_context();

}  // namespace qvk_bench

#endif

// The running-differences scheme of the packed solves and of the Cholesky
// factorization, written once.
//
// G sums s[0..G-1] share one pass over the terms they have in common, then
// finish the small triangle among themselves:
//   for k = 0..count-1:  s[m] := s[m] - common(m, k), for m = 0..G-1;
//   then for m = 0..G-1 in turn:
//     s[m] := s[m] - triangle(m, q) for q = 0..m-1 (terms that read the sums
//             finished before it), then finish(m, s[m]) (divides, stores).
// Each sum takes its terms one at a time in the order of the plain path;
// carrying G of them together only lets their chains run side by side. S is
// double or the register type of a vector type, sub(a, b) gives a - b; the
// callers' term functions keep their own operand order.
//
// Internal linkage (unnamed namespace): the instruction-set files include
// it, and each copy keeps its own flags.
#ifndef QVK_KERNELS_VECTOR_RUNNING_SUMS_H
#define QVK_KERNELS_VECTOR_RUNNING_SUMS_H

namespace {

template <int G, class S, class Sub, class Common, class Triangle, class Finish>
inline void running_differences(S *s, int count, Sub sub, Common common, Triangle triangle,
                                Finish finish) {
  // Main body: the terms common to the G sums.
  for (int k = 0; k < count; ++k)
    for (int m = 0; m < G; ++m) s[m] = sub(s[m], common(m, k));
  // Triangle: sum m continues with the m sums just finished.
  for (int m = 0; m < G; ++m) {
    for (int q = 0; q < m; ++q) s[m] = sub(s[m], triangle(m, q));
    finish(m, s[m]);
  }
}

inline double minus(double a, double b) { return a - b; }

}  // namespace

#endif

// Symmetric test matrices of the small dense algorithm tests, by columns
// (leading dimension n) and in the upper packed layout.
#ifndef QVK_TESTS_ALGORITHMS_TEST_H
#define QVK_TESTS_ALGORITHMS_TEST_H

#include <cmath>
#include <random>
#include <vector>

namespace alg_test {

inline std::vector<double> uniform(size_t n, unsigned seed, double lo = -1.0, double hi = 1.0) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<double> v(n);
  for (auto &x : v) x = u(gen);
  return v;
}

struct Sym {
  int n = 0;
  std::vector<double> a;
  explicit Sym(int order = 0) : n(order), a(static_cast<size_t>(order) * order, 0.0) {}
  double &at(int i, int j) { return a[(i - 1) + static_cast<size_t>(j - 1) * n]; }
  void set(int i, int j, double v) { at(i, j) = at(j, i) = v; }
  std::vector<double> packed() {  // the lower triangle by rows
    std::vector<double> ap;
    for (int r = 1; r <= n; ++r)
      for (int c = 1; c <= r; ++c) ap.push_back(at(r, c));
    return ap;
  }
};

// Symmetric from the upper triangle of v (n*n values).
inline Sym sym_from(int n, const std::vector<double> &v) {
  Sym s(n);
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= j; ++i) s.set(i, j, v[(i - 1) + static_cast<size_t>(j - 1) * n]);
  return s;
}
inline Sym random_sym(int n, unsigned seed) { return sym_from(n, uniform(size_t(n) * n, seed)); }

// Q*diag(lambda)*Q' with Q = I - 2vv'/v'v: known eigenvalues up to rounding.
inline Sym with_eigenvalues(const std::vector<double> &lambda, unsigned seed) {
  const int n = static_cast<int>(lambda.size());
  const std::vector<double> v = uniform(n, seed);
  double vv = 0.0;
  for (double x : v) vv += x * x;
  Sym s(n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      double t = 0.0;
      for (int k = 0; k < n; ++k)
        t += ((i == k) - 2 * v[i] * v[k] / vv) * lambda[k] * ((j == k) - 2 * v[j] * v[k] / vv);
      s.set(i + 1, j + 1, t);
    }
  return s;
}

}  // namespace alg_test

#endif

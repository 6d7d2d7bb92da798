// Shared helpers of the small dense algorithm tests: symmetric test matrices
// in full and upper packed form.
#ifndef QVK_TESTS_ALGORITHMS_TEST_H
#define QVK_TESTS_ALGORITHMS_TEST_H

#include <cmath>
#include <random>
#include <vector>

namespace alg_test {

// Full symmetric n-by-n, column-major, leading dimension n.
struct Sym {
  int n = 0;
  std::vector<double> a;
  explicit Sym(int order = 0) : n(order), a(static_cast<size_t>(order) * order, 0.0) {}
  double &at(int i, int j) { return a[(i - 1) + static_cast<size_t>(j - 1) * n]; }
  double at(int i, int j) const { return a[(i - 1) + static_cast<size_t>(j - 1) * n]; }
  void set(int i, int j, double v) { at(i, j) = at(j, i) = v; }
  // The lower triangle by rows, which is the upper packed layout.
  std::vector<double> packed() const {
    std::vector<double> ap;
    for (int r = 1; r <= n; ++r)
      for (int c = 1; c <= r; ++c) ap.push_back(at(r, c));
    return ap;
  }
};

inline std::vector<double> uniform(size_t n, unsigned seed, double lo = -1.0, double hi = 1.0) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<double> v(n);
  for (auto &x : v) x = u(gen);
  return v;
}

inline Sym random_sym(int n, unsigned seed) {
  Sym s(n);
  const std::vector<double> v = uniform(static_cast<size_t>(n) * n, seed);
  for (int j = 1; j <= n; ++j)
    for (int i = j; i <= n; ++i) s.set(i, j, v[(i - 1) + static_cast<size_t>(j - 1) * n]);
  return s;
}

// Q*diag(lambda)*Q' with Q a product of three random reflections: a
// symmetric matrix with (up to rounding) the given eigenvalues.
inline Sym with_eigenvalues(const std::vector<double> &lambda, unsigned seed) {
  const int n = static_cast<int>(lambda.size());
  std::vector<double> q(static_cast<size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i) q[i + static_cast<size_t>(i) * n] = 1.0;
  for (unsigned r = 0; r < 3; ++r) {
    const std::vector<double> v = uniform(n, seed * 7 + r);
    double vv = 0.0;
    for (double x : v) vv += x * x;
    std::vector<double> qv(n, 0.0);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) qv[i] += q[i + static_cast<size_t>(j) * n] * v[j];
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) q[i + static_cast<size_t>(j) * n] -= 2.0 / vv * qv[i] * v[j];
  }
  Sym s(n);
  for (int j = 1; j <= n; ++j)
    for (int i = j; i <= n; ++i) {
      double t = 0.0;
      for (int k = 0; k < n; ++k)
        t += q[(i - 1) + static_cast<size_t>(k) * n] * lambda[k] *
             q[(j - 1) + static_cast<size_t>(k) * n];
      s.set(i, j, t);
    }
  return s;
}

}  // namespace alg_test

#endif

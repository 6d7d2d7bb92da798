// Element matrices of 3D linear elasticity: the 8-node hexahedron with
// 2x2x2 Gauss points and the 4-node tetrahedron, stiffness and consistent
// mass. Dofs are ordered node by node (x, y, z).
#include <cmath>
#include <cstring>

#include "fesolve.h"

namespace fesolve {
namespace {

// Adds w * (the 3x3 blocks of grad Na . D . grad Nb) to ke (nn nodes).
// For an isotropic material block (i,j) of the pair (a,b) is
//   lambda Na,i Nb,j + mu Na,j Nb,i + mu delta_ij (grad Na . grad Nb).
void add_stiffness(int nn, const double (*g)[3], double lambda, double mu, double w,
                   double *ke) {
  const int nd = 3 * nn;
  for (int a = 0; a < nn; ++a)
    for (int b = 0; b < nn; ++b) {
      const double dot = g[a][0] * g[b][0] + g[a][1] * g[b][1] + g[a][2] * g[b][2];
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
          double v = lambda * g[a][i] * g[b][j] + mu * g[a][j] * g[b][i];
          if (i == j) v += mu * dot;
          ke[(3 * a + i) * nd + 3 * b + j] += w * v;
        }
    }
}

void lame(const Material &m, double &lambda, double &mu) {
  lambda = m.young * m.poisson / ((1 + m.poisson) * (1 - 2 * m.poisson));
  mu = m.young / (2 * (1 + m.poisson));
}

}  // namespace

bool hex8_matrices(const double *x, const Material &mat, double *ke, double *me) {
  static const double s[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                 {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
  const double gp = 1.0 / std::sqrt(3.0);
  double lambda, mu;
  lame(mat, lambda, mu);
  if (ke) std::memset(ke, 0, sizeof(double) * 24 * 24);
  if (me) std::memset(me, 0, sizeof(double) * 24 * 24);
  for (int q = 0; q < 8; ++q) {
    const double r[3] = {s[q][0] * gp, s[q][1] * gp, s[q][2] * gp};
    double n[8], dn[8][3];
    for (int a = 0; a < 8; ++a) {
      const double f0 = 1 + s[a][0] * r[0], f1 = 1 + s[a][1] * r[1], f2 = 1 + s[a][2] * r[2];
      n[a] = 0.125 * f0 * f1 * f2;
      dn[a][0] = 0.125 * s[a][0] * f1 * f2;
      dn[a][1] = 0.125 * f0 * s[a][1] * f2;
      dn[a][2] = 0.125 * f0 * f1 * s[a][2];
    }
    double j[3][3] = {};  // j[i][c] = d x_c / d r_i
    for (int a = 0; a < 8; ++a)
      for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 3; ++c) j[i][c] += dn[a][i] * x[3 * a + c];
    const double det = j[0][0] * (j[1][1] * j[2][2] - j[1][2] * j[2][1]) -
                       j[0][1] * (j[1][0] * j[2][2] - j[1][2] * j[2][0]) +
                       j[0][2] * (j[1][0] * j[2][1] - j[1][1] * j[2][0]);
    if (!(det > 0)) return false;
    double inv[3][3];
    inv[0][0] = (j[1][1] * j[2][2] - j[1][2] * j[2][1]) / det;
    inv[0][1] = (j[0][2] * j[2][1] - j[0][1] * j[2][2]) / det;
    inv[0][2] = (j[0][1] * j[1][2] - j[0][2] * j[1][1]) / det;
    inv[1][0] = (j[1][2] * j[2][0] - j[1][0] * j[2][2]) / det;
    inv[1][1] = (j[0][0] * j[2][2] - j[0][2] * j[2][0]) / det;
    inv[1][2] = (j[0][2] * j[1][0] - j[0][0] * j[1][2]) / det;
    inv[2][0] = (j[1][0] * j[2][1] - j[1][1] * j[2][0]) / det;
    inv[2][1] = (j[0][1] * j[2][0] - j[0][0] * j[2][1]) / det;
    inv[2][2] = (j[0][0] * j[1][1] - j[0][1] * j[1][0]) / det;
    if (ke) {
      double g[8][3];  // dN/dx_c = sum_i dN/dr_i * dr_i/dx_c
      for (int a = 0; a < 8; ++a)
        for (int c = 0; c < 3; ++c)
          g[a][c] = inv[c][0] * dn[a][0] + inv[c][1] * dn[a][1] + inv[c][2] * dn[a][2];
      add_stiffness(8, g, lambda, mu, det, ke);
    }
    if (me)
      for (int a = 0; a < 8; ++a)
        for (int b = 0; b < 8; ++b) {
          const double v = mat.density * n[a] * n[b] * det;
          for (int c = 0; c < 3; ++c) me[(3 * a + c) * 24 + 3 * b + c] += v;
        }
  }
  return true;
}

bool tet4_matrices(const double *x, const Material &mat, double *ke, double *me) {
  double e[3][3];
  for (int i = 0; i < 3; ++i)
    for (int c = 0; c < 3; ++c) e[i][c] = x[3 * (i + 1) + c] - x[c];
  const double det = e[0][0] * (e[1][1] * e[2][2] - e[1][2] * e[2][1]) -
                     e[0][1] * (e[1][0] * e[2][2] - e[1][2] * e[2][0]) +
                     e[0][2] * (e[1][0] * e[2][1] - e[1][1] * e[2][0]);
  if (!(det > 0)) return false;
  const double vol = det / 6;
  if (ke) {
    // Gradients of the barycentric coordinates: rows of the inverse of the
    // edge matrix (columns e[i]) give nodes 1..3; node 0 closes the sum.
    double g[4][3];
    double c[3][3];  // cofactors: g[i+1] = c[i] / det
    c[0][0] = e[1][1] * e[2][2] - e[1][2] * e[2][1];
    c[0][1] = e[1][2] * e[2][0] - e[1][0] * e[2][2];
    c[0][2] = e[1][0] * e[2][1] - e[1][1] * e[2][0];
    c[1][0] = e[2][1] * e[0][2] - e[2][2] * e[0][1];
    c[1][1] = e[2][2] * e[0][0] - e[2][0] * e[0][2];
    c[1][2] = e[2][0] * e[0][1] - e[2][1] * e[0][0];
    c[2][0] = e[0][1] * e[1][2] - e[0][2] * e[1][1];
    c[2][1] = e[0][2] * e[1][0] - e[0][0] * e[1][2];
    c[2][2] = e[0][0] * e[1][1] - e[0][1] * e[1][0];
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 3; ++k) g[i + 1][k] = c[i][k] / det;
    for (int k = 0; k < 3; ++k) g[0][k] = -(g[1][k] + g[2][k] + g[3][k]);
    double lambda, mu;
    lame(mat, lambda, mu);
    std::memset(ke, 0, sizeof(double) * 12 * 12);
    add_stiffness(4, g, lambda, mu, vol, ke);
  }
  if (me) {
    std::memset(me, 0, sizeof(double) * 12 * 12);
    for (int a = 0; a < 4; ++a)
      for (int b = 0; b < 4; ++b)
        for (int c = 0; c < 3; ++c)
          me[(3 * a + c) * 12 + 3 * b + c] = mat.density * vol / 20 * (a == b ? 2 : 1);
  }
  return true;
}

}  // namespace fesolve

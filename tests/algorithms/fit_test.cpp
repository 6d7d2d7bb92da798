// Weighted least-squares fit through a basis evaluator.
#include <vector>

#include "QorVARDMathKernel/algorithms.h"
#include "algorithms_test.h"
#include "qvk_test.h"

namespace {

using Vec = std::vector<double>;

// What the evaluators saw, and the call that fails (0: none).
struct Recorder {
  int calls = 0, fail_at = 0, write_info = 0;
  bool constants_ok = true, same_scratch = true;
  const double *scratch = nullptr;
  Vec seen;  // scaled coordinates, three per call
} rec;

// 1, x, y, z, then x^2, y^2, z^2, xy, yz, zx as far as m asks.
int basis(const int *one, const int *zero, const int *m, const int *one2, const int *zero2,
          const double *x, double *scratch, double *p, int *info) {
  const double a = x[0], b = x[1], c = x[2];
  const double v[10] = {1, a, b, c, a * a, b * b, c * c, a * b, b * c, c * a};
  for (int j = 0; j < *m; ++j) p[j] = v[j];
  ++rec.calls;
  rec.constants_ok &= *one == 1 && *zero == 0 && *one2 == 1 && *zero2 == 0;
  if (!rec.scratch) rec.scratch = scratch;
  rec.same_scratch &= rec.scratch == scratch;
  rec.seen.insert(rec.seen.end(), x, x + 3);
  if (rec.write_info) *info = rec.write_info;
  return rec.calls == rec.fail_at ? 1 : 0;
}

double q(const double *x) {
  return 1 + 2 * x[0] - x[1] + 0.5 * x[2] + 0.3 * x[0] * x[0] - 0.2 * x[1] * x[1] +
         0.1 * x[2] * x[2] + 0.4 * x[0] * x[1] - 0.1 * x[1] * x[2] + 0.2 * x[2] * x[0];
}

struct Fit {
  int status = -1, info = -7;
  double f = 123.0;
  Vec coef;
};

Fit fit(int m, const Vec &xyz, const double *x0, const Vec &u, const Vec &wt) {
  Fit r;
  const int n = static_cast<int>(u.size()), mm = m > 0 ? m : 1, nn = n > 0 ? n : 1;
  r.coef.assign(mm, -3.0);
  Vec a(mm * mm), w(mm * mm), z(mm * mm), b(nn * mm), p(mm);
  r.status = eaxrmc3(&m, &n, xyz.data(), x0, u.data(), &r.f, basis, a.data(), w.data(), z.data(),
                     b.data(), p.data(), r.coef.data(), wt.data(), &r.info);
  return r;
}

class FitTest : public testing::Test {
 protected:
  void SetUp() override { rec = Recorder(); }
};

// Values of a quadratic at 30 scattered points are reproduced by the
// quadratic basis: with values times the weights (the weighted fit proper),
// and with weights 0 that remove points carrying garbage.
TEST_F(FitTest, QuadraticDataReproduced) {
  const int n = 30;
  const Vec xyz = alg_test::uniform(3 * n, 11, -2.0, 3.0), wt = alg_test::uniform(n, 12, 0.5, 2.0);
  Vec uw(n), u(n), w01(n);
  for (int i = 0; i < n; ++i) {
    uw[i] = q(&xyz[3 * i]) * wt[i];
    w01[i] = i % 4 ? 1.0 : 0.0;
    u[i] = i % 4 ? q(&xyz[3 * i]) : 1e30;
  }
  const double x0[3] = {0.7, -1.1, 2.2};
  rec.write_info = 99;  // the count of dropped directions is restored
  for (const Fit &r : {fit(10, xyz, x0, uw, wt), fit(10, xyz, x0, u, w01)}) {
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.info, 0);
    EXPECT_NEAR(r.f, q(x0), 1e-9 * std::fabs(q(x0)));
  }
  EXPECT_EQ(rec.calls, 2 * (n + 1));
  EXPECT_TRUE(rec.constants_ok && rec.same_scratch);
  // Coordinates divided by half the bounding box's diagonal.
  double lo[3] = {9, 9, 9}, hi[3] = {-9, -9, -9}, dd = 0.0;
  for (int i = 0; i < 3 * n; ++i) {
    lo[i % 3] = std::fmin(lo[i % 3], xyz[i]);
    hi[i % 3] = std::fmax(hi[i % 3], xyz[i]);
  }
  for (int c = 0; c < 3; ++c) dd += (hi[c] - lo[c]) * (hi[c] - lo[c]);
  EXPECT_NEAR(rec.seen[13], xyz[13] / (0.5 * std::sqrt(dd)), 1e-15);
  EXPECT_NEAR(rec.seen[3 * n + 2], x0[2] / (0.5 * std::sqrt(dd)), 1e-15);
}

// Points on a plane make 1, x, y, z dependent: one direction dropped, data
// linear on the plane still reproduced. The weights enter b'b squared and
// b'u once: a constant basis, weight 2 and values 3 give 1.5.
TEST_F(FitTest, CoplanarPointsAndWeightsOnce) {
  const int n = 12;
  Vec xyz, u;
  const Vec r2 = alg_test::uniform(2 * n, 5);
  for (int i = 0; i < n; ++i) {
    const double x = r2[2 * i], y = r2[2 * i + 1];
    xyz.insert(xyz.end(), {x, y, 0.5 * x - 0.25 * y + 1.0});
    u.push_back(3.0 + x - 2.0 * y);
  }
  const double x0[3] = {0.2, -0.6, 1.25};
  const Fit r = fit(4, xyz, x0, u, Vec(n, 1.0));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.info, 1);
  EXPECT_NEAR(r.f, 3.0 + 0.2 + 1.2, 1e-9);
  EXPECT_EQ(fit(1, xyz, x0, Vec(n, 3.0), Vec(n, 2.0)).f, 1.5);
}

TEST_F(FitTest, SinglePointAndNoPoints) {
  const double x0[3] = {1e-6, 0, 0};
  Fit r = fit(1, {1.5, -2.0, 0.25}, x0, {7.0}, {1.0});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.info, 0);
  EXPECT_EQ(r.f, 7.0);
  // No extent: the scale is 1.0E-6 and the coordinates are divided by it.
  EXPECT_EQ(rec.seen[0], 1.5 / 1e-6);
  EXPECT_EQ(rec.seen[3], 1.0);
  // No points: every direction dropped, f = 0, the target still evaluated.
  rec = Recorder();
  r = fit(4, {}, x0, {}, {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.info, 4);
  EXPECT_EQ(r.f, 0.0);
  EXPECT_EQ(rec.calls, 1);
}

// A failure at a point stops at once (f and coef untouched); at the target
// it leaves f = 0.0 and the coefficients computed. m outside 0..30 is
// refused before any call.
TEST_F(FitTest, FailuresAndRefusals) {
  const Vec xyz = alg_test::uniform(24, 13), u = alg_test::uniform(8, 14), wt(8, 1.0);
  const double x0[3] = {0, 0, 0};
  const Fit good = fit(4, xyz, x0, u, wt);
  ASSERT_EQ(good.status, 0);
  for (int at : {1, 5, 9}) {
    rec = Recorder();
    rec.fail_at = at;
    const Fit r = fit(4, xyz, x0, u, wt);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(rec.calls, at);
    EXPECT_EQ(r.f, at == 9 ? 0.0 : 123.0);
    EXPECT_EQ(r.coef, at == 9 ? good.coef : Vec(4, -3.0));
  }
  for (int m : {31, -1}) {
    rec = Recorder();
    const Fit r = fit(m, xyz, x0, u, wt);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.info, -1);
    EXPECT_EQ(r.f, 123.0);
    EXPECT_EQ(rec.calls, 0);
  }
}

}  // namespace

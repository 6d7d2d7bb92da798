// Weighted least-squares fit through a basis evaluator.
#include <cmath>
#include <vector>

#include "QorVARDMathKernel/algorithms.h"
#include "algorithms_test.h"
#include "qvk_test.h"

namespace {

// What the evaluators saw, and when they are told to fail.
struct Recorder {
  int calls = 0;
  int fail_at = 0;  // call number that returns 1 (0: never)
  int write_info = 0;  // written to info at every call when not 0
  bool constants_ok = true;
  const double *scratch = nullptr;
  bool same_scratch = true;
  std::vector<double> seen;  // scaled coordinates, three per call
} rec;

int note(const int *one, const int *zero, const int *m, const int *one2, const int *zero2,
         const double *x, double *scratch, int *info, int want_m) {
  ++rec.calls;
  rec.constants_ok = rec.constants_ok && *one == 1 && *zero == 0 && *m == want_m && *one2 == 1 &&
                     *zero2 == 0;
  if (!rec.scratch) rec.scratch = scratch;
  rec.same_scratch = rec.same_scratch && rec.scratch == scratch;
  rec.seen.insert(rec.seen.end(), x, x + 3);
  if (rec.write_info) *info = rec.write_info;
  return rec.calls == rec.fail_at ? 1 : 0;
}

// 1, x, y, z, x^2, y^2, z^2, xy, yz, zx.
int quadratic(const int *one, const int *zero, const int *m, const int *one2, const int *zero2,
              const double *x, double *scratch, double *p, int *info) {
  const double a = x[0], b = x[1], c = x[2];
  const double v[10] = {1, a, b, c, a * a, b * b, c * c, a * b, b * c, c * a};
  for (int j = 0; j < *m; ++j) p[j] = v[j];
  return note(one, zero, m, one2, zero2, x, scratch, info, 10);
}

int linear(const int *one, const int *zero, const int *m, const int *one2, const int *zero2,
           const double *x, double *scratch, double *p, int *info) {
  p[0] = 1.0;
  for (int j = 1; j < *m; ++j) p[j] = x[j - 1];
  return note(one, zero, m, one2, zero2, x, scratch, info, *m);
}

double q(const double *x) {
  return 1 + 2 * x[0] - x[1] + 0.5 * x[2] + 0.3 * x[0] * x[0] - 0.2 * x[1] * x[1] +
         0.1 * x[2] * x[2] + 0.4 * x[0] * x[1] - 0.1 * x[1] * x[2] + 0.2 * x[2] * x[0];
}

struct Fit {
  int status = -1, info = -7;
  double f = 123.0;
  std::vector<double> coef;
};

Fit fit(int m, const std::vector<double> &xyz, const double *x0, const std::vector<double> &u,
        const std::vector<double> &wt, eaxrmc3_basis basis) {
  Fit r;
  const int n = static_cast<int>(u.size()), mm = m > 0 ? m : 1, nn = n > 0 ? n : 1;
  r.coef.assign(mm, -3.0);
  std::vector<double> a(mm * mm), w(mm * mm), z(mm * mm), b(nn * mm), p(mm);
  r.status = eaxrmc3(&m, &n, xyz.data(), x0, u.data(), &r.f, basis, a.data(), w.data(), z.data(),
                     b.data(), p.data(), r.coef.data(), wt.data(), &r.info);
  return r;
}

struct Scattered {
  std::vector<double> xyz, u, wt;
};

Scattered scattered(int n, unsigned seed) {
  Scattered s;
  s.xyz = alg_test::uniform(3 * n, seed, -2.0, 3.0);
  s.wt = alg_test::uniform(n, seed + 1, 0.5, 2.0);
  for (int i = 0; i < n; ++i) s.u.push_back(q(&s.xyz[3 * i]));
  return s;
}

class FitTest : public testing::Test {
 protected:
  void SetUp() override { rec = Recorder(); }
};

TEST_F(FitTest, QuadraticDataReproducedAndEvaluatorArguments) {
  const Scattered s = scattered(30, 11);
  const double x0[3] = {0.7, -1.1, 2.2};
  rec.write_info = 99;  // the count of dropped directions is restored
  // The weighted fit proper takes the values times the weights.
  std::vector<double> uw = s.u;
  for (int i = 0; i < 30; ++i) uw[i] *= s.wt[i];
  const Fit r = fit(10, s.xyz, x0, uw, s.wt, quadratic);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.info, 0);
  EXPECT_NEAR(r.f, q(x0), 1e-9 * std::fabs(q(x0)));
  EXPECT_EQ(rec.calls, 31);
  EXPECT_TRUE(rec.constants_ok);
  EXPECT_TRUE(rec.same_scratch);
  // Coordinates divided by half the bounding box diagonal.
  double lo[3] = {1e9, 1e9, 1e9}, hi[3] = {-1e9, -1e9, -1e9};
  for (int i = 0; i < 30; ++i)
    for (int c = 0; c < 3; ++c) {
      lo[c] = std::fmin(lo[c], s.xyz[3 * i + c]);
      hi[c] = std::fmax(hi[c], s.xyz[3 * i + c]);
    }
  const double scale = 0.5 * std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) +
                                       (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                                       (hi[2] - lo[2]) * (hi[2] - lo[2]));
  EXPECT_NEAR(rec.seen[3 * 4 + 1], s.xyz[3 * 4 + 1] / scale, 1e-15);
  EXPECT_NEAR(rec.seen[3 * 30 + 2], x0[2] / scale, 1e-15);
}

TEST_F(FitTest, ZeroWeightsRemovePoints) {
  Scattered s = scattered(25, 12);
  for (int i = 0; i < 25; ++i) s.wt[i] = i % 4 ? 1.0 : 0.0;
  for (int i = 0; i < 25; i += 4) s.u[i] = 1e30;
  const double x0[3] = {-0.3, 0.4, 1.0};
  const Fit r = fit(10, s.xyz, x0, s.u, s.wt, quadratic);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.info, 0);
  EXPECT_NEAR(r.f, q(x0), 1e-9 * std::fabs(q(x0)));
}

// The weights enter the normal matrix squared and the right-hand side once:
// with a constant basis, weight 2 and values c, the fit is c/2.
TEST_F(FitTest, WeightsMultiplyTheRowsOfTheBasisMatrix) {
  const std::vector<double> xyz = {0, 0, 0, 1, 0, 0, 0, 2, 1}, u = {3, 3, 3}, wt = {2, 2, 2};
  const double x0[3] = {5, 5, 5};
  const Fit r = fit(1, xyz, x0, u, wt, linear);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.f, 1.5);
}

// Points on a plane: the basis 1, x, y, z is dependent there; one direction
// is dropped and data linear on the plane are still reproduced.
TEST_F(FitTest, CoplanarPointsDropOneDirection) {
  const int n = 12;
  std::vector<double> xyz, u, wt(n, 1.0);
  const std::vector<double> r2 = alg_test::uniform(2 * n, 5, -1.0, 1.0);
  auto plane = [](double x, double y) { return 0.5 * x - 0.25 * y + 1.0; };
  for (int i = 0; i < n; ++i) {
    const double x = r2[2 * i], y = r2[2 * i + 1];
    xyz.insert(xyz.end(), {x, y, plane(x, y)});
    u.push_back(3.0 + x - 2.0 * y);
  }
  const double x0[3] = {0.2, -0.6, plane(0.2, -0.6)};
  const Fit r = fit(4, xyz, x0, u, wt, linear);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.info, 1);
  EXPECT_NEAR(r.f, 3.0 + 0.2 + 1.2, 1e-9);
}

TEST_F(FitTest, SinglePointAndNoPoints) {
  const std::vector<double> xyz = {1.5, -2.0, 0.25}, u = {7.0}, wt = {1.0};
  const double x0[3] = {1e-6, 0, 0};
  Fit r = fit(1, xyz, x0, u, wt, linear);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.info, 0);
  EXPECT_EQ(r.f, 7.0);
  // The box has no extent: scale 1.0E-6, the coordinates divided by it.
  EXPECT_EQ(rec.seen[0], 1.5 / 1e-6);
  EXPECT_EQ(rec.seen[1], -2.0 / 1e-6);
  EXPECT_EQ(rec.seen[3], 1.0);
  // No points: every direction dropped, f = 0, the target still evaluated.
  rec = Recorder();
  r = fit(4, {}, x0, {}, {}, linear);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.info, 4);
  EXPECT_EQ(r.f, 0.0);
  EXPECT_EQ(rec.calls, 1);
}

// A failure at a point stops at once (f untouched); at the target it leaves
// f = 0.0 with the coefficients computed. m outside 0..30 is refused before
// any call.
TEST_F(FitTest, FailuresAndRefusals) {
  const Scattered s = scattered(8, 13);
  const double x0[3] = {0, 0, 0};
  const Fit good = fit(4, s.xyz, x0, s.u, s.wt, linear);
  ASSERT_EQ(good.status, 0);
  for (int at : {1, 5, 9}) {
    rec = Recorder();
    rec.fail_at = at;
    const Fit r = fit(4, s.xyz, x0, s.u, s.wt, linear);
    EXPECT_EQ(r.status, 1) << at;
    EXPECT_EQ(rec.calls, at);
    if (at <= 8) {
      EXPECT_EQ(r.f, 123.0);
      EXPECT_EQ(r.coef, std::vector<double>(4, -3.0));
    } else {
      EXPECT_EQ(r.f, 0.0);
      EXPECT_EQ(r.coef, good.coef);
    }
  }
  for (int m : {31, -1}) {
    rec = Recorder();
    const Fit r = fit(m, s.xyz, x0, s.u, s.wt, linear);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.info, -1);
    EXPECT_EQ(r.f, 123.0);
    EXPECT_EQ(rec.calls, 0);
  }
}

}  // namespace

// Timers, the date text and the version record.
#include <gtest/gtest.h>

#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "QorVARDMathKernel/types.h"
#include "capture.h"
#include "types/date.h"

namespace {

double wall() {
  timeval t;
  gettimeofday(&t, nullptr);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

time_t g_injected;
time_t injected_clock(time_t *out) {
  if (out) *out = g_injected;
  return g_injected;
}

std::string date_at(time_t t) {
  g_injected = t;
  auto previous = qvk::types::set_date_clock(&injected_clock);
  char *text = nullptr;
  VardGetDate(text);
  std::string s = text;
  operator delete(text);
  qvk::types::set_date_clock(previous);
  return s;
}

// Burns CPU time in a child process and waits for it.
void child_burns(double seconds) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    volatile double sink = 0;
    while (static_cast<double>(clock()) / CLOCKS_PER_SEC < seconds) sink = sink + 1.0;
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace

TEST(VersionRecord, Defaults) {
  const QorVardMatrixVersion v;
  EXPECT_EQ((std::vector<int>{v.Major, v.Minor, v.Revision, v.Level, v.Build}),
            (std::vector<int>{13, 2, 5, 4, 3}));
}

TEST(Date, TextForm) {
  qvk_test::EnvScope tz("TZ", "UTC");
  tzset();
  // 1 February 2009, 09:41:05.
  EXPECT_EQ(date_at(1233481265), "Year : 2009 Day : 032 Hour : 09 h 41 m 05 s");
  // 31 December 2024, a leap year: day 366.
  EXPECT_EQ(date_at(1735648496), "Year : 2024 Day : 366 Hour : 12 h 34 m 56 s");
  // 1 January: day 001, midnight.
  EXPECT_EQ(date_at(1704067200), "Year : 2024 Day : 001 Hour : 00 h 00 m 00 s");
  // The real clock gives the same form.
  char *text = nullptr;
  VardGetDate(text);
  EXPECT_EQ(std::string(text).size(), std::string("Year : 2009 Day : 032 Hour : 09 h 41 m 05 s").size());
  operator delete(text);
}

// A second Start keeps the first, a second Stop adds nothing, a running
// read is not stored, and Reset drops a running stretch.
TEST(Timer, StartStopAndReset) {
  QorVardTimer t;
  EXPECT_EQ(t.GetElapsed(), 0.0);
  const double before = wall();
  t.Start();
  const double w0 = wall();  // after Start: a busy machine may pause us before it
  while (wall() - w0 < 0.002) {
  }
  t.Start();
  const double running = t.GetElapsed();
  t.Stop();
  t.Stop();
  const double e = t.GetElapsed();
  EXPECT_GE(e, running);
  EXPECT_GE(e, 0.0019);
  EXPECT_LE(e, wall() - before + 1e-5);
  EXPECT_EQ(t.GetElapsed(), e);
  t.Start();
  t.Reset();
  t.Stop();
  EXPECT_EQ(t.GetElapsed(), 0.0);
  EXPECT_EQ(t.GetCPU(), 0.0);
}

TEST(Timer, CountsWaitedChildren) {
  QorVardTimer t;
  t.Start();
  child_burns(0.3);
  double running = t.GetCPU();
  t.Stop();
  EXPECT_GE(running, 0.25);
  EXPECT_GE(t.GetCPU(), running);
}

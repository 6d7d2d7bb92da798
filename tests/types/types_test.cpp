// Timers and the date text.
#include <gtest/gtest.h>

#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <new>
#include <string>

#include "QorVARDMathKernel/types.h"
#include "capture.h"
#include "types/date.h"

namespace {

time_t g_injected;
time_t injected_clock(time_t *out) {
  if (out) *out = g_injected;
  return g_injected;
}

std::string date_text() {
  char *text = nullptr;
  VardGetDate(text);
  std::string s = text;
  operator delete(text);
  return s;
}

// Day of the year from 001, a leap year's day 366, midnight; the real clock
// gives the same form.
TEST(Date, TextForm) {
  qvk_test::EnvScope tz("TZ", "UTC");
  tzset();
  const std::pair<time_t, const char *> cases[] = {
      {1233481265, "Year : 2009 Day : 032 Hour : 09 h 41 m 05 s"},
      {1735648496, "Year : 2024 Day : 366 Hour : 12 h 34 m 56 s"},
      {1704067200, "Year : 2024 Day : 001 Hour : 00 h 00 m 00 s"}};
  auto previous = qvk::types::set_date_clock(&injected_clock);
  for (const auto &c : cases) {
    g_injected = c.first;
    EXPECT_EQ(date_text(), c.second);
  }
  qvk::types::set_date_clock(previous);
  EXPECT_EQ(date_text().size(), std::string(cases[0].second).size());
}

// CPU time counts the children waited for (one burns 0.1 s) from the first
// Start: a second Start does not restart it, a second Stop adds nothing, a
// running read is not stored (the elapsed sum stays within the wall time),
// Reset drops a running stretch.
TEST(Timer, StartStopResetAndChildren) {
  timeval before, after;
  gettimeofday(&before, nullptr);
  QorVardTimer t;
  t.Start();
  if (fork() == 0) {
    for (volatile double sink = 0; static_cast<double>(clock()) / CLOCKS_PER_SEC < 0.1;) sink = sink + 1.0;
    _exit(0);
  }
  wait(nullptr);
  t.Start();
  const double running = t.GetElapsed() + t.GetCPU();
  t.Stop();
  t.Stop();
  gettimeofday(&after, nullptr);
  const double cpu = t.GetCPU(), elapsed = t.GetElapsed();
  EXPECT_TRUE(cpu >= 0.07 && elapsed + cpu >= running) << cpu;
  EXPECT_LE(elapsed, (after.tv_sec - before.tv_sec) + (after.tv_usec - before.tv_usec) / 1e6 + 1e-5);
  EXPECT_TRUE(t.GetCPU() == cpu && t.GetElapsed() == elapsed);
  t.Start();
  t.Reset();
  t.Stop();
  EXPECT_TRUE(t.GetCPU() == 0.0 && t.GetElapsed() == 0.0);
}

}  // namespace

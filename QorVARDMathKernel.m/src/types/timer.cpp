// CPU and elapsed timers from the POSIX clocks.
#include <unistd.h>

#include "QorVARDMathKernel/types.h"

namespace {

// User and system ticks of the process and of its waited-for children,
// summed as 32-bit integers.
double cpu_seconds(const tms &start, const tms &stop) {
  int ticks = (static_cast<int>(stop.tms_utime - start.tms_utime) +
               static_cast<int>(stop.tms_stime - start.tms_stime)) +
              static_cast<int>(stop.tms_cutime - start.tms_cutime) +
              static_cast<int>(stop.tms_cstime - start.tms_cstime);
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double clock_seconds(const timeval &start, const timeval &stop) {
  return static_cast<double>(stop.tv_sec - start.tv_sec) +
         static_cast<double>(stop.tv_usec - start.tv_usec) / 1000000.0;
}

}  // namespace

QorVardTimer::QorVardTimer() : _Cpu(0.0), _Elapsed(0.0), _Running(0) {}
QorVardTimer::~QorVardTimer() {
  _Cpu = 0.0;
  _Elapsed = 0.0;
  _Running = 0;
}

void QorVardTimer::Start() {
  if (_Running) return;
  _Running = 1;
  times(&_StartTimes);
  gettimeofday(&_StartClock, nullptr);
}

void QorVardTimer::Stop() {
  if (!_Running) return;
  times(&_StopTimes);
  gettimeofday(&_StopClock, nullptr);
  _Cpu = _Cpu + cpu_seconds(_StartTimes, _StopTimes);
  _Elapsed = _Elapsed + clock_seconds(_StartClock, _StopClock);
  _Running = 0;
}

void QorVardTimer::Reset() {
  _Cpu = 0.0;
  _Elapsed = 0.0;
  _Running = 0;
  times(&_StartTimes);
  gettimeofday(&_StartClock, nullptr);
}

double QorVardTimer::GetCPU() {
  if (!_Running) return _Cpu;
  times(&_StopTimes);
  return _Cpu + cpu_seconds(_StartTimes, _StopTimes);
}

double QorVardTimer::GetElapsed() {
  if (!_Running) return _Elapsed;
  gettimeofday(&_StopClock, nullptr);
  return _Elapsed + clock_seconds(_StartClock, _StopClock);
}

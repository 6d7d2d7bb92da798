/* Timers, the date text of listings and the matrix version record. */
#ifndef QORVARDMATHKERNEL_TYPES_H
#define QORVARDMATHKERNEL_TYPES_H

#include "QorVARDMathKernel/export.h"

#ifdef __cplusplus
#include <sys/time.h>
#include <sys/times.h>

/* CPU and elapsed (wall-clock) seconds over any number of start-stop
 * cycles. CPU time is user plus system time of the process and of its
 * terminated, waited-for children, counted in clock ticks. A timer is
 * stopped after construction and after Reset. */
class QVK_EXPORT QorVardTimer {
 public:
  QorVardTimer();   /* both sums 0, stopped */
  ~QorVardTimer();
  void Start();     /* nothing if running; keeps the first start */
  void Stop();      /* adds the running stretch; nothing if stopped */
  void Reset();     /* sums 0 and stopped, without adding a running stretch */
  /* Accumulated seconds, including the running stretch when running
   * (read again each time, never stored). */
  double GetCPU();
  double GetElapsed();

 private:
  double _Cpu;
  double _Elapsed;
  int _Running;
  struct tms _StartTimes;
  struct tms _StopTimes;
  struct timeval _StartClock;
  struct timeval _StopClock;
};

/* The current local date and time as a new 80-byte text, for instance
 * "Year : 2009 Day : 032 Hour : 09 h 41 m 05 s" (day of the year from 001,
 * always three digits).
 * text [out] receives the block, obtained with operator new; the caller
 *            releases it with operator delete (not delete[] or free). */
QVK_EXPORT void VardGetDate(char *&text);

/* A version of the solver's matrix description: five numbers, by default
 * 13, 2, 5, 4, 3 in member order. */
class QVK_EXPORT QorVardMatrixVersion {
 public:
  QorVardMatrixVersion();
  /* Copies all five numbers. */
  QorVardMatrixVersion(const QorVardMatrixVersion &other);
  QorVardMatrixVersion &operator=(const QorVardMatrixVersion &other);
  virtual ~QorVardMatrixVersion();

  /* The five numbers. */
  int Major;
  int Minor;
  int Revision;
  int Level;
  int Build;
};
#endif

#endif

// Environment, login, host, time, identifiers, files, fatal stop and raw
// allocation.
//
// Statuses are 32-bit: 0 on success, negative on failure. A failed system
// call gives 0x8007xxxx with the system's error number in the low 16 bits
// (so 2, "not found", reads 0x80070002).
//
// Fault injection: every allocation and file call below passes one
// checkpoint. QorFaultCountdown(n) makes the n-th checkpoint from then on
// fail as the real call would (null block, -1 descriptor, failure status,
// errno set) and disarms itself; QorFaultCalls() counts the checkpoints
// passed since the last QorFaultCountdown. A test runs an operation with
// n = 1, 2, ... until it passes with no failure injected, and checks after
// each run that nothing leaked or broke.
#ifndef KORSYS_QORSYSTEM_H
#define KORSYS_QORSYSTEM_H

#include <cstddef>
#include <ctime>

#include "KORSYS/QorString.h"
#include "KORSYS/export.h"

// Statuses: success, general failure, invalid argument, file exists.
#define QOR_S_OK 0
#define QOR_E_FAIL ((int)0x80004005)
#define QOR_E_INVALIDARG ((int)0x80070057)
#define QOR_E_FILE_EXISTS ((int)0x80070050)
// The status of a failed system call with error number e.
#define QOR_FROM_ERRNO(e) ((int)(0x80070000u | ((unsigned)(e)&0xFFFFu)))

extern "C" {
KORSYS_EXPORT void QorFaultCountdown(long n);  // n <= 0 disarms
KORSYS_EXPORT long QorFaultCalls(void);  // checkpoints passed since the countdown
// The checkpoint itself: 1 when this call is to fail.
KORSYS_EXPORT int QorFaultPoint(void);
}

// Value of the environment variable, or null when unset.
KORSYS_EXPORT const char *QorGetEnv(const char *name);

// The login name of the effective user into buffer (at most size bytes
// with the zero); 0 on success.
KORSYS_EXPORT int QorGetLoginName(char *buffer, int size);

// Facts about the machine; the record begins with the host name.
struct QorSystemInfo {
  char hostName[256];    // as uname(2) tells them
  char systemName[256];  // "Linux"
  char release[256];     // of the system
  char machine[256];     // "x86_64", "i686"
};
// Fills record; 0 on success.
KORSYS_EXPORT int QorGetSystemInfo(QorSystemInfo *record);

// A point in time, the current one unless given.
class KORSYS_EXPORT QorTime {
 public:
  QorTime();
  explicit QorTime(time_t t);  // the time t
  time_t GetTime() const { return _Time; }  // seconds since the epoch
  // The local time printed with strftime conversions; reserved must be 0.
  // Empty when the conversion fails or gives no text.
  QorUnicodeString ConvertToString(const char *format, int reserved) const;

 private:
  time_t _Time;
};

// A fresh random (version 4) identifier.
class KORSYS_EXPORT QorUuid {
 public:
  QorUuid();
  // Writes the 36-character text form and a zero (37 bytes) into buffer.
  void UUID_to_chaine(char *buffer) const;
  const unsigned char *GetBytes() const { return _Bytes; }

 private:
  unsigned char _Bytes[16];
};

// access(2): mode 6 read and write, 4 read, 2 write, 0 existence.
KORSYS_EXPORT int QorFileAccess(const QorUnicodeString &path, int mode, int reserved);
// Appends "/" and name to dir (no second "/" when dir ends with one).
// QOR_E_INVALIDARG for an empty name or a name that holds a "/".
KORSYS_EXPORT int QorMakePath(QorUnicodeString &dir, const QorUnicodeString &name);
// 1 when the two paths name different places, 0 when the same place. A
// path that does not exist differs from every other path.
KORSYS_EXPORT int QorIdenticaleFile(const QorUnicodeString &a, const QorUnicodeString &b);
// mode as fopen's: r, w, a, with + for reading and writing; c (commit) is
// accepted and changes nothing. The descriptor is a system descriptor,
// closed on exec, and never 0, 1 or 2 (a process started with a standard
// stream closed does not get its file on that number).
KORSYS_EXPORT int QorFOpen(const QorUnicodeString &path, const char *mode, int *descriptor);
// The descriptor is released even when a failure is reported (data may
// have been lost), as the system does.
KORSYS_EXPORT int QorFClose(int descriptor);
// Copies the contents of from into to; to is replaced when replace is
// nonzero, else an existing to gives QOR_E_FILE_EXISTS. from is never
// changed. A failed copy leaves no target behind (not even a partial one;
// a replaced target is then gone too).
KORSYS_EXPORT int QorFCopy(const QorUnicodeString &from, const QorUnicodeString &to, int replace);
// Removes the file; on failure it stands as it was.
//
// A file move is QorFCopy then QorDeleteFile. After a failed copy the
// source stands alone; when the delete of the source fails, both stand
// until the caller removes the copy (the listing's move does so, leaving
// the source alone).
KORSYS_EXPORT int QorDeleteFile(const QorUnicodeString &path);
// dup(2), dup2(2) and write(2) with the checkpoint: the descriptor, or -1.
KORSYS_EXPORT int QorDup(int descriptor);
KORSYS_EXPORT int QorDup2(int from, int to);
// Writes all length bytes (retrying short writes); 0 or a failure status.
// A write to a pipe without reader or past the file-size limit fails
// (0x80070020, 0x8007001B) without stopping the process: SIGPIPE and
// SIGXFSZ are blocked in the calling thread around the write and a signal
// the write raised is consumed; the process's signal dispositions are
// left as they are.
KORSYS_EXPORT int QorWrite(int descriptor, const void *bytes, size_t length);

// Writes the message and the place to standard error and stops the
// process (abort). The three reserved arguments are not read.
[[noreturn]] KORSYS_EXPORT void QorFatalError(const char *message, const void *reserved1,
                                              const void *reserved2, const void *reserved3,
                                              const char *file, int line);

// malloc/realloc with the checkpoint; blocks are released with free.
KORSYS_EXPORT void *QorUnsecuredMemAlloc(size_t size);
KORSYS_EXPORT void *QorUnsecuredMemRealloc(void *block, size_t size);

#endif

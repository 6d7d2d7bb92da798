// Environment, identity, time, files and raw allocation. Every allocation
// and file call passes QorFaultPoint first.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "KORSYS/QorSystem.h"

namespace {
// Checkpoints left before the injected failure (0 disarmed) and
// checkpoints passed; atomic, as any thread may pass the checkpoint.
std::atomic<long> g_countdown{0};
std::atomic<long> g_calls{0};

int from_errno() { return QOR_FROM_ERRNO(errno ? errno : EIO); }

void copy_text(char *buffer, int size, const char *text) {
  size_t n = strlen(text);
  if (n >= static_cast<size_t>(size)) n = static_cast<size_t>(size) - 1;
  memcpy(buffer, text, n);
  buffer[n] = '\0';
}
}  // namespace

extern "C" void QorFaultCountdown(long n) {
  g_countdown = n > 0 ? n : 0;
  g_calls = 0;
}
extern "C" long QorFaultCalls(void) { return g_calls; }
extern "C" int QorFaultPoint(void) {
  ++g_calls;
  long left = g_countdown.load();
  while (left > 0) {
    if (g_countdown.compare_exchange_weak(left, left - 1)) return left == 1;
  }
  return 0;
}

const char *QorGetEnv(const char *name) { return name ? getenv(name) : nullptr; }

int QorGetLoginName(char *buffer, int size) {
  if (!buffer || size <= 0) return QOR_E_INVALIDARG;
  buffer[0] = '\0';
  // The account of the effective user first: getlogin() needs a terminal.
  struct passwd pw, *found = nullptr;
  char scratch[1024];
  if (getpwuid_r(geteuid(), &pw, scratch, sizeof scratch, &found) == 0 && found &&
      found->pw_name && found->pw_name[0]) {
    copy_text(buffer, size, found->pw_name);
    return 0;
  }
  for (const char *var : {"LOGNAME", "USER"}) {
    const char *v = getenv(var);
    if (v && v[0]) {
      copy_text(buffer, size, v);
      return 0;
    }
  }
  return QOR_E_FAIL;
}

int QorGetSystemInfo(QorSystemInfo *record) {
  if (!record) return QOR_E_INVALIDARG;
  memset(record, 0, sizeof *record);
  struct utsname u;
  if (uname(&u) != 0) return from_errno();
  copy_text(record->hostName, sizeof record->hostName, u.nodename);
  copy_text(record->systemName, sizeof record->systemName, u.sysname);
  copy_text(record->release, sizeof record->release, u.release);
  copy_text(record->machine, sizeof record->machine, u.machine);
  return 0;
}

QorTime::QorTime() : _Time(time(nullptr)) {}
QorTime::QorTime(time_t t) : _Time(t) {}

QorUnicodeString QorTime::ConvertToString(const char *format, int) const {
  struct tm parts;
  char text[512];
  if (!format || !localtime_r(&_Time, &parts)) return QorUnicodeString();
  size_t n = strftime(text, sizeof text, format, &parts);
  return QorUnicodeString(text, static_cast<int>(n));
}

QorUuid::QorUuid() {
  size_t got = 0;
  while (got < sizeof _Bytes) {
    ssize_t r = getrandom(_Bytes + got, sizeof _Bytes - got, 0);
    if (r > 0) {
      got += static_cast<size_t>(r);
    } else if (r < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  if (got < sizeof _Bytes) {
    // No kernel randomness: time, process and a counter still make the
    // identifier unique within this machine.
    static unsigned long counter = 0;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    unsigned long long mix[2] = {
        static_cast<unsigned long long>(ts.tv_sec) * 1000000000ull + static_cast<unsigned long long>(ts.tv_nsec),
        (static_cast<unsigned long long>(getpid()) << 32) ^ ++counter};
    memcpy(_Bytes, mix, sizeof _Bytes);
  }
  _Bytes[6] = static_cast<unsigned char>((_Bytes[6] & 0x0F) | 0x40);  // version 4
  _Bytes[8] = static_cast<unsigned char>((_Bytes[8] & 0x3F) | 0x80);  // variant 10
}

void QorUuid::UUID_to_chaine(char *buffer) const {
  if (!buffer) return;
  static const char hex[] = "0123456789abcdef";
  char *p = buffer;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) *p++ = '-';
    *p++ = hex[_Bytes[i] >> 4];
    *p++ = hex[_Bytes[i] & 15];
  }
  *p = '\0';
}

int QorFileAccess(const QorUnicodeString &path, int mode, int) {
  if (QorFaultPoint()) return QOR_FROM_ERRNO(EIO);
  if (access(path.ConvertToChar(), mode & 7) != 0) return from_errno();
  return 0;
}

int QorMakePath(QorUnicodeString &dir, const QorUnicodeString &name) {
  if (name.GetLengthInChar() == 0 || strchr(name.ConvertToChar(), '/')) return QOR_E_INVALIDARG;
  int n = dir.GetLengthInChar();
  if (n > 0 && dir.ConvertToChar()[n - 1] != '/') dir += "/";
  dir += name;
  return 0;
}

int QorIdenticaleFile(const QorUnicodeString &a, const QorUnicodeString &b) {
  struct stat sa, sb;
  if (stat(a.ConvertToChar(), &sa) != 0 || stat(b.ConvertToChar(), &sb) != 0) return 1;
  return (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) ? 0 : 1;
}

int QorFOpen(const QorUnicodeString &path, const char *mode, int *descriptor) {
  if (!mode || !descriptor) return QOR_E_INVALIDARG;
  *descriptor = -1;
  int flags;
  switch (mode[0]) {
    case 'r': flags = 0; break;
    case 'w': flags = O_CREAT | O_TRUNC; break;
    case 'a': flags = O_CREAT | O_APPEND; break;
    default: return QOR_E_INVALIDARG;
  }
  bool update = false;
  for (const char *m = mode + 1; *m; ++m) {
    if (*m == '+') update = true;
    else if (*m != 'c' && *m != 'b') return QOR_E_INVALIDARG;
  }
  flags |= update ? O_RDWR : (mode[0] == 'r' ? O_RDONLY : O_WRONLY);
  if (QorFaultPoint()) return QOR_FROM_ERRNO(EIO);
  int fd;
  do {
    fd = open(path.ConvertToChar(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return from_errno();
  if (fd <= 2) {
    // A process started with a standard stream closed would get its file
    // on that number, where a later redirection or a write to the
    // standard stream would land in it.
    int high = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    int saved = errno;
    close(fd);
    if (high < 0) return QOR_FROM_ERRNO(saved);
    fd = high;
  }
  *descriptor = fd;
  return 0;
}

int QorFClose(int descriptor) {
  // Linux releases the descriptor even when close reports an error (and a
  // close interrupted by a signal must not be retried): an injected
  // failure does the same.
  if (QorFaultPoint()) {
    close(descriptor);
    return QOR_FROM_ERRNO(EIO);
  }
  if (close(descriptor) != 0 && errno != EINTR) return from_errno();
  return 0;
}

int QorFCopy(const QorUnicodeString &from, const QorUnicodeString &to, int replace) {
  if (QorFaultPoint()) return QOR_FROM_ERRNO(EIO);
  int in = open(from.ConvertToChar(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return from_errno();
  int out = open(to.ConvertToChar(),
                 O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL), 0666);
  if (out < 0) {
    int rc = errno == EEXIST ? QOR_E_FILE_EXISTS : from_errno();
    close(in);
    return rc;
  }
  int rc = 0;
  char chunk[65536];
  for (;;) {
    ssize_t n = read(in, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      rc = from_errno();
      break;
    }
    if (n == 0) break;
    rc = QorWrite(out, chunk, static_cast<size_t>(n));
    if (rc != 0) break;
  }
  close(in);
  if (close(out) != 0 && rc == 0 && errno != EINTR) rc = from_errno();
  if (rc != 0) unlink(to.ConvertToChar());
  return rc;
}

int QorDeleteFile(const QorUnicodeString &path) {
  if (QorFaultPoint()) return QOR_FROM_ERRNO(EIO);
  if (unlink(path.ConvertToChar()) != 0) return from_errno();
  return 0;
}

int QorDup(int descriptor) {
  if (QorFaultPoint()) {
    errno = EMFILE;
    return -1;
  }
  return dup(descriptor);
}

int QorDup2(int from, int to) {
  if (QorFaultPoint()) {
    errno = EBADF;
    return -1;
  }
  int r;
  do {
    r = dup2(from, to);
  } while (r < 0 && errno == EINTR);
  return r;
}

namespace {

// Blocks SIGPIPE and SIGXFSZ in the calling thread for the life of the
// scope, so that a write to a closed pipe or past the file-size limit
// fails with EPIPE or EFBIG instead of stopping the process. A signal
// that the write raised is consumed before the mask is restored; one that
// was pending already is left alone, and the dispositions never change.
class QuietWriteSignals {
 public:
  QuietWriteSignals() {
    sigemptyset(&_Quiet);
    sigaddset(&_Quiet, SIGPIPE);
    sigaddset(&_Quiet, SIGXFSZ);
    _Blocked = pthread_sigmask(SIG_BLOCK, &_Quiet, &_Old) == 0;
    sigemptyset(&_PendingBefore);
    if (_Blocked) sigpending(&_PendingBefore);
  }
  ~QuietWriteSignals() {
    if (!_Blocked) return;
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    for (int sig : {SIGPIPE, SIGXFSZ}) {
      if (!sigismember(&pending, sig) || sigismember(&_PendingBefore, sig)) continue;
      sigset_t one;
      sigemptyset(&one);
      sigaddset(&one, sig);
      const struct timespec now = {0, 0};
      int saved = errno;
      while (sigtimedwait(&one, nullptr, &now) < 0 && errno == EINTR) {
      }
      errno = saved;
    }
    pthread_sigmask(SIG_SETMASK, &_Old, nullptr);
  }
  QuietWriteSignals(const QuietWriteSignals &) = delete;
  QuietWriteSignals &operator=(const QuietWriteSignals &) = delete;

 private:
  sigset_t _Quiet, _Old, _PendingBefore;
  bool _Blocked;
};

}  // namespace

int QorWrite(int descriptor, const void *bytes, size_t length) {
  if (QorFaultPoint()) {
    errno = ENOSPC;
    return QOR_FROM_ERRNO(ENOSPC);
  }
  QuietWriteSignals quiet;
  const char *p = static_cast<const char *>(bytes);
  while (length > 0) {
    ssize_t n = write(descriptor, p, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return from_errno();
    p += n;
    length -= static_cast<size_t>(n);
  }
  return 0;
}

void QorFatalError(const char *message, const void *, const void *, const void *,
                   const char *file, int line) {
  fflush(stdout);
  fprintf(stderr, "Fatal error: %s (%s, line %d)\n", message ? message : "",
          file ? file : "?", line);
  fflush(stderr);
  abort();
}

void *QorUnsecuredMemAlloc(size_t size) {
  if (QorFaultPoint()) {
    errno = ENOMEM;
    return nullptr;
  }
  return malloc(size);
}

void *QorUnsecuredMemRealloc(void *block, size_t size) {
  if (QorFaultPoint()) {
    errno = ENOMEM;
    return nullptr;
  }
  return realloc(block, size);
}

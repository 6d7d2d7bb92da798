// Files, time, identifiers and the fault checkpoint of the system services.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <thread>
#include <vector>

#include "KORSYS/QorSystem.h"
#include "capture.h"

TEST(KorsysFiles, AccessPathsAndIdentity) {
  qvk_test::TempDir dir;
  QorUnicodeString d(dir.path().c_str());
  EXPECT_EQ(QorFileAccess(d, 6, 0), 0);
  QorUnicodeString missing = d + "/none";
  EXPECT_EQ(QorFileAccess(missing, 0, 0), QOR_FROM_ERRNO(ENOENT));

  for (QorUnicodeString p : {d, d + "/"}) {
    EXPECT_EQ(QorMakePath(p, "a.txt"), 0);
    EXPECT_STREQ(p, (dir.path() + "/a.txt").c_str());
  }
  QorUnicodeString keep = d;
  EXPECT_EQ(QorMakePath(keep, ""), QOR_E_INVALIDARG);
  EXPECT_EQ(QorMakePath(keep, "x/y"), QOR_E_INVALIDARG);
  EXPECT_STREQ(keep, dir.path().c_str());

  EXPECT_EQ(QorIdenticaleFile(d, d + "/."), 0);
  EXPECT_EQ(QorIdenticaleFile(d, "/"), 1);
  EXPECT_EQ(QorIdenticaleFile(d, missing), 1);
}

TEST(KorsysFiles, OpenAppendCopyDelete) {
  qvk_test::TempDir dir;
  QorUnicodeString a(dir.file("a").c_str()), b(dir.file("b").c_str());
  int fd = -1;
  EXPECT_EQ(QorFOpen(a, "x", &fd), QOR_E_INVALIDARG);
  EXPECT_EQ(QorFOpen(a, "rz", &fd), QOR_E_INVALIDARG);
  EXPECT_LT(QorFOpen(a, "r", &fd), 0);  // does not exist yet
  EXPECT_EQ(fd, -1);
  ASSERT_EQ(QorFOpen(a, "a+c", &fd), 0);
  EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_EQ(QorWrite(fd, "one", 3), 0);
  EXPECT_EQ(QorFClose(fd), 0);
  ASSERT_EQ(QorFOpen(a, "a+c", &fd), 0);  // appends
  EXPECT_EQ(QorWrite(fd, "two", 3), 0);
  EXPECT_EQ(QorFClose(fd), 0);
  EXPECT_EQ(qvk_test::read_file(dir.file("a")), "onetwo");

  EXPECT_EQ(QorFCopy(a, b, 0), 0);
  EXPECT_EQ(qvk_test::read_file(dir.file("b")), "onetwo");
  EXPECT_EQ(QorFCopy(a, b, 0), QOR_E_FILE_EXISTS);
  std::ofstream(dir.file("a")) << "new";
  EXPECT_EQ(QorFCopy(a, b, 1), 0);
  EXPECT_EQ(qvk_test::read_file(dir.file("b")), "new");
  EXPECT_EQ(QorDeleteFile(a), 0);
  EXPECT_EQ(QorDeleteFile(a) & 0xFFFF, 2);
  EXPECT_LT(QorFCopy(a, b, 1), 0);
  EXPECT_EQ(qvk_test::read_file(dir.file("b")), "new");
}

// The n-th checkpoint from any thread fails, once; every call is counted;
// a refused reallocation leaves the block with its owner.
TEST(KorsysFault, CountdownFailsTheNthCallOnly) {
  QorFaultCountdown(500);
  std::atomic<int> failed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 250; ++i) failed += QorFaultPoint();
    });
  for (auto &th : threads) th.join();
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(QorFaultCalls(), 1000);
  void *block = QorUnsecuredMemAlloc(16);
  QorFaultCountdown(1);
  EXPECT_EQ(QorUnsecuredMemRealloc(block, 64), nullptr);
  free(block);
  QorFaultCountdown(0);
}

// A write to a pipe without reader fails with EPIPE instead of stopping
// the process; the signal mask and dispositions are as before, the
// signal the write raised is gone, one pending before stays pending.
TEST(KorsysFiles, WriteToClosedPipeFailsQuietly) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  sigset_t mask_before, mask_after, pending;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask_before);
  EXPECT_EQ(QorWrite(ends[1], "x", 1), QOR_FROM_ERRNO(EPIPE));
  pthread_sigmask(SIG_SETMASK, nullptr, &mask_after);
  EXPECT_EQ(sigismember(&mask_after, SIGPIPE), sigismember(&mask_before, SIGPIPE));
  sigpending(&pending);
  EXPECT_FALSE(sigismember(&pending, SIGPIPE));

  sigset_t pipe_only;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_only, nullptr);
  raise(SIGPIPE);  // the caller's own, pending before the write
  EXPECT_EQ(QorWrite(ends[1], "x", 1), QOR_FROM_ERRNO(EPIPE));
  sigpending(&pending);
  EXPECT_TRUE(sigismember(&pending, SIGPIPE));
  const struct timespec now_ts = {0, 0};
  EXPECT_EQ(sigtimedwait(&pipe_only, nullptr, &now_ts), SIGPIPE);
  pthread_sigmask(SIG_SETMASK, &mask_before, nullptr);
  close(ends[1]);
}

// Past the file-size limit: EFBIG, not SIGXFSZ (in a child, as the limit
// holds for the whole process).
void write_past_limit(const std::string &path) {
  struct rlimit limit;
  limit.rlim_cur = limit.rlim_max = 4;
  setrlimit(RLIMIT_FSIZE, &limit);
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int rc = QorWrite(fd, "0123456789", 10);
  sigset_t pending;
  sigpending(&pending);
  exit(rc == QOR_FROM_ERRNO(EFBIG) && !sigismember(&pending, SIGXFSZ) ? 0 : 1);
}

TEST(KorsysFilesDeathTest, WritePastFileSizeLimitFailsQuietly) {
  qvk_test::TempDir dir;
  EXPECT_EXIT(write_past_limit(dir.file("limited")), ::testing::ExitedWithCode(0), "");
}

TEST(KorsysFault, EveryFileCallCanFail) {
  qvk_test::TempDir dir;
  QorUnicodeString a(dir.file("a").c_str()), b(dir.file("b").c_str());
  std::ofstream(dir.file("a")) << "contents";
  int fd = -1;
  QorFaultCountdown(1);
  EXPECT_LT(QorDeleteFile(a), 0);
  EXPECT_TRUE(qvk_test::file_exists(dir.file("a")));
  // A copy whose write fails leaves no partial target.
  for (long n = 1;; ++n) {
    QorFaultCountdown(n);
    int rc = QorFCopy(a, b, 1);
    long calls = QorFaultCalls();
    QorFaultCountdown(0);
    if (n > calls) {
      EXPECT_EQ(rc, 0);
      break;
    }
    EXPECT_LT(rc, 0) << n;
    EXPECT_FALSE(qvk_test::file_exists(dir.file("b"))) << n;
  }
  EXPECT_EQ(qvk_test::read_file(dir.file("b")), "contents");
  // A close that is made to fail releases the descriptor, as the system's
  // does.
  ASSERT_EQ(QorFOpen(a, "r", &fd), 0);
  QorFaultCountdown(1);
  EXPECT_LT(QorFClose(fd), 0);
  EXPECT_EQ(fcntl(fd, F_GETFD), -1);
}

TEST(KorsysSystem, IdentityTimeAndIdentifiers) {
  char tiny[3];
  if (QorGetLoginName(tiny, sizeof tiny) == 0) {
    EXPECT_LE(strlen(tiny), 2u);
  }
  qvk_test::EnvScope tz("TZ", "UTC");
  tzset();
  // 1 February 2009, 09:41:05 UTC: the 32nd day of the year.
  QorTime t(static_cast<time_t>(1233481265));
  EXPECT_STREQ(t.ConvertToString("d%j_h%Hm%M_", 0), "d032_h09m41_");
  EXPECT_STREQ(t.ConvertToString("", 0), "");

  char a[255], b[255];
  QorUuid().UUID_to_chaine(a);
  QorUuid().UUID_to_chaine(b);
  std::regex form("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  EXPECT_TRUE(std::regex_match(a, form)) << a;
  EXPECT_STRNE(a, b);
}

TEST(KorsysSystemDeathTest, FatalErrorStops) {
  EXPECT_DEATH(QorFatalError("AssertionFailed:x", nullptr, nullptr, nullptr, "where.cpp", 86),
               "AssertionFailed:x.*where.cpp, line 86");
}

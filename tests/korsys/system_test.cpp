// Files, quiet writes, time, identifiers, the fault checkpoint and the
// trace channels of the system services.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <regex>
#include <thread>
#include <vector>

#include "KORSYS/QorError.h"
#include "KORSYS/QorTrace.h"
#include "capture.h"

using qvk_test::file_exists;
using qvk_test::read_file;

namespace {
// Runs body(t) on four threads at once.
template <class F> void on_four_threads(F body) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(body, t);
  for (auto &th : threads) th.join();
}
}  // namespace

// What callers meet at the edges: lengths that never read past a zero or
// write past a buffer, one-based bounded collections, meta classes
// registered once (from four threads at once).
TEST(KorsysSystem, EdgesOfTheSmallServices) {
  char tiny[3];
  EXPECT_TRUE(QorGetLoginName(tiny, sizeof tiny) != 0 || strlen(tiny) <= 2u);
  qvk_test::EnvScope tz("TZ", "UTC");
  tzset();
  QorTime t(static_cast<time_t>(1233481265));  // 1 February 2009, 09:41:05 UTC
  EXPECT_STREQ(t.ConvertToString("d%j_h%Hm%M_", 0), "d032_h09m41_");
  char u1[40], u2[40];
  QorUuid().UUID_to_chaine(u1);
  QorUuid().UUID_to_chaine(u2);
  std::regex form("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  EXPECT_TRUE(std::regex_match(u1, form) && strcmp(u1, u2) != 0) << u1 << " " << u2;

  QorUnicodeString stop("ab\0cd", 5), s;
  EXPECT_TRUE(QorUnicodeString(static_cast<const char *>(nullptr)) == QorUnicodeString(""));
  EXPECT_STREQ(stop + QorUnicodeString("abcdef", 3) + nullptr, "ababc");
  EXPECT_EQ(s.BuildFromNum(1.0, "%0200.1f"), 0);
  EXPECT_EQ(s.GetLengthInChar(), 200);
  EXPECT_LT(s.BuildFromNum(1, nullptr), 0);
  QorRawCollint ints;
  ints.Append(7);
  EXPECT_EQ((std::vector<int>{ints.Size(), ints[0], ints[1], ints[2]}),
            (std::vector<int>{1, 0, 7, 0}));

  QorMetaClass *seen[4];
  on_four_threads([&seen](int k) {
    seen[k] = fct_RetrieveMetaObject("TestKorsysRace", 1, QorResourceError::MetaObject(),
                                     "QorNull", "Tests", 8);
  });
  for (QorMetaClass *meta : seen) EXPECT_EQ(meta, QorMetaClass::Find("TestKorsysRace"));
  // The first registration's facts stay; the chain of bases is walked.
  EXPECT_EQ(fct_RetrieveMetaObject("TestKorsysRace", 2, nullptr, "x", "y", 1)->GetKind(), 1);
  EXPECT_EQ(QorMetaClass::IsAKindOf(seen[0], "QorBaseUnknown"), 1);
  EXPECT_EQ(QorMetaClass::IsAKindOf(seen[0], "QorTrace"), 0);
  EXPECT_EQ(fct_RetrieveMetaObject("", 1, nullptr, "", "", 0), nullptr);
}

// The n-th checkpoint from any thread fails, once; every call is counted.
// A failed or refused call leaves things as they were (no partial copy, no
// copy over a file); a failed close has released the descriptor all the same.
TEST(KorsysFault, CountdownAndEveryFileCall) {
  QorFaultCountdown(500);
  std::atomic<int> failed{0};
  on_four_threads([&](int) {
    for (int i = 0; i < 250; ++i) failed += QorFaultPoint();
  });
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(QorFaultCalls(), 1000);
  void *block = QorUnsecuredMemAlloc(16);
  qvk_test::fails_at(1, [&] { EXPECT_EQ(QorUnsecuredMemRealloc(block, 64), nullptr); });
  free(block);

  qvk_test::TempDir dir;
  QorUnicodeString d(dir.path().c_str()), a(dir.file("a").c_str()), b(dir.file("b").c_str());
  int fd = 0;
  EXPECT_EQ(QorFOpen(a, "x", &fd), QOR_E_INVALIDARG);
  EXPECT_LT(QorFOpen(a, "r", &fd), 0);
  EXPECT_EQ(fd, -1);
  EXPECT_EQ(QorMakePath(d, "x/y"), QOR_E_INVALIDARG);
  std::ofstream(dir.file("a")) << "contents";
  qvk_test::fails_at(1, [&] { EXPECT_LT(QorDeleteFile(a), 0); });
  EXPECT_TRUE(file_exists(dir.file("a")));
  for (long n = 1;; ++n) {
    int rc = 0;
    if (qvk_test::fails_at(n, [&] { rc = QorFCopy(a, b, 1); })) break;
    EXPECT_LT(rc, 0) << n;
    EXPECT_FALSE(file_exists(dir.file("b"))) << n;
  }
  std::ofstream(dir.file("a")) << "other";
  EXPECT_EQ(QorFCopy(a, b, 0), QOR_E_FILE_EXISTS);
  EXPECT_EQ(read_file(dir.file("b")), "contents");
  ASSERT_EQ(QorFOpen(a, "r", &fd), 0);
  qvk_test::fails_at(1, [&] { EXPECT_LT(QorFClose(fd), 0); });
  EXPECT_EQ(fcntl(fd, F_GETFD), -1);
}

// A write to a pipe without reader fails with EPIPE instead of stopping
// the process; the signal mask and dispositions are as before, the
// signal the write raised is gone, one pending before stays pending.
TEST(KorsysFiles, WriteToClosedPipeFailsQuietly) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  sigset_t mask_before, mask_after, pending, pipe_only;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask_before);
  EXPECT_EQ(QorWrite(ends[1], "x", 1), QOR_FROM_ERRNO(EPIPE));
  pthread_sigmask(SIG_SETMASK, nullptr, &mask_after);
  EXPECT_EQ(sigismember(&mask_after, SIGPIPE), sigismember(&mask_before, SIGPIPE));
  sigpending(&pending);
  EXPECT_FALSE(sigismember(&pending, SIGPIPE));
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_only, nullptr);
  raise(SIGPIPE);  // the caller's own, pending before the write
  EXPECT_EQ(QorWrite(ends[1], "x", 1), QOR_FROM_ERRNO(EPIPE));
  sigpending(&pending);
  EXPECT_TRUE(sigismember(&pending, SIGPIPE));
  const struct timespec now = {0, 0};
  EXPECT_EQ(sigtimedwait(&pipe_only, nullptr, &now), SIGPIPE);
  pthread_sigmask(SIG_SETMASK, &mask_before, nullptr);
  close(ends[1]);
}

// Past the file-size limit: EFBIG, not SIGXFSZ (in a child, as the limit
// holds for the whole process; lifted again before the child's exit
// handlers write their files). A fatal stop says what and where.
void write_past_limit(const std::string &path) {
  struct rlimit limit, old;
  getrlimit(RLIMIT_FSIZE, &old);
  limit = old;
  limit.rlim_cur = 4;
  setrlimit(RLIMIT_FSIZE, &limit);
  int rc = QorWrite(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), "0123456789", 10);
  sigset_t pending;
  sigpending(&pending);
  setrlimit(RLIMIT_FSIZE, &old);
  exit(rc == QOR_FROM_ERRNO(EFBIG) && !sigismember(&pending, SIGXFSZ) ? 0 : 1);
}

TEST(KorsysSystemDeathTest, QuietLimitAndFatalStop) {
  qvk_test::TempDir dir;
  EXPECT_EXIT(write_past_limit(dir.file("limited")), ::testing::ExitedWithCode(0), "");
  EXPECT_DEATH(QorFatalError("AssertionFailed:x", nullptr, nullptr, nullptr, "where.cpp", 86),
               "AssertionFailed:x.*where.cpp, line 86");
}

// Every write reaches the descriptor at once, a long one cut; switches go
// by name, to channels built before and after; a failed write to a trace
// file is reported and nothing else; an output that cannot be opened
// falls back to standard output.
TEST(KorsysTrace, WritesSwitchesAndFiles) {
  QorTrace one("KtSwitch", "first");
  QorTraControle control("KtSwitch");
  control.TraPutFlg(0);
  QorTrace later("KtSwitch", "built after the switch");
  const std::string big(3000, 'x'), huge(QorTrace::MaxMessage + 10, 'y');
  EXPECT_EQ(qvk_test::output_of([&] {
              EXPECT_EQ(one.TraPut("0") + later.TraPut("0") + control.TraGetFlg(), 0);
              QorTraControle("KtSwitch").TraPutFlg(1);
              later._Level = 2;
              EXPECT_EQ(later.TraPut("a"), 1);
              later.TraPutLN("b");
              later.TraPutLN("n=", -5);
              later.TraPrint(2, "%s", big.c_str());
              EXPECT_EQ(lseek(1, 0, SEEK_END), static_cast<off_t>(1 + 1 + 4 + 3000));
              later.TraPrint(2, "%s", huge.c_str());
              control.TraPutVerbosity(1);
              later.TraPrint(2, "%s", "too detailed");
              later.TraPrint(1, "%s", "5");
            }),
            "abn=-5" + big + std::string(QorTrace::MaxMessage, 'y') + "5");
  qvk_test::TempDir dir;
  {
    QorTrace to_file("KtFile", "file", 0, dir.file("trace.txt").c_str(), 1024);
    to_file.TraPut("kept ");
    qvk_test::fails_at(1, [&] { EXPECT_LT(to_file.TraPut("lost "), 0); });
    to_file.TraPut("again");
  }
  EXPECT_EQ(read_file(dir.file("trace.txt")), "kept again");
  EXPECT_EQ(qvk_test::output_of([&] {
              QorTrace("KtFile2", "file", 0, dir.file("no/such/x").c_str(), 1024).TraPut("here");
            }),
            "here");
}

// Channels built, switched and written from several threads at once: the
// registry stays whole and each message arrives in one piece.
TEST(KorsysTrace, ChannelsSharedBetweenThreads) {
  std::istringstream lines(qvk_test::output_of([] {
    on_four_threads([](int t) {
      QorTrace own(t % 2 ? "KtThreadsA" : "KtThreadsB", "shared name");
      QorTraControle other("KtThreadsOff");
      for (int i = 0; i < 100; ++i) {
        other.TraPutFlg(i % 2);
        own._Level = 2;
        own.TraPrint(2, "line %d of thread %d\n", i, t);
      }
    });
  }));
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count)
    EXPECT_TRUE(std::regex_match(line, std::regex("line [0-9]+ of thread [0-3]"))) << line;
  EXPECT_EQ(count, 400);
}

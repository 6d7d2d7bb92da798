// The platform library: files, quiet writes, strings, the fault checkpoint, trace
// channels, error objects, their catalogs and the last-error registry.
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

// Renamed into place: each version is a new file, even within one tick of the file clock.
void write_catalog(const qvk_test::TempDir &dir, const std::string &name, const std::string &text) {
  std::ofstream(dir.file(name + ".new"), std::ios::binary) << text;
  rename(dir.file(name + ".new").c_str(), dir.file(name + ".msg").c_str());
}

std::string lookup(const char *catalog, const char *id, const char *part = "Diagnostic") {
  QorUnicodeString text;
  return QorCatalogLookup(catalog, id, part, text) ? std::string(text) : "(none)";
}

class KorsysCatalog : public ::testing::Test {
 protected:
  qvk_test::TempDir dir_;
  qvk_test::EnvScope path_{"KORSYS_CATALOG_PATH", dir_.path().c_str()};
};

class CountedError : public QorError {
 public:
  explicit CountedError(int *gone) : QorError("ERR_0001", "None"), gone_(gone) {}
  ~CountedError() override { ++*gone_; }
  int *gone_;
};
}  // namespace

// Lengths that never read past a zero or write past a buffer, times and fresh identifiers in
// their forms, one-based bounded collections, meta classes registered once (from four threads).
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

// The n-th checkpoint from any thread fails, once. A failed or refused file call leaves
// things as they were; a failed close has released the descriptor all the same.
TEST(KorsysFault, CountdownAndEveryFileCall) {
  QorFaultCountdown(500);
  std::atomic<int> failed{0};
  on_four_threads([&](int) {
    for (int i = 0; i < 250; ++i) failed += QorFaultPoint();
  });
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(QorFaultCalls(), 1000);
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

// A write to a pipe without reader fails with EPIPE, not SIGPIPE; the mask is as before,
// the signal the write raised is gone, one pending before stays pending.
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

// Past the file-size limit: EFBIG, not SIGXFSZ (lifted before exit); a fatal stop says where.
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

// Writes reach the descriptor at once, a long one cut; switches go by name, to channels
// built before and after; a failed file write loses only itself; no file: standard output.
TEST(KorsysTrace, WritesSwitchesAndFiles) {
  QorTrace one("KtSwitch", "first");
  QorTraControle control("KtSwitch");
  control.TraPutFlg(0);
  QorTrace later("KtSwitch", "built after the switch");
  const std::string huge(QorTrace::MaxMessage + 10, 'y');
  EXPECT_EQ(qvk_test::output_of([&] {
              EXPECT_EQ(one.TraPut("0") + later.TraPut("0") + control.TraGetFlg(), 0);
              QorTraControle("KtSwitch").TraPutFlg(1);
              later._Level = 2;
              EXPECT_EQ(later.TraPut("a"), 1);
              later.TraPutLN("b");
              later.TraPutLN("n=", -5);
              EXPECT_EQ(lseek(1, 0, SEEK_END), static_cast<off_t>(1 + 1 + 4));
              later.TraPrint(2, "%s", huge.c_str());
              control.TraPutVerbosity(1);
              later.TraPrint(2, "%s", "too detailed");
              later.TraPrint(1, "%s", "5");
            }),
            "abn=-5" + std::string(QorTrace::MaxMessage, 'y') + "5");
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

// Channels built, switched and written from four threads: the registry and each message whole.
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

TEST_F(KorsysCatalog, PlaceholdersEscapesAndComposition) {
  write_catalog(dir_, "Tst",
                "# comment\r\n\nERR_0007.Request = Doing {1}.\n"
                "  ERR_0007.Diagnostic   =   Got {1} and {25}; {x} and {} stay; {2}{2}\\n\\sx\\s\n"
                "ERR_0007.Advice = a\\\\b\\tc\n");
  QorResourceError *e = new QorResourceError("ERR_0007", "Tst");
  QorUnicodeString params[25];
  for (int k = 0; k < 25; ++k) params[k].BuildFromNum(k + 1, "p%d");
  e->SetNLSDiagnosticParamArray(25, params);
  e->SetNLSRequestParams(1, "work");
  EXPECT_STREQ(e->GetNLSMessage(),
               "Doing work.\nGot p1 and p25; {x} and {} stay; p2p2\n x \na\\b\tc");
  e->SetNLSDiagnosticParams(1, "only");  // the placeholders left over are empty
  EXPECT_STREQ(e->GetNLSDiagnostic(), "Got only and ; {x} and {} stay; \n x ");
  e->Release();
  // No text at all: the parameters are kept in the message.
  e = new QorResourceError("ERR_0009", "Nowhere");
  e->SetNLSDiagnosticParams(3, "17", "", "2.5");
  e->SetNLSAdviceParams(1, "see here");
  EXPECT_STREQ(e->GetNLSMessage(),
               "ERR_0009 (catalog Nowhere): no message text\n17\n2.5\nsee here");
  e->Release();
  // A catalog that cannot be read this time is read the next.
  QorFaultCountdown(1);
  EXPECT_EQ(lookup("Tst", "ERR_0007", "Advice"), "(none)");
  EXPECT_EQ(lookup("Tst", "ERR_0007", "Advice"), "a\\b\tc");
}

// A malformed entry is skipped and noted once per reading; the rest (BOM too) stays usable.
TEST_F(KorsysCatalog, MalformedEntriesSkippedAndNotedOnce) {
  const std::pair<const char *, const char *> bad[] = {
      {"ERR_0001.Diagnostic fine", "no '='"},
      {"ERR_0001.Remark = fine", "unknown part"},
      {"ERR 0001.Diagnostic = fine", "not an identifier"},
      {"ERR_0001 = fine", "no part after the identifier"},
      {"ERR_0001.Diagnostic = {26}", "bad escape or placeholder"},
      {"ERR_0001.Diagnostic = {0}", "bad escape or placeholder"},
      {"ERR_0001.Diagnostic = bad \\q escape", "bad escape or placeholder"},
      {"ERR_0001.Diagnostic = trailing \\", "bad escape or placeholder"},
      {"ERR_0002.Diagnostic = again", "the key was given before"},
  };
  for (auto &row : bad) {
    SCOPED_TRACE(row.first);
    write_catalog(dir_, "Bad", "\xEF\xBB\xBF" "ERR_0002.Diagnostic = kept\n" +
                                   std::string(row.first) + "\nERR_0003.Advice = after\n");
    EXPECT_EQ(qvk_test::output_of([] {
                EXPECT_EQ(lookup("Bad", "ERR_0002"), "kept");
                EXPECT_EQ(lookup("Bad", "ERR_0003", "Advice"), "after");
                EXPECT_EQ(lookup("Bad", "ERR_0001"), "(none)");
              }, 2),
              "catalog " + dir_.file("Bad.msg") + ", line 2: " + row.second +
                  "; the entry is skipped\n");
  }
  // The first directory that holds the catalog decides, even without the text.
  qvk_test::TempDir second;
  qvk_test::EnvScope both("KORSYS_CATALOG_PATH", (dir_.path() + ":" + second.path()).c_str());
  write_catalog(second, "Good", "ERR_0001.Diagnostic = fine\n");
  write_catalog(dir_, "Good", "ERR_0002.Diagnostic = other\n");
  EXPECT_EQ(lookup("Good", "ERR_0001"), "(none)");
  EXPECT_EQ(lookup("Good", "ERR_0002"), "other");
  // Names that would leave the catalog directories are refused.
  for (const char *name : {"../Good", "", static_cast<const char *>(nullptr)})
    EXPECT_EQ(lookup(name, "ERR_0001"), "(none)");
}

// A FIFO, a device, a directory or a file over 16 MiB has no texts; the open never waits.
TEST_F(KorsysCatalog, HostileFilesHoldNoText) {
  ASSERT_EQ(mkfifo(dir_.file("Fifo.msg").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", dir_.file("Zero.msg").c_str()), 0);
  ASSERT_EQ(mkdir(dir_.file("Dir.msg").c_str(), 0700), 0);
  for (const char *name : {"Big", "Edge"})
    write_catalog(dir_, name, "ERR_0001.Diagnostic = fine\n");
  ASSERT_EQ(truncate(dir_.file("Big.msg").c_str(), (16 << 20) + 1), 0);
  ASSERT_EQ(truncate(dir_.file("Edge.msg").c_str(), 16 << 20), 0);
  for (const char *name : {"Fifo", "Zero", "Dir", "Big"})
    EXPECT_EQ(lookup(name, "ERR_0001"), "(none)") << name;
  qvk_test::output_of([] { EXPECT_EQ(lookup("Edge", "ERR_0001"), "fine"); }, 2);  // zeros noted
  rmdir(dir_.file("Dir.msg").c_str());
}

// A copy carries every field, with a fresh count; the registry holds one reference; new throws.
TEST(KorsysError, CopiesOwnershipAndRefusedAllocation) {
  QorResourceError *e = new QorResourceError(0x80004005u, "ERR_0302", "Cat");
  e->Setup("file.cpp", 42);
  e->SetInformationOnErrorType(3);
  e->SetNLSDiagnosticParams(2, "a", QorUnicodeString("b"));
  QorError *c = e->CloneSelf();
  e->Release();
  using S = std::string;
  EXPECT_EQ(std::make_tuple(S(c->GetMsgId()), S(c->GetMsgCatalog()), S(c->IsA()), S(c->GetSourceFileName()),
                            c->GetSourceLineNumber(), S(c->GetNLSDiagnosticParam(2)), c->GetReturnCode(),
                            c->GetInformationOnErrorType(), c->GetRefCount()),
            std::make_tuple(S("ERR_0302"), S("Cat"), S("QorResourceError"), S("file.cpp"), 42, S("b"),
                            0x80004005u, 3, 1ul));
  c->Release();
  int gone = 0;
  CountedError *a = new CountedError(&gone), *b = new CountedError(&gone);
  QorError::QorSetLastError(a, nullptr);
  QorError::QorSetLastError(a, nullptr);
  EXPECT_EQ(a->Release(), 1u);
  QorError::QorSetLastError(b, nullptr);  // a is released by the registry
  EXPECT_EQ(gone, 1);
  b->Release();
  QorError::QorSetLastError(nullptr, nullptr);
  EXPECT_EQ(gone, 2);
  EXPECT_EQ(QorError::QorGetLastError(), nullptr);
  qvk_test::fails_at(1, [] { EXPECT_THROW(new QorError("ERR_0001", "X"), std::bad_alloc); });
}

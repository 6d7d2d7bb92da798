// The listing file: where messages land, byte for byte, its name, moves and statuses,
// every platform call failed in turn, printers on several threads. Nothing may be lost,
// no descriptor leak, and descriptor 1 always come back.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <map>
#include <regex>
#include <thread>
#include <vector>

#include "QorVARDMathKernel/diagnostics.h"
#include "capture.h"
#include "diagnostics/redirect.h"

using qvk_test::file_exists;
using qvk_test::open_descriptors;
using qvk_test::output_of;
using qvk_test::read_file;
using L = QorVardListingServices;

namespace {

class Listing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(L::Reset(), 0);
    QorVARDTraceState("VARDPrint", 1);
    QorVARDTraceState("OPTPrint", 1);
  }
  void TearDown() override {
    QorFaultCountdown(0);
    EXPECT_EQ(L::Reset(), 0);
  }
  static std::string name() { return std::string(L::GetFileName()); }
  static void expect_closed() {
    EXPECT_EQ(L::GetDescriptor(), -1);
    EXPECT_STREQ(L::GetFileName(), "");
    EXPECT_STREQ(L::GetDirectory(), "");
  }
};

int set(const std::string &dir) { return L::Set(dir.c_str()); }

// Message i of thread t through routine i % 7; returns the line it leaves.
std::string print_one(int t, int i) {
  const std::string tag = "t" + std::to_string(t) + " m" + std::to_string(i), sp = tag + " ";
  double half = 0.5, tenth = 0.1;
  switch (i % 7) {
    case 0: ehprint((tag + "\n").c_str()); return tag;
    case 1: ehprini(sp.c_str(), &i); return sp + std::to_string(i);
    case 2: ehprinr((sp + "%.1f").c_str(), &half); return sp + "0.5";
    case 3: eaoprnt(tag.c_str()); return tag;
    case 4: eaoprnti(sp.c_str(), &t); return sp + std::to_string(t);
    case 5: eaoprntr((sp + "%.9f").c_str(), &tenth); return sp + "0.100000001";  // single
  }
  qvk::diag::to_listing([&] {
    Tra_VARDPrint._Level = 2;
    Tra_VARDPrint.TraPut((tag + "\n").c_str());
  });
  return tag;
}

std::string listings_in(const std::string &dir) {
  std::string all;
  DIR *d = opendir(dir.c_str());
  while (dirent *e = d ? readdir(d) : nullptr)
    if (std::string(e->d_name).rfind("StratoSolverLog_", 0) == 0)
      all += qvk_test::read_file(dir + "/" + e->d_name);
  if (d) closedir(d);
  return all;
}

}  // namespace

TEST_F(Listing, OpenedFromTheEnvironmentAndPrintedByteForByte) {
  for (const char *value : {static_cast<const char *>(nullptr), ""}) {
    qvk_test::EnvScope env("TBX_ODT_OUT", value);
    EXPECT_EQ(output_of([] { SetVardTraces(); ehprint("plain"); }), "plain");
    EXPECT_EQ(L::GetDescriptor(), -1);
  }
  EXPECT_EQ(L::Set(""), static_cast<int>(0x80070057u));
  qvk_test::TempDir dir;
  qvk_test::EnvScope env("TBX_ODT_OUT", dir.path().c_str());
  EXPECT_EQ(output_of([] {
              SetVardTraces();
              printf("stdio stays");  // the process's own output is not redirected
              eyflsh();
              ehprint("to the listing\n");
              Tra_VARDCompute._Level = 2;
              Tra_VARDCompute.TraPut("switched off");
              Tra_VARDOutput._Level = 2;
              Tra_VARDOutput.TraPut("untouched channel;");
            }),
            "stdio staysuntouched channel;");
  QorVARDTraceState("VARDCompute", 1);
  EXPECT_STREQ(L::GetDirectory(), dir.path().c_str());
  // Prefix, login, host, day of year, hour and minute, a fresh identifier.
  EXPECT_TRUE(std::regex_match(
      name(), std::regex("StratoSolverLog_[^_/]+_[^/]+_d[0-3][0-9]{2}_h[0-2][0-9]m[0-5][0-9]_"
                         "[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\.txt")))
      << name();
  // The formats, byte for byte (each routine's plain form: the threads' test).
  EXPECT_EQ(output_of([] {
              double tenth = 0.1;
              ehprinr("%5.2f%%", &tenth);
              // A format that would read more than the one double is not one.
              ehprinr("%s%n", &tenth);
              eaoprntr("%d", &tenth);
              ehprint(nullptr);
              // Absurd widths and precisions count as 1024; texts are cut at 4096.
              ehprinr("%999999999f", &tenth);
              ehprinr("%.999999999f", &tenth);
              ehprinr((std::string(5000, 'w') + "%f").c_str(), &tenth);
            }),
            "");
  EXPECT_EQ(read_file(dir.file(name())),
            "to the listing\n 0.10%\n%s%n 0.1\n%d 0.1\n" + std::string(1016, ' ') + "0.100000\n" +
                "0.1000000000000000055511151231257827021181583404541015625" +
                std::string(1024 - 55, '0') + "\n" + std::string(4096, 'w') + "\n");
}

TEST_F(Listing, StatusesOfSetMovesAndReset) {
  qvk_test::TempDir dir, first;
  std::ofstream(dir.file("plain")) << "x";
  EXPECT_EQ(set(dir.file("none")), static_cast<int>(0x80070002u));
  EXPECT_LT(set(dir.file("plain")), 0);  // a regular file is no directory
  expect_closed();
  ASSERT_EQ(set(first.path()), 0);
  const std::string listing = name();
  const int first_fd = L::GetDescriptor();
  for (const std::string &same : {first.path(), first.path() + "/."}) {
    EXPECT_EQ(set(same), 0);  // its own directory, however spelt: nothing changes
    EXPECT_EQ(L::GetDescriptor(), first_fd);
  }
  ehprint("one;");
  // The name is taken in the target: the listing stays where it was.
  std::ofstream(dir.file(listing)) << "someone else's";
  EXPECT_EQ(set(dir.path()), static_cast<int>(0x80070050u));
  EXPECT_STREQ(L::GetDirectory(), first.path().c_str());
  ehprint("two");
  EXPECT_EQ(read_file(first.file(listing)), "one;two");
  EXPECT_EQ(read_file(dir.file(listing)), "someone else's");
  int fd = L::GetDescriptor();
  EXPECT_EQ(L::Reset(), 0);
  EXPECT_EQ(fcntl(fd, F_GETFD), -1);
  // Started with descriptor 1 closed: the listing must not take it, where
  // the redirection would restore "standard output" onto the listing.
  int saved = dup(1);
  close(1);
  int rc = set(dir.path());
  fd = L::GetDescriptor();
  int flags = fcntl(fd, F_GETFD);
  L::Reset();
  dup2(saved, 1);
  close(saved);
  EXPECT_TRUE(rc == 0 && fd >= 3 && (flags & FD_CLOEXEC)) << rc << ", descriptor " << fd;
  // A close that fails has released the descriptor all the same: a file
  // opened next under the same number receives none of the messages.
  ASSERT_EQ(set(dir.path()), 0);
  fd = L::GetDescriptor();
  qvk_test::fails_at(1, [] { EXPECT_LT(L::Reset(), 0); });
  expect_closed();
  int other = open(dir.file("other").c_str(), O_WRONLY | O_CREAT, 0600);
  EXPECT_EQ(other, fd);
  EXPECT_EQ(output_of([] { ehprint("x"); }), "x");
  close(other);
  EXPECT_EQ(read_file(dir.file("other")), "");
}

// A failure before the old file is closed changes nothing; after it, the listing is
// closed, a note and later messages reach standard output, one place holds the contents.
TEST_F(Listing, OpenAndMoveFailAtEveryCall) {
  for (bool move : {false, true}) {
    bool lost_seen = false, kept_seen = false;
    for (long n = 1;; ++n) {
      SCOPED_TRACE(std::string(move ? "move, call " : "open, call ") + std::to_string(n));
      qvk_test::TempDir from, to;
      if (move) {
        ASSERT_EQ(set(from.path()), 0);
        ehprint("before;");
      }
      const std::string listing = name();
      int before = open_descriptors(), rc = 0;
      bool clean = false;
      std::string out = output_of([&] {
        clean = qvk_test::fails_at(n, [&] { rc = set(to.path()); });
        ehprint("after;");
      });
      if (clean) {  // a move keeps the name and leaves no old file
        EXPECT_EQ(rc, 0);
        EXPECT_TRUE(!move || (name() == listing && !file_exists(from.file(listing))));
        EXPECT_EQ(read_file(to.file(name())), move ? "before;after;" : "after;");
        EXPECT_EQ(out, "");
        EXPECT_TRUE(!move || (lost_seen && kept_seen));
        L::Reset();
        break;
      }
      EXPECT_LT(rc, 0);
      if (!move || L::GetDescriptor() != -1) {  // nothing changed
        kept_seen = true;
        if (!move) expect_closed();
        EXPECT_STREQ(L::GetDirectory(), move ? from.path().c_str() : "");
        EXPECT_EQ(open_descriptors(), before);
        EXPECT_EQ((move ? read_file(from.file(listing)) : "before;") + out, "before;after;");
      } else {
        lost_seen = true;
        expect_closed();
        EXPECT_NE(out.find("could not be moved"), std::string::npos) << out;
        EXPECT_EQ(out.substr(out.size() - 6), "after;");
        bool old_stands = file_exists(from.file(listing));
        EXPECT_NE(old_stands, file_exists(to.file(listing)));
        EXPECT_EQ(read_file((old_stands ? from : to).file(listing)), "before;");
        EXPECT_EQ(open_descriptors(), before - 1);
      }
      L::Reset();
    }
  }
}

// Print routines make one checkpoint (the write); the redirection four (dup, dup2, write, restore).
TEST_F(Listing, WriteFailsAtEveryCall) {
  qvk_test::TempDir dir;
  ASSERT_EQ(set(dir.path()), 0);
  const std::string path = dir.file(name());
  EXPECT_EQ(output_of([] {
              QorFaultCountdown(1);
              ehprint("dropped;");
              EXPECT_EQ(QorFaultCalls(), 1);
              QorFaultCountdown(0);
            }),
            "");
  std::string listed;
  for (long n = 1;; ++n) {
    SCOPED_TRACE(n);
    int before = open_descriptors();
    bool clean = false;
    std::string out = output_of([&] {
      clean = qvk_test::fails_at(n, [] {
        qvk::diag::to_listing([] {
          Tra_VARDPrint._Level = 2;
          Tra_VARDPrint.TraPut("m;");
        });
      });
      write(1, "real;", 5);  // descriptor 1 is back where it was, whatever failed
    });
    EXPECT_EQ(open_descriptors(), before);
    // dup or dup2 refused: the message goes to the ordinary output; the
    // write failed: reported, not fatal; the restore failed: retried.
    if (clean || n >= 4) listed += "m;";
    EXPECT_EQ(out, n <= 2 && !clean ? "m;real;" : "real;");
    EXPECT_EQ(read_file(path), listed);
    if (clean) break;
  }
}

// A listing on a pipe whose reader is gone: the message is dropped; the process
// neither stops (SIGPIPE) nor changes its dispositions (a full disk: the sweep above).
TEST_F(Listing, DeadListingNeverStopsTheProcess) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  EXPECT_EQ(output_of([&] {
              L::_Descriptor = ends[1];
              ehprint("lost");
              L::_Descriptor = -1;
              ehprint("back on standard output");
            }),
            "back on standard output");
  close(ends[1]);
  struct sigaction now;
  sigaction(SIGPIPE, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

// Every print routine and the redirection, with the listing open, shut, and reopened
// under the printers' feet: each message whole and once, descriptor 1 the caller's.
TEST_F(Listing, ThreadsPrintEveryMessageWholeAndOnce) {
  const int kThreads = 4, kMessages = 140;
  enum Mode { Open, Shut, Toggled };
  for (Mode mode : {Open, Shut, Toggled}) {
    SCOPED_TRACE(mode);
    qvk_test::TempDir dir;
    ASSERT_TRUE(mode == Shut || set(dir.path()) == 0);
    std::vector<std::vector<std::string>> expected(kThreads);
    struct stat own = {}, after = {};
    std::string out = output_of([&] {
      fstat(1, &own);
      std::atomic<int> running{kThreads};
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
          for (int i = 0; i < kMessages; ++i) expected[t].push_back(print_one(t, i));
          --running;
        });
      while (mode == Toggled && running > 0) {
        L::Reset();
        set(dir.path());
      }
      for (auto &th : threads) th.join();
      fstat(1, &after);
      write(1, "after the threads\n", 18);
    });
    EXPECT_EQ(after.st_ino, own.st_ino);
    const std::string listed = listings_in(dir.path());
    EXPECT_TRUE(mode != Open || out == "after the threads\n") << out;
    EXPECT_TRUE(mode != Shut || listed.empty()) << listed;
    std::map<std::string, int> seen;
    std::istringstream lines(listed + out);
    for (std::string line; std::getline(lines, line);) ++seen[line];
    EXPECT_EQ(seen["after the threads"], 1);
    for (auto &messages : expected)
      for (auto &m : messages) EXPECT_EQ(seen[m], 1) << m;
    EXPECT_EQ(seen.size(), 1u + kThreads * kMessages);  // no fragments
    EXPECT_EQ(L::Reset(), 0);
  }
}

// A thread still printing while the process exits finds the channels' state and the
// listing's lock in place (else a use after free for the address sanitizer).
TEST(ListingDeathTest, PrintingWhileTheProcessExits) {
  EXPECT_EXIT(
      {
        dup2(open("/dev/null", O_WRONLY), 1);
        std::atomic<bool> started{false};
        std::thread([&] {
          for (int i = 0;; ++i, started = true) ehprini("late ", &i);
        }).detach();
        while (!started) std::this_thread::yield();
        exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

// Printing from several threads through every print routine and the
// redirection of the error reports, with the listing open, shut, and
// closed and reopened under the printers' feet: each message arrives whole
// and exactly once, and descriptor 1 is the caller's own afterwards.
#include <gtest/gtest.h>
#include <dirent.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "QorVARDMathKernel/diagnostics.h"
#include "capture.h"
#include "diagnostics/redirect.h"

namespace {

// Message i of thread t through routine i % 7; returns the line it leaves.
std::string print_one(int t, int i) {
  const std::string tag = "t" + std::to_string(t) + " m" + std::to_string(i), sp = tag + " ";
  double half = 0.5;
  switch (i % 7) {
    case 0: ehprint((tag + "\n").c_str()); return tag;
    case 1: ehprini(sp.c_str(), &i); return sp + std::to_string(i);
    case 2: ehprinr((sp + "%.1f").c_str(), &half); return sp + "0.5";
    case 3: eaoprnt(tag.c_str()); return tag;
    case 4: eaoprnti(sp.c_str(), &t); return sp + std::to_string(t);
    case 5: eaoprntr((sp + "%.2f").c_str(), &half); return sp + "0.50";
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

ino_t inode_of(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? st.st_ino : 0;
}

}  // namespace

TEST(ListingThreads, EveryMessageWholeAndOnce) {
  const int kThreads = 4, kMessages = 140;
  QorVARDTraceState("VARDPrint", 1);
  QorVARDTraceState("OPTPrint", 1);
  enum Mode { Open, Shut, Toggled };
  for (Mode mode : {Open, Shut, Toggled}) {
    SCOPED_TRACE(mode);
    qvk_test::TempDir dir;
    ASSERT_EQ(QorVardListingServices::Reset(), 0);
    ASSERT_TRUE(mode == Shut || QorVardListingServices::Set(dir.path().c_str()) == 0);
    std::vector<std::vector<std::string>> expected(kThreads);
    ino_t own = 0, after = 0;
    std::string out = qvk_test::output_of([&] {
      own = inode_of(1);
      std::atomic<int> running{kThreads};
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
          for (int i = 0; i < kMessages; ++i) expected[t].push_back(print_one(t, i));
          --running;
        });
      while (mode == Toggled && running > 0) {
        QorVardListingServices::Reset();
        QorVardListingServices::Set(dir.path().c_str());
      }
      for (auto &th : threads) th.join();
      after = inode_of(1);
      write(1, "after the threads\n", 18);
    });
    EXPECT_EQ(after, own);
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
    EXPECT_EQ(QorVardListingServices::Reset(), 0);
  }
}

// A thread still printing while the process exits finds the channels'
// state and the listing's lock in place (the address sanitizer reports a
// use after free otherwise).
TEST(ListingThreadsDeathTest, PrintingWhileTheProcessExits) {
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

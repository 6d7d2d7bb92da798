// Printing from several threads through every print routine and the
// redirection of the error reports, with the listing open, shut, and
// closed and reopened under the printers' feet: each message arrives whole
// and exactly once, and descriptor 1 is the caller's own afterwards.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "QorVARDMathKernel/diagnostics.h"
#include "capture.h"
#include "diagnostics/redirect.h"

namespace {

// Message i of thread t through routine i % 7; returns the line it leaves.
std::string print_one(int t, int i) {
  std::string tag = "t" + std::to_string(t) + " m" + std::to_string(i);
  double half = 0.5;
  switch (i % 7) {
    case 0: ehprint((tag + "\n").c_str()); return tag;
    case 1: ehprini((tag + " ").c_str(), &i); return tag + " " + std::to_string(i);
    case 2: ehprinr((tag + " %.1f").c_str(), &half); return tag + " 0.5";
    case 3: eaoprnt(tag.c_str()); return tag;
    case 4: eaoprnti((tag + " ").c_str(), &t); return tag + " " + std::to_string(t);
    case 5: eaoprntr((tag + " %.2f").c_str(), &half); return tag + " 0.50";
    default:
      qvk::diag::to_listing([&] {
        Tra_VARDPrint._Level = 2;
        Tra_VARDPrint.TraPut((tag + "\n").c_str());
      });
      return tag;
  }
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
    if (mode != Shut) {
      ASSERT_EQ(QorVardListingServices::Set(dir.path().c_str()), 0);
    }
    std::vector<std::vector<std::string>> expected(kThreads);
    std::string out_text;
    ino_t own, after;
    {
      qvk_test::StdoutCapture out;
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
      out_text = out.text();
    }
    EXPECT_EQ(after, own);
    std::string listed = listings_in(dir.path());
    EXPECT_EQ(listed.find("after"), std::string::npos);
    if (mode == Open) {
      EXPECT_EQ(out_text, "after the threads\n");
    } else if (mode == Shut) {
      EXPECT_EQ(listed, "");
    }
    std::map<std::string, int> seen;
    std::istringstream lines(listed + out_text);
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

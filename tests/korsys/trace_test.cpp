// Trace channels: what reaches the descriptor, and the switches by name.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "KORSYS/QorSystem.h"
#include "KORSYS/QorTrace.h"
#include "capture.h"

TEST(KorsysTrace, WritesReachTheDescriptorUnbuffered) {
  QorTrace channel("KtWrites", "test channel");
  std::string seen;
  {
    qvk_test::StdoutCapture out;
    channel._Level = 2;
    EXPECT_EQ(channel.TraPut("a"), 1);
    channel.TraPutLN("b");
    channel.TraPutLN("n=", 5);
    channel.TraPutLN("", -12);
    channel.TraPrint(2, "%.3f|", 0.5);
    std::string big(3000, 'x');
    channel.TraPrint(2, "%s", big.c_str());
    // Nothing waits in a buffer: the bytes are there before the restore.
    off_t size = lseek(1, 0, SEEK_END);
    EXPECT_EQ(size, static_cast<off_t>(1 + 1 + 3 + 3 + 6 + 3000));
    std::string huge(QorTrace::MaxMessage + 10, 'y');
    channel.TraPrint(2, "%s", huge.c_str());  // cut
    seen = out.text();
  }
  EXPECT_EQ(seen, "abn=5-120.500|" + std::string(3000, 'x') +
                      std::string(QorTrace::MaxMessage, 'y'));
}

// Channels built, switched and written from several threads at once: the
// registry stays whole (the sanitizer build checks the races) and each
// message arrives in one piece.
TEST(KorsysTrace, ChannelsSharedBetweenThreads) {
  std::string seen;
  {
    qvk_test::StdoutCapture out;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([t] {
        QorTrace own(t % 2 ? "KtThreadsA" : "KtThreadsB", "shared name");
        QorTraControle other("KtThreadsOff");
        for (int i = 0; i < 100; ++i) {
          other.TraPutFlg(i % 2);
          own._Level = 2;
          own.TraPrint(2, "line %d of thread %d\n", i, t);
        }
      });
    for (auto &th : threads) th.join();
    seen = out.text();
  }
  std::istringstream lines(seen);
  std::regex form("line [0-9]+ of thread [0-3]");
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count)
    EXPECT_TRUE(std::regex_match(line, form)) << line;
  EXPECT_EQ(count, 400);
}

TEST(KorsysTrace, SwitchesFollowTheName) {
  QorTrace one("KtSwitch", "first"), two("KtSwitch", "second");
  QorTraControle control("KtSwitch");
  control.TraPutFlg(0);
  QorTrace later("KtSwitch", "built after the switch");
  qvk_test::StdoutCapture out;
  EXPECT_EQ(one.TraPut("1"), 0);
  EXPECT_EQ(two.TraPut("2"), 0);
  EXPECT_EQ(later.TraPut("3"), 0);
  EXPECT_EQ(control.TraGetFlg(), 0);
  QorTraControle("KtSwitch").TraPutFlg(1);
  later.TraPut("4");
  control.TraPutVerbosity(1);
  later.TraPrint(2, "%s", "too detailed");
  later.TraPrint(1, "%s", "5");
  EXPECT_EQ(out.text(), "45");
}

TEST(KorsysTrace, FileOutputAndFailedWrites) {
  qvk_test::TempDir dir;
  {
    QorTrace to_file("KtFile", "file", 0, dir.file("trace.txt").c_str(), 1024);
    to_file.TraPut("kept ");
    QorFaultCountdown(1);
    EXPECT_LT(to_file.TraPut("lost "), 0);  // reported, nothing else happens
    to_file.TraPut("again");
  }
  EXPECT_EQ(qvk_test::read_file(dir.file("trace.txt")), "kept again");
  // An output that cannot be opened falls back to standard output.
  qvk_test::StdoutCapture out;
  QorTrace fallback("KtFile2", "file", 0, (dir.path() + "/no/such/dir/x").c_str(), 1024);
  fallback.TraPut("here");
  EXPECT_EQ(out.text(), "here");
}

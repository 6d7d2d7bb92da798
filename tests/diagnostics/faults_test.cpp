// Failures around the listing: every platform call of Set and of one
// redirected write made to fail in turn, a full disk, and failing
// duplications. Nothing may be lost, no descriptor may leak, and standard
// output must always come back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "QorVARDMathKernel/diagnostics.h"
#include "KORSYS/QorSystem.h"
#include "capture.h"
#include "diagnostics/redirect.h"

namespace {

class ListingFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QorVardListingServices::Reset(), 0);
    QorVARDTraceState("VARDPrint", 1);
  }
  void TearDown() override {
    QorFaultCountdown(0);
    QorVardListingServices::Reset();
  }
};

int set(const std::string &dir) { return QorVardListingServices::Set(dir.c_str()); }

}  // namespace

TEST_F(ListingFaults, OpenFailsAtEveryCall) {
  for (long n = 1;; ++n) {
    qvk_test::TempDir dir;
    int before = qvk_test::open_descriptors();
    QorFaultCountdown(n);
    int rc = set(dir.path());
    long calls = QorFaultCalls();
    QorFaultCountdown(0);
    if (n > calls) {
      EXPECT_EQ(rc, 0);
      break;
    }
    EXPECT_LT(rc, 0) << "call " << n;
    EXPECT_EQ(QorVardListingServices::GetDescriptor(), -1);
    EXPECT_STREQ(QorVardListingServices::GetFileName(), "");
    EXPECT_EQ(qvk_test::open_descriptors(), before) << "call " << n;
  }
}

TEST_F(ListingFaults, MoveFailsAtEveryCall) {
  bool lost_seen = false, kept_seen = false;
  for (long n = 1;; ++n) {
    qvk_test::TempDir from, to;
    ASSERT_EQ(set(from.path()), 0);
    std::string name(QorVardListingServices::GetFileName());
    ehprint("before;");
    int before = qvk_test::open_descriptors();
    std::string out_text;
    int rc;
    long calls;
    {
      qvk_test::StdoutCapture out;
      QorFaultCountdown(n);
      rc = set(to.path());
      calls = QorFaultCalls();
      QorFaultCountdown(0);
      ehprint("after;");
      out_text = out.text();
    }
    if (n > calls) {
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(qvk_test::read_file(to.file(name)), "before;after;");
      EXPECT_EQ(out_text, "");
      EXPECT_TRUE(lost_seen && kept_seen);
      break;
    }
    EXPECT_LT(rc, 0) << "call " << n;
    if (QorVardListingServices::GetDescriptor() != -1) {
      // Failed before the old file was closed: nothing changed.
      kept_seen = true;
      EXPECT_STREQ(QorVardListingServices::GetDirectory(), from.path().c_str());
      EXPECT_EQ(qvk_test::read_file(from.file(name)), "before;after;") << "call " << n;
      EXPECT_EQ(out_text, "");
      EXPECT_EQ(qvk_test::open_descriptors(), before) << "call " << n;
    } else {
      // Failed after the close: the listing is marked closed, the note and
      // the later message reach standard output, and exactly one of the
      // two places holds the old contents (a copy whose source could not
      // be deleted is removed).
      lost_seen = true;
      EXPECT_STREQ(QorVardListingServices::GetDirectory(), "");
      EXPECT_STREQ(QorVardListingServices::GetFileName(), "");
      EXPECT_NE(out_text.find("could not be moved"), std::string::npos) << out_text;
      EXPECT_EQ(out_text.substr(out_text.size() - 6), "after;");
      bool old_stands = qvk_test::file_exists(from.file(name));
      EXPECT_NE(old_stands, qvk_test::file_exists(to.file(name))) << "call " << n;
      EXPECT_EQ(qvk_test::read_file(old_stands ? from.file(name) : to.file(name)), "before;")
          << "call " << n;
      EXPECT_EQ(qvk_test::open_descriptors(), before - 1) << "call " << n;
    }
    QorVardListingServices::Reset();
  }
}

// The print routines make one checkpoint, the write; the redirection of
// the error reports makes four (dup, dup2, the write, the restore).
TEST_F(ListingFaults, WriteFailsAtEveryCall) {
  qvk_test::TempDir dir;
  ASSERT_EQ(set(dir.path()), 0);
  std::string path = dir.file(std::string(QorVardListingServices::GetFileName()));
  {
    qvk_test::StdoutCapture out;
    QorFaultCountdown(1);
    ehprint("dropped;");
    EXPECT_EQ(QorFaultCalls(), 1);
    QorFaultCountdown(0);
    EXPECT_EQ(out.text(), "");
  }
  EXPECT_EQ(qvk_test::read_file(path), "");

  std::string expected_listing;
  for (long n = 1;; ++n) {
    int before = qvk_test::open_descriptors();
    std::string out_text;
    long calls;
    {
      qvk_test::StdoutCapture out;
      QorFaultCountdown(n);
      qvk::diag::to_listing([] {
        Tra_VARDPrint._Level = 2;
        Tra_VARDPrint.TraPut("m;");
      });
      calls = QorFaultCalls();
      QorFaultCountdown(0);
      // Standard output is back where it was, whatever failed.
      write(1, "real;", 5);
      out_text = out.text();
    }
    EXPECT_EQ(qvk_test::open_descriptors(), before) << "call " << n;
    if (n > calls) {
      expected_listing += "m;";
      EXPECT_EQ(out_text, "real;");
      EXPECT_EQ(qvk_test::read_file(path), expected_listing);
      break;
    }
    if (n == 1 || n == 2) {
      // dup or dup2 refused: the message goes to the ordinary output.
      EXPECT_EQ(out_text, "m;real;") << "call " << n;
    } else if (n == 3) {
      EXPECT_EQ(out_text, "real;");  // the write itself failed: reported, not fatal
    } else {
      // The restore failed once and was retried.
      expected_listing += "m;";
      EXPECT_EQ(out_text, "real;") << "call " << n;
    }
    EXPECT_EQ(qvk_test::read_file(path), expected_listing) << "call " << n;
  }
}

// A listing on a full disk or on a pipe whose reader is gone: the message
// is dropped; the process neither stops (SIGPIPE) nor changes its signal
// dispositions.
TEST_F(ListingFaults, DeadListingNeverStopsTheProcess) {
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  close(pipe_ends[0]);
  int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  for (int dead : {full, pipe_ends[1]}) {
    if (dead < 0) continue;
    std::string out_text;
    {
      qvk_test::StdoutCapture out;
      QorVardListingServices::_Descriptor = dead;
      ehprint("lost");
      int n = 3;
      ehprini("also", &n);
      QorVardListingServices::_Descriptor = -1;
      ehprint("back on standard output");
      out_text = out.text();
    }
    close(dead);
    EXPECT_EQ(out_text, "back on standard output");
  }
  struct sigaction now;
  sigaction(SIGPIPE, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

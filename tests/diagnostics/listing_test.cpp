// The listing file: where each message lands (listing or the real standard
// output, byte for byte), its name, its moves and every status of Set.
// Standard output is captured with saved and restored descriptors; each
// test leaves no listing open.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <string>

#include "QorVARDMathKernel/diagnostics.h"
#include "KORSYS/QorSystem.h"
#include "capture.h"

namespace {

class Listing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QorVardListingServices::Reset(), 0);
    QorVARDTraceState("VARDPrint", 1);
    QorVARDTraceState("OPTPrint", 1);
  }
  void TearDown() override {
    QorFaultCountdown(0);
    EXPECT_EQ(QorVardListingServices::Reset(), 0);
  }
  static std::string listing_path() {
    return std::string(QorVardListingServices::GetDirectory()) + "/" +
           std::string(QorVardListingServices::GetFileName());
  }
  static std::string listing() { return qvk_test::read_file(listing_path()); }
};

int set(const std::string &dir) { return QorVardListingServices::Set(dir.c_str()); }

}  // namespace

TEST_F(Listing, WithoutDirectoryEverythingStaysOnStandardOutput) {
  for (const char *value : {static_cast<const char *>(nullptr), ""}) {
    qvk_test::EnvScope env("TBX_ODT_OUT", value);
    qvk_test::StdoutCapture out;
    SetVardTraces();
    EXPECT_EQ(QorVardListingServices::GetDescriptor(), -1);
    ehprint("plain");
    int five = 5;
    ehprini(" n=", &five);
    EXPECT_EQ(out.text(), "plain n=5\n");
  }
  EXPECT_EQ(QorVardListingServices::Set(""), static_cast<int>(0x80070057u));
}

TEST_F(Listing, SetVardTracesOpensTheListingAndSwitchesChannels) {
  qvk_test::TempDir dir;
  qvk_test::EnvScope env("TBX_ODT_OUT", dir.path().c_str());
  std::string out_text;
  {
    qvk_test::StdoutCapture out;
    SetVardTraces();
    ASSERT_NE(QorVardListingServices::GetDescriptor(), -1);
    printf("stdio stays");  // the process's own output is not redirected
    eyflsh();
    ehprint("to the listing\n");
    Tra_VARDCompute._Level = 2;
    Tra_VARDCompute.TraPut("switched off");
    Tra_VARDOutput._Level = 2;
    Tra_VARDOutput.TraPut("untouched channel;");
    out_text = out.text();
  }
  EXPECT_EQ(out_text, "stdio staysuntouched channel;");
  EXPECT_EQ(listing(), "to the listing\n");
  EXPECT_STREQ(QorVardListingServices::GetDirectory(), dir.path().c_str());

  // The name: prefix, login, host, day of year, hour and minute, a fresh
  // identifier.
  std::regex form(
      "StratoSolverLog_[^_/]+_[^/]+_d[0-3][0-9]{2}_h[0-2][0-9]m[0-5][0-9]_"
      "[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\.txt");
  std::string name(QorVardListingServices::GetFileName());
  EXPECT_TRUE(std::regex_match(name, form)) << name;
  QorVARDTraceState("VARDCompute", 1);
}

TEST_F(Listing, PrintRoutinesByteForByte) {
  qvk_test::TempDir dir;
  ASSERT_EQ(set(dir.path()), 0);
  std::string out_text;
  {
    qvk_test::StdoutCapture out;
    int five = 5, minus = -12;
    double tenth = 0.1;
    ehprint("A");
    ehprini("B", &five);
    ehprinr("%.17g", &tenth);
    eaoprnt("C");
    eaoprnti("D ", &minus);
    eaoprntr("%.30f", &tenth);
    ehprinr("%5.2f%%", &tenth);
    // A format that would read more than the one double is not used as one.
    ehprinr("%s%n", &tenth);
    eaoprntr("%d", &tenth);
    ehprint(nullptr);
    // Absurd widths and precisions count as 1024; the text is cut at 4096.
    ehprinr("%999999999f", &tenth);
    ehprinr("%.999999999f", &tenth);
    std::string wide(5000, 'w');
    ehprinr((wide + "%f").c_str(), &tenth);
    out_text = out.text();
  }
  EXPECT_EQ(out_text, "");
  EXPECT_EQ(listing(),
            "AB5\n"
            "0.10000000000000001\n"
            "C\n"
            "D -12\n"
            "0.100000001490116119384765625000\n"
            " 0.10%\n"
            "%s%n 0.1\n"
            "%d 0.1\n" +
                std::string(1016, ' ') + "0.100000\n" +
                "0.1000000000000000055511151231257827021181583404541015625" +
                std::string(1024 - 55, '0') + "\n" +
                std::string(4096, 'w') + "\n");
}

TEST_F(Listing, StatusesOfSet) {
  qvk_test::TempDir dir;
  std::ofstream(dir.file("plain")) << "x";
  EXPECT_EQ(set(dir.path() + "/none"), static_cast<int>(0x80070002u));
  EXPECT_LT(set(dir.file("plain")), 0);  // a regular file is no directory
  if (geteuid() != 0) {  // the superuser may write anywhere
    qvk_test::TempDir locked;
    chmod(locked.path().c_str(), 0500);
    EXPECT_LT(set(locked.path()), 0);
    chmod(locked.path().c_str(), 0700);
  }
  EXPECT_EQ(QorVardListingServices::GetDescriptor(), -1);
  EXPECT_STREQ(QorVardListingServices::GetFileName(), "");
}

TEST_F(Listing, MoveKeepsNameAndContents) {
  qvk_test::TempDir first, second, third;
  ASSERT_EQ(set(first.path()), 0);
  std::string name(QorVardListingServices::GetFileName());
  int fd = QorVardListingServices::GetDescriptor();
  // The open listing's own directory, however spelt: nothing changes.
  EXPECT_EQ(set(first.path()), 0);
  EXPECT_EQ(set(first.path() + "/."), 0);
  EXPECT_EQ(QorVardListingServices::GetDescriptor(), fd);
  EXPECT_STREQ(QorVardListingServices::GetFileName(), name.c_str());
  ehprint("one;");
  ASSERT_EQ(set(second.path()), 0);
  EXPECT_STREQ(QorVardListingServices::GetFileName(), name.c_str());
  EXPECT_STREQ(QorVardListingServices::GetDirectory(), second.path().c_str());
  EXPECT_FALSE(qvk_test::file_exists(first.file(name)));
  ehprint("two;");
  EXPECT_EQ(qvk_test::read_file(second.file(name)), "one;two;");

  // The name is taken in the target: the listing stays where it was.
  std::ofstream(third.file(name)) << "someone else's";
  EXPECT_EQ(set(third.path()), static_cast<int>(0x80070050u));
  EXPECT_STREQ(QorVardListingServices::GetDirectory(), second.path().c_str());
  ehprint("three");
  EXPECT_EQ(qvk_test::read_file(second.file(name)), "one;two;three");
  EXPECT_EQ(qvk_test::read_file(third.file(name)), "someone else's");
}

TEST_F(Listing, ResetClosesAndForgets) {
  qvk_test::TempDir dir;
  ASSERT_EQ(set(dir.path()), 0);
  int fd = QorVardListingServices::GetDescriptor();
  EXPECT_EQ(QorVardListingServices::Reset(), 0);
  EXPECT_EQ(fcntl(fd, F_GETFD), -1);
  EXPECT_STREQ(QorVardListingServices::GetFileName(), "");
  EXPECT_EQ(QorVardListingServices::Reset(), 0);

  // A process started with standard output closed: the listing must not
  // take descriptor 1, where the redirection would restore "standard
  // output" onto the listing.
  int saved = dup(1);
  close(1);
  int rc = set(dir.path());
  int listing = QorVardListingServices::GetDescriptor();
  int flags = fcntl(listing, F_GETFD);
  QorVardListingServices::Reset();
  dup2(saved, 1);
  close(saved);
  EXPECT_EQ(rc, 0);
  EXPECT_GE(listing, 3);
  EXPECT_TRUE(flags & FD_CLOEXEC);

  // A close that fails has released the descriptor all the same: the
  // listing is forgotten, and a file opened next under the same number
  // receives none of the library's messages.
  ASSERT_EQ(set(dir.path()), 0);
  fd = QorVardListingServices::GetDescriptor();
  std::string name(QorVardListingServices::GetFileName());
  QorFaultCountdown(1);
  EXPECT_LT(QorVardListingServices::Reset(), 0);
  EXPECT_EQ(QorVardListingServices::GetDescriptor(), -1);
  EXPECT_STREQ(QorVardListingServices::GetFileName(), "");
  int other = open(dir.file("other").c_str(), O_WRONLY | O_CREAT, 0600);
  EXPECT_EQ(other, fd);
  {
    qvk_test::StdoutCapture out;
    ehprint("x");
    EXPECT_EQ(out.text(), "x");
  }
  close(other);
  EXPECT_EQ(qvk_test::read_file(dir.file("other")), "");
}

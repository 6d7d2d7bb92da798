// Error objects and their catalogs (placeholders, malformed and hostile
// files), copies and the last-error registry.
#include <gtest/gtest.h>

#include "KORSYS/QorError.h"
#include "capture.h"

namespace {

// Written beside and renamed into place, so that each version is a new
// file even within one tick of the file-system clock.
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
  EXPECT_EQ(e->GetNLSDiagnostic().GetLengthInChar(), 0);
  EXPECT_STREQ(e->GetNLSMessage(),
               "ERR_0009 (catalog Nowhere): no message text\n17\n2.5\nsee here");
  e->Release();
  // A catalog that cannot be read this time is read the next.
  QorFaultCountdown(1);
  EXPECT_EQ(lookup("Tst", "ERR_0007", "Advice"), "(none)");
  EXPECT_EQ(lookup("Tst", "ERR_0007", "Advice"), "a\\b\tc");
}

// A malformed entry is skipped and noted once per reading of the file (the
// file is parsed again only when it changes); the rest of the catalog stays
// usable, a byte-order mark included.
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

// Only regular files up to 16 MiB are read, and the open never waits: a
// FIFO, a device, a directory or a huge file is a catalog without texts.
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

// A copy carries every field with a fresh count; the last-error registry
// holds one reference, whatever it is given; a refused allocation throws.
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

// Error objects: catalog texts and their placeholders, what a missing,
// malformed or hostile catalog gives, the composed message and the
// last-error registry.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>

#include "KORSYS/QorError.h"
#include "KORSYS/QorSystem.h"
#include "capture.h"

namespace {

// Written beside and renamed into place, so that each version is a new
// file even within one tick of the file-system clock.
void write_catalog(const qvk_test::TempDir &dir, const std::string &name,
                   const std::string &text) {
  std::ofstream(dir.file(name + ".new"), std::ios::binary) << text;
  rename(dir.file(name + ".new").c_str(), dir.file(name + ".msg").c_str());
}

std::string lookup(const char *catalog, const char *key) {
  QorUnicodeString text;
  std::string id(key, strchr(key, '.'));
  if (!QorCatalogLookup(catalog, id.c_str(), strchr(key, '.') + 1, text)) return "(none)";
  return std::string(text);
}

QorResourceError *make(const char *id, const char *catalog) {
  return new QorResourceError(id, catalog);
}

// Records its destruction.
class CountedError : public QorError {
 public:
  explicit CountedError(int *gone) : QorError("ERR_0001", "None"), gone_(gone) {}
  ~CountedError() override { ++*gone_; }

 private:
  int *gone_;
};

}  // namespace

TEST(KorsysCatalog, ShippedCatalogsFoundBesideTheLibrary) {
  qvk_test::EnvScope env("KORSYS_CATALOG_PATH", nullptr);
  for (const char *key : {"WARN_0300.Diagnostic", "ERR_0302.Diagnostic", "ERR_1025.Diagnostic",
                          "WARN_1026.Diagnostic"})
    EXPECT_NE(lookup("QorVARDMathKernelError", key), "(none)") << key;
  // No such number: no text, and no warning either.
  EXPECT_EQ(lookup("QorVARDMathKernelError", "WARN_0302.Diagnostic"), "(none)");
  QorResourceError *e = make("ERR_0302", "QorVARDMathKernelError");
  e->SetNLSDiagnosticParams(2, "40", "12");
  EXPECT_NE(std::string(e->GetNLSDiagnostic()).find("40 KB"), std::string::npos);
  EXPECT_NE(std::string(e->GetNLSDiagnostic()).find("12 KB"), std::string::npos);
  e->Release();

  QorResourceError *internal = make("ERR_0001", "QorStratoError");
  internal->SetNLSAdviceParams(1, "Parameter: 7\n");
  EXPECT_NE(std::string(internal->GetNLSMessage()).find("Parameter: 7\n"), std::string::npos);
  internal->Release();
}

TEST(KorsysCatalog, PlaceholdersEscapesAndComposition) {
  qvk_test::TempDir dir;
  qvk_test::EnvScope env("KORSYS_CATALOG_PATH", dir.path().c_str());
  write_catalog(dir, "Tst",
                "# comment\r\n"
                "\n"
                "ERR_0007.Request = Doing {1}.\n"
                "  ERR_0007.Diagnostic   =   Got {1} and {25}; {x} and {} stay; {2}{2}\\n\\sx\\s\n"
                "ERR_0007.Advice = a\\\\b\\tc\n");
  QorResourceError *e = make("ERR_0007", "Tst");
  QorUnicodeString params[25];
  for (int k = 0; k < 25; ++k) params[k].BuildFromNum(k + 1, "p%d");
  e->SetNLSDiagnosticParamArray(25, params);
  e->SetNLSRequestParams(1, "work");
  EXPECT_STREQ(e->GetNLSRequest(), "Doing work.");
  EXPECT_STREQ(e->GetNLSDiagnostic(), "Got p1 and p25; {x} and {} stay; p2p2\n x ");
  EXPECT_STREQ(e->GetNLSAdvice(), "a\\b\tc");
  EXPECT_STREQ(e->GetNLSMessage(), "Doing work.\nGot p1 and p25; {x} and {} stay; p2p2\n x \na\\b\tc");
  // Fewer parameters than placeholders: the rest are empty.
  e->SetNLSDiagnosticParams(1, "only");
  EXPECT_STREQ(e->GetNLSDiagnostic(), "Got only and ; {x} and {} stay; \n x ");
  e->Release();
}

// A malformed entry is skipped and noted once per reading of the file; the
// rest of the catalog stays usable, a byte-order mark included.
TEST(KorsysCatalog, MalformedEntriesSkippedAndNotedOnce) {
  qvk_test::TempDir dir;
  qvk_test::EnvScope env("KORSYS_CATALOG_PATH", dir.path().c_str());
  struct {
    const char *line, *why;
  } bad[] = {
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
    write_catalog(dir, "Bad",
                  "\xEF\xBB\xBF" "ERR_0002.Diagnostic = kept\n" + std::string(row.line) +
                      "\nERR_0003.Advice = after\n");
    std::string notes;
    {
      qvk_test::StdoutCapture err(2);
      EXPECT_EQ(lookup("Bad", "ERR_0002.Diagnostic"), "kept") << row.line;
      EXPECT_EQ(lookup("Bad", "ERR_0003.Advice"), "after") << row.line;
      EXPECT_EQ(lookup("Bad", "ERR_0001.Diagnostic"), "(none)") << row.line;
      notes = err.text();
    }
    EXPECT_EQ(notes, "catalog " + dir.file("Bad.msg") + ", line 2: " + row.why +
                         "; the entry is skipped\n");
  }
  // The first directory that holds the catalog decides, even when it
  // lacks the text.
  qvk_test::TempDir second;
  std::string both = dir.path() + ":" + second.path();
  qvk_test::EnvScope env2("KORSYS_CATALOG_PATH", both.c_str());
  write_catalog(second, "Good", "ERR_0001.Diagnostic = fine\n");
  write_catalog(dir, "Good", "ERR_0002.Diagnostic = other\n");
  EXPECT_EQ(lookup("Good", "ERR_0001.Diagnostic"), "(none)");
  EXPECT_EQ(lookup("Good", "ERR_0002.Diagnostic"), "other");
  // Names that would leave the catalog directories are refused.
  QorUnicodeString text;
  EXPECT_EQ(QorCatalogLookup("../Good", "ERR_0001", "Diagnostic", text), 0);
  EXPECT_EQ(QorCatalogLookup("", "ERR_0001", "Diagnostic", text), 0);
  EXPECT_EQ(QorCatalogLookup(nullptr, "ERR_0001", "Diagnostic", text), 0);
}

// Only regular files up to 16 MiB are read, and the open never waits: a
// FIFO, a device, a directory or a huge file counts as a catalog without
// texts.
TEST(KorsysCatalog, HostileFilesHoldNoText) {
  qvk_test::TempDir dir;
  qvk_test::EnvScope env("KORSYS_CATALOG_PATH", dir.path().c_str());
  ASSERT_EQ(mkfifo(dir.file("Fifo.msg").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", dir.file("Zero.msg").c_str()), 0);
  ASSERT_EQ(mkdir(dir.file("Dir.msg").c_str(), 0700), 0);
  write_catalog(dir, "Big", "ERR_0001.Diagnostic = fine\n");
  ASSERT_EQ(truncate(dir.file("Big.msg").c_str(), (16 << 20) + 1), 0);
  write_catalog(dir, "Edge", "ERR_0001.Diagnostic = fine\n");
  ASSERT_EQ(truncate(dir.file("Edge.msg").c_str(), 16 << 20), 0);
  for (const char *name : {"Fifo", "Zero", "Dir", "Big"})
    EXPECT_EQ(lookup(name, "ERR_0001.Diagnostic"), "(none)") << name;
  qvk_test::StdoutCapture err(2);  // the zeros after the entry are noted
  EXPECT_EQ(lookup("Edge", "ERR_0001.Diagnostic"), "fine");
  rmdir(dir.file("Dir.msg").c_str());
}

TEST(KorsysCatalog, MessageWithoutTextKeepsTheParameters) {
  qvk_test::TempDir dir;
  qvk_test::EnvScope env("KORSYS_CATALOG_PATH", dir.path().c_str());
  QorResourceError *e = make("ERR_0009", "Nowhere");
  e->SetNLSDiagnosticParams(3, "17", "", "2.5");
  e->SetNLSAdviceParams(1, "see here");
  EXPECT_EQ(e->GetNLSDiagnostic().GetLengthInChar(), 0);
  EXPECT_STREQ(e->GetNLSMessage(), "ERR_0009 (catalog Nowhere): no message text\n17\n2.5\nsee here");
  e->Release();
}

TEST(KorsysCatalog, UnreadableCatalogUnderInjectedFault) {
  qvk_test::TempDir dir;
  qvk_test::EnvScope env("KORSYS_CATALOG_PATH", dir.path().c_str());
  write_catalog(dir, "Tst", "ERR_0001.Diagnostic = there\n");
  QorUnicodeString text;
  QorFaultCountdown(1);
  EXPECT_EQ(QorCatalogLookup("Tst", "ERR_0001", "Diagnostic", text), 0);
  EXPECT_EQ(QorCatalogLookup("Tst", "ERR_0001", "Diagnostic", text), 1);
}

TEST(KorsysError, CopiesAndContext) {
  QorResourceError *e = new QorResourceError(0x80004005u, "ERR_0302", "Cat");
  e->Setup("file.cpp", 42);
  e->SetInformationOnErrorType(3);
  e->SetNLSDiagnosticParams(2, "a", QorUnicodeString("b"));
  QorError *c = e->CloneSelf();  // every field travels, with a fresh count
  EXPECT_STREQ(c->GetMsgId(), "ERR_0302");
  EXPECT_STREQ(c->GetMsgCatalog(), "Cat");
  EXPECT_EQ(c->GetReturnCode(), 0x80004005u);
  EXPECT_STREQ(c->GetSourceFileName(), "file.cpp");
  EXPECT_EQ(c->GetInformationOnErrorType(), 3);
  EXPECT_STREQ(c->GetNLSDiagnosticParam(2), "b");
  EXPECT_EQ(c->GetRefCount(), 1u);
  EXPECT_STREQ(c->IsA(), "QorResourceError");
  c->Release();
  e->Release();
}

TEST(KorsysError, LastErrorHoldsOneReference) {
  int gone = 0;
  CountedError *a = new CountedError(&gone);
  CountedError *b = new CountedError(&gone);
  QorError::QorSetLastError(a, nullptr);
  QorError::QorSetLastError(a, nullptr);  // again: still one reference
  EXPECT_EQ(a->Release(), 1u);             // the creator lets go
  EXPECT_EQ(QorError::QorGetLastError(), a);
  EXPECT_EQ(gone, 0);
  QorError::QorSetLastError(b, nullptr);  // a is released by the registry
  EXPECT_EQ(gone, 1);
  b->Release();
  QorError::QorSetLastError(nullptr, nullptr);
  EXPECT_EQ(gone, 2);
  EXPECT_EQ(QorError::QorGetLastError(), nullptr);
}

TEST(KorsysError, RefusedAllocationThrows) {
  QorFaultCountdown(1);
  EXPECT_THROW(new QorError("ERR_0001", "X"), std::bad_alloc);
  QorFaultCountdown(0);
}

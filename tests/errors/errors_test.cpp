// Raised errors: classification, parameter slots, reports, the last error, failed raises.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/errors.h"
#include "capture.h"

namespace {

const std::string kError = "\n******************** ERROR ********************\n";
const std::string kWarning = "\n******************* WARNING *******************\n";
const std::string kInternal = "\n**************** INTERNAL ERROR ***************\n";
const std::string kClosing = "\n***********************************************\n\n";
const std::string kLong(5000, 'L'), kLongCatalog(300, 'C');

// Each piece goes to OPTPrint, then to VARDPrint: every piece twice in a row.
std::string report(const std::string &banner, const std::string &message) {
  return banner + banner + message + message + kClosing + kClosing;
}

class Errors : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_.file("TstErr.msg"))
        << "WARN_0300.Diagnostic = Only a warning, {1}.\n"
           "ERR_0301.Diagnostic = An error.\nWARN_0301.Diagnostic = Not this one.\n"
           "ERR_0400.Diagnostic = i{1},{2},{3} r{11},{12},{13} s{21},{22},{25}\n"
           "ERR_0500.Diagnostic = " << kLong << "\n";
    QorVardListingServices::Reset();
    QorVARDTraceState("VARDPrint", 1);
    QorVARDTraceState("OPTPrint", 1);
    QorError::QorSetLastError(nullptr, nullptr);
  }
  void TearDown() override {
    QorFaultCountdown(0);
    QorVardListingServices::Reset();
  }
  template <class F> static std::string out(F &&raise) { return qvk_test::output_of(raise); }
  static QorVardError *last() { return dynamic_cast<QorVardError *>(QorError::QorGetLastError()); }

  qvk_test::TempDir dir_;
  qvk_test::EnvScope catalogs_{"KORSYS_CATALOG_PATH", dir_.path().c_str()};
};

}  // namespace

// The catalog decides whatever the factory; texts and catalog names of any length are
// never cut; a warning is not recorded. The library's catalog comes after the path's.
TEST_F(Errors, TheCatalogDecidesWhateverTheFactory) {
  const std::string kernel = "QorVARDMathKernelError";
  const struct {
    bool as_warning;
    int number;
    std::string catalog, raised_as, msg_id, text;  // the kernel's: how the report starts
  } cases[] = {
      {false, 300, "TstErr", "ERR_0300", "", report(kWarning, "Only a warning, 40.")},
      {true, 301, "TstErr", "WARN_0301", "ERR_0301", report(kError, "An error.")},
      {false, 500, "TstErr", "ERR_0500", "ERR_0500", report(kError, kLong)},
      {true, 7, "NoSuchCatalog", "WARN_0007", "ERR_0001",
       report(kInternal, "ERR_0001 (catalog NoSuchCatalog): no message text\n40\n12\n"
                         "Message not found\nCatalog: NoSuchCatalog\nIdentifier: 7")},
      {false, 500, kLongCatalog, "ERR_0500", "ERR_0001",
       report(kInternal, "ERR_0001 (catalog " + kLongCatalog + "): no message text\n40\n12\n"
                         "Message not found\nCatalog: " + kLongCatalog + "\nIdentifier: 500")},
      {true, 302, kernel, "WARN_0302", "ERR_0302",
       kError + kError + "Allocation of working memory.\n40 KB were asked for and 12 KB are "
                         "available.\n"},
      {true, 300, kernel, "WARN_0300", "",
       kWarning + kWarning + "Allocation of a working array.\nThe array needs 40 KB but only 12 "
                             "KB may be used."},
      {true, 1025, kernel, "WARN_1025", "ERR_1025", kError},
      {true, 1026, kernel, "WARN_1026", "", kWarning},
      // A number the kernel's catalog does not know: its own internal-error text.
      {true, 303, kernel, "WARN_0303", "ERR_0001",
       kInternal + kInternal + "Internal error of the solver's kernel.\nA message of the kernel's "
                               "services is missing.\nMessage not found\nCatalog: "
                               "QorVARDMathKernelError\nIdentifier: 303"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.raised_as);
    QorError::QorSetLastError(nullptr, nullptr);
    const std::string text = out([&] {
      if (c.as_warning) QorVardErrorTools::CreateWarning(c.number, c.catalog.c_str(), 40, 12);
      else QorVardErrorTools::CreateError(c.number, c.catalog.c_str(), 40, 12);
    });
    EXPECT_EQ(c.catalog == kernel ? text.substr(0, c.text.size()) : text, c.text);
    EXPECT_EQ(etiquette, c.raised_as);
    EXPECT_EQ(last() ? last()->GetMsgId() : "", c.msg_id);
  }
}

TEST_F(Errors, ParametersFillTheirKindsSlotsInOrder) {
  // An empty value and a null text leave no gap; a float counts as a real.
  out([] {
    QorVardErrorTools::CreateError(400, "TstErr", 5, 2.5, "s1", QorVardTypeEncapError::EmptyEncapEr,
                                   7, static_cast<const char *>(nullptr), 3.25f, "s2");
  });
  ASSERT_NE(last(), nullptr);
  EXPECT_STREQ(last()->GetNLSDiagnostic(), "i5,7, r2.5,3.25, ss1,s2,");
  // Nine texts: the five string slots take the first five, the rest drop.
  out([] { QorVardErrorTools::CreateError(400, "TstErr", "a", "b", "c", "d", "e", "f", "g"); });
  EXPECT_STREQ(last()->GetNLSDiagnosticParam(25), "e");
  // Eleven integers and reals given directly: none spills into the next kind.
  QorRawCollint ints;
  QorRawColldouble reals;
  QorListValQorUnicodeString strings;
  for (int k = 1; k <= 11; ++k) ints.Append(k), reals.Append(k + 0.5);
  QorVardError *e = new QorVardError("ERR_0400", "TstErr");
  e->SetParameters(ints, reals, strings);
  const std::pair<int, const char *> slots[] = {{10, "10"}, {11, "1.5"}, {20, "10.5"}, {21, ""}};
  for (auto &s : slots) EXPECT_STREQ(e->GetNLSDiagnosticParam(s.first), s.second) << s.first;
  QorUnicodeString texts[25];  // the 25 placeholders given as texts
  texts[0] = "x";
  texts[24] = "z";
  out([&] { e->CreateStratoError(400, nullptr, texts); });  // raised and released
  EXPECT_STREQ(last()->GetNLSDiagnostic(), "ix,, r,, s,,z");
}

// Raises made from a text, from C and Fortran too.
TEST_F(Errors, RaisesFromAText) {
  EXPECT_EQ(out([] { QorVardErrorTools::Create("Memory allocation: Array type not recognized"); }),
            report(kInternal, "Internal error of the solver's kernel.\nThe kernel met a situation "
                              "it cannot handle.\nMemory allocation: Array type not recognized"));
  // From Fortran or C: the text read up to its zero (an over-read is caught by ASan).
  int number = 7, status = 0;
  std::unique_ptr<char[]> c_text(new char[4]{'a', 'b', 'c', '\0'});
  out([&] { EXPECT_EQ(ehrprog(&number, c_text.get(), &status), 1); });
  EXPECT_EQ(status, 1);
  EXPECT_STREQ(last()->GetNLSAdviceParam(1), "Parameter: 7\nabc");
  out([] { CreateStratoError(77); });
  EXPECT_STREQ(last()->GetNLSAdviceParam(1),
               "Message not found\nCatalog: QorStratoError\nIdentifier: 77");
}

// Each platform call failed in turn (the object, the catalog's read, each write as to
// a closed output): a report is made all the same, and an error once had is recorded.
TEST_F(Errors, RaisesThatCannotComplete) {
  for (long n = 1;; ++n) {
    bool clean = false;
    QorError::QorSetLastError(nullptr, nullptr);
    std::string text = out([&] {
      clean = qvk_test::fails_at(n, [] { QorVardErrorTools::CreateError(301, "TstErr", 4); });
    });
    if (clean) {
      EXPECT_EQ(text, report(kError, "An error."));
      break;
    }
    if (n == 1) {  // the object itself could not be had
      EXPECT_EQ(text, report("\n******************* UNKNOWN ********************\n",
                             "ERR_0301 (catalog TstErr): no memory to build the report"));
    }
    EXPECT_NE(text.find(kClosing), std::string::npos) << n;  // a lost catalog read or write
    EXPECT_EQ(last() != nullptr, n > 1 && text.find(kWarning) == std::string::npos) << n;
  }
}

// Reports raised from several threads land whole in the listing, none on standard
// output; the last error stays consistent, its copy keeps the class.
TEST_F(Errors, ReportsInTheListingFromSeveralThreads) {
  ASSERT_EQ(QorVardListingServices::Set(dir_.path().c_str()), 0);
  const std::string listing = dir_.file(std::string(QorVardListingServices::GetFileName()));
  const int threads = 4, raises = 25;
  EXPECT_EQ(out([] {
              std::vector<std::thread> pool;
              for (int t = 0; t < threads; ++t)
                pool.emplace_back([] {
                  for (int k = 0; k < raises; ++k) QorVardErrorTools::CreateError(301, "TstErr");
                });
              for (auto &th : pool) th.join();
            }),
            "");
  std::string expected;
  for (int k = 0; k < threads * raises; ++k) expected += report(kError, "An error.");
  EXPECT_EQ(qvk_test::read_file(listing), expected);
  ASSERT_NE(last(), nullptr);
  EXPECT_EQ(last()->GetRefCount(), 1u);
  QorVardError *clone = dynamic_cast<QorVardError *>(last()->CloneSelf());
  ASSERT_NE(clone, nullptr);
  unsigned int length = 1;
  clone->GetErrorTable(&length, nullptr);
  EXPECT_EQ(std::make_tuple(std::string(clone->IsA()), std::string(clone->GetMsgId()),
                            clone->GetSeverity(), length),
            std::make_tuple(std::string("QorVardError"), std::string("ERR_0301"), 1, 0u));
  EXPECT_TRUE(clone->IsAKindOf("QorError") && !clone->IsAKindOf("QorVardTimer") &&
              !QorVardError::CreateItself());
  EXPECT_EQ(QorVardError::MetaObject()->GetBaseMetaObject(), QorResourceError::MetaObject());
  clone->Release();

  QorVARDTraceState("OPTPrint", 0);  // each piece once
  QorVardErrorTools::CreateError(301, "TstErr");
  EXPECT_EQ(qvk_test::read_file(listing), expected + kError + "An error." + kClosing);
}

// Raised errors: classification by the catalog, parameter slots, the
// printed report, the last-error record, and raises that cannot be
// completed (no memory, full disk, closed standard output).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
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
           "ERR_0400.Diagnostic = i{1},{2},{3} r{11},{12},{13} s{21},{22},{25}\n";
    QorVardListingServices::Reset();
    QorVARDTraceState("VARDPrint", 1);
    QorVARDTraceState("OPTPrint", 1);
    QorError::QorSetLastError(nullptr, nullptr);
  }
  void TearDown() override {
    QorFaultCountdown(0);
    QorVardListingServices::Reset();
  }
  template <class F>
  static std::string out(F &&raise) { return qvk_test::output_of(raise); }
  static QorVardError *last() { return dynamic_cast<QorVardError *>(QorError::QorGetLastError()); }

  qvk_test::TempDir dir_;
  qvk_test::EnvScope catalogs_{"KORSYS_CATALOG_PATH", dir_.path().c_str()};
};

}  // namespace

TEST_F(Errors, TheCatalogDecidesWhateverTheFactory) {
  const struct {
    bool as_warning;
    int number;
    const char *catalog, *raised_as, *msg_id, *message;
    const std::string &banner;
  } cases[] = {
      {true, 300, "TstErr", "WARN_0300", "", "Only a warning, 8.", kWarning},
      {false, 300, "TstErr", "ERR_0300", "", "Only a warning, 8.", kWarning},
      {true, 301, "TstErr", "WARN_0301", "ERR_0301", "An error.", kError},
      {true, 7, "NoSuchCatalog", "WARN_0007", "ERR_0001",
       "ERR_0001 (catalog NoSuchCatalog): no message text\n8\n"
       "Message not found\nCatalog: NoSuchCatalog\nIdentifier: 7", kInternal},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.raised_as);
    QorError::QorSetLastError(nullptr, nullptr);
    EXPECT_EQ(out([&] {
                if (c.as_warning) QorVardErrorTools::CreateWarning(c.number, c.catalog, 8);
                else QorVardErrorTools::CreateError(c.number, c.catalog, 8);
              }),
              report(c.banner, c.message));
    EXPECT_STREQ(etiquette, c.raised_as);
    // A warning is no error: the last-error record stays empty.
    EXPECT_STREQ(last() ? last()->GetMsgId() : "", c.msg_id);
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
  for (int k = 1; k <= 25; ++k)
    if (k != 1 && k != 2 && k != 11 && k != 12 && k != 21 && k != 22) {
      EXPECT_STREQ(last()->GetNLSDiagnosticParam(k), "") << k;
    }

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
  EXPECT_STREQ(e->GetNLSDiagnosticParam(10), "10");
  EXPECT_STREQ(e->GetNLSDiagnosticParam(11), "1.5");
  EXPECT_STREQ(e->GetNLSDiagnosticParam(20), "10.5");
  EXPECT_STREQ(e->GetNLSDiagnosticParam(21), "");
  // The 25 placeholders given as texts.
  QorUnicodeString texts[25];
  texts[0] = "x";
  texts[24] = "z";
  out([&] { e->CreateStratoError(400, nullptr, texts); });  // raised and released
  EXPECT_STREQ(last()->GetNLSDiagnostic(), "ix,, r,, s,,z");
}

TEST_F(Errors, ShippedCatalogsMatchTheirRaises) {
  qvk_test::EnvScope shipped("KORSYS_CATALOG_PATH", nullptr);
  const char *kernel = "QorVARDMathKernelError";
  const struct {
    int number;
    std::string starts;
  } raises[] = {
      {302, kError + kError + "Allocation of working memory.\n"
                              "40 KB were asked for and 12 KB are available.\n"},
      {300, kWarning + kWarning + "Allocation of a working array.\n"
                                  "The array needs 40 KB but only 12 KB may be used."},
      {1025, kError},
      {1026, kWarning},
      // A number the kernel's catalog does not know: its own internal-error text.
      {303, kInternal + kInternal + "Internal error of the solver's kernel.\nA message of the "
                                    "kernel's services is missing.\nMessage not found\nCatalog: "
                                    "QorVARDMathKernelError\nIdentifier: 303"},
  };
  for (const auto &r : raises) {  // the catalog decides, whatever the factory
    std::string text = out([&] { QorVardErrorTools::CreateWarning(r.number, kernel, 40, 12); });
    EXPECT_EQ(text.substr(0, r.starts.size()), r.starts) << r.number;
  }
  // Raised with a text, from C++ and from Fortran or C.
  EXPECT_EQ(out([] { QorVardErrorTools::Create("Memory allocation: Array type not recognized"); }),
            report(kInternal, "Internal error of the solver's kernel.\nThe kernel met a situation "
                              "it cannot handle.\nMemory allocation: Array type not recognized"));
  int number = 7, status = 0;
  std::unique_ptr<char[]> c_text(new char[4]{'a', 'b', 'c', '\0'});  // over-read caught by ASan
  out([&] { EXPECT_EQ(ehrprog(&number, c_text.get(), &status), 1); });
  EXPECT_EQ(status, 1);
  EXPECT_STREQ(last()->GetNLSAdviceParam(1), "Parameter: 7\nabc");
  out([] { CreateStratoError(77); });
  EXPECT_STREQ(last()->GetNLSAdviceParam(1),
               "Message not found\nCatalog: QorStratoError\nIdentifier: 77");
}

TEST_F(Errors, LongTextsAreNeverCut) {
  std::string long_text(5000, 'L'), long_catalog(300, 'C');
  std::ofstream(dir_.file("TstErr.msg"), std::ios::app) << "ERR_0500.Diagnostic = " << long_text
                                                        << "\n";
  EXPECT_EQ(out([] { QorVardErrorTools::CreateError(500, "TstErr"); }), report(kError, long_text));
  out([&] { QorVardErrorTools::CreateError(500, long_catalog.c_str()); });
  EXPECT_EQ(std::string(last()->GetNLSAdviceParam(1)),
            "Message not found\nCatalog: " + long_catalog + "\nIdentifier: 500");
}

TEST_F(Errors, RaisesThatCannotComplete) {
  int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  QorVardListingServices::_Descriptor = full;  // a listing on a full disk
  EXPECT_EQ(out([] { QorVardErrorTools::CreateError(301, "TstErr"); }), "");
  QorVardListingServices::_Descriptor = -1;
  close(full);
  ASSERT_NE(last(), nullptr);

  QorError::QorSetLastError(nullptr, nullptr);
  fflush(stdout);
  int saved = dup(1);
  close(1);  // standard output closed
  QorVardErrorTools::CreateError(301, "TstErr");
  dup2(saved, 1);
  close(saved);
  EXPECT_NE(last(), nullptr);

  // Each platform call failed in turn: a report all the same.
  for (long n = 1;; ++n) {
    bool clean = false;
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
  }
}

TEST_F(Errors, CopiesKeepTheClass) {
  EXPECT_EQ(QorVardError::MetaObject()->GetBaseMetaObject(), QorResourceError::MetaObject());
  EXPECT_EQ(QorVardError::CreateItself(), nullptr);
  out([] { QorVardErrorTools::CreateError(301, "TstErr"); });
  QorVardError *clone = dynamic_cast<QorVardError *>(last()->CloneSelf());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetSeverity(), 1);
  EXPECT_STREQ(clone->GetMsgId(), "ERR_0301");
  EXPECT_STREQ(clone->IsA(), "QorVardError");
  EXPECT_TRUE(clone->IsAKindOf("QorError") && !clone->IsAKindOf("QorVardTimer"));
  unsigned int length = 1;
  const QorErrDsc *table = nullptr;
  clone->GetErrorTable(&length, &table);
  EXPECT_EQ(length, 0u);
  clone->Release();
}

// Reports go to the listing, nothing to standard output, and follow the
// channels' switches. Solvers raise from several threads: every report
// lands whole (its six pieces together) and the last-error record stays
// consistent.
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
  QorVARDTraceState("OPTPrint", 0);  // each piece once; the call stack left out or not
  {
    qvk_test::EnvScope quiet("NoVardCallStack", "1");
    QorVardErrorTools::CreateError(301, "TstErr");
  }
  QorVardErrorTools::CreateError(301, "TstErr");
  const std::string once = kError + "An error." + kClosing;
  EXPECT_EQ(qvk_test::read_file(listing), expected + once + once);
}

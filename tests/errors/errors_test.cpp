// Raised errors: classification by the catalog, parameter slots, the
// printed report, the last-error record, and raises that cannot be
// completed (no memory, full disk, closed standard output).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/errors.h"
#include "KORSYS/QorSystem.h"
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
  // What the raise writes to standard output.
  static std::string out(const std::function<void()> &raise) {
    qvk_test::StdoutCapture capture;
    raise();
    return capture.text();
  }
  static QorVardError *last() { return dynamic_cast<QorVardError *>(QorError::QorGetLastError()); }

  qvk_test::TempDir dir_;
  qvk_test::EnvScope catalogs_{"KORSYS_CATALOG_PATH", dir_.path().c_str()};
};

}  // namespace

TEST_F(Errors, TheCatalogDecidesWhateverTheFactory) {
  using Factory = void (*)(int, const char *, QorVardTypeEncapError, QorVardTypeEncapError,
                           QorVardTypeEncapError, QorVardTypeEncapError, QorVardTypeEncapError,
                           QorVardTypeEncapError, QorVardTypeEncapError, QorVardTypeEncapError,
                           QorVardTypeEncapError);
  const Factory error = QorVardErrorTools::CreateError, warning = QorVardErrorTools::CreateWarning;
  const auto empty = QorVardTypeEncapError::EmptyEncapEr;
  const struct {
    Factory factory;
    int number;
    const char *catalog, *raised_as, *banner, *msg_id, *message;
  } cases[] = {
      {warning, 300, "TstErr", "WARN_0300", kWarning.c_str(), "WARN_0300", "Only a warning, 8."},
      {error, 300, "TstErr", "ERR_0300", kWarning.c_str(), "WARN_0300", "Only a warning, 8."},
      {error, 301, "TstErr", "ERR_0301", kError.c_str(), "ERR_0301", "An error."},
      {warning, 301, "TstErr", "WARN_0301", kError.c_str(), "ERR_0301", "An error."},
      {error, 9999, "TstErr", "ERR_9999", kInternal.c_str(), "ERR_0001",
       "ERR_0001 (catalog TstErr): no message text\n8\n"
       "Message not found\nCatalog: TstErr\nIdentifier: 9999"},
      {warning, 7, "NoSuchCatalog", "WARN_0007", kInternal.c_str(), "ERR_0001",
       "ERR_0001 (catalog NoSuchCatalog): no message text\n8\n"
       "Message not found\nCatalog: NoSuchCatalog\nIdentifier: 7"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.raised_as);
    QorError::QorSetLastError(nullptr, nullptr);
    std::string text = out([&] {
      c.factory(c.number, c.catalog, 8, empty, empty, empty, empty, empty, empty, empty, empty);
    });
    EXPECT_STREQ(etiquette, c.raised_as);
    EXPECT_EQ(text, report(c.banner, c.message));
    bool is_warning = c.banner == kWarning;
    ASSERT_EQ(last() == nullptr, is_warning);
    if (!is_warning) {
      EXPECT_STREQ(last()->GetMsgId(), c.msg_id);
    }
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
  EXPECT_EQ(out([] { QorVardErrorTools::CreateError(302, "QorVARDMathKernelError", 40, 12); })
                .find(kError + kError + "Allocation of working memory.\n"
                                        "40 KB were asked for and 12 KB are available.\n"),
            0u);
  EXPECT_EQ(out([] { QorVardErrorTools::CreateWarning(300, "QorVARDMathKernelError", 9, 3); })
                .find(kWarning + kWarning + "Allocation of a working array.\n"
                                            "The array needs 9 KB but only 3 KB may be used."),
            0u);
  EXPECT_EQ(out([] { QorVardErrorTools::CreateError(1025, "QorVARDMathKernelError"); }).find(kError),
            0u);
  EXPECT_EQ(out([] { QorVardErrorTools::CreateWarning(1026, "QorVARDMathKernelError"); })
                .find(kWarning),
            0u);
  // A number the kernel's catalog does not know: its own internal-error text.
  std::string unknown = out([] { QorVardErrorTools::CreateError(303, "QorVARDMathKernelError"); });
  EXPECT_NE(unknown.find("Message not found\nCatalog: QorVARDMathKernelError\nIdentifier: 303"),
            std::string::npos);
  // Raised with a text, from C++ and from Fortran or C.
  EXPECT_EQ(out([] { QorVardErrorTools::Create("Memory allocation: Array type not recognized"); }),
            report(kInternal, "Internal error of the solver's kernel.\nThe kernel met a situation "
                              "it cannot handle.\nMemory allocation: Array type not recognized"));
  std::string text80(80, 'x');
  std::string fortran = text80 + "never read";
  int number = 7, status = 0;
  EXPECT_NE(out([&] { EXPECT_EQ(ehrprog(&number, fortran.c_str(), &status), 1); })
                .find("\nParameter: 7\n" + text80 + "\n"),
            std::string::npos);
  EXPECT_EQ(status, 1);
  std::unique_ptr<char[]> c_text(new char[4]{'a', 'b', 'c', '\0'});  // over-read caught by ASan
  out([&] { ehrprog(&number, c_text.get(), &status); });
  EXPECT_STREQ(last()->GetNLSAdviceParam(1), "Parameter: 7\nabc");
  out([] { CreateStratoError(77); });
  EXPECT_STREQ(last()->GetNLSAdviceParam(1),
               "Message not found\nCatalog: QorStratoError\nIdentifier: 77");
}

TEST_F(Errors, ReportGoesToTheListingAndFollowsTheChannels) {
  ASSERT_EQ(QorVardListingServices::Set(dir_.path().c_str()), 0);
  std::string listing = dir_.file(std::string(QorVardListingServices::GetFileName()));
  EXPECT_EQ(out([] { QorVardErrorTools::CreateError(301, "TstErr"); }), "");
  std::string once = kError + "An error." + kClosing;
  EXPECT_EQ(qvk_test::read_file(listing), report(kError, "An error."));
  QorVARDTraceState("OPTPrint", 0);
  {
    qvk_test::EnvScope quiet("NoVardCallStack", "1");
    QorVardErrorTools::CreateError(301, "TstErr");
  }
  QorVardErrorTools::CreateError(301, "TstErr");
  EXPECT_EQ(qvk_test::read_file(listing), report(kError, "An error.") + once + once);
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

TEST_F(Errors, UnwritableOutputNeverStopsARaise) {
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
}

TEST_F(Errors, EveryPlatformFailureDuringARaise) {
  for (long n = 1;; ++n) {
    QorError::QorSetLastError(nullptr, nullptr);
    long calls;
    std::string text = out([&] {
      QorFaultCountdown(n);
      QorVardErrorTools::CreateError(301, "TstErr", 4);
      calls = QorFaultCalls();
      QorFaultCountdown(0);
    });
    if (n == 1) {  // the object itself could not be had
      EXPECT_EQ(text, report("\n******************* UNKNOWN ********************\n",
                             "ERR_0301 (catalog TstErr): no memory to build the report"));
    } else {  // a lost catalog read or write: a report all the same
      EXPECT_NE(text.find(kClosing), std::string::npos) << "call " << n;
    }
    if (n > calls) {
      EXPECT_EQ(text, report(kError, "An error."));
      break;
    }
  }
}

TEST_F(Errors, ClassRecordAndCopies) {
  QorMetaClass *meta = QorVardError::MetaObject();
  ASSERT_NE(meta, nullptr);
  EXPECT_EQ(QorVardError::MetaObject(), meta);
  EXPECT_STREQ(QorVardError::ClassName(), "QorVardError");
  EXPECT_STREQ(meta->GetFrameworkName(), "QorStratoOpenSoftware");
  EXPECT_STREQ(meta->GetLateTypeName(), "QorNull");
  EXPECT_EQ(meta->GetBaseMetaObject(), QorResourceError::MetaObject());
  EXPECT_EQ(QorVardError::CreateItself(), nullptr);

  out([] { QorVardErrorTools::CreateError(301, "TstErr"); });
  QorVardError *clone = dynamic_cast<QorVardError *>(last()->CloneSelf());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetSeverity(), 1);
  EXPECT_STREQ(clone->GetMsgId(), "ERR_0301");
  EXPECT_STREQ(clone->IsA(), "QorVardError");
  EXPECT_TRUE(clone->IsAKindOf("QorError"));
  EXPECT_FALSE(clone->IsAKindOf("QorVardTimer"));
  unsigned int length = 1;
  const QorErrDsc *table = nullptr;
  clone->GetErrorTable(&length, &table);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(table, QorVardError::errorTable);
  clone->Release();
}

// Solvers raise from several threads: every report lands whole (its six
// pieces together) and the last-error record stays consistent.
TEST_F(Errors, ReportsFromSeveralThreadsStayWhole) {
  ASSERT_EQ(QorVardListingServices::Set(dir_.path().c_str()), 0);
  std::string listing = dir_.file(std::string(QorVardListingServices::GetFileName()));
  const int threads = 4, raises = 25;
  {
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
      pool.emplace_back([] {
        for (int k = 0; k < raises; ++k) QorVardErrorTools::CreateError(301, "TstErr");
      });
    for (auto &th : pool) th.join();
  }
  std::string expected;
  for (int k = 0; k < threads * raises; ++k) expected += report(kError, "An error.");
  EXPECT_EQ(qvk_test::read_file(listing), expected);
  ASSERT_NE(last(), nullptr);
  EXPECT_EQ(last()->GetRefCount(), 1u);
}

// The library's error class: classification from the catalog, parameter
// slots, the printed report, and the Fortran entry ehrprog.
#include <cstdio>
#include <mutex>
#include <new>

#include "QorVARDMathKernel/diagnostics.h"
#include "QorVARDMathKernel/errors.h"
#include "diagnostics/error_report.h"
#include "diagnostics/platform/platform.h"
#include "diagnostics/redirect.h"

namespace {

const int kIntSlots = 10, kRealSlots = 10, kStringSlots = 5;
const int kFirstReal = 10, kFirstString = 20;

const char *const kClosing = "\n***********************************************\n\n";

const char *banner(int severity) {
  switch (severity) {
    case 0: return "\n**************** INTERNAL ERROR ***************\n";
    case 1: return "\n******************** ERROR ********************\n";
    case 2: return "\n******************* WARNING *******************\n";
    default: return "\n******************* UNKNOWN ********************\n";
  }
}

QorUnicodeString number_text(int number, const char *format) {
  QorUnicodeString text;
  text.BuildFromNum(number, format);
  return text;
}

// Drops the last-error record at unload when it is one of ours, so that
// the platform never destroys an object whose code has left the process.
struct ForgetOwnLastError {
  ~ForgetOwnLastError() {
    if (dynamic_cast<QorVardError *>(QorError::QorGetLastError()))
      QorError::QorSetLastError(nullptr, nullptr);
  }
} g_forget_own_last_error;

}  // namespace

namespace qvk::diag {

// Every write of an error report goes through here: one whole channel write
// at level 2 into the listing (standard output when none is open). A write
// that fails (full disk, closed standard output) is dropped.
void report_write(QorTrace &channel, const char *text) { print_text(channel, text); }

void report_unbuilt(const char *msg_id, const char *catalog) {
  char line[512];
  snprintf(line, sizeof line, "%.32s (catalog %.400s): no memory to build the report",
           msg_id ? msg_id : "", catalog ? catalog : "");
  for (const char *text : {banner(-1), static_cast<const char *>(line), kClosing}) {
    report_write(Tra_OPTPrint, text);
    report_write(Tra_VARDPrint, text);
  }
}

}  // namespace qvk::diag

QorMetaClass *QorVardError::meta_object = nullptr;
const QorErrDsc QorVardError::errorTable[1] = {{0, nullptr, nullptr}};
unsigned int QorVardError::errorTableLength = 0;

QorVardError::QorVardError(unsigned int return_code)
    : QorResourceError(return_code), _Severity(-1) {}
QorVardError::QorVardError(unsigned int return_code, const char *msg_id, const char *catalog)
    : QorResourceError(return_code, msg_id, catalog), _Severity(-1) {}
QorVardError::QorVardError(const char *msg_id, const char *catalog)
    : QorResourceError(msg_id, catalog), _Severity(-1) {}
QorVardError::QorVardError(const QorUnicodeString *text)
    : QorResourceError("ERR_0001", "QorStratoError"), _Severity(0) {
  SetNLSAdviceParams(1, text ? *text : QorUnicodeString());
  Activate();
}
QorVardError::QorVardError(const QorVardError &other)
    : QorResourceError(other), _Severity(other._Severity) {}
QorVardError::~QorVardError() = default;

QorMetaClass *QorVardError::MetaObject() {
  if (!meta_object)
    meta_object = fct_RetrieveMetaObject("QorVardError", 1, QorResourceError::MetaObject(),
                                         "QorNull", "QorStratoOpenSoftware", sizeof(QorVardError));
  return meta_object;
}
int QorVardError::ClassId() {
  QorMetaClass *meta = MetaObject();
  return meta ? meta->GetClassId() : 0;
}
const char *QorVardError::ClassName() {
  QorMetaClass *meta = MetaObject();
  return meta ? meta->GetClassName() : "";
}
QorBaseUnknown *QorVardError::CreateItself() { return nullptr; }
QorMetaClass *QorVardError::GetMetaObject() const { return MetaObject(); }
const char *QorVardError::IsA() const { return ClassName(); }
int QorVardError::IsAKindOf(const char *class_name) const {
  return QorMetaClass::IsAKindOf(MetaObject(), class_name);
}

void QorVardError::Setup(const char *source_file, int line) { QorError::Setup(source_file, line); }

QorError *QorVardError::CloneSelf() const { return new QorVardError(*this); }

void QorVardError::GetErrorTable(unsigned int *length, const QorErrDsc **table) const {
  if (length) *length = errorTableLength;
  if (table) *table = errorTable;
}

void QorVardError::GetSeverityFromCatalog(int number) {
  _Severity = 1;
  _MsgId = number_text(number, "ERR_%4.4d");
  if (GetNLSDiagnostic().GetLengthInChar() >= 1) return;

  _Severity = 2;
  _MsgId = number_text(number, "WARN_%4.4d");
  if (GetNLSDiagnostic().GetLengthInChar() > 0) {
    SetInformationOnErrorType(3);
    return;
  }

  // Neither text: an internal error that names the catalog and the number.
  // Built as a string, so a long catalog name is never cut.
  _Severity = 0;
  _MsgId = "ERR_0001";
  QorUnicodeString advice = QorUnicodeString("Message not found\nCatalog: ") + GetMsgCatalog() +
                            "\nIdentifier: " + number_text(number, "%d");
  SetNLSAdviceParams(1, advice);
}

void QorVardError::SetParameters(const QorRawCollint &ints, const QorRawColldouble &reals,
                                 const QorListValQorUnicodeString &strings) {
  // Values beyond a kind's slots are dropped: they must not spill into the
  // next kind's placeholders.
  QorUnicodeString slots[MaxParams];
  for (int k = 1; k <= ints.Size() && k <= kIntSlots; ++k) slots[k - 1].BuildFromNum(ints[k], "%d");
  for (int k = 1; k <= reals.Size() && k <= kRealSlots; ++k)
    slots[kFirstReal + k - 1].BuildFromNum(reals[k], "%g");
  for (int k = 1; k <= strings.Size() && k <= kStringSlots; ++k)
    slots[kFirstString + k - 1] = strings[k];
  SetNLSDiagnosticParamArray(MaxParams, slots);
}

void QorVardError::CreateStratoError(int number, const QorRawCollint &ints,
                                     const QorRawColldouble &reals,
                                     const QorListValQorUnicodeString &strings) {
  GetSeverityFromCatalog(number);
  SetParameters(ints, reals, strings);
  Activate();
}

void QorVardError::CreateStratoError(int number, char *, QorUnicodeString *params) {
  GetSeverityFromCatalog(number);
  SetNLSDiagnosticParamArray(params ? MaxParams : 0, params);
  Activate();
}

void QorVardError::Activate() {
  if (_Severity != 2) QorError::QorSetLastError(this, nullptr);
  Print();
  if (!QorGetEnv("NoVardCallStack")) PrintStack();
  Release();
}

void QorVardError::Print() {
  using qvk::diag::report_write;
  const char *open = banner(_Severity);
  // The message is composed (catalog read) before the listing is locked; the
  // six writes then go out together, so reports raised by several threads at
  // once never mix.
  QorUnicodeString message;
  bool composed = false;
  try {
    message = GetNLSMessage();
    composed = true;
  } catch (const std::bad_alloc &) {
    // No memory to compose the message: the banners still frame the gap.
  }
  std::lock_guard<std::recursive_mutex> hold(qvk::diag::listing_lock());
  report_write(Tra_OPTPrint, open);
  report_write(Tra_VARDPrint, open);
  if (composed) {
    report_write(Tra_OPTPrint, message);
    report_write(Tra_VARDPrint, message);
  }
  report_write(Tra_OPTPrint, kClosing);
  report_write(Tra_VARDPrint, kClosing);
}

void QorVardError::PrintStack() {}

void QorVardError::PrintMsgError(int, QorUnicodeString, QorUnicodeString) { eyflsh(); }

extern "C" int ehrprog(const int *number, const char *text, int *status) {
  try {
    QorUnicodeString advice = number_text(number ? *number : 0, "Parameter: %d\n");
    advice += QorUnicodeString(text, 80);  // stops at a zero before the 80th character
    if (status) *status = 1;
    new QorVardError(&advice);  // raised and released by its constructor
  } catch (const std::bad_alloc &) {
    if (status) *status = 1;
    qvk::diag::report_unbuilt("ERR_0001", "QorStratoError");
  }
  return 1;
}

#include <mutex>
#include <string>

#include "KORSYS/QorError.h"

namespace {
const QorUnicodeString &empty_text() {
  static const QorUnicodeString none;
  return none;
}

void set_params(QorUnicodeString *slots, int count, const QorUnicodeString *texts) {
  for (int k = 0; k < QorError::MaxParams; ++k)
    slots[k] = (texts && k < count) ? texts[k] : QorUnicodeString();
}

// The registered last error; the reference it holds is dropped at unload.
// Errors are raised from several threads: the exchange is under a lock.
struct LastError {
  std::mutex lock;
  QorError *error = nullptr;
  ~LastError() {
    if (error) error->Release();
    error = nullptr;
  }
};
LastError g_last;
}  // namespace

QorError::QorError() = default;
QorError::QorError(unsigned int return_code) : _ReturnCode(return_code) {}
QorError::QorError(unsigned int return_code, const char *msg_id, const char *catalog)
    : _MsgId(msg_id), _Catalog(catalog), _ReturnCode(return_code) {}
QorError::QorError(const char *msg_id, const char *catalog) : _MsgId(msg_id), _Catalog(catalog) {}
QorError::QorError(const QorError &other) = default;
QorError::~QorError() = default;

void QorError::Setup(const char *source_file, int line) {
  _SourceFile = source_file;
  _SourceLine = line;
}

void QorError::SetNLSRequestParamArray(int count, const QorUnicodeString *texts) {
  set_params(_Request, count, texts);
}
void QorError::SetNLSDiagnosticParamArray(int count, const QorUnicodeString *texts) {
  set_params(_Diagnostic, count, texts);
}
void QorError::SetNLSAdviceParamArray(int count, const QorUnicodeString *texts) {
  set_params(_Advice, count, texts);
}
const QorUnicodeString &QorError::GetNLSRequestParam(int k) const {
  return (k >= 1 && k <= MaxParams) ? _Request[k - 1] : empty_text();
}
const QorUnicodeString &QorError::GetNLSDiagnosticParam(int k) const {
  return (k >= 1 && k <= MaxParams) ? _Diagnostic[k - 1] : empty_text();
}
const QorUnicodeString &QorError::GetNLSAdviceParam(int k) const {
  return (k >= 1 && k <= MaxParams) ? _Advice[k - 1] : empty_text();
}

// The catalog text of one part with {k} replaced by parameter k. A brace
// that opens no placeholder stays as it is.
QorUnicodeString QorError::Compose(const char *part, const QorUnicodeString *params) const {
  QorUnicodeString pattern;
  if (!QorCatalogLookup(_Catalog, _MsgId, part, pattern)) return QorUnicodeString();
  std::string out;
  const char *p = pattern.ConvertToChar();
  while (*p) {
    if (*p == '{' && p[1] >= '0' && p[1] <= '9') {
      const char *q = p + 1;
      int slot = 0;
      while (*q >= '0' && *q <= '9' && slot <= MaxParams) slot = slot * 10 + (*q++ - '0');
      if (*q == '}' && slot >= 1 && slot <= MaxParams) {
        out += params[slot - 1].ConvertToChar();
        p = q + 1;
        continue;
      }
    }
    out += *p++;
  }
  return QorUnicodeString(out.c_str());
}

QorUnicodeString QorError::GetNLSRequest() const { return Compose("Request", _Request); }
QorUnicodeString QorError::GetNLSDiagnostic() const { return Compose("Diagnostic", _Diagnostic); }
QorUnicodeString QorError::GetNLSAdvice() const { return Compose("Advice", _Advice); }

QorUnicodeString QorError::GetNLSMessage() const {
  QorUnicodeString message;
  for (const QorUnicodeString &text : {GetNLSRequest(), GetNLSDiagnostic(), GetNLSAdvice()}) {
    if (text.GetLengthInChar() == 0) continue;
    if (message.GetLengthInChar() > 0) message += "\n";
    message += text;
  }
  if (message.GetLengthInChar() > 0) return message;
  // No text in the catalog: say so, and keep every parameter.
  message = QorUnicodeString(_MsgId.ConvertToChar()) + " (catalog " + _Catalog +
            "): no message text";
  for (const QorUnicodeString *list : {_Request, _Diagnostic, _Advice})
    for (int k = 0; k < MaxParams; ++k)
      if (list[k].GetLengthInChar() > 0) message += QorUnicodeString("\n") + list[k];
  return message;
}

QorError *QorError::CloneSelf() const { return new QorError(*this); }
void QorError::GetErrorTable(unsigned int *length, const QorErrDsc **table) const {
  if (length) *length = 0;
  if (table) *table = nullptr;
}

void QorError::QorSetLastError(QorError *error, void *) {
  QorError *old;
  {
    std::lock_guard<std::mutex> hold(g_last.lock);
    if (error == g_last.error) return;
    if (error) error->AddRef();
    old = g_last.error;
    g_last.error = error;
  }
  // Released outside the lock: a destructor may raise or register again.
  if (old) old->Release();
}
QorError *QorError::QorGetLastError() {
  std::lock_guard<std::mutex> hold(g_last.lock);
  return g_last.error;
}

QorMetaClass *QorError::MetaObject() {
  static QorMetaClass *meta = fct_RetrieveMetaObject(
      "QorError", 1, QorBaseUnknown::MetaObject(), "QorNull", "KORSYS", sizeof(QorError));
  return meta;
}
QorMetaClass *QorError::GetMetaObject() const { return MetaObject(); }

QorResourceError::QorResourceError() = default;
QorResourceError::QorResourceError(unsigned int return_code) : QorError(return_code) {}
QorResourceError::QorResourceError(unsigned int return_code, const char *msg_id,
                                   const char *catalog)
    : QorError(return_code, msg_id, catalog) {}
QorResourceError::QorResourceError(const char *msg_id, const char *catalog)
    : QorError(msg_id, catalog) {}
QorResourceError::QorResourceError(const QorResourceError &other) = default;
QorResourceError::~QorResourceError() = default;

QorError *QorResourceError::CloneSelf() const { return new QorResourceError(*this); }
QorMetaClass *QorResourceError::MetaObject() {
  static QorMetaClass *meta =
      fct_RetrieveMetaObject("QorResourceError", 1, QorError::MetaObject(), "QorNull", "KORSYS",
                             sizeof(QorResourceError));
  return meta;
}
QorMetaClass *QorResourceError::GetMetaObject() const { return MetaObject(); }

// Error base classes with message catalogs, and the last-error registry.
//
// An error carries a message identifier ("ERR_0302"), the name of its
// catalog ("QorVARDMathKernelError") and three lists of up to 25
// parameters, one each for the request, diagnostic and advice texts. The
// texts come from the catalog file at the time they are asked for, with
// the placeholders {1} .. {25} replaced by the parameters. The catalog
// format and the way catalogs are found are described in the README.
#ifndef KORSYS_QORERROR_H
#define KORSYS_QORERROR_H

#include "KORSYS/QorBase.h"
#include "KORSYS/QorString.h"

// One entry of an error class's table of the errors it knows in advance.
struct QorErrDsc {
  unsigned int ReturnCode;
  const char *MsgId;
  const char *Catalog;
};

// An error or warning with its message identifier, catalog, return code
// and the parameters of its catalog texts.
class KORSYS_EXPORT QorError : public QorBaseUnknown {
 public:
  enum { MaxParams = 25 };  // parameters per text

  // Identifier, catalog and return code as given (empty or 0 otherwise).
  QorError();
  explicit QorError(unsigned int return_code);
  QorError(unsigned int return_code, const char *msg_id, const char *catalog);
  QorError(const char *msg_id, const char *catalog);
  QorError(const QorError &other);

  // Source context: file name and line.
  void Setup(const char *source_file, int line);
  const QorUnicodeString &GetSourceFileName() const { return _SourceFile; }
  int GetSourceLineNumber() const { return _SourceLine; }

  // The message identifier is public, as the error classes set it.
  QorString _MsgId;
  const char *GetMsgId() const { return _MsgId; }
  const char *GetMsgCatalog() const { return _Catalog; }
  void SetMsgCatalog(const char *catalog) { _Catalog = catalog; }
  unsigned int GetReturnCode() const { return _ReturnCode; }
  void SetReturnCode(unsigned int code) { _ReturnCode = code; }
  int GetInformationOnErrorType() const { return _ErrorType; }
  void SetInformationOnErrorType(int type) { _ErrorType = type; }

  // Catalog texts with their placeholders filled; empty when the catalog
  // holds no such text (missing or malformed catalog included).
  virtual QorUnicodeString GetNLSRequest() const;
  virtual QorUnicodeString GetNLSDiagnostic() const;
  virtual QorUnicodeString GetNLSAdvice() const;
  // The composed message: the non-empty request, diagnostic and advice
  // texts, one after the other, separated by line feeds. When the catalog
  // has none of them, a line naming the identifier and the catalog
  // followed by the non-empty parameters, so that nothing is lost.
  virtual QorUnicodeString GetNLSMessage() const;

  // Placeholders 1..count; texts after the 25th are ignored, a null text
  // is an empty one. Earlier parameters of that part are dropped.
  void SetNLSRequestParamArray(int count, const QorUnicodeString *texts);
  void SetNLSDiagnosticParamArray(int count, const QorUnicodeString *texts);
  void SetNLSAdviceParamArray(int count, const QorUnicodeString *texts);
  // The same with the texts as arguments (strings or const char*).
  template <class... T>
  void SetNLSRequestParams(int count, const T &...texts) {
    const QorUnicodeString all[sizeof...(T) + 1] = {QorUnicodeString(texts)...};
    SetNLSRequestParamArray(count < int(sizeof...(T)) ? count : int(sizeof...(T)), all);
  }
  template <class... T>
  void SetNLSDiagnosticParams(int count, const T &...texts) {
    const QorUnicodeString all[sizeof...(T) + 1] = {QorUnicodeString(texts)...};
    SetNLSDiagnosticParamArray(count < int(sizeof...(T)) ? count : int(sizeof...(T)), all);
  }
  template <class... T>
  void SetNLSAdviceParams(int count, const T &...texts) {
    const QorUnicodeString all[sizeof...(T) + 1] = {QorUnicodeString(texts)...};
    SetNLSAdviceParamArray(count < int(sizeof...(T)) ? count : int(sizeof...(T)), all);
  }
  const QorUnicodeString &GetNLSDiagnosticParam(int k) const;  // 1..25, else empty
  const QorUnicodeString &GetNLSAdviceParam(int k) const;
  const QorUnicodeString &GetNLSRequestParam(int k) const;

  // A new error with the same contents (one reference, the caller's).
  virtual QorError *CloneSelf() const;
  // The class's table of known errors: length 0 and null here.
  virtual void GetErrorTable(unsigned int *length, const QorErrDsc **table) const;

  // The process's last error: the registry takes a reference to error
  // (null clears it) and drops the one it held. reserved must be null.
  static void QorSetLastError(QorError *error, void *reserved);
  // The registered error without a new reference, or null.
  static QorError *QorGetLastError();

  // The class's meta object.
  QorMetaClass *GetMetaObject() const override;
  static QorMetaClass *MetaObject();

 protected:
  ~QorError() override;

 private:
  QorUnicodeString Compose(const char *part, const QorUnicodeString *params) const;

  QorUnicodeString _Catalog;
  QorUnicodeString _SourceFile;
  int _SourceLine = 0;
  unsigned int _ReturnCode = 0;
  int _ErrorType = 0;
  QorUnicodeString _Request[MaxParams];
  QorUnicodeString _Diagnostic[MaxParams];
  QorUnicodeString _Advice[MaxParams];
};

// An error about a resource (memory, file); it adds nothing to QorError
// but its place in the class tree.
class KORSYS_EXPORT QorResourceError : public QorError {
 public:
  // As the constructors of QorError.
  QorResourceError();
  explicit QorResourceError(unsigned int return_code);
  QorResourceError(unsigned int return_code, const char *msg_id, const char *catalog);
  QorResourceError(const char *msg_id, const char *catalog);
  QorResourceError(const QorResourceError &other);

  // As in QorError.
  QorError *CloneSelf() const override;
  QorMetaClass *GetMetaObject() const override;
  static QorMetaClass *MetaObject();

 protected:
  ~QorResourceError() override;
};

// Catalog lookup, open for tests and tools. Fills text with the catalog's
// text for msg_id and part ("Request", "Diagnostic" or "Advice") and
// returns 1, or returns 0 and leaves text empty when there is none.
KORSYS_EXPORT int QorCatalogLookup(const char *catalog, const char *msg_id, const char *part,
                                   QorUnicodeString &text);

#endif

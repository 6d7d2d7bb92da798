/* Numbered errors and warnings of the library and of the solver.
 *
 * Code that detects a failure raises it with one call: a number, a message
 * catalog and up to nine parameters (ints, doubles, texts), e.g.
 *
 *   QorVardErrorTools::CreateError(302, "QorVARDMathKernelError", asked, free);
 *
 * The catalog decides what the number is: a text under "ERR_%4.4d" makes
 * it an error (whichever factory raised it), else a text under
 * "WARN_%4.4d" a warning, else an internal error ("ERR_0001" of
 * "QorStratoError") whose advice names the catalog and the number. Ints
 * fill the catalog's placeholders {1}..{10} ("%d"), doubles {11}..{20}
 * ("%g"), texts {21}..{25}, each kind in the order given; empty
 * parameters leave no gap; parameters beyond a kind's slots are dropped.
 *
 * The error is printed at once, on channel OPTPrint and then on
 * VARDPrint, into the listing file when one is open (diagnostics.h):
 *
 *   ******************** ERROR ********************
 *   <request, diagnostic and advice texts, one per line>
 *   ***********************************************
 *
 * (WARNING and INTERNAL ERROR banners likewise). Errors and internal
 * errors become the process's last error (QorError::QorGetLastError);
 * warnings do not. Nothing is returned to the raiser. A report that cannot
 * be written (full disk, closed standard output) is dropped; raising never
 * stops the process. */
#ifndef QORVARDMATHKERNEL_ERRORS_H
#define QORVARDMATHKERNEL_ERRORS_H

#include "QorVARDMathKernel/export.h"

QVK_EXTERN_C_BEGIN
/* Raises an internal error from Fortran or C: the advice text reads
 * "Parameter: <number>\n" followed by the text.
 * number [in]  the number to report.
 * text   [in]  at most 80 characters are read; a zero ends it earlier
 *              (a hidden Fortran length argument is not read).
 * status [out] set to 1.
 * Returns 1. */
QVK_EXPORT int ehrprog(const int *number, const char *text, int *status);
QVK_EXTERN_C_END

#ifdef __cplusplus
#include "KORSYS/QorError.h"
#include "KORSYS/QorString.h"
#include "QorVARDMathKernel/encap.h"

/* The identifier written by the last raise of the factories ("ERR_0302"). */
QVK_EXPORT extern char etiquette[2000];

/* The library's error class. An object is built with new, classified from
 * its catalog, given its parameters, then raised with Activate, which
 * prints it, records it as the last error unless it is a warning and
 * drops the creator's reference: the creator keeps no pointer to it. */
class QVK_EXPORT QorVardError : public QorResourceError {
 public:
  /* These leave the severity unknown (-1) until GetSeverityFromCatalog. */
  explicit QorVardError(unsigned int return_code);
  QorVardError(unsigned int return_code, const char *msg_id, const char *catalog);
  QorVardError(const char *msg_id, const char *catalog);
  /* An internal error carrying text as its advice: "ERR_0001" of
   * "QorStratoError", raised (printed, recorded, released) before the
   * constructor returns. A null text is an empty one. */
  explicit QorVardError(const QorUnicodeString *text);
  QorVardError(const QorVardError &other);

  /* The class's meta object, registered on first use as "QorVardError"
   * (framework "QorStratoOpenSoftware", base QorResourceError). */
  static QorMetaClass *MetaObject();
  static int ClassId();
  static const char *ClassName();
  static QorBaseUnknown *CreateItself(); /* null */
  QorMetaClass *GetMetaObject() const override;
  const char *IsA() const override;
  int IsAKindOf(const char *class_name) const override;

  void Setup(const char *source_file, int line);
  QorError *CloneSelf() const override; /* the base part and the severity */
  /* length 0 and the class's (empty) table. */
  void GetErrorTable(unsigned int *length, const QorErrDsc **table) const override;

  /* 0 internal error, 1 error, 2 warning; -1 before classification. */
  int GetSeverity() const { return _Severity; }
  /* Sets identifier and severity from the catalog (see the top of this
   * header). */
  void GetSeverityFromCatalog(int number);
  /* Fills the 25 diagnostic placeholders: ints 1-10, reals 11-20, strings
   * 21-25; extra values of a kind are dropped, unused slots are empty. */
  void SetParameters(const QorRawCollint &ints, const QorRawColldouble &reals,
                     const QorListValQorUnicodeString &strings);
  /* Classifies, sets the parameters and raises (Activate). */
  void CreateStratoError(int number, const QorRawCollint &ints, const QorRawColldouble &reals,
                         const QorListValQorUnicodeString &strings);
  /* The same with the 25 placeholders given as texts (params holds 25
   * strings; null: all empty). unused is not read. */
  void CreateStratoError(int number, char *unused, QorUnicodeString *params);
  /* Records as last error unless a warning, prints, releases. */
  void Activate();
  /* The banner, the composed message and the closing banner, each on
   * OPTPrint then VARDPrint. */
  void Print();
  void PrintStack();  /* prints nothing */
  /* Flushes standard output; prints nothing. */
  void PrintMsgError(int number, QorUnicodeString first, QorUnicodeString second);

  static QorMetaClass *meta_object;
  static const QorErrDsc errorTable[1];
  static unsigned int errorTableLength;

 protected:
  ~QorVardError() override;

 private:
  int _Severity;
};

/* The error factories. Unused parameters are EmptyEncapEr. */
class QVK_EXPORT QorVardErrorTools {
 public:
  /* Raises number of catalog, first written as "ERR_%4.4d" into etiquette. */
  static void CreateError(int number, const char *catalog,
                          QorVardTypeEncapError p1 = QorVardTypeEncapError::EmptyEncapEr,
                          QorVardTypeEncapError p2 = QorVardTypeEncapError::EmptyEncapEr,
                          QorVardTypeEncapError p3 = QorVardTypeEncapError::EmptyEncapEr,
                          QorVardTypeEncapError p4 = QorVardTypeEncapError::EmptyEncapEr,
                          QorVardTypeEncapError p5 = QorVardTypeEncapError::EmptyEncapEr,
                          QorVardTypeEncapError p6 = QorVardTypeEncapError::EmptyEncapEr,
                          QorVardTypeEncapError p7 = QorVardTypeEncapError::EmptyEncapEr,
                          QorVardTypeEncapError p8 = QorVardTypeEncapError::EmptyEncapEr,
                          QorVardTypeEncapError p9 = QorVardTypeEncapError::EmptyEncapEr);
  /* The same, first written as "WARN_%4.4d"; the catalog still decides. */
  static void CreateWarning(int number, const char *catalog,
                            QorVardTypeEncapError p1 = QorVardTypeEncapError::EmptyEncapEr,
                            QorVardTypeEncapError p2 = QorVardTypeEncapError::EmptyEncapEr,
                            QorVardTypeEncapError p3 = QorVardTypeEncapError::EmptyEncapEr,
                            QorVardTypeEncapError p4 = QorVardTypeEncapError::EmptyEncapEr,
                            QorVardTypeEncapError p5 = QorVardTypeEncapError::EmptyEncapEr,
                            QorVardTypeEncapError p6 = QorVardTypeEncapError::EmptyEncapEr,
                            QorVardTypeEncapError p7 = QorVardTypeEncapError::EmptyEncapEr,
                            QorVardTypeEncapError p8 = QorVardTypeEncapError::EmptyEncapEr,
                            QorVardTypeEncapError p9 = QorVardTypeEncapError::EmptyEncapEr);
  /* CreateError(number, "QorStratoError", ...). */
  static void Create(int number, QorVardTypeEncapError p1 = QorVardTypeEncapError::EmptyEncapEr,
                     QorVardTypeEncapError p2 = QorVardTypeEncapError::EmptyEncapEr,
                     QorVardTypeEncapError p3 = QorVardTypeEncapError::EmptyEncapEr,
                     QorVardTypeEncapError p4 = QorVardTypeEncapError::EmptyEncapEr,
                     QorVardTypeEncapError p5 = QorVardTypeEncapError::EmptyEncapEr,
                     QorVardTypeEncapError p6 = QorVardTypeEncapError::EmptyEncapEr,
                     QorVardTypeEncapError p7 = QorVardTypeEncapError::EmptyEncapEr,
                     QorVardTypeEncapError p8 = QorVardTypeEncapError::EmptyEncapEr,
                     QorVardTypeEncapError p9 = QorVardTypeEncapError::EmptyEncapEr);
  /* Raises an internal error whose advice is text. */
  static void Create(const char *text);
};

/* QorVardErrorTools::Create(number, ...). */
QVK_EXPORT void CreateStratoError(int number,
                                  QorVardTypeEncapError p1 = QorVardTypeEncapError::EmptyEncapEr,
                                  QorVardTypeEncapError p2 = QorVardTypeEncapError::EmptyEncapEr,
                                  QorVardTypeEncapError p3 = QorVardTypeEncapError::EmptyEncapEr,
                                  QorVardTypeEncapError p4 = QorVardTypeEncapError::EmptyEncapEr,
                                  QorVardTypeEncapError p5 = QorVardTypeEncapError::EmptyEncapEr,
                                  QorVardTypeEncapError p6 = QorVardTypeEncapError::EmptyEncapEr,
                                  QorVardTypeEncapError p7 = QorVardTypeEncapError::EmptyEncapEr,
                                  QorVardTypeEncapError p8 = QorVardTypeEncapError::EmptyEncapEr,
                                  QorVardTypeEncapError p9 = QorVardTypeEncapError::EmptyEncapEr);
#endif

#endif

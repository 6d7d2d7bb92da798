/* Tagged values: one 8-byte value and a QorVardValue tag naming what it
 * holds. They carry the parameters of raised errors (QorVardTypeEncapError,
 * see errors.h) and the typed pointers of the memory services.
 *
 *   tag                         value held                        empty?
 *   Integer4, Real4, Real8      int, float, double                no
 *   Char4, Char1                8 bytes, copied as they are       always
 *   String                      a private copy of a text (owned)  when null
 *   Integer4Ptr .. Char1PtrPtr  the address of the caller's       no
 *                               int*, float*, double*, char* or
 *                               char** variable (not its value)
 *   QorMathComplexf/Complex,    8 bytes, copied as they are       always
 *   any tag above Last
 *   Last                        nothing: the empty value          always
 *
 * The pointer kinds keep a reference to the caller's pointer variable, so
 * that a receiver can store a new address into it. Only the text kind owns
 * memory (operator new, length + 1 bytes; released by operator delete).
 * A text that cannot be copied stops the process (QorFatalError). */
#ifndef QORVARDMATHKERNEL_ENCAP_H
#define QORVARDMATHKERNEL_ENCAP_H

#include "QorVARDMathKernel/enums.h"
#include "QorVARDMathKernel/export.h"

#ifdef __cplusplus
#include "KORSYS/QorString.h"

class QVK_EXPORT QorVardTypeEncap {
 public:
  /* Empty: value 0, tag QorVardValueLast. Constant-initialized, so the
   * empty statics are usable by any code at load, whatever the order. */
  constexpr QorVardTypeEncap() : _Value(), _Type(QorVardValueLast) {}
  /* Starts empty, then assigns. */
  QorVardTypeEncap(const QorVardTypeEncap &other);
  QorVardTypeEncap(const int value);     /* QorVardValueInteger4 */
  QorVardTypeEncap(const float value);   /* QorVardValueReal4 */
  QorVardTypeEncap(const double value);  /* QorVardValueReal8 */
  /* QorVardValueString: a private copy of text, or null (empty) when text
   * is null. */
  QorVardTypeEncap(const char *text);
  /* The pointer kinds: the address of the referenced variable is kept. */
  QorVardTypeEncap(int *&pointer);     /* QorVardValueInteger4Ptr */
  QorVardTypeEncap(float *&pointer);   /* QorVardValueReal4Ptr */
  QorVardTypeEncap(double *&pointer);  /* QorVardValueReal8Ptr */
  QorVardTypeEncap(char *&pointer);    /* QorVardValueChar1Ptr */
  QorVardTypeEncap(char **&pointer);   /* QorVardValueChar1PtrPtr */
  /* Frees an owned text, then leaves value 0 and tag QorVardValueLast. */
  ~QorVardTypeEncap();

  /* Takes the source's value by its tag (a new copy of a text), frees the
   * text the target held, then stores the value and the tag. Assigning an
   * object to itself does nothing. */
  QorVardTypeEncap &operator=(const QorVardTypeEncap &source);

  bool IsEmpty() const;
  QorVardValue GetType() const { return _Type; }
  /* The value as the tag says; meaningful only for that tag. */
  int GetInteger() const { return _Value._Int; }
  float GetReal4() const { return _Value._Float; }
  double GetReal8() const { return _Value._Double; }
  const char *GetString() const { return _Value._Ptr; }
  /* The address of the caller's pointer variable (pointer kinds). */
  void *GetAddress() const { return _Value._Address; }

  /* Write nothing. */
  void PrintType() const;
  void PrintValue() const;
  void Dump() const;

  static QorVardTypeEncap EmptyEncap;

 protected:
  union Value {
    constexpr Value() : _Bytes() {}
    unsigned char _Bytes[8];
    int _Int;
    float _Float;
    double _Double;
    char *_Ptr;
    void *_Address;
  };
  Value _Value;
  QorVardValue _Type;
};

/* An error parameter: an int, a double, a text, or empty. */
class QVK_EXPORT QorVardTypeEncapError : public QorVardTypeEncap {
 public:
  /* Empty, as EmptyEncap. */
  constexpr QorVardTypeEncapError() : QorVardTypeEncap() {}
  QorVardTypeEncapError(const QorVardTypeEncapError &other);
  QorVardTypeEncapError(const int value);
  QorVardTypeEncapError(const double value);
  QorVardTypeEncapError(const char *text);  /* null: empty */
  ~QorVardTypeEncapError();
  QorVardTypeEncapError &operator=(const QorVardTypeEncapError &source);

  /* Appends the value to the list of its kind: an int to ints, a double to
   * reals, a text to strings. Nothing for an empty value or another kind. */
  void AddParameterInList(QorRawCollint &ints, QorRawColldouble &reals,
                          QorListValQorUnicodeString &strings) const;

  /* The unused parameters of the error factories. */
  static QorVardTypeEncapError EmptyEncapEr;
};
#endif

#endif

// Strings and collections of the system services.
//
// QorUnicodeString holds zero-terminated 8-bit text (UTF-8 passes through
// untouched); a null text builds the empty string. The collections index
// from 1, as the solver's Fortran heritage does.
#ifndef KORSYS_QORSTRING_H
#define KORSYS_QORSTRING_H

#include <cstddef>
#include <string>
#include <vector>

#include "KORSYS/export.h"

// A text owned by value.
class KORSYS_EXPORT QorUnicodeString {
 public:
  QorUnicodeString();
  QorUnicodeString(const char *text);                    // null gives empty
  QorUnicodeString(const char *text, int length);        // at most length bytes, stops at a zero
  QorUnicodeString(const QorUnicodeString &other);       // a copy of the text
  ~QorUnicodeString();

  // Assignment, concatenation and byte-wise comparison of the texts.
  QorUnicodeString &operator=(const QorUnicodeString &other);
  QorUnicodeString &operator=(const char *text);
  QorUnicodeString &operator+=(const QorUnicodeString &other);
  QorUnicodeString &operator+=(const char *text);
  QorUnicodeString operator+(const QorUnicodeString &other) const;
  QorUnicodeString operator+(const char *text) const;
  bool operator==(const QorUnicodeString &other) const;
  bool operator==(const char *text) const;  // null compares equal to ""
  bool operator!=(const QorUnicodeString &other) const { return !(*this == other); }
  bool operator!=(const char *text) const { return !(*this == text); }

  // Number of bytes before the terminating zero.
  int GetLengthInChar() const;
  // Read-only view of the text; valid until the string changes.
  const char *ConvertToChar() const;
  operator const char *() const { return ConvertToChar(); }

  // Replaces the contents by number printed with a printf format that
  // takes exactly one argument of that type. Returns 0, or a negative
  // status when the format gives no text.
  int BuildFromNum(int number, const char *format);
  int BuildFromNum(double number, const char *format);
  int BuildFromNum(unsigned long number, const char *format);

 private:
  std::string _Text;
};

// A message identifier (for instance "ERR_0302").
class KORSYS_EXPORT QorString {
 public:
  // As QorUnicodeString: a null text is the empty one.
  QorString();
  QorString(const char *text);
  QorString(const QorString &other);
  ~QorString();
  QorString &operator=(const QorString &other);
  QorString &operator=(const char *text);
  bool operator==(const char *text) const;
  const char *ConvertToChar() const;
  operator const char *() const { return ConvertToChar(); }
  int GetLengthInChar() const;

 private:
  std::string _Text;
};

// A growing list of values, indexed from 1. Indexing outside 1..Size()
// gives a default-built value rather than reading out of bounds.
template <class T>
class QorRawColl {
 public:
  void Append(const T &value) { _Items.push_back(value); }  // as value Size() + 1
  int Size() const { return static_cast<int>(_Items.size()); }  // number of values
  // Value i.
  const T &operator[](int i) const {
    static const T none{};
    return (i >= 1 && i <= Size()) ? _Items[static_cast<size_t>(i - 1)] : none;
  }
  void RemoveAll() { _Items.clear(); }  // empties the list

 private:
  std::vector<T> _Items;
};

class QorRawCollint : public QorRawColl<int> {};
class QorRawColldouble : public QorRawColl<double> {};
class QorListValQorUnicodeString : public QorRawColl<QorUnicodeString> {};

#endif

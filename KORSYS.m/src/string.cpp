#include <cstdio>
#include <cstring>
#include <new>

#include "KORSYS/QorString.h"

QorUnicodeString::QorUnicodeString() = default;
QorUnicodeString::QorUnicodeString(const char *text) : _Text(text ? text : "") {}
QorUnicodeString::QorUnicodeString(const char *text, int length) {
  if (text && length > 0) _Text.assign(text, strnlen(text, static_cast<size_t>(length)));
}
QorUnicodeString::QorUnicodeString(const QorUnicodeString &other) = default;
QorUnicodeString::~QorUnicodeString() = default;

QorUnicodeString &QorUnicodeString::operator=(const QorUnicodeString &other) = default;
QorUnicodeString &QorUnicodeString::operator=(const char *text) {
  _Text = text ? text : "";
  return *this;
}
QorUnicodeString &QorUnicodeString::operator+=(const QorUnicodeString &other) {
  _Text += other._Text;
  return *this;
}
QorUnicodeString &QorUnicodeString::operator+=(const char *text) {
  if (text) _Text += text;
  return *this;
}
QorUnicodeString QorUnicodeString::operator+(const QorUnicodeString &other) const {
  QorUnicodeString r(*this);
  r += other;
  return r;
}
QorUnicodeString QorUnicodeString::operator+(const char *text) const {
  QorUnicodeString r(*this);
  r += text;
  return r;
}
bool QorUnicodeString::operator==(const QorUnicodeString &other) const {
  return _Text == other._Text;
}
bool QorUnicodeString::operator==(const char *text) const { return _Text == (text ? text : ""); }
int QorUnicodeString::GetLengthInChar() const { return static_cast<int>(_Text.size()); }
const char *QorUnicodeString::ConvertToChar() const { return _Text.c_str(); }

namespace {
// printf into a string of the size the format asks for.
template <class T>
int build(std::string &out, const char *format, T number) {
  if (!format) return static_cast<int>(0x80070057u);
  char small[64];
  int n = snprintf(small, sizeof small, format, number);
  if (n < 0) return static_cast<int>(0x80004005u);
  if (static_cast<size_t>(n) < sizeof small) {
    out.assign(small, static_cast<size_t>(n));
  } else {
    try {
      std::string big(static_cast<size_t>(n) + 1, '\0');
      snprintf(&big[0], big.size(), format, number);
      big.resize(static_cast<size_t>(n));
      out.swap(big);
    } catch (const std::bad_alloc &) {
      return static_cast<int>(0x80004005u);  // the string keeps its text
    }
  }
  return 0;
}
}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
int QorUnicodeString::BuildFromNum(int number, const char *format) {
  return build(_Text, format, number);
}
int QorUnicodeString::BuildFromNum(double number, const char *format) {
  return build(_Text, format, number);
}
int QorUnicodeString::BuildFromNum(unsigned long number, const char *format) {
  return build(_Text, format, number);
}
#pragma GCC diagnostic pop

QorString::QorString() = default;
QorString::QorString(const char *text) : _Text(text ? text : "") {}
QorString::QorString(const QorString &other) = default;
QorString::~QorString() = default;
QorString &QorString::operator=(const QorString &other) = default;
QorString &QorString::operator=(const char *text) {
  _Text = text ? text : "";
  return *this;
}
bool QorString::operator==(const char *text) const { return _Text == (text ? text : ""); }
const char *QorString::ConvertToChar() const { return _Text.c_str(); }
int QorString::GetLengthInChar() const { return static_cast<int>(_Text.size()); }

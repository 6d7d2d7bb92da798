// Tagged values and error parameters.
#include <cstring>
#include <new>

#include "QorVARDMathKernel/encap.h"
#include "diagnostics/platform/platform.h"

// Constant-initialized (constexpr constructors): valid before any dynamic
// initializer of the library runs, and still empty after their destructors.
__constinit QorVardTypeEncap QorVardTypeEncap::EmptyEncap;
__constinit QorVardTypeEncapError QorVardTypeEncapError::EmptyEncapEr;

namespace {

// Where the fatal stops of a failed text copy say they are.
const char *const kSource = "QorVARDMathKernel.m/src/QorVardTypeEncap";
const int kAssignLine = 86;
const int kConstructLine = 164;

// A private copy of text (length + 1 bytes from operator new), or null
// when the memory cannot be had. The copy passes the platform's fault
// checkpoint, so that tests can make it fail.
char *copy_text(const char *text) {
  size_t length = strlen(text);
  if (QorFaultPoint()) return nullptr;
  char *copy = static_cast<char *>(::operator new(length + 1, std::nothrow));
  if (copy) memcpy(copy, text, length + 1);
  return copy;
}

bool is_word_kind(int tag) {
  return tag == QorVardValueInteger4 || tag == QorVardValueReal4;
}
bool is_pointer_kind(int tag) {
  return tag >= QorVardValueInteger4Ptr && tag <= QorVardValueChar1PtrPtr;
}

}  // namespace

QorVardTypeEncap::QorVardTypeEncap(const QorVardTypeEncap &other) : QorVardTypeEncap() {
  *this = other;
}
QorVardTypeEncap::QorVardTypeEncap(const int value) : _Type(QorVardValueInteger4) {
  _Value._Int = value;
}
QorVardTypeEncap::QorVardTypeEncap(const float value) : _Type(QorVardValueReal4) {
  _Value._Float = value;
}
QorVardTypeEncap::QorVardTypeEncap(const double value) : _Type(QorVardValueReal8) {
  _Value._Double = value;
}
QorVardTypeEncap::QorVardTypeEncap(const char *text) : _Type(QorVardValueString) {
  _Value._Ptr = nullptr;
  if (text) {
    _Value._Ptr = copy_text(text);
    if (!_Value._Ptr)
      QorFatalError("AssertionFailed:_Value._Ptr", nullptr, nullptr, nullptr, kSource,
                    kConstructLine);
  }
}
QorVardTypeEncap::QorVardTypeEncap(int *&pointer) : _Type(QorVardValueInteger4Ptr) {
  _Value._Address = &pointer;
}
QorVardTypeEncap::QorVardTypeEncap(float *&pointer) : _Type(QorVardValueReal4Ptr) {
  _Value._Address = &pointer;
}
QorVardTypeEncap::QorVardTypeEncap(double *&pointer) : _Type(QorVardValueReal8Ptr) {
  _Value._Address = &pointer;
}
QorVardTypeEncap::QorVardTypeEncap(char *&pointer) : _Type(QorVardValueChar1Ptr) {
  _Value._Address = &pointer;
}
QorVardTypeEncap::QorVardTypeEncap(char **&pointer) : _Type(QorVardValueChar1PtrPtr) {
  _Value._Address = &pointer;
}

QorVardTypeEncap::~QorVardTypeEncap() {
  if (_Type == QorVardValueString) ::operator delete(_Value._Ptr);
  _Value = Value();
  _Type = QorVardValueLast;
  // The empty value must really stay behind (a static may still be read by
  // later destructors at unload): the compiler may not drop these stores
  // as writes to a dead object.
  __asm__ __volatile__("" : : "r"(this) : "memory");
}

QorVardTypeEncap &QorVardTypeEncap::operator=(const QorVardTypeEncap &source) {
  if (this == &source) return *this;
  // Take the source's value first: a failed copy leaves the target as it was.
  const int tag = source._Type;
  Value taken;
  if (tag == QorVardValueString) {
    taken._Ptr = nullptr;
    if (source._Value._Ptr) {
      taken._Ptr = copy_text(source._Value._Ptr);
      if (!taken._Ptr)
        QorFatalError("AssertionFailed:copiedContent._Ptr", nullptr, nullptr, nullptr, kSource,
                      kAssignLine);
    }
  } else if (is_word_kind(tag)) {
    memcpy(taken._Bytes, source._Value._Bytes, 4);
  } else if (is_pointer_kind(tag)) {
    taken._Address = source._Value._Address;
  } else {
    taken = source._Value;  // 8 bytes as they are
  }
  if (_Type == QorVardValueString) ::operator delete(_Value._Ptr);
  _Value = taken;
  _Type = source._Type;
  return *this;
}

bool QorVardTypeEncap::IsEmpty() const {
  switch (_Type) {
    case QorVardValueInteger4:
    case QorVardValueReal4:
    case QorVardValueReal8:
    case QorVardValueInteger4Ptr:
    case QorVardValueReal4Ptr:
    case QorVardValueReal8Ptr:
    case QorVardValueChar1Ptr:
    case QorVardValueChar1PtrPtr:
      return false;
    case QorVardValueString:
      return _Value._Ptr == nullptr;
    default:
      return true;
  }
}

void QorVardTypeEncap::PrintType() const {}
void QorVardTypeEncap::PrintValue() const {}
void QorVardTypeEncap::Dump() const {
  PrintType();
  PrintValue();
}

QorVardTypeEncapError::QorVardTypeEncapError(const QorVardTypeEncapError &other)
    : QorVardTypeEncap(other) {}
QorVardTypeEncapError::QorVardTypeEncapError(const int value) : QorVardTypeEncap(value) {}
QorVardTypeEncapError::QorVardTypeEncapError(const double value) : QorVardTypeEncap(value) {}
QorVardTypeEncapError::QorVardTypeEncapError(const char *text) : QorVardTypeEncap(text) {}
QorVardTypeEncapError::~QorVardTypeEncapError() = default;
QorVardTypeEncapError &QorVardTypeEncapError::operator=(const QorVardTypeEncapError &source) {
  QorVardTypeEncap::operator=(source);
  return *this;
}

void QorVardTypeEncapError::AddParameterInList(QorRawCollint &ints, QorRawColldouble &reals,
                                               QorListValQorUnicodeString &strings) const {
  if (IsEmpty()) return;
  switch (_Type) {
    case QorVardValueInteger4: ints.Append(_Value._Int); break;
    case QorVardValueReal8: reals.Append(_Value._Double); break;
    case QorVardValueString: strings.Append(QorUnicodeString(_Value._Ptr)); break;
    default: break;  // floats and pointers are not error parameters
  }
}

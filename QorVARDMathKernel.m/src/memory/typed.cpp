// Typed pointers for the memory manager, and the element sizes of the
// value tags.
#include <cstdint>

#include "KORSYS/QorSystem.h"
#include "QorVARDMathKernel/memory.h"
#include "memory/raise.h"

namespace {
const int kPairs = 11;
const int kOverflowError = 1025;
const int kOverflowWarning = 1026;
}  // namespace

QorVardTypeEncapMemory QorVardTypeEncapMemory::EmptyEncapMem;

int GetStratoSizeOf(QorVardValue tag) {
  switch (tag) {
    case QorVardValueInteger4:
    case QorVardValueReal4:
    case QorVardValueChar4: return 4;
    case QorVardValueReal8: return 8;
    case QorVardValueChar1: return 1;
    case QorVardValueInteger4Ptr:
    case QorVardValueChar1Ptr: return static_cast<int>(sizeof(void *));
    case QorVardValueQorMathComplexf: return 8;
    case QorVardValueQorMathComplex: return 16;
    default: return 0;
  }
}

QorVardValue GetPointedType(QorVardValue tag) {
  switch (tag) {
    case QorVardValueInteger4Ptr: return QorVardValueInteger4;
    case QorVardValueReal4Ptr: return QorVardValueReal4;
    case QorVardValueReal8Ptr: return QorVardValueReal8;
    case QorVardValueChar1Ptr: return QorVardValueChar1;
    case QorVardValueChar1PtrPtr: return QorVardValueChar1Ptr;
    default: return QorVardValueLast;
  }
}

QorVardTypeEncapMemory::QorVardTypeEncapMemory(const QorVardTypeEncapMemory &other)
    : QorVardTypeEncap(other) {}
QorVardTypeEncapMemory::QorVardTypeEncapMemory(int *&pointer) : QorVardTypeEncap(pointer) {}
QorVardTypeEncapMemory::QorVardTypeEncapMemory(float *&pointer) : QorVardTypeEncap(pointer) {}
QorVardTypeEncapMemory::QorVardTypeEncapMemory(double *&pointer) : QorVardTypeEncap(pointer) {}
QorVardTypeEncapMemory::QorVardTypeEncapMemory(char *&pointer) : QorVardTypeEncap(pointer) {}
QorVardTypeEncapMemory::QorVardTypeEncapMemory(char **&pointer) : QorVardTypeEncap(pointer) {}
QorVardTypeEncapMemory::~QorVardTypeEncapMemory() {}

QorVardTypeEncapMemory::operator char **() const {
  return static_cast<char **>(_Value._Address);
}

int QorVardTypeEncapMemory::GetStratoSizeOfPointedType() const {
  return GetStratoSizeOf(GetPointedType(_Type));
}

int QorVardMemoryManager::Allocation(int &index, QorVardTypeEncapMemory p1, int n1,
                                     QorVardTypeEncapMemory p2, int n2, QorVardTypeEncapMemory p3,
                                     int n3, QorVardTypeEncapMemory p4, int n4,
                                     QorVardTypeEncapMemory p5, int n5, QorVardTypeEncapMemory p6,
                                     int n6, QorVardTypeEncapMemory p7, int n7,
                                     QorVardTypeEncapMemory p8, int n8, QorVardTypeEncapMemory p9,
                                     int n9, QorVardTypeEncapMemory p10, int n10,
                                     QorVardTypeEncapMemory p11, int n11) {
  const QorVardTypeEncapMemory *holders[kPairs] = {&p1, &p2, &p3, &p4, &p5, &p6,
                                                   &p7, &p8, &p9, &p10, &p11};
  const int counts[kPairs] = {n1, n2, n3, n4, n5, n6, n7, n8, n9, n10, n11};
  unsigned int lengths[kPairs] = {};
  char **targets[kPairs] = {};
  int count = 0;
  // Pairs are taken from the first up to an empty holder, a zero count or
  // a zero length (a holder of size 0 cannot come from the constructors).
  for (; count < kPairs; ++count) {
    const QorVardTypeEncapMemory &h = *holders[count];
    const int n = counts[count];
    if (h.IsEmpty() || n == 0) break;
    const uint64_t size = static_cast<uint64_t>(h.GetStratoSizeOfPointedType());
    // A negative count has no length; a length past 32 bits is not wrapped.
    const uint64_t bytes = n < 0 ? UINT64_MAX : size * static_cast<uint64_t>(n);
    if (bytes > UINT32_MAX) {
      if (_WarningMode) {
        qvk_memory::raise_numbered(true, kOverflowWarning, 0);
        return 8;
      }
      qvk_memory::raise_numbered(false, kOverflowError, 0);
      return QOR_E_FAIL;
    }
    if (bytes == 0) break;
    lengths[count] = static_cast<unsigned int>(bytes);
    targets[count] = static_cast<char **>(h);
  }
  for (int k = count + 1; k < kPairs; ++k) {
    if (counts[k] != 0 && !holders[k]->IsEmpty()) {
      qvk_memory::raise_text("Memory allocation: Array type not recognized", true);
      return QOR_E_FAIL;
    }
  }
  return Allocation(count, index, targets[0], lengths[0], targets[1], lengths[1], targets[2],
                    lengths[2], targets[3], lengths[3], targets[4], lengths[4], targets[5],
                    lengths[5], targets[6], lengths[6], targets[7], lengths[7], targets[8],
                    lengths[8], targets[9], lengths[9], targets[10], lengths[10]);
}

int QorVardTypeEncapMemory::Test() {
  QorVardMemoryManager *manager = new QorVardMemoryManager(100);
  char **texts = nullptr;
  int *first = nullptr, *second = nullptr;
  float *reals4 = nullptr;
  double *reals8 = nullptr;
  char *chars = nullptr;
  int index = 0;
  int rc = manager->Allocation(index, texts, 5, first, 100, reals4, 44, second, 31, reals8, 110,
                               chars, 10);
  if (rc != 0) {
    delete manager;
    return rc;
  }
  static const char *const kTexts[5] = {"one", "two", "three", "four", "five"};
  for (int i = 0; i < 5; ++i) texts[i] = const_cast<char *>(kTexts[i]);
  for (int i = 0; i < 100; ++i) first[i] = i + 1;
  for (int i = 0; i < 44; ++i) reals4[i] = static_cast<float>(i + 1);
  for (int i = 0; i < 31; ++i) second[i] = i + 1;
  for (int i = 0; i < 110; ++i) reals8[i] = static_cast<double>(i + 1);
  for (int i = 0; i < 10; ++i) chars[i] = 'a';
  delete manager;
  return 0;
}

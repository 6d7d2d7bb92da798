// The memory manager: three tables indexed by entry (block, words) and by
// allocation index (last entry of the index), grown by a fixed step.
//
// Entries of the live indices form one run from entry 0; index k owns the
// entries boundary(k-1)+1 .. boundary(k). An entry is one block: either a
// whole request carved into aligned arrays, or one array of it. A request
// is recorded only once all its blocks are had, so a failed request leaves
// no entry and takes no index.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "KORSYS/QorSystem.h"
#include "QorVARDMathKernel/memory.h"
#include "memory/probes.h"
#include "memory/raise.h"

namespace {

const int kMaxPairs = 11;
const int kNoMemory = 302;
const int kShortage = 300;
const int kOverflowError = 1025;
const int kOverflowWarning = 1026;
const int kWarningResult = 8;

char *aligned(char *block) {
  uintptr_t a = reinterpret_cast<uintptr_t>(block);
  return a % 8 ? reinterpret_cast<char *>(a - a % 8 + 8) : block;
}

// Amounts travel in kilobytes: words / 128, truncated toward zero.
int kilobytes(long long words) { return static_cast<int>(words / 128); }

// Words that a block of n words plus its alignment word takes, in bytes;
// 0 when that does not fit in the address space.
size_t block_bytes(uint64_t words) {
  if (words + 1 > SIZE_MAX / 8) return 0;
  return static_cast<size_t>((words + 1) * 8);
}

int available_words(long long words) {
  int available = 0;
  CheckAvailableMemory(words > INT32_MAX ? INT32_MAX : static_cast<int>(words), available);
  return available;
}

}  // namespace

QorVardMemoryManager::QorVardMemoryManager(int growthStep)
    : _BlockTable(nullptr),
      _LengthTable(nullptr),
      _BoundaryTable(nullptr),
      _Capacity(0),
      _CurrentIndex(0),
      _GrowthStep(growthStep < 1 ? 1 : growthStep),
      _WordsInUse(0),
      _PeakWords(0),
      _WarningMode(0) {
  ExtensionTable();
}

QorVardMemoryManager::~QorVardMemoryManager() {
  if (_Capacity > 0) ReleaseEntries(0, _BoundaryTable[_CurrentIndex]);
  free(_BlockTable);
  free(_LengthTable);
  free(_BoundaryTable);
}

int QorVardMemoryManager::ExtensionTable() {
  if (_GrowthStep > INT32_MAX - _Capacity) return QOR_E_FAIL;
  size_t slots = static_cast<size_t>(_Capacity) + static_cast<size_t>(_GrowthStep);
  if (slots > SIZE_MAX / sizeof(char *)) return QOR_E_FAIL;
  // Each table is stored as soon as it has its new size: a later failure
  // leaves it larger than the capacity, which does no harm.
  void *blocks = _BlockTable ? QorUnsecuredMemRealloc(_BlockTable, slots * sizeof(char *))
                             : QorUnsecuredMemAlloc(slots * sizeof(char *));
  if (!blocks) return QOR_E_FAIL;
  _BlockTable = static_cast<char **>(blocks);
  void *lengths = _LengthTable ? QorUnsecuredMemRealloc(_LengthTable, slots * sizeof(unsigned))
                               : QorUnsecuredMemAlloc(slots * sizeof(unsigned));
  if (!lengths) return QOR_E_FAIL;
  _LengthTable = static_cast<unsigned int *>(lengths);
  bool fresh = _BoundaryTable == nullptr;
  void *bounds = _BoundaryTable ? QorUnsecuredMemRealloc(_BoundaryTable, slots * sizeof(int))
                                : QorUnsecuredMemAlloc(slots * sizeof(int));
  if (!bounds) return QOR_E_FAIL;
  _BoundaryTable = static_cast<int *>(bounds);
  if (fresh) _BoundaryTable[0] = -1;
  // New entries start released, so that no slot past the live run ever
  // holds a stale block.
  for (size_t e = static_cast<size_t>(_Capacity); e < slots; ++e) {
    _BlockTable[e] = nullptr;
    _LengthTable[e] = 0;
  }
  _Capacity = static_cast<int>(slots);
  return 0;
}

// Grows the tables until slot is below the capacity.
int QorVardMemoryManager::EnsureSlots(int slot) {
  while (slot >= _Capacity)
    if (ExtensionTable() != 0) return QOR_E_FAIL;
  return 0;
}

// Error 302 for tables that cannot grow: the capacity asked for and the
// words available.
int QorVardMemoryManager::FailTables() {
  long long asked = static_cast<long long>(_Capacity) + _GrowthStep;
  qvk_memory::raise_numbered(false, kNoMemory, 2, kilobytes(asked),
                             kilobytes(available_words(asked)));
  return QOR_E_FAIL;
}

int QorVardMemoryManager::FailOverflow() {
  if (_WarningMode) {
    qvk_memory::raise_numbered(true, kOverflowWarning, 0);
    return kWarningResult;
  }
  qvk_memory::raise_numbered(false, kOverflowError, 0);
  return QOR_E_FAIL;
}

// Newest first, the order in which an allocator best takes blocks back.
void QorVardMemoryManager::ReleaseEntries(int first, int last) {
  for (int e = last; e >= first; --e) {
    if (!_BlockTable[e]) continue;
    free(_BlockTable[e]);  // as DestructionElement, without the call
    _BlockTable[e] = nullptr;
    _WordsInUse -= _LengthTable[e];
    _LengthTable[e] = 0;
  }
}

int QorVardMemoryManager::Allocation(int count, int &index, char **&pointers,
                                     unsigned int *lengths) {
  if (count > 0 && (!lengths || !pointers)) {
    qvk_memory::raise_text("Null Allocation Length", false);
    return QOR_E_FAIL;
  }
  uint64_t total = 0;
  for (int i = 0; i < count; ++i) {
    if (lengths[i] == 0) {
      qvk_memory::raise_text("Null Allocation Length", false);
      return QOR_E_FAIL;
    }
    lengths[i] = lengths[i] / 8 + 1;
    total += lengths[i];
  }
  if (count < 1) {
    qvk_memory::raise_text("Null Allocation Length", false);
    return QOR_E_FAIL;
  }
  // The words held must stay countable in 32 bits, and the block (one
  // word more) addressable.
  if (total + _WordsInUse > UINT32_MAX || block_bytes(total) == 0) return FailOverflow();

  if (_Capacity == 0 && ExtensionTable() != 0) return FailTables();
  int last = _BoundaryTable[_CurrentIndex];
  if (last + 2 >= _Capacity && EnsureSlots(last + 2) != 0) return FailTables();

  if (_WarningMode && total + 1 > qvk_memory::allowance_words()) return kWarningResult;

  int recorded;
  char *block = qvk_memory::one_block_refused() || QorFaultPoint()
                    ? nullptr
                    : static_cast<char *>(malloc(block_bytes(total)));
  if (block) {
    char *p = aligned(block);
    for (int i = 0; i < count; ++i) {
      pointers[i] = p;
      p += 8 * static_cast<size_t>(lengths[i]);
    }
    _BlockTable[last + 1] = block;
    _LengthTable[last + 1] = static_cast<unsigned int>(total);
    recorded = last + 1;
  } else {
    int rc = SeparateArrays(count, pointers, lengths, last);
    if (rc != 0) return rc;
    recorded = last + count;
  }
  ++_CurrentIndex;
  _BoundaryTable[_CurrentIndex] = recorded;
  _WordsInUse += static_cast<unsigned int>(total);
  if (_WordsInUse > _PeakWords) _PeakWords = _WordsInUse;
  index = _CurrentIndex;
  return 0;
}

// One block per array, recorded after entry last. On a failure the arrays
// already had for this request are released and their slots cleared.
int QorVardMemoryManager::SeparateArrays(int count, char **pointers, const unsigned int *words,
                                         int last) {
  if (count > INT32_MAX - 2 - last || EnsureSlots(last + count + 1) != 0) return FailTables();
  for (int i = 0; i < count; ++i) {
    const unsigned int w = words[i];
    bool refused = false;
    int asked = kilobytes(w), available = 0;
    if (_WarningMode) {
      unsigned int allowance = qvk_memory::allowance_words();
      if (static_cast<uint64_t>(w) + 1 > allowance) {
        refused = true;
        available = kilobytes(static_cast<int>(allowance));
      }
    }
    char *block = nullptr;
    if (!refused) {
      block = static_cast<char *>(QorUnsecuredMemAlloc(block_bytes(w)));
      if (!block) {
        refused = true;
        available = kilobytes(available_words(w));
      }
    }
    if (refused) {
      for (int j = 0; j < i; ++j) {
        DestructionElement(_BlockTable[last + 1 + j]);
        _LengthTable[last + 1 + j] = 0;
        pointers[j] = nullptr;
      }
      if (_WarningMode) {
        qvk_memory::raise_numbered(true, kShortage, 2, asked, available);
        return kWarningResult;
      }
      qvk_memory::raise_numbered(false, kNoMemory, 2, asked, available);
      return QOR_E_FAIL;
    }
    pointers[i] = aligned(block);
    _BlockTable[last + 1 + i] = block;
    _LengthTable[last + 1 + i] = w;
  }
  return 0;
}

int QorVardMemoryManager::Allocation(int count, int &index, char **p1, unsigned int l1, char **p2,
                                     unsigned int l2, char **p3, unsigned int l3, char **p4,
                                     unsigned int l4, char **p5, unsigned int l5, char **p6,
                                     unsigned int l6, char **p7, unsigned int l7, char **p8,
                                     unsigned int l8, char **p9, unsigned int l9, char **p10,
                                     unsigned int l10, char **p11, unsigned int l11) {
  if (count > kMaxPairs) {
    qvk_memory::raise_text("Memory allocation: more than 11 arrays in one request", false);
    return QOR_E_FAIL;
  }
  // Only the pairs in use are copied: a request is mostly one to three.
  unsigned int lengths[kMaxPairs];
  char **targets[kMaxPairs];
  switch (count) {
#define QVK_PAIR(k, p, l) \
  case k:                 \
    lengths[k - 1] = l;   \
    targets[k - 1] = p;   \
    [[fallthrough]];
    QVK_PAIR(11, p11, l11)
    QVK_PAIR(10, p10, l10)
    QVK_PAIR(9, p9, l9)
    QVK_PAIR(8, p8, l8)
    QVK_PAIR(7, p7, l7)
    QVK_PAIR(6, p6, l6)
    QVK_PAIR(5, p5, l5)
    QVK_PAIR(4, p4, l4)
    QVK_PAIR(3, p3, l3)
    QVK_PAIR(2, p2, l2)
    QVK_PAIR(1, p1, l1)
#undef QVK_PAIR
    default: break;
  }
  char *slots[kMaxPairs];  // only the first count are written, on success
  char **pointers = slots;
  int rc = Allocation(count, index, pointers, lengths);
  if (rc != 0) return rc;
  for (int i = 0; i < count; ++i)
    if (targets[i]) *targets[i] = slots[i];
  return 0;
}

int QorVardMemoryManager::Reallocation(int index, char *&pointer, unsigned int newLength) {
  if (index < 1 || index > _CurrentIndex) return QOR_E_FAIL;
  const int e = _BoundaryTable[index];
  char *a = _BlockTable[e];
  const unsigned int old_words = _LengthTable[e];
  const unsigned int new_words = newLength / 8;
  if (static_cast<uint64_t>(_WordsInUse) - old_words + new_words > UINT32_MAX ||
      newLength > SIZE_MAX - 8)
    return FailOverflow();
  // The array lives at the aligned address of its block; realloc keeps the
  // block's bytes, so afterwards the array sits at the same offset in the
  // new block and moves to that block's aligned address with its whole
  // length.
  const size_t offset = a ? static_cast<size_t>(aligned(a) - a) : 0;
  char *b = static_cast<char *>(QorUnsecuredMemRealloc(a, static_cast<size_t>(newLength) + 8));
  if (!b) {
    long long asked = static_cast<long long>(newLength) / 8 + 1;
    qvk_memory::raise_numbered(false, kNoMemory, 2, kilobytes(asked),
                               kilobytes(available_words(asked)));
    return QOR_E_FAIL;
  }
  char *array = aligned(b);
  if (array != b + offset) memmove(array, b + offset, newLength);
  _BlockTable[e] = b;
  _WordsInUse = _WordsInUse - old_words + new_words;
  _LengthTable[e] = new_words;
  if (_WordsInUse > _PeakWords) _PeakWords = _WordsInUse;
  pointer = array;
  return 0;
}

int QorVardMemoryManager::ManualReallocation(int &index, char *&pointer, unsigned int copyBytes,
                                             unsigned int newLength) {
  // Checked first: the new array must not be left orphaned under an index
  // that the caller never learns.
  if (index < 1 || index > _CurrentIndex) return QOR_E_FAIL;
  char *q = nullptr;
  int n = 0;
  int rc = Allocation(1, n, &q, newLength);
  if (rc != 0) return rc;
  size_t copy = copyBytes < newLength ? copyBytes : newLength;
  if (pointer && copy) memcpy(q, pointer, copy);
  rc = Desallocation(-index);
  if (rc != 0) return rc;
  index = n;
  pointer = q;
  return 0;
}

int QorVardMemoryManager::Desallocation(int index) {
  if (index == 0) return QOR_E_FAIL;
  if (index > _CurrentIndex) return 0;
  if (index > 0) {
    ReleaseEntries(_BoundaryTable[index - 1] + 1, _BoundaryTable[_CurrentIndex]);
    _CurrentIndex = index - 1;
    return 0;
  }
  // -k empties index k in place; an index not on the stack is passed over.
  long long k = -static_cast<long long>(index);
  if (k <= _CurrentIndex)
    ReleaseEntries(_BoundaryTable[k - 1] + 1, _BoundaryTable[k]);
  return 0;
}

int QorVardMemoryManager::Desallocation(int count, int *indices) {
  if (!indices) return 0;
  for (int i = 0; i < count; ++i) {
    int k = indices[i];
    if (k > 0 && k <= _CurrentIndex) ReleaseEntries(_BoundaryTable[k - 1] + 1, _BoundaryTable[k]);
  }
  return 0;
}

int QorVardMemoryManager::DestructionElement(char *&pointer) {
  if (pointer) {
    free(pointer);
    pointer = nullptr;
  }
  return 0;
}

int QorVardMemoryManager::GetIndiceAllocation() const { return _CurrentIndex + 1; }

float QorVardMemoryManager::GetMemoryUsed() const { return static_cast<float>(_PeakWords); }

void QorVardMemoryManager::SetModeWarning() { _WarningMode = 1; }
void QorVardMemoryManager::ResetModeWarning() { _WarningMode = 0; }

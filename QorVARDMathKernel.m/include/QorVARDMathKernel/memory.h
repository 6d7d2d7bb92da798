/* Memory services: allowances and machine probes, the memory manager that
 * hands out working arrays under a stack of allocation indices, and typed
 * allocation.
 *
 * Units. A word is 8 bytes; the services count memory in words, in
 * unsigned 32-bit counters. Byte lengths given to the manager are unsigned
 * 32-bit. Counts that cannot be represented are reported (error 1025, or
 * warning 1026 in warning mode), never wrapped.
 *
 * Environment (read through the platform's QorGetEnv):
 *   VARD_MAX_ALLOC    cap on the allowance, in units of 1,024,144 bytes
 *   VARD_REAL_MEMORY  the machine's real memory in Mb (131,072 words each)
 *   MALLOCTYPE        when set, the allowance keeps 64 MiB more in reserve
 *   OMP_NUM_THREADS   processors to use, read with "%i" (10, 010, 0x10)
 *
 * Machine measures. In the 32-bit build the allowance follows the program
 * break (sbrk) and the largest break (ulimit 3), probing the heap with
 * trial blocks in 4 MiB steps. A 64-bit Linux machine that overcommits
 * grants a trial block of almost any size and may kill the process once
 * the pages are touched, so the 64-bit build does not trust trial blocks
 * alone. There the limit is the smaller of the data-segment and
 * address-space resource limits (less 128 MiB, and 64 MiB more with
 * MALLOCTYPE), taken on the first call; on every call the room is the
 * smaller of (limit - bytes the allocator holds from the system) and the
 * memory the machine can still back: MemAvailable, the commit room under
 * strict overcommit accounting, and the control group's memory limit, each
 * less the same reserve. The free space inside the allocator's heap counts
 * as already obtained. Amounts are kept in 4 MiB steps; the divisor is 10.
 *
 * Threads: the first-call caches of the probes are unguarded; make the
 * first call of each probe from one thread. A memory manager is used by
 * one thread at a time. */
#ifndef QORVARDMATHKERNEL_MEMORY_H
#define QORVARDMATHKERNEL_MEMORY_H

#include "QorVARDMathKernel/export.h"

QVK_EXTERN_C_BEGIN

/* State kept by ehumem: stratoFirst is 1 until the first call, then 0;
 * siz is the real memory in words as found (before the cap); page is 1
 * after the first call. */
QVK_EXPORT extern int stratoFirst;
QVK_EXPORT extern long long siz;
QVK_EXPORT extern long long page;
/* The three answers of getblas, filled by the first call of ehaldb. */
QVK_EXPORT extern int eaxblas[3];

/* Words that the next allocation may take: the room for growth of the heap
 * in bytes, divided by 10, then capped by VARD_MAX_ALLOC
 * (LimitAvailableMemory). When the heap has reached its limit, prints
 * "*** WARNING *** Less than 128 Mb " on standard output.
 * allowance [out] at most 2^31 - 1. */
QVK_EXPORT void ehalmxc(int *allowance);

/* The machine's real memory in words (page size x physical pages / 8), or
 * VARD_REAL_MEMORY x 131,072 when that is set (read on the first call);
 * anything above 268,000,000 or below 1 gives 268,000,000.
 * words [out]. */
QVK_EXPORT void ehumem(int *words);

/* processors [out] OMP_NUM_THREADS read with "%i"; 1 when unset or not a
 * number. */
QVK_EXPORT void ehucpu(int *processors);

/* The kind of optimized BLAS in use: always 0 here. Returns 0.
 * kind [out]. */
QVK_EXPORT int ehaldb(int *kind);

/* a, b, c [out] all 0 (no vendor BLAS). */
QVK_EXPORT void getblas(int *a, int *b, int *c);

/* text [out] the empty text (its first byte is set to 0). */
QVK_EXPORT void getversionmkl(char *text);

QVK_EXTERN_C_END

#ifdef __cplusplus
#include "QorVARDMathKernel/encap.h"
#include "QorVARDMathKernel/enums.h"

/* The largest block, in words, that the platform allocator grants now,
 * found by trial from 8 x words - 512,000 bytes down in 512,000-byte
 * steps (a request past 32 bits of bytes starts at the top of that range).
 * A request of 64,000 words or less: in the 32-bit build the start wraps
 * to the top of the 32-bit range; in the 64-bit build it gives 0 without
 * a trial, and every start is first lowered to the room that the machine
 * can back (see above).
 * available [out] the block found, in words; 0 when none. */
QVK_EXPORT void CheckAvailableMemory(int words, int &available);

/* words [in,out] capped to VARD_MAX_ALLOC x 1,024,144 / 8 when that is set
 * to a positive number; null or unset: nothing changes. */
QVK_EXPORT void LimitAvailableMemory(int *words);

/* value [out] 187,900,000. */
QVK_EXPORT void GetMaxSlaveMemory(int *value);

/* Always false. */
QVK_EXPORT bool IsPentium4();

/* The size in bytes of one value of a tag: 4 for integers, single reals
 * and 4-byte characters, 8 for double reals and single complexes, 16 for
 * double complexes, 1 for characters, the width of an address for int*
 * and char*; 0 for every other tag. */
QVK_EXPORT int GetStratoSizeOf(QorVardValue tag);
/* The element tag a pointer tag points to (char** points to char*);
 * QorVardValueLast for a tag that is not a pointer. */
QVK_EXPORT QorVardValue GetPointedType(QorVardValue tag);

/* A typed pointer for QorVardMemoryManager::Allocation: the address of the
 * caller's pointer variable and the kind of that pointer. The holder never
 * owns the array. */
class QVK_EXPORT QorVardTypeEncapMemory : public QorVardTypeEncap {
 public:
  /* Empty. Constant-initialized, so EmptyEncapMem is usable at load. */
  constexpr QorVardTypeEncapMemory() : QorVardTypeEncap() {}
  QorVardTypeEncapMemory(const QorVardTypeEncapMemory &other);
  QorVardTypeEncapMemory(int *&pointer);
  QorVardTypeEncapMemory(float *&pointer);
  QorVardTypeEncapMemory(double *&pointer);
  QorVardTypeEncapMemory(char *&pointer);
  QorVardTypeEncapMemory(char **&pointer);
  ~QorVardTypeEncapMemory();

  /* The address of the caller's pointer variable. */
  operator char **() const;
  /* Bytes of one element of the array: 4 for int* and float*, 8 for
   * double*, 1 for char*, the width of an address for char**; 0 when
   * empty. */
  int GetStratoSizeOfPointedType() const;

  /* Allocates six typed arrays through a manager, fills them and releases
   * them; returns the manager's status (0 on success). */
  static int Test();

  static QorVardTypeEncapMemory EmptyEncapMem; /* the value of unused pairs */
};

/* Working arrays for the solver's classes, handed out under a stack of
 * allocation indices 1, 2, 3, ...: each successful Allocation files its
 * arrays under the next index; Desallocation(k) releases k and everything
 * handed out after it. Every array is aligned on 8 bytes and counted in
 * words: a length of L bytes takes floor(L/8) + 1 words.
 *
 * One request is served by one block when possible, else by one block per
 * array. Blocks come from malloc (one block) or the platform allocator
 * (separate arrays, tables), all through the platform's fault checkpoint,
 * and are released with free.
 *
 * Statuses: 0 success; 0x80004005 (QOR_E_FAIL) failure; 8 a shortage
 * reported as a warning (warning mode). Failures are raised through the
 * error factories, catalog "QorVARDMathKernelError", amounts in kilobytes
 * (words / 128): error 302 (words asked for, words available) when memory
 * or the tables cannot be had; warning 300 (words asked for, allowance)
 * in warning mode; error 1025 / warning 1026 when a length or a count of
 * words does not fit in 32 bits; internal errors "Null Allocation Length"
 * and "Memory allocation: Array type not recognized". A failed request
 * gets no index, leaves nothing allocated and leaves every earlier index
 * as it was. */
class QVK_EXPORT QorVardMemoryManager {
 public:
  /* growthStep: slots added to the tables by one extension (at least 1;
   * a smaller value counts as 1). The tables are built at once; if they
   * cannot be had, the first Allocation tries again. */
  explicit QorVardMemoryManager(int growthStep);
  /* Releases every block still held, then the tables. */
  virtual ~QorVardMemoryManager();

  /* count arrays (1 .. any) under a new index.
   * index    [out] the new index (unchanged on failure)
   * pointers [out] count slots, each receives an aligned array
   * lengths  [in,out] count lengths in bytes, each > 0; rewritten with the
   *          word counts (up to the first zero length on failure). */
  int Allocation(int count, int &index, char **&pointers, unsigned int *lengths);

  /* The same with up to eleven (pointer, length in bytes) pairs; the
   * caller's lengths are left as they were and each pointer receives its
   * array on success. count must lie between 1 and 11; later pairs are
   * ignored. */
  int Allocation(int count, int &index, char **p1, unsigned int l1, char **p2 = 0,
                 unsigned int l2 = 0, char **p3 = 0, unsigned int l3 = 0, char **p4 = 0,
                 unsigned int l4 = 0, char **p5 = 0, unsigned int l5 = 0, char **p6 = 0,
                 unsigned int l6 = 0, char **p7 = 0, unsigned int l7 = 0, char **p8 = 0,
                 unsigned int l8 = 0, char **p9 = 0, unsigned int l9 = 0, char **p10 = 0,
                 unsigned int l10 = 0, char **p11 = 0, unsigned int l11 = 0);

  /* Typed pairs (holder, element count); the pairs are taken from the
   * first up to the first empty holder or zero count, and a usable pair
   * after that is an error. A count whose byte length does not fit in 32
   * bits (a negative count included) raises 1025 (0x80004005), or 1026
   * in warning mode (8). */
  int Allocation(int &index, QorVardTypeEncapMemory p1, int n1,
                 QorVardTypeEncapMemory p2 = QorVardTypeEncapMemory::EmptyEncapMem, int n2 = 0,
                 QorVardTypeEncapMemory p3 = QorVardTypeEncapMemory::EmptyEncapMem, int n3 = 0,
                 QorVardTypeEncapMemory p4 = QorVardTypeEncapMemory::EmptyEncapMem, int n4 = 0,
                 QorVardTypeEncapMemory p5 = QorVardTypeEncapMemory::EmptyEncapMem, int n5 = 0,
                 QorVardTypeEncapMemory p6 = QorVardTypeEncapMemory::EmptyEncapMem, int n6 = 0,
                 QorVardTypeEncapMemory p7 = QorVardTypeEncapMemory::EmptyEncapMem, int n7 = 0,
                 QorVardTypeEncapMemory p8 = QorVardTypeEncapMemory::EmptyEncapMem, int n8 = 0,
                 QorVardTypeEncapMemory p9 = QorVardTypeEncapMemory::EmptyEncapMem, int n9 = 0,
                 QorVardTypeEncapMemory p10 = QorVardTypeEncapMemory::EmptyEncapMem, int n10 = 0,
                 QorVardTypeEncapMemory p11 = QorVardTypeEncapMemory::EmptyEncapMem, int n11 = 0);

  /* Resizes the last block of index (the whole index when it holds one
   * array) to newLength bytes, keeping its contents up to the smaller
   * length; the block then counts floor(newLength / 8) words.
   * index   [in] a live index
   * pointer [in,out] receives the array's new (aligned) address.
   * Returns 0; 0x80004005 for an index that is not live or a failed
   * resize (error 302), and then the old array, its entry and pointer are
   * kept. A length whose words do not fit raises 1025 (1026 and 8 in
   * warning mode). */
  int Reallocation(int index, char *&pointer, unsigned int newLength);

  /* Moves an array to a new index on top of the stack: a new array of
   * newLength bytes, the first copyBytes bytes copied into it (never more
   * than newLength), the old index emptied (it stays on the stack).
   * index [in,out] a live index, then the new one; pointer [in,out] the
   * old array, then the new one. Any failure leaves both unchanged. */
  int ManualReallocation(int &index, char *&pointer, unsigned int copyBytes,
                         unsigned int newLength);

  /* index > 0: releases index and every later one (nothing for an index
   * above the current one); -k: empties index k only, which stays on the
   * stack; 0: returns 0x80004005. */
  int Desallocation(int index);
  /* Empties each positive listed index that is live; the stack does not
   * change. Returns 0. */
  int Desallocation(int count, int *indices);

  /* Releases pointer with free and sets it to null (nothing when null).
   * Returns 0. */
  int DestructionElement(char *&pointer);

  /* Adds one growth step to the three tables; 0x80004005 when a table
   * cannot grow (the capacity is then unchanged). */
  int ExtensionTable();

  int GetIndiceAllocation() const; /* the index the next Allocation gives */
  float GetMemoryUsed() const;     /* the peak of the words in use */

  void SetModeWarning();   /* shortage reported as warning 300, result 8 */
  void ResetModeWarning(); /* shortage reported as error 302 (default) */

 private:
  QorVardMemoryManager(const QorVardMemoryManager &) = delete;
  QorVardMemoryManager &operator=(const QorVardMemoryManager &) = delete;

  void ReleaseEntries(int first, int last);
  int EnsureSlots(int slot);
  int SeparateArrays(int count, char **pointers, const unsigned int *words, int last);
  int FailTables();
  int FailOverflow();

 protected:
  char **_BlockTable;          /* block as the allocator gave it; null once released */
  unsigned int *_LengthTable;  /* words of each block; 0 once released */
  int *_BoundaryTable;         /* last entry of each index; slot 0 holds -1 */
  int _Capacity;               /* slots in each table */
  int _CurrentIndex;           /* highest live index; 0 when none */
  int _GrowthStep;
  unsigned int _WordsInUse;
  unsigned int _PeakWords;
  int _WarningMode;
};
#endif

#endif

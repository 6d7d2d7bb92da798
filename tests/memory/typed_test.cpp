// Typed pointers: element sizes of the value tags, the holders, and the
// typed Allocation with its refusals.
#include "memory_test.h"

using qvk_test::Managed;
using qvk_test::MemoryTest;

namespace {
const int kAddress = static_cast<int>(sizeof(void *));
}

TEST(TypedSizes, SizesAndPointedTypes) {
  struct Case {
    QorVardValue tag;
    int size;
    QorVardValue pointed;
  } cases[] = {
      {QorVardValueInteger4, 4, QorVardValueLast},
      {QorVardValueReal4, 4, QorVardValueLast},
      {QorVardValueReal8, 8, QorVardValueLast},
      {QorVardValueChar4, 4, QorVardValueLast},
      {QorVardValueChar1, 1, QorVardValueLast},
      {QorVardValueString, 0, QorVardValueLast},
      {QorVardValueInteger4Ptr, kAddress, QorVardValueInteger4},
      {QorVardValueReal4Ptr, 0, QorVardValueReal4},
      {QorVardValueReal8Ptr, 0, QorVardValueReal8},
      {QorVardValueChar1Ptr, kAddress, QorVardValueChar1},
      {QorVardValueChar1PtrPtr, 0, QorVardValueChar1Ptr},
      {QorVardValueQorMathComplexf, 8, QorVardValueLast},
      {QorVardValueQorMathComplex, 16, QorVardValueLast},
      {QorVardValueLast, 0, QorVardValueLast},
      {static_cast<QorVardValue>(40), 0, QorVardValueLast},
      {static_cast<QorVardValue>(-1), 0, QorVardValueLast},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(GetStratoSizeOf(c.tag), c.size) << c.tag;
    EXPECT_EQ(GetPointedType(c.tag), c.pointed) << c.tag;
  }
}

TEST(TypedSizes, Holders) {
  int *i = nullptr;
  float *f = nullptr;
  double *d = nullptr;
  char *c = nullptr;
  char **s = nullptr;
  struct Case {
    QorVardTypeEncapMemory h;
    void *variable;
    QorVardValue tag;
    int element;
  } cases[] = {
      {QorVardTypeEncapMemory(i), &i, QorVardValueInteger4Ptr, 4},
      {QorVardTypeEncapMemory(f), &f, QorVardValueReal4Ptr, 4},
      {QorVardTypeEncapMemory(d), &d, QorVardValueReal8Ptr, 8},
      {QorVardTypeEncapMemory(c), &c, QorVardValueChar1Ptr, 1},
      {QorVardTypeEncapMemory(s), &s, QorVardValueChar1PtrPtr, kAddress},
  };
  for (const Case &k : cases) {
    QorVardTypeEncapMemory copy(k.h);
    EXPECT_EQ(copy.GetType(), k.tag);
    EXPECT_FALSE(copy.IsEmpty());
    EXPECT_EQ(static_cast<void *>(static_cast<char **>(copy)), k.variable);
    EXPECT_EQ(copy.GetStratoSizeOfPointedType(), k.element);
  }
  QorVardTypeEncapMemory empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.GetType(), QorVardValueLast);
  EXPECT_EQ(empty.GetStratoSizeOfPointedType(), 0);
  EXPECT_TRUE(QorVardTypeEncapMemory::EmptyEncapMem.IsEmpty());
}

using TypedAllocation = MemoryTest;

TEST_F(TypedAllocation, CountsBecomeLengths) {
  Managed m(8);
  double *d = nullptr;
  int *k = nullptr;
  int index = 0;
  ASSERT_EQ(m.Allocation(index, d, 100, k, 7), 0);
  EXPECT_EQ(index, 1);
  ASSERT_NE(d, nullptr);
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(m.words_in_use(), 101u + 4u);
  EXPECT_EQ(reinterpret_cast<char *>(k) - reinterpret_cast<char *>(d), 8 * 101);
  for (int i = 0; i < 100; ++i) d[i] = i;
  for (int i = 0; i < 7; ++i) k[i] = i;

  char **texts = nullptr;
  char *chars = nullptr;
  float *f = nullptr;
  ASSERT_EQ(m.Allocation(index, texts, 5, chars, 3, f, 2), 0);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(m.words_in_use(), 105u + (5u * kAddress / 8 + 1) + 1u + 2u);
  texts[4] = chars;
  f[1] = 1.0f;
}

TEST_F(TypedAllocation, Refusals) {
  Managed m(8);
  double *d = nullptr;
  int *k = nullptr;
  int index = 0;
  long before = raises();
  // An empty first pair: nothing to allocate.
  EXPECT_EQ(m.Allocation(index, QorVardTypeEncapMemory::EmptyEncapMem, 5), QOR_E_FAIL);
  EXPECT_STREQ(qvk_memory::last_raised().text, "Null Allocation Length");
  // A usable pair after a zero count.
  EXPECT_EQ(m.Allocation(index, k, 0, d, 10), QOR_E_FAIL);
  EXPECT_STREQ(qvk_memory::last_raised().text, "Memory allocation: Array type not recognized");
  // An empty or zero pair after the stop is no error: the first pair goes.
  EXPECT_EQ(m.Allocation(index, d, 10, k, 0, QorVardTypeEncapMemory::EmptyEncapMem, 4), 0);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(raises(), before + 2);
  EXPECT_EQ(k, nullptr);

  struct Case {
    int count;
  } overflows[] = {{1 << 30}, {-1}, {INT32_MIN}};
  for (int warning : {0, 1}) {
    if (warning) m.SetModeWarning();
    for (const Case &c : overflows) {
      double *x = nullptr;
      long n = raises();
      EXPECT_EQ(m.Allocation(index, x, c.count), warning ? 8 : QOR_E_FAIL) << c.count;
      const qvk_memory::Raised &r = qvk_memory::last_raised();
      EXPECT_EQ(r.count, n + 1);
      EXPECT_EQ(r.number, warning ? 1026 : 1025);
      EXPECT_EQ(r.warning, warning == 1);
      EXPECT_EQ(r.params, 0);
      EXPECT_EQ(x, nullptr);
    }
    // An overflow in a later pair refuses the whole request.
    double *x = nullptr;
    EXPECT_NE(m.Allocation(index, x, 4, d, 1 << 29), 0);
    EXPECT_EQ(x, nullptr);
  }
  EXPECT_EQ(index, 1);
  EXPECT_EQ(m.GetIndiceAllocation(), 2);
}

TEST_F(TypedAllocation, SelfTest) { EXPECT_EQ(QorVardTypeEncapMemory::Test(), 0); }

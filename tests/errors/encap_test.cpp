// Tagged values: what each constructor holds, copies and assignments that
// own their texts, the empty statics, the parameters they give an error,
// and the fatal stop of a text that cannot be copied.
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "QorVARDMathKernel/encap.h"
#include "KORSYS/QorSystem.h"

namespace {

// Built at load by this program, maybe before the library's own objects.
const QorVardTypeEncapError g_copied_at_load(QorVardTypeEncapError::EmptyEncapEr);

// A value of any tag with the given bytes, as no constructor makes.
struct Raw : QorVardTypeEncap {
  Raw(int tag, unsigned char fill) {
    _Type = static_cast<QorVardValue>(tag);
    memset(_Value._Bytes, fill, 8);
  }
  const unsigned char *bytes() const { return _Value._Bytes; }
};

}  // namespace

TEST(Encap, WhatEachConstructorHolds) {
  int *ip = nullptr;
  float *fp = nullptr;
  double *dp = nullptr;
  char *cp = nullptr;
  char **cpp = nullptr;
  const struct {
    QorVardTypeEncap value;
    QorVardValue tag;
    bool empty;
    void *address;
  } cases[] = {
      {QorVardTypeEncap(), QorVardValueLast, true, nullptr},
      {QorVardTypeEncap(-3), QorVardValueInteger4, false, nullptr},
      {QorVardTypeEncap(1.5f), QorVardValueReal4, false, nullptr},
      {QorVardTypeEncap(2.5), QorVardValueReal8, false, nullptr},
      {QorVardTypeEncap("text"), QorVardValueString, false, nullptr},
      {QorVardTypeEncap(static_cast<const char *>(nullptr)), QorVardValueString, true, nullptr},
      {QorVardTypeEncap(ip), QorVardValueInteger4Ptr, false, &ip},
      {QorVardTypeEncap(fp), QorVardValueReal4Ptr, false, &fp},
      {QorVardTypeEncap(dp), QorVardValueReal8Ptr, false, &dp},
      {QorVardTypeEncap(cp), QorVardValueChar1Ptr, false, &cp},
      {QorVardTypeEncap(cpp), QorVardValueChar1PtrPtr, false, &cpp},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(c.value.GetType(), c.tag);
    EXPECT_EQ(c.value.IsEmpty(), c.empty) << c.tag;
    if (c.address) {
      EXPECT_EQ(c.value.GetAddress(), c.address);
    }
  }
  EXPECT_EQ(cases[1].value.GetInteger(), -3);
  EXPECT_EQ(cases[3].value.GetReal8(), 2.5);
  // A receiver stores a new address into the caller's variable.
  double x = 0;
  *static_cast<double **>(cases[8].value.GetAddress()) = &x;
  EXPECT_EQ(dp, &x);
  // The kinds no constructor makes are empty and copied as 8 bytes.
  for (int tag : {3, 4, 11, 12, 13, 40}) {
    Raw raw(tag, 0xA5);
    QorVardTypeEncap copy(raw);
    EXPECT_TRUE(copy.IsEmpty()) << tag;
    EXPECT_EQ(memcmp(static_cast<Raw &>(copy).bytes(), raw.bytes(), 8), 0) << tag;
  }
}

TEST(Encap, TextsAreOwnedOncePerObject) {
  QorVardTypeEncap a("first"), b("second"), n(4);
  QorVardTypeEncap copy(a);
  EXPECT_NE(copy.GetString(), a.GetString());
  EXPECT_STREQ(copy.GetString(), "first");
  const char *before = a.GetString();
  a = a;  // self: nothing changes
  EXPECT_EQ(a.GetString(), before);
  a = b;  // text over text: the old copy is freed (leak check), a new one made
  EXPECT_STREQ(a.GetString(), "second");
  EXPECT_NE(a.GetString(), b.GetString());
  n = b;  // text over number
  EXPECT_STREQ(n.GetString(), "second");
  b = QorVardTypeEncap(9);  // number over text
  EXPECT_EQ(b.GetType(), QorVardValueInteger4);
  EXPECT_EQ(b.GetInteger(), 9);

  // The destructor frees the text and leaves the empty value behind.
  alignas(QorVardTypeEncap) unsigned char storage[sizeof(QorVardTypeEncap)];
  QorVardTypeEncap *t = new (storage) QorVardTypeEncap("gone");
  t->~QorVardTypeEncap();
  static const unsigned char zeros[8] = {};
  int tag;
  memcpy(&tag, storage + 8, sizeof tag);
  EXPECT_EQ(memcmp(storage, zeros, 8), 0);
  EXPECT_EQ(tag, QorVardValueLast);
}

TEST(Encap, EmptyStaticsAreUsableFromLoadOn) {
  EXPECT_TRUE(g_copied_at_load.IsEmpty());
  EXPECT_EQ(g_copied_at_load.GetType(), QorVardValueLast);
  EXPECT_TRUE(QorVardTypeEncap::EmptyEncap.IsEmpty());
  EXPECT_TRUE(QorVardTypeEncapError().IsEmpty());
}

TEST(Encap, ErrorParametersGoToTheListOfTheirKind) {
  int *ip = nullptr;
  QorRawCollint ints;
  QorRawColldouble reals;
  QorListValQorUnicodeString strings;
  QorVardTypeEncapError params[] = {3, 0.5, "t", QorVardTypeEncapError(), 4,
                                    static_cast<const char *>(nullptr)};
  for (const auto &p : params) p.AddParameterInList(ints, reals, strings);
  // Floats and pointers are not error parameters.
  QorVardTypeEncap others[] = {QorVardTypeEncap(1.0f), QorVardTypeEncap(ip)};
  for (const auto &o : others)
    static_cast<const QorVardTypeEncapError &>(o).AddParameterInList(ints, reals, strings);
  ASSERT_EQ(ints.Size(), 2);
  EXPECT_EQ(ints[1], 3);
  EXPECT_EQ(ints[2], 4);
  ASSERT_EQ(reals.Size(), 1);
  EXPECT_EQ(reals[1], 0.5);
  ASSERT_EQ(strings.Size(), 1);
  EXPECT_STREQ(strings[1], "t");
}

TEST(EncapDeathTest, FailedTextCopyStopsTheProcess) {
  EXPECT_DEATH(
      {
        QorFaultCountdown(1);
        QorVardTypeEncap t("text");
      },
      "AssertionFailed:_Value._Ptr \\(QorVARDMathKernel.m/src/QorVardTypeEncap, line 164\\)");
  QorVardTypeEncap source("text");
  EXPECT_DEATH(
      {
        QorFaultCountdown(1);
        QorVardTypeEncap copy(source);
      },
      "AssertionFailed:copiedContent._Ptr \\(QorVARDMathKernel.m/src/QorVardTypeEncap, line 86\\)");
}

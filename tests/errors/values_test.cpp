// Tagged values: what each constructor holds, texts owned once per object, the parameters
// they give an error, the fatal stop of a text that cannot be copied; enumerations' names.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <set>
#include <string>
#include <tuple>

#include "KORSYS/QorSystem.h"
#include "QorVARDMathKernel/encap.h"
#include "QorVARDMathKernel/enums.h"

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

TEST(Encap, WhatEachConstructorHoldsAndGivesAnError) {
  int *ip = nullptr;
  float *fp = nullptr;
  double *dp = nullptr;
  char *cp = nullptr, **cpp = nullptr;
  const QorVardTypeEncap values[] = {QorVardTypeEncap(), -3, 1.5f, 2.5, "text",
                                     static_cast<const char *>(nullptr), ip, fp, dp, cp, cpp};
  const int tags[] = {13, 0, 1, 2, 5, 5, 6, 7, 8, 9, 10};  // QorVardValue, in the order above
  // Only integers, double reals and texts are error parameters.
  QorRawCollint ints;
  QorRawColldouble reals;
  QorListValQorUnicodeString strings;
  for (int k = 0; k < 11; ++k) {
    EXPECT_EQ(values[k].GetType(), tags[k]) << k;
    EXPECT_EQ(values[k].IsEmpty(), k == 0 || k == 5) << k;
    static_cast<const QorVardTypeEncapError &>(values[k]).AddParameterInList(ints, reals, strings);
  }
  EXPECT_EQ(std::make_tuple(ints.Size(), reals.Size(), strings.Size(), ints[1], reals[1],
                            std::string(strings[1]), values[1].GetInteger(), values[3].GetReal8()),
            std::make_tuple(1, 1, 1, -3, 2.5, std::string("text"), -3, 2.5));
  // A receiver stores a new address into the caller's variable.
  double x = 0;
  EXPECT_EQ(values[8].GetAddress(), &dp);
  *static_cast<double **>(values[8].GetAddress()) = &x;
  EXPECT_EQ(dp, &x);
  for (int tag : {3, 4, 11, 12, 13, 40}) {  // kinds no constructor makes: empty, 8 bytes copied
    Raw raw(tag, 0xA5);
    QorVardTypeEncap copy(raw);
    EXPECT_TRUE(copy.IsEmpty() && !memcmp(static_cast<Raw &>(copy).bytes(), raw.bytes(), 8)) << tag;
  }
  // The empty statics are usable from load on, by this program's own too.
  EXPECT_TRUE(g_copied_at_load.IsEmpty() && QorVardTypeEncap::EmptyEncap.IsEmpty());
  EXPECT_EQ(g_copied_at_load.GetType(), QorVardValueLast);
}

TEST(Encap, TextsAreOwnedOncePerObject) {
  QorVardTypeEncap a("first"), b("second"), n(4), copy(a);
  EXPECT_TRUE(copy.GetString() != a.GetString() && !strcmp(copy.GetString(), "first"));
  const char *before = a.GetString();
  a = a;  // self: nothing changes
  EXPECT_EQ(a.GetString(), before);
  a = b;  // text over text: the old copy is freed (leak check), a new one made
  EXPECT_TRUE(a.GetString() != b.GetString() && !strcmp(a.GetString(), "second"));
  n = b;  // text over number
  EXPECT_STREQ(n.GetString(), "second");
  b = QorVardTypeEncap(9);  // number over text
  EXPECT_EQ(std::make_pair(b.GetType(), b.GetInteger()), std::make_pair(QorVardValueInteger4, 9));
  // The destructor frees the text and leaves the empty value behind.
  alignas(QorVardTypeEncap) unsigned char storage[sizeof(QorVardTypeEncap)];
  QorVardTypeEncap *t = new (storage) QorVardTypeEncap("gone");
  t->~QorVardTypeEncap();
  const QorVardTypeEncap empty;  // its value bytes, then its tag
  EXPECT_EQ(memcmp(storage, &empty, 8 + sizeof(int)), 0);
}

TEST(EncapDeathTest, FailedTextCopyStopsTheProcess) {
  const QorVardTypeEncap source("text");
  for (bool copy : {false, true})
    EXPECT_DEATH(
        {
          QorFaultCountdown(1);
          QorVardTypeEncap t = copy ? QorVardTypeEncap(source) : QorVardTypeEncap("text");
        },
        std::string(copy ? "AssertionFailed:copiedContent._Ptr" : "AssertionFailed:_Value._Ptr") +
            " \\(QorVARDMathKernel.m/src/QorVardTypeEncap, line " + (copy ? "86" : "164") + "\\)");
}

// Every value has its own stored name, others are "unknown", and the checks accept
// exactly the names of the values before Last.
TEST(Enums, NamesAndChecks) {
  const int kFail = static_cast<int>(0x80004005u);
  const struct {
    int last;
    const char *(*name)(int);
    int (*check)(const char *);  // null: no check function
    const char *final;           // the name of Last
  } tables[] = {
      {QorVardValueLast, [](int v) { return QorVardEnumString(QorVardValue(v)); },
       [](const char *s) { return QorVardValueEnum(s, QorVardValueLast); }, "QorVardValueLast"},
      {PreproCategoryLast, [](int v) { return QorVardEnumString(QorVardPreproCategory(v)); },
       nullptr, "PreproCategoryLast"},
      {PreproCategoryLast,
       [](int v) { return QorVardPreproCategoryName(QorVardPreproCategory(v)); }, nullptr,
       "unknown set"},
      {MatrixTypeLast, [](int v) { return QorVardMatrixTypeName(QorVardMatrixType(v)); },
       [](const char *s) { return QorVardMatrixTypeEnum(s, MatrixTypeLast); }, "MatrixTypeLast"},
      {PropertyLast, [](int v) { return QorVardMatrixPropertyName(QorVardMatrixProperty(v)); },
       [](const char *s) { return QorVardMatrixPropertyEnum(s, PropertyLast); }, "PropertyLast"},
      {ShapeLast, [](int v) { return QorVardMatrixShapeName(QorVardMatrixShape(v)); },
       [](const char *s) { return QorVardMatrixShapeEnum(s, ShapeLast); }, "ShapeLast"},
      {StorageLast, [](int v) { return QorVardMatrixStorageTypeName(QorVardMatrixStorageType(v)); },
       [](const char *s) { return QorVardMatrixStorageTypeEnum(s, StorageLast); }, "StorageLast"},
  };
  for (const auto &t : tables) {
    SCOPED_TRACE(t.final);
    EXPECT_STREQ(t.name(t.last), t.final);
    std::set<std::string> names;
    for (int v = 0; v <= t.last; ++v) {
      EXPECT_EQ(t.name(v), t.name(v));  // the stored text, not a copy
      EXPECT_TRUE(names.insert(t.name(v)).second) << t.name(v);
      if (t.check) {
        EXPECT_EQ(t.check(t.name(v)), v < t.last ? 0 : kFail) << t.name(v);
      }
    }
    for (int outside : {-1, t.last + 1, 1 << 30}) EXPECT_STREQ(t.name(outside), "unknown");
    if (!t.check) continue;
    const std::string first = t.name(0), second = t.name(1);
    for (const std::string &near : {std::string(), first.substr(0, first.size() - 1), first + " ",
                                     " " + first, second + second})
      EXPECT_EQ(t.check(near.c_str()), kFail) << '"' << near << '"';
  }
}

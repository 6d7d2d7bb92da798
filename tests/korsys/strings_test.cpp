// Strings, collections and the meta-class registry of the system services.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "KORSYS/QorBase.h"
#include "KORSYS/QorError.h"
#include "KORSYS/QorString.h"

TEST(KorsysString, NullLengthAndConcatenation) {
  QorUnicodeString none(static_cast<const char *>(nullptr));
  EXPECT_EQ(none.GetLengthInChar(), 0);
  EXPECT_TRUE(none == "");
  EXPECT_TRUE(none == nullptr);

  QorUnicodeString cut("abcdef", 3), stop("ab\0cd", 5);
  EXPECT_STREQ(cut, "abc");
  EXPECT_STREQ(stop, "ab");  // a length never reads past the zero

  QorUnicodeString s = QorUnicodeString("dir") + "/" + QorUnicodeString("name");
  s += nullptr;
  EXPECT_STREQ(s.ConvertToChar(), "dir/name");
  EXPECT_EQ(s.GetLengthInChar(), 8);
  EXPECT_TRUE(s == QorUnicodeString("dir/name"));
  EXPECT_TRUE(s != "dir");
}

TEST(KorsysString, BuildFromNum) {
  QorUnicodeString s;
  EXPECT_EQ(s.BuildFromNum(302, "ERR_%4.4d"), 0);
  EXPECT_STREQ(s, "ERR_0302");
  EXPECT_EQ(s.BuildFromNum(2.5, "%g"), 0);
  EXPECT_STREQ(s, "2.5");
  EXPECT_EQ(s.BuildFromNum(4294967295ul, "%lu"), 0);
  EXPECT_STREQ(s, "4294967295");
  // Longer than any fixed scratch buffer.
  EXPECT_EQ(s.BuildFromNum(1.0, "%0200.1f"), 0);
  EXPECT_EQ(s.GetLengthInChar(), 200);
  EXPECT_LT(s.BuildFromNum(1, nullptr), 0);
}

TEST(KorsysCollection, OneBasedAndBounded) {
  QorRawCollint ints;
  QorListValQorUnicodeString texts;
  EXPECT_EQ(ints.Size(), 0);
  ints.Append(7);
  ints.Append(-3);
  texts.Append("a");
  EXPECT_EQ(ints.Size(), 2);
  EXPECT_EQ(ints[1], 7);
  EXPECT_EQ(ints[2], -3);
  EXPECT_EQ(ints[0], 0);
  EXPECT_EQ(ints[3], 0);
  EXPECT_STREQ(texts[1], "a");
  EXPECT_STREQ(texts[2], "");
}

TEST(KorsysMeta, RegisteredOnceWithItsBases) {
  QorMetaClass *base = QorResourceError::MetaObject();
  QorMetaClass *a = fct_RetrieveMetaObject("TestKorsysClass", 1, base, "QorNull", "Tests", 48);
  QorMetaClass *b = fct_RetrieveMetaObject("TestKorsysClass", 2, nullptr, "x", "y", 1);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->GetKind(), 1);  // the first registration's facts stay
  EXPECT_NE(a->GetClassId(), base->GetClassId());
  EXPECT_EQ(QorMetaClass::Find("TestKorsysClass"), a);
  for (const char *kind : {"TestKorsysClass", "QorResourceError", "QorError", "QorBaseUnknown"})
    EXPECT_EQ(QorMetaClass::IsAKindOf(a, kind), 1) << kind;
  EXPECT_EQ(QorMetaClass::IsAKindOf(a, "QorTrace"), 0);
  EXPECT_EQ(QorMetaClass::IsAKindOf(QorError::MetaObject(), "QorResourceError"), 0);
  EXPECT_EQ(fct_RetrieveMetaObject("", 1, nullptr, "", "", 0), nullptr);

  // Threads registering one class at once all get the one meta object.
  QorMetaClass *seen[4];
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&seen, t] {
      seen[t] = fct_RetrieveMetaObject("TestKorsysRace", 1, nullptr, "", "", 8);
    });
  for (auto &th : threads) th.join();
  for (QorMetaClass *meta : seen) EXPECT_EQ(meta, QorMetaClass::Find("TestKorsysRace"));
}

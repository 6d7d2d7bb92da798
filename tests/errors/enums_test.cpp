// Named enumerations: every value has its own stored name, others are "unknown", and
// the checks accept exactly the names of the values before Last.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "QorVARDMathKernel/enums.h"

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

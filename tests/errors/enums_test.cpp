// Named enumerations: every name, the Last values, values outside the
// tables, and the check functions against names, near-names and Last.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "QorVARDMathKernel/enums.h"

namespace {

const int kFail = static_cast<int>(0x80004005u);

struct Table {
  std::vector<const char *> names;  // in value order, the Last name last
  std::function<const char *(int)> name;
  std::function<int(const char *)> check;  // null: no check function
};

}  // namespace

TEST(Enums, NamesAndChecks) {
  const Table tables[] = {
      {{"QorVardValueInteger4", "QorVardValueReal4", "QorVardValueReal8", "QorVardValueChar4",
        "QorVardValueChar1", "QorVardValueString", "QorVardValueInteger4Ptr",
        "QorVardValueReal4Ptr", "QorVardValueReal8Ptr", "QorVardValueChar1Ptr",
        "QorVardValueChar1PtrPtr", "QorVardValueQorMathComplexf", "QorVardValueQorMathComplex",
        "QorVardValueLast"},
       [](int v) { return QorVardEnumString(static_cast<QorVardValue>(v)); },
       [](const char *s) { return QorVardValueEnum(s, QorVardValueLast); }},
      {{"PreproCategoryMesh", "PreproCategoryAxis", "PreproCategoryMaterial",
        "PreproCategoryProperty", "PreproCategoryRestraint", "PreproCategoryLoad",
        "PreproCategoryMass", "PreproCategoryLast"},
       [](int v) { return QorVardEnumString(static_cast<QorVardPreproCategory>(v)); },
       nullptr},
      {{"mesh", "axes", "materials", "properties", "restraints", "loads", "masses", "unknown set"},
       [](int v) { return QorVardPreproCategoryName(static_cast<QorVardPreproCategory>(v)); },
       nullptr},
      {{"DenseMatrix", "SparseMatrix", "ByBlocMatrix", "MatrixTypeLast"},
       [](int v) { return QorVardMatrixTypeName(static_cast<QorVardMatrixType>(v)); },
       [](const char *s) { return QorVardMatrixTypeEnum(s, MatrixTypeLast); }},
      {{"PropertySymmetric", "PropertyAntiSymmetric", "PropertyHermitian",
        "PropertyAntiHermitian", "PropertyAny", "PropertyLast"},
       [](int v) { return QorVardMatrixPropertyName(static_cast<QorVardMatrixProperty>(v)); },
       [](const char *s) { return QorVardMatrixPropertyEnum(s, PropertyLast); }},
      {{"ShapeRectangular", "ShapeSquare", "ShapeUpperTriangular", "ShapeLowerTriangular",
        "ShapeDiagonal", "ShapeLast"},
       [](int v) { return QorVardMatrixShapeName(static_cast<QorVardMatrixShape>(v)); },
       [](const char *s) { return QorVardMatrixShapeEnum(s, ShapeLast); }},
      {{"StorageFrontal", "StorageSkyline", "StorageLast"},
       [](int v) { return QorVardMatrixStorageTypeName(static_cast<QorVardMatrixStorageType>(v)); },
       [](const char *s) { return QorVardMatrixStorageTypeEnum(s, StorageLast); }},
  };
  for (const Table &t : tables) {
    const int last = static_cast<int>(t.names.size()) - 1;
    SCOPED_TRACE(t.names[last]);
    for (int v = 0; v <= last; ++v) {
      EXPECT_STREQ(t.name(v), t.names[v]);
      EXPECT_EQ(t.name(v), t.name(v));  // the stored text, not a copy
      if (t.check) {
        EXPECT_EQ(t.check(t.names[v]), v < last ? 0 : kFail) << t.names[v];
      }
    }
    for (int outside : {-1, last + 1, 1 << 30}) EXPECT_STREQ(t.name(outside), "unknown");
    if (!t.check) continue;
    std::string first = t.names[0];
    for (const std::string &near :
         {std::string(), first.substr(0, first.size() - 1), first + " ", " " + first,
          std::string(t.names[1]) + t.names[1]})
      EXPECT_EQ(t.check(near.c_str()), kFail) << '"' << near << '"';
  }
  EXPECT_EQ(QorVardValueEnum("QorVardValueQorMathComplex", QorVardValueInteger4), 0);
}

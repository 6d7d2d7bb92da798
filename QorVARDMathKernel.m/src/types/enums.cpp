// Names of the solver's enumerations. Each table is indexed by the value
// and ends with the name of the Last value.
#include "QorVARDMathKernel/enums.h"

namespace {

const char *const kUnknown = "unknown";

const char *const kValueNames[] = {
    "QorVardValueInteger4",       "QorVardValueReal4",          "QorVardValueReal8",
    "QorVardValueChar4",          "QorVardValueChar1",          "QorVardValueString",
    "QorVardValueInteger4Ptr",    "QorVardValueReal4Ptr",       "QorVardValueReal8Ptr",
    "QorVardValueChar1Ptr",       "QorVardValueChar1PtrPtr",    "QorVardValueQorMathComplexf",
    "QorVardValueQorMathComplex", "QorVardValueLast"};

const char *const kPreproEnumerators[] = {
    "PreproCategoryMesh",     "PreproCategoryAxis",      "PreproCategoryMaterial",
    "PreproCategoryProperty", "PreproCategoryRestraint", "PreproCategoryLoad",
    "PreproCategoryMass",     "PreproCategoryLast"};

const char *const kPreproNames[] = {"mesh",       "axes",  "materials", "properties",
                                    "restraints", "loads", "masses",    "unknown set"};

const char *const kMatrixTypeNames[] = {"DenseMatrix", "SparseMatrix", "ByBlocMatrix",
                                        "MatrixTypeLast"};

const char *const kPropertyNames[] = {"PropertySymmetric", "PropertyAntiSymmetric",
                                      "PropertyHermitian", "PropertyAntiHermitian",
                                      "PropertyAny",       "PropertyLast"};

const char *const kShapeNames[] = {"ShapeRectangular",     "ShapeSquare",   "ShapeUpperTriangular",
                                   "ShapeLowerTriangular", "ShapeDiagonal", "ShapeLast"};

const char *const kStorageNames[] = {"StorageFrontal", "StorageSkyline", "StorageLast"};

// The table's name for value; values outside the table (the enumeration
// arguments come from callers, possibly from a file) get one fixed text.
template <size_t N>
const char *name_of(const char *const (&table)[N], int value) {
  return (value >= 0 && static_cast<size_t>(value) < N) ? table[value] : kUnknown;
}

// 0 when name equals one of the valid names (all but the Last one).
template <size_t N>
int check(const char *const (&table)[N], const QorUnicodeString &name) {
  for (size_t k = 0; k + 1 < N; ++k)
    if (name == table[k]) return 0;
  return static_cast<int>(0x80004005u);
}

static_assert(sizeof kValueNames / sizeof *kValueNames == QorVardValueLast + 1, "value names");
static_assert(sizeof kPreproNames / sizeof *kPreproNames == PreproCategoryLast + 1, "categories");
static_assert(sizeof kPreproEnumerators / sizeof *kPreproEnumerators == PreproCategoryLast + 1,
              "category enumerators");
static_assert(sizeof kMatrixTypeNames / sizeof *kMatrixTypeNames == MatrixTypeLast + 1, "types");
static_assert(sizeof kPropertyNames / sizeof *kPropertyNames == PropertyLast + 1, "properties");
static_assert(sizeof kShapeNames / sizeof *kShapeNames == ShapeLast + 1, "shapes");
static_assert(sizeof kStorageNames / sizeof *kStorageNames == StorageLast + 1, "storages");

}  // namespace

const char *QorVardEnumString(QorVardValue value) { return name_of(kValueNames, value); }
const char *QorVardEnumString(QorVardPreproCategory category) {
  return name_of(kPreproEnumerators, category);
}
const char *QorVardPreproCategoryName(QorVardPreproCategory category) {
  return name_of(kPreproNames, category);
}
const char *QorVardMatrixTypeName(QorVardMatrixType type) {
  return name_of(kMatrixTypeNames, type);
}
const char *QorVardMatrixPropertyName(QorVardMatrixProperty property) {
  return name_of(kPropertyNames, property);
}
const char *QorVardMatrixShapeName(QorVardMatrixShape shape) { return name_of(kShapeNames, shape); }
const char *QorVardMatrixStorageTypeName(QorVardMatrixStorageType storage) {
  return name_of(kStorageNames, storage);
}

int QorVardValueEnum(QorUnicodeString name, QorVardValue) { return check(kValueNames, name); }
int QorVardMatrixTypeEnum(QorUnicodeString name, QorVardMatrixType) {
  return check(kMatrixTypeNames, name);
}
int QorVardMatrixPropertyEnum(QorUnicodeString name, QorVardMatrixProperty) {
  return check(kPropertyNames, name);
}
int QorVardMatrixShapeEnum(QorUnicodeString name, QorVardMatrixShape) {
  return check(kShapeNames, name);
}
int QorVardMatrixStorageTypeEnum(QorUnicodeString name, QorVardMatrixStorageType) {
  return check(kStorageNames, name);
}

/* The solver's named enumerations: the kind of a value, the type,
 * property, shape and storage of a matrix, and the category of a
 * pre-processing set.
 *
 * Each enumeration counts from 0 and ends with a value whose name ends in
 * Last: it counts the others and stands for "none" or "unknown". The
 * enumerations themselves are plain C; the name and check functions are
 * C++ (their names are overloaded and they take platform strings).
 *
 * Name functions return the stored text, the same pointer on every call;
 * the Last value has a name like any other. A value outside 0..Last (a
 * negative value, or one above Last) gives the fixed text "unknown".
 *
 * Check functions tell whether a text is, as a whole, the name of a valid
 * value (the Last name is not one): 0 when it is, 0x80004005 otherwise.
 * Their enumeration argument is not read. */
#ifndef QORVARDMATHKERNEL_ENUMS_H
#define QORVARDMATHKERNEL_ENUMS_H

#include "QorVARDMathKernel/export.h"

/* In C++ every int is a value of these types (a value read from a file or
 * a Fortran caller may lie outside the table); in C they are ints. */
#ifdef __cplusplus
#define QVK_ENUM_INT : int
#else
#define QVK_ENUM_INT
#endif

/* What a tagged value holds (QorVardTypeEncap, errors.h and encap.h). */
typedef enum QorVardValue QVK_ENUM_INT {
  QorVardValueInteger4 = 0,
  QorVardValueReal4 = 1,
  QorVardValueReal8 = 2,
  QorVardValueChar4 = 3,
  QorVardValueChar1 = 4,
  QorVardValueString = 5,
  QorVardValueInteger4Ptr = 6,
  QorVardValueReal4Ptr = 7,
  QorVardValueReal8Ptr = 8,
  QorVardValueChar1Ptr = 9,
  QorVardValueChar1PtrPtr = 10,
  QorVardValueQorMathComplexf = 11,
  QorVardValueQorMathComplex = 12,
  QorVardValueLast = 13
} QorVardValue;

typedef enum QorVardPreproCategory QVK_ENUM_INT {
  PreproCategoryMesh = 0,
  PreproCategoryAxis = 1,
  PreproCategoryMaterial = 2,
  PreproCategoryProperty = 3,
  PreproCategoryRestraint = 4,
  PreproCategoryLoad = 5,
  PreproCategoryMass = 6,
  PreproCategoryLast = 7
} QorVardPreproCategory;

typedef enum QorVardMatrixType QVK_ENUM_INT {
  DenseMatrix = 0,
  SparseMatrix = 1,
  ByBlocMatrix = 2,
  MatrixTypeLast = 3
} QorVardMatrixType;

typedef enum QorVardMatrixProperty QVK_ENUM_INT {
  PropertySymmetric = 0,
  PropertyAntiSymmetric = 1,
  PropertyHermitian = 2,
  PropertyAntiHermitian = 3,
  PropertyAny = 4,
  PropertyLast = 5
} QorVardMatrixProperty;

typedef enum QorVardMatrixShape QVK_ENUM_INT {
  ShapeRectangular = 0,
  ShapeSquare = 1,
  ShapeUpperTriangular = 2,
  ShapeLowerTriangular = 3,
  ShapeDiagonal = 4,
  ShapeLast = 5
} QorVardMatrixShape;

typedef enum QorVardMatrixStorageType QVK_ENUM_INT {
  StorageFrontal = 0,
  StorageSkyline = 1,
  StorageLast = 2
} QorVardMatrixStorageType;

#ifdef __cplusplus
#include "KORSYS/QorString.h"

/* "QorVardValueInteger4" ... "QorVardValueLast". */
QVK_EXPORT const char *QorVardEnumString(QorVardValue value);
/* The enumerator name: "PreproCategoryMesh" ... "PreproCategoryLast". */
QVK_EXPORT const char *QorVardEnumString(QorVardPreproCategory category);
/* The category name, lower case and plural: "mesh", "axes", "materials",
 * "properties", "restraints", "loads", "masses"; "unknown set" for Last. */
QVK_EXPORT const char *QorVardPreproCategoryName(QorVardPreproCategory category);
QVK_EXPORT const char *QorVardMatrixTypeName(QorVardMatrixType type);
QVK_EXPORT const char *QorVardMatrixPropertyName(QorVardMatrixProperty property);
QVK_EXPORT const char *QorVardMatrixShapeName(QorVardMatrixShape shape);
QVK_EXPORT const char *QorVardMatrixStorageTypeName(QorVardMatrixStorageType storage);

/* 0 when name is one of the 13 value names before QorVardValueLast. */
QVK_EXPORT int QorVardValueEnum(QorUnicodeString name, QorVardValue unused);
/* 0 for "DenseMatrix", "SparseMatrix", "ByBlocMatrix". */
QVK_EXPORT int QorVardMatrixTypeEnum(QorUnicodeString name, QorVardMatrixType unused);
/* 0 for the five property names before "PropertyLast". */
QVK_EXPORT int QorVardMatrixPropertyEnum(QorUnicodeString name, QorVardMatrixProperty unused);
/* 0 for the five shape names before "ShapeLast". */
QVK_EXPORT int QorVardMatrixShapeEnum(QorUnicodeString name, QorVardMatrixShape unused);
/* 0 for "StorageFrontal", "StorageSkyline". */
QVK_EXPORT int QorVardMatrixStorageTypeEnum(QorUnicodeString name,
                                            QorVardMatrixStorageType unused);
#endif

#endif

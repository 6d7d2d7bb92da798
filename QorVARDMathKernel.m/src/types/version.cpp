#include "QorVARDMathKernel/types.h"

QorVardMatrixVersion::QorVardMatrixVersion()
    : Major(13), Minor(2), Revision(5), Level(4), Build(3) {}

QorVardMatrixVersion::QorVardMatrixVersion(const QorVardMatrixVersion &other) = default;

QorVardMatrixVersion &QorVardMatrixVersion::operator=(const QorVardMatrixVersion &other) {
  if (this != &other) {
    Major = other.Major;
    Minor = other.Minor;
    Revision = other.Revision;
    Level = other.Level;
    Build = other.Build;
  }
  return *this;
}

QorVardMatrixVersion::~QorVardMatrixVersion() = default;

// The error factories: sort up to nine tagged parameters into integers,
// reals and texts, build a QorVardError and raise it.
#include <cstdio>
#include <new>

#include "QorVARDMathKernel/errors.h"
#include "diagnostics/error_report.h"
#include "diagnostics/platform/platform.h"

char etiquette[2000];

namespace {

using Param = QorVardTypeEncapError;

void raise(int number, const char *catalog, const char *form,
           const Param *const (&params)[9]) {
  for (const Param *p : params)
    if (!p->IsEmpty()) p->Dump();

  // The identifier as raised; the catalog's verdict replaces it.
  snprintf(etiquette, sizeof etiquette, form, number);

  QorVardError *error = nullptr;
  try {
    error = new QorVardError(etiquette, catalog);
    QorRawCollint ints;
    QorRawColldouble reals;
    QorListValQorUnicodeString strings;
    for (const Param *p : params)
      if (!p->IsEmpty()) p->AddParameterInList(ints, reals, strings);
    error->CreateStratoError(number, ints, reals, strings);
  } catch (const std::bad_alloc &) {
    // Only the steps before the raise can run out of memory (the report
    // itself catches its own shortage), so the object is still ours.
    if (error) error->Release();
    qvk::diag::report_unbuilt(etiquette, catalog);
  }
}

}  // namespace

void QorVardErrorTools::CreateError(int number, const char *catalog, Param p1, Param p2, Param p3,
                                    Param p4, Param p5, Param p6, Param p7, Param p8, Param p9) {
  raise(number, catalog, "ERR_%4.4d", {&p1, &p2, &p3, &p4, &p5, &p6, &p7, &p8, &p9});
}

void QorVardErrorTools::CreateWarning(int number, const char *catalog, Param p1, Param p2,
                                      Param p3, Param p4, Param p5, Param p6, Param p7, Param p8,
                                      Param p9) {
  raise(number, catalog, "WARN_%4.4d", {&p1, &p2, &p3, &p4, &p5, &p6, &p7, &p8, &p9});
}

void QorVardErrorTools::Create(int number, Param p1, Param p2, Param p3, Param p4, Param p5,
                               Param p6, Param p7, Param p8, Param p9) {
  CreateError(number, "QorStratoError", p1, p2, p3, p4, p5, p6, p7, p8, p9);
}

void QorVardErrorTools::Create(const char *text) {
  try {
    QorUnicodeString advice(text);
    new QorVardError(&advice);  // raised and released by its constructor
  } catch (const std::bad_alloc &) {
    qvk::diag::report_unbuilt("ERR_0001", "QorStratoError");
  }
}

void CreateStratoError(int number, Param p1, Param p2, Param p3, Param p4, Param p5, Param p6,
                       Param p7, Param p8, Param p9) {
  QorVardErrorTools::Create(number, p1, p2, p3, p4, p5, p6, p7, p8, p9);
}

// The print routines of the solver's Fortran and C code. Each channel
// write is wrapped on its own in the standard-output redirection, at trace
// level 2.
#include <cstdio>

#include "QorVARDMathKernel/diagnostics.h"
#include "diagnostics/platform/platform.h"
#include "diagnostics/redirect.h"

namespace {

const int kLevel = 2;

const char *text_or_empty(const char *text) { return text ? text : ""; }

// True when format holds exactly one conversion, and that conversion takes
// a double (flags, width and precision as digits, no length modifier);
// "%%" is allowed anywhere. Anything else would read arguments that are
// not there.
bool one_double_conversion(const char *format) {
  int conversions = 0;
  for (const char *p = format; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') ++p;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
      ++p;
      while (*p >= '0' && *p <= '9') ++p;
    }
    switch (*p) {
      case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
        ++conversions;
        break;
      default:
        return false;
    }
  }
  return conversions == 1;
}

void put(QorTrace &channel, const char *text) {
  qvk::diag::to_listing([&] {
    channel._Level = kLevel;
    channel.TraPutLN(text);
  });
}

void put_number(QorTrace &channel, const char *text, const int *n) {
  if (n) {
    qvk::diag::to_listing([&] {
      channel._Level = kLevel;
      channel.TraPutLN(text_or_empty(text), static_cast<long>(*n));
    });
  }
  put(channel, "\n");
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void print_real(QorTrace &channel, const char *format, double x) {
  const char *f = text_or_empty(format);
  qvk::diag::to_listing([&] {
    if (one_double_conversion(f))
      channel.TraPrint(kLevel, f, x);
    else
      channel.TraPrint(kLevel, "%s %g", f, x);
  });
  put(channel, "\n");
}
#pragma GCC diagnostic pop

}  // namespace

extern "C" {

void ehprint(const char *text) { put(Tra_VARDPrint, text_or_empty(text)); }

void ehprini(const char *text, const int *n) { put_number(Tra_VARDPrint, text, n); }

void ehprinr(const char *format, const double *x) {
  if (x) print_real(Tra_VARDPrint, format, *x);
}

void eaoprnt(const char *text) {
  put(Tra_OPTPrint, text_or_empty(text));
  put(Tra_OPTPrint, "\n");
}

void eaoprnti(const char *text, const int *n) { put_number(Tra_OPTPrint, text, n); }

void eaoprntr(const char *format, const double *x) {
  // The single-precision value, widened back.
  if (x) print_real(Tra_OPTPrint, format, static_cast<double>(static_cast<float>(*x)));
}

void eyflsh(void) { fflush(stdout); }

}  // extern "C"

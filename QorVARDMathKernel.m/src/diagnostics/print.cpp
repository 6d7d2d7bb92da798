// The print routines of the solver's Fortran and C code. Each message,
// its line feed included, is written whole in one write at trace level 2,
// into the listing when one is open, so that messages of several threads
// never interleave.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "QorVARDMathKernel/diagnostics.h"
#include "diagnostics/platform/platform.h"
#include "diagnostics/redirect.h"

namespace {

// Formatted text of ehprinr/eaoprntr is cut after kMaxText bytes; a width
// or precision above kMaxField counts as kMaxField, so that a format like
// "%999999999f" can neither take the C library a gigabyte nor seconds.
const int kMaxText = 4096;
const long kMaxField = 1024;

const char *text_or_empty(const char *text) { return text ? text : ""; }

// n in decimal (snprintf rather than std::to_string, whose digit table
// would become an exported symbol of the library).
std::string decimal(long n) {
  char digits[24];
  snprintf(digits, sizeof digits, "%ld", n);
  return digits;
}

// Reads the digits at p (advancing it), saturating at kMaxField.
long clamped_number(const char *&p) {
  long v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) v = v >= kMaxField ? kMaxField : v * 10 + (*p - '0');
  return v < kMaxField ? v : kMaxField;
}

// When format holds exactly one conversion, and that conversion takes a
// double (flags, width and precision as digits, no length modifier; "%%"
// anywhere), writes into safe the same format with its width and
// precision clamped, and returns true. Anything else would read arguments
// that are not there.
bool one_double_conversion(const char *format, std::string &safe) {
  int conversions = 0;
  safe.clear();
  for (const char *p = format; *p; ++p) {
    if (*p != '%') {
      safe += *p;
      continue;
    }
    ++p;
    if (*p == '%') {
      safe += "%%";
      continue;
    }
    safe += '%';
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') safe += *p++;
    if (*p >= '0' && *p <= '9') safe += decimal(clamped_number(p));
    if (*p == '.') {
      ++p;
      safe += '.' + decimal(clamped_number(p));
    }
    switch (*p) {
      case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
        ++conversions;
        safe += *p;
        break;
      default:
        return false;
    }
  }
  return conversions == 1;
}

// Runs a print routine's body; nothing may escape through the C entry.
template <class F>
void guarded(F &&body) noexcept {
  try {
    body();
  } catch (...) {
    // The message is dropped, as for a full disk.
  }
}

void put_number(QorTrace &channel, const char *text, const int *n) {
  if (!n) {
    qvk::diag::print_text(channel, "\n");
    return;
  }
  std::string line = text_or_empty(text);
  line += decimal(*n);
  line += '\n';
  qvk::diag::print_text(channel, line.data(), line.size());
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void print_real(QorTrace &channel, const char *format, double x) {
  const char *f = text_or_empty(format);
  std::string safe;
  char text[kMaxText + 1];
  int n = one_double_conversion(f, safe) ? snprintf(text, sizeof text, safe.c_str(), x)
                                         : snprintf(text, sizeof text, "%s %g", f, x);
  if (n < 0) n = 0;
  if (n > kMaxText) n = kMaxText;
  std::string line(text, static_cast<size_t>(n));
  line += '\n';
  qvk::diag::print_text(channel, line.data(), line.size());
}
#pragma GCC diagnostic pop

}  // namespace

extern "C" {

void ehprint(const char *text) {
  guarded([&] { qvk::diag::print_text(Tra_VARDPrint, text_or_empty(text)); });
}

void ehprini(const char *text, const int *n) {
  guarded([&] { put_number(Tra_VARDPrint, text, n); });
}

void ehprinr(const char *format, const double *x) {
  if (x) guarded([&] { print_real(Tra_VARDPrint, format, *x); });
}

void eaoprnt(const char *text) {
  guarded([&] { qvk::diag::print_line(Tra_OPTPrint, text_or_empty(text)); });
}

void eaoprnti(const char *text, const int *n) {
  guarded([&] { put_number(Tra_OPTPrint, text, n); });
}

void eaoprntr(const char *format, const double *x) {
  // The single-precision value, widened back.
  if (x)
    guarded([&] {
      print_real(Tra_OPTPrint, format, static_cast<double>(static_cast<float>(*x)));
    });
}

void eyflsh(void) { fflush(stdout); }

}  // extern "C"

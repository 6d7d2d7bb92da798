// The date text of listings.
#include "types/date.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "QorVARDMathKernel/types.h"

namespace qvk::types {
namespace {
Clock g_clock = &time;
}
Clock set_date_clock(Clock clock) {
  Clock previous = g_clock;
  g_clock = clock ? clock : &time;
  return previous;
}
}  // namespace qvk::types

void VardGetDate(char *&text) {
  text = static_cast<char *>(::operator new(80));
  memset(text, 0, 4);
  strcpy(text, "Year : ");

  time_t t = qvk::types::g_clock(nullptr);
  struct tm parts;
  // localtime_r: the shared record of localtime is nobody's to change.
  if (!localtime_r(&t, &parts)) memset(&parts, 0, sizeof parts);
  int day = parts.tm_yday + 1;  // 1 January is day 1

  char year[5] = "";
  if (strftime(year, sizeof year, "%Y", &parts) == 0) year[0] = '\0';
  strcat(text, year);
  // At most 7 + 4 + 7 + 3 + 8 + 17 bytes: the 80 bytes always suffice.
  size_t used = strlen(text);
  snprintf(text + used, 80 - used, " Day : %c%c%c Hour : %02d h %02d m %02d s",
           '0' + day / 100 % 10, '0' + day / 10 % 10, '0' + day % 10, parts.tm_hour % 100,
           parts.tm_min % 100, parts.tm_sec % 100);
}

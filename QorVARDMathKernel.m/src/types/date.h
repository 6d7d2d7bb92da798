// The clock behind VardGetDate, replaceable by tests (a leap year's last
// day is not a day one waits for).
#ifndef QVK_TYPES_DATE_H
#define QVK_TYPES_DATE_H

#include <ctime>

namespace qvk::types {
using Clock = time_t (*)(time_t *);
// Installs clock (null restores time()); returns the previous one.
Clock set_date_clock(Clock clock);
}  // namespace qvk::types

#endif

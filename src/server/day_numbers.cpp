#include "server/day_numbers.h"

#include <cmath>

#include "server/proc_checks.h"

namespace zi::server {

std::optional<int64_t> StoredDayOf(const DbValue& date) {
  const double day = std::floor(date.AsDateTime().days) - kDay1920;
  if (day < kFirstStoredDay || day > kLastStoredDay) return std::nullopt;
  return static_cast<int64_t>(day);
}

int RequiredDay(const DbValue& date, int64_t& day) {
  if (date.IsNull()) return kValueMissing;
  const std::optional<int64_t> found = StoredDayOf(date);
  if (!found) return kOutOfRange;
  day = *found;
  return 0;
}

int OptionalDay(const DbValue& date, DbValue& day) {
  day = DbValue();
  if (date.IsNull()) return 0;
  const std::optional<int64_t> found = StoredDayOf(date);
  if (!found) return kOutOfRange;
  day = *found;
  return 0;
}

}  // namespace zi::server

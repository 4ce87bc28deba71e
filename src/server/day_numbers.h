#pragma once
// Dates that the procedures store as day numbers (1920-01-01 is day 0, which no stored date has).
// A stored day goes back to the client as a date by adding 7306 (kDay1920) in the SQL.

#include <cstdint>
#include <optional>

#include "toolbox/db_value.h"

namespace zi::server {

inline constexpr int64_t kFirstStoredDay = 1;
inline constexpr int64_t kLastStoredDay = 65535;

// The day of a date; nullopt outside the days a number reaches.
std::optional<int64_t> StoredDayOf(const DbValue& date);
// 0 with the day of a required date; 99101 for NULL, 99102 for a date without a day number.
int RequiredDay(const DbValue& date, int64_t& day);
// The same for a date that may be absent: NULL gives a NULL day.
int OptionalDay(const DbValue& date, DbValue& day);

}  // namespace zi::server

#pragma once
// What the calls of the catalogue's and market data's records share: one call guarded so that an
// exception on the way is logged and becomes a code, and the day number of a date the server sent.

#include <functional>

#include "toolbox/dates.h"
#include "toolbox/db_value.h"

namespace zi {

inline constexpr int kCallFailed = 3939;

// The body's code; when it raises, the exception is logged under where and gives its code or 3939.
int GuardedCall(const char* where, const std::function<int()>& body);
// Day 0 for NULL or a date that has no day number.
TDayNumber DayNumberOfValue(const DbValue& value);

}  // namespace zi

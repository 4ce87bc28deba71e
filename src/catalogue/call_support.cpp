#include "catalogue/call_support.h"

#include <cmath>

#include "db/command.h"
#include "toolbox/log.h"

namespace zi {

int GuardedCall(const char* where, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    int code = 0;
    ReportExceptionWithCode(where, code, e, kCallFailed);
    return code;
  }
}

TDayNumber DayNumberOfValue(const DbValue& value) {
  if (value.IsNull()) return kNoDate;
  const double days = std::floor(db::ValueAsDateTime(value).days) - kDay1920;
  if (days < 1 || days > 65535) return kNoDate;
  return TDayNumber{static_cast<uint16_t>(days)};
}

}  // namespace zi

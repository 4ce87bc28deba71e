#include "holdings/db_call.h"

#include <exception>

#include "toolbox/log.h"

namespace zi {

int GuardedCall(std::string_view where, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    int code = 0;
    ReportExceptionWithCode(where, code, e, kHoldingsCallFailed);
    return code;
  }
}

}  // namespace zi

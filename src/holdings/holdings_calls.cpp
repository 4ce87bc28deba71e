#include "holdings/holdings_calls.h"

#include <exception>

#include "toolbox/log.h"
#include "toolbox/own_codes.h"

namespace zi {

int GuardedHoldingsCall(const char* where, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    int code = 0;
    ReportExceptionWithCode(where, code, e, kHoldingsCallRaised);
    return code;
  }
}

}  // namespace zi

#pragma once
// What the calls of the holdings share: a call whose exception becomes a logged code.

#include <functional>

namespace zi {

// Runs one database operation: an exception on the way is logged under where and becomes its own
// code or kHoldingsCallRaised.
int GuardedHoldingsCall(const char* where, const std::function<int()>& body);

}  // namespace zi

#pragma once
// One call of the holdings' procedures: an exception on the way is logged and becomes a code.

#include <functional>
#include <string_view>

namespace zi {

inline constexpr int kHoldingsCallFailed = 3939;

int GuardedCall(std::string_view where, const std::function<int()>& body);

}  // namespace zi

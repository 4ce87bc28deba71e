#pragma once
// What the calls of the holdings share: a call whose exception becomes a logged code.

#include <functional>
#include <string>
#include <vector>

#include "toolbox/db_value.h"

namespace zi::db {
class TDbCommand;
}

namespace zi {

// Runs one database operation: an exception on the way is logged under where and becomes its own
// code or kHoldingsCallRaised.
int GuardedHoldingsCall(const char* where, const std::function<int()>& body);

// Runs an SQL text with its values bound to its "?" placeholders; 0 or the code.
int RunSqlText(const std::string& sql, std::vector<DbValue> params);

// Sets a float parameter; a missing or infinite number travels as NULL.
void SetNumberParam(db::TDbCommand& ds, const std::string& name, double value);

}  // namespace zi

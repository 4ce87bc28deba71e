#pragma once
// Procedures of the multi-result convention: a first result set whose "result" column gives the
// code, then the rows, then a last result set whose "result" column gives the final code.

#include <functional>

#include "db/connection.h"

namespace zi::db {

// Runs the procedure and hands each row of its middle result set to onRow; 0, or the first code
// that is not (the first result, a result set that cannot be read, the final result).
int ExecMultiResult(TAdoDataBaseCustomizado& db, TDbCommand& command, const std::function<void(TDbCommand&)>& onRow);

}  // namespace zi::db

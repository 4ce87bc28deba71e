#include "db/multi_result.h"

namespace zi::db {

namespace {

constexpr int kNoResultSet = 4091;

// Moves to the next result set; a call that answers fewer sets than the convention has is refused.
int NextSet(TDbCommand& command) {
  bool more = false;
  if (const int code = command.NextResultSet(more)) return code;
  return more ? 0 : kNoResultSet;
}

}  // namespace

int ExecMultiResult(TAdoDataBaseCustomizado& db, TDbCommand& command, const std::function<void(TDbCommand&)>& onRow) {
  if (const int code = db.ExecStProc(command, 1)) return code;
  if (const int code = NextSet(command)) return code;
  for (; !command.Eof(); command.Next()) onRow(command);
  if (const int code = NextSet(command)) return code;
  return db.ResultColumnCode(command);
}

}  // namespace zi::db

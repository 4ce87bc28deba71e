#pragma once
// What the server answers, as every part of it sees them: result sets, a procedure's results and
// the refusals. Kept apart from the procedure declarations so that the SQLite layer below them
// needs nothing of theirs.

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolbox/db_value.h"

namespace zi::server {

struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<DbValue>> rows;
};

struct ProcedureResult {
  int returnValue = 0;
  std::map<std::string, DbValue> outputs;  // by parameter name, "@" included
  std::vector<ResultSet> resultSets;
};

// What the server says when it refuses a call. The messages are the ones the client's error
// handling recognises; a refusal that has a result code of its own carries it.
class ServerError : public std::runtime_error {
 public:
  enum class Kind { WrongType, UnknownProcedure, UnknownParameter, Sql, Busy, NotAllowed, NotOurDatabase, Damaged, Io };
  ServerError(Kind kind, const std::string& message, int answerCode = 0)
      : std::runtime_error(message), kind_(kind), answerCode_(answerCode) {}
  Kind GetKind() const { return kind_; }
  // The result code the client receives; 0 when the refusal has none.
  int AnswerCode() const { return answerCode_; }

 private:
  Kind kind_;
  int answerCode_;
};

// The rows of one table that changed while they were counted, as their net effect.
struct TableChangeCount {
  std::string table;
  int64_t added = 0;
  int64_t changed = 0;
  int64_t deleted = 0;
};

}  // namespace zi::server

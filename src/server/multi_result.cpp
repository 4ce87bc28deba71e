#include "server/multi_result.h"

namespace zi::server {

namespace {

ResultSet ResultRow(int code) { return ResultSet{{"result"}, {{code}}}; }

}  // namespace

int AnswerMultiResult(ProcContext& call, int code, std::string_view sql, const std::vector<DbValue>& params) {
  call.AddResultSet(ResultRow(code));
  if (code != 0) return code;
  call.AddResultSet(sql, params);
  call.AddResultSet(ResultRow(0));
  return 0;
}

}  // namespace zi::server

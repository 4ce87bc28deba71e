#pragma once
// The multi-result convention: a procedure answers a first result set whose one row holds its code
// in the column "result", then, when the code is 0, its rows and a last "result" row with the final
// code. The client reads the code of the first set before it reads anything else.

#include <string_view>
#include <vector>

#include "server/server.h"

namespace zi::server {

// Answers code; when it is 0, the rows of the query and the final result as well. Returns the code,
// for the handler to return.
int AnswerMultiResult(ProcContext& call, int code, std::string_view sql = {}, const std::vector<DbValue>& params = {});

}  // namespace zi::server

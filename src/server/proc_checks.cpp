#include "server/proc_checks.h"

#include <optional>

#include "server/server.h"
#include "server/session_user.h"
#include "server/sqlite_db.h"
#include "toolbox/text.h"

namespace zi::server {

int FirstFailure(std::initializer_list<int> codes) {
  for (const int code : codes) {
    if (code != 0) return code;
  }
  return 0;
}

int RequireUser(ProcContext& call) { return call.User() ? 0 : kLoginFailed; }

int RequireAdministrator(ProcContext& call) {
  const std::optional<SessionUser> user = ReadSessionUser(call);
  if (!user) return kLoginFailed;
  return user->isAdmin ? 0 : kNotAdministrator;
}

int RequireRight(ProcContext& call, UserRight right) {
  const std::optional<SessionUser> user = ReadSessionUser(call);
  return user ? right(*user) : kLoginFailed;
}

int RequiredText(ProcContext& call, const std::string& param) {
  const DbValue& value = call.In(param);
  return value.IsNull() || Trim(value.AsText()).empty() ? kValueMissing : 0;
}

int IntegerIn(ProcContext& call, const std::string& param, int64_t min, int64_t max) {
  const DbValue& value = call.In(param);
  if (value.IsNull()) return kValueMissing;
  return value.AsInteger() < min || value.AsInteger() > max ? kOutOfRange : 0;
}

int64_t Integer(ProcContext& call, const std::string& param) { return call.In(param).AsInteger(); }

int64_t IntegerOr(ProcContext& call, const std::string& param, int64_t missing) {
  return call.IsNull(param) ? missing : Integer(call, param);
}

std::string TextOr(ProcContext& call, const std::string& param, const std::string& missing) {
  return call.IsNull(param) ? missing : call.In(param).AsText();
}

bool Flag(ProcContext& call, const std::string& param) { return !call.IsNull(param) && call.In(param).AsBoolean(); }

bool Exists(ProcContext& call, std::string_view sql, const std::vector<DbValue>& params) {
  return call.Db().QueryValue(sql, params).AsInteger() != 0;
}

bool IsCommonSeriesStatus(int64_t status) { return status == 0 || status == 5; }

}  // namespace zi::server

#include "server/session_user.h"

#include <vector>

#include "server/server.h"
#include "server/sqlite_db.h"

namespace zi::server {

std::optional<SessionUser> ReadSessionUser(ProcContext& call) {
  if (call.SessionUserId() == 0) return std::nullopt;
  const ResultSet found =
      call.Db().Query("SELECT id, name, email, is_admin, user_flag, source_do_bal, lingua FROM users WHERE id = ?",
                      {call.SessionUserId()});
  if (found.rows.empty()) return std::nullopt;
  const std::vector<DbValue>& row = found.rows[0];
  return SessionUser{.id = row[0].AsInteger(),
                     .name = row[1].AsText(),
                     .email = row[2].AsText(),
                     .isAdmin = row[3].AsBoolean(),
                     .userFlag = row[4].AsInteger(),
                     .sourceDoBal = row[5].AsInteger(),
                     .lingua = row[6].AsInteger()};
}

}  // namespace zi::server

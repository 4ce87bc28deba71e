#include "server/session_user.h"

#include <vector>

#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/own_codes.h"

namespace zi::server {

namespace {

constexpr int64_t kCompanyRightBit = 1;
constexpr int kNoCompanyRight = 15258;
constexpr int64_t kSeriesRightBit = 2;

int FlagRight(const SessionUser& user, int64_t bit, int refusal) {
  return user.isAdmin || (user.userFlag & bit) != 0 ? 0 : refusal;
}

}  // namespace

int CompanyRight(const SessionUser& user) { return FlagRight(user, kCompanyRightBit, kNoCompanyRight); }

int SeriesRight(const SessionUser& user) { return FlagRight(user, kSeriesRightBit, kAnswerNoSeriesRight); }

int SignedInRight(const SessionUser&) { return 0; }

std::optional<SessionUser> ReadSessionUser(ProcContext& call) { return call.User(); }

std::optional<SessionUser> ReadUser(SqliteDb& db, int64_t id) {
  const ResultSet found =
      db.Query("SELECT id, name, email, is_admin, user_flag, source_do_bal, lingua FROM users WHERE id = ?", {id});
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

#pragma once
// The logged-in user as the procedures see it: read once per transaction, and again after this
// connection changes the users table, so that a change of rights or a removed user takes effect
// with the next transaction that starts.

#include <cstdint>
#include <optional>
#include <string>

namespace zi::server {

class ProcContext;
class SqliteDb;

struct SessionUser {
  int64_t id = 0;
  std::string name;
  std::string email;
  bool isAdmin = false;
  int64_t userFlag = 0;
  int64_t sourceDoBal = 0;
  int64_t lingua = 0;
};

// A user's row as it is now; nullopt when there is none.
std::optional<SessionUser> ReadUser(SqliteDb& db, int64_t id);
// The logged-in user's row as it is now; nullopt without a session or when the row is gone.
std::optional<SessionUser> ReadSessionUser(ProcContext& call);

// A right: 0 when the user holds it, else the code of the refusal. Each right is one function,
// used alike by the procedure that asks about it and by the writers it guards, so that a warning
// and the server's answer always agree. An administrator holds every right.
using UserRight = int (*)(const SessionUser& user);

// Changing companies and their classes (adding, changing, deleting): user_flag bit value 1, else
// 15258. ChkEmpDoUsr asks about it.
int CompanyRight(const SessionUser& user);
// Changing series (adding, changing, deleting): user_flag bit value 2, else 99108. ChkAnbDoUsr
// asks about it.
int SeriesRight(const SessionUser& user);
// Held by every logged-in user: what the procedures that write portfolios and compositions ask.
int SignedInRight(const SessionUser& user);

}  // namespace zi::server

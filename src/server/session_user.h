#pragma once
// The logged-in user as the procedures see it: read afresh on every call, so that a change of
// rights or a removed user takes effect at once.

#include <cstdint>
#include <optional>
#include <string>

namespace zi::server {

class ProcContext;

struct SessionUser {
  int64_t id = 0;
  std::string name;
  std::string email;
  bool isAdmin = false;
  int64_t userFlag = 0;
  int64_t sourceDoBal = 0;
  int64_t lingua = 0;
};

// The logged-in user's row as it is now; nullopt without a session or when the row is gone.
std::optional<SessionUser> ReadSessionUser(ProcContext& call);

}  // namespace zi::server

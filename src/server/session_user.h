#pragma once
// The logged-in user as the procedures see it: read afresh on every call, so that a change of
// rights or a removed user takes effect at once.

#include <cstdint>
#include <optional>
#include <string>

namespace zi::server {

class ProcContext;

// A user who is not an administrator may add, change and delete companies only with this bit of
// user_flag set; else 15258.
inline constexpr int64_t kCompanyRightBit = 1;
inline constexpr int kNoCompanyRight = 15258;

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

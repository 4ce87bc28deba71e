#pragma once
// The session globals: who is logged in, with which rights, on which server.

#include <cstdint>
#include <optional>
#include <string>

namespace zi {

inline constexpr int kClientVersion = 22;
inline constexpr int kPatchNum = 1131;

struct TZiGlobs {
  std::string serverHost;
  std::string database;
  // From GetInfoDoUsuario.
  int uid = 0;
  std::string name;  // the user's name in the database, "ZiDbUser" in failure reports
  std::string email;
  bool IsAdmin = false;
  uint32_t UserFlag = 0;
  uint8_t SourceDoBal = 0;
  int lingua = 0;
  // Seconds between the local clock and the server's: local minus server; unset before a login.
  std::optional<int64_t> ServerClock;
  bool DbgDifChecagemBal = false;
  std::string PathReqGBol;
};

TZiGlobs& ZiGlobs();
// Clears every user field (before a login, and when it fails).
void ClearUserInfo();

// The rights derived from the user's flags; an administrator has all of them.
bool RightA();
bool RightB();
bool RightC();
bool RightD();
bool PodeMudarAtvDoAnbPraCima();
bool ImportPermitido();

}  // namespace zi

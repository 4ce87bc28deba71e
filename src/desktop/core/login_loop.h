#pragma once
// The desktop's login: the dialog shown until the session opens or the user cancels.

#include <string>

namespace zi::desktop {

// The login dialog as the loop sees it. The user name is program text, the password the UTF-8
// bytes typed.
class tLoginView {
 public:
  virtual ~tLoginView() = default;
  virtual void SetUser(const std::string& user) = 0;
  virtual void SetPassword(const std::string& password) = 0;
  virtual std::string User() const = 0;
  virtual std::string Password() const = 0;
  virtual void FocusUser() = 0;
  // Okay: true; Cancel: false.
  virtual bool Exec() = 0;
};

inline constexpr const char* kLastUserSetting = "LastUser";

// "Could not logins as <user>. <error text>", then on a line of its own what the driver or the
// server said, when it said something.
std::string LoginFailureText(const std::string& user, int code, const std::string& reason = {});

// 0 once the session is open; 4272 when the user cancelled.
int LoginInterativo(tLoginView& dialog);

}  // namespace zi::desktop

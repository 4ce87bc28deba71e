#include "desktop/core/login_loop.h"

#include <memory>

#include "db/sql_errors.h"
#include "session/login.h"
#include "session/settings.h"
#include "toolbox/message_box.h"
#include "toolbox/message_window.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"

namespace zi::desktop {

std::string LoginFailureText(const std::string& user, int code, const std::string& reason) {
  std::string text = "Could not logins as " + user + ". " + db::SqlErrorText(code);
  if (!reason.empty()) text += "\n" + reason;
  return text;
}

int LoginInterativo(tLoginView& dialog) {
  std::string user;
  std::string password;
  PegaParam("user", user);
  PegaParam("password", password);
  if (user.empty()) user = LeReg(kLastUserSetting);
  dialog.SetUser(user);
  dialog.SetPassword(password);
  for (;;) {
    dialog.FocusUser();
    if (!dialog.Exec()) return kLoginCancelled;
    user = Trim(dialog.User());
    int code = 0;
    {
      std::unique_ptr<TMessageWindow> window = CreateMessageWindow("ZorInput");
      code = InitDbConnection(user, Trim(dialog.Password()), false, window.get());
      if (window) window->Close();
    }
    dialog.SetPassword("");
    if (code == 0) {
      GravaReg(kLastUserSetting, user);
      return 0;
    }
    ShowErrorBox("Warning", LoginFailureText(user, code, LoginFailureReason()));
  }
}

}  // namespace zi::desktop

#include "desktop/core/login_loop.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "db/sql_errors.h"
#include "desktop_fakes.h"
#include "session/login.h"
#include "session/settings.h"
#include "toolbox/http.h"
#include "toolbox/switches.h"

namespace zi::desktop {
namespace {

// A login dialog that answers from a script: a user and a password for Okay, nothing for Cancel.
struct ScriptedLogin : tLoginView {
  std::deque<std::pair<std::string, std::string>> answers;
  std::vector<std::string> shown;  // user and password as each showing found them
  std::string user;
  std::string password;
  int focused = 0;

  void SetUser(const std::string& text) override { user = text; }
  void SetPassword(const std::string& text) override { password = text; }
  std::string User() const override { return user; }
  std::string Password() const override { return password; }
  void FocusUser() override { ++focused; }
  bool Exec() override {
    shown.push_back(user + "/" + password);
    if (answers.empty()) return false;
    std::tie(user, password) = answers.front();
    answers.pop_front();
    return true;
  }
};

class LoginLoop : public test::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    SetMailRelay("");
    SetParameters({"/opt/zorinput", "/database=" + dir_.File("zi.db")});
  }
  void TearDown() override {
    db::DestroyZiDb();
    DesktopTest::TearDown();
  }

  test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
  test::EnvGuard passwordVariable_{"ZORINPUT_PASSWORD", nullptr};
  ScriptedLogin dialog;
};

TEST_F(LoginLoop, RetriesUntilTheSessionOpensAndRemembersTheUser) {
  dialog.answers = {{" ana ", "pw"}};
  EXPECT_EQ(LoginInterativo(dialog), 0);
  EXPECT_EQ(LeReg("LastUser"), "ana");
  EXPECT_TRUE(dialog.password.empty());
  db::DestroyZiDb();

  dialog.answers = {{"ana", "wrong"}, {"ana", "pw"}};
  EXPECT_EQ(LoginInterativo(dialog), 0);
  EXPECT_EQ(dialog.shown, (std::vector<std::string>{"/", "ana/", "ana/"}));
  EXPECT_EQ(dialog.focused, 3);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Warning|Could not logins as ana. " + db::SqlErrorText(18456) + "\nLogin failed for user 'ana'.");
  EXPECT_EQ(LoginFailureText("ana", 3695), "Could not logins as ana. Please check you have the latest ZorInput version error:3695");
}

TEST_F(LoginLoop, AProviderThisBuildLacksIsSaidInTheBoxAndTheDialogAsksAgain) {
  SetParameters({"/opt/zorinput", "/database=" + dir_.File("zi.db"), "/provider=foo"});
  dialog.answers = {{"ana", "pw"}};
  EXPECT_EQ(LoginInterativo(dialog), kLoginCancelled);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Warning|Could not logins as ana. This database provider is not available in this build "
                       "error:99002");
  EXPECT_EQ(dialog.shown.size(), 2u);
}

TEST_F(LoginLoop, SwitchesFillTheDialogAndCancelEndsIt) {
  SetParameters({"/opt/zorinput", "/database=" + dir_.File("zi.db"), "/user=bia", "/password=s3"});
  EXPECT_EQ(LoginInterativo(dialog), kLoginCancelled);
  EXPECT_EQ(dialog.shown, (std::vector<std::string>{"bia/s3"}));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_FALSE(EstaConectado(false));
}

}  // namespace
}  // namespace zi::desktop

#pragma once
// A test logged in as the administrator to a fresh demo database, with the boxes shown, the beeps
// and the questions asked recorded.

#include <sstream>
#include <string>
#include <vector>

#include "desktop/core/ui_port.h"
#include "server/server_tool.h"
#include "support/logged_in_database.h"
#include "toolbox/message_box.h"

namespace zi::test {

class DemoDatabase : public LoggedInDatabase {
 protected:
  void SetUp() override {
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(server::RunServerTool({"init", "--demo", dir_.File("zi.db")}, out, err), 0) << err.str();
    LoggedInDatabase::SetUp();
    SetErrorBoxHandler([this](const std::string& caption, const std::string& text) {
      boxes_.push_back(caption + "|" + text);
    });
    desktop::SetUiPort({.beep = [this] { ++beeps_; },
                        .askYesNo = [this](const std::string&, const std::string& text, bool) {
                          questions_.push_back(text);
                          return answer_;
                        }});
  }
  void TearDown() override {
    desktop::SetUiPort({});
    SetErrorBoxHandler({});
    LoggedInDatabase::TearDown();
  }
  // A user who is not an administrator, logged in instead of the administrator.
  void LogInAsPlainUser() {
    ASSERT_GT(Server().AddUser({.name = "bia", .userFlag = 2}, "pw"), 0);
    LogIn("bia", "pw");
  }
  int CompanyId(const std::string& cod) {
    return static_cast<int>(Server().ExecuteSql("select id from empresa where cod = ?", {cod}).at(0).rows.at(0).at(0).AsInteger());
  }

  std::vector<std::string> boxes_;
  std::vector<std::string> questions_;
  int beeps_ = 0;
  bool answer_ = false;
};

}  // namespace zi::test

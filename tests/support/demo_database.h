#pragma once
// A test logged in as the administrator to a fresh database made as `zorinput-server init --demo`
// makes it (PETR with its classes and PETR3/PETR4, VALE, ITUB, IBM, KO), with the boxes shown
// ("caption|text"), the beeps and the yes/no questions asked ("caption|text|No" when No is the
// default, "|Yes" otherwise) recorded. Every question gets answer_.

#include <sstream>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
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
    SetErrorBoxHandler(
        [this](const std::string& caption, const std::string& text) { boxes_.push_back(caption + "|" + text); });
    desktop::SetUiPort({.beep = [this] { ++beeps_; },
                        .askYesNo =
                            [this](const std::string& caption, const std::string& text, bool noIsDefault) {
                              questions_.push_back(caption + "|" + text + "|" + (noIsDefault ? "No" : "Yes"));
                              return answer_;
                            }});
  }
  void TearDown() override {
    desktop::SetUiPort({});
    SetErrorBoxHandler({});
    LoggedInDatabase::TearDown();
  }
  // A user who is not an administrator, with these user-flag bits, logged in instead of the
  // administrator.
  void LogInAsUser(int userFlag) {
    ASSERT_GT(Server().AddUser({.name = "bia", .userFlag = userFlag}, "pw"), 0);
    LogIn("bia", "pw");
  }
  // The captions of the boxes shown: a server error's text ends with the last lines of the log.
  std::vector<std::string> BoxCaptions() const {
    std::vector<std::string> captions;
    for (const std::string& box : boxes_) captions.push_back(box.substr(0, box.find('|')));
    return captions;
  }
  // A company of Brazil with its statements' currency, added as the company form adds one: its
  // id, 0 when the add failed.
  int AddCompany(const std::string& cod, const std::string& nome) {
    tObjEmp emp;
    emp.cod = cod;
    emp.pais = 0;
    emp.nome = nome;
    emp.moedabal[0] = 1;
    EXPECT_EQ(DbObjEmpAdd(emp), 0) << cod;
    return emp.id;
  }
  int CompanyId(const std::string& cod) { return IdOf("select id from empresa where cod = ?", cod); }
  int SeriesId(const std::string& ticker) { return IdOf("select id from anbima where cod = ?", ticker); }
  int ClassIdOfSeries(const std::string& ticker) { return IdOf("select acao from anbima where cod = ?", ticker); }

  std::vector<std::string> boxes_;
  std::vector<std::string> questions_;
  int beeps_ = 0;
  bool answer_ = false;

 private:
  int IdOf(const std::string& sql, const std::string& key) {
    return static_cast<int>(Server().ExecuteSql(sql, {DbValue(key)}).at(0).rows.at(0).at(0).AsInteger());
  }
};

}  // namespace zi::test

#pragma once
// A test logged in to a fresh embedded database that holds the demo catalogue (PETR with its
// classes and PETR3/PETR4, VALE, ITUB, IBM, KO), first as its administrator.

#include <string>

#include "server/demo_catalogue.h"
#include "server/sqlite_db.h"
#include "support/logged_in_database.h"

namespace zi::test {

class DemoCatalogueDatabase : public LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    {
      const std::unique_ptr<server::SqliteDb> db = server::SqliteDb::Open(dir_.File("zi.db"));
      server::AddDemoCatalogue(*db);
    }
    DropObjectCaches();
    // What the program's start fills.
    PreencheListasFixas();
  }
  // A user who is not an administrator, with these user-flag bits.
  void LogInAsUser(int userFlag) {
    ASSERT_GT(Server().AddUser({.name = "bob", .userFlag = userFlag}, "pw"), 0);
    LogIn("bob", "pw");
  }
  int EmpId(const std::string& cod) {
    return static_cast<int>(SqlValue("SELECT id FROM empresa WHERE cod = '" + cod + "'").AsInteger());
  }
  int AnbId(const std::string& ticker) {
    return static_cast<int>(SqlValue("SELECT id FROM anbima WHERE cod = '" + ticker + "'").AsInteger());
  }
  int AtvIdDaSerie(const std::string& ticker) {
    return static_cast<int>(SqlValue("SELECT acao FROM anbima WHERE cod = '" + ticker + "'").AsInteger());
  }
};

}  // namespace zi::test

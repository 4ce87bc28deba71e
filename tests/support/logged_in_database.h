#pragma once
// A test logged in to a fresh embedded database through the program's own login, with the
// catalogue's hooks in place, and the means to look at the server behind the connection.

#include <gtest/gtest.h>

#include <string>

#include "catalogue/caches.h"
#include "catalogue/hooks.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "server/server.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/switches.h"

namespace zi::test {

class LoggedInDatabase : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    SetReferenceDataLoader(CarregaDadosIniciais);
    InstallCatalogueHooks();
    LogIn("ana", "pw");
  }
  void TearDown() override {
    SetReferenceDataLoader(nullptr);
    db::DestroyZiDb();
    DropObjectCaches();
    SetLogFileName("zorinput.log");
  }
  // The first user of the database is its administrator.
  void LogIn(const std::string& user, const std::string& password) {
    db::DestroyZiDb();
    DropObjectCaches();
    SetParameters({"/opt/zorinput", "/user=" + user, "/password=" + password, "/database=" + dir_.File("zi.db")});
    ASSERT_EQ(InitDbConnection("", "", false, nullptr), 0) << user;
  }
  db::EmbeddedDriver& Driver() { return static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()); }
  server::Server& Server() { return *Driver().Server(); }
  std::string Dump() { return Server().Dump(); }
  void Sql(const std::string& sql) { Server().ExecuteSql(sql); }
  DbValue SqlValue(const std::string& sql) { return Server().ExecuteSql(sql).at(0).rows.at(0).at(0); }
  std::string Log() { return ReadFile(dir_.File("zorinput.log")); }

  TempDir dir_;
  EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
};

}  // namespace zi::test

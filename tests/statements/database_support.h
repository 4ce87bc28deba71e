#pragma once
// A session on a fresh embedded database with one company (id 1, "PETR" in country 0) and the
// statement directives plugged in.

#include <gtest/gtest.h>

#include <string>

#include "catalogue/caches.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "import/command_line_run.h"
#include "server/server.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "statements/accounts.h"
#include "statements/directives.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/switches.h"

namespace zi::test {

class StatementDatabaseTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    SetReferenceDataLoader(CarregaDadosIniciais);
    SetParameters({"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir_.File("zi.db")});
    ASSERT_EQ(InitDbConnection("", "", false, nullptr), 0);
    DropObjectCaches();
    EsqueceContasBal();
    RegisterStatementDirectives();
    Sql("INSERT INTO empresa (id, cod, pais, nome, fmtbal0) VALUES (1, 'PETR', 0, 'Petrobras', 0)");
  }
  void TearDown() override {
    SetReferenceDataLoader(nullptr);
    db::DestroyZiDb();
    DropObjectCaches();
    EsqueceContasBal();
    SetLogFileName("zorinput.log");
  }
  db::EmbeddedDriver& Driver() { return static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()); }
  server::Server& Server() { return *Driver().Server(); }
  std::string Dump() { return Server().Dump(); }
  std::vector<server::ResultSet> Sql(const std::string& sql) { return Server().ExecuteSql(sql); }
  int64_t SqlValue(const std::string& sql) { return Sql(sql).at(0).rows.at(0).at(0).AsInteger(); }
  std::string Log() { return ReadFile(dir_.File("zorinput.log")); }

  int Import(const std::string& text) {
    const std::string file = dir_.File("in.txt");
    WriteFile(file, text);
    impcli::tMyImpMain run(file, true, false, "");
    while (run.NotFinished()) run.Step();
    return run.ResultCode();
  }

  TempDir dir_;
};

}  // namespace zi::test

#include "app/check_server.h"

#include <gmock/gmock.h>

#include "db/drivers/odbc_driver.h"
#include "db/recording_odbc.h"
#include "server/server.h"

namespace zi::app {
namespace {

using testing::ElementsAre;

TEST(CheckServer, ListsTheProceduresAndParametersTheServerLacks) {
  server::Registry registry;
  auto handler = [](server::ProcContext&) { return 0; };
  registry.Add({"GetX", server::ProcAccess::Reads, {{"@id", DbType::Integer, server::ParamDirection::Input}}, handler});
  registry.Add({"Gone", server::ProcAccess::Reads, {}, handler});
  registry.Add({"Short",
                server::ProcAccess::Writes,
                {{"@a", DbType::Integer, server::ParamDirection::Input},
                 {"@b", DbType::Text, server::ParamDirection::Output}},
                handler});
  db::test::RecordingOdbc api;
  api.procedures["GetX"] = {{"@RETURN_VALUE", SQL_RETURN_VALUE, SQL_INTEGER, 10},
                            {"@ID", SQL_PARAM_INPUT, SQL_INTEGER, 10}};
  api.procedures["Short"] = {{"@RETURN_VALUE", SQL_RETURN_VALUE, SQL_INTEGER, 10},
                             {"@a", SQL_PARAM_INPUT, SQL_INTEGER, 10}};
  db::OdbcDriver driver({"odbc", "db.example", "ZorInput", "ana", "pw", "", ""}, api);
  driver.Open();

  const ServerCheck check = CheckServerProcedures(driver, registry);
  EXPECT_THAT(check.lines,
              ElementsAre("checkserver: procedure Gone is missing (Procedure Gone was not found on the server)",
                          "checkserver: procedure Short lacks parameter @b",
                          "checkserver: 3 procedures checked: 1 missing, 1 lacking parameters"));
}

}  // namespace
}  // namespace zi::app

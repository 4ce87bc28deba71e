#pragma once
// A connection to a real embedded server in a temporary file, with procedures made for the tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "server/server.h"
#include "support/test_files.h"
#include "toolbox/log.h"

namespace zi::db::test {

using server::ParamDirection;
using server::ProcContext;

inline const server::Registry& TestRegistry() {
  static const server::Registry registry = [] {
    server::Registry r;
    r.Add({"TestEcho",
           server::ProcAccess::Reads,
           {{"@a", DbType::Integer, ParamDirection::Input},
            {"@b", DbType::Float, ParamDirection::Input},
            {"@s", DbType::Text, ParamDirection::Input},
            {"@d", DbType::DateTime, ParamDirection::Input},
            {"@blob", DbType::Blob, ParamDirection::Input},
            {"@outA", DbType::Integer, ParamDirection::Output},
            {"@outB", DbType::Float, ParamDirection::Output},
            {"@outS", DbType::Text, ParamDirection::Output},
            {"@outD", DbType::DateTime, ParamDirection::Output}},
           [](ProcContext& c) {
             c.SetOut("@outA", c.In("@a"));
             c.SetOut("@outB", c.In("@b"));
             c.SetOut("@outS", c.In("@s"));
             c.SetOut("@outD", c.In("@d"));
             return 0;
           }});
    r.Add({"TestReturns",
           server::ProcAccess::Reads,
           {{"@code", DbType::Integer, ParamDirection::Input}},
           [](ProcContext& c) { return static_cast<int>(c.In("@code").AsInteger()); }});
    r.Add({"TestResult",
           server::ProcAccess::Reads,
           {{"@result", DbType::Text, ParamDirection::Input}},
           [](ProcContext& c) {
             server::ResultSet rows{{"result"}, {}};
             if (!c.IsNull("@result")) rows.rows.push_back({c.In("@result")});
             c.AddResultSet(std::move(rows));
             return 0;
           }});
    r.Add({"TestNoResultColumn", server::ProcAccess::Reads, {}, [](ProcContext& c) {
             c.AddResultSet(server::ResultSet{{"other"}, {{DbValue(1)}}});
             return 0;
           }});
    r.Add({"TestRows",
           server::ProcAccess::Reads,
           {{"@outCount", DbType::Integer, ParamDirection::Output}},
           [](ProcContext& c) {
             c.AddResultSet(server::ResultSet{{"id", "name"}, {{DbValue(1), DbValue("one")}, {DbValue(2), DbValue("two")}}});
             c.AddResultSet(server::ResultSet{{"n"}, {{DbValue(3.5)}}});
             c.SetOut("@outCount", DbValue(2));
             return 0;
           }});
    r.Add(
        {"TestWrite", server::ProcAccess::Writes, {{"@name", DbType::Text, ParamDirection::Input}}, [](ProcContext& c) {
           c.AddResultSet("INSERT INTO t_items(name) VALUES (?) RETURNING id", {c.In("@name")});
           return 0;
         }});
    for (int i = 0; i < 10; ++i)
      r.Add({"P" + std::to_string(i), server::ProcAccess::Reads, {}, [](ProcContext&) { return 0; }});
    return r;
  }();
  return registry;
}

class DbTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    auto driver = std::make_unique<EmbeddedDriver>(path_, &TestRegistry());
    driver->SetCredentials("tester", "secret");
    driver_ = driver.get();
    db_ = std::make_unique<TAdoDataBaseComInfoTran>(std::move(driver));
    db_->Open();
    driver_->Server()->ExecuteSql("CREATE TABLE IF NOT EXISTS t_items(id INTEGER PRIMARY KEY, name TEXT NOT NULL)");
  }
  void TearDown() override {
    db_.reset();
    SetLogFileName("zorinput.log");
  }

  std::vector<std::string> LogTexts() const { return zi::test::WithoutStamps(zi::test::ReadLines(dir_.File("zorinput.log"))); }
  // Adds an item through the test's writing procedure: its code, -1 when the call cannot be made.
  int Write(const std::string& name) {
    TDataSetHolder ds(*db_, "TestWrite");
    if (!ds) return -1;
    ds->SetText("@name", name);
    return db_->ExecStProc(*ds, 0);
  }
  int ItemCount() {
    return static_cast<int>(driver_->Server()->ExecuteSql("SELECT count(*) FROM t_items").front().rows[0][0].AsInteger());
  }

  zi::test::TempDir dir_;
  std::string path_ = dir_.File("zi.db");
  EmbeddedDriver* driver_ = nullptr;
  std::unique_ptr<TAdoDataBaseComInfoTran> db_;
};

}  // namespace zi::db::test

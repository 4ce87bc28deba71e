#pragma once
// A server over a fresh file in a temporary directory, with procedures that exercise the calling
// convention: every type in and out, result sets, writes that fail.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "server/server.h"
#include "server/session_user.h"
#include "server/sqlite_db.h"
#include "support/test_files.h"
#include "toolbox/dates.h"
#include "toolbox/platform.h"

namespace zi::server::test {

using ::zi::test::TempDir;

// "TestPut" writes a row to items, then fails as @fail asks: 0 succeed, -1 raise, else return it.
inline int TestPut(ProcContext& call) {
  call.Db().Run("INSERT INTO items (name, amount) VALUES (?, ?)", {call.In("@name"), call.In("@amount")});
  const int64_t fail = call.IsNull("@fail") ? 0 : call.In("@fail").AsInteger();
  if (fail == -1) throw std::runtime_error("TestPut gave up");
  call.SetOut("@id", call.Db().LastInsertRowId());
  return static_cast<int>(fail);
}

inline const Registry& TestRegistry() {
  static const Registry registry = [] {
    Registry r;
    r.Add({"TestPut",
           ProcAccess::Writes,
           {{"@name", DbType::Text},
            {"@amount", DbType::Float},
            {"@fail", DbType::Integer},
            {"@id", DbType::Integer, ParamDirection::Output}},
           TestPut});
    // Each input comes back in the output of the same type, as the procedure saw it.
    r.Add({"TestEcho",
           ProcAccess::Reads,
           {{"@i", DbType::Integer},
            {"@f", DbType::Float},
            {"@t", DbType::Text},
            {"@b", DbType::Blob},
            {"@bo", DbType::Boolean},
            {"@d", DbType::DateTime},
            {"@oi", DbType::Integer, ParamDirection::Output},
            {"@of", DbType::Float, ParamDirection::Output},
            {"@ot", DbType::Text, ParamDirection::Output},
            {"@ob", DbType::Blob, ParamDirection::Output},
            {"@obo", DbType::Boolean, ParamDirection::Output},
            {"@od", DbType::DateTime, ParamDirection::Output}},
           [](ProcContext& call) {
             for (const char* name : {"i", "f", "t", "b", "bo", "d"}) {
               call.SetOut(std::string("@o") + name, call.In(std::string("@") + name));
             }
             return 0;
           }});
    // Two result sets, an output it sets and one it leaves alone.
    r.Add({"TestSets",
           ProcAccess::Reads,
           {{"@min", DbType::Float},
            {"@count", DbType::Integer, ParamDirection::Output},
            {"@note", DbType::Text, ParamDirection::InputOutput},
            {"@unset", DbType::Text, ParamDirection::Output}},
           [](ProcContext& call) {
             call.AddResultSet("SELECT name, amount FROM items WHERE amount >= ? ORDER BY name", {call.In("@min")});
             call.AddResultSet(ResultSet{{"result"}, {{7}}});
             call.SetOut("@count", call.Db().QueryValue("SELECT count(*) FROM items"));
             return 0;
           }});
    // Misuses its outputs as @how asks: 1 an undeclared one, 2 an input, 3 a value of another type.
    r.Add({"TestMisuse",
           ProcAccess::Reads,
           {{"@how", DbType::Integer}, {"@out", DbType::Integer, ParamDirection::Output}},
           [](ProcContext& call) {
             const int64_t how = call.In("@how").AsInteger();
             call.SetOut(how == 1 ? "@other" : how == 2 ? "@how" : "@out", how == 3 ? DbValue("seven") : DbValue(1));
             return 0;
           }});
    // A grid of the tests changes this table; its window needs the company right.
    r.AllowRowChanges("holder_kind", CompanyRight);
    // Declared as reading, but writes.
    r.Add({"TestReadThatWrites", ProcAccess::Reads, {}, [](ProcContext& call) {
             call.Db().Run("INSERT INTO items (name) VALUES ('written by a reader')");
             return 0;
           }});
    return r;
  }();
  return registry;
}

// How many seconds a server's date-time lies ahead of the local clock now.
inline double SecondsAheadOfNow(TDateTime serverTime) {
  const platform::LocalTime t = platform::Now();
  const TDateTime now = DateTimeFromCalendar({t.year, t.month, t.day, t.hour, t.minute, t.second});
  return (serverTime.days - now.days) * 86400;
}

class ServerTest : public testing::Test {
 protected:
  void SetUp() override {
    server_ = Server::Open(path_, TestRegistry());
    server_->ExecuteSql("CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, amount REAL)");
  }

  // The first value of the first row of a query.
  DbValue Value(const std::string& sql, const std::vector<DbValue>& params = {}) {
    return server_->ExecuteSql(sql, params).at(0).rows.at(0).at(0);
  }

  TempDir dir_;
  std::string path_ = dir_.File("zi.db");
  std::unique_ptr<Server> server_;
};

}  // namespace zi::server::test

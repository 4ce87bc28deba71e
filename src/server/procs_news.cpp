#include "server/procedures.h"

#include <string>
#include <vector>

#include "server/day_numbers.h"
#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"

namespace zi::server {

namespace {

// What the news procedures answer besides 0 (the shared codes of proc_checks.h keep their meanings
// here). Every logged-in user may read and write news.
// - 18456 without a logged-in user, or when the user's row is gone;
// - 3752 (the message table's "NwsImport company not found") NwsImportV2 for a company that does
//   not exist;
// - 8604 NwsDel for an id no item has; 8605 NwsPut for an id no item has;
// - 99101 NULL where a value is required (company, date), and an empty text for NwsAdd and NwsPut;
// - 99102 a date without a day number, a sequence below -1;
// - 99103 NwsAdd and NwsPut for a company that does not exist;
// - 99104 NwsGet for an id no item has, NwsDaEmpAbrv for a company that does not exist;
// - 99106 NwsAdd and NwsPut for a company, date and sequence that another item holds.
// An item is one per company, date and sequence; a sequence of -1 (or NULL) takes the next free
// one of the company's date. NwsImportV2 replaces the text of the item it names. @dra is accepted
// and not stored. NwsDaEmpAbrv lists a company's items newest first (date, then sequence).

constexpr int kCompanyNotFound = 3752;

struct TItem {
  int64_t day = 0;
  int64_t seq = -1;
  std::string txt;
};

int ReadItem(ProcContext& call, TItem& item) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@emp") ? kValueMissing : 0,
                                     RequiredDay(call.In("@date"), item.day)})) {
    return code;
  }
  item.seq = IntegerOr(call, "@seq", -1);
  if (item.seq < -1) return kOutOfRange;
  item.txt = call.IsNull("@txt") ? std::string() : call.In("@txt").AsText();
  return 0;
}

bool CompanyExists(ProcContext& call) {
  return Exists(call, "SELECT EXISTS (SELECT 1 FROM empresa WHERE id = ?)", {call.In("@emp")});
}

int64_t SeqOf(ProcContext& call, const TItem& item) {
  if (item.seq >= 0) return item.seq;
  return call.Db()
      .QueryValue("SELECT coalesce(max(seq) + 1, 0) FROM Noticia WHERE emp = ? AND dia = ?", {call.In("@emp"), item.day})
      .AsInteger();
}

bool Taken(ProcContext& call, int64_t day, int64_t seq, int64_t id) {
  return Exists(call, "SELECT EXISTS (SELECT 1 FROM Noticia WHERE emp = ? AND dia = ? AND seq = ? AND id <> ?)",
                {call.In("@emp"), day, seq, id});
}

int NwsImportV2(ProcContext& call) {
  TItem item;
  if (const int code = ReadItem(call, item)) return code;
  if (!CompanyExists(call)) return kCompanyNotFound;
  const int64_t seq = SeqOf(call, item);
  call.Db().Run("INSERT INTO Noticia (emp, dia, seq, txt) VALUES (?, ?, ?, ?) "
                "ON CONFLICT (emp, dia, seq) DO UPDATE SET txt = excluded.txt",
                {call.In("@emp"), item.day, seq, item.txt});
  return 0;
}

int CheckWritten(ProcContext& call, TItem& item) {
  if (const int code = ReadItem(call, item)) return code;
  if (item.txt.find_first_not_of(" \t\r\n") == std::string::npos) return kValueMissing;
  return CompanyExists(call) ? 0 : kUnknownReference;
}

int NwsAdd(ProcContext& call) {
  TItem item;
  if (const int code = CheckWritten(call, item)) return code;
  const int64_t seq = SeqOf(call, item);
  if (Taken(call, item.day, seq, 0)) return kCodeTaken;
  call.Db().Run("INSERT INTO Noticia (emp, dia, seq, txt) VALUES (?, ?, ?, ?)", {call.In("@emp"), item.day, seq, item.txt});
  call.SetOut("@id", call.Db().LastInsertRowId());
  return 0;
}

int NwsPut(ProcContext& call) {
  TItem item;
  if (const int code = CheckWritten(call, item)) return code;
  const int64_t id = IntegerOr(call, "@id", 0);
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM Noticia WHERE id = ?)", {id})) return kNotFoundToUpdate;
  const int64_t seq = item.seq >= 0 ? item.seq : SeqOf(call, item);
  if (Taken(call, item.day, seq, id)) return kCodeTaken;
  call.Db().Run("UPDATE Noticia SET emp = ?, dia = ?, seq = ?, txt = ? WHERE id = ?",
                {call.In("@emp"), item.day, seq, item.txt, id});
  return 0;
}

int NwsGet(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  const ResultSet rows =
      call.Db().Query("SELECT id, emp, dia + 7306, seq, txt FROM Noticia WHERE id = ?", {call.In("@id")});
  if (rows.rows.empty()) return kNotFound;
  const std::vector<DbValue>& row = rows.rows[0];
  call.SetOut("@id", row[0]);
  call.SetOut("@emp", row[1]);
  call.SetOut("@date", TDateTime{static_cast<double>(row[2].AsInteger())});
  call.SetOut("@seq", row[3]);
  call.SetOut("@txt", row[4]);
  return 0;
}

int NwsDel(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  return call.Db().Run("DELETE FROM Noticia WHERE id = ?", {call.In("@id")}) == 0 ? kNotFoundToDelete : 0;
}

int NwsDaEmpAbrv(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM empresa WHERE id = ?)", {call.In("@id")})) return kNotFound;
  call.AddResultSet("SELECT id, emp, dia + 7306 AS date, seq, txt FROM Noticia WHERE emp = ? "
                    "ORDER BY dia DESC, seq DESC",
                    {call.In("@id")});
  return 0;
}

ParamInfo In(const char* name, DbType type) { return {name, type, ParamDirection::Input}; }

std::vector<ParamInfo> ItemParams(ParamDirection id) {
  return {{"@id", DbType::Integer, id}, In("@emp", DbType::Integer), In("@date", DbType::DateTime),
          In("@seq", DbType::Integer),  In("@dra", DbType::Integer),  In("@txt", DbType::Text)};
}

}  // namespace

void RegisterNewsProcedures(Registry& registry) {
  registry.Add({"NwsImportV2",
                ProcAccess::Writes,
                {In("@emp", DbType::Integer), In("@date", DbType::DateTime), In("@seq", DbType::Integer),
                 In("@dra", DbType::Integer), In("@txt", DbType::Text)},
                NwsImportV2});
  registry.Add({"NwsGet",
                ProcAccess::Reads,
                {{"@id", DbType::Integer, ParamDirection::InputOutput},
                 {"@emp", DbType::Integer, ParamDirection::Output},
                 {"@date", DbType::DateTime, ParamDirection::Output},
                 {"@seq", DbType::Integer, ParamDirection::Output},
                 {"@txt", DbType::Text, ParamDirection::Output}},
                NwsGet});
  registry.Add({"NwsAdd", ProcAccess::Writes, ItemParams(ParamDirection::InputOutput), NwsAdd});
  registry.Add({"NwsPut", ProcAccess::Writes, ItemParams(ParamDirection::Input), NwsPut});
  registry.Add({"NwsDel", ProcAccess::Writes, {In("@id", DbType::Integer)}, NwsDel});
  registry.Add({"NwsDaEmpAbrv", ProcAccess::Reads, {In("@id", DbType::Integer)}, NwsDaEmpAbrv});
}

}  // namespace zi::server

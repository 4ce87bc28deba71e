#include "server/procedures.h"

#include <string>
#include <vector>

#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/own_codes.h"

namespace zi::server {

namespace {

// Shareholding compositions: one per company and reference date (CompAcionaria), with at most one
// item per shareholder and share kind (CompAcionariaItem, written by the client's SQL texts inside
// the transaction of the header's write). Every procedure needs a logged-in user (18456).
// Besides 0 they answer:
// - Add: 99101 no company or no reference date; 99103 no such company; 99705 the company has a
//   composition at that date. @id gives the new composition's id.
// - Put: as Add, and 8605 no composition has @id.
// - Del: 8604 no composition has @id (its items go with it).
// - GetPelaEmpData: 3932 the company has no composition at that date; the header in the outputs.
// - DaEmp: the company's compositions by reference date. Items: the rows of one composition,
//   99104 when it does not exist.
constexpr int kNoCompositionAtDate = 3932;

const std::vector<std::string> kHeaderColumns = {"emp",          "dtref",        "dtpub",      "dtrtf",
                                                 "inpct",        "freefloatcomvoto", "freefloatsemvoto",
                                                 "freefloattodos", "totalcomvoto", "totalsemvoto", "totaltodos"};

std::string Params(const std::string& separator, const std::string& suffix) {
  std::string text;
  for (size_t i = 0; i < kHeaderColumns.size(); ++i) text += (i ? separator : "") + kHeaderColumns[i] + suffix;
  return text;
}

std::vector<DbValue> HeaderValues(ProcContext& call) {
  std::vector<DbValue> values;
  for (const std::string& column : kHeaderColumns) {
    values.push_back(column == "inpct" ? DbValue(Flag(call, "@inpct")) : call.In("@" + column));
  }
  return values;
}

int CheckHeader(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@emp") ? kValueMissing : 0,
                                     call.IsNull("@dtref") ? kValueMissing : 0})) {
    return code;
  }
  return Exists(call, "SELECT EXISTS (SELECT 1 FROM empresa WHERE id = ?)", {call.In("@emp")}) ? 0 : kUnknownReference;
}

DbValue CompositionAt(ProcContext& call) {
  return call.Db().QueryValue("SELECT id FROM CompAcionaria WHERE emp = ? AND dtref = ?",
                              {call.In("@emp"), call.In("@dtref")});
}

int CompAcionariaAdd(ProcContext& call) {
  if (const int code = CheckHeader(call)) return code;
  if (!CompositionAt(call).IsNull()) return kAnswerCompositionDateTaken;
  std::string placeholders = "?";
  for (size_t i = 1; i < kHeaderColumns.size(); ++i) placeholders += ", ?";
  const DbValue id = call.Db().QueryValue(
      "INSERT INTO CompAcionaria (" + Params(", ", "") + ") VALUES (" + placeholders + ") RETURNING id",
      HeaderValues(call));
  call.SetOut("@id", id);
  return 0;
}

int CompAcionariaPut(ProcContext& call) {
  if (const int code = CheckHeader(call)) return code;
  if (call.IsNull("@id") || !Exists(call, "SELECT EXISTS (SELECT 1 FROM CompAcionaria WHERE id = ?)", {call.In("@id")})) {
    return kNotFoundToUpdate;
  }
  const DbValue holder = CompositionAt(call);
  if (!holder.IsNull() && holder != call.In("@id")) return kAnswerCompositionDateTaken;
  std::vector<DbValue> values = HeaderValues(call);
  values.push_back(call.In("@id"));
  call.Db().Run("UPDATE CompAcionaria SET " + Params(" = ?, ", "") + " = ? WHERE id = ?", values);
  return 0;
}

int CompAcionariaDel(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  return call.Db().Run("DELETE FROM CompAcionaria WHERE id = ?", {call.In("@id")}) == 0 ? kNotFoundToDelete : 0;
}

int CompAcionariaGetPelaEmpData(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@emp") ? kValueMissing : 0,
                                     call.IsNull("@dtref") ? kValueMissing : 0})) {
    return code;
  }
  const ResultSet rows =
      call.Db().Query("SELECT id, " + Params(", ", "") + " FROM CompAcionaria WHERE emp = ? AND dtref = ?",
                      {call.In("@emp"), call.In("@dtref")});
  if (rows.rows.empty()) return kNoCompositionAtDate;
  for (size_t i = 0; i < rows.columns.size(); ++i) call.SetOut("@" + rows.columns[i], rows.rows[0][i]);
  return 0;
}

int CompAcionariaDaEmp(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  call.AddResultSet("SELECT id, " + Params(", ", "") + " FROM CompAcionaria WHERE emp = ? ORDER BY dtref",
                    {call.In("@id")});
  return 0;
}

int CompAcionariaItems(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM CompAcionaria WHERE id = ?)", {call.In("@id")})) return kNotFound;
  call.AddResultSet("SELECT IdCompAcionaria, IdShareholder, vot, vlr FROM CompAcionariaItem "
                    "WHERE IdCompAcionaria = ? ORDER BY rowid",
                    {call.In("@id")});
  return 0;
}

std::vector<ParamInfo> HeaderParams(ParamDirection id, ParamDirection others) {
  std::vector<ParamInfo> params = {{"@id", DbType::Integer, id}};
  for (const std::string& column : kHeaderColumns) {
    const DbType type = column == "inpct"                                                ? DbType::Boolean
                        : column == "emp"                                                ? DbType::Integer
                        : column == "dtref" || column == "dtpub" || column == "dtrtf" ? DbType::DateTime
                                                                                         : DbType::Float;
    params.push_back({"@" + column, type, others});
  }
  return params;
}

}  // namespace

void RegisterCompositionProcedures(Registry& registry) {
  using D = ParamDirection;
  // The client replaces a composition's items by SQL texts.
  registry.AllowSqlTextWrites("CompAcionariaItem", SignedInRight);
  registry.Add({"CompAcionariaAdd", ProcAccess::Writes, HeaderParams(D::InputOutput, D::Input), CompAcionariaAdd});
  registry.Add({"CompAcionariaPut", ProcAccess::Writes, HeaderParams(D::Input, D::Input), CompAcionariaPut});
  registry.Add({"CompAcionariaDel", ProcAccess::Writes, {{"@id", DbType::Integer, D::Input}}, CompAcionariaDel});
  std::vector<ParamInfo> byDate = HeaderParams(D::Output, D::Output);
  byDate[1].direction = D::InputOutput;  // @emp
  byDate[2].direction = D::InputOutput;  // @dtref
  registry.Add({"CompAcionariaGetPelaEmpData", ProcAccess::Reads, byDate, CompAcionariaGetPelaEmpData});
  registry.Add({"CompAcionariaDaEmp", ProcAccess::Reads, {{"@id", DbType::Integer, D::Input}}, CompAcionariaDaEmp});
  registry.Add({"CompAcionariaItems", ProcAccess::Reads, {{"@id", DbType::Integer, D::Input}}, CompAcionariaItems});
}

}  // namespace zi::server

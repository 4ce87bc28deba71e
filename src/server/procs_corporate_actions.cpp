#include "server/procedures.h"

#include <optional>
#include <string>
#include <vector>

#include "server/day_numbers.h"
#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

// What the corporate-action procedures answer besides 0 (the shared codes of proc_checks.h keep
// their meanings here). Every logged-in user may read and write corporate actions.
// - 18456 without a logged-in user, or when the user's row is gone;
// - 3758 (the message table's "PrvImport ticker not found") PrvImport and PrvImportV2 for a ticker
//   that no series of the exchange has;
// - 8604 PrvImport's delete form (no quantity, no value, no currency) when the series has no action
//   of that date and type, and PrvDelV2 for a key no action has; 8605 PrvPutV2 for an id no
//   action has;
// - 99101 NULL where a value is required (ticker, exchange, ex-date, type, series), and an empty
//   external key: a key of blanks would name every action written without one;
// - 99102 a date without a day number (before 1920-01-02 or after 2099-06-05);
// - 99103 a type that OcoTipo does not hold, a currency other than -1 (none) that Moeda does not
//   hold, a series that does not exist (PrvAddV2, PrvPutV2);
// - 99104 PrvDaAnbV2 for a series that does not exist;
// - 99106 the external key is another action's: a key names one action.
// PrvImport writes the action of a series, ex-date and type: it changes the one stored (which keeps
// its key) or adds it under the key sent. PrvImportV2 writes the action of a key: it changes the
// stored one (its series included) or adds it. @loca and the six adjustment factors are accepted
// and not stored. PrvDaAnbV2 lists a series' actions by ex-date, order and id.

constexpr int kTickerNotFound = 3758;

struct TRecord {
  int64_t udex = 0;
  DbValue seq;
  DbValue tipo;
  DbValue moeda;
  DbValue acoes;
  DbValue valor;
  std::string chaveExterna;
  DbValue dtAprv;
  DbValue dtPgto;
};

int ReadRecord(ProcContext& call, TRecord& record) {
  if (const int code = FirstFailure({RequireUser(call), RequiredDay(call.In("@udex"), record.udex),
                                     call.IsNull("@tipo") ? kValueMissing : 0, RequiredText(call, "@chaveExterna"),
                                     OptionalDay(call.In("@dtAprv"), record.dtAprv),
                                     OptionalDay(call.In("@dtPgto"), record.dtPgto)})) {
    return code;
  }
  record.seq = IntegerOr(call, "@seq", 0);
  record.tipo = call.In("@tipo");
  record.moeda = IntegerOr(call, "@moeda", -1);
  record.acoes = call.In("@acoes");
  record.valor = call.In("@valor");
  record.chaveExterna = Trim(call.In("@chaveExterna").AsText());
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM OcoTipo WHERE id = ?)", {record.tipo})) return kUnknownReference;
  if (record.moeda.AsInteger() != -1 &&
      !Exists(call, "SELECT EXISTS (SELECT 1 FROM Moeda WHERE id = ?)", {record.moeda})) {
    return kUnknownReference;
  }
  return 0;
}

bool KeyTakenByAnother(ProcContext& call, const std::string& key, int64_t id) {
  return Exists(call, "SELECT EXISTS (SELECT 1 FROM Provento WHERE chaveExterna = ? AND id <> ?)", {key, id});
}

std::optional<int64_t> SeriesOf(ProcContext& call) {
  const DbValue id = call.Db().QueryValue("SELECT id FROM anbima WHERE bolsa = ? AND cod = ? COLLATE NOCASE",
                                          {call.In("@bolsa"), Trim(call.In("@ticker").AsText())});
  if (id.IsNull()) return std::nullopt;
  return id.AsInteger();
}

std::vector<DbValue> Columns(int64_t anb, const TRecord& r) {
  return {anb, r.udex, r.seq, r.tipo, r.moeda, r.acoes, r.valor, r.chaveExterna, r.dtAprv, r.dtPgto};
}

int64_t Insert(ProcContext& call, int64_t anb, const TRecord& record) {
  call.Db().Run("INSERT INTO Provento (anb, udex, seq, tipo, moeda, acoes, valor, chaveExterna, dtAprv, dtPgto) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                Columns(anb, record));
  return call.Db().LastInsertRowId();
}

// Changes every field of the action, its key included.
void Update(ProcContext& call, int64_t id, int64_t anb, const TRecord& record) {
  std::vector<DbValue> params = Columns(anb, record);
  params.emplace_back(id);
  call.Db().Run("UPDATE Provento SET anb = ?, udex = ?, seq = ?, tipo = ?, moeda = ?, acoes = ?, valor = ?, "
                "chaveExterna = ?, dtAprv = ?, dtPgto = ? WHERE id = ?",
                params);
}

int ImportKey(ProcContext& call, TRecord& record, std::optional<int64_t>& anb) {
  if (const int code = FirstFailure({RequiredText(call, "@ticker"), call.IsNull("@bolsa") ? kValueMissing : 0,
                                     ReadRecord(call, record)})) {
    return code;
  }
  anb = SeriesOf(call);
  return anb ? 0 : kTickerNotFound;
}

int PrvImport(ProcContext& call) {
  TRecord record;
  std::optional<int64_t> anb;
  if (const int code = ImportKey(call, record, anb)) return code;
  const DbValue stored = call.Db().QueryValue("SELECT id FROM Provento WHERE anb = ? AND udex = ? AND tipo = ?",
                                              {*anb, record.udex, record.tipo});
  if (record.acoes.IsNull() && record.valor.IsNull() && record.moeda.AsInteger() == -1) {
    if (stored.IsNull()) return kNotFoundToDelete;
    call.Db().Run("DELETE FROM Provento WHERE anb = ? AND udex = ? AND tipo = ?", {*anb, record.udex, record.tipo});
    return 0;
  }
  if (stored.IsNull()) {
    if (KeyTakenByAnother(call, record.chaveExterna, 0)) return kCodeTaken;
    Insert(call, *anb, record);
    return 0;
  }
  record.chaveExterna = call.Db().QueryValue("SELECT chaveExterna FROM Provento WHERE id = ?", {stored}).AsText();
  Update(call, stored.AsInteger(), *anb, record);
  return 0;
}

int PrvImportV2(ProcContext& call) {
  TRecord record;
  std::optional<int64_t> anb;
  if (const int code = ImportKey(call, record, anb)) return code;
  const DbValue stored = call.Db().QueryValue("SELECT id FROM Provento WHERE chaveExterna = ?", {record.chaveExterna});
  if (stored.IsNull()) {
    Insert(call, *anb, record);
  } else {
    Update(call, stored.AsInteger(), *anb, record);
  }
  return 0;
}

int SeriesById(ProcContext& call, const std::string& param) {
  if (call.IsNull(param)) return kValueMissing;
  return Exists(call, "SELECT EXISTS (SELECT 1 FROM anbima WHERE id = ?)", {call.In(param)}) ? 0 : kUnknownReference;
}

int PrvAddV2(ProcContext& call) {
  TRecord record;
  if (const int code = FirstFailure({ReadRecord(call, record), SeriesById(call, "@anb")})) return code;
  if (KeyTakenByAnother(call, record.chaveExterna, 0)) return kCodeTaken;
  call.SetOut("@id", Insert(call, Integer(call, "@anb"), record));
  return 0;
}

int PrvPutV2(ProcContext& call) {
  TRecord record;
  if (const int code = FirstFailure({ReadRecord(call, record), SeriesById(call, "@anb")})) return code;
  const int64_t id = IntegerOr(call, "@id", 0);
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM Provento WHERE id = ?)", {id})) return kNotFoundToUpdate;
  if (KeyTakenByAnother(call, record.chaveExterna, id)) return kCodeTaken;
  Update(call, id, Integer(call, "@anb"), record);
  return 0;
}

int PrvDelV2(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), RequiredText(call, "@chaveExterna")})) return code;
  const int64_t deleted =
      call.Db().Run("DELETE FROM Provento WHERE chaveExterna = ?", {Trim(call.In("@chaveExterna").AsText())});
  return deleted == 0 ? kNotFoundToDelete : 0;
}

int PrvDaAnbV2(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM anbima WHERE id = ?)", {call.In("@id")})) return kNotFound;
  call.AddResultSet("SELECT id, udex + 7306 AS udex, seq, tipo, moeda, acoes, valor, anb, chaveExterna, "
                    "dtAprv + 7306 AS dtAprv, dtPgto + 7306 AS dtPgto FROM Provento WHERE anb = ? "
                    "ORDER BY udex, seq, id",
                    {call.In("@id")});
  return 0;
}

int OcoCaracsV2(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  call.AddResultSet("SELECT id, seq, abrv, nome, loca, lb1, lb2 FROM OcoTipo ORDER BY seq, id");
  return 0;
}

ParamInfo In(const char* name, DbType type) { return {name, type, ParamDirection::Input}; }

std::vector<ParamInfo> WithRecord(std::vector<ParamInfo> params) {
  constexpr DbType kFloat = DbType::Float;
  for (const ParamInfo& p :
       {In("@udex", DbType::DateTime), In("@seq", DbType::Integer), In("@tipo", DbType::Integer),
        In("@moeda", DbType::Integer), In("@loca", DbType::Integer), In("@acoes", kFloat), In("@valor", kFloat),
        In("@cotA", kFloat), In("@cotB", kFloat), In("@titA", kFloat), In("@titB", kFloat), In("@qacA", kFloat),
        In("@qacB", kFloat), In("@chaveExterna", DbType::Text), In("@dtAprv", DbType::DateTime),
        In("@dtPgto", DbType::DateTime)}) {
    params.push_back(p);
  }
  return params;
}

}  // namespace

void RegisterCorporateActionProcedures(Registry& registry) {
  const std::vector<ParamInfo> importKey{In("@ticker", DbType::Text), In("@bolsa", DbType::Integer)};
  registry.Add({"PrvImport", ProcAccess::Writes, WithRecord(importKey), PrvImport});
  registry.Add({"PrvImportV2", ProcAccess::Writes, WithRecord(importKey), PrvImportV2});
  registry.Add({"PrvAddV2", ProcAccess::Writes,
                WithRecord({{"@id", DbType::Integer, ParamDirection::InputOutput}, In("@anb", DbType::Integer)}),
                PrvAddV2});
  registry.Add({"PrvPutV2", ProcAccess::Writes, WithRecord({In("@id", DbType::Integer), In("@anb", DbType::Integer)}),
                PrvPutV2});
  registry.Add({"PrvDelV2", ProcAccess::Writes, {In("@chaveExterna", DbType::Text)}, PrvDelV2});
  registry.Add({"PrvDaAnbV2", ProcAccess::Reads, {In("@id", DbType::Integer)}, PrvDaAnbV2});
  registry.Add({"OcoCaracsV2", ProcAccess::Reads, {}, OcoCaracsV2});
}

}  // namespace zi::server

#include "server/procedures.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"

namespace zi::server {

namespace {

// Portfolios: one header per fund (a company), document type and reference date, and its items in
// seven tables, one per item kind. Every logged-in user may read and write them. The items are
// written by the client's SQL texts; these procedures keep the headers. Besides 0 they answer:
// - 18456 without a logged-in user, or when the user's row is gone;
// - 99101 NULL where a value is required: the company, the reference date, an id;
// - 99102 a document type outside 0..7;
// - 99103 a company that does not exist;
// - 99106 PortfolioAdd and PortfolioPut for a (company, type, date) that another portfolio holds;
// - 3932 PortfolioGetPelaEmpTipoDocData and its V2 when no portfolio has the triple;
// - 8605 PortfolioPut, 8604 PortfolioDel, 99104 PortfolioCheck and PortfolioItemsV2 for an id that
//   no portfolio has.
// The V2 readers answer "marked" result sets: a one-column set whose value is "Table:" and a table
// name, then the rows of that table; PortfolioDel removes the items with the header.
// PortfolioCheck refuses, with 99102, a portfolio whose securities carry neither value nor weight.
constexpr int kNoPortfolio = 3932;

struct TItemTable {
  const char* name;
  const char* columns;  // after IdPortfolio
  const char* key;      // the columns that identify an item within its portfolio
};

constexpr std::array<TItemTable, 7> kItemTables = {{
    {"PortfolioItemTvm",
     "IdPtfAssetTvm INTEGER NOT NULL, TipoAplicacao INTEGER NOT NULL, TipoClassificacao INTEGER, vlr REAL, peso REAL, "
     "qtdtit REAL",
     "IdPtfAssetTvm, TipoAplicacao, ifnull(TipoClassificacao, 0)"},
    {"PortfolioItemIRA",
     "IdImovel INTEGER NOT NULL REFERENCES Imovel (id), Area REAL, NumUnidades REAL, PercentVacancia REAL, "
     "PercentInadimplencia REAL, PercentReceitasFii REAL",
     "IdImovel"},
    {"PortfolioItemIRAInquilino",
     "IdImovel INTEGER NOT NULL REFERENCES Imovel (id), Setor TEXT NOT NULL, PercentReceitaImovel REAL, "
     "PercentReceitasFII REAL",
     "IdImovel, Setor"},
    {"PortfolioItemIRC",
     "IdImovel INTEGER NOT NULL REFERENCES Imovel (id), Area REAL, NumUnidades REAL, PercentLocado REAL, "
     "PercentConclusaoObrasRealizado REAL, PercentConclusaoObrasPrevisto REAL, CustoConstrucaoRealizado REAL, "
     "CustoConstrucaoPrevisto REAL",
     "IdImovel"},
    {"PortfolioItemIVA",
     "IdImovel INTEGER NOT NULL REFERENCES Imovel (id), Area REAL, NumUnidades REAL, PercentTotalInvestido REAL",
     "IdImovel"},
    {"PortfolioItemIVC",
     "IdImovel INTEGER NOT NULL REFERENCES Imovel (id), Area REAL, NumUnidades REAL, PercentVendido REAL, "
     "PercentConclusaoObrasRealizado REAL, PercentConclusaoObrasPrevisto REAL, CustoConstrucaoRealizado REAL, "
     "CustoConstrucaoPrevisto REAL",
     "IdImovel"},
    {"PortfolioItemTerreno",
     "IdImovel INTEGER NOT NULL REFERENCES Imovel (id), Area REAL, PercentTotalInvestido REAL, "
     "PercentReceitasFII REAL",
     "IdImovel"},
}};

constexpr const char* kTripleCondition = "emp = ? AND TipoDocumento = ? AND dtref = ?";

std::vector<DbValue> Triple(ProcContext& call) {
  return {call.In("@emp"), call.In("@TipoDocumento"), call.In("@dtref")};
}

int CheckHeader(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@emp") ? kValueMissing : 0,
                                     call.IsNull("@dtref") ? kValueMissing : 0,
                                     IntegerIn(call, "@TipoDocumento", 0, 7)})) {
    return code;
  }
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM empresa WHERE id = ?)", {call.In("@emp")})) return kUnknownReference;
  return 0;
}

// The triple is held by a portfolio other than id (0 for none).
bool TripleTaken(ProcContext& call, int64_t id) {
  std::vector<DbValue> params = Triple(call);
  params.emplace_back(id);
  return Exists(call, std::string("SELECT EXISTS (SELECT 1 FROM Portfolio WHERE ") + kTripleCondition + " AND id <> ?)", params);
}

std::vector<DbValue> HeaderValues(ProcContext& call) {
  return {call.In("@emp"),     call.In("@dtref"),        call.In("@dtpub"),
          call.In("@dtrtf"),   call.In("@TipoDocumento"), call.In("@dtrefinformadapelafonte"),
          call.In("@PL"),      call.In("@TotalPorc")};
}

int PortfolioAdd(ProcContext& call) {
  if (const int code = CheckHeader(call)) return code;
  if (TripleTaken(call, 0)) return kCodeTaken;
  call.Db().Run("INSERT INTO Portfolio (emp, dtref, dtpub, dtrtf, TipoDocumento, DtRefInformadaPelafonte, pl, "
                "TotalPorc) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                HeaderValues(call));
  call.SetOut("@id", call.Db().LastInsertRowId());
  return 0;
}

int PortfolioPut(ProcContext& call) {
  if (const int code = FirstFailure({CheckHeader(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  const int64_t id = Integer(call, "@id");
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM Portfolio WHERE id = ?)", {id})) return kNotFoundToUpdate;
  if (TripleTaken(call, id)) return kCodeTaken;
  std::vector<DbValue> values = HeaderValues(call);
  values.emplace_back(id);
  call.Db().Run("UPDATE Portfolio SET emp = ?, dtref = ?, dtpub = ?, dtrtf = ?, TipoDocumento = ?, "
                "DtRefInformadaPelafonte = ?, pl = ?, TotalPorc = ? WHERE id = ?",
                values);
  return 0;
}

int PortfolioCheck(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@idPortfolio") ? kValueMissing : 0})) return code;
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM Portfolio WHERE id = ?)", {call.In("@idPortfolio")})) return kNotFound;
  if (Exists(call, "SELECT EXISTS (SELECT 1 FROM PortfolioItemTvm WHERE IdPortfolio = ? AND vlr IS NULL AND peso IS NULL)",
             {call.In("@idPortfolio")}))
    return kOutOfRange;
  return 0;
}

int CheckTripleCall(ProcContext& call) {
  return FirstFailure({RequireUser(call), call.IsNull("@emp") ? kValueMissing : 0,
                       call.IsNull("@dtref") ? kValueMissing : 0, call.IsNull("@TipoDocumento") ? kValueMissing : 0});
}

int PortfolioGetPelaEmpTipoDocData(ProcContext& call) {
  if (const int code = CheckTripleCall(call)) return code;
  const ResultSet found = call.Db().Query(
      std::string("SELECT id, dtpub, dtrtf, DtRefInformadaPelafonte, pl, TotalPorc FROM Portfolio WHERE ") +
          kTripleCondition,
      Triple(call));
  if (found.rows.empty()) return kNoPortfolio;
  const std::vector<DbValue>& row = found.rows[0];
  call.SetOut("@id", row[0]);
  call.SetOut("@dtpub", row[1]);
  call.SetOut("@dtrtf", row[2]);
  call.SetOut("@dtrefinformadapelafonte", row[3]);
  call.SetOut("@PL", row[4]);
  call.SetOut("@TotalPorc", row[5]);
  return 0;
}

void AddMarker(ProcContext& call, const std::string& table) {
  call.AddResultSet(ResultSet{{"TableName"}, {{DbValue("Table:" + table)}}});
}

int PortfolioGetPelaEmpTipoDocDataV2(ProcContext& call) {
  if (const int code = CheckTripleCall(call)) return code;
  ResultSet header = call.Db().Query(std::string("SELECT * FROM Portfolio WHERE ") + kTripleCondition, Triple(call));
  if (header.rows.empty()) return kNoPortfolio;
  AddMarker(call, "Portfolio");
  call.AddResultSet(std::move(header));
  return 0;
}

int PortfolioItemsV2(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM Portfolio WHERE id = ?)", {call.In("@id")})) return kNotFound;
  for (const TItemTable& table : kItemTables) {
    AddMarker(call, table.name);
    call.AddResultSet(std::string("SELECT * FROM ") + table.name + " WHERE IdPortfolio = ? ORDER BY rowid",
                      {call.In("@id")});
  }
  return 0;
}

int PortfolioDel(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM Portfolio WHERE id = ?)", {call.In("@id")})) return kNotFoundToDelete;
  for (const TItemTable& table : kItemTables)
    call.Db().Run(std::string("DELETE FROM ") + table.name + " WHERE IdPortfolio = ?", {call.In("@id")});
  call.Db().Run("DELETE FROM Portfolio WHERE id = ?", {call.In("@id")});
  return 0;
}

ParamInfo In(const char* name, DbType type) { return {name, type, ParamDirection::Input}; }
ParamInfo Out(const char* name, DbType type) { return {name, type, ParamDirection::Output}; }
ParamInfo InOut(const char* name, DbType type) { return {name, type, ParamDirection::InputOutput}; }

}  // namespace

void CreatePortfolioTables(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE Portfolio (
      id INTEGER PRIMARY KEY,
      emp INTEGER NOT NULL REFERENCES empresa (id),
      dtref DATETIME NOT NULL,
      dtpub DATETIME,
      dtrtf DATETIME,
      TipoDocumento INTEGER NOT NULL CHECK (TipoDocumento BETWEEN 0 AND 7),
      DtRefInformadaPelafonte DATETIME,
      pl REAL,
      TotalPorc REAL,
      UNIQUE (emp, TipoDocumento, dtref)
    );
  )sql");
  for (const TItemTable& table : kItemTables) {
    db.Exec(std::string("CREATE TABLE ") + table.name +
            " (IdPortfolio INTEGER NOT NULL REFERENCES Portfolio (id), " + table.columns + ");");
    db.Exec(std::string("CREATE UNIQUE INDEX ") + table.name + "_item ON " + table.name + " (IdPortfolio, " +
            table.key + ");");
  }
}

void RegisterPortfolioProcedures(Registry& registry) {
  // The client replaces a portfolio's items by SQL texts.
  for (const TItemTable& table : kItemTables) registry.AllowSqlTextWrites(table.name, SignedInRight);
  constexpr DbType kInt = DbType::Integer;
  constexpr DbType kDate = DbType::DateTime;
  constexpr DbType kFloat = DbType::Float;
  registry.Add({"PortfolioAdd",
                ProcAccess::Writes,
                {InOut("@id", kInt), In("@emp", kInt), In("@dtref", kDate), In("@dtpub", kDate), In("@dtrtf", kDate),
                 In("@TipoDocumento", kInt), In("@dtrefinformadapelafonte", kDate), In("@PL", kFloat),
                 In("@TotalPorc", kFloat)},
                PortfolioAdd});
  registry.Add({"PortfolioPut",
                ProcAccess::Writes,
                {In("@id", kInt), In("@emp", kInt), In("@dtref", kDate), In("@dtpub", kDate), In("@dtrtf", kDate),
                 In("@TipoDocumento", kInt), In("@dtrefinformadapelafonte", kDate), In("@PL", kFloat),
                 In("@TotalPorc", kFloat)},
                PortfolioPut});
  registry.Add({"PortfolioCheck", ProcAccess::Reads, {In("@idPortfolio", kInt)}, PortfolioCheck});
  registry.Add({"PortfolioGetPelaEmpTipoDocData",
                ProcAccess::Reads,
                {InOut("@TipoDocumento", kInt), InOut("@emp", kInt), InOut("@dtref", kDate), Out("@id", kInt),
                 Out("@dtpub", kDate), Out("@dtrtf", kDate), Out("@dtrefinformadapelafonte", kDate),
                 Out("@PL", kFloat), Out("@TotalPorc", kFloat)},
                PortfolioGetPelaEmpTipoDocData});
  registry.Add({"PortfolioGetPelaEmpTipoDocDataV2",
                ProcAccess::Reads,
                {In("@TipoDocumento", kInt), In("@emp", kInt), In("@dtref", kDate)},
                PortfolioGetPelaEmpTipoDocDataV2});
  registry.Add({"PortfolioItemsV2", ProcAccess::Reads, {In("@id", kInt)}, PortfolioItemsV2});
  registry.Add({"PortfolioDel", ProcAccess::Writes, {In("@id", kInt)}, PortfolioDel});
}

}  // namespace zi::server

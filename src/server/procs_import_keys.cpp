#include "server/procedures.h"

#include <string>
#include <vector>

#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

// The lookups behind the company and class keys of import lines. Each list answers one row per
// company (or class), ordered by id, and 0; the one-company lookup answers 0 with @idemp, or 99104
// when no company has the CNPJ. All answer 18456 without a logged-in user.
// - A CNPJ is compared by its digits alone, so "33.000.167/0001-01" and "33000167000101" name the
//   same company; a CNPJ without digits names none. When several companies of the country share a
//   CNPJ, the one-company lookup takes the last registered (the highest id): the server keeps no
//   history of registrations by date, so @dtref does not choose among them.
// - A ticker or an ISIN is looked up on its exchange; a ticker whatever its case.
// - A class by CNPJ is a class of those companies whose class name is @class, whatever its case.

std::string Digits(std::string_view text) {
  std::string digits;
  for (const char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

// The companies of the country whose CNPJ has the digits of @cnpj, by id.
std::vector<int64_t> CompaniesByCnpj(ProcContext& call) {
  std::vector<int64_t> companies;
  const std::string wanted = Digits(TextOr(call, "@cnpj"));
  if (wanted.empty() || call.IsNull("@pais")) return companies;
  const ResultSet rows =
      call.Db().Query("SELECT id, cnpj FROM empresa WHERE pais = ? AND cnpj <> '' ORDER BY id", {call.In("@pais")});
  for (const auto& row : rows.rows) {
    if (Digits(row[1].AsText()) == wanted) companies.push_back(row[0].AsInteger());
  }
  return companies;
}

ResultSet IdRows(const char* column, const std::vector<int64_t>& ids) {
  ResultSet rows{{column}, {}};
  for (const int64_t id : ids) rows.rows.push_back({id});
  return rows;
}

int CompaniesOfCnpj(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  call.AddResultSet(IdRows("IdEmp", CompaniesByCnpj(call)));
  return 0;
}

int ClassesOfCnpj(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  std::vector<int64_t> classes;
  const std::string name = Trim(TextOr(call, "@class"));
  for (const int64_t company : CompaniesByCnpj(call)) {
    const ResultSet rows = call.Db().Query(
        "SELECT a.id FROM ativo a JOIN Classes c ON c.id = a.idclass WHERE a.emp = ? AND c.nome = ? COLLATE NOCASE "
        "ORDER BY a.id",
        {company, name});
    for (const auto& row : rows.rows) classes.push_back(row[0].AsInteger());
  }
  call.AddResultSet(IdRows("IdAtv", classes));
  return 0;
}

// The companies (or classes) of the series that a column names on an exchange.
ProcHandler OfSeries(const char* selected, const char* condition, const char* param) {
  return [selected, condition, param](ProcContext& call) {
    if (const int code = RequireUser(call)) return code;
    call.AddResultSet(std::string("SELECT DISTINCT ") + selected +
                          " FROM anbima s JOIN ativo a ON a.id = s.acao WHERE s.bolsa = ? AND " + condition +
                          " ORDER BY 1",
                      {call.In("@AnbBolsa"), Trim(TextOr(call, param))});
    return 0;
  };
}

int OneCompanyOfCnpj(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  const std::vector<int64_t> companies = CompaniesByCnpj(call);
  if (companies.empty()) {
    call.SetOut("@idemp", 0);
    return kAnswerNotFound;
  }
  call.SetOut("@idemp", companies.back());
  return 0;
}

ParamInfo In(const char* name, DbType type) { return {name, type, ParamDirection::Input}; }

constexpr DbType kInt = DbType::Integer;
constexpr DbType kText = DbType::Text;

}  // namespace

void RegisterImportKeyProcedures(Registry& registry) {
  constexpr const char* kTicker = "s.cod = ? COLLATE NOCASE";
  constexpr const char* kIsin = "s.isin = ? AND s.isin <> ''";
  registry.Add({"PegaListaDeIdEmpPeloCnpjCountry",
                ProcAccess::Reads,
                {In("@cnpj", kText), In("@pais", kInt)},
                CompaniesOfCnpj});
  registry.Add({"PegaListaDeIdEmpPeloTickerExchange",
                ProcAccess::Reads,
                {In("@AnbCod", kText), In("@AnbBolsa", kInt)},
                OfSeries("a.emp AS IdEmp", kTicker, "@AnbCod")});
  registry.Add({"PegaListaDeIdEmpPeloIsinExchange",
                ProcAccess::Reads,
                {In("@Isin", kText), In("@AnbBolsa", kInt)},
                OfSeries("a.emp AS IdEmp", kIsin, "@Isin")});
  registry.Add({"PegaListaDeIdAtvPeloCnpjCountry",
                ProcAccess::Reads,
                {In("@cnpj", kText), In("@pais", kInt), In("@class", kText)},
                ClassesOfCnpj});
  registry.Add({"PegaListaDeIdAtvPeloTickerExchange",
                ProcAccess::Reads,
                {In("@AnbCod", kText), In("@AnbBolsa", kInt)},
                OfSeries("a.id AS IdAtv", kTicker, "@AnbCod")});
  registry.Add({"PegaListaDeIdAtvPeloIsinExchange",
                ProcAccess::Reads,
                {In("@Isin", kText), In("@AnbBolsa", kInt)},
                OfSeries("a.id AS IdAtv", kIsin, "@Isin")});
  registry.Add({"PegaApenasUmIdEmpPeloCnpjCountry",
                ProcAccess::Reads,
                {In("@cnpj", kText), In("@pais", kInt), In("@dtref", DbType::DateTime),
                 {"@idemp", kInt, ParamDirection::Output}},
                OneCompanyOfCnpj});
}

}  // namespace zi::server

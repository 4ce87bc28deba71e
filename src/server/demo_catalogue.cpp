#include "server/demo_catalogue.h"

#include <stdexcept>
#include <vector>

#include "server/catalogue_store.h"
#include "server/sqlite_db.h"

namespace zi::server {

namespace {

// Reference ids of the seeded lists: exchanges, currencies, class names, voting statuses.
constexpr int64_t kBovespa = 1;
constexpr int64_t kNyse = 2;
constexpr int64_t kBrazil = 0;
constexpr int64_t kUnitedStates = 1;
constexpr int64_t kReal = 1;
constexpr int64_t kDollar = 2;
constexpr int64_t kCommon = 2;
constexpr int64_t kPreferred = 3;
constexpr int64_t kVoting = 0;
constexpr int64_t kNonVoting = 1;
constexpr int64_t kShare = 0;
constexpr int64_t kCompaniesFormat = 1;
constexpr int64_t kBanksFormat = 2;

struct DemoClass {
  int64_t idclass;
  int64_t vote;
  std::vector<const char*> tickers;
};

struct DemoCompany {
  Empresa company;
  int64_t exchange;
  std::vector<DemoClass> classes;
};

// The bank's common shares are a class without series, as the object lists must show.
std::vector<DemoCompany> DemoCompanies() {
  return {
      {{.cod = "PETR", .pais = kBrazil, .cnpj = "33000167000101", .nome = "Petr\xF3leo Brasileiro S.A. - Petrobras",
        .moedabalLocal = kReal, .fmtbal = {kCompaniesFormat, 0, 0, 0}, .naics = 211120},
       kBovespa,
       {{kCommon, kVoting, {"PETR3"}}, {kPreferred, kNonVoting, {"PETR4"}}}},
      {{.cod = "VALE", .pais = kBrazil, .cnpj = "33592510000154", .nome = "Vale S.A.", .moedabalLocal = kReal,
        .fmtbal = {kCompaniesFormat, 0, 0, 0}, .naics = 212210},
       kBovespa,
       {{kCommon, kVoting, {"VALE3"}}}},
      {{.cod = "ITUB", .pais = kBrazil, .cnpj = "60872504000123", .nome = "Ita\xFA Unibanco Holding S.A.",
        .moedabalLocal = kReal, .fmtbal = {kBanksFormat, 0, 0, 0}, .naics = 522110},
       kBovespa,
       {{kCommon, kVoting, {}}, {kPreferred, kNonVoting, {"ITUB4"}}}},
      {{.cod = "IBM", .pais = kUnitedStates, .nome = "International Business Machines Corp.", .moedabalLocal = kDollar,
        .fmtbal = {kCompaniesFormat, 0, 0, 0}, .naics = 541512},
       kNyse,
       {{kCommon, kVoting, {"IBM"}}}},
      {{.cod = "KO", .pais = kUnitedStates, .nome = "The Coca-Cola Company", .moedabalLocal = kDollar,
        .fmtbal = {kCompaniesFormat, 0, 0, 0}, .naics = 312111},
       kNyse,
       {{kCommon, kVoting, {"KO"}}}},
  };
}

}  // namespace

void AddDemoCatalogue(SqliteDb& db) {
  if (db.QueryValue("SELECT EXISTS (SELECT 1 FROM empresa)").AsInteger() != 0) {
    throw std::runtime_error("the database already holds companies: no demo catalogue added");
  }
  AtomicScope scope(db);
  for (const DemoCompany& demo : DemoCompanies()) {
    const int64_t company = InsertEmpresa(db, demo.company);
    const int64_t currency = demo.company.moedabalLocal;
    for (const DemoClass& c : demo.classes) {
      const int64_t atv = InsertAtivo(db, {.emp = company, .idclass = c.idclass, .vote = c.vote, .tipoobj = kShare});
      for (const char* ticker : c.tickers) {
        InsertAnbima(db, {.acao = atv, .cod = ticker, .bolsa = demo.exchange, .moedacot = currency});
      }
    }
  }
  scope.Commit();
}

}  // namespace zi::server

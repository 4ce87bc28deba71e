#include "server/demo_catalogue.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/catalogue_store.h"
#include "server/sqlite_db.h"
#include "toolbox/dates.h"

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
        .moedabalLocal = kReal, .fmtbal = {kCompaniesFormat, 0, 0, 0}, .naics = 2111},
       kBovespa,
       {{kCommon, kVoting, {"PETR3"}}, {kPreferred, kNonVoting, {"PETR4"}}}},
      {{.cod = "VALE", .pais = kBrazil, .cnpj = "33592510000154", .nome = "Vale S.A.", .moedabalLocal = kReal,
        .fmtbal = {kCompaniesFormat, 0, 0, 0}, .naics = 2122},
       kBovespa,
       {{kCommon, kVoting, {"VALE3"}}}},
      {{.cod = "ITUB", .pais = kBrazil, .cnpj = "60872504000123", .nome = "Ita\xFA Unibanco Holding S.A.",
        .moedabalLocal = kReal, .fmtbal = {kBanksFormat, 0, 0, 0}, .naics = 5221},
       kBovespa,
       {{kCommon, kVoting, {}}, {kPreferred, kNonVoting, {"ITUB4"}}}},
      {{.cod = "IBM", .pais = kUnitedStates, .nome = "International Business Machines Corp.", .moedabalLocal = kDollar,
        .fmtbal = {kCompaniesFormat, 0, 0, 0}, .naics = 5415},
       kNyse,
       {{kCommon, kVoting, {"IBM"}}}},
      {{.cod = "KO", .pais = kUnitedStates, .nome = "The Coca-Cola Company", .moedabalLocal = kDollar,
        .fmtbal = {kCompaniesFormat, 0, 0, 0}, .naics = 3121},
       kNyse,
       {{kCommon, kVoting, {"KO"}}}},
  };
}

// Three years of daily prices of a listed share, Monday to Friday, in the listed-share layout:
// open, low, high, average, close, number of trades, number of shares, volume. A walk from a
// seed of the ticker's own, so that every demo database holds the same prices.
constexpr TCalendarDate kFirstPriceDay{2021, 1, 4};
constexpr TCalendarDate kLastPriceDay{2023, 12, 29};
constexpr int kDaysPerWeek = 7;
constexpr int kSaturday = 5;  // days since a Monday

class TDemoWalk {
 public:
  explicit TDemoWalk(const std::string& ticker) {
    for (const char c : ticker) state_ = state_ * 31 + static_cast<unsigned char>(c);
  }
  // Uniform in [0, 1).
  double Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) / 9007199254740992.0;
  }

 private:
  uint64_t state_ = 1469598103934665603ULL;
};

double Cents(double value) { return std::round(value * 100) / 100; }

void AddDemoPrices(SqliteDb& db, int64_t anb, const std::string& ticker) {
  TDemoWalk walk(ticker);
  double close = 10 + walk.Next() * 90;
  const int first = DayNumberFromDate(kFirstPriceDay)->value;
  const int last = DayNumberFromDate(kLastPriceDay)->value;
  for (int day = first; day <= last; ++day) {
    if ((day - first) % kDaysPerWeek >= kSaturday) continue;
    const double open = close;
    close = Cents(std::max(1.0, open * (1 + (walk.Next() - 0.5) * 0.04)));
    const double high = Cents(std::max(open, close) * (1 + walk.Next() * 0.01));
    const double low = Cents(std::min(open, close) * (1 - walk.Next() * 0.01));
    const double trades = std::floor(1000 + walk.Next() * 9000);
    const double shares = std::floor(trades * (100 + walk.Next() * 900));
    const double average = Cents((open + close + high + low) / 4);
    db.Run("INSERT INTO Cotacao (anb, dia, v1, v2, v3, v4, v5, v6, v7, v8) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
           {anb, day, open, low, high, average, close, trades, shares, Cents(shares * average)});
  }
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
        const int64_t anb = InsertAnbima(db, {.acao = atv, .cod = ticker, .bolsa = demo.exchange, .moedacot = currency});
        AddDemoPrices(db, anb, ticker);
      }
    }
  }
  scope.Commit();
}

}  // namespace zi::server

#include "server/demo_corporate.h"

#include <cstdint>
#include <string>

#include "server/sqlite_db.h"
#include "toolbox/dates.h"

namespace zi::server {

namespace {

constexpr int64_t kBovespa = 1;
constexpr int64_t kReal = 1;
constexpr int64_t kCashDividend = 1;
constexpr int64_t kShares = 1;
constexpr int64_t kCommon = 2;
constexpr int64_t kPreferred = 3;
constexpr int64_t kImported = 2;
constexpr int64_t kDerived = 5;

int64_t Day(int year, int month, int day) { return DayNumberFromDate({year, month, day})->value; }

int64_t SeriesOf(SqliteDb& db, const char* ticker) {
  return db.QueryValue("SELECT id FROM anbima WHERE cod = ? AND bolsa = ?", {ticker, kBovespa}).AsInteger();
}

int64_t CompanyOf(SqliteDb& db, const char* code) {
  return db.QueryValue("SELECT id FROM empresa WHERE cod = ? AND pais = 0", {code}).AsInteger();
}

void AddAction(SqliteDb& db, const char* ticker, int64_t udex, int64_t tipo, double valor, const char* key) {
  db.Run("INSERT INTO Provento (anb, udex, seq, tipo, moeda, acoes, valor, dtAprv, dtPgto, chaveExterna) "
         "VALUES (?, ?, 0, ?, ?, NULL, ?, ?, ?, ?)",
         {SeriesOf(db, ticker), udex, tipo, kReal, valor, udex - 10, udex + 30, key});
}

void AddShares(SqliteDb& db, int64_t emp, int64_t day, int64_t idclass, double total, int64_t status) {
  db.Run("INSERT INTO BaseAcionaria (emp, dia, source, idclass, total, stattot, emtes, statem, extes, statex) "
         "VALUES (?, ?, 0, ?, ?, ?, 0, ?, ?, ?)",
         {emp, day, idclass, total, status, status, total, kDerived});
}

}  // namespace

void AddDemoCorporateEvents(SqliteDb& db) {
  AtomicScope scope(db);
  AddAction(db, "PETR4", Day(2023, 8, 21), kCashDividend, 1.149304, "ZOR-3F6C2A1E-8B4D-4E7A-9C1F-5D2B7E8A0C31");
  AddAction(db, "PETR3", Day(2023, 8, 21), kCashDividend, 1.149304, "ZOR-7A2E9D4B-1C3F-4B8E-A6D2-0E5F9C1B7D42");
  AddAction(db, "ITUB4", Day(2023, 12, 1), kCashDividend, 0.0177, "ZOR-C41B8E2F-6D9A-4F3C-8B7E-2A1D5C9E6F53");
  const int64_t petr = CompanyOf(db, "PETR");
  db.Run("INSERT INTO Noticia (emp, dia, seq, txt) VALUES (?, ?, 0, ?)",
         {petr, Day(2023, 8, 3),
          std::string("Fato relevante\r\n\r\nO Conselho de Administra\xE7\xE3o aprovou a distribui\xE7\xE3o de "
                      "dividendos intermedi\xE1rios.")});
  db.Run("INSERT INTO Noticia (emp, dia, seq, txt) VALUES (?, ?, 0, ?)",
         {CompanyOf(db, "VALE"), Day(2023, 12, 14), std::string("Assembleia geral extraordin\xE1ria convocada.")});
  const int64_t day = Day(2023, 12, 31);
  AddShares(db, petr, day, kCommon, 7442454142, kImported);
  AddShares(db, petr, day, kPreferred, 5602042788, kImported);
  AddShares(db, petr, day, kShares, 13044496930, kDerived);
  scope.Commit();
}

}  // namespace zi::server

// One quote line's procedure call through the whole client layer (the command's parameters set by
// position, ExecStProc, the server's procedure) in the import pass's commit groups. Peer: one
// prepared INSERT of the same row straight into SQLite, committed in groups of the same size.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "marketdata/quote_calls.h"
#include "server/server.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"
#include "toolbox/switches.h"

namespace {

constexpr int kGroup = zi::db::TAdoDataBaseCustomizado::kGroupItems;
constexpr uint16_t kFirstDay = 29000;

zi::TQuoteImport Line(int64_t i) {
  zi::TQuoteImport line;
  line.ticker = "PETR4";
  line.exchange = 1;
  line.date = zi::TDayNumber{static_cast<uint16_t>(kFirstDay + i % 30000)};
  line.values.fill(zi::kMissing);
  for (size_t v = 0; v < 5; ++v) line.values[v] = 37.1 + static_cast<double>(v);
  return line;
}

void BM_QuoteImportCall(benchmark::State& state) {
  zi::test::TempDir dir;
  zi::SetLogFileName(dir.File("zorinput.log"));
  zi::SetReferenceDataLoader(zi::CarregaDadosIniciais);
  zi::SetParameters({"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir.File("b.db")});
  zi::db::RegisterEmbeddedDriver();
  if (zi::InitDbConnection("", "", false, nullptr) != 0) return state.SkipWithError("no login");
  auto& db = zi::db::ZiDb();
  auto& server = *static_cast<zi::db::EmbeddedDriver&>(db.GetDriver()).Server();
  server.ExecuteSql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petro')");
  server.ExecuteSql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (1, 1, 2, 0, 0)");
  server.ExecuteSql("INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) VALUES (7, 1, 'PETR4', 1, 1, 0)");
  db.StartCommitGroups();
  int64_t i = 0;
  bool committed = false;
  for (auto _ : state) {
    const zi::TQuoteImport line = Line(i++);
    if (db.BeginGroupItem(committed) != 0) return state.SkipWithError("group lost");
    benchmark::DoNotOptimize(zi::DbCotacaoImportV4(line));
    if (db.EndGroupItem(true) != 0) return state.SkipWithError("group lost");
  }
  if (db.StopCommitGroups(committed) != 0) state.SkipWithError("group lost");
  zi::db::DestroyZiDb();
  zi::SetReferenceDataLoader(nullptr);
  zi::SetLogFileName("zorinput.log");
}
BENCHMARK(BM_QuoteImportCall);

void BM_PreparedQuoteInsert(benchmark::State& state) {
  zi::test::TempDir dir;
  sqlite3* db = nullptr;
  sqlite3_open(dir.File("b.db").c_str(), &db);
  std::string columns;
  std::string marks;
  for (int v = 1; v <= 27; ++v) {
    columns += ", v" + std::to_string(v) + " REAL";
    marks += ", ?";
  }
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
  sqlite3_exec(db, ("CREATE TABLE q (anb INTEGER, dia INTEGER" + columns + ", PRIMARY KEY (anb, dia)) WITHOUT ROWID").c_str(),
               nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v3(db, ("INSERT OR REPLACE INTO q VALUES (?, ?" + marks + ")").c_str(), -1, SQLITE_PREPARE_PERSISTENT,
                     &insert, nullptr);
  int64_t i = 0;
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  for (auto _ : state) {
    const zi::TQuoteImport line = Line(i);
    sqlite3_bind_int64(insert, 1, 7);
    sqlite3_bind_int64(insert, 2, line.date.value);
    for (int v = 0; v < 27; ++v) {
      const double value = line.values[static_cast<size_t>(v)];
      if (zi::IsMissing(value)) sqlite3_bind_null(insert, 3 + v);
      else sqlite3_bind_double(insert, 3 + v, value);
    }
    benchmark::DoNotOptimize(sqlite3_step(insert));
    sqlite3_reset(insert);
    if (++i % kGroup == 0) sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr);
  }
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_finalize(insert);
  sqlite3_close(db);
}
BENCHMARK(BM_PreparedQuoteInsert);

}  // namespace

// The statement window on a company with 40 stored statements of a 1,000-line format: opening it
// and loading every column (F10: each statement read and checked), and the check run again after
// one entry. Peer: the statement check alone on the same statements, timed in the same run; the
// counter x_check is the window's processor time over the check's.
// Run: build/release/bench/zi_bench --benchmark_filter=StatementWindow

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/objects.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "desktop/core/statements/statement_window.h"
#include "desktop/core/ui_port.h"
#include "server/server.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "statements/check.h"
#include "statements/formats.h"
#include "statements/statement_db.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/switches.h"

namespace {

constexpr int kStatements = 40;
constexpr int kLines = 1000;
constexpr int kCompany = 1;
constexpr int kFormat = 901;

// The thread's processor time: the machine is shared, so both sides are timed by what they use.
struct Clock {
  static double now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
};

// One logged-in embedded database holding the company, its format and its statements.
class BenchDatabase {
 public:
  BenchDatabase() {
    zi::SetLogFileName(dir_.File("zorinput.log"));
    zi::SetReferenceDataLoader(zi::CarregaDadosIniciais);
    zi::SetParameters({"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir_.File("b.db")});
    zi::db::RegisterEmbeddedDriver();
    ok_ = zi::InitDbConnection("", "", false, nullptr) == 0;
    if (!ok_) return;
    auto& server = *static_cast<zi::db::EmbeddedDriver&>(zi::db::ZiDb().GetDriver()).Server();
    const std::string numbers = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                                std::to_string(kLines) + ") ";
    const std::string format = std::to_string(kFormat);
    server.ExecuteSql("INSERT INTO empresa (id, cod, pais, nome, fmtbal0) VALUES (1, 'BIG', 0, 'Big', " + format + ")");
    server.ExecuteSql("INSERT INTO FmtBal (id, nome) VALUES (" + format + ", 'Thousand lines')");
    server.ExecuteSql(numbers +
                      "INSERT INTO ContaBal (id, nome_extenso_Ing, caracs) SELECT i, 'Account ' || i, 5 FROM n");
    // Totals of ten parts, three levels deep, like a real balance sheet.
    server.ExecuteSql(numbers +
                      "INSERT INTO ApresFmtBalItems (fmtbal, seq, tipo, conta, sinal, indentacao) SELECT " +
                      format + ", i, 0, i, "
                      "CASE WHEN (i - 1) % 11 = 0 THEN 0 WHEN (i - 1) % 7 = 0 THEN 4 ELSE 2 END, "
                      "CASE WHEN (i - 1) % 11 = 0 THEN 0 WHEN (i - 1) % 11 <= 3 THEN 1 ELSE 2 END FROM n");
    for (int s = 0; s < kStatements; ++s) {
      // Year ends from 1980 on, as days since 1899-12-30.
      const int yearEnd = 29586 + s * 365 + s / 4;
      server.ExecuteSql("INSERT INTO Balanco (id, empresa, dataref, consolidado, sourcedobal, TipoDocumento, meses, "
                        "moeda, datamoeda) VALUES (" +
                        std::to_string(s + 1) + ", 1, " + std::to_string(yearEnd) + ", 1, 0, 0, 12, 1, " +
                        std::to_string(yearEnd) + ")");
      server.ExecuteSql(numbers + "INSERT INTO BalancoUmaConta (balanco, conta, De3Meses, valor) SELECT " +
                        std::to_string(s + 1) + ", i, 0, (i * 7 + " + std::to_string(s) + ") % 1000 FROM n");
    }
  }
  ~BenchDatabase() {
    zi::db::DestroyZiDb();
    zi::SetReferenceDataLoader(nullptr);
    zi::SetLogFileName("zorinput.log");
  }
  bool ok() const { return ok_; }

  // The check alone on the statements as read: the format, the statements and their copies are
  // made beforehand and only the check is timed.
  double CheckAloneSeconds(int firstId, int statements) {
    zi::TFormatoBal formato;
    if (zi::DbLeFormatoBal(kFormat, false, false, formato) != 0) return 0;
    zi::TChecagemBal check(formato, formato.contas);
    std::vector<std::unique_ptr<zi::TBalanco>> read;
    for (int id = firstId; id < firstId + statements; ++id) {
      read.push_back(std::make_unique<zi::TBalanco>());
      if (zi::DbBalGet(id, *read.back()) != 0) return 0;
    }
    // Enough rounds for a stable time on a shared machine.
    const int rounds = 5 + 400 / statements;
    zi::TBalanco copy;
    zi::TBalanco calc;
    double seconds = 0;
    for (int round = 0; round < rounds; ++round) {
      for (const auto& bal : read) {
        copy = *bal;
        calc.Limpa();
        const double start = Clock::now();
        benchmark::DoNotOptimize(check.Checa(copy, zi::kPeriodoFY, 1, &calc));
        seconds += Clock::now() - start;
      }
    }
    return seconds / rounds;
  }

 private:
  zi::test::TempDir dir_;
  // The window writes its settings when it goes: into the run's own folder.
  zi::test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
  bool ok_ = false;
};

struct BenchGrid : zi::desktop::tGridView {
  const zi::desktop::tBalWin* window = nullptr;
  int RowCount() const override { return window->RowCount(); }
  int ColCount() const override { return window->ColCount(); }
  int FixedRows() const override { return zi::desktop::kStmHeaderRows; }
  int FixedCols() const override { return 1; }
  void SetEditorEnabled(bool) override {}
  bool HasInplaceEditor() const override { return false; }
  void SetEditorLook(uint32_t, bool) override {}
  void PostSelectAll() override {}
  void MoveToRow(int) override {}
  void MoveToCol(int) override {}
  void Repaint() override {}
  uint32_t Colour() const override { return zi::desktop::kWhite; }
};

// A window on the company, its grid attached, as the main window opens it.
struct OpenWindow {
  zi::desktop::tBalWin window{[](const zi::desktop::THeaderDialogRequest&) { return std::nullopt; }};
  BenchGrid grid;
  OpenWindow() {
    grid.window = &window;
    window.AttachGrid(&grid);
    zi::tObjHierEx object;
    object.EmpId = kCompany;
    window.SetCurObj(object);
  }
};

void BM_StatementWindowOpenAndLoadAll(benchmark::State& state) {
  BenchDatabase db;
  if (!db.ok()) return state.SkipWithError("no login");
  double seconds = 0;
  for (auto _ : state) {
    const double start = Clock::now();
    OpenWindow open;
    if (open.window.LoadAll() != 0 || open.window.ColumnCount() != kStatements) return state.SkipWithError("load");
    seconds += (Clock::now() - start);
    state.PauseTiming();
    open.window.Close();
    state.ResumeTiming();
  }
  const double check = db.CheckAloneSeconds(1, kStatements);
  state.counters["check_ms"] = check * 1000;
  state.counters["x_check"] = check > 0 ? seconds / static_cast<double>(state.iterations()) / check : 0;
}
BENCHMARK(BM_StatementWindowOpenAndLoadAll)->Unit(benchmark::kMillisecond);

void BM_StatementWindowRecheckAfterEntry(benchmark::State& state) {
  BenchDatabase db;
  if (!db.ok()) return state.SkipWithError("no login");
  zi::desktop::SetUiPort({.askYesNo = [](const std::string&, const std::string&, bool) { return true; }});
  OpenWindow open;
  zi::desktop::tBalWin& w = open.window;
  if (w.LoadAll() != 0) return state.SkipWithError("load");
  // A typed line of the last statement (the one the peer checks): a part, not a total.
  const int col = w.ColumnCount();
  const int row = zi::desktop::kStmHeaderRows + 2;
  w.SetCurrentCell(col, row);
  double seconds = 0;
  int64_t i = 0;
  for (auto _ : state) {
    const double start = Clock::now();
    w.SetEditText(col, row, std::to_string(++i % 997));
    w.CommitRecord();
    seconds += (Clock::now() - start);
  }
  zi::desktop::SetUiPort({});
  // Every entry was taken: the cell shows the last value typed.
  if (w.Cell(col, row).text != std::to_string(i % 997)) return state.SkipWithError("entry refused");
  const double check = db.CheckAloneSeconds(kStatements, 1);
  state.counters["check_ms"] = check * 1000;
  state.counters["x_check"] = check > 0 ? seconds / static_cast<double>(state.iterations()) / check : 0;
}
BENCHMARK(BM_StatementWindowRecheckAfterEntry)->Unit(benchmark::kMillisecond);

}  // namespace

// The check pass of a price file of a million lines: reading the file, splitting and tokenising the
// lines and dispatching each to a handler, which reads the key fields of a price line (/0: ticker,
// exchange and date) or every field (/1: the numbers too), with no server call. Peer: `wc -l` on
// the same file, timed in the same run; the counter x_wc is the check pass's time over wc's.
// Run: build/release/bench/zi_bench --benchmark_filter=CheckPass

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "import/command_line_run.h"
#include "import/directives.h"
#include "import/fields.h"
#include "support/test_files.h"
#include "toolbox/log.h"

namespace {

constexpr int kLines = 1000000;

std::string WritePriceFile(const zi::test::TempDir& dir) {
  const std::string path = dir.File("prices.txt");
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < kLines; ++i) {
    out << "*QT PETR" << (i % 50) << " 1 2024-" << (1 + i % 12 < 10 ? "0" : "") << (1 + i % 12) << "-1" << (i % 9)
        << " 36.45 36.90 35.80 36.12 - 1234500 " << (i % 1000) << ".25\r\n";
  }
  return path;
}

zi::TDirectiveOutcome PriceKey(zi::TImpMain& run, const zi::TDirective&) {
  zi::tParserWrapper& tokens = run.Tokens();
  int32_t exchange = 0;
  zi::TDayNumber date;
  if (tokens.Token(1).empty() || !zi::ReadIntegerField(tokens.Token(2), exchange) ||
      !zi::ReadRequiredDateField(tokens.Token(3), date)) {
    return {false, 4100};
  }
  return {};
}

zi::TDirectiveOutcome PriceLine(zi::TImpMain& run, const zi::TDirective& directive) {
  if (const zi::TDirectiveOutcome key = PriceKey(run, directive); !key.ok) return key;
  zi::tParserWrapper& tokens = run.Tokens();
  for (int i = 4; i < tokens.Count(); ++i) {
    double value = 0;
    if (!zi::ReadNumberField(tokens.Token(i), value)) return {false, 4101};
  }
  return {};
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_CheckPass(benchmark::State& state) {
  zi::test::TempDir dir;
  zi::SetLogFileName(dir.File("zorinput.log"));
  const std::string file = WritePriceFile(dir);
  zi::SetDirectiveHandler("*QT", state.range(0) == 0 ? PriceKey : PriceLine);
  const double wc = Seconds([&] { benchmark::DoNotOptimize(std::system(("wc -l " + file + " >/dev/null").c_str())); });
  double total = 0;
  for (auto _ : state) {
    total += Seconds([&] {
      zi::impcli::tMyImpMain run(file, false, false, "");
      while (run.NotFinished()) run.Step();
      if (run.ResultCode() != 0) state.SkipWithError("the check failed");
    });
  }
  state.counters["lines_per_s"] = benchmark::Counter(static_cast<double>(kLines) * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
  state.counters["x_wc"] = total / static_cast<double>(state.iterations()) / wc;
  zi::SetDirectiveHandler("*QT", nullptr);
  zi::SetLogFileName("zorinput.log");
}
BENCHMARK(BM_CheckPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

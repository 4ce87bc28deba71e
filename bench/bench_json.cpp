// Loading and writing back a JSON import file of about 100 MB, as the JSON import does: read the
// file, reach every record and every member, write the whole array back. Peer: the reference
// library's parse and dump of the same text, in the same run; the counter x_nlohmann is our time
// over its time. Run: build/release/bench/zi_bench --benchmark_filter=Json

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "import/json_document.h"
#include "support/test_files.h"

namespace {

std::string Records() {
  std::string text = "[";
  for (int i = 0; text.size() < 100'000'000; ++i) {
    if (i > 0) text += ",\n";
    text += R"({"action":"insertorupdate","type":"ptfassettvm","doc":"BR)" + std::to_string(1000000 + i) +
            R"(","country":55,"name":"Fundo de Investimento N\u00famero )" + std::to_string(i) +
            R"(","value":)" + std::to_string(i % 100000) + R"(.25,"active":true,"log":[]})";
  }
  return text + "]";
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_JsonLoadAndRewrite(benchmark::State& state) {
  zi::test::TempDir dir;
  const std::string file = dir.File("records.json");
  const std::string text = Records();
  zi::test::WriteFile(file, text);
  const double peer = Seconds([&] { benchmark::DoNotOptimize(nlohmann::json::parse(text).dump()); });
  double total = 0;
  for (auto _ : state) {
    total += Seconds([&] {
      auto document = zi::TAbstractJson::CreateFromFile(file, false);
      zi::TJsonArray& records = document->AsArray();
      for (int i = 0; i < records.Count(); ++i) {
        bool found = false;
        zi::TJsonObject* record = records.GetObject(i, found);
        for (int m = 0; record && m < record->Count(); ++m) benchmark::DoNotOptimize(record->Item(m).AttributeType());
      }
      document->SaveToFile(file);
    });
  }
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["x_nlohmann"] = total / static_cast<double>(state.iterations()) / peer;
}
BENCHMARK(BM_JsonLoadAndRewrite)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

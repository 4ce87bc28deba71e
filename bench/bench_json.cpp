// Loading and writing back a JSON import file of about 100 MB, as the JSON import does: read the
// file, reach every record and every member, write the whole array back to the file (flushed to
// disk). Peer: the reference library's parse and dump of the same text, in the same run; the
// counter x_nlohmann is our wall time over its wall time, x_nlohmann_cpu the same in processor
// time; load_s, visit_s, write_s and free_s are our steps, peak_MB the process's peak after our first
// run (the benchmark's own copy of the text included).
// Run: build/release/bench/zi_bench --benchmark_filter=Json

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
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

// Wall and processor time of a piece of work. The processor time ratio is the steadier one on a
// machine shared with other work; the wall time includes waiting for the disk.
struct TTimes {
  double wall = 0;
  double cpu = 0;
  TTimes& operator+=(const TTimes& other) {
    wall += other.wall;
    cpu += other.cpu;
    return *this;
  }
};

double ThreadCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TTimes Timed(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = ThreadCpuSeconds();
  work();
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), ThreadCpuSeconds() - cpuStart};
}

double PeakResidentMB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Each iteration runs ours, then the peer, so that both see the same state of the machine.
void BM_JsonLoadAndRewrite(benchmark::State& state) {
  zi::test::TempDir dir;
  const std::string file = dir.File("records.json");
  const std::string text = Records();
  zi::test::WriteFile(file, text);
  TTimes load, visit, write, release, peer;
  double peakMB = 0;
  for (auto _ : state) {
    std::unique_ptr<zi::TAbstractJson> document;
    load += Timed([&] { document = zi::TAbstractJson::CreateFromFile(file, false); });
    visit += Timed([&] {
      zi::TJsonArray& records = document->AsArray();
      for (int i = 0; i < records.Count(); ++i) {
        bool found = false;
        zi::TJsonObject* record = records.GetObject(i, found);
        for (int m = 0; record && m < record->Count(); ++m) benchmark::DoNotOptimize(record->Item(m).AttributeType());
      }
    });
    write += Timed([&] { document->SaveToFile(file); });
    release += Timed([&] { document.reset(); });
    // Ours, and the benchmark's own copy of the text, before the peer's run raises the mark.
    if (peakMB == 0) peakMB = PeakResidentMB();
    peer += Timed([&] { benchmark::DoNotOptimize(nlohmann::json::parse(text).dump()); });
  }
  const double runs = static_cast<double>(state.iterations());
  const double oursWall = load.wall + visit.wall + write.wall + release.wall;
  const double oursCpu = load.cpu + visit.cpu + write.cpu + release.cpu;
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["load_s"] = load.wall / runs;
  state.counters["visit_s"] = visit.wall / runs;
  state.counters["write_s"] = write.wall / runs;
  state.counters["free_s"] = release.wall / runs;
  state.counters["peer_s"] = peer.wall / runs;
  state.counters["peak_MB"] = peakMB;
  state.counters["x_nlohmann"] = oursWall / peer.wall;
  state.counters["x_nlohmann_cpu"] = oursCpu / peer.cpu;
}
BENCHMARK(BM_JsonLoadAndRewrite)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

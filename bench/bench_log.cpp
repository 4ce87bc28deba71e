// The log opens, locks and closes its file for every line. Peer: the same line appended with a
// plain open/write/close, no lock and no memory lists. Run: build/release/bench/zi_bench.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "support/test_files.h"
#include "toolbox/log.h"

namespace {

void BM_Loga(benchmark::State& state) {
  zi::test::TempDir dir;
  zi::SetLogFileName(dir.File("zorinput.log"));
  for (auto _ : state) zi::Loga("ExecStProc CotacaoImportV4 took 0.01s for PETR4 BOVESPA 2024-04-10");
  zi::SetLogFileName("zorinput.log");
}
BENCHMARK(BM_Loga);

void BM_PlainAppend(benchmark::State& state) {
  zi::test::TempDir dir;
  std::string path = dir.File("plain.log");
  std::string line = zi::LogStamp() + " ExecStProc CotacaoImportV4 took 0.01s for PETR4 BOVESPA 2024-04-10\r\n";
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
    ::close(fd);
  }
}
BENCHMARK(BM_PlainAppend);

}  // namespace

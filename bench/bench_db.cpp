// A stored-procedure call through the whole client layer (cached command, parameters, ExecStProc,
// return value). Peer: the same procedure run directly on the embedded server.

#include <benchmark/benchmark.h>

#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "server/server.h"
#include "support/test_files.h"
#include "toolbox/log.h"

namespace {

const zi::server::Registry& Registry() {
  static const zi::server::Registry registry = [] {
    zi::server::Registry r;
    r.Add({"Echo",
           zi::server::ProcAccess::Reads,
           {{"@a", zi::DbType::Integer, zi::server::ParamDirection::Input},
            {"@out", zi::DbType::Integer, zi::server::ParamDirection::Output}},
           [](zi::server::ProcContext& c) {
             c.SetOut("@out", c.In("@a"));
             return 0;
           }});
    return r;
  }();
  return registry;
}

void BM_ExecStProc(benchmark::State& state) {
  zi::test::TempDir dir;
  zi::SetLogFileName(dir.File("zorinput.log"));
  auto driver = std::make_unique<zi::db::EmbeddedDriver>(dir.File("b.db"), &Registry());
  driver->SetCredentials("bench", "bench");
  zi::db::TAdoDataBaseComInfoTran db(std::move(driver));
  db.Open();
  int64_t i = 0;
  for (auto _ : state) {
    zi::db::TDataSetHolder ds(db, "Echo");
    ds->SetInteger("@a", ++i);
    benchmark::DoNotOptimize(db.ExecStProc(*ds, 0));
    benchmark::DoNotOptimize(ds->ParamAsInteger("@out"));
  }
  zi::SetLogFileName("zorinput.log");
}
BENCHMARK(BM_ExecStProc);

void BM_ServerExecute(benchmark::State& state) {
  zi::test::TempDir dir;
  auto server = zi::server::Server::Open(dir.File("b.db"), Registry());
  server->Login("bench", "bench");
  int64_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(server->Execute("Echo", {{"@a", zi::DbValue(++i)}}));
}
BENCHMARK(BM_ServerExecute);

}  // namespace

// The stopwatch set: its report's exact lines, the flow errors it records and when it reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "statements/relozios.h"
#include "support/test_files.h"
#include "toolbox/log.h"

namespace zi {
namespace {

using testing::ElementsAre;

TRelozios::Clock::time_point agora;
TRelozios::Clock::time_point Agora() { return agora; }
void Avanca(int ms) { agora += std::chrono::milliseconds(ms); }

TEST(Relozios, ReportLinesGiveTimesCountsSharesAndFlowErrors) {
  agora = {};
  TRelozios r("MeDaAFB", Agora);
  r.Start(1, "a");
  r.Start(2, "b");
  r.Start(TRelozios::kCount, "ignored");
  r.Start(-1, "ignored");
  Avanca(500);
  r.Stop(2);
  r.Stop(2);
  Avanca(500);
  r.Stop(1);
  r.Start(1, "a");
  r.Start(3, "c");
  Avanca(500);
  r.Stop(1);
  r.Start(3, "d");
  Avanca(500);
  EXPECT_THAT(r.ReportLines("#7"),
              ElementsAre("Relozios MeDaAFB #7",
                          "-   0:     1   2.00s  2.00000000s/call 100.0%\t Running!  main",
                          "-   1:     2   1.50s  0.75000000s/call  75.0%  a",
                          "-   2:     1   0.50s  0.50000000s/call  25.0% ErroDeFluxo=4319!  b",
                          "-   3:     1   1.00s  1.00000000s/call  50.0%\t Running! ErroDeFluxo=4318! ColisaoDeNome!  d"));
  EXPECT_FALSE(r.Reported());
  r.Descarta();
}

TEST(Relozios, SetIsReportedOnceAndAtItsEndWhenNotBefore) {
  test::TempDir dir;
  SetLogFileName(dir.File("zorinput.log"));
  {
    TRelozios once("A");
    once.Report("first");
    once.Report("second");
    TRelozios atEnd("B");
    atEnd.Start(5, "e");
    TRelozios discarded("C");
    discarded.Descarta();
  }
  SetLogFileName("zorinput.log");
  std::vector<std::string> titles;
  std::vector<std::string> stillRunning;
  for (const std::string& line : test::WithoutStamps(test::ReadLines(dir.File("zorinput.log")))) {
    if (line.starts_with("Relozios ")) titles.push_back(line);
    if (line.starts_with("-   5:")) stillRunning.push_back(line.substr(line.find("Running!")));
  }
  EXPECT_THAT(titles, ElementsAre("Relozios A first", "Relozios B "));
  EXPECT_THAT(stillRunning, ElementsAre("Running! ErroDeFluxo=4317!  e"));
}

}  // namespace
}  // namespace zi

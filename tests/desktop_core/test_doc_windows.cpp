#include "desktop/core/doc_windows.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "desktop/core/main_window_ctl.h"
#include "support/logged_in_database.h"
#include "toolbox/message_box.h"

namespace zi::desktop {
namespace {

// An event loop whose clock moves at every look: a slice is a few steps, or one.
struct SteppingHost : tIdleHost {
  mutable uint64_t now = 0;
  uint64_t stepMs = 300;
  int posted = 0;
  void PostIdle() override { ++posted; }
  void ProcessEvents() override {}
  uint64_t TickMs() const override { return now += stepMs; }
};

class DocWindows : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    SetErrorBoxHandler([this](const std::string& caption, const std::string&) { boxes.push_back(caption); });
  }
  void TearDown() override {
    SetErrorBoxHandler({});
    LoggedInDatabase::TearDown();
  }
  std::string File(const std::string& name, const std::string& text) {
    std::ofstream(dir_.File(name)) << text;
    return dir_.File(name);
  }
  void Start(tImpWin& window, const std::string& file, int action) {
    window.SetIdleHost(&host);
    window.SetOnRunEnd([this] { ++runEnds; });
    window.Form().SetFileName(file);
    window.Form().SetAction(action);
    window.Okay();
  }
  void RunPosted(tImpWin& window) {
    for (int limit = 1000; host.posted > 0 && limit > 0; --limit) {
      --host.posted;
      window.wmZiIdle();
    }
  }

  SteppingHost host;
  std::vector<std::string> boxes;
  int runEnds = 0;
};

TEST_F(DocWindows, ImportRunsInSlicesToItsEnd) {
  tImpWin window;
  Start(window, File("only_comments.txt", "# a\n; b\n// c\n\n"), 0);
  EXPECT_TRUE(window.IsIdleRunning());
  EXPECT_FALSE(window.Form().InputsEnabled());
  RunPosted(window);
  EXPECT_EQ(runEnds, 1);
  EXPECT_FALSE(window.Form().RunActive());
  EXPECT_EQ(window.Form().LogPane(), (std::vector<std::string>{"check ok, starting import", "end import ok"}));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(DocWindows, AFailedCheckShowsItsCode) {
  tImpWin window;
  Start(window, File("bad.txt", "*NOSUCHDIRECTIVE 1\n"), 1);
  RunPosted(window);
  EXPECT_EQ(runEnds, 1);
  ASSERT_FALSE(window.Form().LogPane().empty());
  EXPECT_EQ(window.Form().LogPane().back().rfind("end import error:", 0), 0u);
  EXPECT_EQ(boxes, (std::vector<std::string>{"SQL error 3942 on Import"}));
}

TEST_F(DocWindows, CancelAndCloseWhileASliceRuns) {
  host.stepMs = 1024;
  const std::string file = File("comments.txt", "# a\n");
  {
    tImpWin window;
    Start(window, file, 0);
    --host.posted;
    window.wmZiIdle();
    EXPECT_TRUE(window.Form().RunActive());
    window.Cancel();
    RunPosted(window);
    EXPECT_EQ(runEnds, 1);
    EXPECT_TRUE(window.Form().InputsEnabled());
  }
  {
    tImpWin window;
    Start(window, file, 0);
    --host.posted;
    window.wmZiIdle();
    EXPECT_TRUE(window.Form().RunActive());
  }
  EXPECT_NE(Log().find("ImpRoot end"), std::string::npos) << "the run ends with its window";
}

TEST_F(DocWindows, LogWindowReadsTheDataLogAtEveryFirstPaint) {
  tLogForm window;
  int reloads = 0;
  window.SetOnReload([&] { ++reloads; });
  window.SetCurObj({});
  window.CurtainPaint(true);
  window.RunFirstPaint();
  EXPECT_EQ(window.LastCode(), 0);
  EXPECT_EQ(window.Table().columns.size(), 8u);
  window.RearmFirstPaint();
  window.CurtainPaint(true);
  window.RunFirstPaint();
  EXPECT_EQ(reloads, 2);
  tLogForm failing([](tLogForm::TTable&) { return 3939; });
  failing.RunFirstPaint();
  EXPECT_EQ(boxes, (std::vector<std::string>{"SQL error 3939 on dataset:DataLogDump"}));
}

TEST_F(DocWindows, ConnectionLostWhileWindowsAreOpen) {
  tLogForm log;
  log.SetCurObj({});
  db::EmbeddedDriver::Faults faults;
  faults.failOpens = 1000;
  Driver().InjectFaults(faults);
  Driver().DropConnection();
  log.RunFirstPaint();
  EXPECT_NE(log.LastCode(), 0);
  EXPECT_TRUE(log.Table().rows.empty());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "SQL error " + std::to_string(log.LastCode()) + " on dataset:DataLogDump");
  tImpWin window;
  Start(window, File("prices.txt", "*QT \"PETR4\" 1 2024-04-08 37.10 36.85 37.62 37.31 37.45 41230 38512300 1437102800\n"), 0);
  RunPosted(window);
  EXPECT_EQ(runEnds, 1);
  EXPECT_EQ(window.Form().LogPane().back().rfind("end import error:", 0), 0u);
  EXPECT_EQ(boxes.size(), 2u);
}

// The class and exchange names come from the session's lists (read from the server).
TEST_F(DocWindows, CurObjBoxNamesClassAndExchange) {
  tObjHierEx object;
  object.EmpId = 1;
  object.EmpNome = "ACME";
  object.AtvId = 2;
  object.AtvIdClass = 9999;
  object.AnbId = 3;
  object.AnbCod = "ACME3";
  object.AnbBolsa = 1;
  EXPECT_EQ(CurObjText(object), "ACME - NA(9999) - ACME3 : " + Listas().EnumBolsa.TextoDoId(1, false));
  EXPECT_FALSE(Listas().EnumBolsa.TextoDoId(1, false).empty());
}

TEST_F(DocWindows, TheEmbeddedServerKeepsNoPasswordAge) {
  int days = 5;
  EXPECT_EQ(DbUsrGetData(days), 0);
  EXPECT_EQ(days, -1) << "no warning";
}

}  // namespace
}  // namespace zi::desktop

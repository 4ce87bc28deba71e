// The road of a price through the whole desktop on a demo database: log in, F2, search "PETR", pick
// the series PETR4, F3 and "&Prices", a closing price typed for the first quote's day, the main
// window closed and "Save changes" in the save question; the database then holds the price and the
// log the window's save lines. Every window is the real one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/caches.h"
#include "catalogue/hooks.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "desktop/catalogue/company_picker_view.h"
#include "desktop/core/marketdata/quote_window.h"
#include "desktop/main_window.h"
#include "desktop/marketdata/quote_window_view.h"
#include "server/server.h"
#include "server/server_tool.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "support/test_files.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/switches.h"

namespace zi::desktop {
namespace {

constexpr const char* kNewClose = "41.75";
constexpr int kClose = 5;

// One step of what the user does: when `ready` holds, `act` runs from a fresh event, so that a
// dialog it opens runs its loop while the script goes on.
struct TStep {
  const char* name;
  std::function<bool()> ready;
  std::function<void()> act;
};

class RoadOfPrices : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(server::RunServerTool({"init", "--demo", dir_.File("zi.db")}, out, err), 0) << err.str();
    SetReferenceDataLoader(CarregaDadosIniciais);
    InstallCatalogueHooks();
    SetParameters({"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir_.File("zi.db")});
    SetErrorBoxHandler([this](const std::string& caption, const std::string& text) { boxes_.push_back(caption + "|" + text); });
    SetRegional({.decimalSeparator = '.', .dateSeparator = '/', .shortDateFormat = "dd/MM/yyyy"});
    QuoteSession() = {};
    DropCompanyPicker();
  }
  void TearDown() override {
    main_.reset();
    DropCompanyPicker();
    SetSaveQuestion({});
    QuoteSession() = {};
    SetRegional({});
    SetErrorBoxHandler({});
    SetReferenceDataLoader(nullptr);
    db::DestroyZiDb();
    DropObjectCaches();
    SetLogFileName("zorinput.log");
  }

  // Runs the steps in order, each once its condition holds; false with the step that never got
  // ready (a bound against hangs, not a measure of speed).
  bool Run(std::vector<TStep> steps, std::string& stuckAt) {
    size_t next = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (next < steps.size() && steps[next].ready()) QTimer::singleShot(0, steps[next++].act);
    });
    timer.start();
    for (int i = 0; i < 1500 && next < steps.size(); ++i) QTest::qWait(10);
    for (int i = 0; i < 100 && QApplication::activeModalWidget(); ++i) QTest::qWait(10);
    if (next < steps.size()) {
      QWidget* modal = QApplication::activeModalWidget();
      stuckAt = std::string(steps[next].name) + (modal ? " under " + modal->windowTitle().toStdString() : "");
    }
    return next == steps.size();
  }

  template <typename T>
  static T* Modal() {
    return dynamic_cast<T*>(QApplication::activeModalWidget());
  }
  TCotWinView* PriceWindow() const { return main_ ? dynamic_cast<TCotWinView*>(main_->Ctl().Doc()) : nullptr; }
  DbValue Sql(const std::string& sql) {
    auto& driver = static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver());
    return driver.Server()->ExecuteSql(sql).at(0).rows.at(0).at(0);
  }
  // The picker's row of a ticker; -1 when it has none.
  static int RowOfTicker(const TWinNewObj& picker, const std::string& ticker) {
    const std::vector<TPickerRow>& rows = picker.Controller().rows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].object.AnbCod == ticker) return static_cast<int>(i);
    return -1;
  }

  test::TempDir dir_;
  test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
  std::vector<std::string> boxes_;
  std::unique_ptr<TWinMain> main_;
};

TEST_F(RoadOfPrices, PickPetr4AndSaveAClosingPriceThroughTheSaveQuestion) {
  main_ = std::make_unique<TWinMain>();
  // The save question the desktop asks.
  tSaveDialog* saveDialog = new tSaveDialog(main_.get());
  SetSaveQuestion([saveDialog](bool hasDataError) { return saveDialog->Ask(hasDataError); });
  main_->show();
  int row = -1;
  std::string stuckAt;
  const bool ran = Run(
      {
          {"login", [&] { return Modal<TWinLogin>() != nullptr; }, [&] { Modal<TWinLogin>()->accept(); }},
          {"F2", [&] { return !QApplication::activeModalWidget() && EstaConectado(false); },
           [&] { QTest::keyClick(main_.get(), Qt::Key_F2); }},
          {"search", [&] { return Modal<tWinNewObjParams>() != nullptr; },
           [&] {
             tWinNewObjParams* search = Modal<tWinNewObjParams>();
             QTest::keyClicks(search->TextField(), "PETR");
             QTest::keyClick(search->TextField(), Qt::Key_Return);
           }},
          {"PETR4 in the picker",
           [&] {
             TWinNewObj* picker = Modal<TWinNewObj>();
             return picker && RowOfTicker(*picker, "PETR4") >= 0;
           },
           [&] {
             TWinNewObj* picker = Modal<TWinNewObj>();
             QListView* list = picker->List();
             list->setCurrentIndex(list->model()->index(RowOfTicker(*picker, "PETR4"), 0));
             list->setFocus();
             QTest::keyClick(list, Qt::Key_Return);
           }},
          {"F3", [&] { return !QApplication::activeModalWidget() && main_->Ctl().CurObj().AnbCod == "PETR4"; },
           [&] { QTest::keyClick(main_.get(), Qt::Key_F3); }},
          {"Prices", [&] { return Modal<TWinNewwin>() != nullptr; },
           [&] { QTest::keyClick(Modal<TWinNewwin>(), Qt::Key_P, Qt::AltModifier); }},
          {"the price window",
           [&] { return !QApplication::activeModalWidget() && PriceWindow() && PriceWindow()->Window().Rows() > 0; },
           [&] {
             QApplication::setActiveWindow(main_.get());
             TMyGrid* grid = PriceWindow()->Grid();
             row = PriceWindow()->Window().CursorRow();
             grid->setFocus();
             grid->setCurrentIndex(grid->model()->index(row, kClose));
           }},
          {"the close price's cell",
           [&] {
             TMyGrid* grid = PriceWindow() ? PriceWindow()->Grid() : nullptr;
             return grid && grid->currentIndex().column() == kClose && grid->Editor() && grid->Editor()->hasFocus();
           },
           [&] {
             QLineEdit* editor = PriceWindow()->Grid()->Editor();
             editor->selectAll();
             QTest::keyClicks(editor, kNewClose);
             QTest::keyClick(editor, Qt::Key_Return);
           }},
          {"close", [&] { return PriceWindow() && PriceWindow()->Window().HasDataChanged(); },
           [&] { main_->close(); }},
          {"Save changes", [&] { return Modal<tSaveDialog>() != nullptr; },
           [&] { QTest::mouseClick(Modal<tSaveDialog>()->SaveButton(), Qt::LeftButton); }},
      },
      stuckAt);
  ASSERT_TRUE(ran) << "stuck at " << stuckAt << "; boxes: " << testing::PrintToString(boxes_);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
  EXPECT_FALSE(main_->isVisible());
  EXPECT_EQ(main_->Ctl().Doc(), nullptr);

  const int64_t petr4 = Sql("SELECT id FROM anbima WHERE cod = 'PETR4'").AsInteger();
  const int64_t first = Sql("SELECT min(dia) FROM Cotacao WHERE anb = " + std::to_string(petr4)).AsInteger();
  EXPECT_EQ(row, 7) << "the cursor on the first quote, a week into the range";
  EXPECT_EQ(Sql("SELECT v5 FROM Cotacao WHERE anb = " + std::to_string(petr4) + " AND dia = " + std::to_string(first))
                .AsFloat(),
            41.75);
  // CotUpd (11) names the day in the data log for the bulletin generator.
  EXPECT_EQ(Sql("SELECT count(*) FROM DataLog WHERE tip = 11 AND oid = " + std::to_string(petr4)).AsInteger(), 1);
  const std::string log = test::ReadFile(dir_.File("zorinput.log"));
  EXPECT_NE(log.find("TCotWin ObjDataSave CotPut ok  obj:" + std::to_string(petr4) + " 04/01/2021"), std::string::npos)
      << log;
  EXPECT_NE(log.find("TCotWin ObjDataSave end result:Y"), std::string::npos);
}

}  // namespace
}  // namespace zi::desktop

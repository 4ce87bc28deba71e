// The road of a price through the whole desktop on a demo database: log in, F2, search "PETR", pick
// the series PETR4, F3 and "&Prices", a closing price typed for the first quote's day, the main
// window closed and "Save changes" in the save question; the database then holds the price and the
// log the window's save lines. Every window is the real one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <string>

#include "desktop/core/marketdata/quote_window.h"
#include "desktop/main_window.h"
#include "desktop/marketdata/quote_window_view.h"
#include "road_steps.h"
#include "support/test_files.h"
#include "toolbox/lifecycle.h"

namespace zi::desktop {
namespace {

constexpr const char* kNewClose = "41.75";
constexpr int kClose = 5;

class RoadOfPrices : public test::RoadTest {
 protected:
  void SetUp() override {
    RoadTest::SetUp();
    SetRegional({.decimalSeparator = '.', .dateSeparator = '/', .shortDateFormat = "dd/MM/yyyy"});
    QuoteSession() = {};
  }
  void TearDown() override {
    RoadTest::TearDown();
    SetSaveQuestion({});
    QuoteSession() = {};
    SetRegional({});
  }
  TCotWinView* PriceWindow() const { return Doc<TCotWinView>(); }
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
          LogIn(),
          PressF2(),
          Search("PETR"),
          PickTicker("PETR4 in the picker", "PETR4"),
          PressF3("F3", [&] { return main_->Ctl().CurObj().AnbCod == "PETR4"; }),
          ChooseByKey("Prices", Qt::Key_P),
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

// The road of a news item and a corporate action through the whole desktop on a demo database: log
// in, F2, search "PETR", pick PETR4, F3 and the news window, Insert, a text in the dialog, Okay; then
// F3 and the corporate-action window, Insert on its empty line, a cash dividend in the dialog, Okay.
// The database then holds both. Every window is the real one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <string>

#include "desktop/core/window_kinds.h"
#include "desktop/main_window.h"
#include "desktop/marketdata/corporate_action_view.h"
#include "desktop/marketdata/news_view.h"
#include "road_steps.h"
#include "toolbox/display_formats.h"

namespace zi::desktop {
namespace {

constexpr const char* kNewsText = "Aviso aos acionistas";
constexpr const char* kNewsSecondLine = "Pagamento em 15 de mar\xE7o";
constexpr const char* kPrice = "0.75";

class RoadOfNewsAndActions : public test::RoadTest {
 protected:
  tNwsWinView* NewsWindow() const { return Doc<tNwsWinView>(); }
  tPrvWinView* ActionWindow() const { return Doc<tPrvWinView>(); }
  // Focuses the list of the window open, as a click on it leaves it.
  void FocusList(QWidget* list) {
    QApplication::setActiveWindow(main_.get());
    list->setFocus();
  }
};

TEST_F(RoadOfNewsAndActions, PickPetr4AddANewsItemAndACorporateAction) {
  main_ = std::make_unique<TWinMain>();
  main_->show();
  std::string stuckAt;
  const bool ran = Run(
      {
          LogIn(),
          PressF2(),
          Search("PETR"),
          PickTicker("pick PETR4", "PETR4"),
          PressF3("F3", [&] { return main_->Ctl().CurObj().AnbId != 0; }),
          ChooseKind("News", kKindNews),
          {"Insert in the news window", [&] { return Idle() && NewsWindow() != nullptr; },
           [&] {
             FocusList(NewsWindow()->List());
             QTest::keyClick(NewsWindow()->List(), Qt::Key_Insert);
           }},
          {"the news dialog", [&] { return Modal<tNwsDialogView>() != nullptr; },
           [&] {
             tNwsDialogView* dialog = Modal<tNwsDialogView>();
             QTest::keyClicks(dialog->TextField(), kNewsText);
             QTest::keyClick(dialog->TextField(), Qt::Key_Return);
             // Typing knows ASCII keys only: the accented line comes as a paste.
             dialog->TextField()->insertPlainText(ToQt(kNewsSecondLine));
             QTest::mouseClick(dialog->OkayButton(), Qt::LeftButton);
           }},
          PressF3("F3 again", [&] { return NewsWindow() && NewsWindow()->List()->model()->rowCount() == 2; }),
          ChooseKind("Corp Actions", kKindCorporateActions),
          {"Insert on the empty line", [&] { return Idle() && ActionWindow() && ActionWindow()->List()->count() == 2; },
           [&] {
             FocusList(ActionWindow()->List());
             ActionWindow()->List()->setCurrentRow(1);
             QTest::keyClick(ActionWindow()->List(), Qt::Key_Insert);
           }},
          {"the corporate-action dialog", [&] { return Modal<tPrvDialogView>() != nullptr; },
           [&] {
             tPrvDialogView* dialog = Modal<tPrvDialogView>();
             QTest::keyClicks(dialog->DateField(), ToQt(ShownDate({2024, 3, 1})));
             dialog->TypeList()->setCurrentIndex(dialog->TypeList()->findData(1, Qt::UserRole));
             dialog->CurrencyList()->setCurrentIndex(0);
             QTest::keyClicks(dialog->PriceField(), kPrice);
             QTest::mouseClick(dialog->OkayButton(), Qt::LeftButton);
           }},
      },
      stuckAt, 2000);
  ASSERT_TRUE(ran) << "stuck at " << stuckAt << "; boxes: " << testing::PrintToString(boxes_);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);

  const std::string petr = std::to_string(Sql("SELECT id FROM empresa WHERE cod = 'PETR'").AsInteger());
  EXPECT_EQ(Sql("SELECT txt FROM Noticia WHERE emp = " + petr + " ORDER BY id DESC LIMIT 1").AsText(),
            std::string(kNewsText) + "\r\n" + kNewsSecondLine);
  const std::string petr4 = std::to_string(Sql("SELECT id FROM anbima WHERE cod = 'PETR4'").AsInteger());
  EXPECT_EQ(Sql("SELECT count(*) FROM Provento WHERE anb = " + petr4).AsInteger(), 2);
  EXPECT_EQ(Sql("SELECT valor FROM Provento WHERE anb = " + petr4 + " ORDER BY id DESC LIMIT 1").AsFloat(), 0.75);
  EXPECT_EQ(Sql("SELECT substr(chaveExterna, 1, 4) FROM Provento WHERE anb = " + petr4 + " ORDER BY id DESC LIMIT 1")
                .AsText(),
            "ZOR-");
  ASSERT_NE(ActionWindow(), nullptr);
  EXPECT_EQ(ActionWindow()->List()->count(), 3);
}

}  // namespace
}  // namespace zi::desktop

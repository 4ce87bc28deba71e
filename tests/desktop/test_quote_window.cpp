// The price window on screen, opened by the main window for PETR4 of the demo database: the range
// panel and the grid, Enter and Escape in a cell, a save that commits the row being edited, the
// range dialog that asks before it drops edits, an impossible date, the undo button and a typo.

#include "desktop/marketdata/quote_window_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "desktop/core/window_kinds.h"
#include "desktop/doc_views.h"
#include "desktop/main_window.h"
#include "main_window_test.h"
#include "session/session.h"
#include "support/demo_database.h"
#include "support/window_settings.h"

namespace zi::desktop {
namespace {

using test::ProcessUntil;
using test::WhenModal;

constexpr int kEnglish = 1;
constexpr int kClose = 5;

TDayNumber Day(int year, int month, int day) { return DayNumberFromDate({year, month, day}).value(); }

class QuoteWindowView : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    ZiGlobs().lingua = kEnglish;
    QuoteSession() = {};
    main_ = std::make_unique<TWinMain>(test::LoggedInHooks());
    ASSERT_NO_FATAL_FAILURE(test::ShowActive(main_.get()));
    std::vector<tObjHierEx> rows;
    ASSERT_EQ(GetObjListDaEmp(kNivelSerie, SeriesId("PETR4"), rows), 0);
    for (const tObjHierEx& row : rows)
      if (row.AnbCod == "PETR4") petr4_ = row;
    ASSERT_NO_FATAL_FAILURE(test::OpenDocWindow(*main_, petr4_, kKindQuotes, view_));
  }
  void TearDown() override {
    main_.reset();
    QuoteSession() = {};
    ZiGlobs().lingua = 0;
    DemoDatabase::TearDown();
  }
  int RowOf(TDayNumber day) const { return day.value - view_->Window().Range().first.value; }
  // The in-place editor of a cell, focused as a click leaves it.
  QLineEdit* EditorAt(int row, int col) {
    TMyGrid* grid = view_->Grid();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, col));
    ProcessUntil([grid] { return grid->Editor() && grid->Editor()->hasFocus(); });
    return grid->Editor();
  }
  void TypeInto(int row, int col, const char* text) {
    QLineEdit* editor = EditorAt(row, col);
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, text);
  }
  QString Shown(int row, int col) const {
    return view_->Grid()->model()->index(row, col).data(Qt::DisplayRole).toString();
  }
  double Stored(TDayNumber day, int position) {
    return SqlValue("SELECT v" + std::to_string(position) + " FROM Cotacao WHERE anb = " +
                    std::to_string(petr4_.AnbId) + " AND dia = " + std::to_string(day.value))
        .AsFloat();
  }

  test::TWindowSettings settings_;
  std::unique_ptr<TWinMain> main_;
  TCotWinView* view_ = nullptr;
  tObjHierEx petr4_;
};

TEST_F(QuoteWindowView, ShowsTheRangeTheHeadingsAndTheDays) {
  EXPECT_EQ(view_->RangeLabel()->text(), "  Date range: 28/12/2020 to 28/03/2021");
  TMyGrid* grid = view_->Grid();
  ASSERT_EQ(grid->model()->rowCount(), 91);
  ASSERT_EQ(grid->model()->columnCount(), 28);
  EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), "Date");
  EXPECT_EQ(grid->model()->headerData(kClose, Qt::Horizontal).toString(), "Close");
  EXPECT_EQ(grid->model()->headerData(27, Qt::Horizontal).toString(), "-");
  EXPECT_EQ(grid->currentIndex().row(), 7) << "the first quote's day";
  EXPECT_EQ(Shown(7, 0), "04/01/2021");
  EXPECT_FALSE(Shown(7, kClose).isEmpty());
  EXPECT_EQ(grid->model()->index(RowOf(Day(2021, 1, 2)), 3).data(Qt::BackgroundRole).value<QColor>(),
            QColor(0xE7, 0xE7, 0xE7));
  EXPECT_EQ(grid->model()->index(RowOf(Day(2021, 1, 4)), 3).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));
  EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 17);
  EXPECT_GT(grid->columnWidth(1), grid->fontMetrics().horizontalAdvance("99,999,999.99"));
  ASSERT_NE(view_->UndoButton(), nullptr);
  EXPECT_FALSE(view_->UndoButton()->isEnabled());
  EXPECT_EQ(main_->windowTitle().toStdString(), MainCaption(main_->Ctl().DocWindow()));
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
}

TEST_F(QuoteWindowView, EnterStoresTheCellAndMovesToTheNextValue) {
  const int row = RowOf(Day(2021, 1, 5));
  TypeInto(row, kClose, "41.5");
  QTest::keyClick(view_->Grid()->Editor(), Qt::Key_Return);
  ProcessUntil([this] { return view_->Grid()->currentIndex().column() == kClose + 1; });
  EXPECT_EQ(view_->Grid()->currentIndex().column(), kClose + 1);
  EXPECT_EQ(Shown(row, kClose), "41.5");
  EXPECT_TRUE(view_->Window().HasDataChanged());
  EXPECT_TRUE(view_->UndoButton()->isEnabled());
}

TEST_F(QuoteWindowView, EscapeRestoresTheCell) {
  const int row = RowOf(Day(2021, 1, 5));
  const QString before = Shown(row, kClose);
  TypeInto(row, kClose, "99");
  QTest::keyClick(view_->Grid()->Editor(), Qt::Key_Escape);
  ProcessUntil([this, before] { return view_->Grid()->Editor() && view_->Grid()->Editor()->text() == before; });
  ASSERT_NE(view_->Grid()->Editor(), nullptr);
  EXPECT_EQ(view_->Grid()->Editor()->text(), before);
  EXPECT_FALSE(view_->Window().HasDataChanged());
  EXPECT_EQ(Shown(row, kClose), before);
}

TEST_F(QuoteWindowView, ASaveWithoutLeavingTheRowWritesIt) {
  const int row = RowOf(Day(2021, 1, 6));
  TypeInto(row, kClose, "42.25");
  settings_.saveAnswer = kMrYes;
  EXPECT_TRUE(view_->Window().ConfirmClose());
  EXPECT_EQ(settings_.saveQuestions, 1);
  EXPECT_EQ(Stored(Day(2021, 1, 6), kClose), 42.25);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
}

TEST_F(QuoteWindowView, TheRangeDialogWithUnsavedEditsAsksFirst) {
  const int row = RowOf(Day(2021, 1, 7));
  TypeInto(row, kClose, "43");
  QTest::keyClick(view_->Grid()->Editor(), Qt::Key_Return);
  // Resume editing: the dialog closes and the window keeps its range and its edit.
  settings_.saveAnswer = kMrCancel;
  bool filled = false;
  WhenModal([&](QWidget*) {
    tQuoteRangeDialog* dialog = view_->RangeDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Date range");
    filled = dialog->FromFirstQuote()->isChecked();
    dialog->EndingIn()->click();
    dialog->DateField()->setText("30/06/2022");
    dialog->OkayButton()->click();
  });
  view_->RangeButton()->click();
  EXPECT_TRUE(filled) << "the session's mode";
  EXPECT_EQ(settings_.saveQuestions, 1);
  EXPECT_EQ(view_->RangeLabel()->text(), "  Date range: 28/12/2020 to 28/03/2021");
  EXPECT_EQ(Shown(row, kClose), "43");
  // Discard changes: the new range, without the edit.
  settings_.saveAnswer = kMrNo;
  WhenModal([&](QWidget*) {
    tQuoteRangeDialog* dialog = view_->RangeDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->EndingIn()->isChecked() || dialog->FromFirstQuote()->isChecked());
    dialog->EndingIn()->click();
    dialog->DateField()->setText("30/06/2022");
    dialog->OkayButton()->click();
  });
  view_->RangeButton()->click();
  EXPECT_EQ(settings_.saveQuestions, 2);
  EXPECT_EQ(view_->RangeLabel()->text(), "  Date range: 01/04/2022 to 30/06/2022");
  EXPECT_FALSE(view_->Window().HasDataChanged());
  EXPECT_FALSE(view_->UndoButton()->isEnabled());
  EXPECT_NE(Stored(Day(2021, 1, 7), kClose), 43);
}

TEST_F(QuoteWindowView, AnImpossibleDateKeepsTheDialogOpen) {
  bool stayed = false;
  WhenModal([&](QWidget*) {
    tQuoteRangeDialog* dialog = view_->RangeDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->EndingIn()->click();
    EXPECT_TRUE(dialog->DateField()->isEnabled());
    dialog->DateField()->setText("31/02/2022");
    dialog->OkayButton()->click();
    stayed = dialog->isVisible();
    dialog->CancelButton()->click();
  });
  view_->RangeButton()->click();
  EXPECT_TRUE(stayed);
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Date range|Invalid date: \"31/02/2022\""}));
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(view_->RangeLabel()->text(), "  Date range: 28/12/2020 to 28/03/2021");
  EXPECT_EQ(QuoteSession().mode, TQuoteRangeMode::kFromFirstQuote);
}

TEST_F(QuoteWindowView, UndoDropsTheEdits) {
  const int row = RowOf(Day(2021, 1, 8));
  const QString before = Shown(row, kClose);
  TypeInto(row, kClose, "44");
  QTest::keyClick(view_->Grid()->Editor(), Qt::Key_Return);
  TypeInto(row + 1, kClose, "45");
  QTest::keyClick(view_->Grid()->Editor(), Qt::Key_Return);
  ASSERT_TRUE(view_->UndoButton()->isEnabled());
  view_->UndoButton()->click();
  QApplication::processEvents();
  EXPECT_EQ(Shown(row, kClose), before);
  EXPECT_FALSE(view_->UndoButton()->isEnabled());
  EXPECT_FALSE(view_->Window().HasDataChanged());
  EXPECT_TRUE(view_->Window().Queued().empty());
  EXPECT_EQ(settings_.saveQuestions, 0);
}

TEST_F(QuoteWindowView, ATypoBeepsAndKeepsTheValue) {
  const int row = RowOf(Day(2021, 1, 8));
  const QString before = Shown(row, kClose);
  TypeInto(row, kClose, "4x4");
  QTest::keyClick(view_->Grid()->Editor(), Qt::Key_Return);
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(Shown(row, kClose), before);
  TypeInto(row + 1, kClose, "nan");
  EXPECT_EQ(beeps_, 1) << "not yet stored";
  EXPECT_EQ(view_->Grid()->Editor()->text(), "nan");
  EditorAt(row + 2, kClose);
  EXPECT_EQ(beeps_, 2);
  EXPECT_TRUE(view_->Window().Queued().empty());
}

}  // namespace
}  // namespace zi::desktop

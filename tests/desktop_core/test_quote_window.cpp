// The price window on the demo database: the range of each mode, the headings of the series'
// layout, the days read at load, edits kept per day and written at the save, a failed write at
// each step of a save, the range change and the undo that would drop edits, and bad input.

#include "desktop/core/marketdata/quote_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "desktop/core/window_kinds.h"
#include "desktop_fakes.h"
#include "support/demo_database.h"
#include "support/window_settings.h"
#include "toolbox/display_formats.h"
#include "session/session.h"
#include "toolbox/numbers.h"

namespace zi::desktop {
namespace {

constexpr int kEnglish = 1;

TDayNumber Day(int year, int month, int day) { return DayNumberFromDate({year, month, day}).value(); }

// The view: the grid takes the window's rows as the Qt grid does.
struct FakeQuoteView : tQuoteView {
  explicit FakeQuoteView(test::FakeGrid& grid) : grid_(grid) {}
  void SetWindow(const TCotWin* window) { window_ = window; }
  void ShowRange() override {
    grid_.rows = window_->Rows();
    grid_.cols = kQuoteColumns;
    ++ranges;
  }
  void ShowRow(int row) override { rowsShown.push_back(row); }

  int ranges = 0;
  std::vector<int> rowsShown;

 private:
  test::FakeGrid& grid_;
  const TCotWin* window_ = nullptr;
};

TEST(QuoteRange, OfEachMode) {
  const TDayNumber first = Day(2021, 1, 4);
  EXPECT_EQ(RangeFromFirstQuote(first), (TQuoteRange{Day(2020, 12, 28), Day(2021, 3, 28), first}));
  EXPECT_EQ(RangeWithoutFirstQuote(Day(2026, 12, 11)),
            (TQuoteRange{Day(2026, 9, 19), Day(2026, 12, 18), Day(2026, 12, 11)}));
  const TDayNumber end = Day(2022, 6, 30);
  const TDayNumber start = Day(2022, 4, 1);
  EXPECT_EQ(RangeEndingIn(end, kNoDate), (TQuoteRange{start, end, end}));
  EXPECT_EQ(RangeEndingIn(end, Day(2022, 5, 2)), (TQuoteRange{start, end, Day(2022, 5, 2)}));
  EXPECT_EQ(RangeEndingIn(end, Day(2021, 5, 2)), (TQuoteRange{start, end, start}));
  EXPECT_EQ(RangeEndingIn(end, Day(2023, 5, 2)), (TQuoteRange{start, end, end}));
  // The first days that have a number bound the range.
  EXPECT_EQ(RangeFromFirstQuote(Day(1920, 1, 3)).first, Day(1920, 1, 2));
}

TEST(QuoteRange, WeekendsAreSaturdayAndSunday) {
  EXPECT_TRUE(IsWeekend(Day(2021, 1, 2)));
  EXPECT_TRUE(IsWeekend(Day(2021, 1, 3)));
  EXPECT_FALSE(IsWeekend(Day(2021, 1, 4)));
  EXPECT_FALSE(IsWeekend(Day(2021, 1, 8)));
  EXPECT_TRUE(IsWeekend(Day(1920, 1, 3)));
  EXPECT_FALSE(IsWeekend(Day(1920, 1, 2)));
}

class QuoteWindow : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    QuoteSession() = {};
    ZiGlobs().lingua = kEnglish;
    petr4_ = SeriesOf("PETR4");
  }
  void TearDown() override {
    window_.reset();
    QuoteSession() = {};
    ZiGlobs().lingua = 0;
    DemoDatabase::TearDown();
  }
  tObjHierEx SeriesOf(const std::string& ticker) {
    std::vector<tObjHierEx> rows;
    EXPECT_EQ(GetObjListDaEmp(kNivelSerie, SeriesId(ticker), rows), 0);
    for (const tObjHierEx& row : rows)
      if (row.AnbCod == ticker) return row;
    ADD_FAILURE() << ticker;
    return {};
  }
  TCotWin& Open(const tObjHierEx& series) {
    window_ = std::make_unique<TCotWin>();
    view_.SetWindow(window_.get());
    window_->SetQuoteView(&view_);
    window_->AttachGrid(&grid_);
    window_->CreateToolPanel(true);
    window_->SetCurObj(series);
    return *window_;
  }
  int RowOf(TDayNumber day) const { return day.value - window_->Range().first.value; }
  // Types text into a cell as the grid reports it and presses Enter: the cell is entered, its text
  // set and stored.
  void Type(int col, int row, const std::string& text) {
    window_->GetEditText(col, row);
    window_->SetEditText(col, row, text);
    window_->KeyEnter();
  }
  // The cursor goes to another row, as a click or an arrow key moves it.
  void LeaveTo(int row) { window_->GetEditText(1, row); }
  double Stored(int anb, TDayNumber day, int position) {
    const DbValue value = SqlValue("SELECT v" + std::to_string(position) + " FROM Cotacao WHERE anb = " +
                                   std::to_string(anb) + " AND dia = " + std::to_string(day.value));
    return value.IsNull() ? kMissing : value.AsFloat();
  }
  bool Save() {
    settings_.saveAnswer = kMrYes;
    return window_->ConfirmClose();
  }

  test::TWindowSettings settings_;
  test::FakeGrid grid_;
  FakeQuoteView view_{grid_};
  std::unique_ptr<TCotWin> window_;
  tObjHierEx petr4_;
};

TEST_F(QuoteWindow, LoadsThreeMonthsFromAWeekBeforeTheFirstQuote) {
  TCotWin& window = Open(petr4_);
  EXPECT_EQ(window.MdiType(), 2);
  EXPECT_FALSE(window.LoadFailed());
  EXPECT_EQ(window.State(), tMdiChild::kLoaded);
  EXPECT_EQ(window.Rows(), 91);
  EXPECT_EQ(window.RangeText(), "  Date range: 28/12/2020 to 28/03/2021");
  EXPECT_EQ(window.CursorRow(), 7);
  EXPECT_EQ(window.DayOfRow(7), Day(2021, 1, 4));
  EXPECT_EQ(window.EditMode(), tMdiChildGrid::kRecordsInRows);
  EXPECT_TRUE(grid_.editorEnabled);
  EXPECT_EQ(grid_.rows, 91);
  const std::vector<std::string> headers = window.Headers();
  ASSERT_EQ(headers.size(), 28u);
  EXPECT_EQ(std::vector<std::string>(headers.begin(), headers.begin() + 10),
            (std::vector<std::string>{"Date", "Open", "Low", "High", "Average", "Close", "#Trades", "#Shares",
                                      "Volume$", "-"}));
  EXPECT_EQ(headers.back(), "-");
  // The first quote's row shows what the database holds; the week before it has none.
  EXPECT_EQ(window.CellText(0, 7), "04/01/2021");
  for (int position = 1; position <= 8; ++position)
    EXPECT_EQ(window.CellText(position, 7), ShownNumber(Stored(petr4_.AnbId, Day(2021, 1, 4), position))) << position;
  EXPECT_EQ(window.CellText(5, 6), "");
  EXPECT_EQ(window.CellText(9, 7), "");
  EXPECT_EQ(window.RowColour(RowOf(Day(2021, 1, 2))), kWeekendColour);
  EXPECT_EQ(window.RowColour(RowOf(Day(2021, 1, 4))), kWhite);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
  EXPECT_EQ(beeps_, 0);
}

TEST_F(QuoteWindow, TheEndingInModeKeepsTheDayLastSelectedInTheRange) {
  QuoteSession() = {.mode = TQuoteRangeMode::kEndingIn, .endDate = Day(2022, 6, 30), .lastSelected = Day(2022, 5, 2)};
  TCotWin& window = Open(petr4_);
  EXPECT_EQ(window.RangeText(), "  Date range: 01/04/2022 to 30/06/2022");
  EXPECT_EQ(window.DayOfRow(window.CursorRow()), Day(2022, 5, 2));
  LeaveTo(RowOf(Day(2022, 6, 1)));
  EXPECT_EQ(QuoteSession().lastSelected, Day(2022, 6, 1));
}

TEST_F(QuoteWindow, AnEditIsKeptForItsDayAndWrittenAtTheSave) {
  TCotWin& window = Open(petr4_);
  const int row = RowOf(Day(2021, 1, 5));
  Type(5, row, "40.5");
  EXPECT_EQ(window.CellText(5, row), "40.5");
  EXPECT_EQ(window.State(), tMdiChild::kChanged);
  EXPECT_TRUE(window.UndoEnabled());
  EXPECT_TRUE(window.Queued().empty()) << "the row is not left yet";
  LeaveTo(row + 1);
  ASSERT_EQ(window.Queued().size(), 1u);
  EXPECT_EQ(window.Queued().begin()->first, Day(2021, 1, 5));
  EXPECT_NE(Stored(petr4_.AnbId, Day(2021, 1, 5), 5), 40.5) << "nothing is written before the save";
  const double open = Stored(petr4_.AnbId, Day(2021, 1, 5), 1);

  EXPECT_TRUE(Save());
  EXPECT_EQ(Stored(petr4_.AnbId, Day(2021, 1, 5), 5), 40.5);
  EXPECT_EQ(Stored(petr4_.AnbId, Day(2021, 1, 5), 1), open) << "the day's other values stay";
  EXPECT_TRUE(window.Queued().empty());
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
  const std::string obj = std::to_string(petr4_.AnbId);
  EXPECT_NE(Log().find("TCotWin ObjDataSave CotPut ok  obj:" + obj + " 05/01/2021"), std::string::npos) << Log();
  EXPECT_NE(Log().find("TCotWin ObjDataSave end result:Y"), std::string::npos);
}

TEST_F(QuoteWindow, ASaveCommitsTheRowBeingEdited) {
  TCotWin& window = Open(petr4_);
  const int row = RowOf(Day(2021, 1, 9));
  Type(5, row, "12,345.5");
  Type(7, row, "1000");
  EXPECT_TRUE(window.HasDataChanged());
  EXPECT_TRUE(Save());
  EXPECT_EQ(settings_.saveQuestions, 1);
  EXPECT_EQ(Stored(petr4_.AnbId, Day(2021, 1, 9), 5), 12345.5);
  EXPECT_EQ(Stored(petr4_.AnbId, Day(2021, 1, 9), 7), 1000);
  EXPECT_TRUE(std::isnan(Stored(petr4_.AnbId, Day(2021, 1, 9), 1))) << "a Saturday had no quote";
}

TEST_F(QuoteWindow, ADashOrAnEmptyCellClearsTheValue) {
  TCotWin& window = Open(petr4_);
  const int row = RowOf(Day(2021, 1, 6));
  Type(1, row, "-");
  Type(2, row, "");
  Type(3, row, " - ");
  EXPECT_EQ(window.CellText(1, row), "");
  EXPECT_TRUE(Save());
  for (int position = 1; position <= 3; ++position)
    EXPECT_TRUE(std::isnan(Stored(petr4_.AnbId, Day(2021, 1, 6), position))) << position;
  EXPECT_FALSE(std::isnan(Stored(petr4_.AnbId, Day(2021, 1, 6), 4)));
}

TEST_F(QuoteWindow, ATextThatIsNoNumberBeepsAndIsDropped) {
  TCotWin& window = Open(petr4_);
  const int row = RowOf(Day(2021, 1, 7));
  const std::string before = window.CellText(5, row);
  const std::string dump = Dump();
  int beeps = 0;
  for (const char* text : {"abc", "nan", "NaN", "inf", "-inf", "1e999", "0x10", "1..2", "12a"}) {
    Type(5, row, text);
    LeaveTo(row + 1);
    EXPECT_EQ(beeps_, ++beeps) << text;
    EXPECT_EQ(window.CellText(5, row), before) << text;
  }
  EXPECT_TRUE(window.Queued().empty());
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_TRUE(window.ConfirmClose());
  EXPECT_EQ(settings_.saveQuestions, 0);
  EXPECT_EQ(Dump(), dump);
}

TEST_F(QuoteWindow, TheDateColumnIsReadOnlyAndEnterPassesIt) {
  TCotWin& window = Open(petr4_);
  const int row = RowOf(Day(2021, 1, 7));
  Type(0, row, "01/01/2000");
  LeaveTo(row + 1);
  EXPECT_EQ(window.CellText(0, row), "07/01/2021");
  EXPECT_TRUE(window.Queued().empty());
  EXPECT_EQ(grid_.movedToCol, 1) << "Enter in the date goes to the first value";
  grid_.movedToCol = -1;
  window.GetEditText(27, row);
  EXPECT_TRUE(window.KeyEnter());
  EXPECT_EQ(grid_.movedToCol, -1) << "Enter stays on the last field";
}

// Each step of a save of three days fails in turn: the days written are exactly those no longer
// queued, the failed save shows its box and keeps the window changed, and the next save writes
// the rest.
TEST_F(QuoteWindow, AFailedWriteAtEachStepKeepsTheDaysNotWritten) {
  const std::vector<TDayNumber> days{Day(2021, 1, 11), Day(2021, 1, 12), Day(2021, 1, 13)};
  for (int failing = 1;; ++failing) {
    ASSERT_LT(failing, 20) << "the save never got through";
    QuoteSession() = {};
    TCotWin& window = Open(petr4_);
    for (size_t i = 0; i < days.size(); ++i) Type(5, RowOf(days[i]), std::to_string(50 + failing) + "." + std::to_string(i));
    boxes_.clear();
    Driver().InjectFaults({.failCall = failing});
    const bool saved = Save();
    Driver().InjectFaults({});
    for (size_t i = 0; i < days.size(); ++i) {
      const bool written = Stored(petr4_.AnbId, days[i], 5) == std::stod(std::to_string(50 + failing) + "." + std::to_string(i));
      EXPECT_EQ(written, !window.Queued().contains(days[i])) << failing << " day " << i;
    }
    if (saved) {
      EXPECT_TRUE(window.Queued().empty());
      EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
      EXPECT_GT(failing, static_cast<int>(days.size())) << "a call of the save failed silently";
      break;
    }
    ASSERT_EQ(boxes_.size(), 2u) << failing;
    EXPECT_EQ(BoxCaptions()[0].rfind("SQL error ", 0), 0u) << boxes_[0];
    EXPECT_NE(BoxCaptions()[0].find(" on DbCotPut"), std::string::npos) << boxes_[0];
    EXPECT_EQ(boxes_[1], "Error|Error saving data! Resuming edit.");
    EXPECT_FALSE(window.Queued().empty());
    EXPECT_TRUE(window.HasDataChanged());
    EXPECT_NE(Log().find("TCotWin ObjDataSave CotPut error:"), std::string::npos);
    EXPECT_NE(Log().find("TCotWin ObjDataSave end result:N"), std::string::npos);
    // The same window saves what is left once the server answers again.
    boxes_.clear();
    EXPECT_TRUE(Save());
    for (size_t i = 0; i < days.size(); ++i)
      EXPECT_EQ(Stored(petr4_.AnbId, days[i], 5), std::stod(std::to_string(50 + failing) + "." + std::to_string(i)));
    EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
  }
}

TEST_F(QuoteWindow, AConnectionLostWithQueuedEditsKeepsThemAndFailsTheSave) {
  TCotWin& window = Open(petr4_);
  Type(5, RowOf(Day(2021, 1, 14)), "77");
  LeaveTo(RowOf(Day(2021, 1, 15)));
  Driver().DropConnection();
  Driver().InjectFaults({.failOpens = 1000});
  EXPECT_FALSE(Save());
  EXPECT_EQ(window.Queued().size(), 1u);
  EXPECT_TRUE(window.HasDataChanged());
  ASSERT_FALSE(boxes_.empty());
  EXPECT_NE(BoxCaptions()[0].find(" on DbCotPut"), std::string::npos) << boxes_[0];
  Driver().InjectFaults({});
  boxes_.clear();
  EXPECT_TRUE(Save());
  EXPECT_EQ(Stored(petr4_.AnbId, Day(2021, 1, 14), 5), 77);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
}

TEST_F(QuoteWindow, ARangeChangeWithEditsAsksFirst) {
  TCotWin& window = Open(petr4_);
  const int row = RowOf(Day(2021, 1, 18));
  Type(5, row, "33");
  const TQuoteRange before = window.Range();

  settings_.saveAnswer = kMrCancel;
  EXPECT_EQ(window.ApplyRange(TQuoteRangeMode::kEndingIn, "30/06/2022"), TCotWin::TRangeAnswer::kKept);
  EXPECT_EQ(settings_.saveQuestions, 1);
  EXPECT_EQ(window.Range(), before);
  EXPECT_EQ(window.CellText(5, row), "33");
  EXPECT_EQ(QuoteSession().mode, TQuoteRangeMode::kFromFirstQuote);

  settings_.saveAnswer = kMrNo;
  EXPECT_EQ(window.ApplyRange(TQuoteRangeMode::kEndingIn, "30/06/2022"), TCotWin::TRangeAnswer::kApplied);
  EXPECT_EQ(settings_.saveQuestions, 2);
  EXPECT_EQ(window.RangeText(), "  Date range: 01/04/2022 to 30/06/2022");
  EXPECT_TRUE(window.Queued().empty());
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_EQ(window.State(), tMdiChild::kLoaded);
  EXPECT_NE(Stored(petr4_.AnbId, Day(2021, 1, 18), 5), 33);
  EXPECT_EQ(QuoteSession().mode, TQuoteRangeMode::kEndingIn);
  EXPECT_EQ(QuoteSession().endDate, Day(2022, 6, 30));

  Type(5, RowOf(Day(2022, 6, 1)), "44");
  settings_.saveAnswer = kMrYes;
  EXPECT_EQ(window.ApplyRange(TQuoteRangeMode::kFromFirstQuote, ""), TCotWin::TRangeAnswer::kApplied);
  EXPECT_EQ(Stored(petr4_.AnbId, Day(2022, 6, 1), 5), 44);
  EXPECT_EQ(window.RangeText(), "  Date range: 28/12/2020 to 28/03/2021");
  // Without edits no question.
  EXPECT_EQ(window.ApplyRange(TQuoteRangeMode::kEndingIn, "31/12/2021"), TCotWin::TRangeAnswer::kApplied);
  EXPECT_EQ(settings_.saveQuestions, 3);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
}

TEST_F(QuoteWindow, ARangeChangeWhoseSaveFailsKeepsTheEdits) {
  TCotWin& window = Open(petr4_);
  Type(5, RowOf(Day(2021, 1, 18)), "33");
  const TQuoteRange before = window.Range();
  SetSaveQuestion([this](bool) {
    Driver().InjectFaults({.failCall = 1, .failPersistent = true});
    return kMrYes;
  });
  EXPECT_EQ(window.ApplyRange(TQuoteRangeMode::kEndingIn, "30/06/2022"), TCotWin::TRangeAnswer::kKept);
  Driver().InjectFaults({});
  EXPECT_EQ(window.Range(), before);
  EXPECT_EQ(window.Queued().size(), 1u);
  EXPECT_TRUE(window.HasDataChanged());
  EXPECT_EQ(BoxCaptions().back(), "Error");
}

TEST_F(QuoteWindow, AnImpossibleDateInTheRangeDialogIsRefused) {
  TCotWin& window = Open(petr4_);
  Type(5, RowOf(Day(2021, 1, 18)), "33");
  const TQuoteRange before = window.Range();
  for (const char* text : {"31/02/2022", "", "tomorrow", "12/13/2022", "01/01/1900"}) {
    boxes_.clear();
    EXPECT_EQ(window.ApplyRange(TQuoteRangeMode::kEndingIn, text), TCotWin::TRangeAnswer::kRefused) << text;
    EXPECT_EQ(boxes_, (std::vector<std::string>{std::string("Date range|Invalid date: \"") + text + "\""}));
  }
  EXPECT_EQ(beeps_, 5);
  EXPECT_EQ(settings_.saveQuestions, 0);
  EXPECT_EQ(window.Range(), before);
  EXPECT_EQ(QuoteSession().mode, TQuoteRangeMode::kFromFirstQuote);
  EXPECT_TRUE(window.HasDataChanged());
}

TEST_F(QuoteWindow, UndoDropsTheEditsAndReadsTheDaysAgain) {
  TCotWin& window = Open(petr4_);
  const int row = RowOf(Day(2021, 1, 19));
  const std::string before = window.CellText(5, row);
  Type(5, row, "1");
  LeaveTo(row + 1);
  Type(5, row + 1, "2");
  // Another analyst's write since the load shows after the undo.
  Sql("UPDATE Cotacao SET v1 = 9.5 WHERE anb = " + std::to_string(petr4_.AnbId) + " AND dia = " +
      std::to_string(Day(2021, 1, 21).value));
  window.ButUndoClick();
  EXPECT_TRUE(window.Queued().empty());
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_FALSE(window.UndoEnabled());
  EXPECT_EQ(window.CellText(5, row), before);
  EXPECT_EQ(window.CellText(1, RowOf(Day(2021, 1, 21))), "9.5");
  EXPECT_EQ(settings_.saveQuestions, 0);
  EXPECT_TRUE(window.ConfirmClose());
}

TEST_F(QuoteWindow, ASeriesThatCannotBeReadLeavesTheWindowLoadFailed) {
  tObjHierEx gone = petr4_;
  gone.AnbId = 999999;
  TCotWin& window = Open(gone);
  EXPECT_TRUE(window.LoadFailed());
  EXPECT_EQ(window.Rows(), 0);
  EXPECT_EQ(window.EditMode(), tMdiChildGrid::kNoEdit);
  EXPECT_EQ(beeps_, 1) << "no first quote";
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(BoxCaptions()[0].find(" on DbCotacaoDaAnbV2"), std::string::npos) << boxes_[0];
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_TRUE(window.ConfirmClose());
  EXPECT_EQ(settings_.saveQuestions, 0);
}

TEST_F(QuoteWindow, AReadThatFailsAtARangeChangeLeavesItLoadFailedUntilAReadSucceeds) {
  TCotWin& window = Open(petr4_);
  Driver().InjectFaults({.failCall = 1, .failPersistent = true});
  EXPECT_EQ(window.ApplyRange(TQuoteRangeMode::kEndingIn, "30/06/2022"), TCotWin::TRangeAnswer::kApplied);
  Driver().InjectFaults({});
  EXPECT_TRUE(window.LoadFailed());
  EXPECT_EQ(window.Rows(), 0);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(window.ApplyRange(TQuoteRangeMode::kEndingIn, "30/06/2022"), TCotWin::TRangeAnswer::kApplied);
  EXPECT_FALSE(window.LoadFailed());
  EXPECT_EQ(window.Rows(), 91);
  EXPECT_EQ(window.EditMode(), tMdiChildGrid::kRecordsInRows);
}

TEST_F(QuoteWindow, ASeriesWithoutQuotesBeepsAndShowsTheWeeksAroundToday) {
  const tObjHierEx petr3 = SeriesOf("PETR3");
  Sql("DELETE FROM Cotacao WHERE anb = " + std::to_string(petr3.AnbId));
  TCotWin& window = Open(petr3);
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(window.Range(), RangeWithoutFirstQuote(Today()));
  EXPECT_FALSE(window.LoadFailed());
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
  // A first quote typed for a day without one is added.
  const int row = window.CursorRow();
  Type(5, row, "10.25");
  EXPECT_TRUE(Save());
  EXPECT_EQ(Stored(petr3.AnbId, window.DayOfRow(row), 5), 10.25);
  EXPECT_TRUE(std::isnan(Stored(petr3.AnbId, window.DayOfRow(row), 1)));
}

}  // namespace
}  // namespace zi::desktop

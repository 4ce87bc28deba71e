#include "desktop/core/marketdata/quote_window.h"

#include <algorithm>

#include "db/sql_errors.h"
#include "desktop/core/ui_port.h"
#include "marketdata/quote_fields.h"
#include "toolbox/display_formats.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/numbers.h"
#include "toolbox/platform.h"

namespace zi::desktop {

namespace {

constexpr int kRangeDays = 90;
constexpr int kDaysBeforeFirstQuote = 7;
constexpr int kDaysAfterToday = 7;
constexpr int kDaysPerWeek = 7;
// 1920-01-01, day 0, was a Thursday: day + 3 counts weekdays from Monday = 0.
constexpr int kMondayOffset = 3;
constexpr int kSaturday = 5;
constexpr int kFirstDay = 1;
constexpr int kLastDay = 65535;

TDayNumber AddDays(TDayNumber day, int days) {
  return TDayNumber{static_cast<uint16_t>(std::clamp(day.value + days, kFirstDay, kLastDay))};
}

TQuoteRecord EmptyDay(TDayNumber day) {
  TQuoteRecord record{.date = day};
  record.values.fill(kMissing);
  return record;
}

// A cell's text as a value: empty or "-" is no value; nullopt for a text that is no number.
std::optional<double> TypedValue(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first != std::string::npos && text.substr(first, text.find_last_not_of(' ') - first + 1) == "-") return kMissing;
  const TTypedNumber typed = ParseTypedNumber(text);
  if (typed.kind == TTypedNumber::Invalid) return std::nullopt;
  return typed.kind == TTypedNumber::Number ? typed.value : kMissing;
}

}  // namespace

TQuoteSession& QuoteSession() {
  static TQuoteSession session;
  return session;
}

TQuoteRange RangeFromFirstQuote(TDayNumber firstQuote) {
  const TDayNumber first = AddDays(firstQuote, -kDaysBeforeFirstQuote);
  return {first, AddDays(first, kRangeDays), firstQuote};
}

TQuoteRange RangeWithoutFirstQuote(TDayNumber today) {
  const TDayNumber last = AddDays(today, kDaysAfterToday);
  return {AddDays(last, -kRangeDays), last, today};
}

TQuoteRange RangeEndingIn(TDayNumber end, TDayNumber lastSelected) {
  const TDayNumber first = AddDays(end, -kRangeDays);
  const TDayNumber cursor = lastSelected.IsNoDate() ? end : std::clamp(lastSelected, first, end);
  return {first, end, cursor};
}

TDayNumber Today() {
  const platform::LocalTime now = platform::Now();
  return DayNumberFromDate({now.year, now.month, now.day}).value_or(kNoDate);
}

bool IsWeekend(TDayNumber day) { return (day.value + kMondayOffset) % kDaysPerWeek >= kSaturday; }

std::string TCotWin::RangeText() const {
  return "  Date range: " + ShownDay(range_.first) + " to " + ShownDay(range_.last);
}

int TCotWin::Rows() const { return LoadFailed() || range_.first.IsNoDate() ? 0 : range_.last.value - range_.first.value + 1; }

int TCotWin::CursorRow() const { return Rows() == 0 ? -1 : range_.cursor.value - range_.first.value; }

TDayNumber TCotWin::DayOfRow(int row) const { return AddDays(range_.first, row); }

const TQuoteRecord* TCotWin::Shown(int row) const {
  if (editing_ && row == CurRecord()) return &*editing_;
  const TDayNumber day = DayOfRow(row);
  if (const auto queued = queued_.find(day); queued != queued_.end()) return &queued->second;
  if (const auto stored = stored_.find(day); stored != stored_.end()) return &stored->second;
  return nullptr;
}

std::string TCotWin::CellText(int col, int row) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= kQuoteColumns) return {};
  if (col == 0) return ShownDay(DayOfRow(row));
  const TQuoteRecord* record = Shown(row);
  return record ? ShownNumber(record->values[static_cast<size_t>(col - 1)]) : std::string();
}

uint32_t TCotWin::RowColour(int row) const { return IsWeekend(DayOfRow(row)) ? kWeekendColour : kWhite; }

bool TCotWin::HasDataChanged() const {
  if (LoadFailed()) return false;
  // A text refused by its cell leaves the framework's record flag set: only what the window kept
  // counts, and a cell still being typed in.
  return tMdiChild::HasDataChanged() || !queued_.empty() || editing_ ||
         (EditMode() != kNoEdit && EditedText() != InitialText());
}

TQuoteRange TCotWin::RangeOfSession() {
  const TQuoteSession& session = QuoteSession();
  if (session.mode == TQuoteRangeMode::kEndingIn)
    return RangeEndingIn(session.endDate.IsNoDate() ? Today() : session.endDate, session.lastSelected);
  TDayNumber firstQuote;
  // A series without quotes answers with a code, or with no date.
  if (DbCotacaoDaAnbMinDate(CurObj().AnbId, firstQuote) == 0 && !firstQuote.IsNoDate())
    return RangeFromFirstQuote(firstQuote);
  Beep();
  return RangeWithoutFirstQuote(Today());
}

void TCotWin::Reload() {
  // Anything typed is committed into the days to save first, which this read then drops: the
  // callers asked to save, or undid.
  SetEditMode(kNoEdit);
  queued_.clear();
  editing_.reset();
  stored_.clear();
  range_ = RangeOfSession();
  std::vector<TQuoteRecord> days;
  const int code = DbCotacaoDaAnbV2(CurObj().AnbId, range_.first, range_.last, days);
  SetLoadFailed(code != 0);
  for (const TQuoteRecord& day : days) stored_[day.date] = day;
  if (State() != kCreated) MarkUnchanged();
  if (quoteView_) quoteView_->ShowRange();
  if (code != 0) {
    Loga(std::string(ClassName()) + " ObjDataLoad error:" + std::to_string(code) + "  obj:" + std::to_string(CurObjId()));
    db::ShowSqlErrorTxt("DbCotacaoDaAnbV2", code);
    return;
  }
  SetEditMode(kRecordsInRows);
}

void TCotWin::ObjDataLoad() {
  tMdiChild::ObjDataLoad();
  const int layout = LayoutDaSerie(CurObj());
  headers_ = {"Date"};
  for (int position = 1; position <= kQuoteValues; ++position) headers_.push_back(ColumnHeading(layout, position));
  Reload();
}

void TCotWin::ObjDataUndo() {
  tMdiChildGrid::ObjDataUndo();
  Reload();
}

bool TCotWin::ObjDataSave() {
  if (!tMdiChildGrid::ObjDataSave()) return false;
  const std::string prefix = std::string(ClassName()) + " ObjDataSave";
  bool saved = true;
  // A day written leaves the list; from the first failure on, the days stay for the next save.
  for (auto day = queued_.begin(); day != queued_.end();) {
    const int code = DbCotacaoPutV4(CurObj().AnbId, day->second);
    Loga(prefix + " CotPut " + (code == 0 ? std::string("ok") : "error:" + std::to_string(code)) +
         "  obj:" + std::to_string(CurObj().AnbId) + " " + ShownDay(day->first));
    if (code != 0) {
      db::ShowSqlErrorTxt("DbCotPut", code);
      saved = false;
      break;
    }
    stored_[day->first] = day->second;
    day = queued_.erase(day);
  }
  Loga(prefix + " end result:" + (saved ? "Y" : "N"));
  return saved;
}

TCotWin::TRangeAnswer TCotWin::ApplyRange(TQuoteRangeMode mode, const std::string& dateText) {
  std::optional<TDayNumber> end;
  if (mode == TQuoteRangeMode::kEndingIn) {
    end = ParseShownDay(dateText);
    if (!end) {
      Beep();
      ShowErrorBox(kRangeCaption, "Invalid date: \"" + dateText + "\"");
      return TRangeAnswer::kRefused;
    }
  }
  if (!ConfirmClose()) return TRangeAnswer::kKept;
  TQuoteSession& session = QuoteSession();
  session.mode = mode;
  if (end) session.endDate = *end;
  Reload();
  return TRangeAnswer::kApplied;
}

void TCotWin::EnterRecord(int record) {
  editing_.reset();
  QuoteSession().lastSelected = DayOfRow(record);
}

bool TCotWin::LeaveRecord() {
  if (!editing_) return true;
  queued_[editing_->date] = *editing_;
  editing_.reset();
  return true;
}

TFieldEdit TCotWin::GetFieldEdit(int field) {
  TFieldEdit edit{.text = CellText(field, CurRecord()), .colour = RowColour(CurRecord())};
  // The date names the row: it is neither edited nor visited by Enter.
  edit.readOnly = edit.skip = field == 0;
  return edit;
}

void TCotWin::StoreFieldText(int field, const std::string& text) {
  if (field < 1 || field > kQuoteValues || CurRecord() < 0 || CurRecord() >= Rows()) return;
  const std::optional<double> value = TypedValue(text);
  if (!value) {
    Beep();
    if (quoteView_) quoteView_->ShowRow(CurRecord());
    return;
  }
  if (!editing_) {
    const TQuoteRecord* shown = Shown(CurRecord());
    editing_ = shown ? *shown : EmptyDay(DayOfRow(CurRecord()));
  }
  editing_->values[static_cast<size_t>(field - 1)] = *value;
  MarkChanged();
  if (quoteView_) quoteView_->ShowRow(CurRecord());
}

}  // namespace zi::desktop

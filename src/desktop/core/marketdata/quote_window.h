#pragma once
// The price window (kind 2): the days of a date range of the current series, one grid row per
// calendar day and one column per quote position, headed by the series' layout. Edits are kept per
// day and written with CotacaoPutV4 when the window saves; the undo button drops them.
//
// The whole range is read when the window loads or its range changes, never while the grid paints.
// A change of range or an undo that would drop edits asks to save them first.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "desktop/core/mdi_child_grid.h"
#include "marketdata/quote_calls.h"
#include "toolbox/dates.h"

namespace zi::desktop {

inline constexpr int kKindQuotes = 2;
inline constexpr int kQuoteColumns = 1 + kQuoteValues;
inline constexpr uint32_t kWeekendColour = 0xE7E7E7;

inline constexpr const char* kRangeModeEndingIn = "3 month period ending in";
inline constexpr const char* kRangeModeFromFirst = "3 month period starting at the begin of the serie";
inline constexpr const char* kRangeCaption = "Date range";

enum class TQuoteRangeMode { kEndingIn, kFromFirstQuote };

// What the price windows of a session share: the range mode with its date (no date: today) and
// the day last selected in any of them.
struct TQuoteSession {
  TQuoteRangeMode mode = TQuoteRangeMode::kFromFirstQuote;
  TDayNumber endDate;
  TDayNumber lastSelected;
};
TQuoteSession& QuoteSession();

struct TQuoteRange {
  TDayNumber first;
  TDayNumber last;
  TDayNumber cursor;
  bool operator==(const TQuoteRange&) const = default;
};

// From a week before the first quote to 90 days after that; the cursor on the first quote.
TQuoteRange RangeFromFirstQuote(TDayNumber firstQuote);
// A series without a first quote: from 83 days before today to a week after it, the cursor today.
TQuoteRange RangeWithoutFirstQuote(TDayNumber today);
// The 90 days before end and end itself; the cursor on the day last selected, kept in the range
// (end when none was selected yet).
TQuoteRange RangeEndingIn(TDayNumber end, TDayNumber lastSelected);

TDayNumber Today();
// Saturday or Sunday.
bool IsWeekend(TDayNumber day);

// What the window asks of its view beyond the framework's.
class tQuoteView {
 public:
  virtual ~tQuoteView() = default;
  // The range, the headings or every row changed: the grid is built again on the cursor row.
  virtual void ShowRange() = 0;
  // A row's values changed.
  virtual void ShowRow(int row) = 0;
};

class TCotWin : public tMdiChildGrid {
 public:
  enum class TRangeAnswer {
    kApplied,  // the window shows the new range
    kRefused,  // the date is no date: the dialog stays open
    kKept,     // the user resumed editing, or the save failed: nothing changed
  };

  const char* ClassName() const override { return "TCotWin"; }
  int MdiType() const override { return kKindQuotes; }
  bool HasDataChanged() const override;

  void SetQuoteView(tQuoteView* view) { quoteView_ = view; }

  const TQuoteRange& Range() const { return range_; }
  // "  Date range: " + first day + " to " + last day.
  std::string RangeText() const;
  // One row per day of the range; none after a failed load.
  int Rows() const;
  int CursorRow() const;
  TDayNumber DayOfRow(int row) const;
  // "Date" and the 27 headings of the series' layout.
  const std::vector<std::string>& Headers() const { return headers_; }
  // The day's date, or a value with up to 7 decimals (empty for none), as edited so far.
  std::string CellText(int col, int row) const;
  uint32_t RowColour(int row) const;
  // The days whose edits wait for the save, by date.
  const std::map<TDayNumber, TQuoteRecord>& Queued() const { return queued_; }

  // The range dialog's Okay: a new mode, and with kEndingIn the date typed for it.
  TRangeAnswer ApplyRange(TQuoteRangeMode mode, const std::string& dateText);

 protected:
  void ObjDataLoad() override;
  void ObjDataUndo() override;
  bool ObjDataSave() override;

  void EnterRecord(int record) override;
  bool LeaveRecord() override;
  TFieldEdit GetFieldEdit(int field) override;
  void StoreFieldText(int field, const std::string& text) override;

 private:
  // Reads the range of the session's mode and every day in it; a failed read shows its box and
  // leaves the window load-failed with no rows.
  void Reload();
  TQuoteRange RangeOfSession();
  // The day as stored, queued or being edited.
  const TQuoteRecord* Shown(int row) const;

  tQuoteView* quoteView_ = nullptr;
  std::vector<std::string> headers_;
  TQuoteRange range_;
  // The days of the range that have a quote, as read.
  std::map<TDayNumber, TQuoteRecord> stored_;
  std::map<TDayNumber, TQuoteRecord> queued_;
  // The current row's day while a cell of it was edited and the row not yet left.
  std::optional<TQuoteRecord> editing_;
};

}  // namespace zi::desktop

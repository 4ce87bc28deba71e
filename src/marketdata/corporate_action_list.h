#pragma once
// What the corporate-action windows show and check, without their widgets: the list of a series'
// actions with its empty line for adding, the type list with its group headers, and the edit
// dialog's fields with the checks of its Okay.

#include <optional>
#include <string>
#include <vector>

#include "marketdata/corporate_action.h"

namespace zi {

inline constexpr const char* kPrvCaption = "Corporate Actions";
inline constexpr const char* kNoDefaultCurrency = "Cannot find default currency for this serie";

// The actions of one series as the list shows them, and an empty last line.
class TPrvListModel {
 public:
  // Reads the series' default currency (0 and the error text when it cannot be read) and actions.
  int Load(int anb);
  // Reads the actions again, keeping the selected row when it still exists.
  int Reload();
  int Anb() const { return anb_; }
  int DefaultCurrency() const { return defaultCurrency_; }
  // "Cannot find default currency for this serie" after a load that could not read the series.
  const std::string& CurrencyError() const { return currencyError_; }

  int RowCount() const { return static_cast<int>(actions_.size()) + 1; }
  bool IsEmptyLine(int row) const { return row == static_cast<int>(actions_.size()); }
  // The action's description line; empty for the last line.
  std::string RowText(int row) const;
  const tPrvento& Action(int row) const { return actions_.at(static_cast<size_t>(row)); }
  int Selected() const { return selected_; }
  void Select(int row);
  // "Delete this item?", a line break and the description line.
  std::string DeleteQuestion(int row) const;
  // The ex-date bounds of an action added at the selected row: the date of the line above and of
  // the selected line, where those lines have one.
  std::optional<TDayNumber> LowerBound() const;
  std::optional<TDayNumber> UpperBound() const;

 private:
  int anb_ = 0;
  int defaultCurrency_ = 0;
  std::string currencyError_;
  std::vector<tPrvento> actions_;
  int selected_ = 0;
};

// A line of the type list: a group header or a type.
struct TPrvTypeLine {
  bool header = false;
  int tipo = -1;       // the type of a type line
  std::string text;    // the header in the session language, or the type's template
};
// The types in display order under their six group headers.
std::vector<TPrvTypeLine> PrvTypeLines();

// The edit dialog's fields as typed, and the checks of its Okay.
class TPrvDialog {
 public:
  // An existing action, or a blank one for adding (with the bounds of its place in the list).
  TPrvDialog(const tPrvento& prv, bool isNew, int defaultCurrency, std::optional<TDayNumber> lower = {},
             std::optional<TDayNumber> upper = {});

  std::string date, order, quantity, price, approval, payment, key;
  int tipo = -1;
  int moeda = -1;

  bool IsNew() const { return isNew_; }
  // What the type shows: the currency and price fields, and the quantity with its caption.
  bool ShowsCurrencyAndPrice() const;
  bool ShowsQuantity() const;
  std::string QuantityCaption() const;

  // "Invalid data in:" and a line "- " + field for each failure; empty when Okay may close.
  std::string Check() const;
  // The record the dialog gives; call only when Check() is empty.
  tPrvento Record() const;

 private:
  tPrvento original_;
  bool isNew_;
  int defaultCurrency_;
  std::optional<TDayNumber> lower_;
  std::optional<TDayNumber> upper_;
};

}  // namespace zi

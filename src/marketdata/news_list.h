#pragma once
// What the news windows show and check, without their widgets: the list of a company's items in
// their one-line form, and the edit dialog's fields with the checks of its Okay.

#include <string>
#include <vector>

#include "marketdata/news.h"

namespace zi {

inline constexpr const char* kNwsListCaption = "News and Shareholder Meetings";
// Mended: the dialog had the corporate actions' caption.
inline constexpr const char* kNwsDialogCaption = "News";

class TNwsListModel {
 public:
  // Reads the company's items, keeping the top line and the selection where they still exist.
  int Load(int emp);
  int Emp() const { return emp_; }
  int RowCount() const { return static_cast<int>(items_.size()); }
  // The one-line form, built the first time the row is shown.
  const std::string& RowText(int row);
  const tNws& Item(int row) const { return items_.at(static_cast<size_t>(row)); }
  int Selected() const { return selected_; }
  int Top() const { return top_; }
  void Select(int row) { selected_ = row; }
  void SetTop(int row) { top_ = row; }
  // A new item of the company dated today.
  tNws NewItem(TDayNumber today) const;

 private:
  int emp_ = 0;
  std::vector<tNws> items_;
  std::vector<std::string> texts_;
  int selected_ = -1;
  int top_ = 0;
};

class TNwsDialog {
 public:
  TNwsDialog(const tNws& item, bool isNew);
  std::string date;
  std::string text;
  // The date is typed only for a new item.
  bool DateEnabled() const { return isNew_; }
  // "Invalid data in:" and "- Publishing Date", "- Text (empty!)" as they fail; empty when Okay
  // may close.
  std::string Check() const;
  tNws Record() const;

 private:
  tNws original_;
  bool isNew_;
};

}  // namespace zi

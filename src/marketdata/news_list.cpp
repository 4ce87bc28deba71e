#include "marketdata/news_list.h"

#include <algorithm>

#include "toolbox/display_formats.h"
#include "toolbox/text.h"

namespace zi {

int TNwsListModel::Load(int emp) {
  emp_ = emp;
  const int code = DbNwsDaEmpAbrv(emp, items_);
  texts_.assign(items_.size(), std::string());
  const int last = RowCount() - 1;
  selected_ = std::min(selected_, last);
  top_ = std::clamp(top_, 0, std::max(last, 0));
  return code;
}

const std::string& TNwsListModel::RowText(int row) {
  std::string& text = texts_.at(static_cast<size_t>(row));
  if (text.empty()) text = NwsOneLine(Item(row));
  return text;
}

tNws TNwsListModel::NewItem(TDayNumber today) const {
  tNws item;
  item.emp = emp_;
  item.date = today;
  return item;
}

TNwsDialog::TNwsDialog(const tNws& item, bool isNew) : original_(item), isNew_(isNew) {
  date = ShownDay(item.date);
  text = item.txt;
}

std::string TNwsDialog::Check() const {
  std::string failures;
  if (!ParseShownDay(Trim(date))) failures += "\n- Publishing Date";
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) failures += "\n- Text (empty!)";
  return failures.empty() ? std::string() : "Invalid data in:" + failures;
}

tNws TNwsDialog::Record() const {
  tNws item = original_;
  if (isNew_) item.date = ParseShownDay(Trim(date)).value_or(kNoDate);
  item.txt = text;
  return item;
}

}  // namespace zi

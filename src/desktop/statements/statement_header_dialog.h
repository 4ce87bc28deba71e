#pragma once
// The small dialog that asks for the key of a new statement: its reference date and whether it is
// consolidated.

#include <QDialog>
#include <string>

#include "toolbox/dates.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zi::desktop {

// The short date pattern with a numeric month and a four-digit year: what the date field shows when
// no date is given ("dd/MMM/yy" gives "dd/MM/yyyy").
std::string DefaultDatePattern(const std::string& shortDateFormat);

inline constexpr const char* kFillInAllFields = "Please fill in all fields correctly";

class TEditaHeaderBal : public QDialog {
 public:
  explicit TEditaHeaderBal(QWidget* parent);

  // Shows the dialog with a title line (hidden when empty), the date (none: the default pattern),
  // the flag and, for a source other than 0, its name. True on OK, the date and flag as accepted.
  bool Ask(const std::string& title, int source, const std::string& sourceName, TDayNumber& date, bool& consolidated);

  QLabel* TitleLine() const { return title_; }
  QLineEdit* DateField() const { return date_; }
  QRadioButton* NoButton() const { return no_; }
  QRadioButton* YesButton() const { return yes_; }
  QLabel* SourceLine() const { return source_; }
  QLabel* ErrorLine() const { return error_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

  void accept() override;

 private:
  QLabel* title_;
  QLineEdit* date_;
  QRadioButton* no_;
  QRadioButton* yes_;
  QLabel* source_;
  QLabel* error_;
  QPushButton* ok_;
  QPushButton* cancel_;
  TDayNumber accepted_;
};

}  // namespace zi::desktop

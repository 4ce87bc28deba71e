#pragma once
// The small dialog that asks for the key of a new statement: its reference date and whether it is
// consolidated.

#include <QDialog>
#include <optional>

#include "desktop/core/statements/statement_window.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zi::desktop {

class TEditaHeaderBal : public QDialog {
 public:
  explicit TEditaHeaderBal(QWidget* parent);

  // Shows what the window asks for; the key on OK, nothing on Cancel.
  std::optional<TStmKey> Ask(const THeaderDialogRequest& request);

  QLabel* TitleLine() const { return title_; }
  QLineEdit* DateField() const { return date_; }
  QRadioButton* NoButton() const { return no_; }
  QRadioButton* YesButton() const { return yes_; }
  QLabel* SourceLine() const { return source_; }
  QLabel* ErrorLine() const { return error_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

  // OK: taken only when the date reads and an item is chosen, else the error line shows.
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
  std::optional<TStmKey> accepted_;
};

}  // namespace zi::desktop

#pragma once
// The price window's widget: the range panel with its "..." button over the grid of days, and the
// "Date range" dialog that button opens.

#include <QDialog>
#include <QWidget>
#include <functional>
#include <string>

#include "desktop/core/marketdata/quote_window.h"
#include "desktop/forms.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zi::desktop {

// "3 month period ending in" a date, or "3 month period starting at the begin of the serie".
class tQuoteRangeDialog : public QDialog {
 public:
  // Okay hands the choice and the date typed to okay, which answers whether the dialog closes.
  using TOkay = std::function<bool(TQuoteRangeMode mode, const std::string& date)>;
  tQuoteRangeDialog(QWidget* parent, TOkay okay);
  // Fills the choice and the date without it counting as an edit.
  void Fill(TQuoteRangeMode mode, TDayNumber date);

  QRadioButton* EndingIn() const { return endingIn_; }
  QRadioButton* FromFirstQuote() const { return fromFirst_; }
  QLineEdit* DateField() const { return date_; }
  QPushButton* OkayButton() const { return okay_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  void Okay();
  void EnableDate();

  TOkay onOkay_;
  QRadioButton* endingIn_;
  QRadioButton* fromFirst_;
  QLineEdit* date_;
  QPushButton* okay_;
  QPushButton* cancel_;
};

class TCotWinView : public tDocWidget, public tQuoteView {
 public:
  TCotWinView(QWidget* parent, QWidget* toolbar);
  ~TCotWinView() override;

  TCotWin& Window() { return *window_; }
  QLabel* RangeLabel() const { return range_; }
  QPushButton* RangeButton() const { return rangeButton_; }
  TMyGrid* Grid() const { return grid_; }
  // The range dialog while it is open.
  tQuoteRangeDialog* RangeDialog() const { return dialog_; }

  void ShowRange() override;
  void ShowRow(int row) override;

 private:
  // The "..." button: the range dialog, modal; the window reloads on its Okay.
  void ChooseRange();

  TCotWin* window_;
  QLabel* range_;
  QPushButton* rangeButton_;
  TMyGrid* grid_;
  tQuoteRangeDialog* dialog_ = nullptr;
};

}  // namespace zi::desktop

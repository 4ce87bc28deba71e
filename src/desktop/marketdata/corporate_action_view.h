#pragma once
// The corporate-action window's widget (the list of the series' actions) and its edit dialog with
// the type list under its bold group headers.

#include <QDialog>
#include <QListWidget>
#include <memory>

#include "desktop/core/catalogue/indicator_box.h"
#include "desktop/core/marketdata/corporate_action_window.h"
#include "desktop/forms.h"
#include "desktop/marketdata/list_window_view.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zi::desktop {

// The window's dialog, shown modal over parent.
std::unique_ptr<tPrvForms> CreatePrvForms(QWidget* parent);

class tPrvDialogView : public QDialog {
 public:
  tPrvDialogView(QWidget* parent, TPrvDialog& dialog);

  QLineEdit* DateField() const { return date_; }
  QLineEdit* OrderField() const { return order_; }
  QComboBox* TypeList() const { return type_; }
  QComboBox* CurrencyList() const { return currency_; }
  QLineEdit* QuantityField() const { return quantity_; }
  QLabel* QuantityLabel() const { return quantityLabel_; }
  QLineEdit* PriceField() const { return price_; }
  QLineEdit* ApprovalField() const { return approval_; }
  QLineEdit* PaymentField() const { return payment_; }
  QLineEdit* KeyField() const { return key_; }
  QPlainTextEdit* Instructions() const { return instructions_; }
  QPushButton* OkayButton() const { return okay_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  void Fill();
  void Read();
  void TypeChanged(int index);
  void ShowFieldsOfType();
  void OkayClicked();

  TPrvDialog& dialog_;
  QLineEdit* date_;
  QLineEdit* order_;
  QComboBox* type_;
  QLabel* currencyLabel_;
  QComboBox* currency_;
  QLabel* quantityLabel_;
  QLineEdit* quantity_;
  QLabel* priceLabel_;
  QLineEdit* price_;
  QLineEdit* approval_;
  QLineEdit* payment_;
  QLineEdit* key_;
  QPlainTextEdit* instructions_;
  QPushButton* okay_;
  QPushButton* cancel_;
  TPickList currencies_;
  // The type line shown before a change, for a header that is reached anyway to give way to it.
  int typeIndex_ = -1;
};

class tPrvWinView : public tListWinView {
 public:
  tPrvWinView(QWidget* parent, QWidget* toolbar, std::unique_ptr<tPrvForms> forms);

  tPrvWin& Window() { return *window_; }
  QListWidget* List() const { return list_; }

  void ShowLines() override;

 private:
  tPrvWin* window_;
  QListWidget* list_;
};

}  // namespace zi::desktop

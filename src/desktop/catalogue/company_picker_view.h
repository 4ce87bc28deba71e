#pragma once
// The company picker (TWinNewObj, "Companies / Tickers") through which the desktop chooses its
// current company, and its search dialog (tWinNewObjParams). There is one picker per process, made
// at its first use and kept, so that it keeps its search between showings.

#include <QAbstractListModel>
#include <QColor>
#include <QDialog>
#include <QRect>
#include <QString>
#include <QStyledItemDelegate>
#include <functional>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/objects.h"
#include "desktop/core/catalogue/company_picker.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QPalette;
class QPushButton;
class QRadioButton;

namespace zi::desktop {

// Shows the picker: the search dialog first while there is no search, the search run again after a
// rearm. True with the chosen row in object; false when cancelled, object unchanged.
bool PickCompany(QWidget* parent, tObjHierEx& object);
// The object tree changed (message 1568): the next showing runs the current search again.
void RearmCompanyPicker();
// Forgets the picker and its search, as a new session must; never while the picker is shown.
void DropCompanyPicker();

class TWinNewObj;
// The picker once made; none before its first use.
TWinNewObj* CompanyPickerWindow();

// A text of a drawn row where it goes and in which colour.
struct TPickerCell {
  QRect rect;
  QString text;
  QColor colour;
};

// A row as drawn: the country's picture (none on a repeated company), then the company, class,
// ticker, exchange and status letter.
struct TPickerRowPaint {
  bool hasBadge = false;
  QRect badge;
  std::vector<TPickerCell> cells;
};

inline constexpr QRgb kPickerGrey = 0xFF808080;
inline constexpr QRgb kInactiveRed = 0xFFC00000;
inline constexpr QRgb kInactiveGold = 0xFFFFD700;

class TPickerDelegate : public QStyledItemDelegate {
 public:
  TPickerDelegate(const CompanyPickerController& picker, QObject* parent);
  // Four columns at 0-35 %, 35-50 %, 50-70 % and 70 % to the right edge less 22 pixels, the
  // status letter in the last 14 pixels.
  static TPickerRowPaint LayOut(const TPickerRow& row, const QRect& rect, const QPalette& palette, bool selected);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  const CompanyPickerController& picker_;
};

// The picker's rows as a list; the delegate draws them.
class TPickerModel : public QAbstractListModel {
 public:
  TPickerModel(const CompanyPickerController& picker, QObject* parent);
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // The controller's rows changed.
  void Refresh();

 private:
  const CompanyPickerController& picker_;
};

// "Company Selection Parameters": its Okay runs the search and closes only when the search ran.
class tWinNewObjParams : public QDialog {
 public:
  using TRunSearch = std::function<bool(const TBuscaDeEmp& criteria)>;
  tWinNewObjParams(QWidget* parent, TRunSearch run);
  void Fill(const TBuscaDeEmp& criteria);
  TBuscaDeEmp Criteria() const;
  void accept() override;

  QLineEdit* TextField() const { return edText_; }
  // The "in" choice of that value of TOndeBuscar.
  QRadioButton* OndeButton(TOndeBuscar onde) const;
  QCheckBox* MyCountryBox() const { return cbMyCountry_; }
  QPushButton* OkayButton() const { return okay_; }

 private:
  TRunSearch run_;
  QLineEdit* edText_;
  std::vector<QRadioButton*> onde_;
  QCheckBox* cbMyCountry_;
  QPushButton* okay_;
};

class TWinNewObj : public QDialog {
 public:
  TWinNewObj(QWidget* parent, CompanyPickerController& picker);
  // Shows the picker modally: true with the selected row's object.
  bool Pick(tObjHierEx& object);
  // F2: the search dialog; its search fills the list.
  void EditSearch();
  // Okay with a row selected; without one a beep.
  void accept() override;

  const CompanyPickerController& Controller() const { return picker_; }
  QListView* List() const { return list_; }
  QString Description() const;
  QPushButton* OkayButton() const { return okay_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  bool RunSearch(const TBuscaDeEmp& criteria);
  // Shows the controller's rows, its selection and the search's description.
  void ShowSearch();

  CompanyPickerController& picker_;
  TPickerModel* model_;
  QListView* list_;
  QLabel* description_;
  QPushButton* okay_;
  QPushButton* cancel_;
};

}  // namespace zi::desktop

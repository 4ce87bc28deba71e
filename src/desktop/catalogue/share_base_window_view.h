#pragma once
// The share-base window's widget: the choices above the grid (a new date, the statement source,
// the unit, the decimal places, the single-child classes) and the grid of the classes by date and
// slot, painted from what the window read.

#include <QTableView>
#include <QWidget>
#include <memory>
#include <vector>

#include "desktop/core/catalogue/share_base_window.h"
#include "desktop/forms.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace zi::desktop {

class tBacWinView : public tDocWidget, public tBacView {
 public:
  tBacWinView(QWidget* parent, QWidget* toolbar);
  // With the window's hooks of its own (a test's date and class-table answers).
  tBacWinView(QWidget* parent, QWidget* toolbar, TBacWinHooks hooks);
  ~tBacWinView() override;

  TBacWin& Window() { return *window_; }
  QTableView* Grid() const { return grid_; }
  QPushButton* NewButton() const { return new_; }
  // The source buttons, in the order of TBacWin::SourceButtons.
  const std::vector<QPushButton*>& SourceButtons() const { return sources_; }
  QComboBox* UnitList() const { return units_; }
  QComboBox* DecimalsList() const { return decimals_; }
  QCheckBox* P1FBox() const { return p1f_; }

  void ShowShareBases() override;

 private:
  class tModel;

  void ShowChoices();

  TBacWin* window_;
  QPushButton* new_;
  std::vector<QPushButton*> sources_;
  QComboBox* units_;
  QComboBox* decimals_;
  QCheckBox* p1f_;
  QTableView* grid_;
  std::unique_ptr<tModel> model_;
};

}  // namespace zi::desktop

#pragma once
// The statement window's widget: the grid of statements (a column per statement, its four header
// lines above it, the line labels beside), the status line, and the window's controls in the tool
// panel of the main window's toolbar.

#include <QWidget>
#include <set>
#include <vector>

#include "desktop/core/statements/statement_window.h"
#include "desktop/forms.h"

class QButtonGroup;
class QComboBox;
class QMenu;
class QToolButton;

namespace zi::desktop {

class tBalHeaderView;
class tBalLabelView;
class tBalStatusLine;

class tBalWinView : public tDocWidget, public tStatementView {
 public:
  tBalWinView(QWidget* parent, QWidget* toolbar);
  ~tBalWinView() override;

  tBalWin& Window() { return *window_; }
  TMyGrid* Grid() const { return grid_; }
  tBalHeaderView* HeaderView() const { return header_; }
  tBalStatusLine* StatusLine() const { return status_; }
  QToolButton* NewButton() const { return new_; }
  QComboBox* UnitsBox() const { return units_; }
  QComboBox* DecimalsBox() const { return decimals_; }
  const std::vector<QToolButton*>& PeriodButtons() const { return periodButtons_; }
  const std::vector<QToolButton*>& SourceButtons() const { return sourceButtons_; }
  const std::vector<QToolButton*>& DocTypeButtons() const { return docTypeButtons_; }
  // The popup of the column last right-clicked, while it is open.
  QMenu* Popup() const { return popup_; }
  // Opens the popup of a data column at a point of the screen (what a right click on its header does).
  void OpenPopup(int col, const QPoint& globalPos);
  // The window's grid column and row of the current cell; -1 without one.
  int CurrentGridCol() const;
  int CurrentGridRow() const;

  void CreateToolPanel(bool withUndo) override;
  void ShowAll() override;
  void RedrawColumn(int col) override;
  void ShowStatus() override;
  void SelectCell(int col, int row) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PaintCell(QPainter* painter, const QStyleOptionViewItem& option, int col, int row);
  void PaintCorner(QWidget* corner);
  void SetSizes();
  // The columns in sight that were not asked for yet are loaded after the current event.
  void PostLoadVisible();
  void LoadVisible();
  void LoadAllWaiting();
  void SyncButtons();
  void Switch();
  void CurrentMoved(const QModelIndex& current);
  void FocusMoved(QWidget* old, QWidget* now);

  tBalWin* window_;
  TMyGrid* grid_;
  tBalHeaderView* header_;
  tBalLabelView* labels_;
  tBalStatusLine* status_;
  QWidget* corner_ = nullptr;
  QToolButton* new_ = nullptr;
  QComboBox* units_ = nullptr;
  QComboBox* decimals_ = nullptr;
  std::vector<QToolButton*> periodButtons_;
  std::vector<QToolButton*> sourceButtons_;
  std::vector<QToolButton*> docTypeButtons_;
  QButtonGroup* periods_ = nullptr;
  QButtonGroup* sources_ = nullptr;
  QButtonGroup* docTypes_ = nullptr;
  QMenu* popup_ = nullptr;
  // Columns asked to load since the grid was last filled: a column that failed is not read again
  // at every paint.
  std::set<int> asked_;
  bool loadPosted_ = false;
  // With many columns the grid keeps to the label column and five data columns until the user
  // scrolls sideways.
  bool narrowed_ = false;
};

}  // namespace zi::desktop

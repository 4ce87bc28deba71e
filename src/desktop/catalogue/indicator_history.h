#pragma once
// The indicator history editor: the rows of one indicator of one object by effective date.

#include <QDialog>

#include "catalogue/indicators.h"

class QPushButton;
class QTableView;

namespace zi::desktop {

class tIndicatorHistory;
class tGridRowsModel;

// Shows the history of an indicator of an object of a level (2 company, 1 class, 0 series), modal,
// and sets the entry from its latest row on closing. True when rows were written. An object of id
// 0 has no history yet: a box says so and nothing else happens.
bool EditIndicatorHistory(QWidget* parent, int nivel, int objeto, int indicador, UmIndicadorDaEmpAtvAnb& entrada);

// The dialog over the history: the grid, "Add row", "Delete row", "Save" and "Close" (Escape).
class tIndicatorHistoryDialog : public QDialog {
 public:
  tIndicatorHistoryDialog(QWidget* parent, tIndicatorHistory& historico);

  QTableView* Grid() const { return grid_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* SaveButton() const { return save_; }

 private:
  tIndicatorHistory& historico_;
  tGridRowsModel* model_;
  QTableView* grid_;
  QPushButton* add_;
  QPushButton* delete_;
  QPushButton* save_;
};

}  // namespace zi::desktop

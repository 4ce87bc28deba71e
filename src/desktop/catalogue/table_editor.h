#pragma once
// The administrator's table editor window.

#include <QDialog>
#include <string>
#include <vector>

#include "desktop/core/catalogue/table_editor.h"

class QLineEdit;
class QPushButton;
class QTableView;

namespace zi::desktop {

class tGridRowsModel;

// Modal; opens only for administrators (for others nothing happens). Closing it makes the lists it
// may have changed be read again.
void OpenTableEditor(QWidget* parent);
// Opens on the rows of one table, under a title of its own.
void OpenTableEditor(QWidget* parent, const std::string& table, const std::string& title);

// A table-name field with "Table!", an SQL field with "SQL!", a button per preset text, the grid,
// and "Add row", "Delete row", "Save" and "Close".
class tTableEditorDialog : public QDialog {
 public:
  explicit tTableEditorDialog(QWidget* parent);

  QLineEdit* TableField() const { return tableField_; }
  QLineEdit* SqlField() const { return sqlField_; }
  QPushButton* TableButton() const { return tableButton_; }
  QPushButton* SqlButton() const { return sqlButton_; }
  const std::vector<QPushButton*>& PresetButtons() const { return presets_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* SaveButton() const { return save_; }
  QTableView* Grid() const { return grid_; }
  tTableEditor& Editor() { return editor_; }

  // Closing with edits not saved asks first.
  void reject() override;

 private:
  // The rows shown are new (or were added to, deleted from or read again).
  void ShowRows();

  tTableEditor editor_;
  QLineEdit* tableField_;
  QLineEdit* sqlField_;
  QPushButton* tableButton_;
  QPushButton* sqlButton_;
  std::vector<QPushButton*> presets_;
  QTableView* grid_;
  tGridRowsModel* model_ = nullptr;
  QPushButton* add_;
  QPushButton* delete_;
  QPushButton* save_;
};

}  // namespace zi::desktop

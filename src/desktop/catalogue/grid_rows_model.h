#pragma once
// The Qt model of an editable grid of rows (desktop/core/catalogue/grid_rows.h): its visible
// columns, cells shown as the rows show them; a typed text the column's kind refuses beeps and the
// cell keeps its value.

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <map>
#include <string>
#include <vector>

namespace zi::desktop {

class tGridRows;

class tGridRowsModel : public QAbstractTableModel {
 public:
  tGridRowsModel(tGridRows& rows, QObject* parent);

  // The rows were read again, or rows were added or deleted.
  void Reload();
  // The rows gained this row (-1: none was added): shown, with the grid's cursor on it.
  void ShowAddedRow(QTableView& grid, int row);
  // Deletes the row under the grid's cursor, when there is one.
  void DeleteCurrentRow(const QTableView& grid);
  // The heading of a column named so; other columns are headed by their names.
  void SetHeading(const std::string& column, const QString& heading) { headings_[column] = heading; }
  // The row of the rows behind a column of the model.
  int ColumnOfRows(int column) const { return visible_.at(static_cast<size_t>(column)); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  void ReadColumns();

  tGridRows& rows_;
  std::vector<int> visible_;
  std::map<std::string, QString> headings_;
};

// Cells are typed in a field that takes Windows-1252 characters only, as every text field.
class tGridRowsDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace zi::desktop

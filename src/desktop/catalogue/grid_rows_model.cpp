#include "desktop/catalogue/grid_rows_model.h"

#include <QLineEdit>

#include "desktop/core/catalogue/grid_rows.h"
#include "desktop/core/ui_port.h"
#include "desktop/forms.h"
#include "desktop/text_fields.h"

namespace zi::desktop {

tGridRowsModel::tGridRowsModel(tGridRows& rows, QObject* parent) : QAbstractTableModel(parent), rows_(rows) {
  ReadColumns();
}

void tGridRowsModel::ReadColumns() {
  visible_.clear();
  const auto& columns = rows_.Columns();
  for (size_t c = 0; c < columns.size(); ++c) {
    if (!columns[c].hidden) visible_.push_back(static_cast<int>(c));
  }
}

void tGridRowsModel::Reload() {
  beginResetModel();
  ReadColumns();
  endResetModel();
}

void tGridRowsModel::ShowAddedRow(QTableView& grid, int row) {
  Reload();
  if (row >= 0) grid.setCurrentIndex(index(row, 0));
}

void tGridRowsModel::DeleteCurrentRow(const QTableView& grid) {
  const QModelIndex current = grid.currentIndex();
  if (!current.isValid()) return;
  rows_.DeleteRow(current.row());
  Reload();
}

int tGridRowsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_.RowCount(); }

int tGridRowsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

QVariant tGridRowsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return ToQt(rows_.Text(index.row(), ColumnOfRows(index.column())));
}

QVariant tGridRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  const std::string& name = rows_.Columns().at(static_cast<size_t>(ColumnOfRows(section))).name;
  const auto heading = headings_.find(name);
  return heading != headings_.end() ? heading->second : ToQt(name);
}

bool tGridRowsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  bool taken = false;
  CallGuarded("tGridRowsModel.setData",
              [&] { taken = rows_.SetText(index.row(), ColumnOfRows(index.column()), FromQt(value.toString())); });
  if (!taken) {
    Beep();
    return false;
  }
  emit dataChanged(index, index);
  return true;
}

Qt::ItemFlags tGridRowsModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (index.isValid() && rows_.Editable()) flags |= Qt::ItemIsEditable;
  return flags;
}

QWidget* tGridRowsDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const {
  auto* edit = new QLineEdit(parent);
  edit->setFrame(false);
  LimitText(edit);
  return edit;
}

}  // namespace zi::desktop

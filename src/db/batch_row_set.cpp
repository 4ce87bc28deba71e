#include "db/batch_row_set.h"

#include <stdexcept>

#include "toolbox/text.h"

namespace zi::db {

namespace {
const DbValue kNull;
}  // namespace

TBatchRowSet::TBatchRowSet(TAdoDataBaseCustomizado& db, std::string table, std::vector<std::string> keyColumns)
    : db_(db), table_(std::move(table)), keyColumns_(std::move(keyColumns)) {}

int TBatchRowSet::Open(const std::string& sql) {
  columns_.clear();
  rows_.clear();
  inserts_.clear();
  TDataSetHolder command(db_, CommandType::Text, sql);
  // A command that cannot be made is a call that failed.
  if (!command) return 3939;
  if (const int code = db_.OpenSql(*command)) return code;
  for (int i = 0; i < command->FieldCount(); ++i) columns_.push_back(command->FieldName(i));
  for (; !command->Eof(); command->Next()) {
    Row row;
    for (int i = 0; i < command->FieldCount(); ++i) row.values.push_back(command->FieldByIndex(i));
    rows_.push_back(std::move(row));
  }
  return 0;
}

int TBatchRowSet::ColumnIndex(const std::string& column) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (SameTextAscii(columns_[i], column)) return static_cast<int>(i);
  }
  return -1;
}

const DbValue& TBatchRowSet::Value(int row, const std::string& column) const {
  const Row& r = rows_.at(static_cast<size_t>(row));
  const auto changed = r.changed.find(column);
  if (changed != r.changed.end()) return changed->second;
  const int index = ColumnIndex(column);
  return index < 0 ? kNull : r.values[static_cast<size_t>(index)];
}

void TBatchRowSet::SetValue(int row, const std::string& column, DbValue value) {
  rows_.at(static_cast<size_t>(row)).changed[column] = std::move(value);
}

void TBatchRowSet::Delete(int row) { rows_.at(static_cast<size_t>(row)).deleted = true; }

void TBatchRowSet::Insert(std::map<std::string, DbValue> values) { inserts_.push_back(std::move(values)); }

int TBatchRowSet::PendingCount() const {
  int count = static_cast<int>(inserts_.size());
  for (const Row& row : rows_) count += row.deleted || !row.changed.empty() ? 1 : 0;
  return count;
}

void TBatchRowSet::UpdateBatch() {
  std::vector<RowChange> changes;
  for (const Row& row : rows_) {
    if (!row.deleted && row.changed.empty()) continue;
    RowChange change{row.deleted ? RowChange::Kind::Delete : RowChange::Kind::Update, {}, {}};
    for (const std::string& key : keyColumns_) {
      const int index = ColumnIndex(key);
      if (index < 0) throw std::logic_error("the rows of " + table_ + " were read without their key " + key);
      change.key[key] = row.values[static_cast<size_t>(index)];
    }
    if (!row.deleted) change.values = row.changed;
    changes.push_back(std::move(change));
  }
  for (const auto& values : inserts_) changes.push_back({RowChange::Kind::Insert, {}, values});
  if (!changes.empty()) db_.GetDriver().ApplyRowChanges(table_, changes);
  inserts_.clear();
  for (Row& row : rows_) {
    row.changed.clear();
  }
}

bool IsConstraintError(const std::exception& e) {
  if (const auto* error = dynamic_cast<const EDriverError*>(&e); error && error->Constraint()) return true;
  return LowerAscii(e.what()).find("constraint") != std::string::npos;
}

}  // namespace zi::db

#include "desktop/core/catalogue/grid_rows.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "db/batch_row_set.h"
#include "db/command.h"
#include "db/connection.h"
#include "toolbox/dates.h"
#include "toolbox/display_formats.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi::desktop {

namespace {

// A batch that cannot be sent for a reason the driver did not name.
constexpr int kCallFailed = 3939;

TCellKind KindOf(DbType type) {
  switch (type) {
    case DbType::Integer: return TCellKind::Integer;
    case DbType::Float: return TCellKind::Number;
    case DbType::DateTime: return TCellKind::Date;
    case DbType::Boolean: return TCellKind::Boolean;
    default: return TCellKind::Text;
  }
}

// The date, and the time of day when there is one: a cell shows what it holds.
std::string ShownDateTime(TDateTime value) {
  const TCalendarDateTime at = CalendarFromDateTime(value);
  std::string text = ShownDate({at.year, at.month, at.day});
  if (at.hour == 0 && at.minute == 0 && at.second == 0) return text;
  char time[16];
  std::snprintf(time, sizeof time, " %02d:%02d:%02d", at.hour, at.minute, at.second);
  return text + time;
}

std::string ShownValue(const DbValue& value) {
  switch (value.Type()) {
    case DbType::Null: return {};
    case DbType::Integer: return std::to_string(value.AsInteger());
    case DbType::Float: return ShownNumber(value.AsFloat());
    case DbType::Text: return value.AsText();
    case DbType::Blob: return "(" + std::to_string(value.AsBlob().bytes.size()) + " bytes)";
    case DbType::Boolean: return value.AsBoolean() ? "1" : "0";
    case DbType::DateTime: return value.AsDateTime().days == 0 ? std::string() : ShownDateTime(value.AsDateTime());
  }
  return {};
}

// A typed text as a value of the kind; false when it does not read as one.
bool ValueOfText(TCellKind kind, std::string_view text, DbValue& value) {
  if (Trim(text).empty()) {
    value = DbValue();
    return true;
  }
  switch (kind) {
    case TCellKind::Text: value = std::string(text); return true;
    case TCellKind::Integer: {
      const auto n = ParseInteger64(Trim(text));
      if (!n) return false;
      value = static_cast<int64_t>(*n);
      return true;
    }
    case TCellKind::Number: {
      const TTypedNumber n = ParseTypedNumber(text);
      if (n.kind != TTypedNumber::Number) return false;
      value = n.value;
      return true;
    }
    case TCellKind::Date: {
      const auto date = ParseShownDate(Trim(text));
      if (!date) return false;
      value = DateTimeFromCalendar({date->year, date->month, date->day});
      return true;
    }
    case TCellKind::Boolean: {
      const std::string t = Trim(text);
      if (t != "0" && t != "1") return false;
      value = t == "1";
      return true;
    }
  }
  return false;
}

}  // namespace

tGridRows::tGridRows(std::string table, std::vector<std::string> keyColumns)
    : table_(std::move(table)), keyColumns_(std::move(keyColumns)) {}

int tGridRows::Open(const std::string& sql) {
  sql_ = sql;
  std::vector<TGridColumn> columns;
  std::vector<Row> rows;
  int code = 0;
  try {
    db::TDataSetHolder command(db::ZiDb(), db::CommandType::Text, sql);
    if (!command) return kCallFailed;
    if ((code = db::ZiDb().OpenSql(*command)) != 0) return code;
    for (int i = 0; i < command->FieldCount(); ++i) columns.push_back({command->FieldName(i)});
    for (; !command->Eof(); command->Next()) {
      Row row;
      for (int i = 0; i < command->FieldCount(); ++i) row.read.push_back(command->FieldByIndex(i));
      row.now = row.read;
      rows.push_back(std::move(row));
    }
  } catch (const std::exception& e) {
    ReportExceptionWithCode("tGridRows.Open", code, e, kCallFailed);
    return code;
  }
  for (size_t c = 0; c < columns.size(); ++c) {
    for (const Row& row : rows) {
      if (row.read[c].IsNull()) continue;
      columns[c].kind = KindOf(row.read[c].Type());
      break;
    }
  }
  // A column keeps the kind and the visibility its caller gave it when it is read again.
  for (TGridColumn& column : columns) {
    const int old = ColumnIndex(column.name);
    if (old >= 0) column = columns_[static_cast<size_t>(old)];
  }
  columns_ = std::move(columns);
  rows_ = std::move(rows);
  return 0;
}

bool tGridRows::Editable() const {
  if (table_.empty() || keyColumns_.empty()) return false;
  return std::all_of(keyColumns_.begin(), keyColumns_.end(), [&](const std::string& key) { return ColumnIndex(key) >= 0; });
}

int tGridRows::ColumnIndex(std::string_view name) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (SameTextAscii(columns_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

int tGridRows::RowCount() const {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Row& row) { return !row.deleted; }));
}

tGridRows::Row& tGridRows::Shown(int row) {
  return const_cast<Row&>(static_cast<const tGridRows&>(*this).Shown(row));
}

const tGridRows::Row& tGridRows::Shown(int row) const {
  int seen = -1;
  for (const Row& r : rows_) {
    if (!r.deleted && ++seen == row) return r;
  }
  throw std::out_of_range("grid row " + std::to_string(row));
}

const DbValue& tGridRows::Value(int row, int col) const { return Shown(row).now.at(static_cast<size_t>(col)); }

std::string tGridRows::Text(int row, int col) const { return ShownValue(Value(row, col)); }

bool tGridRows::SetText(int row, int col, std::string_view text) {
  if (!Editable()) return false;
  Row& r = Shown(row);
  const auto c = static_cast<size_t>(col);
  if (text == ShownValue(r.now.at(c))) return true;
  DbValue value;
  if (!ValueOfText(columns_.at(c).kind, text, value)) return false;
  r.now[c] = std::move(value);
  return true;
}

int tGridRows::AddRow(const std::map<std::string, DbValue>& values) {
  if (!Editable()) return -1;
  Row row;
  row.now.resize(columns_.size());
  for (const auto& [name, value] : values) {
    const int col = ColumnIndex(name);
    if (col >= 0) row.now[static_cast<size_t>(col)] = value;
  }
  rows_.push_back(std::move(row));
  return RowCount() - 1;
}

bool tGridRows::DeleteRow(int row) {
  if (!Editable()) return false;
  Row& r = Shown(row);
  if (r.read.empty()) {
    rows_.erase(rows_.begin() + (&r - rows_.data()));
  } else {
    r.deleted = true;
  }
  return true;
}

bool tGridRows::Modified() const {
  return std::any_of(rows_.begin(), rows_.end(),
                     [](const Row& row) { return row.deleted || row.read.empty() || row.now != row.read; });
}

int tGridRows::Save(const std::string& where) {
  if (!Modified()) return 0;
  // The batch names the rows by the key they hold now, read again: the rows kept here stay as
  // edited whatever the sending does, so that a failed batch can be sent again.
  db::TBatchRowSet batch(db::ZiDb(), table_, keyColumns_);
  int code = 0;
  try {
    if ((code = batch.Open(sql_)) != 0) return code;
    for (const Row& row : rows_) {
      if (row.read.empty()) {
        if (row.deleted) continue;
        std::map<std::string, DbValue> values;
        for (size_t c = 0; c < columns_.size(); ++c) {
          if (!row.now[c].IsNull()) values[columns_[c].name] = row.now[c];
        }
        batch.Insert(std::move(values));
        continue;
      }
      if (!row.deleted && row.now == row.read) continue;
      int found = -1;
      for (int b = 0; b < batch.RowCount() && found < 0; ++b) {
        const bool same = std::all_of(keyColumns_.begin(), keyColumns_.end(), [&](const std::string& key) {
          return batch.Value(b, key) == row.read[static_cast<size_t>(ColumnIndex(key))];
        });
        if (same) found = b;
      }
      if (found < 0) {
        Loga(where + " row not found in " + table_);
        return kAnswerNotFound;
      }
      if (row.deleted) {
        batch.Delete(found);
        continue;
      }
      for (size_t c = 0; c < columns_.size(); ++c) {
        if (row.now[c] != row.read[c]) batch.SetValue(found, columns_[c].name, row.now[c]);
      }
    }
    batch.UpdateBatch();
  } catch (const std::exception& e) {
    ReportExceptionWithCode(where, code, e, kCallFailed);
    return code;
  }
  return Open(sql_);
}

}  // namespace zi::desktop

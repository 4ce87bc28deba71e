#include "server/row_changes.h"

#include "server/sqlite_db.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

[[noreturn]] void Refuse(const std::string& message) { throw ServerError(ServerError::Kind::Sql, message); }

// A table's name and columns as the schema spells them; callers may spell them in any case.
class TableShape {
 public:
  TableShape(SqliteDb& db, std::string_view table) {
    const DbValue name = db.QueryValue(
        R"sql(SELECT name FROM sqlite_schema
              WHERE type = 'table' AND name = ? COLLATE NOCASE AND name NOT LIKE 'sqlite\_%' ESCAPE '\')sql",
        {std::string(table)});
    if (name.IsNull()) Refuse("no such table: " + std::string(table));
    name_ = name.AsText();
    for (const auto& row : db.Query("SELECT name FROM pragma_table_info(?)", {name_}).rows) {
      columns_.push_back(row[0].AsText());
    }
  }

  const std::string& Name() const { return name_; }

  std::string QuotedColumn(const std::string& column) const {
    for (const std::string& c : columns_) {
      if (SameTextAscii(c, column)) return QuoteIdentifier(c);
    }
    Refuse("table " + name_ + " has no column named " + column);
  }

 private:
  std::string name_;
  std::vector<std::string> columns_;
};

// "a" = ?, "b" = ? (or IS for keys, so that a NULL key finds its row), the values in the same order.
std::string Terms(const TableShape& shape, const std::map<std::string, DbValue>& values, std::string_view op,
                  std::string_view separator, std::vector<DbValue>& params) {
  std::string sql;
  for (const auto& [column, value] : values) {
    if (!sql.empty()) sql += separator;
    sql += shape.QuotedColumn(column);
    sql += op;
    params.push_back(value);
  }
  return sql;
}

void ApplyOne(SqliteDb& db, const TableShape& shape, const RowChange& change) {
  const std::string table = QuoteIdentifier(shape.Name());
  std::vector<DbValue> params;
  if (change.kind == RowChange::Kind::Insert) {
    if (change.values.empty()) {
      db.Run("INSERT INTO " + table + " DEFAULT VALUES");
      return;
    }
    std::string columns = Terms(shape, change.values, "", ", ", params);
    std::string placeholders;
    for (size_t i = 0; i < params.size(); ++i) placeholders += i ? ", ?" : "?";
    db.Run("INSERT INTO " + table + " (" + columns + ") VALUES (" + placeholders + ")", params);
    return;
  }
  if (change.key.empty()) Refuse("a change of a row of " + shape.Name() + " names no key");
  std::string sql;
  if (change.kind == RowChange::Kind::Update) {
    if (change.values.empty()) Refuse("an update of a row of " + shape.Name() + " changes no column");
    sql = "UPDATE " + table + " SET " + Terms(shape, change.values, " = ?", ", ", params);
  } else {
    sql = "DELETE FROM " + table;
  }
  sql += " WHERE " + Terms(shape, change.key, " IS ?", " AND ", params);
  const int64_t matched = db.Run(sql, params);
  if (matched == 0) Refuse("row not found in " + shape.Name());
  if (matched > 1) Refuse("the key matches more than one row in " + shape.Name());
}

}  // namespace

void ApplyRowChanges(SqliteDb& db, std::string_view table, const std::vector<RowChange>& changes) {
  const TableShape shape(db, table);
  AtomicScope scope(db);
  for (const RowChange& change : changes) ApplyOne(db, shape, change);
  scope.Commit();
}

}  // namespace zi::server

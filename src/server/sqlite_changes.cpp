// Counting the rows a run changes, as their net effect. SQLite's pre-update hook tells of every row
// before it changes; the first time a row is touched its state is kept (whether it existed, and its
// values), and at the end each touched row is read again and compared. Work that a savepoint rolled
// back, a row added and deleted again, a value written over with itself: none is a change, as a
// comparison of the file before and after would show. SQLite's session extension does the same
// but skips every table without a declared primary key, and the schema has such tables. The Debian
// library is built with the hook; its declarations are behind this macro.
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include <sqlite3.h>

#include <cstring>
#include <map>

#include "server/sqlite_db.h"
#include "toolbox/codec.h"

namespace zi::server {

namespace {

// A value as bytes that compare equal when the values are the same: its type, its length, its data.
void AppendValue(std::string& into, sqlite3_value* value) {
  const int type = value ? sqlite3_value_type(value) : SQLITE_NULL;
  into += static_cast<char>('0' + type);
  std::string data;
  if (type == SQLITE_INTEGER) {
    const sqlite3_int64 v = sqlite3_value_int64(value);
    data.assign(reinterpret_cast<const char*>(&v), sizeof v);
  } else if (type == SQLITE_FLOAT) {
    const double v = sqlite3_value_double(value);
    data.assign(reinterpret_cast<const char*>(&v), sizeof v);
  } else if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
    const void* bytes = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(value)) : sqlite3_value_blob(value);
    const int size = sqlite3_value_bytes(value);
    if (bytes && size > 0) data.assign(static_cast<const char*>(bytes), static_cast<size_t>(size));
  }
  const auto size = static_cast<uint32_t>(data.size());
  into.append(reinterpret_cast<const char*>(&size), sizeof size);
  into += data;
}

std::string RowidKey(sqlite3_int64 rowid) { return std::string(reinterpret_cast<const char*>(&rowid), sizeof rowid); }

// Binds the values that AppendValue wrote, in order, from placeholder 1.
void BindValues(sqlite3_stmt* stmt, std::string_view bytes) {
  int index = 1;
  while (!bytes.empty()) {
    const int type = bytes[0] - '0';
    uint32_t size = 0;
    std::memcpy(&size, bytes.data() + 1, sizeof size);
    const std::string_view data = bytes.substr(1 + sizeof size, size);
    bytes.remove_prefix(1 + sizeof size + size);
    if (type == SQLITE_INTEGER) {
      sqlite3_int64 v = 0;
      std::memcpy(&v, data.data(), sizeof v);
      sqlite3_bind_int64(stmt, index, v);
    } else if (type == SQLITE_FLOAT) {
      double v = 0;
      std::memcpy(&v, data.data(), sizeof v);
      sqlite3_bind_double(stmt, index, v);
    } else if (type == SQLITE_TEXT) {
      sqlite3_bind_text(stmt, index, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    } else if (type == SQLITE_BLOB) {
      sqlite3_bind_blob(stmt, index, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(stmt, index);
    }
    ++index;
  }
}

// A statement of this file's own, finalised when it ends.
struct TRawStatement {
  TRawStatement(sqlite3* db, const std::string& sql) {
    if (const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr); rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      throw SqliteError(rc & 0xFF, Utf8ToCp1252Lossy(sqlite3_errmsg(db)));
    }
  }
  ~TRawStatement() { sqlite3_finalize(stmt); }
  TRawStatement(const TRawStatement&) = delete;
  TRawStatement& operator=(const TRawStatement&) = delete;
  sqlite3_stmt* stmt = nullptr;
};

std::string QuotedName(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

namespace {

std::string ValuesOf(sqlite3* db, int (*read)(sqlite3*, int, sqlite3_value**)) {
  std::string values;
  for (int i = 0; i < sqlite3_preupdate_count(db); ++i) {
    sqlite3_value* value = nullptr;
    if (read(db, i, &value) != SQLITE_OK) value = nullptr;
    AppendValue(values, value);
  }
  return values;
}

std::string KeyOf(sqlite3* db, const std::vector<int>& keyColumns, int (*read)(sqlite3*, int, sqlite3_value**)) {
  std::string key;
  for (const int column : keyColumns) {
    sqlite3_value* value = nullptr;
    if (read(db, column, &value) != SQLITE_OK) value = nullptr;
    AppendValue(key, value);
  }
  return key;
}

}  // namespace

void SqliteDb::NoteChange(void* self, sqlite3* db, int op, const char* schema, const char* table,
                          long long oldRowid, long long newRowid) {
  auto& count = *static_cast<SqliteDb*>(self)->changeCount_;
  if (count.failed || std::strcmp(schema, "main") != 0) return;
  try {
    // Files write one table for thousands of rows on end.
    if (!count.lastRows || count.lastRows->first != table) {
      auto found = count.touched.find(std::string_view(table));
      if (found == count.touched.end()) found = count.touched.try_emplace(table).first;
      count.lastRows = &*found;
      count.lastTable = &count.TableOf(table);
    }
    const ChangeCount::Table& info = *count.lastTable;
    auto& rows = count.lastRows->second;
    const auto key = [&](bool old) {
      if (!info.withoutRowid) return RowidKey(old ? oldRowid : newRowid);
      return KeyOf(db, info.keyColumns, old ? sqlite3_preupdate_old : sqlite3_preupdate_new);
    };
    if (op == SQLITE_UPDATE || op == SQLITE_DELETE) {
      const auto [row, first] = rows.try_emplace(key(true));
      if (first) row->second = ChangeCount::TouchedRow{true, ValuesOf(db, sqlite3_preupdate_old)};
    }
    // A row that gets a key no row had: one more, where the key it left is one fewer.
    if (op == SQLITE_UPDATE || op == SQLITE_INSERT) rows.try_emplace(key(false));
  } catch (const std::exception&) {
    count.failed = true;
  }
}

void SqliteDb::StartChangeCount() {
  EndChangeCount();
  auto count = std::make_unique<ChangeCount>();
  TRawStatement tables(db_, "SELECT name, wr FROM pragma_table_list WHERE schema = 'main' AND type = 'table' AND "
                            "name NOT LIKE 'sqlite%'");
  TRawStatement columns(db_, "SELECT cid, name, pk FROM pragma_table_info(?)");
  while (sqlite3_step(tables.stmt) == SQLITE_ROW) {
    const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(tables.stmt, 0));
    ChangeCount::Table info;
    info.withoutRowid = sqlite3_column_int(tables.stmt, 1) != 0;
    std::map<int, int> key;
    sqlite3_bind_text(columns.stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(columns.stmt) == SQLITE_ROW) {
      info.columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(columns.stmt, 1)));
      if (const int order = sqlite3_column_int(columns.stmt, 2); order > 0) key[order] = sqlite3_column_int(columns.stmt, 0);
    }
    sqlite3_reset(columns.stmt);
    for (const auto& [order, cid] : key) info.keyColumns.push_back(cid);
    count->tables.emplace(name, std::move(info));
  }
  changeCount_ = std::move(count);
  sqlite3_preupdate_hook(db_, NoteChange, this);
}

std::vector<TableChangeCount> SqliteDb::StopChangeCount() {
  if (!changeCount_) return {};
  sqlite3_preupdate_hook(db_, nullptr, nullptr);
  const std::unique_ptr<ChangeCount> count = std::move(changeCount_);
  if (count->failed) throw SqliteError(SQLITE_NOMEM, "counting the changed rows ran out of memory");
  std::vector<TableChangeCount> counts;
  for (const auto& [table, rows] : count->touched) {
    const ChangeCount::Table& info = count->TableOf(table);
    std::string where = "rowid = ?";
    if (info.withoutRowid) {
      where.clear();
      for (const int column : info.keyColumns)
        where += (where.empty() ? "" : " AND ") + QuotedName(info.columns[static_cast<size_t>(column)]) + " IS ?";
    }
    TRawStatement select(db_, "SELECT * FROM main." + QuotedName(table) + " WHERE " + where);
    sqlite3_stmt* stmt = select.stmt;
    TableChangeCount c{Utf8ToCp1252Lossy(table)};
    for (const auto& [key, row] : rows) {
      if (info.withoutRowid) {
        BindValues(stmt, key);
      } else {
        sqlite3_int64 rowid = 0;
        std::memcpy(&rowid, key.data(), sizeof rowid);
        sqlite3_bind_int64(stmt, 1, rowid);
      }
      const bool exists = sqlite3_step(stmt) == SQLITE_ROW;
      std::string now;
      for (int i = 0; exists && i < sqlite3_column_count(stmt); ++i) AppendValue(now, sqlite3_column_value(stmt, i));
      sqlite3_reset(stmt);
      sqlite3_clear_bindings(stmt);
      if (row.existed && !exists) ++c.deleted;
      else if (!row.existed && exists) ++c.added;
      else if (row.existed && exists && now != row.values) ++c.changed;
    }
    if (c.added != 0 || c.changed != 0 || c.deleted != 0) counts.push_back(std::move(c));
  }
  return counts;
}

void SqliteDb::EndChangeCount() {
  if (!changeCount_) return;
  sqlite3_preupdate_hook(db_, nullptr, nullptr);
  changeCount_.reset();
}

}  // namespace zi::server

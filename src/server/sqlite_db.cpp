#include "server/sqlite_db.h"

#include <sqlite3.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "toolbox/codec.h"
#include "toolbox/own_codes.h"

namespace zi::server {

namespace {

constexpr int kBusyTimeoutMs = 5000;
// The program's own texts are a few hundred at most; texts built from names that callers choose
// beyond that are prepared each time rather than kept without bound.
constexpr size_t kMaxCachedStatements = 512;

[[noreturn]] void Fail(sqlite3* db, int rc) { throw SqliteError(rc & 0xFF, Utf8ToCp1252Lossy(sqlite3_errmsg(db))); }

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK) Fail(db, rc);
}

bool DeclaredAs(const char* declared, const char* type) { return declared && ::strcasecmp(declared, type) == 0; }

constexpr const char* kReadOnlyMessage = "attempt to write a readonly database";

// One statement from UTF-8 text, refusing a text that holds none or more than one.
Statement PrepareUtf8(sqlite3* db, std::string_view utf8, const bool* queryOnly) {
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  Check(db, sqlite3_prepare_v2(db, utf8.data(), static_cast<int>(utf8.size()), &stmt, &tail));
  if (!stmt) throw SqliteError(SQLITE_ERROR, "the SQL text holds no statement");
  Statement statement(db, stmt, queryOnly);
  const std::string_view rest = utf8.substr(static_cast<size_t>(tail - utf8.data()));
  sqlite3_stmt* next = nullptr;
  Check(db, sqlite3_prepare_v2(db, rest.data(), static_cast<int>(rest.size()), &next, nullptr));
  if (next) {
    sqlite3_finalize(next);
    throw SqliteError(SQLITE_ERROR, "the SQL text holds more than one statement");
  }
  return statement;
}

void AppendEscaped(std::string& out, const unsigned char* bytes, int size, bool keepHighBytes) {
  for (int i = 0; i < size; ++i) {
    const unsigned char b = bytes[i];
    switch (b) {
      case '\\': out += "\\\\"; break;
      case '|': out += "\\|"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default:
        if (b < 0x20 || b == 0x7F || (b >= 0x80 && !keepHighBytes)) out += fmt::format("\\x{:02X}", b);
        else out.push_back(static_cast<char>(b));
    }
  }
}

// A stored value exactly as stored: text stays UTF-8, nothing is converted.
std::string DumpValue(sqlite3_stmt* stmt, int column) {
  std::string out;
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL: return "NULL";
    case SQLITE_INTEGER: return std::to_string(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT: return fmt::format("{:.17g}", sqlite3_column_double(stmt, column));
    case SQLITE_TEXT:
      AppendEscaped(out, sqlite3_column_text(stmt, column), sqlite3_column_bytes(stmt, column), true);
      return out;
    default:
      AppendEscaped(out, static_cast<const unsigned char*>(sqlite3_column_blob(stmt, column)),
                    sqlite3_column_bytes(stmt, column), false);
      return out;
  }
}

// What a reader's SQL text may do: select, call functions, and read any table but the users (a
// view or a subquery that reads them included).
int ReaderAuthorizer(void* data, int action, const char* table, const char*, const char*, const char*) {
  const auto& writable = *static_cast<const std::vector<std::string>*>(data);
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE: return SQLITE_OK;
    case SQLITE_READ: return table && ::strcasecmp(table, "users") == 0 ? SQLITE_DENY : SQLITE_OK;
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE: {
      const bool open = table && std::any_of(writable.begin(), writable.end(), [&](const std::string& name) {
                          return ::strcasecmp(name.c_str(), table) == 0;
                        });
      return open ? SQLITE_OK : SQLITE_DENY;
    }
    default: return SQLITE_DENY;
  }
}

// The authorizer stays on while the statement steps: a schema change makes SQLite prepare it again.
class ReaderLimits {
 public:
  ReaderLimits(sqlite3* db, const std::vector<std::string>& writable) : db_(db) {
    sqlite3_set_authorizer(db_, ReaderAuthorizer, const_cast<std::vector<std::string>*>(&writable));
  }
  ~ReaderLimits() { sqlite3_set_authorizer(db_, nullptr, nullptr); }
  ReaderLimits(const ReaderLimits&) = delete;
  ReaderLimits& operator=(const ReaderLimits&) = delete;

 private:
  sqlite3* db_;
};

[[noreturn]] void RefuseReaderText(const std::string& why) {
  throw ServerError(ServerError::Kind::NotAllowed, "Only an administrator may run this SQL text: " + why,
                    kAnswerAdministratorOnly);
}

// A path as the path of a URI: every byte but letters, digits and "/-._~" percent-encoded.
std::string UriPath(std::string_view path) {
  std::string out;
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                       std::string_view("/-._~").find(c) != std::string_view::npos;
    if (plain)
      out += c;
    else
      out += fmt::format("%{:02X}", b);
  }
  return out;
}

}  // namespace

ServerError::Kind SqliteError::KindOf(int code) { return code == SQLITE_BUSY ? Kind::Busy : Kind::Sql; }

SqlText::SqlText(std::string text) : text_(std::move(text)) {
  static std::atomic<size_t> slots{0};
  slot_ = slots++;
}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_), queryOnly_(other.queryOnly_), lent_(other.lent_) {
  other.stmt_ = nullptr;
  other.lent_ = nullptr;
}

Statement::~Statement() {
  if (!lent_) {
    sqlite3_finalize(stmt_);
    return;
  }
  // A statement left stepping would keep its read transaction open. Its values stay bound: every
  // use binds all of them again (BindAll refuses fewer).
  sqlite3_reset(stmt_);
  *lent_ = false;
}

void Statement::ExpectPlaceholders(size_t count) const {
  const int expected = sqlite3_bind_parameter_count(stmt_);
  if (static_cast<size_t>(expected) != count) {
    throw SqliteError(SQLITE_RANGE,
                      fmt::format("the SQL text has {} placeholders but {} values were given", expected, count));
  }
}

void Statement::BindAll(std::span<const DbValue> values) {
  BindEach(values.size(), [&](size_t i) -> const DbValue& { return values[i]; });
}

void Statement::Bind(int index, const DbValue& value) {
  int rc = SQLITE_OK;
  switch (value.Type()) {
    case DbType::Null: rc = sqlite3_bind_null(stmt_, index); break;
    case DbType::Integer: rc = sqlite3_bind_int64(stmt_, index, value.AsInteger()); break;
    case DbType::Float:
      rc = std::isnan(value.AsFloat()) ? sqlite3_bind_null(stmt_, index)
                                       : sqlite3_bind_double(stmt_, index, value.AsFloat());
      break;
    case DbType::Text: {
      const std::string utf8 = Cp1252ToUtf8(value.AsText());
      rc = sqlite3_bind_text64(stmt_, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    }
    case DbType::Blob: {
      // data() of an empty string is not null, so an empty blob stays a blob rather than NULL.
      const std::string& bytes = value.AsBlob().bytes;
      rc = sqlite3_bind_blob64(stmt_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
      break;
    }
    case DbType::Boolean: rc = sqlite3_bind_int(stmt_, index, value.AsBoolean() ? 1 : 0); break;
    case DbType::DateTime: rc = sqlite3_bind_double(stmt_, index, value.AsDateTime().days); break;
  }
  Check(db_, rc);
}

bool Statement::Step() {
  if (*queryOnly_ && !sqlite3_stmt_readonly(stmt_)) throw SqliteError(SQLITE_READONLY, kReadOnlyMessage);
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(db_, rc);
}

int Statement::ColumnCount() const { return sqlite3_column_count(stmt_); }

std::string Statement::ColumnName(int column) const { return Utf8ToCp1252Lossy(sqlite3_column_name(stmt_, column)); }

DbValue Statement::Column(int column) const {
  const int type = sqlite3_column_type(stmt_, column);
  const char* declared = sqlite3_column_decltype(stmt_, column);
  switch (type) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER:
      if (DeclaredAs(declared, "BOOLEAN")) return sqlite3_column_int64(stmt_, column) != 0;
      if (DeclaredAs(declared, "DATETIME")) return TDateTime{sqlite3_column_double(stmt_, column)};
      return static_cast<int64_t>(sqlite3_column_int64(stmt_, column));
    case SQLITE_FLOAT:
      if (DeclaredAs(declared, "DATETIME")) return TDateTime{sqlite3_column_double(stmt_, column)};
      return sqlite3_column_double(stmt_, column);
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
      return Utf8ToCp1252Lossy(std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))));
    }
    default: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
      const auto size = static_cast<size_t>(sqlite3_column_bytes(stmt_, column));
      return TBlob{size ? std::string(bytes, size) : std::string()};
    }
  }
}

DbValue Statement::RealColumn(int column) const {
  switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_NULL: return {};
    case SQLITE_FLOAT: return sqlite3_column_double(stmt_, column);
    default: return Column(column);
  }
}

ResultSet Statement::ReadAll() {
  ResultSet set;
  const int count = ColumnCount();
  for (int c = 0; c < count; ++c) set.columns.push_back(ColumnName(c));
  while (Step()) {
    std::vector<DbValue>& row = set.rows.emplace_back();
    row.reserve(static_cast<size_t>(count));
    for (int c = 0; c < count; ++c) row.push_back(Column(c));
  }
  return set;
}

std::unique_ptr<SqliteDb> SqliteDb::Open(const std::string& path, Access access) {
  // Nothing reads SQLite's memory statistics, whose upkeep takes a global lock on every allocation.
  // Only possible before SQLite starts; when something else started it first, it stays as it is.
  static const int unused = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  (void)unused;
  // No connection is ever used by two threads, so SQLite need not lock it around every call.
  int flags = (access == Access::ReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_EXRESCODE |
              SQLITE_OPEN_NOMUTEX;
  if (path == ":memory:") flags |= SQLITE_OPEN_CREATE;
  std::string name = path;
  if (access == Access::Immutable) {
    flags |= SQLITE_OPEN_URI;
    name = "file:" + UriPath(path) + "?immutable=1";
  }
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open_v2(name.c_str(), &handle, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string reason = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
    sqlite3_close(handle);
    throw ServerError(ServerError::Kind::Io, "Cannot open database file " + PathText(path) + ": " + reason);
  }
  std::unique_ptr<SqliteDb> db(new SqliteDb(handle));
  sqlite3_busy_timeout(handle, kBusyTimeoutMs);
  db->Exec("PRAGMA foreign_keys = ON");
  return db;
}

SqliteDb::~SqliteDb() {
  EndChangeCount();
  for (auto& [sql, cached] : statements_) sqlite3_finalize(cached.stmt);
  for (const CachedStatement& cached : bySlot_) sqlite3_finalize(cached.stmt);
  sqlite3_close_v2(db_);
}

void SqliteDb::Exec(std::string_view script) {
  ++statementsRun_;
  if (queryOnly_) throw SqliteError(SQLITE_READONLY, kReadOnlyMessage);
  const std::string utf8 = Cp1252ToUtf8(script);
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, utf8.c_str(), nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return;
  const std::string text = Utf8ToCp1252Lossy(message ? message : sqlite3_errstr(rc));
  sqlite3_free(message);
  throw SqliteError(rc & 0xFF, text);
}

Statement SqliteDb::Lend(CachedStatement& cached) {
  cached.lent = true;
  return Statement(db_, cached.stmt, &queryOnly_, &cached.lent);
}

Statement SqliteDb::Prepare(std::string_view sql) {
  ++statementsRun_;
  const auto found = statements_.find(sql);
  if (found != statements_.end() && !found->second.lent) return Lend(found->second);
  Statement fresh = PrepareUncached(sql);
  // A text whose statement is in use (a query run while its own rows are read) gets one of its own.
  if (found != statements_.end() || statements_.size() >= kMaxCachedStatements) return fresh;
  CachedStatement& cached = statements_.emplace(std::string(sql), CachedStatement{fresh.stmt_, true}).first->second;
  fresh.stmt_ = nullptr;
  return Lend(cached);
}

Statement SqliteDb::Prepare(const SqlText& sql) {
  ++statementsRun_;
  if (sql.Slot() >= bySlot_.size()) bySlot_.resize(sql.Slot() + 1);
  CachedStatement& cached = bySlot_[sql.Slot()];
  if (cached.stmt && !cached.lent) return Lend(cached);
  Statement fresh = PrepareUncached(sql.Text());
  if (cached.stmt) return fresh;
  cached.stmt = fresh.stmt_;
  fresh.stmt_ = nullptr;
  return Lend(cached);
}

Statement SqliteDb::PrepareUncached(std::string_view sql) {
  ++statementsRun_;
  ++preparations_;
  return PrepareUtf8(db_, Cp1252ToUtf8(sql), &queryOnly_);
}

ResultSet SqliteDb::Query(std::string_view sql, const std::vector<DbValue>& params) {
  Statement statement = Prepare(sql);
  statement.BindAll(params);
  return statement.ReadAll();
}

ResultSet SqliteDb::QueryAsReader(std::string_view sql, const std::vector<DbValue>& params,
                                  const std::vector<std::string>& writable) {
  const ReaderLimits limits(db_, writable);
  std::optional<Statement> statement;
  try {
    statement.emplace(PrepareUncached(sql));
  } catch (const SqliteError& e) {
    if (e.Code() != SQLITE_AUTH) throw;
    RefuseReaderText(e.what());
  }
  if (writable.empty() && !sqlite3_stmt_readonly(statement->stmt_)) RefuseReaderText("it writes");
  statement->BindAll(params);
  return statement->ReadAll();
}

int64_t SqliteDb::Run(Statement bound) {
  while (bound.Step()) {
  }
  return sqlite3_changes64(db_);
}

DbValue SqliteDb::FirstValue(Statement statement, std::span<const DbValue> params) {
  statement.BindAll(params);
  return statement.Step() ? statement.Column(0) : DbValue();
}

int64_t SqliteDb::Run(std::string_view sql, const std::vector<DbValue>& params) {
  Statement statement = Prepare(sql);
  statement.BindAll(params);
  return Run(std::move(statement));
}

int64_t SqliteDb::Run(const SqlText& sql, std::span<const DbValue> params) {
  Statement statement = Prepare(sql);
  statement.BindAll(params);
  return Run(std::move(statement));
}

DbValue SqliteDb::QueryValue(std::string_view sql, const std::vector<DbValue>& params) {
  return FirstValue(Prepare(sql), params);
}

DbValue SqliteDb::QueryValue(const SqlText& sql, std::span<const DbValue> params) {
  return FirstValue(Prepare(sql), params);
}

int64_t SqliteDb::LastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }

bool SqliteDb::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

void SqliteDb::SetBusyTimeout(int milliseconds) { sqlite3_busy_timeout(db_, milliseconds); }

void SqliteDb::WatchChanges(std::string table) {
  watched_.push_back({std::move(table), 0});
  sqlite3_update_hook(db_, CountChange, this);
}

uint64_t SqliteDb::WatchedChanges(std::string_view table) const {
  for (const WatchedTable& watched : watched_)
    if (watched.name == table) return watched.changes;
  return 0;
}

void SqliteDb::CountChange(void* self, int, const char*, const char* table, long long) {
  for (WatchedTable& watched : static_cast<SqliteDb*>(self)->watched_)
    if (::strcasecmp(table, watched.name.c_str()) == 0) ++watched.changes;
}

std::string SqliteDb::Dump() {
  std::vector<std::string> tables;
  {
    Statement names = PrepareUtf8(
        db_, R"sql(SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\_%' ESCAPE '\')sql",
        &queryOnly_);
    while (names.Step()) tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(names.stmt_, 0)));
  }
  std::sort(tables.begin(), tables.end());
  std::string out;
  for (const std::string& table : tables) {
    out += "[" + table + "]\n";
    Statement rows = PrepareUtf8(db_, "SELECT * FROM " + QuoteIdentifier(table), &queryOnly_);
    std::vector<std::string> lines;
    while (rows.Step()) {
      std::string line;
      for (int c = 0; c < rows.ColumnCount(); ++c) {
        if (c > 0) line += '|';
        line += sqlite3_column_name(rows.stmt_, c);
        line += '=';
        line += DumpValue(rows.stmt_, c);
      }
      lines.push_back(std::move(line));
    }
    std::sort(lines.begin(), lines.end());
    for (const std::string& line : lines) out += line + "\n";
  }
  return out;
}

AtomicScope::AtomicScope(SqliteDb& db, Access access) : db_(db), ownTransaction_(!db.InTransaction()) {
  const char* begin = access == Access::Writes ? "BEGIN IMMEDIATE" : "BEGIN";
  db_.Run(ownTransaction_ ? begin : "SAVEPOINT zi_atomic");
}

AtomicScope::AtomicScope(SqliteDb& db, std::string_view freshSavepoint)
    : db_(db), ownTransaction_(false), reused_(freshSavepoint) {}

AtomicScope::~AtomicScope() {
  if (!open_) return;
  // Already unwinding from the failure that matters; a failed rollback leaves SQLite's own state.
  try {
    Rollback();
  } catch (const std::exception&) {
  }
}

void AtomicScope::Commit() {
  if (reused_.empty()) db_.Run(ownTransaction_ ? "COMMIT" : "RELEASE zi_atomic");
  open_ = false;
}

void AtomicScope::Rollback() {
  open_ = false;
  // Some failures (a full disk, an I/O error) make SQLite roll the whole transaction back itself.
  if (!db_.InTransaction()) return;
  if (ownTransaction_) {
    db_.Run("ROLLBACK");
    return;
  }
  if (!reused_.empty()) {
    db_.Run("ROLLBACK TO " + std::string(reused_));
    return;
  }
  db_.Run("ROLLBACK TO zi_atomic");
  db_.Run("RELEASE zi_atomic");
}

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (const char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace zi::server

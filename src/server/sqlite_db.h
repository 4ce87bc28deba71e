#pragma once
// The server's own access to its SQLite file. Values cross here in both directions: the program's
// Windows-1252 text is stored as UTF-8, a missing number (NaN) as NULL, a boolean as 0 or 1 and a
// date-time as its REAL count of days. Columns declared BOOLEAN or DATETIME read back as such.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/results.h"
#include "toolbox/db_value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zi::server {

// A failure reported by SQLite, with its primary result code (SQLITE_BUSY, SQLITE_CONSTRAINT ...).
// A lock held by another connection for longer than the busy wait is of kind Busy.
class SqliteError : public ServerError {
 public:
  SqliteError(int code, const std::string& message) : ServerError(KindOf(code), message), code_(code) {}
  int Code() const { return code_; }
  static Kind KindOf(int code);

 private:
  int code_;
};

// One prepared statement; "?" placeholders are numbered from 1. A statement lent by its
// connection's cache goes back to it, reset and unbound, when the object ends.
class Statement {
 public:
  Statement(sqlite3* db, sqlite3_stmt* stmt, const bool* queryOnly, bool* lent = nullptr)
      : db_(db), stmt_(stmt), queryOnly_(queryOnly), lent_(lent) {}
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&&) = delete;
  ~Statement();

  // Binds every placeholder in order; the number of values must match.
  void BindAll(std::span<const DbValue> values);
  // The same with the values where the caller keeps them: valueAt(i) for i from 0 to count - 1.
  template <typename ValueAt>
  void BindEach(size_t count, ValueAt valueAt) {
    ExpectPlaceholders(count);
    for (size_t i = 0; i < count; ++i) Bind(static_cast<int>(i) + 1, valueAt(i));
  }

  // Runs to the next row: true when one is ready to read.
  bool Step();

  int ColumnCount() const;
  std::string ColumnName(int column) const;
  DbValue Column(int column) const;
  // The same for a column declared REAL, without looking up its declared type.
  DbValue RealColumn(int column) const;

  // Steps to the end, collecting every row.
  ResultSet ReadAll();

 private:
  void ExpectPlaceholders(size_t count) const;
  void Bind(int index, const DbValue& value);

  friend class SqliteDb;  // the dump reads values as stored, unconverted
  sqlite3* db_;
  sqlite3_stmt* stmt_;
  const bool* queryOnly_;
  bool* lent_;
};

// An SQL text that code of the server runs again and again, declared once (a static of the code
// that runs it): its statement is found by the text's number instead of by hashing the whole text
// on every use.
class SqlText {
 public:
  explicit SqlText(std::string text);
  SqlText(const SqlText&) = delete;
  SqlText& operator=(const SqlText&) = delete;

  const std::string& Text() const { return text_; }
  size_t Slot() const { return slot_; }

 private:
  std::string text_;
  size_t slot_;
};

class SqliteDb {
 public:
  enum class Access {
    ReadWrite,
    ReadOnly,
    // Read as a file nobody changes: no lock, and no shared-memory index beside it, which a
    // write-ahead-log file in a folder the reader cannot write to could not have.
    Immutable,
  };
  // Opens an existing file (":memory:" makes a private database in memory). Busy waits last up to
  // 5 s and foreign keys are enforced. Raises ServerError(Io) when the file cannot be opened.
  static std::unique_ptr<SqliteDb> Open(const std::string& path, Access access = Access::ReadWrite);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  // SQL texts are program text like any other and reach SQLite as UTF-8.

  // Runs a script of any number of statements that take no values.
  void Exec(std::string_view script);

  // Exactly one statement; text after it other than blanks and comments is an error. A text is
  // prepared once per connection and its statement reused while it is not in use.
  Statement Prepare(std::string_view sql);
  Statement Prepare(const SqlText& sql);
  // The same, prepared afresh and never kept: for texts that callers send, which need not repeat.
  Statement PrepareUncached(std::string_view sql);
  // How many statements this connection has prepared.
  uint64_t Preparations() const { return preparations_; }
  // Grows with every statement run: equal counts mean that nothing ran in between.
  uint64_t StatementsRun() const { return statementsRun_; }

  // One statement with its values bound: its rows; the number of rows it changed; its first value
  // (NULL when it has no row).
  ResultSet Query(std::string_view sql, const std::vector<DbValue>& params = {});
  // The same for an SQL text of a user who is not an administrator: it may read any table but the
  // users, write the rows of the writable tables, and do nothing else (write another table, attach
  // a file, control a transaction, run a pragma). A text that tries raises ServerError(NotAllowed)
  // with code 99105 before it runs.
  ResultSet QueryAsReader(std::string_view sql, const std::vector<DbValue>& params,
                          const std::vector<std::string>& writable = {});
  int64_t Run(std::string_view sql, const std::vector<DbValue>& params = {});
  DbValue QueryValue(std::string_view sql, const std::vector<DbValue>& params = {});
  int64_t Run(const SqlText& sql, std::span<const DbValue> params);
  // Runs a statement of this connection, its values bound, to its end: the number of rows it changed.
  int64_t Run(Statement bound);
  DbValue QueryValue(const SqlText& sql, std::span<const DbValue> params);

  int64_t LastInsertRowId() const;
  bool InTransaction() const;
  // How long a statement waits for a lock that another connection holds.
  void SetBusyTimeout(int milliseconds);
  // While on, every statement that would write fails ("attempt to write a readonly database").
  void SetQueryOnly(bool on) { queryOnly_ = on; }
  // Counts, from now on, the rows this connection inserts, updates or deletes in the table.
  void WatchChanges(std::string table);
  // The count of a watched table (0 for a table not watched).
  uint64_t WatchedChanges(std::string_view table) const;
  // Counts, from now on, the rows every table of the file gains, changes and loses, by primary key,
  // as their net effect when they are read: work rolled back (a savepoint) or undone (a row added
  // and deleted) is no change. Reading the counts ends the count; it must happen before the
  // transaction it counts ends.
  void StartChangeCount();
  std::vector<TableChangeCount> StopChangeCount();

  // Every table but SQLite's own, by name: "[name]", then one line per row, "col=value|col=value"
  // with the columns in table order, the lines sorted. Values as stored: NULL, integers, REAL with
  // 17 significant digits, text and blobs with "\\", "|", CR, LF and other unprintable bytes escaped.
  std::string Dump();

 private:
  explicit SqliteDb(sqlite3* db) : db_(db) {}

  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  struct CachedStatement {
    sqlite3_stmt* stmt = nullptr;
    bool lent = false;
  };

  // SQLite's update hook; its last parameter is sqlite3_int64, a long long.
  static void CountChange(void* self, int, const char*, const char* table, long long);

  // The rows touched since StartChangeCount, by table and key, as they were first seen.
  struct ChangeCount {
    struct Table {
      bool withoutRowid = false;
      std::vector<std::string> columns;
      std::vector<int> keyColumns;  // of a table without rowid, its primary key's, in key order
    };
    struct TouchedRow {
      bool existed = false;
      std::string values;  // as they were, when the row existed
    };
    std::map<std::string, Table, std::less<>> tables;
    std::map<std::string, std::map<std::string, TouchedRow>, std::less<>> touched;
    // Something failed inside the hook, where nothing may be thrown: the counts are not sure.
    bool failed = false;
    // The table of the last row touched.
    std::pair<const std::string, std::map<std::string, TouchedRow>>* lastRows = nullptr;
    const Table* lastTable = nullptr;

    // A table made after the count began has a rowid, as every table the program makes on the way.
    const Table& TableOf(std::string_view name) const {
      static const Table kRowidTable;
      const auto found = tables.find(name);
      return found == tables.end() ? kRowidTable : found->second;
    }
  };
  // SQLite's pre-update hook; its keys are sqlite3_int64, a long long.
  static void NoteChange(void* self, sqlite3* db, int op, const char* schema, const char* table, long long oldRowid,
                         long long newRowid);
  void EndChangeCount();
  Statement Lend(CachedStatement& cached);
  static DbValue FirstValue(Statement statement, std::span<const DbValue> params);

  sqlite3* db_;
  std::unordered_map<std::string, CachedStatement, TextHash, std::equal_to<>> statements_;
  // A deque, so that growing it leaves the statements that are lent where they are.
  std::deque<CachedStatement> bySlot_;
  std::unique_ptr<ChangeCount> changeCount_;
  struct WatchedTable {
    std::string name;
    uint64_t changes = 0;
  };
  std::vector<WatchedTable> watched_;
  // Kept here rather than in SQLite's own flag, whose every change makes SQLite prepare each
  // statement of the connection again.
  bool queryOnly_ = false;
  uint64_t preparations_ = 0;
  uint64_t statementsRun_ = 0;
};

// All or nothing: a transaction of its own, or a savepoint within the transaction already open.
// Whatever is not committed when the scope ends is rolled back. A transaction of its own for a
// scope that only reads is deferred: it takes no lock until it reads and never the write lock.
class AtomicScope {
 public:
  enum class Access { Reads, Writes };
  explicit AtomicScope(SqliteDb& db, Access access = Access::Writes);
  // Within the open transaction, the savepoint of that name, which the caller opened with nothing
  // run since, serves as the scope's own: committing leaves it open, rolling back returns to it.
  AtomicScope(SqliteDb& db, std::string_view freshSavepoint);
  ~AtomicScope();
  AtomicScope(const AtomicScope&) = delete;
  AtomicScope& operator=(const AtomicScope&) = delete;

  void Commit();
  void Rollback();

 private:
  SqliteDb& db_;
  bool ownTransaction_;
  std::string_view reused_;
  bool open_ = true;
};

// A name made safe to splice into SQL as an identifier.
std::string QuoteIdentifier(std::string_view name);

}  // namespace zi::server

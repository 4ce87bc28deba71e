#pragma once
// The substitute server: the stored procedures the program calls, implemented over an SQLite
// database. It runs inside the program's process, reached only through the embedded driver.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "server/call_memory.h"
#include "server/results.h"
#include "server/session_user.h"
#include "toolbox/db_value.h"

namespace zi::server {

enum class ParamDirection { Input, Output, InputOutput, ReturnValue };

struct ParamInfo {
  std::string name;  // with its "@"
  DbType type = DbType::Integer;
  ParamDirection direction = ParamDirection::Input;
};

// The message of a value of the wrong type for a parameter.
inline constexpr const char* kWrongTypeMessage = "Application uses a value of the wrong type for the current operation";

// A refused login, and a procedure called without a logged-in user. One code for an unknown name
// and a wrong password, so that a refusal does not tell which names exist.
inline constexpr int kLoginFailed = 18456;

// Whether a user name (program text) holds control characters, which would let it forge lines in
// a log: bytes below 32, 127, and the five that stand for C1 controls (81, 8D, 8F, 90, 9D hex).
bool HasControlCharacters(std::string_view name);

class SqliteDb;
class ProcContext;

// A procedure's handler returns its return value (0 success, else an error code).
using ProcHandler = std::function<int(ProcContext&)>;

// Whether a procedure only reads or also writes. A reader runs in a deferred read transaction, so
// it never waits for a writer (the file is in WAL mode), and may not write; a writer takes the
// write lock when it starts.
enum class ProcAccess { Reads, Writes };

struct ProcedureDecl {
  std::string name;
  ProcAccess access;
  std::vector<ParamInfo> params;  // without the return value, which every procedure has
  ProcHandler handler;
  // The handler writes with one statement at most, after which it cannot fail: a call is whole
  // without a savepoint, so the first call of a level runs before the level's savepoint is made.
  bool writesOnce = false;
};

// The logged-in user's row as the calls see it: read once and kept while it cannot have changed,
// that is within one transaction (which sees one state of the file) and until this connection
// changes the users table.
class SessionUserCache {
 public:
  // The row of the user; nullopt for id 0 or a user whose row is gone.
  const std::optional<SessionUser>& Get(SqliteDb& db, int id);
  void Forget() { valid_ = false; }

 private:
  bool valid_ = false;
  int id_ = 0;
  uint64_t usersChanges_ = 0;
  std::optional<SessionUser> user_;
};

// The values of a call, one per declared parameter in order, read where the caller keeps them:
// packed, or each inside a larger record of the caller's, so that a call copies none of them.
class InputValues {
 public:
  using Reader = const DbValue& (*)(const void* records, size_t position);

  InputValues(std::span<const DbValue> packed)  // NOLINT(google-explicit-constructor): a view
      : records_(packed.data()), size_(packed.size()), read_(ReadPacked) {}
  InputValues(const std::vector<DbValue>& packed)  // NOLINT(google-explicit-constructor)
      : InputValues(std::span<const DbValue>(packed)) {}
  InputValues(const void* records, size_t size, Reader read) : records_(records), size_(size), read_(read) {}

  size_t size() const { return size_; }
  const DbValue& operator[](size_t position) const { return read_(records_, position); }

 private:
  static const DbValue& ReadPacked(const void* records, size_t position) {
    return static_cast<const DbValue*>(records)[position];
  }

  const void* records_;
  size_t size_;
  Reader read_;
};

// Everything a handler sees of its call.
class ProcContext {
 public:
  // The inputs are one value per declared parameter, in the declaration's order.
  ProcContext(SqliteDb& db, const ProcedureDecl& decl, InputValues inputs, int sessionUserId,
              SessionUserCache& users, SeriesIdCache& series, DeferredDataLog& dataLog, TDateTime now);

  SqliteDb& Db() { return db_; }
  const std::string& ProcedureName() const { return decl_.name; }
  // The logged-in user's id; 0 when nobody is.
  int SessionUserId() const { return sessionUserId_; }
  // The logged-in user's row as it is now; nullopt without a session or when the row is gone.
  const std::optional<SessionUser>& User() { return users_.Get(db_, sessionUserId_); }
  // The server's clock when the call began.
  TDateTime Now() const { return now_; }
  // The series that quote calls found by ticker on this connection.
  SeriesIdCache& Series() { return series_; }
  // Adds a row to the data log as part of this call, inserted later with others (call_memory.h).
  // A procedure that does so must not read the data log itself.
  void DeferDataLog(const DeferredDataLog::Row& row) {
    dataLog_.Add(row);
    deferred_ = true;
  }
  bool DeferredDataLogRows() const { return deferred_; }

  // The value sent for a parameter in its declared type (an integer sent for a float reads as a
  // float); NULL when the caller left it unset.
  const DbValue& In(const std::string& name) const;
  // The same by the parameter's position in the declaration, for procedures that take many.
  const DbValue& InAt(size_t position) const { return inputs_[position]; }
  bool IsNull(const std::string& name) const { return In(name).IsNull(); }
  // An output the handler never sets returns NULL, an input-output the value it was sent.
  void SetOut(const std::string& name, DbValue value);

  // Runs a query with bound values and appends its rows as a new result set.
  ResultSet& AddResultSet(std::string_view sql, const std::vector<DbValue>& params = {});
  ResultSet& AddResultSet(ResultSet rows);

  ProcedureResult TakeResult(int returnValue);

 private:
  SqliteDb& db_;
  const ProcedureDecl& decl_;
  InputValues inputs_;
  int sessionUserId_;
  SessionUserCache& users_;
  SeriesIdCache& series_;
  DeferredDataLog& dataLog_;
  bool deferred_ = false;
  TDateTime now_;
  ProcedureResult result_;
};

// Procedure and parameter names match whatever their case, as on the server this one stands in for.
struct NameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

class Registry {
 public:
  // Declares a procedure once; a second declaration of a name is a programming error.
  void Add(ProcedureDecl decl);
  const ProcedureDecl* Find(std::string_view name) const;
  std::vector<std::string> Names() const;

  // Opens a table to the row changes of users who are not administrators, under the right its
  // grid window needs. The users table is never opened, and a table is opened once.
  void AllowRowChanges(const std::string& table, UserRight right);
  // The right a table is open under; nullptr when only administrators may change its rows.
  const UserRight* RowChangeRight(std::string_view table) const;

  // Opens a table to the SQL texts of users who are not administrators, for writing its rows
  // under a right: the texts that replace a portfolio's or a composition's items. The users table
  // is never opened, and a table is opened once.
  void AllowSqlTextWrites(const std::string& table, UserRight right);
  // The tables the user's SQL texts may write.
  std::vector<std::string> SqlTextWritableTables(const SessionUser& user) const;

 private:
  std::map<std::string, ProcedureDecl, NameLess> procedures_;
  std::map<std::string, UserRight, NameLess> rowChangeRights_;
  std::map<std::string, UserRight, NameLess> sqlTextWriteRights_;
};

using zi::RowChange;

inline constexpr int64_t kMaxUserFlag = 0x7FFFFFFF;
inline constexpr int kMaxSourceDoBal = 255;
inline constexpr int kMaxLingua = 2;

// A user's row, but for the id and the password.
struct UserRecord {
  std::string name;
  std::string email;
  bool isAdmin = false;
  int64_t userFlag = 0;  // rights as bits, 0 to kMaxUserFlag
  int sourceDoBal = 0;   // the statement source the user may edit, 0 to kMaxSourceDoBal
  int lingua = 0;        // the user's language, 0 to kMaxLingua
};

// How Server::Open treats the file.
struct OpenOptions {
  // A missing file is created; else it raises ServerError(Io) "... does not exist".
  bool mayCreate = true;
  // SQLite's quick integrity check runs first, and a damaged file raises ServerError(Damaged) with
  // SQLite's words: it is neither migrated nor used.
  bool checkIntegrity = false;
};

class Server {
 public:
  // Opens the database file (the system's bytes), migrating it when needed; ":memory:" makes a
  // private one in memory. A file that holds another application's database, cannot be opened or
  // is not writable raises ServerError.
  static std::unique_ptr<Server> Open(const std::string& path, const Registry& registry, OpenOptions options = {});
  // Opens an existing database only to read it, as it is: never created, migrated nor switched to
  // another journal mode; a file its user may only read will do.
  static std::unique_ptr<Server> OpenToRead(const std::string& path, const Registry& registry);
  ~Server();

  struct LoginResult {
    int code = 0;
    bool createdAdministrator = false;
  };
  // Starts the session of a user (the name as program text, the password as the UTF-8 bytes
  // typed): 0, kLoginFailed for an empty name, an unknown name (in any case) or a wrong password,
  // or 99109 for a name with control characters. A database without users makes the first login's
  // user its administrator, with that password. A password whose stored hash is of its old
  // Windows-1252 form is accepted and its hash made again. A failed login ends the session that
  // was open.
  LoginResult Login(const std::string& user, const std::string& password);
  // Starts the session of the user who uploaded the remote import a worker is running, with the
  // ticket the worker gave it (import_queue.h): 0 or kLoginFailed, as Login.
  int LoginWithImportTicket(const std::string& user, const std::string& ticket);
  // The logged-in user's id; 0 before a successful login.
  int SessionUserId() const { return sessionUserId_; }

  // Adds a user with a password (UTF-8 bytes): the new id, or 0 when the name (in any case) is
  // taken. Raises std::invalid_argument for an empty name or password, a name with control
  // characters, or a field outside its range.
  int AddUser(const UserRecord& user, const std::string& password);

  // Makes the server's clock run this many seconds ahead of the local one.
  void SetClockOffsetForTests(int64_t seconds) { clockOffsetSeconds_ = seconds; }
  // Shortens the wait for a lock that another connection holds.
  void SetBusyTimeoutForTests(int milliseconds);

  // The parameters of a procedure, the return value first ("@RETURN_VALUE", integer).
  std::vector<ParamInfo> Describe(std::string_view procedure) const;
  // The name Describe gives the return value.
  std::string ReturnValueName() const;

  // Runs a procedure. Inputs are named with their "@"; an input missing from the map is NULL.
  // A procedure that fails (returns non-zero or raises) leaves nothing written.
  ProcedureResult Execute(std::string_view procedure, const std::map<std::string, DbValue>& inputs);
  // The same for a procedure of the server's registry, with one value per declared parameter in
  // the declaration's order (the values of outputs are not read): what a client that learned the
  // declaration once sends on every call.
  ProcedureResult Execute(const ProcedureDecl& decl, InputValues inputs);

  // Runs an SQL text with "?" placeholders; "exec sp_server_info 1" and "SELECT @@VERSION" are
  // answered as a database server would. In the session of a user who is not an administrator
  // only a text that reads runs, and it never reads the users table: anything else raises
  // ServerError(NotAllowed) with code 99105.
  std::vector<ResultSet> ExecuteSql(std::string_view sql, const std::vector<DbValue>& params = {});

  void Begin();
  void Commit();
  void Rollback();
  bool InTransaction() const;
  // A level inside the open transaction (a savepoint): committed into it, or its work undone alone.
  void BeginLevel();
  void CommitLevel();
  void RollbackLevel();

  // Counts the rows each table gains, changes and loses from now on, as SqliteDb does; the counts
  // are read before the transaction ends.
  void StartChangeCount();
  std::vector<TableChangeCount> StopChangeCount();

  // Applies every change in one transaction (or within the open one): all or nothing. In the session
  // of a user who is not an administrator only a table the registry opens to the grids may be
  // changed, under its right: anything else raises ServerError(NotAllowed) with the right's code,
  // or 99105.
  void ApplyRowChanges(std::string_view table, const std::vector<RowChange>& changes);

  // Every table's rows in a stable, sorted text form (UTF-8, the values as stored).
  std::string Dump() const;

  const Registry& GetRegistry() const { return registry_; }

  static const char* VersionText();
  int SchemaVersion() const;

  // Makes "SELECT @@VERSION", "exec sp_server_info 1" and Describe answer as another server would.
  void SetVersionTextForTests(std::string versionText) { versionText_ = std::move(versionText); }

 private:
  Server(std::unique_ptr<SqliteDb> db, const Registry& registry);
  const ProcedureDecl& Declared(std::string_view procedure) const;
  TDateTime Now() const;
  // The new user's id; 0 when the name is taken or, for the first user, when any user exists.
  int InsertUser(const UserRecord& user, const std::string& passwordHash, bool onlyAsFirst);
  void ReplaceOldHash(int id, const std::string& password);
  // The session's user when the session is limited by rights: a client logged in, and its user is
  // not an administrator. Raises ServerError(NotAllowed) when the client's user is gone.
  std::optional<SessionUser> LimitedUser();
  // Inserts the data-log rows that calls held back, before anything that might read the log runs.
  void InsertDeferredDataLog() const;
  // Where the database may go back to, for what the calls keep to follow it.
  struct UndoMark {
    DeferredDataLog::Mark dataLog;
    uint64_t seriesChanges = 0;
  };
  UndoMark Here() const;
  void Undone(const UndoMark& mark);
  // Makes the savepoints of the levels begun but not yet needed, outermost first.
  void OpenPendingLevels();

  std::unique_ptr<SqliteDb> db_;
  const Registry& registry_;
  SessionUserCache users_;
  SeriesIdCache series_;
  // Inserted by Dump too, which changes nothing the server shows.
  mutable DeferredDataLog dataLog_;
  // The procedure whose calls last held data-log rows back: its next call need not insert them.
  const ProcedureDecl* deferringDecl_ = nullptr;
  // A level is begun without its savepoint, which is made before anything runs in it but the call
  // of a procedure that writes once; work done so without the savepoint cannot be undone alone.
  struct Level {
    UndoMark mark;
    bool open = false;         // its savepoint is made
    bool unprotected = false;  // it holds work done before its savepoint was made
  };
  // The levels begun, the innermost last.
  std::vector<Level> levels_;
  std::string versionText_ = VersionText();
  // A client's session is limited by its user's rights; the server's own tools are not.
  bool clientSession_ = false;
  int sessionUserId_ = 0;
  int64_t clockOffsetSeconds_ = 0;
  // The second of the system clock for which nowLocal_ holds the local time.
  mutable int64_t nowSecond_ = -1;
  mutable TDateTime nowLocal_;
  // The connection's statement count just after the innermost level began.
  std::optional<uint64_t> levelStart_;
};

// The registry of every procedure of the product.
const Registry& ProductRegistry();

}  // namespace zi::server

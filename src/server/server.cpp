#include "server/server.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>

#include "server/import_queue.h"
#include "server/passwords.h"
#include "server/row_changes.h"
#include "server/schema.h"
#include "server/sqlite_db.h"
#include "toolbox/codec.h"
#include "toolbox/dates.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"
#include "toolbox/server_version.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

constexpr const char* kMemoryDatabase = ":memory:";
constexpr double kSecondsPerDay = 86400;
// The savepoint of a level, as BeginLevel names it.
constexpr std::string_view kLevelSavepoint = "zi_level";
constexpr std::string_view kLevelSavepointBegin = "SAVEPOINT zi_level";
constexpr std::string_view kLevelSavepointRelease = "RELEASE zi_level";
constexpr std::string_view kLevelSavepointRollback = "ROLLBACK TO zi_level";

char LowerAsciiChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

const ParamInfo* FindParam(const ProcedureDecl& decl, std::string_view name) {
  for (const ParamInfo& p : decl.params) {
    if (SameTextAscii(p.name, name)) return &p;
  }
  return nullptr;
}

bool IsOutput(const ParamInfo& p) {
  return p.direction == ParamDirection::Output || p.direction == ParamDirection::InputOutput;
}

// The value as the declared type holds it; nullopt when that type does not accept it. NULL fits all.
std::optional<DbValue> Coerce(const DbValue& value, DbType declared) {
  const DbType given = value.Type();
  if (given == DbType::Null || given == declared) return value;
  if (declared == DbType::Float && given == DbType::Integer) return static_cast<double>(value.AsInteger());
  if (declared == DbType::Blob && given == DbType::Text) return TBlob{value.AsText()};
  if (declared == DbType::Boolean && given == DbType::Integer && (value.AsInteger() == 0 || value.AsInteger() == 1)) {
    return value.AsInteger() == 1;
  }
  return std::nullopt;
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

// Creates a missing file for the owner alone, before SQLite would create it with the umask's mode,
// and refuses one that cannot be written, which SQLite would silently open read-only.
void PrepareFile(const std::string& path, bool mayCreate) {
  if (mayCreate) {
    const int created = platform::CreateOwnerOnlyFile(path);
    if (created == 0) return;
    if (created != EEXIST) {
      throw ServerError(ServerError::Kind::Io,
                        "Cannot create database file " + PathText(path) + ": " + ErrnoText(created));
    }
  }
  const int opened = platform::ReadWriteOpenError(path);
  if (opened == ENOENT && !mayCreate) throw ServerError(ServerError::Kind::Io, PathText(path) + " does not exist");
  if (opened != 0) {
    throw ServerError(ServerError::Kind::Io,
                      "Cannot open database file " + PathText(path) + " for writing: " + ErrnoText(opened));
  }
}

void CheckUser(const UserRecord& user, const std::string& password) {
  if (user.name.empty()) throw std::invalid_argument("a user needs a name");
  if (HasControlCharacters(user.name)) throw std::invalid_argument("a user name may not hold control characters");
  if (password.empty()) throw std::invalid_argument("a user needs a password");
  if (user.userFlag < 0 || user.userFlag > kMaxUserFlag) throw std::invalid_argument("user flags out of range");
  if (user.sourceDoBal < 0 || user.sourceDoBal > kMaxSourceDoBal) throw std::invalid_argument("source out of range");
  if (user.lingua < 0 || user.lingua > kMaxLingua) throw std::invalid_argument("language out of range");
}

// A procedure declared as reading may not write: a mistaken declaration fails at once instead of
// taking the write lock behind the writers' backs.
class QueryOnlyScope {
 public:
  QueryOnlyScope(SqliteDb& db, bool on) : db_(db), on_(on) {
    if (on_) db_.SetQueryOnly(true);
  }
  ~QueryOnlyScope() {
    if (!on_) return;
    try {
      db_.SetQueryOnly(false);
    } catch (const std::exception&) {
      // Setting a connection flag fails only when the connection itself is broken.
    }
  }
  QueryOnlyScope(const QueryOnlyScope&) = delete;
  QueryOnlyScope& operator=(const QueryOnlyScope&) = delete;

 private:
  SqliteDb& db_;
  bool on_;
};

// Processes that open a fresh file at once all switch it to WAL. SQLite refuses such a switch at
// once, without waiting, when waiting could deadlock with another one; the refused process tries
// again shortly, by which time the other has switched the file (or given way in turn).
void UseWriteAheadLog(SqliteDb& db) {
  constexpr int kAttempts = 200;
  for (int attempt = 1;; ++attempt) {
    try {
      db.Exec("PRAGMA journal_mode = WAL");
      return;
    } catch (const ServerError& e) {
      if (e.GetKind() != ServerError::Kind::Busy || attempt == kAttempts) throw;
    }
    platform::SleepMs(5 + static_cast<int>((platform::ProcessId() + attempt) % 20));
  }
}

// SQLite also needs to write beside the file (its write-ahead log and shared-memory index).
bool IsAccessFailure(int code) {
  return code == SQLITE_READONLY || code == SQLITE_CANTOPEN || code == SQLITE_IOERR || code == SQLITE_PERM;
}

}  // namespace

bool HasControlCharacters(std::string_view name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
  });
}

bool NameLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return LowerAsciiChar(x) < LowerAsciiChar(y); });
}

const std::optional<SessionUser>& SessionUserCache::Get(SqliteDb& db, int id) {
  if (!valid_ || id_ != id || usersChanges_ != db.WatchedChanges("users")) {
    user_ = id == 0 ? std::nullopt : ReadUser(db, id);
    id_ = id;
    usersChanges_ = db.WatchedChanges("users");
    valid_ = true;
  }
  return user_;
}

ProcContext::ProcContext(SqliteDb& db, const ProcedureDecl& decl, InputValues inputs, int sessionUserId,
                         SessionUserCache& users, SeriesIdCache& series, DeferredDataLog& dataLog, TDateTime now)
    : db_(db),
      decl_(decl),
      inputs_(inputs),
      sessionUserId_(sessionUserId),
      users_(users),
      series_(series),
      dataLog_(dataLog),
      now_(now) {}

const DbValue& ProcContext::In(const std::string& name) const {
  const ParamInfo* param = FindParam(decl_, name);
  if (!param) throw std::logic_error("procedure " + decl_.name + " reads undeclared parameter " + name);
  return inputs_[static_cast<size_t>(param - decl_.params.data())];
}

void ProcContext::SetOut(const std::string& name, DbValue value) {
  const ParamInfo* param = FindParam(decl_, name);
  if (!param || !IsOutput(*param)) {
    throw std::logic_error("procedure " + decl_.name + " sets " + name + ", which is not one of its outputs");
  }
  std::optional<DbValue> coerced = Coerce(value, param->type);
  if (!coerced) {
    throw std::logic_error("procedure " + decl_.name + " sets " + name + " to a " + DbTypeName(value.Type()) +
                           " value; it is declared " + DbTypeName(param->type));
  }
  result_.outputs[param->name] = std::move(*coerced);
}

ResultSet& ProcContext::AddResultSet(std::string_view sql, const std::vector<DbValue>& params) {
  return AddResultSet(db_.Query(sql, params));
}

ResultSet& ProcContext::AddResultSet(ResultSet rows) { return result_.resultSets.emplace_back(std::move(rows)); }

ProcedureResult ProcContext::TakeResult(int returnValue) {
  for (const ParamInfo& p : decl_.params) {
    if (!IsOutput(p) || result_.outputs.contains(p.name)) continue;
    result_.outputs[p.name] = p.direction == ParamDirection::InputOutput ? In(p.name) : DbValue();
  }
  result_.returnValue = returnValue;
  return std::move(result_);
}

void Registry::Add(ProcedureDecl decl) {
  if (!decl.handler) throw std::logic_error("procedure " + decl.name + " has no handler");
  for (size_t i = 0; i < decl.params.size(); ++i) {
    const ParamInfo& p = decl.params[i];
    if (!p.name.starts_with('@') || p.type == DbType::Null || p.direction == ParamDirection::ReturnValue) {
      throw std::logic_error("procedure " + decl.name + " declares parameter " + p.name + " badly");
    }
    for (size_t j = 0; j < i; ++j) {
      if (SameTextAscii(decl.params[j].name, p.name)) {
        throw std::logic_error("procedure " + decl.name + " declares parameter " + p.name + " twice");
      }
    }
  }
  const std::string name = decl.name;
  if (!procedures_.emplace(name, std::move(decl)).second) {
    throw std::logic_error("procedure " + name + " is declared twice");
  }
}

const ProcedureDecl* Registry::Find(std::string_view name) const {
  const auto it = procedures_.find(name);
  return it == procedures_.end() ? nullptr : &it->second;
}

void Registry::AllowRowChanges(const std::string& table, UserRight right) {
  // The users' rows, password hashes included, are for administrators alone.
  if (SameTextAscii(table, "users")) throw std::logic_error("the users table is never open to the grids");
  if (!right || !rowChangeRights_.emplace(table, right).second) {
    throw std::logic_error("row changes of " + table + " are opened twice or without a right");
  }
}

const UserRight* Registry::RowChangeRight(std::string_view table) const {
  const auto it = rowChangeRights_.find(table);
  return it == rowChangeRights_.end() ? nullptr : &it->second;
}

void Registry::AllowSqlTextWrites(const std::string& table, UserRight right) {
  if (SameTextAscii(table, "users")) throw std::logic_error("the users table is never open to SQL texts");
  if (!right || !sqlTextWriteRights_.emplace(table, right).second) {
    throw std::logic_error("SQL text writes of " + table + " are opened twice or without a right");
  }
}

std::vector<std::string> Registry::SqlTextWritableTables(const SessionUser& user) const {
  std::vector<std::string> tables;
  for (const auto& [table, right] : sqlTextWriteRights_) {
    if (right(user) == 0) tables.push_back(table);
  }
  return tables;
}

std::vector<std::string> Registry::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : procedures_) names.push_back(entry.first);
  return names;
}

Server::Server(std::unique_ptr<SqliteDb> db, const Registry& registry) : db_(std::move(db)), registry_(registry) {
  db_->WatchChanges("users");
  db_->WatchChanges(SeriesIdCache::kTable);
}

Server::~Server() = default;

std::unique_ptr<Server> Server::Open(const std::string& path, const Registry& registry, OpenOptions options) {
  if (path != kMemoryDatabase) PrepareFile(path, options.mayCreate);
  std::unique_ptr<SqliteDb> db = SqliteDb::Open(path);
  try {
    CheckOwnership(*db, path, SchemaSteps());
    if (options.checkIntegrity) CheckIntegrity(*db, path);
    UseWriteAheadLog(*db);
    // With the write-ahead log a committed transaction survives a crash of the process and the
    // file stays sound whatever happens; only a crash of the system may lose the last commits.
    db->Exec("PRAGMA synchronous = NORMAL");
    Migrate(*db, SchemaSteps());
  } catch (const SqliteError& e) {
    if (!IsAccessFailure(e.Code())) throw;
    throw ServerError(ServerError::Kind::Io, "Cannot write database file " + PathText(path) + ": " + e.what());
  }
  return std::unique_ptr<Server>(new Server(std::move(db), registry));
}

std::unique_ptr<Server> Server::OpenToRead(const std::string& path, const Registry& registry) {
  std::error_code error;
  if (!std::filesystem::exists(path, error))
    throw ServerError(ServerError::Kind::Io, PathText(path) + " does not exist");
  std::unique_ptr<SqliteDb> db = SqliteDb::Open(path, SqliteDb::Access::ReadOnly);
  try {
    CheckOwnership(*db, path, SchemaSteps());
  } catch (const SqliteError& e) {
    // A file in write-ahead-log mode needs its shared-memory index beside it, which a reader may be
    // unable to create. Without a log beside it the file holds everything committed and nobody is
    // writing to it (a writer keeps its log there), so it is read as a file that does not change.
    if (e.Code() != SQLITE_READONLY || std::filesystem::exists(path + "-wal", error)) throw;
    db = SqliteDb::Open(path, SqliteDb::Access::Immutable);
    CheckOwnership(*db, path, SchemaSteps());
  }
  return std::unique_ptr<Server>(new Server(std::move(db), registry));
}

void Server::SetBusyTimeoutForTests(int milliseconds) { db_->SetBusyTimeout(milliseconds); }

const ProcedureDecl& Server::Declared(std::string_view procedure) const {
  const ProcedureDecl* decl = registry_.Find(procedure);
  if (!decl) {
    throw ServerError(ServerError::Kind::UnknownProcedure,
                      "Could not find stored procedure '" + std::string(procedure) + "'.");
  }
  return *decl;
}

TDateTime Server::Now() const {
  // The local time is worked out once a second: a price file makes thousands of calls in one.
  const int64_t second =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  if (second != nowSecond_) {
    const platform::LocalTime t = platform::Now();
    nowLocal_ = DateTimeFromCalendar({t.year, t.month, t.day, t.hour, t.minute, t.second});
    nowSecond_ = second;
  }
  return TDateTime{nowLocal_.days + static_cast<double>(clockOffsetSeconds_) / kSecondsPerDay};
}

Server::LoginResult Server::Login(const std::string& user, const std::string& password) {
  clientSession_ = true;
  sessionUserId_ = 0;
  users_.Forget();
  if (user.empty()) return {kLoginFailed};
  if (HasControlCharacters(user)) return {kAnswerNameWithControls};
  if (db_->QueryValue("SELECT EXISTS (SELECT 1 FROM users)").AsInteger() == 0) {
    if (password.empty()) return {kLoginFailed};
    UserRecord administrator{.name = user, .isAdmin = true};
    // Another process may have created the first user meanwhile; then this login is an ordinary one.
    const int id = InsertUser(administrator, HashPassword(password), true);
    if (id != 0) {
      sessionUserId_ = id;
      return {0, true};
    }
  }
  const ResultSet found = db_->Query("SELECT id, password_hash FROM users WHERE name = ?", {user});
  const PasswordMatch match = MatchPassword(password, found.rows.empty() ? UnmatchedHash() : found.rows[0][1].AsText());
  if (found.rows.empty() || match == PasswordMatch::None) return {kLoginFailed};
  const auto id = static_cast<int>(found.rows[0][0].AsInteger());
  if (match == PasswordMatch::OldForm) ReplaceOldHash(id, password);
  sessionUserId_ = id;
  return {};
}

int Server::LoginWithImportTicket(const std::string& user, const std::string& ticket) {
  clientSession_ = true;
  sessionUserId_ = 0;
  if (user.empty() || HasControlCharacters(user)) return kLoginFailed;
  sessionUserId_ = UserOfImportTicket(*db_, user, ticket);
  return sessionUserId_ != 0 ? 0 : kLoginFailed;
}

void Server::ReplaceOldHash(int id, const std::string& password) {
  const std::string hash = HashPassword(password);
  try {
    AtomicScope scope(*db_);
    db_->Run("UPDATE users SET password_hash = ? WHERE id = ?", {hash, id});
    scope.Commit();
  } catch (const ServerError& e) {
    // The old hash still lets the user in; the next login replaces it.
    if (e.GetKind() != ServerError::Kind::Busy) throw;
  }
}

int Server::AddUser(const UserRecord& user, const std::string& password) {
  CheckUser(user, password);
  return InsertUser(user, HashPassword(password), false);
}

int Server::InsertUser(const UserRecord& user, const std::string& passwordHash, bool onlyAsFirst) {
  // Hashing takes a while, so it happens before the write lock is taken; the check runs under it.
  AtomicScope scope(*db_);
  const DbValue taken = onlyAsFirst
                            ? db_->QueryValue("SELECT EXISTS (SELECT 1 FROM users)")
                            : db_->QueryValue("SELECT EXISTS (SELECT 1 FROM users WHERE name = ?)", {user.name});
  if (taken.AsInteger() != 0) return 0;
  db_->Run(
      "INSERT INTO users (name, password_hash, email, is_admin, user_flag, source_do_bal, lingua, created) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
      {user.name, passwordHash, user.email, user.isAdmin, user.userFlag, user.sourceDoBal, user.lingua, Now()});
  const auto id = static_cast<int>(db_->LastInsertRowId());
  scope.Commit();
  return id;
}

std::vector<ParamInfo> Server::Describe(std::string_view procedure) const {
  const ProcedureDecl& decl = Declared(procedure);
  std::vector<ParamInfo> params{{ReturnValueName(), DbType::Integer, ParamDirection::ReturnValue}};
  params.insert(params.end(), decl.params.begin(), decl.params.end());
  return params;
}

std::string Server::ReturnValueName() const { return zi::ReturnValueName(ServerVersionIndex(versionText_)); }

ProcedureResult Server::Execute(std::string_view procedure, const std::map<std::string, DbValue>& inputs) {
  const ProcedureDecl& decl = Declared(procedure);
  std::vector<DbValue> values(decl.params.size());
  for (const auto& [name, value] : inputs) {
    const ParamInfo* param = FindParam(decl, name);
    if (!param) {
      throw ServerError(ServerError::Kind::UnknownParameter,
                        "Procedure " + decl.name + " has no parameter named " + name + ".");
    }
    values[static_cast<size_t>(param - decl.params.data())] = value;
  }
  return Execute(decl, values);
}

ProcedureResult Server::Execute(const ProcedureDecl& decl, InputValues inputs) {
  if (inputs.size() != decl.params.size()) {
    throw std::logic_error("procedure " + decl.name + " called with " + std::to_string(inputs.size()) +
                           " values for its " + std::to_string(decl.params.size()) + " parameters");
  }
  // Values of the declared types, the usual case, are read where they are; the others are copied.
  // What a caller left in an output that is no input is not sent.
  std::vector<DbValue> coercedValues;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const DbType given = inputs[i].Type();
    const bool sent = decl.params[i].direction != ParamDirection::Output;
    if (given == DbType::Null || (sent && given == decl.params[i].type)) continue;
    std::optional<DbValue> coerced = sent ? Coerce(inputs[i], decl.params[i].type) : DbValue();
    if (!coerced) throw ServerError(ServerError::Kind::WrongType, kWrongTypeMessage);
    if (coercedValues.empty()) {
      coercedValues.reserve(inputs.size());
      for (size_t j = 0; j < inputs.size(); ++j) coercedValues.push_back(inputs[j]);
    }
    coercedValues[i] = std::move(*coerced);
  }
  if (!coercedValues.empty()) inputs = coercedValues;
  // A call that opens a transaction of its own sees the file as it is now, with its users and series.
  if (!db_->InTransaction()) {
    users_.Forget();
    series_.Forget();
  }
  // The first call of a level that writes once needs neither the level's savepoint nor its own.
  const bool alone = decl.writesOnce && !levels_.empty() && !levels_.back().open &&
                     (&decl == deferringDecl_ || !dataLog_.Pending());
  if (!alone) {
    OpenPendingLevels();
    if (&decl != deferringDecl_) InsertDeferredDataLog();
  }
  ProcContext context(*db_, decl, inputs, sessionUserId_, users_, series_, dataLog_, Now());
  const bool reads = decl.access == ProcAccess::Reads;
  const bool ownTransaction = !db_->InTransaction();
  // A call that is the first thing of a level (a line of an import) needs no savepoint of its own:
  // rolling back to the level's start undoes exactly the call.
  const bool levelUntouched = levelStart_ == db_->StatementsRun() && db_->InTransaction();
  std::optional<AtomicScope> scope;
  if (!alone && levelUntouched) scope.emplace(*db_, kLevelSavepoint);
  else if (!alone) scope.emplace(*db_, reads ? AtomicScope::Access::Reads : AtomicScope::Access::Writes);
  const UndoMark mark = Here();
  int returnValue = 0;
  try {
    {
      QueryOnlyScope queryOnly(*db_, reads);
      returnValue = decl.handler(context);
    }
    if (context.DeferredDataLogRows()) deferringDecl_ = &decl;
    if (returnValue == 0) {
      if (ownTransaction) dataLog_.Insert(*db_);
      if (scope) scope->Commit();
      if (ownTransaction) dataLog_.Clear();
      if (alone) levels_.back().unprotected = true;
    } else {
      Undone(mark);
      if (scope) scope->Rollback();
    }
  } catch (...) {
    // The scope rolls back as it goes.
    Undone(mark);
    throw;
  }
  return context.TakeResult(returnValue);
}

void Server::InsertDeferredDataLog() const {
  if (dataLog_.Pending()) dataLog_.Insert(*db_);
}

Server::UndoMark Server::Here() const { return {dataLog_.Here(), db_->WatchedChanges(SeriesIdCache::kTable)}; }

void Server::Undone(const UndoMark& mark) {
  dataLog_.UndoTo(mark.dataLog);
  // Only a series added or changed since the mark may have been taken back.
  if (db_->WatchedChanges(SeriesIdCache::kTable) != mark.seriesChanges) series_.Forget();
}

std::vector<ResultSet> Server::ExecuteSql(std::string_view sql, const std::vector<DbValue>& params) {
  // Only a short text may be one of the two questions answered here: an insert of a portfolio's
  // items is not copied twice to find out.
  constexpr size_t kLongestAnswered = 64;
  const std::string command = sql.size() <= kLongestAnswered ? LowerAscii(Trim(sql)) : std::string();
  if (command == "exec sp_server_info 1") {
    return {ResultSet{{"attribute_id", "attribute_name", "attribute_value"}, {{1, "DBMS_NAME", versionText_}}}};
  }
  if (command == "select @@version") return {ResultSet{{""}, {{versionText_}}}};
  OpenPendingLevels();
  InsertDeferredDataLog();
  ResultSet rows;
  if (const std::optional<SessionUser> user = LimitedUser()) {
    rows = db_->QueryAsReader(sql, params, registry_.SqlTextWritableTables(*user));
  } else {
    // An administrator's texts repeat (one per kind of row an import writes): their statements are
    // kept. A reader's never are, since each was prepared under that reader's limits.
    Statement statement = db_->Prepare(sql);
    statement.BindAll(params);
    rows = statement.ReadAll();
  }
  if (rows.columns.empty()) return {};
  return {std::move(rows)};
}

std::optional<SessionUser> Server::LimitedUser() {
  if (!clientSession_) return std::nullopt;
  if (!db_->InTransaction()) users_.Forget();
  const std::optional<SessionUser>& user = users_.Get(*db_, sessionUserId_);
  if (!user) throw ServerError(ServerError::Kind::NotAllowed, "No user is logged in", kLoginFailed);
  if (user->isAdmin) return std::nullopt;
  return user;
}

void Server::Begin() {
  dataLog_.Clear();
  levels_.clear();
  db_->Run("BEGIN IMMEDIATE");
  users_.Forget();
  series_.Forget();
}

void Server::Commit() {
  InsertDeferredDataLog();
  db_->Run("COMMIT");
  dataLog_.Clear();
  levels_.clear();
}

void Server::Rollback() {
  dataLog_.Clear();
  levels_.clear();
  series_.Forget();
  db_->Run("ROLLBACK");
}

bool Server::InTransaction() const { return db_->InTransaction(); }

void Server::OpenPendingLevels() {
  bool opened = false;
  for (Level& level : levels_) {
    if (level.open) continue;
    db_->Run(kLevelSavepointBegin);
    level.open = true;
    opened = true;
  }
  if (opened) levelStart_ = db_->StatementsRun();
}

void Server::BeginLevel() {
  if (!db_->InTransaction()) throw std::logic_error("a level needs an open transaction");
  // An outer level's savepoint comes before an inner one's.
  OpenPendingLevels();
  levels_.push_back({Here()});
}

void Server::CommitLevel() {
  if (levels_.empty()) throw std::logic_error("no level to commit");
  // An inner level's work before its savepoint lies after the outer level's savepoint: that one
  // still undoes it.
  const bool open = levels_.back().open;
  levels_.pop_back();
  if (open) db_->Run(kLevelSavepointRelease);
}

void Server::RollbackLevel() {
  if (levels_.empty()) throw std::logic_error("no level to undo");
  const Level level = levels_.back();
  levels_.pop_back();
  if (level.unprotected) {
    Rollback();
    throw ServerError(ServerError::Kind::Sql,
                      "A level whose first call ran before its savepoint cannot be undone alone: the transaction "
                      "was rolled back");
  }
  if (level.open) {
    db_->Run(kLevelSavepointRollback);
    db_->Run(kLevelSavepointRelease);
  }
  Undone(level.mark);
}

void Server::StartChangeCount() { db_->StartChangeCount(); }

// The data-log rows still held back are rows of the run being counted.
std::vector<TableChangeCount> Server::StopChangeCount() {
  InsertDeferredDataLog();
  return db_->StopChangeCount();
}

void Server::ApplyRowChanges(std::string_view table, const std::vector<RowChange>& changes) {
  OpenPendingLevels();
  InsertDeferredDataLog();
  if (const std::optional<SessionUser> user = LimitedUser()) {
    const UserRight* right = registry_.RowChangeRight(table);
    const int refusal = right ? (*right)(*user) : kAnswerAdministratorOnly;
    if (refusal != 0) {
      throw ServerError(ServerError::Kind::NotAllowed,
                        "Not allowed to change the rows of " + std::string(table) + " error:" + std::to_string(refusal),
                        refusal);
    }
  }
  server::ApplyRowChanges(*db_, table, changes);
}

std::string Server::Dump() const {
  InsertDeferredDataLog();
  return db_->Dump();
}

const char* Server::VersionText() {
  static const std::string text =
      std::string("Microsoft SQL Server 2019 compatible: ZorInput substitute server on SQLite ") + sqlite3_libversion();
  return text.c_str();
}

int Server::SchemaVersion() const { return server::SchemaVersion(*db_); }

}  // namespace zi::server

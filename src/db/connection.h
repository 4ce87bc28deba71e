#pragma once
// The one road to the database: the connection with its command cache, ExecStProc and its codes,
// nested transactions and reconnection.

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/command.h"
#include "db/driver.h"

namespace zi::db {

class TAdoDataBaseCustomizado {
 public:
  static constexpr int kCacheSlots = 8;

  TAdoDataBaseCustomizado(std::unique_ptr<Driver> driver, bool reconnectEnabled, std::string displayName);
  virtual ~TAdoDataBaseCustomizado();
  TAdoDataBaseCustomizado(const TAdoDataBaseCustomizado&) = delete;
  TAdoDataBaseCustomizado& operator=(const TAdoDataBaseCustomizado&) = delete;

  virtual const char* ClassName() const { return "TAdoDataBaseCustomizado"; }

  // Opens the connection and learns the server's version.
  void Open();
  // Starts over on another driver, with an empty command cache and no transaction or group.
  void ReplaceDriver(std::unique_ptr<Driver> driver);
  void Close();
  bool Connected() const;
  Driver& GetDriver() { return *driver_; }

  // Hands out a command for a procedure (or an SQL text); none when it cannot be made.
  std::unique_ptr<TDbCommand> MeDaDS(CommandType type, const std::string& name);
  // Why the last MeDaDS made none: kDatabaseBusy for a busy database, else 0 (no code of its own).
  int MeDaDSFailure() const { return meDaDSFailure_; }
  // Takes a command back into the cache; the caller's pointer is emptied.
  void TomaDataSet(std::unique_ptr<TDbCommand>& command);
  void FlushCache();

  // Runs a stored procedure: 0 execute, 1 open the result set and take its "result" column,
  // 2 execute and open the result set. Returns 0 or an error code.
  int ExecStProc(TDbCommand& command, int mode);
  int ExecStProcId(TDbCommand& command, int id, int mode);
  // The code in the "result" column of the current row: 4091 without a row, 4090 without the
  // column, 4370 when it is not an integer.
  int ResultColumnCode(TDbCommand& command);
  // Runs an SQL text command and opens its result set; 0 or an error code.
  int OpenSql(TDbCommand& command);
  // Applies a grid's changes to a table, all or nothing; 0 or an error code.
  int ApplyRowChanges(const std::string& table, const std::vector<RowChange>& changes);

  // Opens one level; the outermost begins the server transaction. Returns 0, or the code of a
  // begin that failed (kDatabaseBusy when another process held the write lock too long); then no
  // level was opened and TerminaTran must not follow.
  [[nodiscard]] int IniciaTran();
  // Ends one level; the outermost commits or rolls back. Returns 0, or an error code when the
  // transaction could not be committed: it was lost with the connection (3939), or the commit
  // failed and its work was rolled back.
  [[nodiscard]] int TerminaTran(bool commit);
  bool EstaEmTran() const { return depth_ > 0; }

  // Commits in groups, for a caller that runs many independent items (the lines of an import
  // pass) on a driver that nests levels in a transaction; on any other driver every call commits
  // on its own and these do nothing. Each item runs in a level of its own inside the group's
  // transaction, kept whole or rolled back whole; the group is committed between items, once it
  // holds kGroupItems items or is kGroupMs old, and whenever the caller asks (before anything that
  // must see committed data). A transaction an item opens (IniciaTran) is a level inside the
  // item's. A group lost with the connection, or whose commit failed, loses its items: the call
  // that finds out returns the code, and the caller reports the items since its last commit.
  static constexpr int kGroupItems = 5000;
  static constexpr int64_t kGroupMs = 100;
  // Whether commits are now grouped.
  bool StartCommitGroups();
  bool GroupsCommits() const { return groups_; }
  // Whether the item in hand runs in the group; one whose group could not begin runs on its own.
  bool GroupItemOpen() const { return itemOpen_; }
  // Opens an item, first committing the group when it is due (committed tells). A group whose
  // begin fails (another process holds the write lock) leaves the item to run ungrouped.
  [[nodiscard]] int BeginGroupItem(bool& committed);
  [[nodiscard]] int EndGroupItem(bool keep);
  // Commits the group between items; committed tells whether it held any.
  [[nodiscard]] int CommitGroup(bool& committed);
  // Commits the group and stops grouping.
  [[nodiscard]] int StopCommitGroups(bool& committed);

  // A dry run: from StartDryRun on, everything runs in one server transaction that EndDryRun rolls
  // back, so that nothing of it is ever committed. Transactions and commit groups inside it become
  // levels of it (a failed line or write is undone alone, as in a real run, and nothing commits
  // between groups). A dry transaction lost with the connection is never replaced: every call after
  // it is refused. StartDryRun returns 0, or the code of a begin that failed (no dry run started).
  [[nodiscard]] int StartDryRun();
  bool InDryRun() const { return dryRun_; }
  // From now on the dry run counts what it changes: the rows of each table where the driver can
  // count them, and the calls that succeeded of procedures the driver does not know to only read.
  void CountDryRunChanges();
  struct TDryRunChanges {
    bool rowsCounted = false;
    std::vector<TableRowChanges> tables;
    std::map<std::string, int> calls;  // by procedure name
    // 0, or the code of a dry transaction that was lost (the counts are then incomplete).
    int code = 0;
  };
  // Ends the dry run: reads the counts and rolls everything back.
  TDryRunChanges EndDryRun();

  virtual bool TentaReconectar(const std::string& reason);
  void DetectaVersaoDoServidor();

  int ServerVersionIndex() const { return versionIndex_; }
  int DsAcc() const { return dsAcc_; }
  int EvictionIndex() const { return evictionIndex_; }
  // The name of the command cached in a slot; empty when the slot is free.
  std::string CachedCommandName(int slot) const;

  // The clock of the slow-call log, in milliseconds (tests make calls look slow).
  void SetClock(std::function<int64_t()> milliseconds) { clock_ = std::move(milliseconds); }

 private:
  friend class TDbCommand;

  void RunRound(TDbCommand& command, int mode, int& code);
  void LogSlowCall(const TDbCommand& command, int64_t elapsedMs);
  // Settles the code of a failed call, or says that it should run again after a reconnection.
  bool HandleDriverError(TDbCommand& command, int mode, const EDriverError& e, int& code, bool mayRunAgain);
  // While a transaction lost with the connection is open, a call is refused with one log line.
  // The call's name comes in two parts, joined only for the log line.
  bool RefusedInLostTransaction(std::string_view call, std::string_view name = {});
  // After a failed call: a server transaction that is gone while levels are open was lost.
  void NoteLostTransaction(const std::string& call);
  int CommitServerTransaction();
  void RollBackServerTransaction();
  // Ends the level that stands for the outermost IniciaTran inside a group's item.
  int EndLevel(bool commit);
  // A server transaction is open: a transaction's or a group's.
  bool InServerTransaction() const { return depth_ > 0 || groupOpen_ || dryRun_; }
  void NoteDryRunCall(const std::string& procedure);

  // A group lost with its transaction: what is left is rolled back and the code returned.
  int EndLostGroup(const std::string& call, int code);

  std::unique_ptr<Driver> driver_;
  int depth_ = 0;
  // The outermost IniciaTran is a level inside a group's item rather than a transaction.
  bool tranIsLevel_ = false;
  bool groups_ = false;
  bool groupOpen_ = false;
  bool itemOpen_ = false;
  bool groupLost_ = false;
  int groupItems_ = 0;
  int64_t groupStartMs_ = 0;
  bool dryRun_ = false;
  bool dryLost_ = false;
  bool dryCounting_ = false;
  bool dryRowsCounted_ = false;
  std::map<std::string, int> dryCalls_;
  bool rollbackRequested_ = false;
  bool transactionLost_ = false;
  int dsAcc_ = 0;
  int meDaDSFailure_ = 0;
  std::array<std::unique_ptr<TDbCommand>, kCacheSlots> cache_;
  int evictionIndex_ = 0;
  bool reconnectEnabled_;
  std::string displayName_;
  int versionIndex_ = 0;
  std::function<int64_t()> clock_;
};

// The class of the process-wide connection.
class TAdoDataBaseComInfoTran : public TAdoDataBaseCustomizado {
 public:
  explicit TAdoDataBaseComInfoTran(std::unique_ptr<Driver> driver)
      : TAdoDataBaseCustomizado(std::move(driver), true, "ZorInput") {}
  const char* ClassName() const override { return "TAdoDataBaseComInfoTran"; }
};

// The process-wide connection. It exists from the first use on, unconnected: every call on it
// answers kNotConnected until a login gives it a driver. The object stays the same for the whole
// process; a login and DestroyZiDb only change what it is connected to.
TAdoDataBaseComInfoTran& ZiDb();
// Whether a login gave the connection a driver (connected or not since).
bool HaveZiDb();
void CreateZiDb(std::unique_ptr<Driver> driver);
// Closes the connection and leaves it unconnected.
void DestroyZiDb();

// A command taken with MeDaDS and always given back with TomaDataSet.
class TDataSetHolder {
 public:
  TDataSetHolder(TAdoDataBaseCustomizado& db, CommandType type, const std::string& name)
      : db_(db), command_(db.MeDaDS(type, name)) {}
  TDataSetHolder(TAdoDataBaseCustomizado& db, const std::string& procedure)
      : TDataSetHolder(db, CommandType::StoredProc, procedure) {}
  ~TDataSetHolder() {
    if (command_) db_.TomaDataSet(command_);
  }
  TDataSetHolder(const TDataSetHolder&) = delete;
  TDataSetHolder& operator=(const TDataSetHolder&) = delete;

  explicit operator bool() const { return command_ != nullptr; }
  // The code of a command that could not be made: the database's own (99201 when it is busy), else
  // the caller's.
  int Failure(int fallback) const { return db_.MeDaDSFailure() != 0 ? db_.MeDaDSFailure() : fallback; }
  TDbCommand& operator*() const { return *command_; }
  TDbCommand* operator->() const { return command_.get(); }

 private:
  TAdoDataBaseCustomizado& db_;
  std::unique_ptr<TDbCommand> command_;
};

// IniciaTran now; TerminaTran(false) at the end of the scope unless Commit or Rollback ran (an
// exception or an early return rolls the work back). A begin that failed leaves its code in Code()
// and the guard does nothing more.
class TTransactionGuard {
 public:
  explicit TTransactionGuard(TAdoDataBaseCustomizado& db) : db_(db), code_(db.IniciaTran()), ended_(code_ != 0) {}
  ~TTransactionGuard();
  TTransactionGuard(const TTransactionGuard&) = delete;
  TTransactionGuard& operator=(const TTransactionGuard&) = delete;

  int Code() const { return code_; }
  [[nodiscard]] int Commit() { return End(true); }
  [[nodiscard]] int Rollback() { return End(false); }

 private:
  int End(bool commit);

  TAdoDataBaseCustomizado& db_;
  int code_;
  bool ended_;
};

}  // namespace zi::db

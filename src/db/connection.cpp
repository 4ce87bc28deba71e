#include "db/connection.h"

#include <fmt/format.h>

#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/message_window.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"
#include "toolbox/server_version.h"

namespace zi::db {

namespace {

constexpr int64_t kSlowCallMs = 5000;
constexpr int kReconnectAttempts = 20;
// A call is run again after a reconnection, but a server that drops every call is not chased forever.
constexpr int kMaxRounds = 3;
constexpr int kCallFailed = 3939;
constexpr const char* kLostTransactionLine = "Tran: transaction lost with the connection, rolled back";
constexpr const char* kNotRunInLostTransaction = " not run: the transaction was lost with the connection";
constexpr const char* kNotRunAgain = " not run again: the transaction was lost with the connection";
constexpr const char* kForcedRollback = "Tran: error 7144: forced rollback!";
constexpr const char* kGroupLost = ": the group's transaction was lost, its items are not written";
constexpr const char* kDryRunLost = ": the dry run's transaction was lost; nothing more runs in it";
constexpr const char* kDryRunRolledBack = "Tran: dry run rolled back";

std::string DbUtilLine(int line) { return "dbutil line " + std::to_string(line); }

// The code of a driver call that raised: the error's own (kDatabaseBusy for a busy database), else
// kCallFailed.
int FailureCode(const std::exception& e) {
  const auto* db = dynamic_cast<const EDBException*>(&e);
  return db && db->ErrorCode() != 0 ? db->ErrorCode() : kCallFailed;
}

}  // namespace

TAdoDataBaseCustomizado::TAdoDataBaseCustomizado(std::unique_ptr<Driver> driver, bool reconnectEnabled,
                                                 std::string displayName)
    : driver_(std::move(driver)),
      reconnectEnabled_(reconnectEnabled),
      displayName_(std::move(displayName)),
      clock_(platform::MonotonicMs) {}

TAdoDataBaseCustomizado::~TAdoDataBaseCustomizado() { FlushCache(); }

void TAdoDataBaseCustomizado::Open() {
  driver_->Open();
  DetectaVersaoDoServidor();
}

void TAdoDataBaseCustomizado::Close() { driver_->Close(); }

bool TAdoDataBaseCustomizado::Connected() const { return driver_->Connected(); }

std::unique_ptr<TDbCommand> TAdoDataBaseCustomizado::MeDaDS(CommandType type, const std::string& name) {
  ++dsAcc_;
  meDaDSFailure_ = 0;
  for (auto& slot : cache_) {
    if (slot && slot->Type() == type && slot->Name() == name) return std::move(slot);
  }
  try {
    std::unique_ptr<PreparedProcedure> procedure;
    if (type == CommandType::StoredProc) {
      try {
        procedure = driver_->PrepareProcedure(name);
      } catch (const EDriverError& e) {
        // Learning the parameters writes nothing, so outside a transaction a lost connection may be
        // restored and the question asked again.
        if (!e.ConnectionLost() || InServerTransaction() || !TentaReconectar("MeDaDS-" + name)) throw;
        procedure = driver_->PrepareProcedure(name);
      }
    }
    return std::make_unique<TDbCommand>(*this, type, name, std::move(procedure));
  } catch (const std::exception& e) {
    const auto* driverError = dynamic_cast<const EDriverError*>(&e);
    if (driverError && driverError->Busy()) meDaDSFailure_ = kDatabaseBusy;
    Loga("DbUtil.MeDaDS \"" + name + "\" error " + e.what());
    --dsAcc_;
    NoteLostTransaction("DbUtil.MeDaDS " + name);
    return nullptr;
  }
}

void TAdoDataBaseCustomizado::TomaDataSet(std::unique_ptr<TDbCommand>& command) {
  if (!command) return;
  if (&command->Connection() != this) {
    Loga("warning TomaDataSet " + command->Name() + " db:" + command->Connection().ClassName());
    command.reset();
    return;
  }
  --dsAcc_;
  command->Close();
  for (auto& slot : cache_) {
    if (!slot) {
      slot = std::move(command);
      return;
    }
  }
  cache_[static_cast<size_t>(evictionIndex_)] = std::move(command);
  evictionIndex_ = (evictionIndex_ + 1) % kCacheSlots;
}

void TAdoDataBaseCustomizado::FlushCache() {
  for (auto& slot : cache_) slot.reset();
  if (dsAcc_ != 0) Loga("warning DbUtil.FlushCache DsAcc:" + std::to_string(dsAcc_));
}

std::string TAdoDataBaseCustomizado::CachedCommandName(int slot) const {
  if (slot < 0 || slot >= kCacheSlots || !cache_[static_cast<size_t>(slot)]) return {};
  return cache_[static_cast<size_t>(slot)]->Name();
}

int TAdoDataBaseCustomizado::ResultColumnCode(TDbCommand& command) {
  if (!command.IsOpen() || command.Eof()) return 4091;
  if (!command.HasField("result")) return 4090;
  try {
    return command.FieldAsInteger("result");
  } catch (const std::exception& e) {
    Loga("GRAESP " + command.Name() + " error:4370 " + ExceptionClassName(e) + " " + e.what());
    return 4370;
  }
}

void TAdoDataBaseCustomizado::RunRound(TDbCommand& command, int mode, int& code) {
  if (mode < 0 || mode > 2) throw EDBException(4089);
  command.Attach(driver_->ExecutePrepared(*command.procedure_, command.Params()), mode != 0);
  if (mode == 1) code = ResultColumnCode(command);
}

void TAdoDataBaseCustomizado::LogSlowCall(const TDbCommand& command, int64_t elapsedMs) {
  if (elapsedMs <= kSlowCallMs) return;
  Loga(fmt::format("- proc {} ct:{} : ExecStProc succeeded but took too long: {:.2f}s", command.Name(),
                   static_cast<int>(command.Type()), static_cast<double>(elapsedMs) / 1000.0));
  int index = 0;
  for (const auto& p : command.Params()) {
    std::string value;
    try {
      value = ValueForLog(p.value);
    } catch (const std::exception& e) {
      value = std::string("error:") + e.what();
    }
    Loga("- #" + std::to_string(index++) + " " + p.desc.name + " : " + value);
  }
}

bool TAdoDataBaseCustomizado::RefusedInLostTransaction(std::string_view call, std::string_view name) {
  if (!transactionLost_ && !groupLost_ && !dryLost_) return false;
  Loga(std::string(call) + std::string(name) + kNotRunInLostTransaction);
  return true;
}

// The server transaction may be gone with the connection, or the server may have rolled it back
// itself; either way nothing of the transaction will reach the database. Until the caller ends it,
// every call is refused: run alone, it would commit a part of the work on its own.
void TAdoDataBaseCustomizado::NoteLostTransaction(const std::string& call) {
  if (driver_->InTransaction()) return;
  // Run outside it, a call of a dry run would commit.
  if (dryRun_ && !dryLost_) {
    dryLost_ = true;
    Loga(call + kDryRunLost);
  }
  const bool transaction = EstaEmTran() && !transactionLost_;
  const bool group = groupOpen_ && !groupLost_;
  if (!transaction && !group) return;
  if (transaction) {
    transactionLost_ = true;
    rollbackRequested_ = true;
  }
  if (group) groupLost_ = true;
  Loga(call + kNotRunAgain);
}

// A call that fails on a lost connection outside a transaction runs again once the connection is
// restored; inside one it is not run again (the transaction died with the connection).
bool TAdoDataBaseCustomizado::HandleDriverError(TDbCommand& command, int mode, const EDriverError& e, int& code,
                                                bool mayRunAgain) {
  if (e.WrongType()) {
    code = 3542;
    Loga("ExecStProc " + command.Name() + " CRS:" + std::to_string(mode) + " error:3542 " + e.what());
    return false;
  }
  // Another process holds the write lock: the connection is sound, and the caller may try later.
  if (e.Busy()) {
    ReportExceptionWithCode("ExecStProc " + command.Name(), code, e, kDatabaseBusy);
    NoteLostTransaction("ExecStProc " + command.Name());
    return false;
  }
  ReportException("ExecStProc->TentaReconectar", e);
  const bool reconnected = TentaReconectar("ExecStProc-" + command.Name());
  if (reconnected && mayRunAgain && !InServerTransaction()) return true;
  NoteLostTransaction("ExecStProc " + command.Name());
  ReportExceptionWithCode("ExecStProc", code, e, kCallFailed);
  return false;
}

int TAdoDataBaseCustomizado::ExecStProc(TDbCommand& command, int mode) {
  int code = 0;
  if (command.Type() != CommandType::StoredProc) {
    code = 3940;
  } else if (mode == 1 && command.IsOpen()) {
    code = 4097;
    Loga("ExStProc erro:4097 " + command.Name());
  } else if (RefusedInLostTransaction("ExecStProc ", command.Name())) {
    code = kCallFailed;
  }
  bool again = code == 0;
  for (int round = 1; code == 0 && again; ++round) {
    again = false;
    int64_t start = clock_();
    try {
      RunRound(command, mode, code);
      LogSlowCall(command, clock_() - start);
    } catch (const EDriverError& e) {
      again = HandleDriverError(command, mode, e, code, round < kMaxRounds);
    } catch (const std::exception& e) {
      ReportException("ExecStProc", e);
      ReportExceptionWithCode("ExecStProc", code, e, kCallFailed);
    }
  }
  if (code == 0 && mode != 1) {
    try {
      code = ValueAsInteger(command.ReturnValue());
    } catch (const std::exception& e) {
      ReportExceptionWithCode("ExecStProc get return/result", code, e, 3998);
    }
  }
  if (dryCounting_ && code == 0) NoteDryRunCall(command.Name());
  return code;
}

void TAdoDataBaseCustomizado::NoteDryRunCall(const std::string& procedure) {
  if (driver_->ProcedureOnlyReads(procedure) != true) ++dryCalls_[procedure];
}

int TAdoDataBaseCustomizado::ExecStProcId(TDbCommand& command, int id, int mode) {
  command.SetInteger("@id", id);
  return ExecStProc(command, mode);
}

int TAdoDataBaseCustomizado::OpenSql(TDbCommand& command) {
  const std::string call = "OpenSql " + command.Name();
  if (RefusedInLostTransaction(call)) return kCallFailed;
  int code = 0;
  try {
    command.Attach(driver_->ExecuteSql(command.Name(), command.SqlParams()), true);
  } catch (const std::exception& e) {
    ReportExceptionWithCode("OpenSql", code, e, kCallFailed);
    NoteLostTransaction(call);
  }
  return code;
}

int TAdoDataBaseCustomizado::ApplyRowChanges(const std::string& table, const std::vector<RowChange>& changes) {
  const std::string call = "ApplyRowChanges " + table;
  if (RefusedInLostTransaction(call)) return kCallFailed;
  int code = 0;
  try {
    driver_->ApplyRowChanges(table, changes);
  } catch (const std::exception& e) {
    ReportExceptionWithCode(call, code, e, kCallFailed);
    NoteLostTransaction(call);
  }
  return code;
}

int TAdoDataBaseCustomizado::IniciaTran() {
  if (depth_ > 0 || itemOpen_ || dryRun_) {
    if (RefusedInLostTransaction("IniciaTran")) return kCallFailed;
  }
  if (depth_ > 0) {
    ++depth_;
    return 0;
  }
  if (itemOpen_ || dryRun_) {
    try {
      driver_->BeginLevel();
    } catch (const std::exception& e) {
      int code = 0;
      ReportExceptionWithCode("IniciaTran", code, e, kCallFailed);
      NoteLostTransaction("IniciaTran");
      return code;
    }
    tranIsLevel_ = true;
    rollbackRequested_ = false;
    transactionLost_ = false;
    ++depth_;
    return 0;
  }
  Assert250(!driver_->InTransaction(), DbUtilLine(__LINE__));
  // The embedded server's isolation is stricter than read committed, which is all callers need.
  int code = 0;
  try {
    try {
      driver_->Begin();
    } catch (const EDriverError& e) {
      // Nothing has been done yet in this transaction: a lost connection may be restored first.
      if (!e.ConnectionLost() || !TentaReconectar("IniciaTran")) throw;
      driver_->Begin();
    }
  } catch (const std::exception& e) {
    ReportExceptionWithCode("IniciaTran", code, e, kCallFailed);
    return code;
  }
  Assert250(driver_->InTransaction(), DbUtilLine(__LINE__));
  rollbackRequested_ = false;
  transactionLost_ = false;
  ++depth_;
  return 0;
}

int TAdoDataBaseCustomizado::CommitServerTransaction() {
  int code = 0;
  try {
    driver_->Commit();
  } catch (const std::exception& e) {
    ReportExceptionWithCode("TerminaTran", code, e, kCallFailed);
  }
  return code;
}

void TAdoDataBaseCustomizado::RollBackServerTransaction() {
  if (!driver_->InTransaction()) return;
  try {
    driver_->Rollback();
  } catch (const std::exception& e) {
    ReportException("TerminaTran->Rollback", e);
  }
}

int TAdoDataBaseCustomizado::TerminaTran(bool commit) {
  Assert250(depth_ > 0, DbUtilLine(__LINE__));
  --depth_;
  if (!commit) rollbackRequested_ = true;
  if (depth_ > 0) return 0;
  int code = 0;
  if (transactionLost_) {
    Loga(kLostTransactionLine);
    code = kCallFailed;
  } else if (commit && rollbackRequested_) {
    Loga(kForcedRollback);
    FatalRunError250(kForcedRollback);
  }
  const bool rollBack = rollbackRequested_;
  const bool lost = transactionLost_;
  rollbackRequested_ = false;
  transactionLost_ = false;
  if (tranIsLevel_) {
    tranIsLevel_ = false;
    return lost ? code : EndLevel(!rollBack);
  }
  if (!rollBack) code = CommitServerTransaction();
  // A commit that failed may leave the server transaction open: its work is rolled back.
  RollBackServerTransaction();
  Assert250(!driver_->InTransaction(), DbUtilLine(__LINE__));
  return code;
}

int TAdoDataBaseCustomizado::EndLevel(bool commit) {
  try {
    if (commit) driver_->CommitLevel();
    else driver_->RollbackLevel();
  } catch (const std::exception& e) {
    int code = 0;
    ReportExceptionWithCode("TerminaTran", code, e, kCallFailed);
    NoteLostTransaction("TerminaTran");
    return code;
  }
  return 0;
}

bool TAdoDataBaseCustomizado::StartCommitGroups() {
  groups_ = driver_->NestsLevels() && depth_ == 0 && (dryRun_ || !driver_->InTransaction());
  return groups_;
}

int TAdoDataBaseCustomizado::EndLostGroup(const std::string& call, int code) {
  Loga(call + kGroupLost);
  // A dry run's groups are levels of its transaction: losing one loses the dry run, and no call
  // may run after it, where it would commit.
  if (dryRun_ && !dryLost_) {
    dryLost_ = true;
    Loga(call + kDryRunLost);
  }
  RollBackServerTransaction();
  groupOpen_ = false;
  itemOpen_ = false;
  groupLost_ = false;
  return code;
}

int TAdoDataBaseCustomizado::BeginGroupItem(bool& committed) {
  committed = false;
  if (!groups_) return 0;
  Assert250(!itemOpen_ && depth_ == 0, DbUtilLine(__LINE__));
  if (groupOpen_ && (groupItems_ >= kGroupItems || clock_() - groupStartMs_ >= kGroupMs)) {
    if (const int code = CommitGroup(committed)) return code;
  }
  if (!groupOpen_) {
    try {
      if (dryRun_) driver_->BeginLevel();
      else driver_->Begin();
    } catch (const std::exception& e) {
      // The item runs as it would without groups: each of its calls commits on its own.
      int code = 0;
      ReportExceptionWithCode("BeginGroupItem", code, e, kCallFailed);
      return 0;
    }
    groupOpen_ = true;
    groupItems_ = 0;
    groupStartMs_ = clock_();
  }
  try {
    driver_->BeginLevel();
  } catch (const std::exception& e) {
    ReportException("BeginGroupItem", e);
    return EndLostGroup("BeginGroupItem", FailureCode(e));
  }
  itemOpen_ = true;
  ++groupItems_;
  return 0;
}

int TAdoDataBaseCustomizado::EndGroupItem(bool keep) {
  if (!itemOpen_) return 0;
  // An item's own transactions end within it: their guards see to that.
  Assert250(depth_ == 0, DbUtilLine(__LINE__));
  itemOpen_ = false;
  if (groupLost_ || !driver_->InTransaction()) return EndLostGroup("EndGroupItem", kCallFailed);
  try {
    if (keep) driver_->CommitLevel();
    else driver_->RollbackLevel();
  } catch (const std::exception& e) {
    ReportException("EndGroupItem", e);
    return EndLostGroup("EndGroupItem", FailureCode(e));
  }
  return 0;
}

int TAdoDataBaseCustomizado::CommitGroup(bool& committed) {
  committed = false;
  Assert250(!itemOpen_, DbUtilLine(__LINE__));
  if (!groupOpen_) return 0;
  if (groupLost_ || !driver_->InTransaction()) return EndLostGroup("CommitGroup", kCallFailed);
  try {
    if (dryRun_) driver_->CommitLevel();
    else driver_->Commit();
  } catch (const std::exception& e) {
    ReportException("CommitGroup", e);
    return EndLostGroup("CommitGroup", FailureCode(e));
  }
  groupOpen_ = false;
  committed = true;
  return 0;
}

int TAdoDataBaseCustomizado::StopCommitGroups(bool& committed) {
  committed = false;
  if (!groups_) return 0;
  const int code = CommitGroup(committed);
  groups_ = false;
  return code;
}

int TAdoDataBaseCustomizado::StartDryRun() {
  Assert250(!dryRun_ && depth_ == 0 && !groups_ && !driver_->InTransaction(), DbUtilLine(__LINE__));
  int code = 0;
  try {
    try {
      driver_->Begin();
    } catch (const EDriverError& e) {
      if (!e.ConnectionLost() || !TentaReconectar("StartDryRun")) throw;
      driver_->Begin();
    }
  } catch (const std::exception& e) {
    ReportExceptionWithCode("StartDryRun", code, e, kCallFailed);
    return code;
  }
  dryRun_ = true;
  dryLost_ = dryCounting_ = dryRowsCounted_ = false;
  dryCalls_.clear();
  return 0;
}

void TAdoDataBaseCustomizado::CountDryRunChanges() {
  if (!dryRun_ || dryCounting_ || dryLost_) return;
  dryCounting_ = true;
  try {
    dryRowsCounted_ = driver_->StartRowChangeCount();
  } catch (const std::exception& e) {
    ReportException("CountDryRunChanges", e);
    NoteLostTransaction("CountDryRunChanges");
  }
}

TAdoDataBaseCustomizado::TDryRunChanges TAdoDataBaseCustomizado::EndDryRun() {
  TDryRunChanges changes;
  if (!dryRun_) return changes;
  // A run that never reached its import pass changed nothing: its counts are zero, not unknown.
  CountDryRunChanges();
  changes.calls = std::move(dryCalls_);
  if (dryRowsCounted_ && !dryLost_) {
    try {
      changes.tables = driver_->StopRowChangeCount();
      changes.rowsCounted = true;
    } catch (const std::exception& e) {
      ReportException("EndDryRun", e);
      NoteLostTransaction("EndDryRun");
    }
  }
  if (dryLost_) changes.code = kCallFailed;
  // Whatever is still open inside it ends with it.
  depth_ = 0;
  tranIsLevel_ = groups_ = groupOpen_ = itemOpen_ = groupLost_ = false;
  rollbackRequested_ = transactionLost_ = false;
  dryRun_ = dryLost_ = dryCounting_ = dryRowsCounted_ = false;
  dryCalls_.clear();
  RollBackServerTransaction();
  Loga(kDryRunRolledBack);
  return changes;
}

bool TAdoDataBaseCustomizado::TentaReconectar(const std::string& reason) {
  if (!reconnectEnabled_) return false;
  std::string className = ClassName();
  try {
    driver_->ExecuteSql("exec sp_server_info 1", {});
    Loga(className + ".TentaReconectar detected it is still connected; " + reason);
    return false;
  } catch (const std::exception&) {
    // The probe failed: the connection is gone.
  }
  std::unique_ptr<TMessageWindow> window;
  bool connected = false;
  for (int i = 1; i <= kReconnectAttempts && !connected; ++i) {
    Loga(className + ".TentaReconectar #" + std::to_string(i) + " " + reason);
    if (!displayName_.empty()) {
      if (!window) window = CreateMessageWindow(displayName_);
      window->SetLine(1, "Trying to reconnect #" + std::to_string(i));
    }
    try {
      // Opening is synchronous here, so there is no "still connecting" state to wait for.
      driver_->Close();
      driver_->Open();
      connected = driver_->Connected();
    } catch (const std::exception& e) {
      ReportException(className + ".TentaReconectar #" + std::to_string(i), e);
    }
  }
  Loga(className + ".TentaReconectar result:" + (connected ? "Y" : "N"));
  if (window) window->Close();
  return connected;
}

void TAdoDataBaseCustomizado::DetectaVersaoDoServidor() {
  ResultSetData rows;
  std::string version;
  if (driver_->ExecuteSql("SELECT @@VERSION", {})->NextResultSet(rows) && !rows.rows.empty() &&
      !rows.rows.front().empty())
    version = ValueAsText(rows.rows.front().front());
  versionIndex_ = zi::ServerVersionIndex(version);
}

TTransactionGuard::~TTransactionGuard() {
  if (ended_) return;
  if (const int code = End(false)) Loga("TTransactionGuard rollback erro:" + std::to_string(code));
}

int TTransactionGuard::End(bool commit) {
  if (ended_) return code_;
  ended_ = true;
  return db_.TerminaTran(commit);
}

namespace {

// What the connection stands on before a login, or after a failed one: every call fails with
// kNotConnected, which is not a lost connection, so nothing tries to reconnect.
class TNotConnectedDriver final : public Driver {
 public:
  void Open() override { Refuse(); }
  void Close() override {}
  bool Connected() const override { return false; }
  std::vector<ParamDesc> DescribeProcedure(const std::string&) override { Refuse(); }
  std::unique_ptr<DriverResult> ExecuteProcedure(const std::string&, const std::map<std::string, DbValue>&) override {
    Refuse();
  }
  std::unique_ptr<DriverResult> ExecuteSql(const std::string&, const std::vector<DbValue>&) override { Refuse(); }
  void Begin() override { Refuse(); }
  void Commit() override { Refuse(); }
  void Rollback() override { Refuse(); }
  bool InTransaction() const override { return false; }
  void ApplyRowChanges(const std::string&, const std::vector<RowChange>&) override { Refuse(); }

 private:
  [[noreturn]] static void Refuse() {
    throw EDriverError(std::string(OwnCodeText(kNotConnected)) + " (" + std::to_string(kNotConnected) + ")",
                       DriverFailure::Other, kNotConnected);
  }
};

struct TZiDbInstance {
  // Never destroyed: exit procedures and handlers may still reach the connection during shutdown.
  TAdoDataBaseComInfoTran* db = new TAdoDataBaseComInfoTran(std::make_unique<TNotConnectedDriver>());
  bool loginDriver = false;
};

TZiDbInstance& ZiDbInstance() {
  static TZiDbInstance instance;
  return instance;
}

}  // namespace

void TAdoDataBaseCustomizado::ReplaceDriver(std::unique_ptr<Driver> driver) {
  FlushCache();
  driver_ = std::move(driver);
  depth_ = 0;
  tranIsLevel_ = groups_ = groupOpen_ = itemOpen_ = groupLost_ = false;
  dryRun_ = dryLost_ = dryCounting_ = dryRowsCounted_ = false;
  dryCalls_.clear();
  groupItems_ = 0;
  rollbackRequested_ = transactionLost_ = false;
  evictionIndex_ = 0;
  versionIndex_ = 0;
}

TAdoDataBaseComInfoTran& ZiDb() { return *ZiDbInstance().db; }

bool HaveZiDb() { return ZiDbInstance().loginDriver; }

void CreateZiDb(std::unique_ptr<Driver> driver) {
  ZiDbInstance().db->ReplaceDriver(std::move(driver));
  ZiDbInstance().loginDriver = true;
}

void DestroyZiDb() {
  ZiDbInstance().db->ReplaceDriver(std::make_unique<TNotConnectedDriver>());
  ZiDbInstance().loginDriver = false;
}

}  // namespace zi::db

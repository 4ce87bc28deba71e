#pragma once
// What the database layer needs of a database client library. The connection, its command cache,
// ExecStProc, the accessors, transactions and reconnection sit above this and are the same for
// every driver.

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolbox/db_value.h"
#include "toolbox/errors.h"
#include "toolbox/own_codes.h"

namespace zi::db {

enum class ParamDirection { Input, Output, InputOutput, ReturnValue };

struct ParamDesc {
  std::string name;  // with its "@"; the return value's name depends on the server version
  DbType type = DbType::Integer;
  ParamDirection direction = ParamDirection::Input;
  // What a driver binds with: the column size (characters, bytes or precision) and the decimal
  // digits (scale), as the server describes the parameter; 0 where it says nothing.
  int64_t size = 0;
  int16_t digits = 0;
};

// A parameter with the value a call sends.
struct CallParam {
  ParamDesc desc;
  DbValue value;
};

// A procedure as a driver learns it once for all its calls: its parameters, the return value
// first. A driver may keep more here, whatever lets it run the procedure without asking again.
class PreparedProcedure {
 public:
  PreparedProcedure(std::string name, std::vector<ParamDesc> params) : name_(std::move(name)), params_(std::move(params)) {}
  virtual ~PreparedProcedure() = default;
  const std::string& Name() const { return name_; }
  const std::vector<ParamDesc>& Params() const { return params_; }

 private:
  std::string name_;
  std::vector<ParamDesc> params_;
};

struct ResultSetData {
  std::vector<std::string> columns;
  std::vector<std::vector<DbValue>> rows;
};

// The rows of one table that a run changed, as their net effect: a row added and deleted again, or
// changed back, is no change.
struct TableRowChanges {
  std::string table;
  int64_t added = 0;
  int64_t changed = 0;
  int64_t deleted = 0;
};

// What kind of failure a driver error reports, as far as the layer above must tell them apart.
enum class DriverFailure {
  Other,
  ConnectionLost,
  Busy,       // another connection held a lock for longer than the driver waits
  WrongType,  // a parameter was given a value of the wrong type
  Constraint,  // a key taken, a check or a reference that fails
};

// An error reported by the client library or the server (as opposed to the program's own errors).
// Its code is the server's error number when the server gave one, else 0; a busy database is
// kDatabaseBusy whichever driver found it, so that every call that meets one answers that code.
class EDriverError : public EDBException {
 public:
  explicit EDriverError(const std::string& message, DriverFailure failure = DriverFailure::Other, int code = 0)
      : EDBException(code == 0 && failure == DriverFailure::Busy ? kDatabaseBusy : code, message), failure_(failure) {}
  bool ConnectionLost() const { return failure_ == DriverFailure::ConnectionLost; }
  bool Busy() const { return failure_ == DriverFailure::Busy; }
  bool WrongType() const { return failure_ == DriverFailure::WrongType; }
  bool Constraint() const { return failure_ == DriverFailure::Constraint; }

 private:
  DriverFailure failure_;
};

// The outcome of one call: output values at once, result sets as the caller moves to them.
class DriverResult {
 public:
  virtual ~DriverResult() = default;
  // Output parameters and the return value, by name.
  virtual const std::map<std::string, DbValue>& Outputs() const = 0;
  // Moves to the next result set; false when there is none. May raise EDriverError.
  virtual bool NextResultSet(ResultSetData& into) = 0;
};

class Driver {
 public:
  virtual ~Driver() = default;

  virtual void Open() = 0;
  virtual void Close() = 0;
  virtual bool Connected() const = 0;

  virtual std::vector<ParamDesc> DescribeProcedure(const std::string& name) = 0;
  // Inputs by name; an input parameter that is not given is sent as NULL.
  virtual std::unique_ptr<DriverResult> ExecuteProcedure(const std::string& name,
                                                         const std::map<std::string, DbValue>& inputs) = 0;
  // Learns a procedure for many calls; by default its description.
  virtual std::unique_ptr<PreparedProcedure> PrepareProcedure(const std::string& name);
  // Runs a procedure this driver prepared, with one entry per parameter in the prepared order
  // (the values of outputs and of the return value are not sent); by default by name.
  virtual std::unique_ptr<DriverResult> ExecutePrepared(const PreparedProcedure& procedure,
                                                        std::span<const CallParam> params);
  virtual std::unique_ptr<DriverResult> ExecuteSql(const std::string& sql, const std::vector<DbValue>& params) = 0;

  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;

  // Whether the last opening created the database's first user, as its administrator.
  virtual bool CreatedAdministrator() const { return false; }

  // Whether the driver keeps many calls in one server transaction with nested levels in it, so
  // that their commits may be grouped. A driver that cannot commits each call on its own.
  virtual bool NestsLevels() const { return false; }
  // A level inside the open transaction, ended by committing it into the transaction or by
  // undoing its work alone.
  virtual void BeginLevel() { throw EDriverError("This driver keeps no levels inside a transaction"); }
  virtual void CommitLevel() { throw EDriverError("This driver keeps no levels inside a transaction"); }
  virtual void RollbackLevel() { throw EDriverError("This driver keeps no levels inside a transaction"); }

  // Counts, from now on and inside the open transaction, the rows changed in each table; false when
  // the driver cannot count them.
  virtual bool StartRowChangeCount() { return false; }
  // What was counted, read before the transaction ends, by table name; counting stops.
  virtual std::vector<TableRowChanges> StopRowChangeCount() { return {}; }
  // Whether a procedure only reads; nothing when the driver cannot tell.
  virtual std::optional<bool> ProcedureOnlyReads(const std::string&) const { return std::nullopt; }

  // All changes or none.
  virtual void ApplyRowChanges(const std::string& table, const std::vector<RowChange>& changes) = 0;
};

inline std::unique_ptr<PreparedProcedure> Driver::PrepareProcedure(const std::string& name) {
  return std::make_unique<PreparedProcedure>(name, DescribeProcedure(name));
}

inline std::unique_ptr<DriverResult> Driver::ExecutePrepared(const PreparedProcedure& procedure,
                                                             std::span<const CallParam> params) {
  std::map<std::string, DbValue> inputs;
  for (const CallParam& p : params)
    if (p.desc.direction == ParamDirection::Input || p.desc.direction == ParamDirection::InputOutput)
      inputs[p.desc.name] = p.value;
  return ExecuteProcedure(procedure.Name(), inputs);
}

}  // namespace zi::db

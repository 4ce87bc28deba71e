#pragma once
// The driver that reaches a real database server through ODBC (unixODBC with FreeTDS, or another
// ODBC driver a site has). Procedures are called as "{? = call name(?, ...)}" with their
// parameters bound by name, as the server describes them; every result set is read before the
// return value and the output parameters, which the server sends last. Each call commits on its
// own unless the layer above opened a transaction.

#include <map>
#include <memory>
#include <string>

#include "db/driver.h"
#include "db/driver_registry.h"
#include "db/drivers/odbc_api.h"
#include "db/drivers/odbc_handles.h"

namespace zi::db {

inline constexpr const char* kDefaultOdbcDriver = "FreeTDS";
inline constexpr const char* kApplicationName = "ZorInput";
inline constexpr SQLULEN kLoginTimeoutSeconds = 180;
inline constexpr SQLULEN kCommandTimeoutSeconds = 130;

// The ODBC connection string of the settings. A value that holds a separator or a brace is
// enclosed in braces, so that a password cannot add keywords of its own.
std::string OdbcConnectionString(const ConnectionSettings& settings);

class OdbcProcedure;

class OdbcDriver : public Driver {
 public:
  explicit OdbcDriver(ConnectionSettings settings, OdbcApi& api = SystemOdbcApi());
  ~OdbcDriver() override;

  void Open() override;
  void Close() override;
  bool Connected() const override { return connected_; }

  // Learned from SQLProcedureColumns once per procedure name.
  std::vector<ParamDesc> DescribeProcedure(const std::string& name) override;
  std::unique_ptr<DriverResult> ExecuteProcedure(const std::string& name,
                                                 const std::map<std::string, DbValue>& inputs) override;
  std::unique_ptr<PreparedProcedure> PrepareProcedure(const std::string& name) override;
  std::unique_ptr<DriverResult> ExecutePrepared(const PreparedProcedure& procedure,
                                                std::span<const CallParam> params) override;
  std::unique_ptr<DriverResult> ExecuteSql(const std::string& sql, const std::vector<DbValue>& params) override;

  void Begin() override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override { return inTransaction_; }
  // Savepoints, for a dry run only (NestsLevels stays false: a real run's calls commit one by one).
  // SQL Server releases no savepoint, so a level is named by its depth: a name used again marks the
  // newest savepoint of that name, the one a rollback at that depth returns to, and committing a
  // level leaves its work in the transaction.
  void BeginLevel() override;
  void CommitLevel() override;
  void RollbackLevel() override;

  // Each change as one parameterised statement, all in one transaction (the caller's, if open).
  void ApplyRowChanges(const std::string& table, const std::vector<RowChange>& changes) override;

 private:
  const OdbcProcedure& Learn(const std::string& name);
  OdbcHandle NewStatement();
  std::unique_ptr<DriverResult> Call(const OdbcProcedure& procedure, std::span<const CallParam> params);
  void EndTransaction(SQLSMALLINT completion, const char* what);
  void SetAutoCommit(bool on);
  int64_t RunChange(const std::string& sql, const std::vector<DbValue>& params);

  ConnectionSettings settings_;
  OdbcApi& api_;
  OdbcHandle env_;
  OdbcHandle dbc_;
  bool connected_ = false;
  bool inTransaction_ = false;
  int levels_ = 0;
  std::map<std::string, std::shared_ptr<const OdbcProcedure>> procedures_;
};

// Registers the ODBC driver under the providers it serves: "odbc" and the SQL Server provider
// names a site's settings may carry.
void RegisterOdbcDriver();

}  // namespace zi::db

#pragma once
// The default driver: the substitute server in this process, over an SQLite file.

#include <string>

#include "db/driver.h"
#include "db/driver_registry.h"

namespace zi::server {
class Registry;
class Server;
struct ProcedureResult;
}  // namespace zi::server

namespace zi::db {

class EmbeddedDriver : public Driver {
 public:
  // The registry must outlive the driver; without one, the default registry is used: the
  // product's, or the one a test installed.
  explicit EmbeddedDriver(std::string path, const server::Registry* registry = nullptr);
  static void SetDefaultRegistryForTests(const server::Registry* registry);
  ~EmbeddedDriver() override;

  // The user and password the server checks at every opening of the connection.
  void SetCredentials(std::string user, std::string password);
  // Logs the user in with the ticket of the remote import a worker started, instead of a password.
  void SetImportTicket(std::string ticket) { importTicket_ = std::move(ticket); }
  // Whether the first opening may create a missing file; a reconnection never does.
  void SetMayCreate(bool mayCreate) { mayCreate_ = mayCreate; }
  // Whether the last opening created the database's first user, as its administrator.
  bool CreatedAdministrator() const override { return createdAdministrator_; }

  void Open() override;
  void Close() override;
  bool Connected() const override;

  std::vector<ParamDesc> DescribeProcedure(const std::string& name) override;
  std::unique_ptr<DriverResult> ExecuteProcedure(const std::string& name,
                                                 const std::map<std::string, DbValue>& inputs) override;
  std::unique_ptr<DriverResult> ExecuteSql(const std::string& sql, const std::vector<DbValue>& params) override;
  // A prepared procedure keeps the server's declaration and is run with its values in place.
  std::unique_ptr<PreparedProcedure> PrepareProcedure(const std::string& name) override;
  std::unique_ptr<DriverResult> ExecutePrepared(const PreparedProcedure& procedure,
                                                std::span<const CallParam> params) override;

  void Begin() override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override;
  bool NestsLevels() const override { return true; }
  void BeginLevel() override;
  void CommitLevel() override;
  void RollbackLevel() override;

  // SQLite's session extension counts the rows by primary key.
  bool StartRowChangeCount() override;
  std::vector<TableRowChanges> StopRowChangeCount() override;
  // The server's declaration says.
  std::optional<bool> ProcedureOnlyReads(const std::string& name) const override;

  void ApplyRowChanges(const std::string& table, const std::vector<RowChange>& changes) override;

  // The server behind the connection, while it is open.
  server::Server* Server() const { return server_.get(); }

  // Fault injection, used only by tests: they reproduce what a network connection does to a client.
  struct Faults {
    int failCall = 0;            // the n-th call from now fails (1 = the next one); 0 = none
    bool failPersistent = false;  // and every call after it
    bool failAsConnectionLoss = false;
    bool failAsBusy = false;  // as when another process holds the write lock past the busy wait
    int failOpens = 0;  // the next n opens fail
  };
  // The connection is lost now: the server's open transaction is gone, every call fails until reopened.
  void DropConnection();
  void InjectFaults(const Faults& faults);

 private:
  void BeforeCall();
  // What the server raised, as the driver error that reaches the caller.
  static EDriverError DriverErrorOf(const std::exception& e);
  std::unique_ptr<DriverResult> ResultOf(server::ProcedureResult result, const std::string& returnName);
  // Runs one server call; what the server raises reaches the caller as a driver error.
  template <typename F>
  auto Call(F&& call) {
    BeforeCall();
    try {
      return call();
    } catch (const std::exception& e) {
      throw DriverErrorOf(e);
    }
  }

  std::string path_;
  std::string user_;
  std::string password_;
  std::string importTicket_;
  bool mayCreate_ = true;
  // The first opening checks the file's integrity; reconnections find the file they left.
  bool opened_ = false;
  bool createdAdministrator_ = false;
  const server::Registry* registry_;
  std::unique_ptr<server::Server> server_;
  bool dropped_ = false;
  // Counts openings and losses, so that a result set of a connection that is gone cannot be read.
  std::shared_ptr<int> generation_ = std::make_shared<int>(0);
  Faults faults_;
  int callsSinceFaults_ = 0;
};

// Registers the embedded driver under the provider "embedded": the settings' database is the file,
// created when the settings allow it.
void RegisterEmbeddedDriver();

}  // namespace zi::db

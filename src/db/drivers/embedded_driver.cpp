#include "db/drivers/embedded_driver.h"

#include "server/server.h"
#include "toolbox/codec.h"

namespace zi::db {

namespace {

constexpr const char* kConnectionLost = "Connection failure: the connection to the database was lost";

ParamDirection DirectionOf(server::ParamDirection d) {
  switch (d) {
    case server::ParamDirection::Input: return ParamDirection::Input;
    case server::ParamDirection::Output: return ParamDirection::Output;
    case server::ParamDirection::InputOutput: return ParamDirection::InputOutput;
    case server::ParamDirection::ReturnValue: return ParamDirection::ReturnValue;
  }
  return ParamDirection::Input;
}

// Result sets of the embedded server are complete when the call returns; moving to one still needs
// the connection that produced it, as with a server across a network.
class EmbeddedResult : public DriverResult {
 public:
  EmbeddedResult(std::map<std::string, DbValue> outputs, std::vector<server::ResultSet> sets,
                 std::shared_ptr<const int> generation, int expected)
      : outputs_(std::move(outputs)), sets_(std::move(sets)), generation_(std::move(generation)), expected_(expected) {}

  const std::map<std::string, DbValue>& Outputs() const override { return outputs_; }

  bool NextResultSet(ResultSetData& into) override {
    if (next_ >= sets_.size()) return false;
    if (*generation_ != expected_) throw EDriverError(kConnectionLost, DriverFailure::ConnectionLost);
    into.columns = std::move(sets_[next_].columns);
    into.rows = std::move(sets_[next_].rows);
    ++next_;
    return true;
  }

 private:
  std::map<std::string, DbValue> outputs_;
  std::vector<server::ResultSet> sets_;
  size_t next_ = 0;
  std::shared_ptr<const int> generation_;
  int expected_;
};

const server::Registry* defaultRegistryForTests = nullptr;

// The declaration comes from the registry, which outlives the driver and every server it opens;
// its parameters follow the return value in the description, in the same order.
class EmbeddedProcedure : public PreparedProcedure {
 public:
  EmbeddedProcedure(std::string name, std::vector<ParamDesc> params, const server::ProcedureDecl& decl)
      : PreparedProcedure(std::move(name), std::move(params)), decl_(decl) {}
  const server::ProcedureDecl& Decl() const { return decl_; }

 private:
  const server::ProcedureDecl& decl_;
};

}  // namespace

EmbeddedDriver::EmbeddedDriver(std::string path, const server::Registry* registry)
    : path_(std::move(path)),
      registry_(registry                    ? registry
                : defaultRegistryForTests ? defaultRegistryForTests
                                          : &server::ProductRegistry()) {}

void EmbeddedDriver::SetDefaultRegistryForTests(const server::Registry* registry) {
  defaultRegistryForTests = registry;
}

EmbeddedDriver::~EmbeddedDriver() = default;

void EmbeddedDriver::Open() {
  if (faults_.failOpens > 0) {
    --faults_.failOpens;
    throw EDriverError("Could not open the database " + PathText(path_) + ": the server did not answer",
                       DriverFailure::ConnectionLost);
  }
  std::unique_ptr<server::Server> server;
  server::Server::LoginResult login;
  try {
    server = server::Server::Open(path_, *registry_, {.mayCreate = mayCreate_ && !opened_, .checkIntegrity = !opened_});
    if (importTicket_.empty()) login = server->Login(user_, password_);
    else login.code = server->LoginWithImportTicket(user_, importTicket_);
  } catch (const std::exception& e) {
    throw DriverErrorOf(e);
  }
  if (login.code != 0) {
    // A name with control characters would forge log lines: it is not shown.
    const std::string who = server::HasControlCharacters(user_) ? "a name with control characters" : "'" + user_ + "'";
    throw EDriverError("Login failed for user " + who + ".", DriverFailure::Other, login.code);
  }
  createdAdministrator_ = login.createdAdministrator;
  opened_ = true;
  server_ = std::move(server);
  dropped_ = false;
}

void EmbeddedDriver::SetCredentials(std::string user, std::string password) {
  user_ = std::move(user);
  password_ = std::move(password);
}

void EmbeddedDriver::Close() {
  server_.reset();
  ++*generation_;
}

bool EmbeddedDriver::Connected() const { return server_ != nullptr; }

void EmbeddedDriver::DropConnection() {
  // Closing the SQLite connection rolls back its open transaction, as a server does for a lost client.
  server_.reset();
  dropped_ = true;
  ++*generation_;
}

void EmbeddedDriver::InjectFaults(const Faults& faults) {
  faults_ = faults;
  callsSinceFaults_ = 0;
}

void EmbeddedDriver::BeforeCall() {
  if (!server_) {
    throw EDriverError(dropped_ ? kConnectionLost : "Operation is not allowed when the object is closed",
                       dropped_ ? DriverFailure::ConnectionLost : DriverFailure::Other);
  }
  if (faults_.failCall == 0) return;
  ++callsSinceFaults_;
  bool fails = faults_.failPersistent ? callsSinceFaults_ >= faults_.failCall : callsSinceFaults_ == faults_.failCall;
  if (!fails) return;
  if (faults_.failAsConnectionLoss) {
    DropConnection();
    throw EDriverError(kConnectionLost, DriverFailure::ConnectionLost);
  }
  if (faults_.failAsBusy) throw EDriverError("database is locked", DriverFailure::Busy);
  throw EDriverError("The server failed call " + std::to_string(callsSinceFaults_));
}

EDriverError EmbeddedDriver::DriverErrorOf(const std::exception& e) {
  const auto* refusal = dynamic_cast<const server::ServerError*>(&e);
  if (!refusal) return EDriverError(e.what());
  DriverFailure failure = DriverFailure::Other;
  if (refusal->GetKind() == server::ServerError::Kind::Busy) failure = DriverFailure::Busy;
  if (refusal->GetKind() == server::ServerError::Kind::WrongType) failure = DriverFailure::WrongType;
  return EDriverError(e.what(), failure, refusal->AnswerCode());
}

std::vector<ParamDesc> EmbeddedDriver::DescribeProcedure(const std::string& name) {
  return Call([&] {
    std::vector<ParamDesc> params;
    for (const auto& p : server_->Describe(name)) params.push_back({p.name, p.type, DirectionOf(p.direction)});
    return params;
  });
}

std::unique_ptr<DriverResult> EmbeddedDriver::ResultOf(server::ProcedureResult result, const std::string& returnName) {
  result.outputs[returnName] = result.returnValue;
  return std::make_unique<EmbeddedResult>(std::move(result.outputs), std::move(result.resultSets), generation_,
                                          *generation_);
}

std::unique_ptr<DriverResult> EmbeddedDriver::ExecuteProcedure(const std::string& name,
                                                               const std::map<std::string, DbValue>& inputs) {
  return Call([&] { return ResultOf(server_->Execute(name, inputs), server_->ReturnValueName()); });
}

std::unique_ptr<PreparedProcedure> EmbeddedDriver::PrepareProcedure(const std::string& name) {
  std::vector<ParamDesc> params = DescribeProcedure(name);
  const server::ProcedureDecl* decl = registry_->Find(name);
  if (!decl) return std::make_unique<PreparedProcedure>(name, std::move(params));
  return std::make_unique<EmbeddedProcedure>(name, std::move(params), *decl);
}

std::unique_ptr<DriverResult> EmbeddedDriver::ExecutePrepared(const PreparedProcedure& procedure,
                                                              std::span<const CallParam> params) {
  const auto* prepared = dynamic_cast<const EmbeddedProcedure*>(&procedure);
  if (!prepared) return Driver::ExecutePrepared(procedure, params);
  return Call([&] {
    // The first entry is the return value; the others are the declaration's parameters in order,
    // read in place (the server ignores what an output holds).
    const server::InputValues inputs(params.data() + 1, params.size() - 1, [](const void* records, size_t position) -> const DbValue& {
      return static_cast<const CallParam*>(records)[position].value;
    });
    return ResultOf(server_->Execute(prepared->Decl(), inputs), params.front().desc.name);
  });
}

std::unique_ptr<DriverResult> EmbeddedDriver::ExecuteSql(const std::string& sql, const std::vector<DbValue>& params) {
  return Call([&]() -> std::unique_ptr<DriverResult> {
    return std::make_unique<EmbeddedResult>(std::map<std::string, DbValue>{}, server_->ExecuteSql(sql, params),
                                            generation_, *generation_);
  });
}

void EmbeddedDriver::Begin() {
  Call([&] { server_->Begin(); });
}

void EmbeddedDriver::Commit() {
  Call([&] { server_->Commit(); });
}

void EmbeddedDriver::Rollback() {
  Call([&] { server_->Rollback(); });
}

bool EmbeddedDriver::InTransaction() const { return server_ && server_->InTransaction(); }

void EmbeddedDriver::BeginLevel() {
  Call([&] { server_->BeginLevel(); });
}

void EmbeddedDriver::CommitLevel() {
  Call([&] { server_->CommitLevel(); });
}

void EmbeddedDriver::RollbackLevel() {
  Call([&] { server_->RollbackLevel(); });
}

void EmbeddedDriver::ApplyRowChanges(const std::string& table, const std::vector<RowChange>& changes) {
  Call([&] { server_->ApplyRowChanges(table, changes); });
}

bool EmbeddedDriver::StartRowChangeCount() {
  Call([&] { server_->StartChangeCount(); });
  return true;
}

std::vector<TableRowChanges> EmbeddedDriver::StopRowChangeCount() {
  return Call([&] {
    std::vector<TableRowChanges> counts;
    for (const server::TableChangeCount& c : server_->StopChangeCount())
      counts.push_back({c.table, c.added, c.changed, c.deleted});
    return counts;
  });
}

std::optional<bool> EmbeddedDriver::ProcedureOnlyReads(const std::string& name) const {
  const server::ProcedureDecl* decl = registry_->Find(name);
  if (!decl) return std::nullopt;
  return decl->access == server::ProcAccess::Reads;
}

void RegisterEmbeddedDriver() {
  RegisterDriver({"embedded"}, [](const ConnectionSettings& settings) {
    auto driver = std::make_unique<EmbeddedDriver>(settings.database);
    driver->SetCredentials(settings.user, settings.password);
    driver->SetImportTicket(settings.importTicket);
    driver->SetMayCreate(settings.mayCreate);
    return driver;
  });
}

}  // namespace zi::db

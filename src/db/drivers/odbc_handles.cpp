#include "db/drivers/odbc_handles.h"

#include <array>
#include <utility>

namespace zi::db {

namespace {

constexpr int kLockTimeOut = 1222;

}  // namespace

std::vector<OdbcDiagnostic> OdbcDiagnostics(OdbcApi& api, SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<OdbcDiagnostic> records;
  if (handle == SQL_NULL_HANDLE) return records;
  for (SQLSMALLINT i = 1;; ++i) {
    std::array<SQLCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::array<SQLCHAR, 1024> message{};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = api.GetDiagRec(type, handle, i, state.data(), &native, message.data(),
                                        static_cast<SQLSMALLINT>(message.size()), &length);
    if (!OdbcSucceeded(rc)) break;
    const size_t shown = std::min(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1);
    records.push_back({std::string(reinterpret_cast<const char*>(state.data()), 5), static_cast<int>(native),
                       std::string(reinterpret_cast<const char*>(message.data()), shown)});
  }
  return records;
}

DriverFailure OdbcFailureOf(const std::vector<OdbcDiagnostic>& diagnostics) {
  for (const OdbcDiagnostic& d : diagnostics) {
    const std::string_view state = d.state;
    // The server's "Lock request time out period exceeded": another session holds the lock.
    if (d.native == kLockTimeOut) return DriverFailure::Busy;
    if (state.starts_with("08") || state == "HYT00" || state == "HYT01") return DriverFailure::ConnectionLost;
    if (state == "07006" || state == "22018" || state == "HY105") return DriverFailure::WrongType;
    if (state.starts_with("23")) return DriverFailure::Constraint;
  }
  return DriverFailure::Other;
}

EDriverError OdbcError(std::string_view what, const std::vector<OdbcDiagnostic>& diagnostics) {
  std::string message(what);
  message += ':';
  for (const OdbcDiagnostic& d : diagnostics) {
    message += " [" + d.state + "] " + d.message;
    if (d.native != 0) message += " (native " + std::to_string(d.native) + ")";
    message += ';';
  }
  if (diagnostics.empty()) message += " the driver gave no diagnostics;";
  message.pop_back();
  // The server's number stays in the text for the log; the call's code is the layer's to decide.
  return EDriverError(message, OdbcFailureOf(diagnostics));
}

SQLRETURN OdbcCheck(OdbcApi& api, SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, std::string_view what,
                    SQLRETURN accepted) {
  if (OdbcSucceeded(rc) || rc == accepted) return rc;
  throw OdbcError(what, OdbcDiagnostics(api, type, handle));
}

OdbcHandle::OdbcHandle(OdbcApi& api, SQLSMALLINT type, SQLHANDLE parent) : api_(&api), type_(type) {
  const SQLRETURN rc = api.AllocHandle(type, parent, &handle_);
  if (OdbcSucceeded(rc)) return;
  handle_ = SQL_NULL_HANDLE;
  const SQLSMALLINT parentType = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
  throw OdbcError("ODBC could not allocate a handle", OdbcDiagnostics(api, parentType, parent));
}

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : api_(other.api_), type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
  if (this != &other) {
    Reset();
    api_ = other.api_;
    type_ = other.type_;
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

OdbcHandle::~OdbcHandle() { Reset(); }

void OdbcHandle::Reset() {
  if (handle_ != SQL_NULL_HANDLE) api_->FreeHandle(type_, handle_);
  handle_ = SQL_NULL_HANDLE;
}

}  // namespace zi::db

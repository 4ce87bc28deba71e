#pragma once
// Owned ODBC handles and the diagnostics of a failed call, as the driver error the layer above
// acts on: its kind from the SQLSTATEs, the server's own error number kept for the log.

#include <string>
#include <string_view>
#include <vector>

#include "db/driver.h"
#include "db/drivers/odbc_api.h"

namespace zi::db {

struct OdbcDiagnostic {
  std::string state;  // the five-character SQLSTATE
  int native = 0;     // the server's error number (547, 2627, 50000 ...), 0 when it gave none
  std::string message;
};

std::vector<OdbcDiagnostic> OdbcDiagnostics(OdbcApi& api, SQLSMALLINT type, SQLHANDLE handle);

// The kind of failure the records tell: a lost connection or time-out (08xxx, HYT00, HYT01), a
// value of the wrong type for a parameter (07006, 22018, HY105), a broken constraint (23xxx), or
// another.
DriverFailure OdbcFailureOf(const std::vector<OdbcDiagnostic>& diagnostics);

// "<what>: [SQLSTATE] message (native n); ...", without a code of its own.
EDriverError OdbcError(std::string_view what, const std::vector<OdbcDiagnostic>& diagnostics);

// Whether a call's return code is a success (SQL_SUCCESS or SQL_SUCCESS_WITH_INFO).
inline bool OdbcSucceeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Raises the handle's diagnostics when rc is neither a success nor one of the accepted codes.
SQLRETURN OdbcCheck(OdbcApi& api, SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, std::string_view what,
                    SQLRETURN accepted = SQL_SUCCESS);

class OdbcHandle {
 public:
  OdbcHandle() = default;
  // Allocates a handle of the type under its parent; raises what the parent reports on failure.
  OdbcHandle(OdbcApi& api, SQLSMALLINT type, SQLHANDLE parent);
  OdbcHandle(OdbcHandle&& other) noexcept;
  OdbcHandle& operator=(OdbcHandle&& other) noexcept;
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  ~OdbcHandle();

  SQLHANDLE Get() const { return handle_; }
  SQLSMALLINT Type() const { return type_; }
  explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
  void Reset();

 private:
  OdbcApi* api_ = nullptr;
  SQLSMALLINT type_ = 0;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

}  // namespace zi::db

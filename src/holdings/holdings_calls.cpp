#include "holdings/holdings_calls.h"

#include <cmath>
#include <exception>

#include "db/connection.h"

#include "toolbox/log.h"
#include "toolbox/own_codes.h"

namespace zi {

int GuardedHoldingsCall(const char* where, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    int code = 0;
    ReportExceptionWithCode(where, code, e, kHoldingsCallRaised);
    return code;
  }
}

int RunSqlText(const std::string& sql, std::vector<DbValue> params) {
  db::TDataSetHolder ds(db::ZiDb(), db::CommandType::Text, sql);
  if (!ds) return ds.Failure(kHoldingsCallRaised);
  ds->SetSqlParams(std::move(params));
  const int code = db::ZiDb().OpenSql(*ds);
  ds->Close();
  return code;
}

void SetNumberParam(db::TDbCommand& ds, const std::string& name, double value) {
  if (std::isfinite(value)) {
    ds.SetFloat(name, value);
  } else {
    ds.ClearParam(name);
  }
}

}  // namespace zi

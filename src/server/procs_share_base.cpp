#include "server/procedures.h"

#include <string>
#include <vector>

#include "server/day_numbers.h"
#include "server/multi_result.h"
#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"

namespace zi::server {

namespace {

// What the share-base procedures answer besides 0 (the shared codes of proc_checks.h keep their
// meanings here). Every logged-in user may read and write share bases.
// - 18456 without a logged-in user, or when the user's row is gone;
// - 8604 DelBaseAcionaria for a share base that has no row;
// - 99101 NULL where a value is required: company, date, source, class, the three statuses;
// - 99102 a date without a day number, a source outside 0..7, a class below 1, a status outside
//   0..255;
// - 99103 PutBaseAcionaria for a company or a class name that does not exist;
// - 99104 GetBaseAcDaEmp for a company that does not exist (its first result row).
// A share base is the rows of a company, date and source, one per class; a number is NULL where
// there is none. PutBaseAcionaria writes the row of its class; with @DelOutrasClasses it first
// drops the share base's rows of every other class. @MigracaoNaoMandaLog is accepted and not
// stored. GetBaseAcDaEmp (multi-result) lists the rows of a source, or of one date when @Data is
// not NULL, by date and class.

constexpr int64_t kLastSource = 7;
constexpr int64_t kLastStatus = 255;

const char* const kStatuses[] = {"@StatTot", "@StatEm", "@StatEx"};

int ShareBaseKey(ProcContext& call, int64_t& day) {
  return FirstFailure({RequireUser(call), call.IsNull("@IdEmp") ? kValueMissing : 0,
                       RequiredDay(call.In("@Data"), day), IntegerIn(call, "@Source", 0, kLastSource)});
}

int GetBaseAcDaEmp(ProcContext& call) {
  int code = FirstFailure({RequireUser(call), call.IsNull("@IdEmp") ? kValueMissing : 0,
                           IntegerIn(call, "@Source", 0, kLastSource)});
  DbValue day;
  if (code == 0) code = OptionalDay(call.In("@Data"), day);
  if (code == 0 && !Exists(call, "SELECT EXISTS (SELECT 1 FROM empresa WHERE id = ?)", {call.In("@IdEmp")}))
    code = kNotFound;
  return AnswerMultiResult(call, code,
                           "SELECT emp AS IdEmp, dia + 7306 AS Data, source AS Source, idclass AS IdClass, "
                           "total AS Total, emtes AS EmTesouraria, extes AS ExTesouraria, stattot AS StatTot, "
                           "statem AS StatEm, statex AS StatEx FROM BaseAcionaria "
                           "WHERE emp = ? AND source = ? AND (? IS NULL OR dia = ?) ORDER BY dia, idclass",
                           {call.In("@IdEmp"), call.In("@Source"), day, day});
}

int PutBaseAcionaria(ProcContext& call) {
  int64_t day = 0;
  if (const int code = ShareBaseKey(call, day)) return code;
  if (const int code = IntegerIn(call, "@IdClass", 1, INT32_MAX)) return code;
  for (const char* status : kStatuses) {
    if (const int code = IntegerIn(call, status, 0, kLastStatus)) return code;
  }
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM empresa WHERE id = ?)", {call.In("@IdEmp")}) ||
      !Exists(call, "SELECT EXISTS (SELECT 1 FROM Classes WHERE id = ?)", {call.In("@IdClass")})) {
    return kUnknownReference;
  }
  if (Flag(call, "@DelOutrasClasses")) {
    call.Db().Run("DELETE FROM BaseAcionaria WHERE emp = ? AND dia = ? AND source = ? AND idclass <> ?",
                  {call.In("@IdEmp"), day, call.In("@Source"), call.In("@IdClass")});
  }
  call.Db().Run("INSERT OR REPLACE INTO BaseAcionaria (emp, dia, source, idclass, total, stattot, emtes, statem, "
                "extes, statex) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                {call.In("@IdEmp"), day, call.In("@Source"), call.In("@IdClass"), call.In("@Total"),
                 call.In("@StatTot"), call.In("@EmTesouraria"), call.In("@StatEm"), call.In("@ExTesouraria"),
                 call.In("@StatEx")});
  return 0;
}

int DelBaseAcionaria(ProcContext& call) {
  int64_t day = 0;
  if (const int code = ShareBaseKey(call, day)) return code;
  const int64_t deleted = call.Db().Run("DELETE FROM BaseAcionaria WHERE emp = ? AND dia = ? AND source = ?",
                                        {call.In("@IdEmp"), day, call.In("@Source")});
  return deleted == 0 ? kNotFoundToDelete : 0;
}

ParamInfo In(const char* name, DbType type) { return {name, type, ParamDirection::Input}; }

}  // namespace

void RegisterShareBaseProcedures(Registry& registry) {
  constexpr DbType kInt = DbType::Integer;
  constexpr DbType kFloat = DbType::Float;
  const std::vector<ParamInfo> key{In("@IdEmp", kInt), In("@Data", DbType::DateTime), In("@Source", kInt)};
  registry.Add({"GetBaseAcDaEmp", ProcAccess::Reads, key, GetBaseAcDaEmp});
  std::vector<ParamInfo> put = key;
  for (const ParamInfo& p : {In("@IdClass", kInt), In("@Total", kFloat), In("@StatTot", kInt),
                             In("@EmTesouraria", kFloat), In("@StatEm", kInt), In("@ExTesouraria", kFloat),
                             In("@StatEx", kInt), In("@DelOutrasClasses", DbType::Boolean),
                             In("@MigracaoNaoMandaLog", DbType::Boolean)}) {
    put.push_back(p);
  }
  registry.Add({"PutBaseAcionaria", ProcAccess::Writes, put, PutBaseAcionaria});
  registry.Add({"DelBaseAcionaria", ProcAccess::Writes, key, DelBaseAcionaria});
}

}  // namespace zi::server

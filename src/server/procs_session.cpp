#include "server/procedures.h"

#include <cstdint>
#include <optional>

#include "server/proc_checks.h"
#include "server/server.h"
#include "server/session_user.h"

namespace zi::server {

namespace {

constexpr int kClientOutdated = 3695;
constexpr int64_t kOldestClientVersion = 22;

int CheckClientVersionV2(ProcContext& call) {
  if (!ReadSessionUser(call)) return kLoginFailed;
  const DbValue& version = call.In("@ClientVersion");
  if (version.IsNull() || version.AsInteger() < kOldestClientVersion) return kClientOutdated;
  call.SetOut("@ServerTime", call.Now());
  return 0;
}

int GetInfoDoUsuario(ProcContext& call) {
  const std::optional<SessionUser> user = ReadSessionUser(call);
  if (!user) return kLoginFailed;
  call.SetOut("@SourceDoBal", user->sourceDoBal);
  call.SetOut("@UserFlag", user->userFlag);
  call.SetOut("@email", user->email);
  call.SetOut("@name", user->name);
  call.SetOut("@uid", user->id);
  call.SetOut("@IsAdmin", user->isAdmin);
  call.SetOut("@lingua", user->lingua);
  return 0;
}

// May the user change an item? In this order:
// - without a logged-in user, or when the user's row is gone: 18456;
// - an @id that is NULL, not positive or of no such item names no item: 99104, whoever asks;
// - else the answer of the right that guards the item's writers (session_user.h): ChkEmpDoUsr
//   the company right (0, or 15258), ChkAnbDoUsr the series right (0, or 99108).
ProcHandler CheckRightOverItem(const char* existsSql, UserRight right) {
  return [existsSql, right](ProcContext& call) {
    const std::optional<SessionUser> user = ReadSessionUser(call);
    if (!user) return kLoginFailed;
    const DbValue& id = call.In("@id");
    if (id.IsNull() || id.AsInteger() <= 0 || !Exists(call, existsSql, {id})) return kNotFound;
    return right(*user);
  };
}

// The desktop's procedures. The substitute server keeps no password age: "@lpc" is NULL and
// "@lpcttlwarn" -1 (no warning). "DataLogDump" gives the latest rows of the data log.
constexpr int kDataLogDumpRows = 1000;

int UsrGetData(ProcContext& call) {
  if (!ReadSessionUser(call)) return kLoginFailed;
  call.SetOut("@lpc", DbValue());
  call.SetOut("@lpcttlwarn", -1);
  return 0;
}

int DataLogDump(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  call.AddResultSet("SELECT id, tip, oid, aux, date, txt, usuario, momento FROM DataLog ORDER BY id DESC LIMIT ?",
                    {DbValue(kDataLogDumpRows)});
  return 0;
}

}  // namespace

void RegisterSessionProcedures(Registry& registry) {
  registry.Add({"CheckClientVersionV2",
                ProcAccess::Reads,
                {{"@ClientVersion", DbType::Integer},
                 {"@PatchNum", DbType::Integer},
                 {"@ServerTime", DbType::DateTime, ParamDirection::Output}},
                CheckClientVersionV2});
  registry.Add({"GetInfoDoUsuario",
                ProcAccess::Reads,
                {{"@SourceDoBal", DbType::Integer, ParamDirection::Output},
                 {"@UserFlag", DbType::Integer, ParamDirection::Output},
                 {"@email", DbType::Text, ParamDirection::Output},
                 {"@name", DbType::Text, ParamDirection::Output},
                 {"@uid", DbType::Integer, ParamDirection::Output},
                 {"@IsAdmin", DbType::Boolean, ParamDirection::Output},
                 {"@lingua", DbType::Integer, ParamDirection::Output}},
                GetInfoDoUsuario});
  registry.Add({"ChkEmpDoUsr",
                ProcAccess::Reads,
                {{"@id", DbType::Integer}},
                CheckRightOverItem("SELECT EXISTS (SELECT 1 FROM empresa WHERE id = ?)", CompanyRight)});
  registry.Add({"ChkAnbDoUsr",
                ProcAccess::Reads,
                {{"@id", DbType::Integer}},
                CheckRightOverItem("SELECT EXISTS (SELECT 1 FROM anbima WHERE id = ?)", SeriesRight)});
  registry.Add({"UsrGetData",
                ProcAccess::Reads,
                {{"@lpc", DbType::DateTime, ParamDirection::Output},
                 {"@lpcttlwarn", DbType::Integer, ParamDirection::Output}},
                UsrGetData});
  registry.Add({"DataLogDump", ProcAccess::Reads, {}, DataLogDump});
}

}  // namespace zi::server

#include "server/procedures.h"

#include <cstdint>
#include <optional>
#include <string>

#include "server/proc_checks.h"
#include "server/server.h"
#include "server/session_user.h"
#include "server/sqlite_db.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

// The single changes that import lines make to a series, and the per-country name lists that the
// company names of the import are normalised with.
// ImportAnbBGLDestino (a series' status) and ImportAnbISIN (its ISIN) name the series by ticker
// (whatever its case) and exchange, and answer, besides 0:
// - 18456 without a logged-in user, or when the user's row is gone;
// - 99108 without the series right (session_user.h);
// - 99101 NULL where a value is required, an empty ticker;
// - 99102 a status outside 0..11, an ISIN longer than 12 characters;
// - 99104 no series has the ticker on the exchange;
// - 15275 a status other than 0 and 5, other than the one the series holds, without
//   @PodeTodosOsTiposDeBGL (the rule of the series writers).
// An ISIN is stored trimmed; an empty one clears it.
// BufPorPaisGet answers a list's text (@tipo 1 the abbreviations, 2 the casing terms) with its
// length, and, besides 0: 18456 as above; 99101 NULL where a value is required; 99102 a type other
// than 1 and 2; 4251 when the country has no such list, or an empty one.
constexpr int64_t kMaxStatus = 11;
constexpr size_t kIsinLength = 12;
constexpr int kNoContent = 4251;

// The series of @ticker on @bolsa.
std::optional<int64_t> NamedSeries(ProcContext& call) {
  const DbValue id = call.Db().QueryValue("SELECT id FROM anbima WHERE bolsa = ? AND cod = ? COLLATE NOCASE",
                                          {call.In("@bolsa"), Trim(TextOr(call, "@ticker"))});
  if (id.IsNull()) return std::nullopt;
  return id.AsInteger();
}

int CheckSeriesCall(ProcContext& call) {
  return FirstFailure(
      {RequireRight(call, SeriesRight), RequiredText(call, "@ticker"), call.IsNull("@bolsa") ? kValueMissing : 0});
}

int ImportAnbBGLDestino(ProcContext& call) {
  if (const int code = FirstFailure({CheckSeriesCall(call), IntegerIn(call, "@NovoTBGLDestino", 0, kMaxStatus)})) {
    return code;
  }
  const std::optional<int64_t> series = NamedSeries(call);
  if (!series) return kNotFound;
  const int64_t status = Integer(call, "@NovoTBGLDestino");
  const int64_t held = call.Db().QueryValue("SELECT TipoDeBGLDestino FROM anbima WHERE id = ?", {*series}).AsInteger();
  if (status != held && !IsCommonSeriesStatus(status) && !Flag(call, "@PodeTodosOsTiposDeBGL")) return kStatusRefused;
  call.Db().Run("UPDATE anbima SET TipoDeBGLDestino = ? WHERE id = ?", {status, *series});
  return 0;
}

int ImportAnbISIN(ProcContext& call) {
  if (const int code = FirstFailure({CheckSeriesCall(call), call.IsNull("@NovoISIN") ? kValueMissing : 0})) {
    return code;
  }
  const std::string isin = Trim(call.In("@NovoISIN").AsText());
  if (isin.size() > kIsinLength) return kOutOfRange;
  const std::optional<int64_t> series = NamedSeries(call);
  if (!series) return kNotFound;
  call.Db().Run("UPDATE anbima SET isin = ? WHERE id = ?", {isin, *series});
  return 0;
}

int BufPorPaisGet(ProcContext& call) {
  if (const int code =
          FirstFailure({RequireUser(call), call.IsNull("@pais") ? kValueMissing : 0, IntegerIn(call, "@tipo", 1, 2)})) {
    return code;
  }
  const DbValue text = call.Db().QueryValue("SELECT conteudo FROM BufPorPais WHERE pais = ? AND tipo = ?",
                                            {call.In("@pais"), call.In("@tipo")});
  if (text.IsNull() || text.AsText().empty()) return kNoContent;
  call.SetOut("@ConteudoLen", static_cast<int64_t>(text.AsText().size()));
  call.SetOut("@conteudo", text);
  return 0;
}

ParamInfo In(const char* name, DbType type) { return {name, type, ParamDirection::Input}; }
ParamInfo Out(const char* name, DbType type) { return {name, type, ParamDirection::Output}; }

}  // namespace

void RegisterObjectImportProcedures(Registry& registry) {
  constexpr DbType kInt = DbType::Integer;
  constexpr DbType kText = DbType::Text;
  registry.Add({"ImportAnbBGLDestino",
                ProcAccess::Writes,
                {In("@ticker", kText), In("@bolsa", kInt), In("@NovoTBGLDestino", kInt),
                 In("@PodeTodosOsTiposDeBGL", DbType::Boolean)},
                ImportAnbBGLDestino});
  registry.Add({"ImportAnbISIN",
                ProcAccess::Writes,
                {In("@ticker", kText), In("@bolsa", kInt), In("@NovoISIN", kText)},
                ImportAnbISIN});
  registry.Add({"BufPorPaisGet",
                ProcAccess::Reads,
                {In("@pais", kInt), In("@tipo", kInt), Out("@ConteudoLen", kInt), Out("@conteudo", kText)},
                BufPorPaisGet});
}

}  // namespace zi::server

#include "server/procedures.h"

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/catalogue_store.h"
#include "server/proc_checks.h"
#include "server/server.h"
#include "server/session_user.h"
#include "server/sqlite_db.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

// What the catalogue procedures answer besides 0 (the shared codes of proc_checks.h keep their
// meanings here):
// - 18456 without a logged-in user, or when the user's row is gone;
// - 15258 adding, changing or deleting a company or a class without the company right, 99108
//   adding, changing or deleting a series without the series right (session_user.h: the rights
//   that ChkEmpDoUsr and ChkAnbDoUsr ask about);
// - 99101 an empty code or name, NULL where a value is required;
// - 99102 a status outside 0..11, a statement source outside 0..3, DisableCopy other than 0 or 1,
//   @auth or @onde of the search outside their values;
// - 99103 a country, exchange, currency, class name, voting status or type of asset that does not
//   exist, or the company or class an object is to hang on;
// - 99104 the object to read, resend or list does not exist;
// - 4042 (the message table's "CotacaoImport ticker not found") GetTipoDeBGLDaAnb for a ticker that
//   no series of the exchange has;
// - 8604 the object to delete does not exist; 8605 the object to change does not exist (the
//   company of DefineFormatoBalDaEmpSeNulo included);
// - 99106 the code is taken: a company's within its country, a series' ticker within its exchange;
// - 3799 deleting an object that still has children (a series' quotes included);
// - 99105 resending an object (Admin...RemandaTudo) without being an administrator.
// The class lookup GetIdAtvV2 answers 4170 when no company has the code in the country, 4171 when
// no class name of that name exists at all, 4172 when the company has no class of that name (the
// company and class-name ids delivered, the class id 0), and 0 with all three ids; of several
// classes of one name in a company, the first by id is found.
// The client computes the rights flags from the session's user and sends them; the server refuses
// what a flag does not allow, and then changes nothing:
// - PodeAlterarPaisDaEmp: changing a company's country, else 8603;
// - PodeSourceDiferenteDeLocal: a statement currency for source 2 (moedabalSEC not 0) or a format
//   for sources 1..3 other than 0 on add, or changed on change, else 15252;
// - PodeMudarEmpDoAtv: moving a class to another company, else 99107;
// - PodeClasseEstrangeira: adding or changing a class of a foreign company (country not 0), else 7141;
// - PodeMudarAtvDoAnb: moving a series to another class, and PodeMudarAtvDoAnbPraCima as well when
//   that class belongs to another company, else 3755;
// - PodeTodosOsTiposDeBGL: a status other than 0 and 5 (on change: other than the one held), else 15275;
// - PodeMarcarTrazDadosDaEmp: TrazDadosDaEmp set (on change: set where it was clear), else 15276;
// - PodeAlterarCalendario: a calendar other than 0 (on change: other than the one held), else 15277.
constexpr int kHasChildren = 3799;
constexpr int kCountryChangeRefused = 8603;
constexpr int kSourceRefused = 15252;
constexpr int kClassMoveRefused = kAnswerClassMoveRefused;
constexpr int kForeignClassRefused = 7141;
constexpr int kSeriesMoveRefused = 3755;
constexpr int kTrazDadosRefused = 15276;
constexpr int kCalendarRefused = 15277;
constexpr int kCompanyNotFound = 4170;
constexpr int kClassNameUnknown = 4171;
constexpr int kCompanyHasNoSuchClass = 4172;
constexpr int kTickerNotFound = 4042;
constexpr int kClassNameTaken = 50173;
constexpr int kProvisionalFound = 1;

constexpr int64_t kMaxStatus = 11;
constexpr int64_t kLastSourceWithFormat = 3;
constexpr int64_t kLocalCountry = 0;

constexpr int64_t kResendCompany = 37;
constexpr int64_t kResendClass = 38;
constexpr int64_t kResendSeries = 39;

constexpr const char* kCountryExists = "SELECT EXISTS (SELECT 1 FROM Pais WHERE id = ?)";
constexpr const char* kCurrencyExists = "SELECT EXISTS (SELECT 1 FROM Moeda WHERE id = ?)";
constexpr const char* kExchangeExists = "SELECT EXISTS (SELECT 1 FROM Bolsa WHERE id = ?)";
constexpr const char* kClassNameExists = "SELECT EXISTS (SELECT 1 FROM Classes WHERE id = ?)";
constexpr const char* kVoteExists = "SELECT EXISTS (SELECT 1 FROM VoteStat WHERE id = ?)";
constexpr const char* kAssetTypeExists = "SELECT EXISTS (SELECT 1 FROM TipoObj WHERE id = ?)";
constexpr const char* kCompanyExists = "SELECT EXISTS (SELECT 1 FROM empresa WHERE id = ?)";
constexpr const char* kClassExists = "SELECT EXISTS (SELECT 1 FROM ativo WHERE id = ?)";
constexpr const char* kSeriesExists = "SELECT EXISTS (SELECT 1 FROM anbima WHERE id = ?)";

constexpr std::array<const char*, 4> kFormatParams = {"@fmtbal", "@fmtbal1", "@fmtbal2", "@fmtbal3"};

// 0 when the value names a row of the table the query looks in.
int Known(ProcContext& call, const DbValue& value, const char* existsSql) {
  if (value.IsNull()) return kValueMissing;
  return Exists(call, existsSql, {value}) ? 0 : kUnknownReference;
}

int RequiredInteger(ProcContext& call, const std::string& param) { return call.IsNull(param) ? kValueMissing : 0; }

// The id of the object a call names; nullopt when it is NULL or names nothing.
std::optional<int64_t> NamedId(ProcContext& call, const char* existsSql) {
  if (call.IsNull("@id") || !Exists(call, existsSql, {call.In("@id")})) return std::nullopt;
  return Integer(call, "@id");
}

int64_t CountryOfCompany(ProcContext& call, int64_t company) {
  return call.Db().QueryValue("SELECT pais FROM empresa WHERE id = ?", {company}).AsInteger();
}

int64_t CompanyOfClass(ProcContext& call, int64_t atv) {
  return call.Db().QueryValue("SELECT emp FROM ativo WHERE id = ?", {atv}).AsInteger();
}

// Deletes a row that exists and has no children, for a user who holds the right.
// Data-log types of the object tree: what changed, for the bulletins and for support. A change that
// leaves the row as it was (an import of the same catalogue again) logs nothing.
constexpr int64_t kLogEmpAdd = 1;
constexpr int64_t kLogEmpUpd = 2;
constexpr int64_t kLogEmpDel = 3;
constexpr int64_t kLogAtvAdd = 4;
constexpr int64_t kLogAtvUpd = 5;
constexpr int64_t kLogAtvDel = 6;
constexpr int64_t kLogAnbAdd = 7;
constexpr int64_t kLogAnbDel = 9;
constexpr int64_t kLogAnbUpd = 58;

void LogObjectChange(ProcContext& call, int64_t logType, int64_t id) {
  call.Db().Run("INSERT INTO DataLog (tip, oid, aux, usuario, momento) VALUES (?, ?, 0, ?, ?)",
                {logType, id, call.SessionUserId(), call.Now()});
}

int DeleteLeaf(ProcContext& call, UserRight right, const char* existsSql, std::string_view childSql,
               std::string_view deleteSql, int64_t logType) {
  if (const int code = RequireRight(call, right)) return code;
  const std::optional<int64_t> id = NamedId(call, existsSql);
  if (!id) return kNotFoundToDelete;
  if (!childSql.empty() && Exists(call, childSql, {*id})) return kHasChildren;
  try {
    call.Db().Run(deleteSql, {*id});
  } catch (const SqliteError& e) {
    // A row of another family still refers to the item (corporate actions, news, holdings ...):
    // a delete by id can break no other constraint.
    if (e.Code() == SQLITE_CONSTRAINT) return kHasChildren;
    throw;
  }
  LogObjectChange(call, logType, *id);
  return 0;
}

// Companies.

Empresa EmpresaFromCall(ProcContext& call) {
  Empresa row{.id = IntegerOr(call, "@id", 0),
              .cod = Trim(TextOr(call, "@cod")),
              .pais = IntegerOr(call, "@pais", 0),
              .cnpj = Trim(TextOr(call, "@cnpj")),
              .nome = Trim(TextOr(call, "@nome")),
              .moedabalLocal = IntegerOr(call, "@moedabalLocal", 0),
              .moedabalSec = IntegerOr(call, "@moedabalSEC", 0),
              .naics = IntegerOr(call, "@naics", 0),
              .moedaInformeFidc = IntegerOr(call, "@moedaInformeFIDC", 0)};
  for (size_t source = 0; source < kFormatParams.size(); ++source) {
    row.fmtbal[source] = IntegerOr(call, kFormatParams[source], 0);
  }
  return row;
}

bool UsesOtherSources(const Empresa& row, const Empresa* held) {
  const Empresa none;
  const Empresa& before = held ? *held : none;
  if (row.moedabalSec != before.moedabalSec) return true;
  for (size_t source = 1; source < row.fmtbal.size(); ++source) {
    if (row.fmtbal[source] != before.fmtbal[source]) return true;
  }
  return false;
}

int CheckEmpresaRights(ProcContext& call, const Empresa& row, const Empresa* held) {
  if (held && row.pais != held->pais && !Flag(call, "@PodeAlterarPaisDaEmp")) return kCountryChangeRefused;
  if (UsesOtherSources(row, held) && !Flag(call, "@PodeSourceDiferenteDeLocal")) return kSourceRefused;
  return 0;
}

// held: the company as it is before a change; nullptr for an add.
int CheckEmpresa(ProcContext& call, const Empresa& row, const Empresa* held) {
  if (row.cod.empty() || row.nome.empty()) return kValueMissing;
  if (const int code =
          FirstFailure({Known(call, call.In("@pais"), kCountryExists), Known(call, row.moedabalLocal, kCurrencyExists),
                        Known(call, row.moedabalSec, kCurrencyExists),
                        Known(call, row.moedaInformeFidc, kCurrencyExists)})) {
    return code;
  }
  if (const int code = CheckEmpresaRights(call, row, held)) return code;
  if (Exists(call, "SELECT EXISTS (SELECT 1 FROM empresa WHERE pais = ? AND cod = ? COLLATE NOCASE AND id <> ?)",
             {row.pais, row.cod, row.id})) {
    return kCodeTaken;
  }
  return 0;
}

int ObjEmpAddV3(ProcContext& call) {
  if (const int code = RequireRight(call, CompanyRight)) return code;
  Empresa row = EmpresaFromCall(call);
  row.id = 0;
  if (const int code = CheckEmpresa(call, row, nullptr)) return code;
  const int64_t id = InsertEmpresa(call.Db(), row);
  call.SetOut("@id", id);
  LogObjectChange(call, kLogEmpAdd, id);
  return 0;
}

int ObjEmpPutV3(ProcContext& call) {
  if (const int code = RequireRight(call, CompanyRight)) return code;
  const std::optional<int64_t> id = NamedId(call, kCompanyExists);
  if (!id) return kNotFoundToUpdate;
  const Empresa held = *ReadEmpresa(call.Db(), *id);
  const Empresa row = EmpresaFromCall(call);
  if (const int code = CheckEmpresa(call, row, &held)) return code;
  UpdateEmpresa(call.Db(), row);
  if (*ReadEmpresa(call.Db(), *id) != held) LogObjectChange(call, kLogEmpUpd, *id);
  return 0;
}

int ObjEmpGetV3(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  const std::optional<Empresa> row = call.IsNull("@id") ? std::nullopt : ReadEmpresa(call.Db(), Integer(call, "@id"));
  if (!row) return kNotFound;
  call.SetOut("@cod", row->cod);
  call.SetOut("@cnpj", row->cnpj);
  call.SetOut("@pais", row->pais);
  call.SetOut("@nome", row->nome);
  call.SetOut("@moedabalLocal", row->moedabalLocal);
  call.SetOut("@moedabalSEC", row->moedabalSec);
  for (size_t source = 0; source < kFormatParams.size(); ++source) {
    call.SetOut(kFormatParams[source], row->fmtbal[source]);
  }
  call.SetOut("@naics", row->naics);
  call.SetOut("@moedaInformeFIDC", row->moedaInformeFidc);
  return 0;
}

int ObjEmpDel(ProcContext& call) {
  return DeleteLeaf(call, CompanyRight, kCompanyExists, "SELECT EXISTS (SELECT 1 FROM ativo WHERE emp = ?)",
                    "DELETE FROM empresa WHERE id = ?", kLogEmpDel);
}

// Classes.

Ativo AtivoFromCall(ProcContext& call) {
  return {IntegerOr(call, "@id", 0), IntegerOr(call, "@emp", 0), IntegerOr(call, "@idclass", 0),
          IntegerOr(call, "@vote", 0), IntegerOr(call, "@tipoobj", 0)};
}

int CheckAtivo(ProcContext& call, const Ativo& row, const Ativo* held) {
  if (const int code = FirstFailure({RequiredInteger(call, "@emp"), Known(call, call.In("@idclass"), kClassNameExists),
                                     Known(call, call.In("@vote"), kVoteExists),
                                     Known(call, call.In("@tipoobj"), kAssetTypeExists)})) {
    return code;
  }
  if (!Exists(call, kCompanyExists, {row.emp})) return kUnknownReference;
  if (held && row.emp != held->emp && !Flag(call, "@PodeMudarEmpDoAtv")) return kClassMoveRefused;
  if (CountryOfCompany(call, row.emp) != kLocalCountry && !Flag(call, "@PodeClasseEstrangeira")) {
    return kForeignClassRefused;
  }
  return 0;
}

int ObjAtvAddV2(ProcContext& call) {
  if (const int code = RequireRight(call, CompanyRight)) return code;
  Ativo row = AtivoFromCall(call);
  row.id = 0;
  if (const int code = CheckAtivo(call, row, nullptr)) return code;
  const int64_t id = InsertAtivo(call.Db(), row);
  call.SetOut("@id", id);
  LogObjectChange(call, kLogAtvAdd, id);
  return 0;
}

int ObjAtvPutV2(ProcContext& call) {
  if (const int code = RequireRight(call, CompanyRight)) return code;
  const std::optional<int64_t> id = NamedId(call, kClassExists);
  if (!id) return kNotFoundToUpdate;
  const Ativo held = *ReadAtivo(call.Db(), *id);
  const Ativo row = AtivoFromCall(call);
  if (const int code = CheckAtivo(call, row, &held)) return code;
  UpdateAtivo(call.Db(), row);
  if (*ReadAtivo(call.Db(), *id) != held) LogObjectChange(call, kLogAtvUpd, *id);
  return 0;
}

int ObjAtvGetV2(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  const std::optional<Ativo> row = call.IsNull("@id") ? std::nullopt : ReadAtivo(call.Db(), Integer(call, "@id"));
  if (!row) return kNotFound;
  call.SetOut("@emp", row->emp);
  call.SetOut("@idclass", row->idclass);
  call.SetOut("@vote", row->vote);
  call.SetOut("@tipoobj", row->tipoobj);
  return 0;
}

int ObjAtvDel(ProcContext& call) {
  return DeleteLeaf(call, CompanyRight, kClassExists, "SELECT EXISTS (SELECT 1 FROM anbima WHERE acao = ?)",
                    "DELETE FROM ativo WHERE id = ?", kLogAtvDel);
}

// Series.

Anbima AnbimaFromCall(ProcContext& call) {
  return {.id = IntegerOr(call, "@id", 0),
          .acao = IntegerOr(call, "@acao", 0),
          .cod = Trim(TextOr(call, "@cod")),
          .bolsa = IntegerOr(call, "@bolsa", 0),
          .tipoDeBGLDestino = IntegerOr(call, "@TipoDeBGLDestino", 0),
          .moedacot = IntegerOr(call, "@moedacot", 0),
          .formatoDeCadastro = IntegerOr(call, "@FormatoDeCadastro", 0),
          .cancelado = Flag(call, "@cancelado"),
          .trazDadosDaEmp = Flag(call, "@TrazDadosDaEmp"),
          .naoAparecerNoZor = Flag(call, "@NaoAparecerNoZor"),
          .idCalendario = IntegerOr(call, "@IdCalendario", 0),
          .disableCopy = IntegerOr(call, "@DisableCopy", 0),
          .tipoDeContrato = IntegerOr(call, "@TipoDeContrato", 0),
          .mapaFaskel = IntegerOr(call, "@MapaFaskel", 0),
          .overrideGruposCampoCotacao = IntegerOr(call, "@OverrideGruposCampoCotacao", 0),
          .naoAparecerNoOmbrel = Flag(call, "@NaoAparecerNoOmbrel")};
}

int CheckAnbimaRights(ProcContext& call, const Anbima& row, const Anbima* held) {
  if (held && row.acao != held->acao) {
    const bool otherCompany = CompanyOfClass(call, row.acao) != CompanyOfClass(call, held->acao);
    if (!Flag(call, "@PodeMudarAtvDoAnb") || (otherCompany && !Flag(call, "@PodeMudarAtvDoAnbPraCima"))) {
      return kSeriesMoveRefused;
    }
  }
  const bool statusChanged = !held || row.tipoDeBGLDestino != held->tipoDeBGLDestino;
  if (statusChanged && !IsCommonSeriesStatus(row.tipoDeBGLDestino) && !Flag(call, "@PodeTodosOsTiposDeBGL")) {
    return kStatusRefused;
  }
  if (row.trazDadosDaEmp && !(held && held->trazDadosDaEmp) && !Flag(call, "@PodeMarcarTrazDadosDaEmp")) {
    return kTrazDadosRefused;
  }
  const bool calendarChanged = !held || row.idCalendario != held->idCalendario;
  if (calendarChanged && row.idCalendario != 0 && !Flag(call, "@PodeAlterarCalendario")) return kCalendarRefused;
  return 0;
}

int CheckAnbima(ProcContext& call, const Anbima& row, const Anbima* held) {
  if (row.cod.empty()) return kValueMissing;
  if (const int code = FirstFailure(
          {RequiredInteger(call, "@acao"), IntegerIn(call, "@TipoDeBGLDestino", 0, kMaxStatus),
           Known(call, call.In("@bolsa"), kExchangeExists), Known(call, call.In("@moedacot"), kCurrencyExists),
           row.disableCopy == 0 || row.disableCopy == 1 ? 0 : kOutOfRange})) {
    return code;
  }
  if (!Exists(call, kClassExists, {row.acao})) return kUnknownReference;
  if (const int code = CheckAnbimaRights(call, row, held)) return code;
  if (Exists(call, "SELECT EXISTS (SELECT 1 FROM anbima WHERE bolsa = ? AND cod = ? COLLATE NOCASE AND id <> ?)",
             {row.bolsa, row.cod, row.id})) {
    return kCodeTaken;
  }
  return 0;
}

int ObjAnbAdd(ProcContext& call) {
  if (const int code = RequireRight(call, SeriesRight)) return code;
  Anbima row = AnbimaFromCall(call);
  row.id = 0;
  if (const int code = CheckAnbima(call, row, nullptr)) return code;
  const int64_t id = InsertAnbima(call.Db(), row);
  call.SetOut("@id", id);
  call.SetOut("@PaisProCodZor", ReadAnbima(call.Db(), id)->paisProCodZor);
  LogObjectChange(call, kLogAnbAdd, id);
  return 0;
}

int ObjAnbPut(ProcContext& call) {
  if (const int code = RequireRight(call, SeriesRight)) return code;
  const std::optional<int64_t> id = NamedId(call, kSeriesExists);
  if (!id) return kNotFoundToUpdate;
  const Anbima held = *ReadAnbima(call.Db(), *id);
  const Anbima row = AnbimaFromCall(call);
  if (const int code = CheckAnbima(call, row, &held)) return code;
  UpdateAnbima(call.Db(), row);
  const Anbima stored = *ReadAnbima(call.Db(), *id);
  call.SetOut("@PaisProCodZor", stored.paisProCodZor);
  if (stored != held) LogObjectChange(call, kLogAnbUpd, *id);
  return 0;
}

int ObjAnbGet(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  const std::optional<Anbima> row = call.IsNull("@id") ? std::nullopt : ReadAnbima(call.Db(), Integer(call, "@id"));
  if (!row) return kNotFound;
  call.SetOut("@acao", row->acao);
  call.SetOut("@cod", row->cod);
  call.SetOut("@bolsa", row->bolsa);
  call.SetOut("@TipoDeBGLDestino", row->tipoDeBGLDestino);
  call.SetOut("@moedacot", row->moedacot);
  call.SetOut("@PaisProCodZor", row->paisProCodZor);
  call.SetOut("@cancelado", row->cancelado);
  call.SetOut("@TrazDadosDaEmp", row->trazDadosDaEmp);
  call.SetOut("@NaoAparecerNoZor", row->naoAparecerNoZor);
  call.SetOut("@SerieMontada", row->serieMontada);
  call.SetOut("@IdCalendario", row->idCalendario);
  call.SetOut("@DisableCopy", row->disableCopy);
  call.SetOut("@FormatoDeCadastro", row->formatoDeCadastro);
  call.SetOut("@TipoDeContrato", row->tipoDeContrato);
  call.SetOut("@MapaFaskel", row->mapaFaskel);
  call.SetOut("@OverrideGruposCampoCotacao", row->overrideGruposCampoCotacao);
  call.SetOut("@NaoAparecerNoOmbrel", row->naoAparecerNoOmbrel);
  return 0;
}

int ObjAnbDel(ProcContext& call) {
  return DeleteLeaf(call, SeriesRight, kSeriesExists, "SELECT EXISTS (SELECT 1 FROM Cotacao WHERE anb = ?)",
                    "DELETE FROM anbima WHERE id = ?", kLogAnbDel);
}

// Lookups by code.

DbValue CompanyByCode(ProcContext& call, const std::string& codeParam) {
  return call.Db().QueryValue("SELECT id FROM empresa WHERE pais = ? AND cod = ? COLLATE NOCASE",
                              {call.In("@pais"), Trim(TextOr(call, codeParam))});
}

int GetIdEmp(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  const DbValue id = CompanyByCode(call, "@cod");
  call.SetOut("@idemp", id.IsNull() ? DbValue(0) : id);
  return 0;
}

int GetIdAtvV2(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  call.SetOut("@IdEmp", 0);
  call.SetOut("@IdAtv", 0);
  call.SetOut("@IdClass", 0);
  const DbValue company = CompanyByCode(call, "@emp");
  if (company.IsNull()) return kCompanyNotFound;
  call.SetOut("@IdEmp", company);
  const std::string name = Trim(TextOr(call, "@class"));
  const DbValue className = call.Db().QueryValue("SELECT min(id) FROM Classes WHERE nome = ? COLLATE NOCASE", {name});
  if (className.IsNull()) return kClassNameUnknown;
  call.SetOut("@IdClass", className);
  const ResultSet classes = call.Db().Query(
      "SELECT a.id, a.idclass FROM ativo a JOIN Classes c ON c.id = a.idclass "
      "WHERE a.emp = ? AND c.nome = ? COLLATE NOCASE ORDER BY a.id LIMIT 1",
      {company, name});
  if (classes.rows.empty()) return kCompanyHasNoSuchClass;
  call.SetOut("@IdAtv", classes.rows[0][0]);
  call.SetOut("@IdClass", classes.rows[0][1]);
  return 0;
}

int GetRegistroCodCVMparaAnbima(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  const ResultSet found =
      call.Db().Query("SELECT cod_anbima, idemp, idanb FROM RegistroCodCVMparaAnbima WHERE cod_provis = ?",
                      {Trim(TextOr(call, "@cod_provis"))});
  if (found.rows.empty()) return 0;
  call.SetOut("@cod_anbima", found.rows[0][0]);
  call.SetOut("@idemp", found.rows[0][1]);
  call.SetOut("@idanb", found.rows[0][2]);
  return kProvisionalFound;
}

DbValue SeriesByTicker(ProcContext& call, const std::string& column) {
  return call.Db().QueryValue("SELECT " + column + " FROM anbima WHERE bolsa = ? AND cod = ? COLLATE NOCASE",
                              {call.In("@bolsa"), Trim(TextOr(call, "@cod"))});
}

// The return value is the series id, so a call without a session finds nothing rather than
// answering 18456, which would read as an id.
int GetIdAnb(ProcContext& call) {
  if (RequireUser(call) != 0) return 0;
  const DbValue id = SeriesByTicker(call, "id");
  return id.IsNull() ? 0 : static_cast<int>(id.AsInteger());
}

int GetTipoDeBGLDaAnb(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  const DbValue status = SeriesByTicker(call, "TipoDeBGLDestino");
  if (status.IsNull()) return kTickerNotFound;
  call.SetOut("@TipoDeBGLDestino", status);
  return 0;
}

int GetTotalAnbAtivosDessaBolsaTBGL(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  call.SetOut("@Num", call.Db().QueryValue("SELECT count(*) FROM anbima WHERE bolsa = ? AND TipoDeBGLDestino = ? "
                                           "AND NOT cancelado",
                                           {call.In("@bolsa"), call.In("@TipoDeBGLDestino")}));
  return 0;
}

// Class names are one list for every country: the table keeps neither @pais nor @flag.
int ClassAdd(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), RequiredText(call, "@clss")})) return code;
  const int64_t parent = IntegerOr(call, "@filhaDe", 0);
  if (parent != 0 && !Exists(call, kClassNameExists, {parent})) return kUnknownReference;
  const std::string name = Trim(call.In("@clss").AsText());
  const DbValue existing = call.Db().QueryValue("SELECT min(id) FROM Classes WHERE nome = ? COLLATE NOCASE", {name});
  if (!existing.IsNull()) {
    call.SetOut("@id", existing);
    return kClassNameTaken;
  }
  call.Db().Run("INSERT INTO Classes (nome, mae) VALUES (?, ?)", {name, parent == 0 ? DbValue() : DbValue(parent)});
  call.SetOut("@id", call.Db().LastInsertRowId());
  return 0;
}

constexpr std::array<const char*, 4> kFormatColumns = {"fmtbal0", "fmtbal1", "fmtbal2", "fmtbal3"};

// The document type does not matter: a company holds one format per source.
int DefineFormatoBalDaEmpSeNulo(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), IntegerIn(call, "@sourcedobal", 0, kLastSourceWithFormat),
                                     RequiredInteger(call, "@fmtbal"), RequiredInteger(call, "@emp")})) {
    return code;
  }
  if (!Exists(call, kCompanyExists, {call.In("@emp")})) return kNotFoundToUpdate;
  const std::string column = kFormatColumns[static_cast<size_t>(Integer(call, "@sourcedobal"))];
  call.Db().Run("UPDATE empresa SET " + column + " = ? WHERE id = ? AND " + column + " = 0",
                {call.In("@fmtbal"), call.In("@emp")});
  return 0;
}

ProcHandler Resend(int64_t logType, const char* existsSql) {
  return [logType, existsSql](ProcContext& call) {
    if (const int code = RequireAdministrator(call)) return code;
    const std::optional<int64_t> id = NamedId(call, existsSql);
    if (!id) return kNotFound;
    LogObjectChange(call, logType, *id);
    return 0;
  };
}

// Object lists: the client reads the columns by position. Column 13 is the series' override of its
// quote fields (0 none, 1, or 2 the securities-lending fields), which chooses its quote layout.

constexpr const char* kObjectRows =
    "SELECT e.id AS EmpId, e.nome AS EmpNome, e.pais AS EmpPais, e.cod AS EmpCod, coalesce(a.id, 0) AS AtvId, "
    "0 AS Reservado, coalesce(s.id, 0) AS AnbId, coalesce(s.cod, '') AS AnbCod, coalesce(s.bolsa, 0) AS AnbBolsa, "
    "coalesce(s.TipoDeBGLDestino, 0) AS AnbTipoDeBGLDestino, coalesce(a.idclass, 0) AS AtvIdClass, "
    "coalesce(s.cancelado, 0) AS AnbCancelado, coalesce(a.tipoobj, 0) AS AtvTipoObj, "
    "coalesce(s.OverrideGruposCampoCotacao, 0) AS AnbGruposCampoCotacao, "
    "coalesce(s.FormatoDeCadastro, 0) AS AnbFormatoDeCadastro "
    "FROM empresa e LEFT JOIN ativo a ON a.emp = e.id LEFT JOIN anbima s ON s.acao = a.id WHERE ";
constexpr const char* kObjectOrder = " ORDER BY EmpId, AtvId, AnbId";

int ObjListDaEmp(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  const std::optional<int64_t> id = NamedId(call, kCompanyExists);
  if (!id) return kNotFound;
  call.AddResultSet(std::string(kObjectRows) + "e.id = ?" + kObjectOrder, {*id});
  return 0;
}

// What @onde searches, by its value, the one parameter being the pattern (the text itself for the
// exact ticker). A company match lists the company's whole tree; a ticker match only the matching
// series. The company conditions take the company's code and registry number as well as its name,
// so that one search box finds a company by whichever of them the user knows.
constexpr std::array<const char*, 4> kSearchConditions = {
    "(e.nome LIKE ?1 ESCAPE '\\' OR e.cod LIKE ?1 ESCAPE '\\' OR e.cnpj LIKE ?1 ESCAPE '\\')",
    "s.cod LIKE ?1 ESCAPE '\\'",
    "s.cod = ?1 COLLATE NOCASE",
    "(e.nome LIKE ?1 ESCAPE '\\' OR e.cod LIKE ?1 ESCAPE '\\' OR e.cnpj LIKE ?1 ESCAPE '\\' OR "
    "s.cod LIKE ?1 ESCAPE '\\')",
};

std::string ContainsPattern(std::string_view text) {
  std::string pattern = "%";
  for (const char c : text) {
    if (c == '%' || c == '_' || c == '\\') pattern += '\\';
    pattern += c;
  }
  return pattern + "%";
}

// @auth 1 is to limit the search to the companies of the countries whose exchanges the user may
// see; no user is limited to some exchanges yet, so it finds what @auth 0 finds.
int ObjListProF2V2(ProcContext& call) {
  constexpr int64_t kLastOnde = kSearchConditions.size() - 1;
  if (const int code =
          FirstFailure({RequireUser(call), IntegerIn(call, "@auth", 0, 1), IntegerIn(call, "@onde", 0, kLastOnde)})) {
    return code;
  }
  const size_t onde = static_cast<size_t>(Integer(call, "@onde"));
  const std::string text = Trim(TextOr(call, "@like"));
  call.AddResultSet(std::string(kObjectRows) + kSearchConditions[onde] + kObjectOrder,
                    {onde == 2 ? text : ContainsPattern(text)});
  return 0;
}

ParamInfo In(const char* name, DbType type) { return {name, type, ParamDirection::Input}; }
ParamInfo Out(const char* name, DbType type) { return {name, type, ParamDirection::Output}; }
ParamInfo InOut(const char* name, DbType type) { return {name, type, ParamDirection::InputOutput}; }

constexpr DbType kInt = DbType::Integer;
constexpr DbType kText = DbType::Text;
constexpr DbType kBool = DbType::Boolean;

std::vector<ParamInfo> EmpresaWriteParams() {
  return {InOut("@id", kInt),
          In("@cod", kText),
          In("@cnpj", kText),
          In("@pais", kInt),
          In("@nome", kText),
          In("@moedabalLocal", kInt),
          In("@moedabalSEC", kInt),
          In("@fmtbal", kInt),
          In("@fmtbal1", kInt),
          In("@fmtbal2", kInt),
          In("@fmtbal3", kInt),
          In("@naics", kInt),
          In("@PodeAlterarPaisDaEmp", kBool),
          In("@PodeSourceDiferenteDeLocal", kBool),
          In("@moedaInformeFIDC", kInt)};
}

std::vector<ParamInfo> AtivoWriteParams() {
  return {InOut("@id", kInt),   In("@emp", kInt),
          In("@idclass", kInt), In("@vote", kInt),
          In("@tipoobj", kInt), In("@PodeMudarEmpDoAtv", kBool),
          In("@PodeClasseEstrangeira", kBool)};
}

std::vector<ParamInfo> AnbimaWriteParams() {
  return {InOut("@id", kInt),
          In("@acao", kInt),
          In("@cod", kText),
          In("@bolsa", kInt),
          In("@TipoDeBGLDestino", kInt),
          In("@moedacot", kInt),
          InOut("@PaisProCodZor", kInt),
          In("@cancelado", kBool),
          In("@TrazDadosDaEmp", kBool),
          In("@NaoAparecerNoZor", kBool),
          In("@IdCalendario", kInt),
          In("@DisableCopy", kInt),
          In("@FormatoDeCadastro", kInt),
          In("@TipoDeContrato", kInt),
          In("@MapaFaskel", kInt),
          In("@OverrideGruposCampoCotacao", kInt),
          In("@PodeMudarAtvDoAnb", kBool),
          In("@PodeTodosOsTiposDeBGL", kBool),
          In("@PodeMarcarTrazDadosDaEmp", kBool),
          In("@PodeAlterarCalendario", kBool),
          In("@NaoAparecerNoOmbrel", kBool),
          In("@PodeMudarAtvDoAnbPraCima", kBool)};
}

void RegisterObjects(Registry& registry) {
  registry.Add({"ObjEmpAddV3", ProcAccess::Writes, EmpresaWriteParams(), ObjEmpAddV3});
  registry.Add({"ObjEmpPutV3", ProcAccess::Writes, EmpresaWriteParams(), ObjEmpPutV3});
  registry.Add({"ObjEmpGetV3",
                ProcAccess::Reads,
                {InOut("@id", kInt), Out("@cod", kText), Out("@cnpj", kText), Out("@pais", kInt), Out("@nome", kText),
                 Out("@moedabalLocal", kInt), Out("@moedabalSEC", kInt), Out("@fmtbal", kInt), Out("@fmtbal1", kInt),
                 Out("@fmtbal2", kInt), Out("@fmtbal3", kInt), Out("@naics", kInt), Out("@moedaInformeFIDC", kInt)},
                ObjEmpGetV3});
  registry.Add({"ObjEmpDel", ProcAccess::Writes, {In("@id", kInt)}, ObjEmpDel});
  registry.Add({"ObjAtvAddV2", ProcAccess::Writes, AtivoWriteParams(), ObjAtvAddV2});
  registry.Add({"ObjAtvPutV2", ProcAccess::Writes, AtivoWriteParams(), ObjAtvPutV2});
  registry.Add(
      {"ObjAtvGetV2",
       ProcAccess::Reads,
       {InOut("@id", kInt), Out("@emp", kInt), Out("@idclass", kInt), Out("@vote", kInt), Out("@tipoobj", kInt)},
       ObjAtvGetV2});
  registry.Add({"ObjAtvDel", ProcAccess::Writes, {In("@id", kInt)}, ObjAtvDel});
  registry.Add({"ObjAnbAdd", ProcAccess::Writes, AnbimaWriteParams(), ObjAnbAdd});
  registry.Add({"ObjAnbPut", ProcAccess::Writes, AnbimaWriteParams(), ObjAnbPut});
  registry.Add(
      {"ObjAnbGet",
       ProcAccess::Reads,
       {InOut("@id", kInt), Out("@acao", kInt), Out("@cod", kText), Out("@bolsa", kInt), Out("@TipoDeBGLDestino", kInt),
        Out("@moedacot", kInt), Out("@PaisProCodZor", kInt), Out("@cancelado", kBool), Out("@TrazDadosDaEmp", kBool),
        Out("@NaoAparecerNoZor", kBool), Out("@SerieMontada", kBool), Out("@IdCalendario", kInt),
        Out("@DisableCopy", kInt), Out("@FormatoDeCadastro", kInt), Out("@TipoDeContrato", kInt),
        Out("@MapaFaskel", kInt), Out("@OverrideGruposCampoCotacao", kInt), Out("@NaoAparecerNoOmbrel", kBool)},
       ObjAnbGet});
  registry.Add({"ObjAnbDel", ProcAccess::Writes, {In("@id", kInt)}, ObjAnbDel});
}

void RegisterLookups(Registry& registry) {
  registry.Add({"GetIdEmp", ProcAccess::Reads, {In("@cod", kText), In("@pais", kInt), Out("@idemp", kInt)}, GetIdEmp});
  registry.Add({"GetIdAtvV2",
                ProcAccess::Reads,
                {In("@emp", kText), In("@pais", kInt), In("@class", kText), Out("@IdEmp", kInt), Out("@IdAtv", kInt),
                 Out("@IdClass", kInt)},
                GetIdAtvV2});
  registry.Add({"GetRegistroCodCVMparaAnbima",
                ProcAccess::Reads,
                {In("@cod_provis", kText), Out("@cod_anbima", kText), Out("@idemp", kInt), Out("@idanb", kInt)},
                GetRegistroCodCVMparaAnbima});
  registry.Add({"GetIdAnb", ProcAccess::Reads, {In("@cod", kText), In("@bolsa", kInt)}, GetIdAnb});
  registry.Add({"GetTipoDeBGLDaAnb",
                ProcAccess::Reads,
                {In("@cod", kText), In("@bolsa", kInt), Out("@TipoDeBGLDestino", kInt)},
                GetTipoDeBGLDaAnb});
  registry.Add({"GetTotalAnbAtivosDessaBolsaTBGL",
                ProcAccess::Reads,
                {In("@bolsa", kInt), In("@TipoDeBGLDestino", kInt), Out("@Num", kInt)},
                GetTotalAnbAtivosDessaBolsaTBGL});
  registry.Add({"ClassAdd",
                ProcAccess::Writes,
                {In("@clss", kText), In("@pais", kInt), In("@filhaDe", kInt), In("@flag", kInt), Out("@id", kInt)},
                ClassAdd});
  registry.Add({"DefineFormatoBalDaEmpSeNulo",
                ProcAccess::Writes,
                {In("@emp", kInt), In("@sourcedobal", kInt), In("@TipoDocumentoBal", kInt), In("@fmtbal", kInt)},
                DefineFormatoBalDaEmpSeNulo});
  registry.Add(
      {"AdminObjEmpRemandaTudo", ProcAccess::Writes, {In("@id", kInt)}, Resend(kResendCompany, kCompanyExists)});
  registry.Add({"AdminObjAtvRemandaTudo", ProcAccess::Writes, {In("@id", kInt)}, Resend(kResendClass, kClassExists)});
  registry.Add({"AdminObjAnbRemandaTudo", ProcAccess::Writes, {In("@id", kInt)}, Resend(kResendSeries, kSeriesExists)});
  registry.Add({"ObjListDaEmp", ProcAccess::Reads, {In("@id", kInt)}, ObjListDaEmp});
  registry.Add({"ObjListProF2V2",
                ProcAccess::Reads,
                {In("@auth", kInt), In("@like", kText), In("@onde", kInt)},
                ObjListProF2V2});
}

}  // namespace

void RegisterCatalogueProcedures(Registry& registry) {
  RegisterObjects(registry);
  RegisterLookups(registry);
}

}  // namespace zi::server

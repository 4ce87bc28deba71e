#include "server/procedures.h"

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "server/proc_checks.h"
#include "server/server.h"
#include "server/session_user.h"
#include "server/sqlite_db.h"
#include "toolbox/own_codes.h"

namespace zi::server {

namespace {

// What the statement, account and format procedures answer besides 0:
// - 18456 without a logged-in user, or when the user's row is gone;
// - 99105 writing or deleting an account, a block name or a format (header or lines) without being
//   an administrator; statements are read and written by every user;
// - 99101 NULL where a value is required (a statement's company or reference date, an id);
// - 99102 a statement's consolidated flag outside 0..1, source outside 0..7, document type outside
//   0..2 or check grade outside 0..2; an account id outside 1..8000; a block id below 1;
// - 99103 a statement of a company that does not exist; format lines of a format that does not
//   exist (row changes of ApresFmtBalItems fail on its reference);
// - 3585 BalGetPelaDataCons: no statement of that identity;
// - 99104 BalGet: no statement of that id; ContaBalGet: no account of that id;
// - 8604 BalDel, ContaBalDel: nothing of that id to delete;
// - 8605 BalHeadPutV2 with an id that names no statement;
// - 99600 BalHeadPutV2 changing a statement's identity to that of another statement.
// BalHeadPutV2 with id 0 writes over the statement of the same identity when there is one (its id
// delivered) and answers InsertOuUpdate true only when it inserted a new statement; the server
// keeps the date of the last change itself. The value rows (BalancoUmaConta) and the format lines
// (ApresFmtBalItems) are written by row changes: values by every user, lines by administrators.
constexpr int kNoSuchStatement = 3585;
constexpr int kIdentityTaken = kAnswerStatementIdentityTaken;

constexpr DbType kInt = DbType::Integer;
constexpr DbType kText = DbType::Text;
constexpr DbType kBool = DbType::Boolean;
constexpr DbType kDate = DbType::DateTime;

ParamInfo In(const char* name, DbType type) { return {name, type, ParamDirection::Input}; }
ParamInfo Out(const char* name, DbType type) { return {name, type, ParamDirection::Output}; }
ParamInfo InOut(const char* name, DbType type) { return {name, type, ParamDirection::InputOutput}; }

constexpr const char* kCompanyExists = "SELECT EXISTS (SELECT 1 FROM empresa WHERE id = ?)";

int Required(ProcContext& call, const char* param) { return call.IsNull(param) ? kValueMissing : 0; }

int CompanyKnown(ProcContext& call) {
  if (call.IsNull("@empresa")) return kValueMissing;
  return Exists(call, kCompanyExists, {call.In("@empresa")}) ? 0 : kUnknownReference;
}

// The header columns in the order of the read's output parameters.
constexpr std::array<const char*, 15> kHeaderColumns = {
    "id",      "empresa",        "dataref",        "consolidado",      "sourcedobal",
    "meses",   "datamoeda",      "moeda",          "datadivulgacao",   "DataUltAlteracao",
    "corrmon", "Incompleto",     "ChecagemFalhou", "AceitarFalhaNaChecagem", "TipoDocumento"};

std::vector<ParamInfo> HeaderOutputs(bool identityIn) {
  std::vector<ParamInfo> params;
  for (const char* column : kHeaderColumns) {
    const std::string name = std::string("@") + column;
    const std::string c = column;
    const DbType type = c == "dataref" || c == "datamoeda" || c == "datadivulgacao" || c == "DataUltAlteracao" ? kDate
                        : c == "Incompleto" || c == "AceitarFalhaNaChecagem"                                   ? kBool
                                                                                                              : kInt;
    const bool isIdentity = c == "empresa" || c == "dataref" || c == "consolidado" || c == "sourcedobal" ||
                            c == "TipoDocumento";
    params.push_back({name, type, identityIn && isIdentity ? ParamDirection::InputOutput : ParamDirection::Output});
  }
  return params;
}

// Sets the header outputs and adds the value rows of the statement; false when there is none.
bool ReadStatement(ProcContext& call, const DbValue& id) {
  std::string sql = "SELECT ";
  for (size_t i = 0; i < kHeaderColumns.size(); ++i) sql += std::string(i ? ", " : "") + kHeaderColumns[i];
  const ResultSet header = call.Db().Query(sql + " FROM Balanco WHERE id = ?", {id});
  if (header.rows.empty()) return false;
  for (size_t i = 0; i < kHeaderColumns.size(); ++i) call.SetOut(std::string("@") + kHeaderColumns[i], header.rows[0][i]);
  call.AddResultSet("SELECT conta, valor, CalcOuRx, De3Meses FROM BalancoUmaConta WHERE balanco = ? ORDER BY De3Meses, conta",
                    {id});
  return true;
}

int BalGet(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), Required(call, "@id")})) return code;
  return ReadStatement(call, call.In("@id")) ? 0 : kNotFound;
}

constexpr const char* kStatementOfIdentity =
    "SELECT id FROM Balanco WHERE empresa = ? AND dataref = ? AND consolidado = ? AND TipoDocumento = ? AND "
    "sourcedobal = ?";

int BalGetPelaDataCons(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), Required(call, "@empresa"), Required(call, "@dataref")}))
    return code;
  const DbValue id = call.Db().QueryValue(
      kStatementOfIdentity, {call.In("@empresa"), call.In("@dataref"), IntegerOr(call, "@consolidado", 0),
                             IntegerOr(call, "@TipoDocumento", 0), IntegerOr(call, "@sourcedobal", 0)});
  if (id.IsNull()) return kNoSuchStatement;
  ReadStatement(call, id);
  return 0;
}

int BalHeadPutV2(ProcContext& call) {
  if (const int code = FirstFailure(
          {RequireUser(call), CompanyKnown(call), Required(call, "@DataRef"), IntegerIn(call, "@Consolidado", 0, 1),
           IntegerIn(call, "@SourceDoBal", 0, 7), IntegerIn(call, "@TipoDocumento", 0, 2),
           call.IsNull("@ChecagemFalhou") ? 0 : IntegerIn(call, "@ChecagemFalhou", 0, 2)}))
    return code;
  const std::vector<DbValue> identity = {call.In("@empresa"), call.In("@DataRef"), call.In("@Consolidado"),
                                         call.In("@TipoDocumento"), call.In("@SourceDoBal")};
  const DbValue holder = call.Db().QueryValue(kStatementOfIdentity, identity);
  int64_t id = IntegerOr(call, "@id", 0);
  if (id == 0 && !holder.IsNull()) id = holder.AsInteger();
  if (id != 0 && !Exists(call, "SELECT EXISTS (SELECT 1 FROM Balanco WHERE id = ?)", {id})) return kNotFoundToUpdate;
  if (id != 0 && !holder.IsNull() && holder.AsInteger() != id) return kIdentityTaken;
  const DbValue lastChange = TDateTime{std::floor(call.Now().days)};
  const std::vector<DbValue> fields = {call.In("@empresa"),
                                       call.In("@DataRef"),
                                       call.In("@Consolidado"),
                                       call.In("@SourceDoBal"),
                                       call.In("@TipoDocumento"),
                                       IntegerOr(call, "@Meses", 0),
                                       IntegerOr(call, "@Moeda", 0),
                                       call.In("@DataMoeda"),
                                       call.In("@DataDivulgacao"),
                                       lastChange,
                                       IntegerOr(call, "@CorrMon", 0),
                                       Flag(call, "@Incompleto"),
                                       IntegerOr(call, "@ChecagemFalhou", 0),
                                       Flag(call, "@AceitarFalhaNaChecagem"),
                                       Flag(call, "@BalEntrouComoNovoBD")};
  constexpr const char* kColumns =
      "empresa, dataref, consolidado, sourcedobal, TipoDocumento, meses, moeda, datamoeda, datadivulgacao, "
      "DataUltAlteracao, corrmon, Incompleto, ChecagemFalhou, AceitarFalhaNaChecagem, BalEntrouComoNovoBD";
  if (id == 0) {
    call.Db().Run(std::string("INSERT INTO Balanco (") + kColumns + ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                  fields);
    call.SetOut("@id", call.Db().LastInsertRowId());
    call.SetOut("@InsertOuUpdate", true);
    return 0;
  }
  std::vector<DbValue> params = fields;
  params.push_back(id);
  call.Db().Run(
      "UPDATE Balanco SET empresa = ?, dataref = ?, consolidado = ?, sourcedobal = ?, TipoDocumento = ?, meses = ?, "
      "moeda = ?, datamoeda = ?, datadivulgacao = ?, DataUltAlteracao = ?, corrmon = ?, Incompleto = ?, "
      "ChecagemFalhou = ?, AceitarFalhaNaChecagem = ?, BalEntrouComoNovoBD = ? WHERE id = ?",
      params);
  call.SetOut("@id", id);
  call.SetOut("@InsertOuUpdate", false);
  return 0;
}

int BalDel(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), Required(call, "@id")})) return code;
  return call.Db().Run("DELETE FROM Balanco WHERE id = ?", {call.In("@id")}) == 0 ? kNotFoundToDelete : 0;
}

int BalancosIdDaEmp(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), Required(call, "@empresa")})) return code;
  call.AddResultSet(
      "SELECT id FROM Balanco WHERE empresa = ? AND (? = 0 OR consolidado = ?) AND sourcedobal = ? AND "
      "TipoDocumento = ? ORDER BY dataref, consolidado",
      {call.In("@empresa"), static_cast<int64_t>(Flag(call, "@restringe_consolidado")),
       static_cast<int64_t>(Flag(call, "@consolidado")), IntegerOr(call, "@SourceDoBal", 0),
       IntegerOr(call, "@TipoDocumento", 0)});
  return 0;
}

int NaoLogaContasAdd(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), Required(call, "@id")})) return code;
  call.Db().Run("INSERT INTO BalancoNaoLogaContas (balanco) VALUES (?) ON CONFLICT DO NOTHING", {call.In("@id")});
  return 0;
}

int NaoLogaContasDel(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), Required(call, "@id")})) return code;
  call.Db().Run("DELETE FROM BalancoNaoLogaContas WHERE balanco = ?", {call.In("@id")});
  return 0;
}

// The characteristic flags in the order of their parameters, kept as the bits of one column.
constexpr std::array<const char*, 16> kCaracs = {
    "carac_Periodizavel", "carac_PeriodizCalc",   "carac_EmMoeda",        "carac_03",
    "carac_04",           "carac_AfetadaPorLote", "carac_DoResumo",       "carac_EhPorAcao",
    "carac_HideNaEsctreco", "carac_OferecePriBal", "carac_10",            "carac_11",
    "carac_12",           "carac_13",             "carac_14",             "carac_15"};

// The account columns named like the fields of the client's record, the names in the user's language.
std::string AccountSelect(ProcContext& call) {
  const std::optional<SessionUser> user = ReadSessionUser(call);
  const char* language = !user || user->lingua == 0 ? "Por" : user->lingua == 1 ? "Ing" : "Esp";
  std::string sql = std::string("SELECT c.id, c.nome_extenso_") + language + " AS Nome_Extenso, c.nome_compacto_" +
                    language + " AS Nome_Compacto, c.bloco AS Bloco, c.ordemnobloco AS OrdemNoBloco, c.decimais AS "
                    "Decimais, c.formatacao AS Formatacao";
  for (size_t i = 0; i < kCaracs.size(); ++i) {
    sql += ", (c.caracs >> " + std::to_string(i) + ") & 1 AS " + kCaracs[i];
  }
  // The per-account lists of the reference writers count as well as the account's own columns.
  sql +=
      ", c.comocalcular, c.comocalcular_num AS comocalcular_Num, "
      "(c.HideNoZorInput OR EXISTS (SELECT 1 FROM HideNoZorInput h WHERE h.IdConta = c.id)) AS HideNoZorInput, "
      "coalesce((SELECT Num FROM BlocoPadraoNaDigitacao b WHERE b.IdConta = c.id), c.BlocoPadraoNaDigitacao) AS "
      "BlocoPadraoNaDigitacao FROM ContaBal c";
  return sql;
}

int ContaBalGet(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), Required(call, "@id")})) return code;
  const ResultSet& rows = call.AddResultSet(AccountSelect(call) + " WHERE c.id = ?", {call.In("@id")});
  return rows.rows.empty() ? kNotFound : 0;
}

int ContaBalDoFBalGet(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), Required(call, "@id")})) return code;
  call.AddResultSet(AccountSelect(call) +
                        " WHERE c.id IN (SELECT conta FROM ApresFmtBalItems WHERE fmtbal = ? AND tipo IN (0, 3)) "
                        "ORDER BY c.id",
                    {call.In("@id")});
  return 0;
}

int ContaBalPut(ProcContext& call) {
  if (const int code = FirstFailure({RequireAdministrator(call), IntegerIn(call, "@id", 1, 8000)})) return code;
  int64_t caracs = 0;
  for (size_t i = 0; i < kCaracs.size(); ++i) {
    if (Flag(call, std::string("@") + kCaracs[i])) caracs |= int64_t{1} << i;
  }
  call.Db().Run(
      "INSERT OR REPLACE INTO ContaBal (id, nome_extenso_Por, nome_extenso_Ing, nome_extenso_Esp, nome_compacto_Por, "
      "nome_compacto_Ing, nome_compacto_Esp, bloco, ordemnobloco, decimais, formatacao, caracs, comocalcular, "
      "comocalcular_num, HideNoZorInput, BlocoPadraoNaDigitacao) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      {call.In("@id"), TextOr(call, "@nome_extenso_Por"), TextOr(call, "@nome_extenso_Ing"),
       TextOr(call, "@nome_extenso_Esp"), TextOr(call, "@nome_compacto_Por"), TextOr(call, "@nome_compacto_Ing"),
       TextOr(call, "@nome_compacto_Esp"), IntegerOr(call, "@bloco", 0), IntegerOr(call, "@ordemnobloco", 0),
       IntegerOr(call, "@decimais", 0), IntegerOr(call, "@formatacao", 0), caracs, IntegerOr(call, "@comocalcular", 0),
       IntegerOr(call, "@comocalcular_num", 0), Flag(call, "@HideNoZorInput"),
       IntegerOr(call, "@BlocoPadraoNaDigitacao", 0)});
  return 0;
}

int ContaBalDel(ProcContext& call) {
  if (const int code = FirstFailure({RequireAdministrator(call), Required(call, "@id")})) return code;
  return call.Db().Run("DELETE FROM ContaBal WHERE id = ?", {call.In("@id")}) == 0 ? kNotFoundToDelete : 0;
}

int BlocoContaBalPut(ProcContext& call) {
  if (const int code = FirstFailure({RequireAdministrator(call), IntegerIn(call, "@id", 1, INT32_MAX)})) return code;
  const std::string name =
      TextOr(call, "@nomePor") + "|" + TextOr(call, "@nomeIng") + "|" + TextOr(call, "@nomeEsp");
  call.Db().Run("INSERT INTO BlocoDeContaBal (id, nome) VALUES (?, ?) ON CONFLICT (id) DO UPDATE SET nome = excluded.nome",
                {call.In("@id"), name});
  return 0;
}

int ContaBalGetBlocoPadraoNaDigitacao(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  call.AddResultSet("SELECT IdConta FROM BlocoPadraoNaDigitacao ORDER BY Num, IdConta");
  return 0;
}

int FormatoBalPut(ProcContext& call) {
  if (const int code = FirstFailure({RequireAdministrator(call), Required(call, "@id")})) return code;
  const std::string name = TextOr(call, "@nome");
  const std::string longName = TextOr(call, "@nome_extenso");
  call.Db().Run(
      "INSERT INTO FmtBal (id, nome, nome_extenso, pais, flags) VALUES (?, ?, ?, ?, ?) ON CONFLICT (id) DO UPDATE "
      "SET nome = excluded.nome, nome_extenso = excluded.nome_extenso, pais = excluded.pais, flags = excluded.flags",
      {call.In("@id"), name.empty() ? longName : name, longName, IntegerOr(call, "@pais", 0),
       IntegerOr(call, "@flags", 0)});
  return 0;
}

// A line's identification group is its own, else the one the reference writer gave its account.
int ApresFmtBalItemsGet(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), Required(call, "@id")})) return code;
  call.AddResultSet(
      "SELECT i.fmtbal, i.seq, i.tipo, i.conta, i.sinal, i.indentacao, i.anvert, CASE WHEN i.IdentificacaoDeContas "
      "<> 0 OR i.tipo NOT IN (0, 3) THEN i.IdentificacaoDeContas ELSE coalesce((SELECT Identificacao FROM "
      "IdentificacaoDeContas g WHERE g.IdConta = i.conta), 0) END AS IdentificacaoDeContas, i.bloco, "
      "i.IndTituloCarteira, i.IndTipoCarteira FROM ApresFmtBalItems i WHERE i.fmtbal = ? ORDER BY i.seq",
      {call.In("@id")});
  return 0;
}

int StatementRight(const SessionUser&) { return 0; }
int AdministratorRight(const SessionUser& user) { return user.isAdmin ? 0 : kNotAdministrator; }

}  // namespace

void RegisterStatementProcedures(Registry& registry) {
  std::vector<ParamInfo> balGet = HeaderOutputs(false);
  balGet[0].direction = ParamDirection::InputOutput;
  registry.Add({"BalGet", ProcAccess::Reads, balGet, BalGet});
  registry.Add({"BalGetPelaDataCons", ProcAccess::Reads, HeaderOutputs(true), BalGetPelaDataCons});
  registry.Add({"BalHeadPutV2",
                ProcAccess::Writes,
                {InOut("@id", kInt), In("@empresa", kInt), In("@DataRef", kDate), In("@Consolidado", kInt),
                 In("@SourceDoBal", kInt), In("@Meses", kInt), In("@Moeda", kInt), In("@DataMoeda", kDate),
                 In("@DataDivulgacao", kDate), In("@CorrMon", kInt), In("@Incompleto", kBool),
                 In("@ChecagemFalhou", kInt), In("@AceitarFalhaNaChecagem", kBool), In("@BalEntrouComoNovoBD", kBool),
                 In("@TipoDocumento", kInt), Out("@InsertOuUpdate", kBool)},
                BalHeadPutV2});
  registry.Add({"BalDel", ProcAccess::Writes, {In("@id", kInt)}, BalDel});
  registry.Add({"BalancosIdDaEmp",
                ProcAccess::Reads,
                {In("@empresa", kInt), In("@restringe_consolidado", kBool), In("@consolidado", kBool),
                 In("@SourceDoBal", kInt), In("@TipoDocumento", kInt)},
                BalancosIdDaEmp});
  registry.Add({"BalancoNaoLogaContasAdd", ProcAccess::Writes, {In("@id", kInt)}, NaoLogaContasAdd});
  registry.Add({"BalancoNaoLogaContasDel", ProcAccess::Writes, {In("@id", kInt)}, NaoLogaContasDel});

  registry.Add({"ContaBalGet", ProcAccess::Reads, {In("@id", kInt)}, ContaBalGet});
  registry.Add({"ContaBalDoFBalGet", ProcAccess::Reads, {In("@id", kInt)}, ContaBalDoFBalGet});
  std::vector<ParamInfo> contaPut = {In("@id", kInt),
                                     In("@nome_extenso_Por", kText),
                                     In("@nome_extenso_Ing", kText),
                                     In("@nome_extenso_Esp", kText),
                                     In("@nome_compacto_Por", kText),
                                     In("@nome_compacto_Ing", kText),
                                     In("@nome_compacto_Esp", kText),
                                     In("@bloco", kInt),
                                     In("@ordemnobloco", kInt),
                                     In("@decimais", kInt),
                                     In("@formatacao", kInt)};
  for (const char* carac : kCaracs) contaPut.push_back({std::string("@") + carac, kBool, ParamDirection::Input});
  for (ParamInfo p : {In("@comocalcular", kInt), In("@comocalcular_num", kInt), In("@HideNoZorInput", kBool),
                      In("@BlocoPadraoNaDigitacao", kInt), In("@ComCamposExtraZor", kBool)})
    contaPut.push_back(p);
  registry.Add({"ContaBalPut", ProcAccess::Writes, contaPut, ContaBalPut});
  registry.Add({"ContaBalDel", ProcAccess::Writes, {In("@id", kInt)}, ContaBalDel});
  registry.Add({"BlocoContaBalPut",
                ProcAccess::Writes,
                {In("@id", kInt), In("@nomePor", kText), In("@nomeIng", kText), In("@nomeEsp", kText)},
                BlocoContaBalPut});
  registry.Add({"ContaBalGetBlocoPadraoNaDigitacao", ProcAccess::Reads, {}, ContaBalGetBlocoPadraoNaDigitacao});
  registry.Add({"FormatoBalPut",
                ProcAccess::Writes,
                {In("@id", kInt), In("@pais", kInt), In("@nome", kText), In("@nome_extenso", kText), In("@flags", kInt)},
                FormatoBalPut});
  registry.Add({"ApresFmtBalItemsGet", ProcAccess::Reads, {In("@id", kInt)}, ApresFmtBalItemsGet});
  registry.AllowRowChanges("BalancoUmaConta", StatementRight);
  registry.AllowRowChanges("ApresFmtBalItems", AdministratorRight);
}

}  // namespace zi::server

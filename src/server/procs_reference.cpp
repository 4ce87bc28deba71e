#include "server/procedures.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

// What the reference procedures answer besides 0 (the shared codes of proc_checks.h):
// - 18456 a writer called without a logged-in user, or when the user's row is gone;
// - 99105 changing countries, currencies or exchanges without being an administrator;
// - 99101 NULL, or a text of blanks only, where a value is required;
// - 99102 a value outside its range: ids, account numbers 1..8000, field codes 0..247, data-log
//   types 0..148, priorities 0..9, a country code that is not 2 or 3 letters or digits, a currency
//   symbol with a blank, a value-list name holding "|";
// - 99103 the country a currency or an exchange belongs to does not exist;
// - 99106 a code, symbol, abbreviation or document key that another item already holds;
// - 8605 the value-list item to change does not exist.
constexpr int64_t kMaxCountry = 79;
constexpr int64_t kMaxCurrency = 31;
constexpr int64_t kMaxSmallId = 32767;  // ids of the server's 16-bit columns
constexpr int64_t kMaxVoteStatus = 255;
constexpr int64_t kFirstAccount = 1;
constexpr int64_t kLastAccount = 8000;
constexpr int64_t kMaxFieldCode = 247;
constexpr int64_t kMaxDataLogType = 148;
constexpr int64_t kMaxPriority = 9;

bool IsCodeCharacter(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A country's code is its two- or three-letter code (digits for the countries without letters).
int CheckCountryCode(const std::string& code) {
  if (code.size() != 2 && code.size() != 3) return kOutOfRange;
  for (const char c : code) {
    if (!IsCodeCharacter(c)) return kOutOfRange;
  }
  return 0;
}

// The client takes a currency's symbol from the last blank-separated word of its name.
int CheckCurrencySymbol(const std::string& symbol) {
  return symbol.find_first_of(" \t") == std::string::npos ? 0 : kOutOfRange;
}

int CountryExists(ProcContext& call, const std::string& param) {
  return Exists(call, "SELECT EXISTS (SELECT 1 FROM Pais WHERE id = ?)", {call.In(param)}) ? 0 : kUnknownReference;
}

int PaisPut(ProcContext& call) {
  if (const int code = FirstFailure({RequireAdministrator(call), IntegerIn(call, "@id", 0, kMaxCountry),
                                     RequiredText(call, "@cod"), RequiredText(call, "@nome")})) {
    return code;
  }
  const std::string code = call.In("@cod").AsText();
  if (const int invalid = CheckCountryCode(code)) return invalid;
  if (Exists(call, "SELECT EXISTS (SELECT 1 FROM Pais WHERE id <> ? AND (cod2 = ? OR cod3 = ?))",
             {call.In("@id"), code, code})) {
    return kCodeTaken;
  }
  call.Db().Run(code.size() == 2 ? "INSERT INTO Pais (id, cod2, nome) VALUES (?, ?, ?) "
                                   "ON CONFLICT (id) DO UPDATE SET cod2 = excluded.cod2, nome = excluded.nome"
                                 : "INSERT INTO Pais (id, cod3, nome) VALUES (?, ?, ?) "
                                   "ON CONFLICT (id) DO UPDATE SET cod3 = excluded.cod3, nome = excluded.nome",
                {call.In("@id"), code, call.In("@nome")});
  return 0;
}

int MoedaPut(ProcContext& call) {
  if (const int code = FirstFailure({RequireAdministrator(call), IntegerIn(call, "@id", 0, kMaxCurrency),
                                     RequiredText(call, "@cod"), IntegerIn(call, "@pais", 0, kMaxCountry)})) {
    return code;
  }
  const std::string symbol = call.In("@cod").AsText();
  if (const int code = FirstFailure({CheckCurrencySymbol(symbol), CountryExists(call, "@pais")})) return code;
  if (Exists(call, "SELECT EXISTS (SELECT 1 FROM Moeda WHERE id <> ? AND cod = ?)", {call.In("@id"), symbol})) {
    return kCodeTaken;
  }
  call.Db().Run(
      "INSERT INTO Moeda (id, cod, pais, nome) VALUES (?, ?, ?, ?) "
      "ON CONFLICT (id) DO UPDATE SET cod = excluded.cod, pais = excluded.pais, nome = excluded.nome",
      {call.In("@id"), symbol, call.In("@pais"), TextOr(call, "@nome")});
  return 0;
}

int BolsaPut(ProcContext& call) {
  if (const int code = FirstFailure({RequireAdministrator(call), IntegerIn(call, "@id", 0, kMaxSmallId),
                                     IntegerIn(call, "@pais", 0, kMaxCountry), RequiredText(call, "@cod")})) {
    return code;
  }
  if (const int code = CountryExists(call, "@pais")) return code;
  if (Exists(call, "SELECT EXISTS (SELECT 1 FROM Bolsa WHERE id <> ? AND cod = ?)",
             {call.In("@id"), call.In("@cod")})) {
    return kCodeTaken;
  }
  call.Db().Run(
      "INSERT INTO Bolsa (id, pais, cod, cod_iso10383, id_anb_indice, flag, id_calendario, outros_codigos_aceitos) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
      "ON CONFLICT (id) DO UPDATE SET pais = excluded.pais, cod = excluded.cod, "
      "cod_iso10383 = excluded.cod_iso10383, id_anb_indice = excluded.id_anb_indice, flag = excluded.flag, "
      "id_calendario = excluded.id_calendario, outros_codigos_aceitos = excluded.outros_codigos_aceitos",
      {call.In("@id"), call.In("@pais"), call.In("@cod"), TextOr(call, "@codiso10383"),
       IntegerOr(call, "@idanbindice", 0), IntegerOr(call, "@flag", 0), IntegerOr(call, "@idcalendario", 0),
       TextOr(call, "@outroscodigosaceitos")});
  return 0;
}

int VoteStatPut(ProcContext& call) {
  if (const int code =
          FirstFailure({RequireUser(call), IntegerIn(call, "@id", 0, kMaxVoteStatus), RequiredText(call, "@cod")})) {
    return code;
  }
  if (Exists(call, "SELECT EXISTS (SELECT 1 FROM VoteStat WHERE id <> ? AND cod = ?)",
             {call.In("@id"), call.In("@cod")})) {
    return kCodeTaken;
  }
  call.Db().Run("INSERT INTO VoteStat (id, cod) VALUES (?, ?) ON CONFLICT (id) DO UPDATE SET cod = excluded.cod",
                {call.In("@id"), call.In("@cod")});
  return 0;
}

int HideNoZorInputPut(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), IntegerIn(call, "@IdConta", kFirstAccount, kLastAccount)})) {
    return code;
  }
  call.Db().Run("INSERT INTO HideNoZorInput (IdConta) VALUES (?) ON CONFLICT DO NOTHING", {call.In("@IdConta")});
  return 0;
}

int BlocoPadraoNaDigitacaoPut(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), IntegerIn(call, "@Num", 0, kMaxSmallId),
                                     IntegerIn(call, "@IdConta", kFirstAccount, kLastAccount)})) {
    return code;
  }
  call.Db().Run(
      "INSERT INTO BlocoPadraoNaDigitacao (IdConta, Num) VALUES (?, ?) "
      "ON CONFLICT (IdConta) DO UPDATE SET Num = excluded.Num",
      {call.In("@IdConta"), call.In("@Num")});
  return 0;
}

int IdentificacaoDeContasPut(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), IntegerIn(call, "@Identificacao", 0, kMaxSmallId),
                                     IntegerIn(call, "@IdConta", kFirstAccount, kLastAccount)})) {
    return code;
  }
  call.Db().Run(
      "INSERT INTO IdentificacaoDeContas (IdConta, Identificacao) VALUES (?, ?) "
      "ON CONFLICT (IdConta) DO UPDATE SET Identificacao = excluded.Identificacao",
      {call.In("@IdConta"), call.In("@Identificacao")});
  return 0;
}

int OcoTipoPut(ProcContext& call) {
  if (const int code =
          FirstFailure({RequireUser(call), IntegerIn(call, "@id", 0, kMaxSmallId), RequiredText(call, "@abrv")})) {
    return code;
  }
  if (Exists(call, "SELECT EXISTS (SELECT 1 FROM OcoTipo WHERE id <> ? AND abrv = ?)",
             {call.In("@id"), call.In("@abrv")})) {
    return kCodeTaken;
  }
  call.Db().Run(
      "INSERT INTO OcoTipo (id, seq, abrv, nome, loca, lb1, lb2) VALUES (?, ?, ?, ?, ?, ?, ?) "
      "ON CONFLICT (id) DO UPDATE SET seq = excluded.seq, abrv = excluded.abrv, nome = excluded.nome, "
      "loca = excluded.loca, lb1 = excluded.lb1, lb2 = excluded.lb2",
      {call.In("@id"), IntegerOr(call, "@seq", 0), call.In("@abrv"), TextOr(call, "@nome"), IntegerOr(call, "@loca", 0),
       TextOr(call, "@lb1"), TextOr(call, "@lb2")});
  return 0;
}

struct ItemNames {
  std::string pt;
  std::string en;
  std::string es;
};

// A value-list item's three names travel joined by "|", so no name may hold one.
int CheckItemNames(ProcContext& call, const std::string& pt, const std::string& en, const std::string& es) {
  if (const int code = RequiredText(call, pt)) return code;
  for (const std::string* param : {&pt, &en, &es}) {
    if (TextOr(call, *param).find('|') != std::string::npos) return kOutOfRange;
  }
  return 0;
}

ItemNames ReadItemNames(ProcContext& call, const std::string& pt, const std::string& en, const std::string& es) {
  return {call.In(pt).AsText(), TextOr(call, en), TextOr(call, es)};
}

int64_t NewListItemId(ProcContext& call, int64_t fieldCode) {
  const DbValue highest =
      call.Db().QueryValue("SELECT max(ordinal) FROM CampoListaDeValores WHERE formatocampo = ?", {fieldCode});
  return highest.IsNull() ? 1 : highest.AsInteger() + 1;
}

bool DocTaken(ProcContext& call, int64_t fieldCode, int64_t itemId, const std::string& doc) {
  return !doc.empty() && Exists(call,
                                "SELECT EXISTS (SELECT 1 FROM CampoListaDeValores "
                                "WHERE formatocampo = ? AND doc = ? AND ordinal <> ?)",
                                {fieldCode, doc, itemId});
}

int64_t InsertListItem(ProcContext& call, int64_t fieldCode, const std::string& doc, const ItemNames& names) {
  const int64_t id = NewListItemId(call, fieldCode);
  call.Db().Run(
      "INSERT INTO CampoListaDeValores (formatocampo, ordinal, doc, nomept, nomeen, nomees) "
      "VALUES (?, ?, ?, ?, ?, ?)",
      {fieldCode, id, doc, names.pt, names.en, names.es});
  return id;
}

// The item an update names: by its id when one is given, else by its document key.
std::optional<int64_t> FindListItem(ProcContext& call, int64_t fieldCode, int64_t id, const std::string& doc) {
  const DbValue found =
      id > 0 ? call.Db().QueryValue("SELECT ordinal FROM CampoListaDeValores WHERE formatocampo = ? AND ordinal = ?",
                                    {fieldCode, id})
             : call.Db().QueryValue("SELECT ordinal FROM CampoListaDeValores WHERE formatocampo = ? AND doc = ?",
                                    {fieldCode, doc});
  if (found.IsNull()) return std::nullopt;
  return found.AsInteger();
}

// A new item takes the next id of its list. An update keeps the item's document key unless a
// non-empty one is sent.
int AddListChoice(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), IntegerIn(call, "@FC", 0, kMaxFieldCode),
                                     call.IsNull("@id_new") ? kValueMissing : 0,
                                     CheckItemNames(call, "@nomePT", "@nomeEN", "@nomeES")})) {
    return code;
  }
  const int64_t fieldCode = Integer(call, "@FC");
  const std::string doc = Trim(TextOr(call, "@id_doc"));
  const ItemNames names = ReadItemNames(call, "@nomePT", "@nomeEN", "@nomeES");
  if (call.In("@id_new").AsBoolean()) {
    if (DocTaken(call, fieldCode, 0, doc)) return kCodeTaken;
    InsertListItem(call, fieldCode, doc, names);
    return 0;
  }
  const int64_t id = IntegerOr(call, "@id_id", 0);
  if (id <= 0 && doc.empty()) return kValueMissing;
  const std::optional<int64_t> item = FindListItem(call, fieldCode, id, doc);
  if (!item) return kNotFoundToUpdate;
  if (DocTaken(call, fieldCode, *item, doc)) return kCodeTaken;
  call.Db().Run(
      "UPDATE CampoListaDeValores SET nomept = ?, nomeen = ?, nomees = ?, "
      "doc = coalesce(nullif(?, ''), doc) WHERE formatocampo = ? AND ordinal = ?",
      {names.pt, names.en, names.es, doc, fieldCode, *item});
  return 0;
}

int AddItemCampoListaValores(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), IntegerIn(call, "@formatocampo", 0, kMaxFieldCode),
                                     CheckItemNames(call, "@ItemNamePT", "@ItemNameEN", "@ItemNameES")})) {
    return code;
  }
  const ItemNames names = ReadItemNames(call, "@ItemNamePT", "@ItemNameEN", "@ItemNameES");
  call.SetOut("@ItemId", InsertListItem(call, Integer(call, "@formatocampo"), "", names));
  return 0;
}

int GetCampoListaDeValores(ProcContext& call) {
  if (const int code = IntegerIn(call, "@formatocampo", 0, kMaxFieldCode)) return code;
  call.AddResultSet(
      "SELECT ordinal AS id, nomept || '|' || nomeen || '|' || nomees AS text, 0 AS grupo, 0 AS aux, 0 AS aux2, "
      "doc AS texto2 FROM CampoListaDeValores WHERE formatocampo = ? ORDER BY ordinal",
      {call.In("@formatocampo")});
  return 0;
}

int DataLogAdd(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), IntegerIn(call, "@tip", 0, kMaxDataLogType)})) return code;
  call.Db().Run("INSERT INTO DataLog (tip, oid, aux, date, txt, usuario, momento) VALUES (?, ?, ?, ?, ?, ?, ?)",
                {call.In("@tip"), IntegerOr(call, "@oid", 0), IntegerOr(call, "@aux", 0), call.In("@date"),
                 call.In("@txt"), call.SessionUserId(), call.Now()});
  return 0;
}

// Priority 0 comes from a program that asked for no particular urgency; 1 is the most urgent.
int ReqGBol(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), IntegerIn(call, "@Prioridade", 0, kMaxPriority)})) {
    return code;
  }
  call.Db().Run("INSERT INTO GBolPendente (prioridade, motivo, usuario, momento) VALUES (?, ?, ?, ?)",
                {call.In("@Prioridade"), Trim(TextOr(call, "@Motivo")), call.SessionUserId(), call.Now()});
  return 0;
}

int GetTiposDeBGLDestinoDaBolsa(ProcContext& call) {
  if (const int code = IntegerIn(call, "@bolsa", 0, kMaxSmallId)) return code;
  call.AddResultSet("SELECT TipoDeBGLDestino, cod FROM anbima WHERE bolsa = ? ORDER BY cod", {call.In("@bolsa")});
  return 0;
}

// The lists the client loads at login. It reads their columns by position: id, text, grupo, aux,
// aux2, texto2, aux3.
struct Enumeration {
  const char* name;
  const char* sql;
};

constexpr Enumeration kEnumerations[] = {
    {"EnumPais", "SELECT id, nome AS text FROM Pais ORDER BY id"},
    {"EnumPaisCod", "SELECT id, cod2 AS text FROM Pais ORDER BY id"},
    {"EnumBaseDeDadosComercializavel", "SELECT id, nome AS text FROM BaseDeDadosComercializavel ORDER BY id"},
    {"EnumTipoAplicacao", "SELECT id, nome AS text, pais AS grupo FROM TipoAplicacao ORDER BY id"},
    {"EnumPfItemTipoClassificacao", "SELECT id, nome AS text, pais AS grupo FROM PfItemTipoClassificacao ORDER BY id"},
    {"EnumTipoDeContrato", "SELECT id, nome AS text FROM TipoDeContrato ORDER BY id"},
    {"EnumMoeda", "SELECT id, ltrim(trim(nome) || ' ' || cod) AS text, pais AS grupo FROM Moeda ORDER BY id"},
    {"EnumAbrevMoeda", "SELECT id, cod AS text FROM Moeda ORDER BY id"},
    {"EnumFmtBal", "SELECT id, nome AS text FROM FmtBal ORDER BY id"},
    {"EnumBolsa", "SELECT id, cod AS text, pais AS grupo, flag AS aux FROM Bolsa ORDER BY id"},
    {"EnumVote", "SELECT id, cod AS text FROM VoteStat ORDER BY id"},
    {"EnumTipoObj", "SELECT id, nome AS text, 0 AS grupo, marca AS aux FROM TipoObj ORDER BY id"},
    {"EnumOcoAbrv", "SELECT id, abrv AS text FROM OcoTipo ORDER BY seq, id"},
    {"EnumOcoNome", "SELECT id, nome AS text FROM OcoTipo ORDER BY seq, id"},
    {"EnumBlocoDeContaBal", "SELECT id, nome AS text FROM BlocoDeContaBal ORDER BY id"},
    {"EnumClasses", "SELECT id, nome AS text, 0 AS grupo, coalesce(mae, 0) AS aux FROM Classes ORDER BY id"},
    {"EnumCidade", "SELECT id, nome AS text, uf AS grupo FROM Cidade ORDER BY id"},
    {"EnumDataLogTipo", "SELECT id, nome AS text FROM DataLogTipo ORDER BY id"},
};

// Every country for now: rights by country are not kept yet.
int EnumPaisDoUsr(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  call.AddResultSet("SELECT id, nome AS text FROM Pais ORDER BY id");
  return 0;
}

ParamInfo In(const char* name, DbType type) { return {name, type, ParamDirection::Input}; }

void RegisterEnumerations(Registry& registry) {
  for (const Enumeration& e : kEnumerations) {
    registry.Add({e.name, ProcAccess::Reads, {}, [sql = e.sql](ProcContext& call) {
                    call.AddResultSet(sql);
                    return 0;
                  }});
  }
  registry.Add({"EnumPaisDoUsr", ProcAccess::Reads, {}, EnumPaisDoUsr});
  registry.Add(
      {"GetCampoListaDeValores", ProcAccess::Reads, {In("@formatocampo", DbType::Integer)}, GetCampoListaDeValores});
  registry.Add(
      {"GetTiposDeBGLDestinoDaBolsa", ProcAccess::Reads, {In("@bolsa", DbType::Integer)}, GetTiposDeBGLDestinoDaBolsa});
}

void RegisterWriters(Registry& registry) {
  constexpr DbType kInt = DbType::Integer;
  constexpr DbType kText = DbType::Text;
  registry.Add({"PaisPut", ProcAccess::Writes, {In("@id", kInt), In("@cod", kText), In("@nome", kText)}, PaisPut});
  registry.Add({"MoedaPut",
                ProcAccess::Writes,
                {In("@id", kInt), In("@cod", kText), In("@pais", kInt), In("@nome", kText)},
                MoedaPut});
  registry.Add(
      {"BolsaPut",
       ProcAccess::Writes,
       {In("@id", kInt), In("@pais", kInt), In("@cod", kText), In("@codiso10383", kText), In("@idanbindice", kInt),
        In("@flag", kInt), In("@idcalendario", kInt), In("@outroscodigosaceitos", kText)},
       BolsaPut});
  registry.Add({"VoteStatPut", ProcAccess::Writes, {In("@id", kInt), In("@cod", kText)}, VoteStatPut});
  registry.Add({"HideNoZorInputPut", ProcAccess::Writes, {In("@IdConta", kInt)}, HideNoZorInputPut});
  registry.Add({"BlocoPadraoNaDigitacaoPut",
                ProcAccess::Writes,
                {In("@Num", kInt), In("@IdConta", kInt)},
                BlocoPadraoNaDigitacaoPut});
  registry.Add({"IdentificacaoDeContasPut",
                ProcAccess::Writes,
                {In("@Identificacao", kInt), In("@IdConta", kInt)},
                IdentificacaoDeContasPut});
  registry.Add({"OcoTipoPut",
                ProcAccess::Writes,
                {In("@id", kInt), In("@seq", kInt), In("@abrv", kText), In("@nome", kText), In("@loca", kInt),
                 In("@lb1", kText), In("@lb2", kText)},
                OcoTipoPut});
  registry.Add({"AddListChoice",
                ProcAccess::Writes,
                {In("@FC", kInt), In("@id_new", DbType::Boolean), In("@id_id", kInt), In("@id_doc", kText),
                 In("@nomePT", kText), In("@nomeEN", kText), In("@nomeES", kText)},
                AddListChoice});
  registry.Add({"AddItemCampoListaValores",
                ProcAccess::Writes,
                {In("@formatocampo", kInt),
                 In("@ItemNamePT", kText),
                 In("@ItemNameEN", kText),
                 In("@ItemNameES", kText),
                 {"@ItemId", kInt, ParamDirection::Output}},
                AddItemCampoListaValores});
  registry.Add(
      {"DataLogAdd",
       ProcAccess::Writes,
       {In("@tip", kInt), In("@oid", kInt), In("@aux", kInt), In("@date", DbType::DateTime), In("@txt", kText)},
       DataLogAdd});
  registry.Add({"ReqGBol", ProcAccess::Writes, {In("@Prioridade", kInt), In("@Motivo", kText)}, ReqGBol});
}

}  // namespace

void RegisterReferenceProcedures(Registry& registry) {
  RegisterEnumerations(registry);
  RegisterWriters(registry);
}

}  // namespace zi::server

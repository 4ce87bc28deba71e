#include "server/procedures.h"

#include <cstdint>
#include <string>
#include <vector>

#include "server/multi_result.h"
#include "server/proc_checks.h"
#include "server/server.h"
#include "server/session_user.h"
#include "server/sqlite_db.h"

namespace zi::server {

namespace {

// The indicators of companies, classes and series: their definitions, the values of each level by
// effective date, and the registration templates. The readers follow the multi-result convention
// (multi_result.h): the code is in the first result set, 0 or one of these:
// - 18456 without a logged-in user, or when the user's row is gone (every procedure).
// The writers PutValorDoIndicador{DaEmp,DoAtv,DoAnb}NaData return, besides 0:
// - 18456 as above; 15258 writing a value of a company or a class without the company right, 99108
//   writing a value of a series without the series right (session_user.h);
// - 99101 the object or the indicator NULL;
// - 99103 the object or the indicator does not exist;
// - 99102 a value in a column that is not the one of the indicator's format (text formats keep it
//   in valorst, the date formats 27 and 28 in valordt, every other format in valornum), or more than
//   one value column set.
// A value is kept by (object, indicator, effective date): a put at a date replaces the value of
// that date and leaves the others, so each indicator keeps its history; a NULL date is the timeless
// value. Values with every column NULL are kept: the object has the indicator, without a value.
// The value at a date is the one of the latest effective date on or before it, the timeless value
// when there is none; without a date, the latest of all.
// The grids' row changes may change the three value tables: a user who is not an administrator
// needs the company right for the values of companies and classes, the series right for those of
// series. The tables' keys and references keep such changes to defined indicators of existing
// objects.

struct Level {
  const char* name;     // the procedures' part: DaEmp, DoAtv, DoAnb
  const char* key;      // the object's column, and the parameter that names it
  const char* table;    // the history
  const char* objects;  // the table of the objects
  UserRight right;
};

constexpr Level kLevels[] = {
    {"DaEmp", "emp", "IndicadoresDaEmp", "empresa", CompanyRight},
    {"DoAtv", "atv", "IndicadoresDoAtv", "ativo", CompanyRight},
    {"DoAnb", "anb", "IndicadoresDoAnb", "anbima", SeriesRight},
};

constexpr int64_t kTextFormat = 3;
constexpr int64_t kDateTimeFormat = 27;
constexpr int64_t kDateFormat = 28;

std::string KeyParam(const Level& level) { return std::string("@") + level.key; }

// The column in which an indicator of this format keeps its value.
const char* ValueColumn(int64_t format) {
  if (format == kTextFormat) return "@valorst";
  if (format == kDateTimeFormat || format == kDateFormat) return "@valordt";
  return "@valornum";
}

int CheckValueColumns(ProcContext& call, int64_t format) {
  const char* expected = ValueColumn(format);
  for (const char* column : {"@valornum", "@valordt", "@valorst"}) {
    if (!call.IsNull(column) && std::string(column) != expected) return kOutOfRange;
  }
  return 0;
}

int ExistsOr(ProcContext& call, const std::string& sql, const DbValue& id) {
  if (id.IsNull()) return kValueMissing;
  return Exists(call, sql, {id}) ? 0 : kUnknownReference;
}

int PutValue(ProcContext& call, const Level& level) {
  const std::string key = KeyParam(level);
  if (const int code = FirstFailure(
          {RequireRight(call, level.right),
           ExistsOr(call, std::string("SELECT EXISTS (SELECT 1 FROM ") + level.objects + " WHERE id = ?)",
                    call.In(key)),
           ExistsOr(call, "SELECT EXISTS (SELECT 1 FROM DefIndicador WHERE id = ?)", call.In("@idindica"))})) {
    return code;
  }
  const int64_t format =
      call.Db().QueryValue("SELECT FormatoCampo FROM DefIndicador WHERE id = ?", {call.In("@idindica")}).AsInteger();
  if (const int code = CheckValueColumns(call, format)) return code;
  const std::string table = level.table;
  call.Db().Run("DELETE FROM " + table + " WHERE " + level.key + " = ? AND indica = ? AND DataIniVigencia IS ?",
                {call.In(key), call.In("@idindica"), call.In("@datainivigencia")});
  call.Db().Run("INSERT INTO " + table + " (" + level.key +
                    ", indica, DataIniVigencia, valornum, valordt, valorst) VALUES (?, ?, ?, ?, ?, ?)",
                {call.In(key), call.In("@idindica"), call.In("@datainivigencia"), call.In("@valornum"),
                 call.In("@valordt"), call.In("@valorst")});
  return 0;
}

// Every value of the object, or of one indicator (@idindica not 0), in the order of their dates.
int GetValues(ProcContext& call, const Level& level) {
  const int64_t indicator = IntegerOr(call, "@idindica", 0);
  return AnswerMultiResult(
      call, RequireUser(call),
      std::string("SELECT indica, valornum, valordt, valorst, DataIniVigencia AS datainivigencia, ") + level.key +
          " FROM " + level.table + " WHERE " + level.key +
          " = ? AND (? = 0 OR indica = ?) ORDER BY indica, DataIniVigencia",
      {call.In(KeyParam(level)), indicator, indicator});
}

int GetValueAtDate(ProcContext& call, const Level& level) {
  return AnswerMultiResult(
      call, RequireUser(call),
      std::string("SELECT valorst, valornum, valordt FROM ") + level.table + " WHERE " + level.key +
          " = ? AND indica = ? AND (? IS NULL OR DataIniVigencia IS NULL OR DataIniVigencia <= ?) "
          "ORDER BY DataIniVigencia DESC LIMIT 1",
      {call.In(KeyParam(level)), call.In("@idindica"), call.In("@dataVigencia"), call.In("@dataVigencia")});
}

ParamInfo In(const std::string& name, DbType type) { return {name, type, ParamDirection::Input}; }

constexpr DbType kInt = DbType::Integer;

// A reader without parameters of the multi-result convention.
void AddListing(Registry& registry, const char* name, const char* sql) {
  registry.Add({name, ProcAccess::Reads, {}, [sql](ProcContext& call) {
                  return AnswerMultiResult(call, RequireUser(call), sql);
                }});
}

void RegisterLevel(Registry& registry, const Level& level) {
  const std::string key = KeyParam(level);
  registry.Add({std::string("GetIndicadores") + level.name,
                ProcAccess::Reads,
                {In(key, kInt), In("@idindica", kInt)},
                [&level](ProcContext& call) { return GetValues(call, level); }});
  registry.Add({std::string("PutValorDoIndicador") + level.name + "NaData",
                ProcAccess::Writes,
                {In(key, kInt), In("@idindica", kInt), In("@datainivigencia", DbType::DateTime),
                 In("@valornum", DbType::Float), In("@valordt", DbType::DateTime), In("@valorst", DbType::Text)},
                [&level](ProcContext& call) { return PutValue(call, level); }});
  registry.Add({std::string("GetIndicador") + level.name + "NaData",
                ProcAccess::Reads,
                {In(key, kInt), In("@idindica", kInt), In("@dataVigencia", DbType::DateTime)},
                [&level](ProcContext& call) { return GetValueAtDate(call, level); }});
  registry.AllowRowChanges(level.table, level.right);
}

}  // namespace

void RegisterIndicatorProcedures(Registry& registry) {
  for (const Level& level : kLevels) RegisterLevel(registry, level);
  AddListing(registry, "GetTodosDefIndicador",
             "SELECT id, grupo, ordem, tipo, largura, casas, FormatoCampo, aux7, aux8, aux9, NomePT, NomeEN, NomeES, "
             "texto13 FROM DefIndicador ORDER BY id");
  AddListing(registry, "FormatoDeCadastroList",
             "SELECT Id, Pais, Ordem, TituloPT, TituloEN, TituloES FROM FormatoDeCadastro ORDER BY Ordem, Id");
  AddListing(registry, "RegraDeFormatoDeCadastroList",
             "SELECT TipoObj, Pais, IdFDC FROM RegraDeFormatoDeCadastro ORDER BY TipoObj, Pais");
  AddListing(registry, "LinhaDeFormatoList",
             "SELECT IdFDC, IdLinha, EAA, TipoLinhaFormato, P1, StrPT, StrEN, StrES, VisivelNoZor FROM LinhaDeFormato "
             "ORDER BY IdFDC, IdLinha");
}

}  // namespace zi::server

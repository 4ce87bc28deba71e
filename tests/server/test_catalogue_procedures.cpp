// Companies, classes and series: writers and readers, the rights they enforce, lookups by code and
// the object lists.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "server/server.h"
#include "server_support.h"

namespace zi::server::test {
namespace {

using Values = std::map<std::string, DbValue>;
using Row = std::vector<DbValue>;

constexpr int kValueMissing = 99101;
constexpr int kOutOfRange = 99102;
constexpr int kUnknownReference = 99103;
constexpr int kNotFound = 99104;
constexpr int kNotAdministrator = 99105;
constexpr int kCodeTaken = 99106;
constexpr int kNotFoundToDelete = 8604;
constexpr int kNotFoundToUpdate = 8605;
constexpr int kHasChildren = 3799;

Values With(Values base, const Values& changes) {
  for (const auto& [name, value] : changes) base[name] = value;
  return base;
}

Values Company(const std::string& cod, int64_t pais, const std::string& nome) {
  return {{"@cod", cod},        {"@cnpj", ""},    {"@pais", pais},    {"@nome", nome},
          {"@moedabalLocal", 1}, {"@moedabalSEC", 0}, {"@fmtbal", 1},   {"@fmtbal1", 0},
          {"@fmtbal2", 0},       {"@fmtbal3", 0},    {"@naics", 0},      {"@moedaInformeFIDC", 0},
          {"@PodeAlterarPaisDaEmp", true},           {"@PodeSourceDiferenteDeLocal", true}};
}

Values Class(int64_t emp, int64_t idclass = 2, int64_t vote = 0) {
  return {{"@emp", emp},     {"@idclass", idclass},           {"@vote", vote},
          {"@tipoobj", 0},   {"@PodeMudarEmpDoAtv", true},   {"@PodeClasseEstrangeira", true}};
}

Values Series(int64_t acao, const std::string& cod, int64_t bolsa = 1) {
  return {{"@acao", acao},
          {"@cod", cod},
          {"@bolsa", bolsa},
          {"@TipoDeBGLDestino", 0},
          {"@moedacot", 1},
          {"@PaisProCodZor", -1},
          {"@cancelado", false},
          {"@TrazDadosDaEmp", false},
          {"@NaoAparecerNoZor", false},
          {"@IdCalendario", 0},
          {"@DisableCopy", 0},
          {"@FormatoDeCadastro", 0},
          {"@TipoDeContrato", 0},
          {"@MapaFaskel", 0},
          {"@OverrideGruposCampoCotacao", 0},
          {"@PodeMudarAtvDoAnb", true},
          {"@PodeTodosOsTiposDeBGL", true},
          {"@PodeMarcarTrazDadosDaEmp", true},
          {"@PodeAlterarCalendario", true},
          {"@NaoAparecerNoOmbrel", false},
          {"@PodeMudarAtvDoAnbPraCima", true}};
}

// The outputs of a call but for the ones named.
Values Without(Values outputs, const std::vector<std::string>& names) {
  for (const std::string& name : names) outputs.erase(name);
  return outputs;
}

class CatalogueTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(server_->Login("Ana", "s3cret").code, 0); }

  ProcedureResult Call(const std::string& procedure, const Values& inputs = {}) {
    return server_->Execute(procedure, inputs);
  }

  // The id an add that must succeed gives.
  int64_t Added(const std::string& procedure, const Values& inputs) {
    const ProcedureResult result = Call(procedure, inputs);
    EXPECT_EQ(result.returnValue, 0) << procedure;
    return result.returnValue == 0 ? result.outputs.at("@id").AsInteger() : 0;
  }

  std::vector<Row> Rows(const std::string& procedure, const Values& inputs) {
    const ProcedureResult result = Call(procedure, inputs);
    EXPECT_EQ(result.returnValue, 0) << procedure;
    if (result.resultSets.size() != 1) {
      ADD_FAILURE() << procedure << " answered " << result.resultSets.size() << " result sets";
      return {};
    }
    return result.resultSets[0].rows;
  }

  std::vector<Row> Query(const std::string& sql, const std::vector<DbValue>& params = {}) {
    return server_->ExecuteSql(sql, params).at(0).rows;
  }

  void LogInAsUser(int64_t userFlag) {
    ASSERT_GT(server_->AddUser({.name = "Bia", .userFlag = userFlag}, "pw"), 0);
    ASSERT_EQ(server_->Login("Bia", "pw").code, 0);
  }

  std::unique_ptr<Server> server_ = Server::Open(":memory:", ProductRegistry());
};

TEST_F(CatalogueTest, ObjectsAreAddedReadChangedAndDeleted) {
  const Values company = With(Company(" PETR ", 0, " Petrobras "),
                              {{"@cnpj", "33000167000101"}, {"@moedabalSEC", 2}, {"@fmtbal1", 2}, {"@fmtbal3", 1},
                               {"@naics", 211120}, {"@moedaInformeFIDC", 2}});
  const int64_t emp = Added("ObjEmpAddV3", With(company, {{"@id", 77}}));
  ASSERT_GT(emp, 0);
  const Values empRead{{"@id", emp},         {"@cod", "PETR"},       {"@cnpj", "33000167000101"},
                       {"@pais", 0},         {"@nome", "Petrobras"}, {"@moedabalLocal", 1},
                       {"@moedabalSEC", 2},  {"@fmtbal", 1},         {"@fmtbal1", 2},
                       {"@fmtbal2", 0},      {"@fmtbal3", 1},        {"@naics", 211120},
                       {"@moedaInformeFIDC", 2}};
  EXPECT_EQ(Call("ObjEmpGetV3", {{"@id", emp}}).outputs, empRead);
  ASSERT_EQ(Call("ObjEmpPutV3", With(company, {{"@id", emp}, {"@nome", "Petrobras S.A."}, {"@pais", 2}})).returnValue,
            0);
  EXPECT_EQ(Call("ObjEmpGetV3", {{"@id", emp}}).outputs,
            With(empRead, {{"@nome", "Petrobras S.A."}, {"@pais", 2}}));

  const int64_t atv = Added("ObjAtvAddV2", Class(emp, 3, 1));
  const Values atvRead{{"@id", atv}, {"@emp", emp}, {"@idclass", 3}, {"@vote", 1}, {"@tipoobj", 0}};
  EXPECT_EQ(Call("ObjAtvGetV2", {{"@id", atv}}).outputs, atvRead);
  ASSERT_EQ(Call("ObjAtvPutV2", With(Class(emp, 4, 0), {{"@id", atv}, {"@tipoobj", 2}})).returnValue, 0);
  EXPECT_EQ(Call("ObjAtvGetV2", {{"@id", atv}}).outputs,
            With(atvRead, {{"@idclass", 4}, {"@vote", 0}, {"@tipoobj", 2}}));

  const Values series = With(Series(atv, "PETR4"), {{"@TipoDeBGLDestino", 7},
                                                    {"@cancelado", true},
                                                    {"@TrazDadosDaEmp", true},
                                                    {"@NaoAparecerNoZor", true},
                                                    {"@IdCalendario", 3},
                                                    {"@DisableCopy", 1},
                                                    {"@FormatoDeCadastro", 11},
                                                    {"@TipoDeContrato", 2},
                                                    {"@MapaFaskel", 5},
                                                    {"@OverrideGruposCampoCotacao", 6},
                                                    {"@NaoAparecerNoOmbrel", true}});
  const ProcedureResult add = Call("ObjAnbAdd", series);
  ASSERT_EQ(add.returnValue, 0);
  const int64_t anb = add.outputs.at("@id").AsInteger();
  EXPECT_EQ(add.outputs.at("@PaisProCodZor"), DbValue(2)) << "the company's country";
  const Values anbRead{{"@id", anb},
                       {"@acao", atv},
                       {"@cod", "PETR4"},
                       {"@bolsa", 1},
                       {"@TipoDeBGLDestino", 7},
                       {"@moedacot", 1},
                       {"@PaisProCodZor", 2},
                       {"@cancelado", true},
                       {"@TrazDadosDaEmp", true},
                       {"@NaoAparecerNoZor", true},
                       {"@SerieMontada", false},
                       {"@IdCalendario", 3},
                       {"@DisableCopy", 1},
                       {"@FormatoDeCadastro", 11},
                       {"@TipoDeContrato", 2},
                       {"@MapaFaskel", 5},
                       {"@OverrideGruposCampoCotacao", 6},
                       {"@NaoAparecerNoOmbrel", true}};
  EXPECT_EQ(Call("ObjAnbGet", {{"@id", anb}}).outputs, anbRead);
  ASSERT_EQ(Call("ObjEmpPutV3", With(company, {{"@id", emp}, {"@pais", 0}})).returnValue, 0);
  const ProcedureResult put = Call("ObjAnbPut", With(series, {{"@id", anb}, {"@cod", "PETR3"}, {"@bolsa", 2}}));
  ASSERT_EQ(put.returnValue, 0);
  EXPECT_EQ(put.outputs.at("@PaisProCodZor"), DbValue(0)) << "follows the company's new country";
  EXPECT_EQ(Call("ObjAnbGet", {{"@id", anb}}).outputs,
            With(anbRead, {{"@cod", "PETR3"}, {"@bolsa", 2}, {"@PaisProCodZor", 0}}));

  EXPECT_EQ(Call("ObjEmpDel", {{"@id", emp}}).returnValue, kHasChildren);
  EXPECT_EQ(Call("ObjAtvDel", {{"@id", atv}}).returnValue, kHasChildren);
  const struct {
    const char* del;
    const char* get;
    int64_t id;
  } levels[] = {{"ObjAnbDel", "ObjAnbGet", anb}, {"ObjAtvDel", "ObjAtvGetV2", atv}, {"ObjEmpDel", "ObjEmpGetV3", emp}};
  for (const auto& level : levels) {
    EXPECT_EQ(Call(level.del, {{"@id", level.id}}).returnValue, 0) << level.del;
    EXPECT_EQ(Call(level.del, {{"@id", level.id}}).returnValue, kNotFoundToDelete) << level.del;
    const ProcedureResult gone = Call(level.get, {{"@id", level.id}});
    EXPECT_EQ(gone.returnValue, kNotFound) << level.get;
    for (const auto& [name, value] : Without(gone.outputs, {"@id"})) EXPECT_TRUE(value.IsNull()) << name;
  }
  // Every write that took names its object in the data log with its type (EmpAdd 1, EmpUpd 2 ...,
  // AnbUpd 58), refused ones not.
  EXPECT_EQ(Query("SELECT tip, oid, usuario FROM DataLog ORDER BY id"),
            (std::vector<Row>{{1, emp, 1}, {2, emp, 1}, {4, atv, 1}, {5, atv, 1}, {7, anb, 1}, {2, emp, 1},
                              {58, anb, 1}, {9, anb, 1}, {6, atv, 1}, {3, emp, 1}}));
}

TEST_F(CatalogueTest, AChangeThatLeavesTheRowAsItWasLogsNothing) {
  const Values company = Company("VALE", 0, "Vale");
  const int64_t emp = Added("ObjEmpAddV3", company);
  const int64_t atv = Added("ObjAtvAddV2", Class(emp));
  ASSERT_EQ(Call("ObjEmpPutV3", With(company, {{"@id", emp}})).returnValue, 0);
  ASSERT_EQ(Call("ObjAtvPutV2", With(Class(emp), {{"@id", atv}})).returnValue, 0);
  EXPECT_EQ(Query("SELECT tip, oid FROM DataLog ORDER BY id"), (std::vector<Row>{{1, emp}, {4, atv}}));
}

TEST_F(CatalogueTest, WritersRefuseValuesOutsideTheirRangesAndChangeNothing) {
  const int64_t emp = Added("ObjEmpAddV3", Company("VALE", 0, "Vale"));
  const int64_t atv = Added("ObjAtvAddV2", Class(emp));
  const int64_t anb = Added("ObjAnbAdd", Series(atv, "VALE3"));
  const struct {
    const char* procedure;
    Values inputs;
    int code;
  } cases[] = {
      {"ObjEmpAddV3", With(Company("X", 0, "X"), {{"@pais", 80}}), kUnknownReference},
      {"ObjEmpAddV3", With(Company("X", 0, "X"), {{"@pais", -1}}), kUnknownReference},
      {"ObjEmpAddV3", With(Company("X", 0, "X"), {{"@pais", DbValue()}}), kValueMissing},
      {"ObjEmpAddV3", With(Company("X", 0, "X"), {{"@moedabalLocal", -1}}), kUnknownReference},
      {"ObjEmpAddV3", With(Company("X", 0, "X"), {{"@moedaInformeFIDC", 32}}), kUnknownReference},
      {"ObjEmpAddV3", Company("  ", 0, "X"), kValueMissing},
      {"ObjEmpAddV3", Company("X", 0, ""), kValueMissing},
      {"ObjEmpAddV3", Company("vale", 0, "Another"), kCodeTaken},
      {"ObjEmpPutV3", With(Company("X", 0, "X"), {{"@id", emp + 1}}), kNotFoundToUpdate},
      {"ObjAtvAddV2", Class(emp + 1), kUnknownReference},
      {"ObjAtvAddV2", Class(emp, 99), kUnknownReference},
      {"ObjAtvAddV2", Class(emp, 2, -1), kUnknownReference},
      {"ObjAtvAddV2", With(Class(emp), {{"@tipoobj", 6}}), kUnknownReference},
      {"ObjAtvPutV2", With(Class(emp), {{"@id", atv + 1}}), kNotFoundToUpdate},
      {"ObjAnbAdd", Series(atv, "X", 9), kUnknownReference},
      {"ObjAnbAdd", With(Series(atv, "X"), {{"@TipoDeBGLDestino", 12}}), kOutOfRange},
      {"ObjAnbAdd", With(Series(atv, "X"), {{"@moedacot", -1}}), kUnknownReference},
      {"ObjAnbAdd", With(Series(atv, "X"), {{"@DisableCopy", 2}}), kOutOfRange},
      {"ObjAnbAdd", Series(atv, " "), kValueMissing},
      {"ObjAnbAdd", Series(atv + 1, "X"), kUnknownReference},
      {"ObjAnbAdd", Series(atv, "vale3"), kCodeTaken},
      {"ObjAnbPut", With(Series(atv, "X"), {{"@id", anb + 1}}), kNotFoundToUpdate},
  };
  const std::string before = server_->Dump();
  for (const auto& c : cases) EXPECT_EQ(Call(c.procedure, c.inputs).returnValue, c.code) << c.procedure;
  EXPECT_EQ(server_->Dump(), before);
  EXPECT_EQ(Call("ObjEmpAddV3", Company("VALE", 1, "Vale in another country")).returnValue, 0);
  EXPECT_EQ(Call("ObjAnbAdd", Series(atv, "VALE3", 2)).returnValue, 0) << "the same ticker on another exchange";
}

// Company 1 (Brazil) with classes 1 and 2, company 2 (Brazil) with class 3, company 3 (United
// States) without classes; series 1 on class 1, status 4, calendar 2, TrazDadosDaEmp set.
void AddRightsFixture(Server& server) {
  const auto ok = [&server](const char* procedure, const Values& inputs) {
    ASSERT_EQ(server.Execute(procedure, inputs).returnValue, 0) << procedure;
  };
  ok("ObjEmpAddV3", Company("A", 0, "Alpha"));
  ok("ObjEmpAddV3", Company("B", 0, "Beta"));
  ok("ObjEmpAddV3", Company("U", 1, "Union"));
  ok("ObjAtvAddV2", Class(1));
  ok("ObjAtvAddV2", Class(1, 3));
  ok("ObjAtvAddV2", Class(2));
  ok("ObjAnbAdd",
     With(Series(1, "AAA3"), {{"@TipoDeBGLDestino", 4}, {"@IdCalendario", 2}, {"@TrazDadosDaEmp", true}}));
}

TEST_F(CatalogueTest, EachRightsFlagGuardsItsChange) {
  const Values heldSeries =
      With(Series(1, "AAA3"), {{"@id", 1}, {"@TipoDeBGLDestino", 4}, {"@IdCalendario", 2}, {"@TrazDadosDaEmp", true}});
  const struct {
    const char* procedure;
    Values inputs;
    const char* flag;  // sent false, then true
    int code;
  } cases[] = {
      {"ObjEmpPutV3", With(Company("A", 2, "Alpha"), {{"@id", 1}}), "@PodeAlterarPaisDaEmp", 8603},
      {"ObjEmpAddV3", With(Company("C", 0, "Gamma"), {{"@moedabalSEC", 2}}), "@PodeSourceDiferenteDeLocal", 15252},
      {"ObjEmpPutV3", With(Company("A", 0, "Alpha"), {{"@id", 1}, {"@fmtbal2", 1}}), "@PodeSourceDiferenteDeLocal",
       15252},
      {"ObjAtvPutV2", With(Class(1), {{"@id", 3}}), "@PodeMudarEmpDoAtv", 99107},
      {"ObjAtvAddV2", Class(3), "@PodeClasseEstrangeira", 7141},
      {"ObjAnbPut", With(heldSeries, {{"@acao", 2}}), "@PodeMudarAtvDoAnb", 3755},
      {"ObjAnbPut", With(heldSeries, {{"@acao", 3}}), "@PodeMudarAtvDoAnbPraCima", 3755},
      {"ObjAnbAdd", With(Series(1, "AAA4"), {{"@TipoDeBGLDestino", 4}}), "@PodeTodosOsTiposDeBGL", 15275},
      {"ObjAnbPut", With(heldSeries, {{"@TipoDeBGLDestino", 11}}), "@PodeTodosOsTiposDeBGL", 15275},
      {"ObjAnbAdd", With(Series(1, "AAA4"), {{"@TrazDadosDaEmp", true}}), "@PodeMarcarTrazDadosDaEmp", 15276},
      {"ObjAnbAdd", With(Series(1, "AAA4"), {{"@IdCalendario", 1}}), "@PodeAlterarCalendario", 15277},
      {"ObjAnbPut", With(heldSeries, {{"@IdCalendario", 5}}), "@PodeAlterarCalendario", 15277},
  };
  for (const auto& c : cases) {
    server_ = Server::Open(":memory:", ProductRegistry());
    ASSERT_EQ(server_->Login("Ana", "s3cret").code, 0);
    AddRightsFixture(*server_);
    const std::string why = std::string(c.procedure) + " " + c.flag;
    const std::string before = server_->Dump();
    EXPECT_EQ(Call(c.procedure, With(c.inputs, {{c.flag, false}})).returnValue, c.code) << why;
    EXPECT_EQ(server_->Dump(), before) << why;
    EXPECT_EQ(Call(c.procedure, With(c.inputs, {{c.flag, true}})).returnValue, 0) << why;
  }
}

TEST_F(CatalogueTest, WithoutRightsFlagsUsersMayStillDoWhatNeedsNone) {
  AddRightsFixture(*server_);
  Values noRights;
  for (const char* flag : {"@PodeAlterarPaisDaEmp", "@PodeSourceDiferenteDeLocal", "@PodeMudarEmpDoAtv",
                           "@PodeClasseEstrangeira", "@PodeMudarAtvDoAnb", "@PodeTodosOsTiposDeBGL",
                           "@PodeMarcarTrazDadosDaEmp", "@PodeAlterarCalendario", "@PodeMudarAtvDoAnbPraCima"}) {
    noRights[flag] = false;
  }
  const auto without = [&noRights](const Values& inputs) {
    Values sent = inputs;
    for (const auto& [flag, value] : noRights) {
      if (sent.count(flag) != 0) sent[flag] = value;
    }
    return sent;
  };
  const struct {
    const char* procedure;
    Values inputs;
  } cases[] = {
      {"ObjEmpPutV3", With(Company("A", 0, "Alpha renamed"), {{"@id", 1}})},
      {"ObjEmpAddV3", Company("D", 0, "Delta")},
      {"ObjAtvPutV2", With(Class(1, 4), {{"@id", 1}})},
      {"ObjAnbAdd", With(Series(1, "AAA5"), {{"@TipoDeBGLDestino", 5}})},
      {"ObjAnbPut", With(Series(1, "AAA3"), {{"@id", 1}, {"@TipoDeBGLDestino", 4}, {"@IdCalendario", 2},
                                             {"@TrazDadosDaEmp", true}, {"@cancelado", true}})},
      {"ObjAnbPut", With(Series(1, "AAA3"), {{"@id", 1}, {"@TipoDeBGLDestino", 0}, {"@IdCalendario", 0}})},
  };
  for (const auto& c : cases) EXPECT_EQ(Call(c.procedure, without(c.inputs)).returnValue, 0) << c.procedure;
}

// A check procedure answers with the right that its writers apply, so that a window's warning and
// the server's answer always agree. Reading needs no right.
TEST_F(CatalogueTest, EachRightIsAnsweredAlikeByItsCheckAndByTheWritersItGuards) {
  const struct {
    int64_t userFlag;
    int company;  // the answer of the company right
    int series;   // the answer of the series right
  } cases[] = {{0, 15258, 99108}, {1, 0, 99108}, {2, 15258, 0}, {3, 0, 0}};
  const struct {
    const char* procedure;
    Values inputs;
    bool series;
  } writers[] = {
      {"ObjEmpAddV3", Company("N", 0, "New"), false},
      {"ObjEmpPutV3", With(Company("A", 0, "Alpha 2"), {{"@id", 1}}), false},
      {"ObjEmpDel", {{"@id", 4}}, false},
      {"ObjAtvAddV2", Class(1), false},
      {"ObjAtvPutV2", With(Class(1, 4), {{"@id", 1}}), false},
      {"ObjAtvDel", {{"@id", 2}}, false},
      {"ObjAnbAdd", Series(1, "AAA5"), true},
      {"ObjAnbPut",
       With(Series(1, "AAA3"), {{"@id", 1},
                                {"@TipoDeBGLDestino", 4},
                                {"@IdCalendario", 2},
                                {"@TrazDadosDaEmp", true},
                                {"@cancelado", true}}),
       true},
      {"ObjAnbDel", {{"@id", 1}}, true},
  };
  for (const auto& c : cases) {
    server_ = Server::Open(":memory:", ProductRegistry());
    ASSERT_EQ(server_->Login("Ana", "s3cret").code, 0);
    AddRightsFixture(*server_);
    Added("ObjEmpAddV3", Company("E", 0, "Empty"));
    LogInAsUser(c.userFlag);
    EXPECT_EQ(Call("ChkEmpDoUsr", {{"@id", 1}}).returnValue, c.company) << c.userFlag;
    EXPECT_EQ(Call("ChkAnbDoUsr", {{"@id", 1}}).returnValue, c.series) << c.userFlag;
    for (const auto& w : writers) {
      const std::string before = server_->Dump();
      const int code = Call(w.procedure, w.inputs).returnValue;
      EXPECT_EQ(code, w.series ? c.series : c.company) << w.procedure << " flags " << c.userFlag;
      if (code != 0) {
        EXPECT_EQ(server_->Dump(), before) << w.procedure << " flags " << c.userFlag;
      }
    }
    for (const char* read : {"ObjEmpGetV3", "ObjAtvGetV2"}) EXPECT_EQ(Call(read, {{"@id", 1}}).returnValue, 0) << read;
  }
}

TEST_F(CatalogueTest, EveryProcedureNeedsASession) {
  server_ = Server::Open(":memory:", ProductRegistry());
  for (const char* procedure :
       {"ObjEmpAddV3", "ObjEmpPutV3", "ObjEmpGetV3", "ObjEmpDel", "ObjAtvAddV2", "ObjAtvPutV2", "ObjAtvGetV2",
        "ObjAtvDel", "ObjAnbAdd", "ObjAnbPut", "ObjAnbGet", "ObjAnbDel", "GetIdEmp", "GetIdAtvV2",
        "GetRegistroCodCVMparaAnbima", "ClassAdd", "DefineFormatoBalDaEmpSeNulo", "GetTipoDeBGLDaAnb",
        "GetTotalAnbAtivosDessaBolsaTBGL", "AdminObjEmpRemandaTudo", "AdminObjAtvRemandaTudo",
        "AdminObjAnbRemandaTudo", "ObjListDaEmp", "ObjListProF2V2"}) {
    EXPECT_EQ(Call(procedure).returnValue, kLoginFailed) << procedure;
  }
  EXPECT_EQ(Call("GetIdAnb").returnValue, 0) << "its return value is an id";
}

// 4170 company not found, 4171 no class name of that name, 4172 the company has no class of that
// name; of two classes of one name, the first.
TEST_F(CatalogueTest, ClassLookupTellsMissingCompanyUnknownClassNameAndMissingClass) {
  const int64_t emp = Added("ObjEmpAddV3", Company("PETR", 0, "Petrobras"));
  const int64_t common = Added("ObjAtvAddV2", Class(emp, 2, 0));
  const int64_t preferred = Added("ObjAtvAddV2", Class(emp, 3, 1));
  Added("ObjAtvAddV2", Class(emp, 3, 0));
  const struct {
    const char* emp;
    int64_t pais;
    const char* className;
    int code;
    Values outputs;
  } cases[] = {
      {"petr", 0, "ORDIN\xE1RIAS", 0, {{"@IdEmp", emp}, {"@IdAtv", common}, {"@IdClass", 2}}},
      {" PETR ", 0, " Preferenciais ", 0, {{"@IdEmp", emp}, {"@IdAtv", preferred}, {"@IdClass", 3}}},
      {"PETR", 0, "Renda fixa", 4172, {{"@IdEmp", emp}, {"@IdAtv", 0}, {"@IdClass", 5}}},
      {"PETR", 0, "No such class", 4171, {{"@IdEmp", emp}, {"@IdAtv", 0}, {"@IdClass", 0}}},
      {"PETR", 1, "Preferenciais", 4170, {{"@IdEmp", 0}, {"@IdAtv", 0}, {"@IdClass", 0}}},
      {"XPTO", 0, "Preferenciais", 4170, {{"@IdEmp", 0}, {"@IdAtv", 0}, {"@IdClass", 0}}},
  };
  for (const auto& c : cases) {
    const ProcedureResult result = Call("GetIdAtvV2", {{"@emp", c.emp}, {"@pais", c.pais}, {"@class", c.className}});
    EXPECT_EQ(result.returnValue, c.code) << c.emp << " " << c.className;
    EXPECT_EQ(result.outputs, c.outputs) << c.emp << " " << c.className;
  }
}

TEST_F(CatalogueTest, ObjectListOfACompanyHasOneRowPerSeriesAndPerClassWithout) {
  const int64_t emp = Added("ObjEmpAddV3", Company("ALFA", 0, "Alpha"));
  const int64_t bare = Added("ObjEmpAddV3", Company("NADA", 1, "Nothing yet"));
  const int64_t withSeries = Added("ObjAtvAddV2", With(Class(emp, 3, 1), {{"@tipoobj", 2}}));
  const int64_t without = Added("ObjAtvAddV2", Class(emp, 2, 0));
  // Column 13 carries what chooses the series' quote layout, not its calendar.
  const int64_t first = Added("ObjAnbAdd", With(Series(withSeries, "AAA4"), {{"@TipoDeBGLDestino", 4},
                                                                           {"@cancelado", true},
                                                                           {"@IdCalendario", 7},
                                                                           {"@OverrideGruposCampoCotacao", 2},
                                                                           {"@FormatoDeCadastro", 9}}));
  const int64_t second = Added("ObjAnbAdd", Series(withSeries, "AAA11", 2));
  const std::vector<Row> expected = {
      {emp, "Alpha", 0, "ALFA", withSeries, 0, first, "AAA4", 1, 4, 3, 1, 2, 2, 9},
      {emp, "Alpha", 0, "ALFA", withSeries, 0, second, "AAA11", 2, 0, 3, 0, 2, 0, 0},
      {emp, "Alpha", 0, "ALFA", without, 0, 0, "", 0, 0, 2, 0, 0, 0, 0},
  };
  EXPECT_EQ(Rows("ObjListDaEmp", {{"@id", emp}}), expected);
  EXPECT_EQ(Rows("ObjListDaEmp", {{"@id", bare}}),
            (std::vector<Row>{{bare, "Nothing yet", 1, "NADA", 0, 0, 0, "", 0, 0, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(Call("ObjListDaEmp", {{"@id", bare + 1}}).returnValue, kNotFound);

  // The SQL texts the client sends.
  EXPECT_EQ(Query("select * from ObjListRoot where [EmpId]=" + std::to_string(emp) + " order by AtvId, AnbId"),
            (std::vector<Row>{{emp, 0, withSeries, 3, 2, first, "AAA4", 1},
                              {emp, 0, withSeries, 3, 2, second, "AAA11", 2},
                              {emp, 0, without, 2, 0, DbValue(), DbValue(), DbValue()}}));
  EXPECT_EQ(Query("select distinct EmpId from ObjIdList order by EmpId"), (std::vector<Row>{{emp}, {bare}}));
  EXPECT_EQ(Query("select count(*) from ObjIdList"), (std::vector<Row>{{6}}));
  EXPECT_EQ(Query("select pais, cod, id from empresa order by pais, cod"),
            (std::vector<Row>{{0, "ALFA", emp}, {1, "NADA", bare}}));
}

TEST_F(CatalogueTest, CompanySearchByNameTickerOrBothWithQuotesAndWildcardsTakenLiterally) {
  const int64_t alpha = Added("ObjEmpAddV3", Company("ALFA", 0, "Alpha 100% Ltd"));
  Added("ObjAnbAdd", Series(Added("ObjAtvAddV2", Class(alpha)), "A_B3"));
  const int64_t obrien = Added("ObjEmpAddV3", Company("OBR", 0, "O'Brien \"Holdings\""));
  Added("ObjAnbAdd", Series(Added("ObjAtvAddV2", Class(obrien)), "OBR3"));
  const int64_t beta = Added("ObjEmpAddV3", Company("BETA", 0, "Beta"));
  const int64_t betaClass = Added("ObjAtvAddV2", Class(beta));
  Added("ObjAnbAdd", Series(betaClass, "BETA3"));
  Added("ObjAnbAdd", Series(betaClass, "BETA11"));
  const struct {
    int64_t onde;
    const char* like;
    std::vector<std::string> found;  // company code/ticker per row
  } cases[] = {
      {0, "alpha", {"ALFA/A_B3"}},
      {0, "%", {"ALFA/A_B3"}},
      {0, "100%", {"ALFA/A_B3"}},
      {0, "0%_", {}},
      {0, "o'brien", {"OBR/OBR3"}},
      {0, "\"Holdings\"", {"OBR/OBR3"}},
      {0, "", {"ALFA/A_B3", "OBR/OBR3", "BETA/BETA3", "BETA/BETA11"}},
      {1, "_", {"ALFA/A_B3"}},
      {1, "eta", {"BETA/BETA3", "BETA/BETA11"}},
      {1, "Beta", {"BETA/BETA3", "BETA/BETA11"}},
      {2, "beta3", {"BETA/BETA3"}},
      {2, "BETA", {}},
      {3, "bet", {"BETA/BETA3", "BETA/BETA11"}},
      {3, "OBR", {"OBR/OBR3"}},
      {3, "0", {"ALFA/A_B3"}},
      {3, "1", {"ALFA/A_B3", "BETA/BETA11"}},
  };
  for (const int64_t auth : {0, 1}) {
    for (const auto& c : cases) {
      std::vector<std::string> found;
      for (const Row& row : Rows("ObjListProF2V2", {{"@auth", auth}, {"@like", c.like}, {"@onde", c.onde}})) {
        ASSERT_EQ(row.size(), 15u);
        found.push_back(row[3].AsText() + "/" + row[7].AsText());
      }
      EXPECT_EQ(found, c.found) << "onde " << c.onde << " like " << c.like;
    }
  }
  EXPECT_EQ(Call("ObjListProF2V2", {{"@auth", 0}, {"@like", "a"}, {"@onde", 4}}).returnValue, kOutOfRange);
  EXPECT_EQ(Call("ObjListProF2V2", {{"@auth", 2}, {"@like", "a"}, {"@onde", 0}}).returnValue, kOutOfRange);
}

TEST_F(CatalogueTest, CompanySearchFindsACompanyByItsCodeOrRegistryNumberToo) {
  const int64_t petro =
      Added("ObjEmpAddV3", With(Company("PTB", 0, "Petroleo Nacional"), {{"@cnpj", "33000167000101"}}));
  Added("ObjAnbAdd", Series(Added("ObjAtvAddV2", Class(petro)), "XPTO4"));
  const int64_t other = Added("ObjEmpAddV3", With(Company("ZZ9", 0, "Outra"), {{"@cnpj", "12345678000199"}}));
  Added("ObjAtvAddV2", Class(other));
  const struct {
    int64_t onde;
    const char* like;
    std::vector<std::string> found;  // company code/ticker per row
  } cases[] = {
      {0, "ptb", {"PTB/XPTO4"}},
      {0, "0001670", {"PTB/XPTO4"}},
      {0, "zz", {"ZZ9/"}},
      {0, "000199", {"ZZ9/"}},
      {0, "0001", {"PTB/XPTO4", "ZZ9/"}},
      {3, "PTB", {"PTB/XPTO4"}},
      {3, "33000167000101", {"PTB/XPTO4"}},
      {3, "xpto", {"PTB/XPTO4"}},
      {3, "%", {}},
      {1, "ptb", {}},
      {1, "0001", {}},
      {2, "PTB", {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> found;
    for (const Row& row : Rows("ObjListProF2V2", {{"@auth", 1}, {"@like", c.like}, {"@onde", c.onde}})) {
      found.push_back(row[3].AsText() + "/" + row[7].AsText());
    }
    EXPECT_EQ(found, c.found) << "onde " << c.onde << " like " << c.like;
  }
}

TEST_F(CatalogueTest, ClassAddAnswersAnExistingNameWithItsId) {
  const struct {
    const char* name;
    DbValue parent;
    int code;
    DbValue id;
  } cases[] = {
      {"Units", 1, 0, 6},
      {" units ", DbValue(), 50173, 6},
      {"ORDIN\xE1RIAS", 0, 50173, 2},
      {"Receipts", 0, 0, 7},
      {"Orphans", 99, kUnknownReference, DbValue()},
      {" ", 0, kValueMissing, DbValue()},
  };
  for (const auto& c : cases) {
    const ProcedureResult result =
        Call("ClassAdd", {{"@clss", c.name}, {"@pais", 0}, {"@filhaDe", c.parent}, {"@flag", 0}});
    EXPECT_EQ(result.returnValue, c.code) << c.name;
    EXPECT_EQ(result.outputs.at("@id"), c.id) << c.name;
  }
  EXPECT_EQ(Query("SELECT nome, mae FROM Classes WHERE id >= 6 ORDER BY id"),
            (std::vector<Row>{{"Units", 1}, {"Receipts", DbValue()}}));
}

TEST_F(CatalogueTest, LookupsByCode) {
  const int64_t emp = Added("ObjEmpAddV3", Company("VALE", 0, "Vale"));
  const int64_t atv = Added("ObjAtvAddV2", Class(emp));
  const int64_t vale3 = Added("ObjAnbAdd", With(Series(atv, "VALE3"), {{"@TipoDeBGLDestino", 5}}));
  Added("ObjAnbAdd", With(Series(atv, "VALE5"), {{"@TipoDeBGLDestino", 5}}));
  Added("ObjAnbAdd", With(Series(atv, "VALE6"), {{"@TipoDeBGLDestino", 5}, {"@cancelado", true}}));

  EXPECT_EQ(Call("GetIdEmp", {{"@cod", "vale "}, {"@pais", 0}}).outputs.at("@idemp"), DbValue(emp));
  const ProcedureResult missing = Call("GetIdEmp", {{"@cod", "VALE"}, {"@pais", 1}});
  EXPECT_EQ(missing.returnValue, 0);
  EXPECT_EQ(missing.outputs.at("@idemp"), DbValue(0));

  EXPECT_EQ(Call("GetIdAnb", {{"@cod", "vale3"}, {"@bolsa", 1}}).returnValue, vale3);
  EXPECT_EQ(Call("GetIdAnb", {{"@cod", "VALE3"}, {"@bolsa", 2}}).returnValue, 0);

  const ProcedureResult status = Call("GetTipoDeBGLDaAnb", {{"@cod", "VALE3"}, {"@bolsa", 1}});
  EXPECT_EQ(status.returnValue, 0);
  EXPECT_EQ(status.outputs.at("@TipoDeBGLDestino"), DbValue(5));
  EXPECT_EQ(Call("GetTipoDeBGLDaAnb", {{"@cod", "VALE4"}, {"@bolsa", 1}}).returnValue, 4042);

  const struct {
    int64_t bolsa;
    int64_t status;
    int64_t active;
  } totals[] = {{1, 5, 2}, {1, 0, 0}, {2, 5, 0}};
  for (const auto& t : totals) {
    EXPECT_EQ(Call("GetTotalAnbAtivosDessaBolsaTBGL", {{"@bolsa", t.bolsa}, {"@TipoDeBGLDestino", t.status}})
                  .outputs.at("@Num"),
              DbValue(t.active))
        << t.bolsa << "/" << t.status;
  }

  server_->ExecuteSql("INSERT INTO RegistroCodCVMparaAnbima (cod_provis, cod_anbima, idemp, idanb) VALUES (?, ?, ?, ?)",
                      {"VALE-provis", "VALE", emp, vale3});
  const ProcedureResult provisional = Call("GetRegistroCodCVMparaAnbima", {{"@cod_provis", "vale-PROVIS"}});
  EXPECT_EQ(provisional.returnValue, 1);
  EXPECT_EQ(provisional.outputs, (Values{{"@cod_anbima", "VALE"}, {"@idemp", emp}, {"@idanb", vale3}}));
  EXPECT_EQ(Call("GetRegistroCodCVMparaAnbima", {{"@cod_provis", "PETR-provis"}}).returnValue, 0);
}

TEST_F(CatalogueTest, FormatIsSetOnlyWhereTheCompanyHasNone) {
  const int64_t emp = Added("ObjEmpAddV3", Company("VALE", 0, "Vale"));
  const auto define = [this, emp](DbValue source, int64_t format) {
    return Call("DefineFormatoBalDaEmpSeNulo",
                {{"@emp", emp}, {"@sourcedobal", source}, {"@TipoDocumentoBal", 0}, {"@fmtbal", format}})
        .returnValue;
  };
  EXPECT_EQ(define(2, 7), 0);
  EXPECT_EQ(define(2, 8), 0);
  EXPECT_EQ(define(0, 9), 0);
  EXPECT_EQ(define(4, 9), kOutOfRange);
  EXPECT_EQ(define(DbValue(), 9), kValueMissing);
  EXPECT_EQ(Call("DefineFormatoBalDaEmpSeNulo",
                 {{"@emp", emp + 1}, {"@sourcedobal", 0}, {"@TipoDocumentoBal", 0}, {"@fmtbal", 1}})
                .returnValue,
            kNotFoundToUpdate);
  EXPECT_EQ(Query("SELECT fmtbal0, fmtbal1, fmtbal2, fmtbal3 FROM empresa"), (std::vector<Row>{{1, 0, 7, 0}}));
}

TEST_F(CatalogueTest, ResendingAnObjectLogsItForTheNextBulletin) {
  const int64_t emp = Added("ObjEmpAddV3", Company("VALE", 0, "Vale"));
  const int64_t atv = Added("ObjAtvAddV2", Class(emp));
  const int64_t anb = Added("ObjAnbAdd", Series(atv, "VALE3"));
  const struct {
    const char* procedure;
    int64_t id;
    int64_t logType;
  } cases[] = {
      {"AdminObjEmpRemandaTudo", emp, 37}, {"AdminObjAtvRemandaTudo", atv, 38}, {"AdminObjAnbRemandaTudo", anb, 39}};
  for (const auto& c : cases) {
    EXPECT_EQ(Call(c.procedure, {{"@id", c.id}}).returnValue, 0) << c.procedure;
    EXPECT_EQ(Call(c.procedure, {{"@id", c.id + 1}}).returnValue, kNotFound) << c.procedure;
  }
  // After the adds' own rows (EmpAdd, AtvAdd, AnbAdd).
  EXPECT_EQ(Query("SELECT tip, oid, usuario FROM DataLog WHERE tip >= 37 ORDER BY id"),
            (std::vector<Row>{{37, emp, 1}, {38, atv, 1}, {39, anb, 1}}));
  LogInAsUser(0x7FFFFFFF);
  for (const auto& c : cases) {
    EXPECT_EQ(Call(c.procedure, {{"@id", c.id}}).returnValue, kNotAdministrator) << c.procedure;
  }
}

}  // namespace
}  // namespace zi::server::test

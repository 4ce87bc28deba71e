// What the catalogue does with answers the substitute server never gives: values out of range,
// outputs of the wrong type. A registry made for these tests stands in for the server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "server/server.h"
#include "support/test_files.h"
#include "toolbox/log.h"

namespace zi {
namespace {

using server::ParamDirection;
using server::ProcContext;

// What the next call of a fake procedure answers.
struct Answer {
  int returnValue = 0;
  std::map<std::string, DbValue> outputs;
};
Answer& NextAnswer() {
  static Answer answer;
  return answer;
}

// Inputs typed as the client sends them; outputs declared as text, so that a test may answer any
// value, even one the client cannot convert.
server::ParamInfo Param(const std::string& name, ParamDirection direction) {
  DbType type = DbType::Integer;
  if (name == "@cod" || name == "@cnpj" || name == "@nome" || name == "@clss") type = DbType::Text;
  for (const char* flag : {"@cancelado", "@TrazDadosDaEmp", "@NaoAparecerNoZor", "@NaoAparecerNoOmbrel"})
    if (name == flag) type = DbType::Boolean;
  if (name.rfind("@Pode", 0) == 0) type = DbType::Boolean;
  if (direction == ParamDirection::Output) type = DbType::Text;
  return {name, type, direction};
}

server::ProcedureDecl Fake(const char* name, server::ProcAccess access, const std::vector<std::string>& inputs,
                           const std::vector<std::string>& outputs) {
  std::vector<server::ParamInfo> params;
  for (const auto& n : inputs)
    params.push_back(Param(n, n == "@id" ? ParamDirection::InputOutput : ParamDirection::Input));
  for (const auto& n : outputs) params.push_back(Param(n, ParamDirection::Output));
  return {name, access, params, [](ProcContext& c) {
            for (const auto& [n, v] : NextAnswer().outputs) c.SetOut(n, v);
            return NextAnswer().returnValue;
          }};
}

const server::Registry& FakeRegistry() {
  static const server::Registry registry = [] {
    server::Registry r;
    r.Add(Fake("ObjEmpGetV3", server::ProcAccess::Reads, {"@id"},
               {"@cod", "@cnpj", "@pais", "@nome", "@moedabalLocal", "@moedabalSEC", "@fmtbal", "@fmtbal1", "@fmtbal2",
                "@fmtbal3", "@naics", "@moedaInformeFIDC"}));
    r.Add(Fake(
        "ObjEmpAddV3", server::ProcAccess::Writes,
        {"@id", "@cod", "@cnpj", "@pais", "@nome", "@moedabalLocal", "@moedabalSEC", "@fmtbal", "@fmtbal1", "@fmtbal2",
         "@fmtbal3", "@naics", "@PodeAlterarPaisDaEmp", "@PodeSourceDiferenteDeLocal", "@moedaInformeFIDC"},
        {}));
    r.Add(Fake(
        "ObjAnbGet", server::ProcAccess::Reads, {"@id"},
        {"@acao", "@cod", "@bolsa", "@TipoDeBGLDestino", "@moedacot", "@PaisProCodZor", "@cancelado", "@TrazDadosDaEmp",
         "@NaoAparecerNoZor", "@SerieMontada", "@IdCalendario", "@DisableCopy", "@FormatoDeCadastro", "@TipoDeContrato",
         "@MapaFaskel", "@OverrideGruposCampoCotacao", "@NaoAparecerNoOmbrel"}));
    r.Add(Fake("ObjAnbAdd", server::ProcAccess::Writes,
               {"@id",
                "@acao",
                "@cod",
                "@bolsa",
                "@TipoDeBGLDestino",
                "@moedacot",
                "@PaisProCodZor",
                "@cancelado",
                "@TrazDadosDaEmp",
                "@NaoAparecerNoZor",
                "@IdCalendario",
                "@DisableCopy",
                "@FormatoDeCadastro",
                "@TipoDeContrato",
                "@MapaFaskel",
                "@OverrideGruposCampoCotacao",
                "@PodeMudarAtvDoAnb",
                "@PodeTodosOsTiposDeBGL",
                "@PodeMarcarTrazDadosDaEmp",
                "@PodeAlterarCalendario",
                "@NaoAparecerNoOmbrel",
                "@PodeMudarAtvDoAnbPraCima"},
               {}));
    r.Add(Fake("ClassAdd", server::ProcAccess::Writes, {"@clss", "@pais", "@filhaDe", "@flag"}, {"@id"}));
    r.Add(Fake("GetTipoDeBGLDaAnb", server::ProcAccess::Reads, {"@cod", "@bolsa"}, {"@TipoDeBGLDestino"}));
    r.Add(Fake("GetIdAnb", server::ProcAccess::Reads, {"@cod", "@bolsa"}, {}));
    return r;
  }();
  return registry;
}

class CatalogueGuardTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    auto driver = std::make_unique<db::EmbeddedDriver>(dir_.File("zi.db"), &FakeRegistry());
    driver->SetCredentials("tester", "secret");
    db::CreateZiDb(std::move(driver));
    db::ZiDb().Open();
    NextAnswer() = {};
  }
  void TearDown() override {
    db::DestroyZiDb();
    SetLogFileName("zorinput.log");
  }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  static std::map<std::string, DbValue> GoodSeries() {
    return {{"@acao", DbValue("3")},
            {"@cod", DbValue("PETR4")},
            {"@bolsa", DbValue("1")},
            {"@TipoDeBGLDestino", DbValue("4")},
            {"@PaisProCodZor", DbValue("0")}};
  }

  test::TempDir dir_;
};

TEST_F(CatalogueGuardTest, SeriesReadRefusesAStatusAboveAByteAndANegativeCountry) {
  tObjAnb anb;
  NextAnswer().outputs = GoodSeries();
  ASSERT_EQ(DbObjAnbGet(7, anb), 0);
  EXPECT_EQ(anb.TipoDeBGLDestino, 4);
  EXPECT_EQ(anb.cod, "PETR4");

  NextAnswer().outputs["@TipoDeBGLDestino"] = DbValue("256");
  EXPECT_EQ(DbObjAnbGet(7, anb), 4017);
  NextAnswer().outputs = GoodSeries();
  NextAnswer().outputs["@PaisProCodZor"] = DbValue("-2");
  EXPECT_EQ(DbObjAnbGet(7, anb), 3807);
  EXPECT_THAT(LogTexts(), testing::ElementsAre("DbObjAnbGet erro:4017 EDBException:EDBException:4017",
                                               "ObjAnbGet id:7 PETR4/1 PaisProCodZor:-2"));
}

TEST_F(CatalogueGuardTest, AnExceptionBecomesTheDefaultCodeWithItsLogLine) {
  tObjEmp emp;
  NextAnswer().outputs = {{"@pais", DbValue("abc")}};
  EXPECT_EQ(DbObjEmpGet(1, emp), 3674);

  NextAnswer().outputs = {{"@id", DbValue(int64_t{1} << 40)}};
  emp = {};
  EXPECT_EQ(DbObjEmpAdd(emp), 3673);

  int id = 0;
  NextAnswer().outputs = {{"@id", DbValue("y")}};
  EXPECT_EQ(ClassAdd("Units", 0, 0, 0, id), 50174);
  NextAnswer().returnValue = 50173;
  NextAnswer().outputs = {{"@id", DbValue("12")}};
  EXPECT_EQ(ClassAdd("Units", 0, 0, 0, id), 50173);
  EXPECT_EQ(id, 12);

  tObjAnb anb;
  anb.acao = 3;
  anb.cod = "VALE3";
  anb.bolsa = 1;
  NextAnswer() = {0, {{"@id", DbValue(int64_t{1} << 40)}}};
  EXPECT_EQ(DbObjAnbAdd(anb), 3681);
  EXPECT_EQ(anb.id, 0);
  EXPECT_THAT(LogTexts(), testing::IsSupersetOf({
                              "DbObjEmpGet erro:3674 EConvertError:'abc' is not a valid integer value",
                              "DbObjEmpAdd passo:3 erro:3673 EConvertError:1099511627776 is not a valid integer value",
                              "DbClassAdd erro:50174 EConvertError:'y' is not a valid integer value",
                              "DbObjAnbAdd atv:3 cod:VALE3 bolsa:1 erro:3681 EConvertError:1099511627776 is not a "
                              "valid integer value",
                          }));
}

TEST_F(CatalogueGuardTest, SeriesStatusAndIdLookupsCheckWhatTheServerAnswers) {
  int tipo = 9;
  const struct {
    int value;
    int code;
    int tipo;
  } cases[] = {{0, 0, 0}, {11, 0, 11}, {12, 4044, 0}, {-1, 4044, 0}};
  for (const auto& c : cases) {
    NextAnswer().outputs = {{"@TipoDeBGLDestino", DbValue(std::to_string(c.value))}};
    EXPECT_EQ(GetTipoDeBGLDaAnb("PETR4", 1, tipo), c.code) << c.value;
    EXPECT_EQ(tipo, c.tipo) << c.value;
  }
  int id = 0;
  NextAnswer() = {3939, {}};
  EXPECT_EQ(GetIdAnb("PETR4", "1", id), 0) << "a return value is the id, whatever its number";
  EXPECT_EQ(id, 3939);
  NextAnswer() = {-5, {}};
  EXPECT_EQ(GetIdAnb("PETR4", "1", id), 4178);
  EXPECT_EQ(id, 0);
}

}  // namespace
}  // namespace zi

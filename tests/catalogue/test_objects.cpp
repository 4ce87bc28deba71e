#include "catalogue/objects.h"

#include <gtest/gtest.h>

#include <functional>

#include "session/reference_data.h"
#include "session/session.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

TEST(ObjectRecords, BlankRecordsHoldTheirMissingMarkers) {
  tObjEmp emp;
  EXPECT_EQ(emp.pais, -1);
  EXPECT_EQ(emp.moedabal[0], -1);
  for (size_t i = 1; i < emp.moedabal.size(); ++i) EXPECT_EQ(emp.moedabal[i], 0) << i;
  EXPECT_EQ(emp.id, 0);
  EXPECT_EQ(emp.fmtbal, (std::array<int32_t, 4>{}));

  tObjAtv atv;
  EXPECT_EQ(atv.id, 0);
  EXPECT_EQ(atv.emp, 0);
  EXPECT_EQ(atv.idclass, 0);
  EXPECT_EQ(atv.vote, -1);
  EXPECT_EQ(atv.tipoobj, -1);

  tObjAnb anb;
  EXPECT_EQ(anb.bolsa, -1);
  EXPECT_EQ(anb.moedacot, -1);
  EXPECT_EQ(anb.PaisProCodZor, -1);
  EXPECT_EQ(anb.TipoDeContrato, -1);
  EXPECT_EQ(anb.TipoDeBGLDestino, 0);
  EXPECT_EQ(anb.acao, 0);
}

// Every field takes part in equality: changing any one of them makes the records differ.
template <typename T>
void ExpectEveryFieldCounts(const std::vector<std::pair<const char*, std::function<void(T&)>>>& changes) {
  for (const auto& [field, change] : changes) {
    T a;
    T b;
    EXPECT_EQ(a, b);
    change(b);
    EXPECT_NE(a, b) << field;
  }
}

TEST(ObjectRecords, CompanyEqualityComparesEveryField) {
  ExpectEveryFieldCounts<tObjEmp>({
      {"id", [](tObjEmp& e) { e.id = 1; }},
      {"cod", [](tObjEmp& e) { e.cod = "A"; }},
      {"pais", [](tObjEmp& e) { e.pais = 0; }},
      {"cnpj", [](tObjEmp& e) { e.cnpj = "1"; }},
      {"nome", [](tObjEmp& e) { e.nome = "n"; }},
      {"moedabal[0]", [](tObjEmp& e) { e.moedabal[0] = 0; }},
      {"moedabal[7]", [](tObjEmp& e) { e.moedabal[7] = 1; }},
      {"fmtbal[3]", [](tObjEmp& e) { e.fmtbal[3] = 1; }},
      {"naics", [](tObjEmp& e) { e.naics = 1; }},
      {"moedaInformeFIDC", [](tObjEmp& e) { e.moedaInformeFIDC = 1; }},
  });
  tObjEmp a;
  tObjEmp b;
  a.nome = "Acme";
  b.nome = "ACME";
  EXPECT_NE(a, b) << "strings compare exactly";
}

TEST(ObjectRecords, ClassAndSeriesEqualityCompareEveryField) {
  ExpectEveryFieldCounts<tObjAtv>({
      {"id", [](tObjAtv& a) { a.id = 1; }},
      {"emp", [](tObjAtv& a) { a.emp = 1; }},
      {"idclass", [](tObjAtv& a) { a.idclass = 1; }},
      {"vote", [](tObjAtv& a) { a.vote = 0; }},
      {"tipoobj", [](tObjAtv& a) { a.tipoobj = 0; }},
  });
  ExpectEveryFieldCounts<tObjAnb>({
      {"id", [](tObjAnb& a) { a.id = 1; }},
      {"acao", [](tObjAnb& a) { a.acao = 1; }},
      {"cod", [](tObjAnb& a) { a.cod = "X"; }},
      {"bolsa", [](tObjAnb& a) { a.bolsa = 0; }},
      {"TipoDeBGLDestino", [](tObjAnb& a) { a.TipoDeBGLDestino = 4; }},
      {"moedacot", [](tObjAnb& a) { a.moedacot = 0; }},
      {"PaisProCodZor", [](tObjAnb& a) { a.PaisProCodZor = 0; }},
      {"FormatoDeCadastro", [](tObjAnb& a) { a.FormatoDeCadastro = 1; }},
      {"cancelado", [](tObjAnb& a) { a.cancelado = true; }},
      {"TrazDadosDaEmp", [](tObjAnb& a) { a.TrazDadosDaEmp = true; }},
      {"NaoAparecerNoZor", [](tObjAnb& a) { a.NaoAparecerNoZor = true; }},
      {"SerieMontada", [](tObjAnb& a) { a.SerieMontada = true; }},
      {"IdCalendario", [](tObjAnb& a) { a.IdCalendario = 1; }},
      {"DisableCopy", [](tObjAnb& a) { a.DisableCopy = 1; }},
      {"TipoDeContrato", [](tObjAnb& a) { a.TipoDeContrato = 0; }},
      {"MapaFaskel", [](tObjAnb& a) { a.MapaFaskel = 1; }},
      {"OverrideGruposCampoCotacao", [](tObjAnb& a) { a.OverrideGruposCampoCotacao = 1; }},
      {"NaoAparecerNoOmbrel", [](tObjAnb& a) { a.NaoAparecerNoOmbrel = true; }},
  });
}

TEST(ObjectRecords, StatusLetters) {
  const struct {
    int status;
    const char* letter;
    const char* inList;
  } cases[] = {{0, "L", ""}, {1, "G", "G"}, {4, "T", "T"}, {5, "X", "X"}, {11, "W", "W"}, {12, "", ""}, {-1, "", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(LetraDoStatus(c.status), c.letter) << c.status;
    EXPECT_EQ(LetraDoStatusNaLista(c.status), c.inList) << c.status;
  }
  std::string all;
  for (int s = 0; s < 12; ++s) all += LetraDoStatus(s);
  EXPECT_EQ(all, "LGENTXMQRSUW");
}

TEST(ObjectRecords, CompanyLabelNamesTheCountryFromTheSessionList) {
  TReferenceLists& l = Listas();
  l.EnumPais.Limpa();
  l.EnumPais.Adiciona(0, "Brasil", 0);
  l.EnumPais.Adiciona(79, "Zedland", 0);
  const struct {
    int pais;
    const char* label;
  } cases[] = {{0, "[Acme SA-Brasil #42]"}, {79, "[Acme SA-Zedland #42]"}, {80, "[Acme SA-80 #42]"},
               {-1, "[Acme SA--1 #42]"}, {5, "[Acme SA- #42]"}};
  for (const auto& c : cases) {
    tObjEmp emp;
    emp.id = 42;
    emp.nome = "Acme SA";
    emp.pais = c.pais;
    EXPECT_EQ(LabelDaEmp(emp), c.label) << c.pais;
  }
  l.EnumPais.Limpa();
}

class RightsTest : public testing::Test {
 protected:
  void TearDown() override {
    ClearUserInfo();
    SetParameters({"/opt/zorinput"});
  }
};

TEST_F(RightsTest, RightsAreReadFromTheSessionWhenAsked) {
  const struct {
    bool admin;
    uint32_t flag;
    uint8_t source;
    bool switchOn;
    TDireitosDeObj expected;
    std::vector<int> sources;
  } cases[] = {
      {false, 0, 0, false, {}, {0}},
      {true, 0, 0, false, {true, true, true, true, true, true, true, true, false}, {0, 2}},
      {false, 4, 0, false, {.PodeAlterarPaisDaEmp = true}, {0}},
      {false, 2, 0, false, {.PodeClasseEstrangeira = true}, {0}},
      {false, 1, 0, false, {.PodeTodosOsTiposDeBGL = true}, {0}},
      {false, 8, 0, false, {}, {0}},
      {false, 0, 2, false, {.PodeSourceDiferenteDeLocal = true}, {0, 2}},
      {false, 7, 1, true,
       {.PodeAlterarPaisDaEmp = true,
        .PodeSourceDiferenteDeLocal = true,
        .PodeClasseEstrangeira = true,
        .PodeTodosOsTiposDeBGL = true,
        .PodeMudarAtvDoAnbPraCima = true},
       {0, 2}},
  };
  for (const auto& c : cases) {
    ClearUserInfo();
    ZiGlobs().IsAdmin = c.admin;
    ZiGlobs().UserFlag = c.flag;
    ZiGlobs().SourceDoBal = c.source;
    SetParameters(c.switchOn ? std::vector<std::string>{"/opt/zorinput", "/PodeMudarAtvDoAnbPraCima"}
                             : std::vector<std::string>{"/opt/zorinput"});
    EXPECT_EQ(DireitosDeObj(), c.expected) << c.admin << " " << c.flag << " " << int(c.source);
    EXPECT_EQ(SourcesVisiveis(), c.sources) << c.admin << " " << c.flag << " " << int(c.source);
  }
}

}  // namespace
}  // namespace zi

#include "desktop/core/catalogue/object_form_models.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/indicators.h"
#include "catalogue/naics.h"
#include "session/builtin_tables.h"
#include "support/demo_database.h"
#include "toolbox/errors.h"

namespace zi::desktop {
namespace {

constexpr int kUserFlagTodosOsTipos = 1;
constexpr int kUserFlagClasseEstrangeira = 2;
constexpr int kUserFlagPais = 4;
// The NAICS table's titles are in Portuguese, English and Spanish, in that order.
constexpr int kNaicsEnglish = 1;

class ObjectFormModelsTest : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    PreencheListasFixas();
  }
  tObjEmp Emp(const std::string& cod) {
    tObjEmp emp;
    EXPECT_EQ(DbObjEmpGet(CompanyId(cod), emp), 0);
    return emp;
  }
  tObjAtv Atv(const std::string& ticker) {
    tObjAtv atv;
    EXPECT_EQ(DbObjAtvGet(ClassIdOfSeries(ticker), atv), 0);
    return atv;
  }
  tObjAnb Anb(const std::string& ticker) {
    tObjAnb anb;
    EXPECT_EQ(DbObjAnbGet(SeriesId(ticker), anb), 0);
    return anb;
  }
  std::unique_ptr<TIndicadoresDeEmpAtvAnb> Set(int nivel, int id) {
    return TIndicadoresDeEmpAtvAnb::Cria(nivel, id, true);
  }
};

// --- Company ---------------------------------------------------------------------------------

TEST_F(ObjectFormModelsTest, AnAdministratorChangesTheCountryAndSeesSourcesZeroAndTwo) {
  const tObjEmp petr = Emp("PETR");
  auto set = Set(kNivelEmpresa, petr.id);
  CompanyFormModel model;
  model.Preenche(petr, *set);
  EXPECT_TRUE(model.PaisHabilitado());
  EXPECT_EQ(model.SourcesDeMoeda(), (std::vector<int>{0, 2}));
  EXPECT_EQ(model.SourcesDeFormato(), (std::vector<int>{0, 2}));
  EXPECT_EQ(CompanyFormModel::LabelDoSource(2), "- SEC");
  EXPECT_EQ(model.Entries().nome, petr.nome);
  EXPECT_TRUE(model.Box().Box().Montado());
}

// The company form shows a NAICS code by its title: the demo's codes are ones the table holds.
TEST_F(ObjectFormModelsTest, TheDemoCompaniesNaicsCodesHaveTitles) {
  const std::pair<const char*, const char*> cases[] = {{"PETR", "Oil and Gas Extraction"},
                                                       {"VALE", "Metal Ore Mining"},
                                                       {"ITUB", "Depository Credit Intermediation"},
                                                       {"IBM", "Computer Systems Design and Related Services"},
                                                       {"KO", "Beverage Manufacturing"}};
  for (const auto& [cod, title] : cases) {
    const tObjEmp emp = Emp(cod);
    auto set = Set(kNivelEmpresa, emp.id);
    CompanyFormModel model;
    model.Preenche(emp, *set);
    EXPECT_TRUE(NaicsValido(model.Entries().naics)) << cod;
    EXPECT_EQ(NaicsTitulo(model.Entries().naics, kNaicsEnglish), title) << cod;
  }
}

TEST_F(ObjectFormModelsTest, APlainUserSeesSourceZeroAloneAndChangesTheCountryOfANewCompanyOnly) {
  LogInAsUser(0);
  const tObjEmp petr = Emp("PETR");
  CompanyFormModel model;
  model.Preenche(petr, *Set(kNivelEmpresa, petr.id));
  EXPECT_FALSE(model.PaisHabilitado());
  EXPECT_EQ(model.SourcesDeMoeda(), std::vector<int>{0});
  CompanyFormModel novo;
  novo.Preenche(tObjEmp{}, *Set(kNivelEmpresa, 0));
  EXPECT_TRUE(novo.PaisHabilitado());
}

TEST_F(ObjectFormModelsTest, AUserWithTheCountryRightChangesTheCountry) {
  LogInAsUser(kUserFlagPais);
  const tObjEmp petr = Emp("PETR");
  CompanyFormModel model;
  model.Preenche(petr, *Set(kNivelEmpresa, petr.id));
  EXPECT_TRUE(model.PaisHabilitado());
}

TEST_F(ObjectFormModelsTest, CompanyOkayTrimsAndSlotsWithoutAPickKeepTheirStoredValues) {
  LogInAsUser(0);
  tObjEmp stored = Emp("PETR");
  stored.moedabal[2] = 7;
  stored.moedabal[5] = 4;
  stored.fmtbal[2] = 2;
  auto set = Set(kNivelEmpresa, stored.id);
  CompanyFormModel model;
  model.Preenche(stored, *set);
  TEmpEntries& e = model.Entries();
  e.nome = "  Petrobras  ";
  e.cod = " PETR ";
  e.cnpj = " 33000167000101 ";
  e.pais = 1;
  e.moedabal[0] = 2;
  e.moedabal[2] = 3;
  e.moedabal[5] = 9;
  e.fmtbal[0] = 2;
  e.fmtbal[2] = 1;
  e.naics = 0;
  tObjEmp result = stored;
  const TOkay okay = model.Okay(result, *set);
  ASSERT_TRUE(okay.ok);
  EXPECT_EQ(result.nome, "Petrobras");
  EXPECT_EQ(result.cod, "PETR");
  EXPECT_EQ(result.cnpj, "33000167000101");
  EXPECT_EQ(result.pais, stored.pais) << "the country may not be changed";
  EXPECT_EQ(result.moedabal[0], 2);
  EXPECT_EQ(result.moedabal[2], 7) << "source 2 has no pick for this user";
  EXPECT_EQ(result.moedabal[5], 4);
  EXPECT_EQ(result.fmtbal[0], 2);
  EXPECT_EQ(result.fmtbal[2], 2);
  EXPECT_EQ(result.naics, 0) << "X clears the NAICS code";
}

TEST_F(ObjectFormModelsTest, CompanyOkayReadsTheIndicatorBoxIntoTheSet) {
  const tObjEmp petr = Emp("PETR");
  auto set = Set(kNivelEmpresa, petr.id);
  CompanyFormModel model;
  model.Preenche(petr, *set);
  model.Box().Campos()[58].texto = "Oil";
  model.Box().Campos()[63].texto = "many";
  tObjEmp result = petr;
  result.nome = "unchanged";
  model.Entries().nome = "Other";
  const TOkay falhou = model.Okay(result, *set);
  EXPECT_FALSE(falhou.ok);
  EXPECT_EQ(falhou.foco, TCampo::Indicador);
  EXPECT_EQ(falhou.indicador, 63);
  EXPECT_EQ(falhou.code, kInteiroIlegivel);
  EXPECT_EQ(result.nome, "unchanged") << "nothing is taken while the form stays open";
  EXPECT_FALSE(set->Entrada(58).present) << "the caller's set is untouched";
  model.Box().Campos()[63].texto = "120";
  ASSERT_TRUE(model.Okay(result, *set).ok);
  EXPECT_EQ(result.nome, "Other");
  EXPECT_EQ(set->Entrada(58).valor.valorst, "Oil");
  EXPECT_TRUE(set->Entrada(58).modified);
  EXPECT_EQ(set->Entrada(63).valor.valornum, 120);
}

TEST_F(ObjectFormModelsTest, ChangingTheCountryLaysTheBoxOutAgainKeepingWhatWasTyped) {
  const tObjEmp petr = Emp("PETR");
  auto set = Set(kNivelEmpresa, petr.id);
  CompanyFormModel model;
  model.Preenche(petr, *set);
  model.Box().Campos()[58].texto = "typed";
  model.Box().Campos()[60].texto = "01/02/2003";
  model.Entries().pais = 1;
  ASSERT_EQ(model.MudaPais(*set), 0);
  EXPECT_EQ(model.Box().Box().Linhas().size(), 2u) << "the US template: 58 and 63";
  EXPECT_EQ(model.Box().Campos().at(58).texto, "typed");
  EXPECT_FALSE(model.Box().Campos().contains(60));
}

// --- Class -----------------------------------------------------------------------------------

std::vector<int> Ids(const TPickList& itens) {
  std::vector<int> ids;
  for (const TPickItem& item : itens) ids.push_back(item.id);
  return ids;
}

TEST_F(ObjectFormModelsTest, TheClassPickListsTheCountrysNamesWithoutSubClassesWithTheCountryName) {
  const tObjAtv atv = Atv("PETR3");
  ClassFormModel model;
  ASSERT_EQ(model.Preenche(atv, *Set(kNivelClasse, atv.id)), 0);
  EXPECT_EQ(Ids(model.Classes()), (std::vector<int>{2, 4, 5}));
  EXPECT_EQ(model.Classes()[0].text, "Ordin\xE1rias - Brazil");
  EXPECT_TRUE(model.CheckHabilitado());
  EXPECT_TRUE(model.CheckVisivel());
  EXPECT_FALSE(model.Entries().estrangeira);
  EXPECT_TRUE(model.BotaoEmpresaVisivel());
  EXPECT_EQ(model.Entries().idclass, 2);
}

TEST_F(ObjectFormModelsTest, AForeignClassIsTickedAndListsAllNamesOrTheCountrysPlusItsOwn) {
  tObjAtv atv = Atv("PETR3");
  atv.idclass = 1;  // a name with sub-classes: not among the country's
  ClassFormModel admin;
  ASSERT_EQ(admin.Preenche(atv, *Set(kNivelClasse, atv.id)), 0);
  EXPECT_TRUE(admin.Entries().estrangeira);
  EXPECT_EQ(Ids(admin.Classes()), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(admin.Entries().idclass, 1);

  LogInAsUser(0);
  ClassFormModel plain;
  ASSERT_EQ(plain.Preenche(atv, *Set(kNivelClasse, atv.id)), 0);
  EXPECT_FALSE(plain.CheckHabilitado());
  EXPECT_TRUE(plain.CheckVisivel()) << "shown, disabled, for a foreign class";
  EXPECT_TRUE(plain.Entries().estrangeira);
  EXPECT_EQ(Ids(plain.Classes()), (std::vector<int>{1, 2, 4, 5}));
  EXPECT_FALSE(plain.BotaoEmpresaVisivel());
}

TEST_F(ObjectFormModelsTest, APlainUsersOwnCountrysClassHidesTheCheckBox) {
  LogInAsUser(0);
  const tObjAtv atv = Atv("PETR3");
  ClassFormModel model;
  ASSERT_EQ(model.Preenche(atv, *Set(kNivelClasse, atv.id)), 0);
  EXPECT_FALSE(model.CheckVisivel());
}

TEST_F(ObjectFormModelsTest, TogglingTheCheckBoxRefillsThePickAndReselectsTheSameText) {
  const tObjAtv atv = Atv("PETR3");
  ClassFormModel model;
  ASSERT_EQ(model.Preenche(atv, *Set(kNivelClasse, atv.id)), 0);
  const std::string ordinarias = model.Classes()[0].text;
  EXPECT_EQ(model.MudaEstrangeira(true, ordinarias), 1);
  EXPECT_EQ(model.Classes().size(), 5u);
  EXPECT_EQ(model.Entries().idclass, 2);
  EXPECT_EQ(model.MudaEstrangeira(false, model.Classes()[0].text), -1) << "A\xE7\xF5" "es has sub-classes";
  EXPECT_EQ(model.Entries().idclass, 0);
  EXPECT_EQ(model.MudaEstrangeira(false, ordinarias), 0);
}

TEST_F(ObjectFormModelsTest, ANewClassOfACompanyWhoseCountryHasNoNamesIsError4126) {
  tObjAtv atv;
  atv.emp = CompanyId("IBM");
  ClassFormModel model;
  EXPECT_EQ(model.Preenche(atv, *Set(kNivelClasse, 0)), kClasseSemNomes);
}

TEST_F(ObjectFormModelsTest, AClassWhoseCompanyCannotBeReadIsNotShown) {
  tObjAtv atv;
  atv.emp = 99999;
  ClassFormModel model;
  const int code = model.Preenche(atv, *Set(kNivelClasse, 0));
  EXPECT_NE(code, 0);
  EXPECT_NE(code, kClasseSemNomes);
}

TEST_F(ObjectFormModelsTest, ClassOkayWithoutANameFocusesThePick) {
  tObjAtv atv;
  atv.emp = CompanyId("PETR");
  ClassFormModel model;
  ASSERT_EQ(model.Preenche(atv, *Set(kNivelClasse, 0)), 0);
  EXPECT_EQ(model.Entries().idclass, 0);
  tObjAtv result = atv;
  const TOkay okay = model.Okay(result, *Set(kNivelClasse, 0));
  EXPECT_FALSE(okay.ok);
  EXPECT_EQ(okay.foco, TCampo::ClasseNome);
  model.Entries().idclass = 5;
  model.Entries().vote = 0;
  model.Entries().tipoobj = 0;
  ASSERT_TRUE(model.Okay(result, *Set(kNivelClasse, 0)).ok);
  EXPECT_EQ(result.idclass, 5);
  EXPECT_EQ(result.emp, atv.emp);
}

TEST_F(ObjectFormModelsTest, AClassCompanyNumberThatIsNotAnIntegerBecomesZeroAndKeepsTheForm) {
  const tObjAtv atv = Atv("PETR3");
  ClassFormModel model;
  ASSERT_EQ(model.Preenche(atv, *Set(kNivelClasse, atv.id)), 0);
  model.Entries().emp = "12a";
  model.Entries().vote = 1;
  tObjAtv result = atv;
  const TOkay okay = model.Okay(result, *Set(kNivelClasse, atv.id));
  EXPECT_FALSE(okay.ok);
  EXPECT_EQ(okay.foco, TCampo::Empresa);
  EXPECT_EQ(model.Entries().emp, "0");
  EXPECT_EQ(model.Entries().vote, 1) << "the other fields as typed";
  EXPECT_EQ(result, atv);
}

TEST_F(ObjectFormModelsTest, TypingSelectsTheLastItemContainingTheText) {
  const TPickList itens{{"Ordin\xE1rias - Brazil", 2}, {"Preferenciais classe A - Brazil", 4},
                        {"Renda fixa - Brazil", 5}};
  EXPECT_EQ(UltimoQueContem(itens, "bra"), 2);
  EXPECT_EQ(UltimoQueContem(itens, "RIAS"), 0);
  EXPECT_EQ(UltimoQueContem(itens, "a"), 2);
  EXPECT_EQ(UltimoQueContem(itens, "classe"), 1);
  EXPECT_EQ(UltimoQueContem(itens, "xyz"), -1);
}

// --- Series ----------------------------------------------------------------------------------

TEST_F(ObjectFormModelsTest, AnAdministratorPicksTheStatusFromTheList) {
  const tObjAnb anb = Anb("PETR4");
  SeriesFormModel model;
  model.Preenche(anb, *Set(kNivelSerie, anb.id));
  EXPECT_TRUE(model.ListaDeStatus());
  EXPECT_TRUE(model.TrazDadosVisivel());
  EXPECT_TRUE(model.CalendarioHabilitado());
  EXPECT_TRUE(model.BotaoClasseVisivel());
  EXPECT_EQ(model.Status().size(), 12u);
  model.Entries().status = 4;
  tObjAnb result = anb;
  ASSERT_TRUE(model.Okay(result, *Set(kNivelSerie, anb.id)).ok);
  EXPECT_EQ(result.TipoDeBGLDestino, 4);
}

TEST_F(ObjectFormModelsTest, AStatusCheckBoxForStatusFourIsDisabledUntickedAndKeepsTheStatus) {
  tObjAnb anb = Anb("PETR4");
  anb.TipoDeBGLDestino = 4;
  LogInAsUser(0);
  SeriesFormModel model;
  model.Preenche(anb, *Set(kNivelSerie, anb.id));
  EXPECT_FALSE(model.ListaDeStatus());
  EXPECT_EQ(SeriesFormModel::LabelDoCheckDeStatus(), NomeDoTipoDeBGL(0));
  EXPECT_FALSE(model.CheckDeStatusHabilitado());
  EXPECT_FALSE(model.Entries().statusMarcado);
  model.Entries().statusMarcado = true;
  tObjAnb result = anb;
  ASSERT_TRUE(model.Okay(result, *Set(kNivelSerie, anb.id)).ok);
  EXPECT_EQ(result.TipoDeBGLDestino, 4);
}

TEST_F(ObjectFormModelsTest, TheStatusCheckBoxMovesBetweenZeroAndFive) {
  LogInAsUser(0);
  for (const auto& [stored, marcado, expected] : {std::tuple{0, false, 5}, {5, true, 0}, {0, true, 0}, {5, false, 5}}) {
    tObjAnb anb = Anb("PETR4");
    anb.TipoDeBGLDestino = static_cast<uint8_t>(stored);
    SeriesFormModel model;
    model.Preenche(anb, *Set(kNivelSerie, anb.id));
    EXPECT_TRUE(model.CheckDeStatusHabilitado());
    EXPECT_EQ(model.Entries().statusMarcado, stored == 0);
    model.Entries().statusMarcado = marcado;
    tObjAnb result = anb;
    ASSERT_TRUE(model.Okay(result, *Set(kNivelSerie, anb.id)).ok);
    EXPECT_EQ(result.TipoDeBGLDestino, expected) << stored << marcado;
  }
}

TEST_F(ObjectFormModelsTest, ASeriesNumberFieldHoldingTextBecomesZeroAndKeepsEveryOtherFieldAsTyped) {
  const tObjAnb anb = Anb("PETR4");
  SeriesFormModel model;
  model.Preenche(anb, *Set(kNivelSerie, anb.id));
  TAnbEntries& e = model.Entries();
  e.cod = "PETR9";
  e.calendario = "x";
  e.mapa = "7";
  e.override_ = "";
  e.DisableCopy = true;
  const TAnbEntries typed = e;
  tObjAnb result = anb;
  const TOkay okay = model.Okay(result, *Set(kNivelSerie, anb.id));
  EXPECT_FALSE(okay.ok);
  EXPECT_EQ(okay.foco, TCampo::Calendario);
  EXPECT_EQ(e.calendario, "0");
  EXPECT_EQ(e.override_, "0");
  EXPECT_EQ(e.cod, typed.cod);
  EXPECT_EQ(e.mapa, "7");
  EXPECT_TRUE(e.DisableCopy);
  EXPECT_EQ(result, anb);
  ASSERT_TRUE(model.Okay(result, *Set(kNivelSerie, anb.id)).ok);
  EXPECT_EQ(result.cod, "PETR9");
  EXPECT_EQ(result.MapaFaskel, 7);
  EXPECT_EQ(result.DisableCopy, 1);
}

TEST_F(ObjectFormModelsTest, APlainUserKeepsTheCalendarAndTheFinancialStatementsFlag) {
  tObjAnb anb = Anb("PETR4");
  anb.IdCalendario = 3;
  anb.TrazDadosDaEmp = true;
  LogInAsUser(kUserFlagTodosOsTipos | kUserFlagClasseEstrangeira);
  SeriesFormModel model;
  model.Preenche(anb, *Set(kNivelSerie, anb.id));
  EXPECT_TRUE(model.ListaDeStatus());
  EXPECT_FALSE(model.CalendarioHabilitado());
  EXPECT_FALSE(model.TrazDadosVisivel());
  EXPECT_FALSE(model.BotaoClasseVisivel());
  model.Entries().calendario = "9";
  model.Entries().TrazDadosDaEmp = false;
  model.Entries().DisableCopy = false;
  tObjAnb result = anb;
  ASSERT_TRUE(model.Okay(result, *Set(kNivelSerie, anb.id)).ok);
  EXPECT_EQ(result.IdCalendario, 3);
  EXPECT_TRUE(result.TrazDadosDaEmp);
  EXPECT_EQ(result.DisableCopy, 0);
}

TEST_F(ObjectFormModelsTest, ASeriesWhoseClassCannotBeReadRaisesTheReadsCode) {
  tObjAnb anb;
  anb.acao = 99999;
  SeriesFormModel model;
  try {
    model.Preenche(anb, *Set(kNivelSerie, 0));
    FAIL() << "no exception";
  } catch (const EZorInputException& e) {
    EXPECT_NE(e.ErrorCode(), 0);
  }
}

TEST_F(ObjectFormModelsTest, ChangingTheRegistrationTemplateLaysTheBoxOutAgain) {
  const tObjAnb anb = Anb("PETR4");
  auto set = Set(kNivelSerie, anb.id);
  SeriesFormModel model;
  model.Preenche(anb, *set);
  EXPECT_EQ(model.Box().Box().Linhas().size(), 5u);
  model.Box().Campos()[48].texto = "Petrobras PN";
  model.Entries().formato = "2";
  ASSERT_EQ(model.MudaFormato(*set), 0);
  EXPECT_EQ(model.Box().Box().Linhas().size(), 2u);
  EXPECT_EQ(model.Box().Campos().at(48).texto, "Petrobras PN");
  model.Entries().formato = "two";
  EXPECT_EQ(model.MudaFormato(*set), 0);
  EXPECT_EQ(model.Box().Box().Linhas().size(), 2u) << "a template that is not a number keeps the box";
}

}  // namespace
}  // namespace zi::desktop

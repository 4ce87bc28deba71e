#include "desktop/core/catalogue/indicator_box.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalogue/indicator_definitions.h"
#include "catalogue/indicators.h"
#include "catalogue/objects.h"
#include "catalogue/registration_templates.h"
#include "support/demo_database.h"

namespace zi::desktop {
namespace {

constexpr int kBrasil = 0;
constexpr int kAcoes = 0;

class IndicatorBoxTest : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    PreencheListasFixas();
  }
  std::unique_ptr<TIndicadoresDeEmpAtvAnb> Set(int nivel) { return TIndicadoresDeEmpAtvAnb::Cria(nivel, 0, false); }
};

struct LinhaEsperada {
  int indicador;
  std::string label;
  TTipoDeCampo tipo;
  int limite;
};

void ExpectLayout(const TBoxInd& box, const std::vector<LinhaEsperada>& esperadas) {
  ASSERT_EQ(box.Linhas().size(), esperadas.size());
  for (size_t i = 0; i < esperadas.size(); ++i) {
    const TLinhaDoBox& linha = box.Linhas()[i];
    EXPECT_EQ(linha.indicador, esperadas[i].indicador) << i;
    EXPECT_EQ(linha.label, esperadas[i].label) << i;
    EXPECT_EQ(linha.tipo, esperadas[i].tipo) << linha.indicador;
    EXPECT_EQ(linha.limite, esperadas[i].limite) << linha.indicador;
  }
}

TEST_F(IndicatorBoxTest, TheCompanyLevelOfTheBrazilianTemplateInTemplateOrder) {
  TBoxInd box;
  ASSERT_EQ(box.Monta(kNivelEmpresa, kBrasil, kAcoes, 0, {kAcoes}), 0);
  EXPECT_TRUE(box.Montado());
  ExpectLayout(box, {{9, "CNPJ ", TTipoDeCampo::CamposFixos, 0},
                     {52, "Nome da empresa", TTipoDeCampo::CamposFixos, 0},
                     {58, "Descri\xE7\xE3o da empresa", TTipoDeCampo::Edit, 255},
                     {60, "Data de funda\xE7\xE3o", TTipoDeCampo::Edit, 15},
                     {63, "N\xFAmero de funcion\xE1rios", TTipoDeCampo::Edit, 0},
                     {142, "Periodicidade das demonstra\xE7\xF5" "es", TTipoDeCampo::Lista, 0}});
  EXPECT_FALSE(box.Linha(142)->itens.empty()) << "a list indicator picks from its value list";
  EXPECT_EQ(std::string(kVemDosCamposFixos), "comes from the fixed fields");
}

TEST_F(IndicatorBoxTest, TheClassAndSeriesLevelsPickCheckAndCurrencyFields) {
  TBoxInd classe;
  ASSERT_EQ(classe.Monta(kNivelClasse, kBrasil, kAcoes, 0, {kAcoes}), 0);
  ExpectLayout(classe, {{62, "Novo Mercado", TTipoDeCampo::Check, 0},
                        {65, "Esp\xE9" "cie da a\xE7\xE3o", TTipoDeCampo::Lista, 0}});
  TBoxInd serie;
  ASSERT_EQ(serie.Monta(kNivelSerie, kBrasil, kAcoes, 1, {kAcoes}), 0);
  ExpectLayout(serie, {{1, "C\xF3" "digo de negocia\xE7\xE3o", TTipoDeCampo::Edit, 40},
                       {46, "N\xFAmero da s\xE9rie", TTipoDeCampo::Edit, 0},
                       {48, "Nome da s\xE9rie", TTipoDeCampo::Edit, 100},
                       {61, "Moeda de negocia\xE7\xE3o", TTipoDeCampo::Moeda, 0},
                       {64, "In\xED" "cio das negocia\xE7\xF5" "es", TTipoDeCampo::Edit, 15}});
}

TEST_F(IndicatorBoxTest, AListTypedAsANumberIsAnEditFieldOfItsKey) {
  constexpr int kTipado = 12;
  Sql("UPDATE DefIndicador SET aux9 = 1, texto13 = 'n' WHERE id = 65");
  ASSERT_EQ(DefIndicadores().Carrega(), 0);
  TBoxInd box;
  ASSERT_EQ(box.Monta(kNivelClasse, kBrasil, kTipado, 1, {kTipado}), 0);
  ASSERT_NE(box.Linha(65), nullptr);
  EXPECT_EQ(box.Linha(65)->tipo, TTipoDeCampo::Edit);
  auto set = Set(kNivelClasse);
  TCamposDoBox campos = box.Campos(*set);
  campos[65].texto = " 7";
  ASSERT_EQ(box.Save(campos, *set), 0);
  EXPECT_EQ(set->Entrada(65).valor.valornum, 7);
  EXPECT_EQ(box.Campos(*set).at(65).texto, "7");
  campos[65].texto = "seven";
  EXPECT_EQ(box.Save(campos, *set), kInteiroIlegivel);

  TBoxInd misturado;
  ASSERT_EQ(misturado.Monta(kNivelClasse, kBrasil, kTipado, 1, {kTipado, kAcoes}), 0);
  EXPECT_EQ(misturado.Linha(65)->tipo, TTipoDeCampo::Lista) << "not every class is of the typed kind";
  TBoxInd outroPais;
  ASSERT_EQ(outroPais.Monta(kNivelClasse, 1, kTipado, 1, {kTipado}), 0);
  EXPECT_EQ(outroPais.Linha(65)->tipo, TTipoDeCampo::Lista);
}

TEST_F(IndicatorBoxTest, ATemplateThatIsNotListedLaysOutNothingAndItsSaveChangesNothing) {
  TBoxInd box;
  EXPECT_EQ(box.Monta(kNivelSerie, kBrasil, kAcoes, 99, {kAcoes}), kFormatoDeCadastroNaoListado);
  EXPECT_FALSE(box.Montado());
  EXPECT_TRUE(box.Linhas().empty());
  auto set = Set(kNivelSerie);
  set->Entrada(1).Set(true, {.nulo = false, .valorst = "PETR4"});
  set->Entrada(1).modified = false;
  EXPECT_EQ(box.Save({}, *set), 0);
  EXPECT_TRUE(set->Entrada(1).present);
  EXPECT_FALSE(set->Entrada(1).modified);
}

TEST_F(IndicatorBoxTest, TheFieldsStartFromTheSetsValues) {
  TBoxInd box;
  ASSERT_EQ(box.Monta(kNivelEmpresa, kBrasil, kAcoes, 0, {kAcoes}), 0);
  auto set = Set(kNivelEmpresa);
  set->Entrada(58).Set(true, {.nulo = false, .valorst = "Oil"});
  set->Entrada(63).Set(true, {.nulo = false, .valornum = 45000});
  set->Entrada(142).Set(true, {.nulo = false, .valornum = static_cast<double>(box.Linha(142)->itens.at(1).id)});
  const TCamposDoBox campos = box.Campos(*set);
  EXPECT_FALSE(campos.contains(9)) << "the fixed fields have no field";
  EXPECT_EQ(campos.at(58).texto, "Oil");
  EXPECT_EQ(campos.at(60).texto, "");
  EXPECT_EQ(campos.at(63).texto, "45000");
  EXPECT_EQ(campos.at(142).item, box.Linha(142)->itens.at(1).id);
}

TEST_F(IndicatorBoxTest, SaveMakesUnshownIndicatorsAbsentEmptyFieldsNullAndTakesTextsAndPicks) {
  TBoxInd box;
  ASSERT_EQ(box.Monta(kNivelEmpresa, kBrasil, kAcoes, 0, {kAcoes}), 0);
  auto set = Set(kNivelEmpresa);
  set->Entrada(1).Set(true, {.nulo = false, .valorst = "not of a company"});
  set->Entrada(9).Set(true, {.nulo = false, .valorst = "33000167000101"});
  TCamposDoBox campos = box.Campos(*set);
  campos[58].texto = "  Oil and gas";
  campos[60].texto = "-";
  campos[63].texto = "";
  const int periodicidade = box.Linha(142)->itens.at(0).id;
  campos[142].item = periodicidade;
  ASSERT_EQ(box.Save(campos, *set), 0);
  EXPECT_FALSE(set->Entrada(1).present) << "not named by the template";
  EXPECT_FALSE(set->Entrada(9).present) << "comes from the fixed fields";
  EXPECT_TRUE(set->Entrada(58).present);
  EXPECT_EQ(set->Entrada(58).valor.valorst, "  Oil and gas");
  for (const int nulo : {60, 63}) {
    EXPECT_TRUE(set->Entrada(nulo).present) << nulo;
    EXPECT_TRUE(set->Entrada(nulo).valor.nulo) << nulo;
  }
  EXPECT_EQ(set->Entrada(142).valor.valornum, periodicidade);
  campos[142].item = -1;
  ASSERT_EQ(box.Save(campos, *set), 0);
  EXPECT_TRUE(set->Entrada(142).present);
  EXPECT_TRUE(set->Entrada(142).valor.nulo) << "a pick without selection";
}

TEST_F(IndicatorBoxTest, CheckBoxesAreYesNoOrNullAndADisabledFieldLeavesItsEntryAlone) {
  TBoxInd box;
  ASSERT_EQ(box.Monta(kNivelClasse, kBrasil, kAcoes, 0, {kAcoes}), 0);
  auto set = Set(kNivelClasse);
  set->Entrada(65).Set(true, {.nulo = false, .valornum = 2});
  set->Entrada(65).modified = false;
  TCamposDoBox campos = box.Campos(*set);
  EXPECT_EQ(campos.at(62).check, TCheck::Cinza);
  campos[62].check = TCheck::Sim;
  campos[65].item = -1;
  campos[65].habilitado = false;
  ASSERT_EQ(box.Save(campos, *set), 0);
  EXPECT_EQ(set->Entrada(62).valor.valornum, 1);
  EXPECT_FALSE(set->Entrada(62).valor.nulo);
  EXPECT_EQ(set->Entrada(65).valor.valornum, 2);
  EXPECT_FALSE(set->Entrada(65).modified);
  campos[62].check = TCheck::Nao;
  ASSERT_EQ(box.Save(campos, *set), 0);
  EXPECT_EQ(set->Entrada(62).valor.valornum, 0);
  campos[62].check = TCheck::Cinza;
  ASSERT_EQ(box.Save(campos, *set), 0);
  EXPECT_TRUE(set->Entrada(62).valor.nulo);
}

TEST_F(IndicatorBoxTest, AFailingFieldLogsMakesItsEntryAbsentAndFailsTheSave) {
  TBoxInd box;
  ASSERT_EQ(box.Monta(kNivelEmpresa, kBrasil, kAcoes, 0, {kAcoes}), 0);
  auto set = Set(kNivelEmpresa);
  set->Entrada(63).Set(true, {.nulo = false, .valornum = 12});
  TCamposDoBox campos = box.Campos(*set);
  campos[63].texto = "twelve";
  int falhou = 0;
  EXPECT_EQ(box.Save(campos, *set, &falhou), kInteiroIlegivel);
  EXPECT_EQ(falhou, 63);
  EXPECT_FALSE(set->Entrada(63).present);
  EXPECT_NE(Log().find("TBoxInd.Save indica #63 error:4294 FC:inteiro#0 edit Vexiste:Y Vnulo:N Vnum:12 st:<twelve>"),
            std::string::npos)
      << Log();
}

TEST_F(IndicatorBoxTest, AFailingPickLogsThatItCouldNotBeTaken) {
  TBoxInd box;
  ASSERT_EQ(box.Monta(kNivelSerie, kBrasil, kAcoes, 1, {kAcoes}), 0);
  auto set = Set(kNivelSerie);
  TCamposDoBox campos = box.Campos(*set);
  campos[61].item = 9999;
  EXPECT_EQ(box.Save(campos, *set), kChaveForaDaLista);
  EXPECT_NE(Log().find("TBoxInd.Save indica #61 error:4308 FC:moeda#9 moeda-pick Vexiste:N Vnulo:Y Vnum:NaN "
                       "st:nao-pega!"),
            std::string::npos)
      << Log();
}

TEST_F(IndicatorBoxTest, ASeriesDateAndTimeFieldTakesTheTypedDate) {
  TBoxInd box;
  ASSERT_EQ(box.Monta(kNivelSerie, kBrasil, kAcoes, 1, {kAcoes}), 0);
  auto set = Set(kNivelSerie);
  TCamposDoBox campos = box.Campos(*set);
  campos[64].texto = "2023-01-05";
  ASSERT_EQ(box.Save(campos, *set), 0);
  EXPECT_EQ(box.Campos(*set).at(64).texto, "2023-01-05") << "shown again as it is typed";
}

}  // namespace
}  // namespace zi::desktop

// Indicators against the embedded server: definitions, field formats, the values of one object
// with their history, and the registration templates.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "catalogue/indicator_definitions.h"
#include "catalogue/indicator_formats.h"
#include "catalogue/indicators.h"
#include "catalogue/registration_templates.h"
#include "session/reference_data.h"
#include "support/logged_in_database.h"
#include "toolbox/dates.h"
#include "toolbox/errors.h"

namespace zi {
namespace {

using testing::HasSubstr;

constexpr int kUsShares = 2;

TDayNumber Day(const char* iso) { return *ParseIsoDate(iso); }

DefIndicador Def(int id, int formato) { return {.id = id, .FormatoCampo = static_cast<uint8_t>(formato)}; }

class IndicatorsTest : public test::LoggedInDatabase {
 protected:
  // A company with a class of shares and a series that follows the template.
  void SetUp() override {
    LoggedInDatabase::SetUp();
    empresa_ = AddCompany("PETR", 0);
    tObjAtv atv{0, empresa_, 3, 1, 0};
    ASSERT_EQ(DbObjAtvAdd(atv), 0);
    classe_ = atv.id;
    serie_ = AddSeries(classe_, "PETR4", 0);
  }

  int AddCompany(const std::string& cod, int pais) {
    tObjEmp emp;
    emp.cod = cod;
    emp.pais = pais;
    emp.nome = cod;
    emp.moedabal[0] = 1;
    EXPECT_EQ(DbObjEmpAdd(emp), 0);
    return emp.id;
  }

  int AddSeries(int classe, const std::string& ticker, int formato) {
    tObjAnb anb;
    anb.acao = classe;
    anb.cod = ticker;
    anb.bolsa = 1;
    anb.moedacot = 1;
    anb.TipoDeContrato = 0;
    anb.FormatoDeCadastro = formato;
    EXPECT_EQ(DbObjAnbAdd(anb), 0);
    return anb.id;
  }

  TValorDeIndicador Number(double value) { return {.nulo = false, .valornum = value}; }

  int empresa_ = 0;
  int classe_ = 0;
  int serie_ = 0;
};

TEST_F(IndicatorsTest, DefinitionsAreReadAtEveryLoginAndFoundById) {
  ASSERT_TRUE(DefIndicadores().Lida()) << "the login reads them";
  const DefIndicador* def = DefIndicadores().Def(58);
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(LabelDoIndicador(*def, true), "#58 : Descri\xE7\xE3o da empresa");
  EXPECT_EQ(LabelDoIndicador(*def, false), "Descri\xE7\xE3o da empresa");
  EXPECT_EQ(DefIndicadores().Def(2'000'000'000), nullptr);
  EXPECT_EQ(DefIndicadores().MaiorId(), 142);
  Sql("INSERT INTO DefIndicador (id, FormatoCampo, NomePT) VALUES (1999999999, 3, 'Novo|indicador')");
  EXPECT_EQ(DefIndicadores().Def(1999999999), nullptr) << "read once until the next login";
  LogIn("ana", "pw");
  EXPECT_NE(DefIndicadores().Def(1999999999), nullptr);
  EXPECT_EQ(DefIndicadores().MaiorId(), 1999999999);
}

TEST_F(IndicatorsTest, TextsAreReadAndShownByTheFormatOfTheirIndicator) {
  constexpr bool kFixed = true;
  const struct {
    DefIndicador def;
    const char* text;
    bool fixed;
    int code;
    const char* shown;  // nullptr: not compared
  } cases[] = {
      {Def(64, 27), "2023-01-05", false, 0, "2023/01/05 00:00:00"},
      {Def(64, 27), "2023-1-05", false, kDataHoraIlegivel, nullptr},
      {Def(64, 27), "2023-02-30", false, kDataHoraImpossivel, nullptr},
      {Def(60, 28), "20240131", kFixed, 0, nullptr},
      {Def(60, 28), "2024-01-31", kFixed, 0, nullptr},
      {Def(60, 28), "18991230", kFixed, kDataZero, nullptr},
      {Def(60, 28), "2024-13-01", kFixed, kDataIlegivel, nullptr},
      {Def(60, 28), "-", false, 0, "-"},
      {Def(46, 5), "1.25", kFixed, 0, "1.25"},
      {Def(46, 5), "-0.123456789e1", kFixed, 0, "-1.2345679"},
      {Def(46, 5), "nan", kFixed, kNumeroIlegivel, nullptr},
      {Def(46, 5), "inf", kFixed, kNumeroIlegivel, nullptr},
      {Def(46, 5), "1,5", kFixed, kNumeroIlegivel, nullptr},
      {Def(46, 2), "1", kFixed, kFormatoSemTexto, nullptr},
      {Def(63, 0), "12", kFixed, 0, "12"},
      {Def(63, 0), "1.5", kFixed, kInteiroIlegivel, nullptr},
      {Def(62, 21), "sim", kFixed, 0, "Y"},
      {Def(62, 38), "N", kFixed, 0, "N"},
      {Def(62, 21), "talvez", kFixed, kBooleanoIlegivel, nullptr},
      {Def(61, 9), "BRL", kFixed, 0, "BRL"},
      {Def(61, 9), "#2", kFixed, 0, "USD"},
      {Def(61, 9), "XYZ", kFixed, kMoedaNaoEncontrada, nullptr},
      {Def(58, 3), " texto livre ", kFixed, 0, " texto livre "},
      {Def(142, 41), "Mensal", kFixed, 0, "Mensal"},
      {Def(142, 41), "quarterly", kFixed, 0, "Trimestral"},
      {Def(142, 41), "#3", kFixed, 0, "Anual"},
      {Def(142, 41), "#x", kFixed, kChaveNaoInteira, nullptr},
      {Def(142, 41), "#9", kFixed, kChaveForaDaLista, nullptr},
      {Def(142, 41), "doc-id:A", kFixed, 0, "Anual"},
      {Def(142, 41), "doc-id:", kFixed, kDocIdVazio, nullptr},
      {Def(142, 41), "doc-id:Z", kFixed, kDocIdNaoEncontrado, nullptr},
      {Def(70, 41), "doc-id:Z", kFixed, 0, "#-1"},
      {Def(142, 41), "Semanal", kFixed, kNomeForaDaLista, nullptr},
      {Def(65, 32), "Preferencial", kFixed, 0, "000002"},
      {Def(65, 30), "x", kFixed, kFormatoSemTexto, nullptr},
      {Def(65, 250), "x", kFixed, kFormatoSemTexto, nullptr},
      {Def(65, 250), "", kFixed, 0, "-"},
  };
  for (const auto& c : cases) {
    TValorDeIndicador valor;
    EXPECT_EQ(ValorDoTexto(c.def, c.text, {.formaFixa = c.fixed}, valor), c.code)
        << c.text << " FC:" << int{c.def.FormatoCampo};
    if (c.code == 0 && c.shown) {
      EXPECT_EQ(TextoDoValor(&c.def, true, valor), c.shown) << c.text;
    }
  }
  const DefIndicador date = Def(60, 28);
  TValorDeIndicador valor;
  ASSERT_EQ(ValorDoTexto(date, "2024-01-31", {.formaFixa = true}, valor), 0);
  TValorDeIndicador again;
  EXPECT_EQ(ValorDoTexto(date, TextoDoValor(&date, true, valor), {}, again), 0) << "a date shown reads back";
  EXPECT_EQ(again, valor);
  EXPECT_EQ(TextoDoValor(nullptr, true, valor), "missing-defind!");
  EXPECT_EQ(TextoDoValor(&date, false, valor), "-");
  EXPECT_THAT(Log(), HasSubstr("Error: 50043, CampoListaDeValores, Valor: doc-id:Z nao encontrado, FormatoCampo: 41, "
                               "IdIndicador: 142"));
  EXPECT_THAT(Log(), HasSubstr("TIDE.SFS DI#142 FC:41 <Semanal> res:-1 error:4307"));
}

// A list indicator with a unit (column 13) and a number (column 9) is typed as a number for
// objects of country 0 whose classes are all of asset type 12.
TEST(IndicatorFormats, SomeListsAreTypedAsNumbers) {
  DefIndicador def = Def(80, 32);
  def.aux9 = 1;
  def.texto13 = "R$";
  EXPECT_TRUE(ListaTipadaComoNumero(def, 0, {12, 12}));
  EXPECT_FALSE(ListaTipadaComoNumero(def, 0, {12, 0}));
  EXPECT_FALSE(ListaTipadaComoNumero(def, 0, {}));
  EXPECT_FALSE(ListaTipadaComoNumero(def, 1, {12}));
  EXPECT_FALSE(ListaTipadaComoNumero(Def(80, 41), 0, {12}));
  def.texto13.clear();
  EXPECT_FALSE(ListaTipadaComoNumero(def, 0, {12}));
}

TEST_F(IndicatorsTest, ANameMissingFromAListThatAcceptsAdditionsIsAddedWhenAsked) {
  const DefIndicador def = Def(142, 41);
  TValorDeIndicador valor;
  EXPECT_EQ(ValorDoTexto(def, "Semanal", {.formaFixa = true, .podeAdicionar = true, .semEscrever = true}, valor), 0);
  EXPECT_EQ(SqlValue("SELECT count(*) FROM CampoListaDeValores WHERE formatocampo = 41"), 3) << "a check adds nothing";
  ASSERT_EQ(ValorDoTexto(def, "Semanal", {.formaFixa = true, .podeAdicionar = true}, valor), 0);
  EXPECT_EQ(valor.valornum, 4);
  EXPECT_EQ(TextoDoValor(&def, true, valor), "Semanal");
}

// Missing numbers are one value: setting an entry to what it holds changes nothing.
TEST_F(IndicatorsTest, AnEntrySetToWhatItHoldsStaysUnmodified) {
  UmIndicadorDaEmpAtvAnb entry;
  entry.Set(false, Number(1));
  EXPECT_FALSE(entry.modified) << "absent stays absent";
  entry.present = true;
  entry.Set(true, TValorDeIndicador{});
  EXPECT_FALSE(entry.modified);
  entry.Set(true, Number(kMissing));
  EXPECT_TRUE(entry.modified) << "a value that is not null is another value";
  entry.modified = false;
  entry.Set(true, Number(kMissing));
  EXPECT_FALSE(entry.modified);
}

// A present entry rewrites the indicator's current row only: the earlier rows are its history.
TEST_F(IndicatorsTest, SaveWritesTheModifiedEntriesAndKeepsTheHistory) {
  ASSERT_EQ(PutValorDoIndicadorNaData(kNivelEmpresa, empresa_, 63, Day("2023-01-01"), Number(10)), 0);
  ASSERT_EQ(PutValorDoIndicadorNaData(kNivelEmpresa, empresa_, 63, Day("2024-01-01"), Number(20)), 0);
  ASSERT_EQ(PutTextoDoIndicadorNaData(kNivelEmpresa, empresa_, 58, kNoDate, "Petr\xF3leo", {}), 0);
  auto set = TIndicadoresDeEmpAtvAnb::Cria(kNivelEmpresa, empresa_, true);
  EXPECT_STREQ(set->ClassName(), "TIndicadoresDaEmp");
  EXPECT_EQ(set->TextoMostrado(63), "20");
  EXPECT_FALSE(set->Entrada(63).semDataDeVigencia);
  EXPECT_TRUE(set->Entrada(58).semDataDeVigencia);
  EXPECT_EQ(set->SetFromText(DefIndicadores().Def(63), "25", true, false), 0);
  set->Entrada(58).Set(false, {});
  EXPECT_EQ(set->SetFromText(DefIndicadores().Def(52), "Petrobras", true, false), 0);
  EXPECT_EQ(set->SetFromText(nullptr, "x", true, false), kSemDefinicao);
  ASSERT_EQ(set->Salva(empresa_), 0);
  for (const auto& [indicator, entry] : set->Entradas()) EXPECT_FALSE(entry.modified) << indicator;
  const std::string dump = Dump();
  EXPECT_THAT(dump, HasSubstr("indica=63|DataIniVigencia=44927|valornum=10|"));
  EXPECT_THAT(dump, HasSubstr("indica=63|DataIniVigencia=45292|valornum=25|"));
  EXPECT_THAT(dump, Not(HasSubstr("indica=58|")));
  EXPECT_THAT(dump, HasSubstr("indica=52|DataIniVigencia=NULL|valornum=NULL|valordt=NULL|valorst=Petrobras"));

  EXPECT_EQ(set->SetFromText(DefIndicadores().Def(63), "25", true, false), 0);
  EXPECT_FALSE(set->Entrada(63).modified);
  ASSERT_EQ(set->Salva(empresa_), 0);
  EXPECT_EQ(Dump(), dump);

  auto loaded = TIndicadoresDeEmpAtvAnb::Cria(kNivelEmpresa, empresa_, true);
  EXPECT_EQ(loaded->TextoMostrado(52), "Petrobras");
  EXPECT_FALSE(loaded->Entrada(58).present);
  EXPECT_EQ(loaded->Salva(0), kSalvaSemObjeto);
  EXPECT_THROW(loaded->Salva(empresa_ + 1), EZorInputException);
  EXPECT_THAT(Log(), HasSubstr("TIDE.SIES0 TIndicadoresDaEmp era:" + std::to_string(empresa_) +
                               " novo:" + std::to_string(empresa_ + 1)));
  Driver().InjectFaults({.failCall = 1});
  EXPECT_THROW(TIndicadoresDeEmpAtvAnb::Cria(kNivelEmpresa, empresa_, true), EZorInputException);
  Driver().InjectFaults({});
  EXPECT_THAT(Log(), HasSubstr("TIDE.Cr TIndicadoresDaEmp Id:" + std::to_string(empresa_) + " Erro(ResGet):"));
}

TEST_F(IndicatorsTest, ModifiedEntriesOfABatchThatFailsStayModified) {
  ASSERT_GT(Server().AddUser({.name = "bia", .userFlag = 2}, "pw"), 0);
  LogIn("bia", "pw");
  auto set = TIndicadoresDeEmpAtvAnb::Cria(kNivelEmpresa, empresa_, false);
  auto edited = TIndicadoresDeEmpAtvAnb::Cria(kNivelEmpresa, 0, false);
  ASSERT_EQ(edited->SetFromText(DefIndicadores().Def(63), "7", true, false), 0);
  set->CopiaModificados(*edited);
  const std::string before = Dump();
  EXPECT_NE(set->Salva(empresa_), 0) << "a user without the company right";
  EXPECT_TRUE(set->Entrada(63).modified);
  EXPECT_TRUE(Dump() == before);
  LogIn("ana", "pw");
  ASSERT_EQ(set->Salva(empresa_), 0);
  EXPECT_FALSE(set->Entrada(63).modified);
  EXPECT_THAT(Dump(), HasSubstr("indica=63|DataIniVigencia=NULL|valornum=7|"));
}

TEST_F(IndicatorsTest, ValuesArePutAndReadAtTheirEffectiveDates) {
  EXPECT_EQ(PutValorDoIndicadorNaData(3, empresa_, 63, kNoDate, Number(1)), kNivelAcimaDe2);
  EXPECT_EQ(PutValorDoIndicadorNaData(kNivelEmpresa, empresa_, 0, kNoDate, Number(1)), kIndicadorForaDasDefinicoes);
  EXPECT_EQ(PutValorDoIndicadorNaData(kNivelEmpresa, empresa_, 2'000'000'000, kNoDate, Number(1)),
            kIndicadorForaDasDefinicoes);
  EXPECT_EQ(PutValorDoIndicadorNaData(kNivelEmpresa, empresa_, 50, kNoDate, Number(1)), kIndicadorSemDefinicao);
  EXPECT_EQ(PutTextoDoIndicadorNaData(kNivelEmpresa, empresa_, 50, kNoDate, "1", {}), kIndicadorDoTextoSemDefinicao);
  EXPECT_EQ(PutTextoDoIndicadorNaData(kNivelEmpresa, empresa_, 63, kNoDate, "x", {}), kInteiroIlegivel);
  Driver().InjectFaults({.failCall = 1});
  EXPECT_EQ(PutValorDoIndicadorNaData(kNivelClasse, classe_, 65, kNoDate, Number(1)), kPutSemProcedimento)
      << "the put procedure cannot be had";
  Driver().InjectFaults({});
  ASSERT_EQ(PutTextoDoIndicadorNaData(kNivelSerie, serie_, 48, Day("2024-01-01"), "PN", {}), 0);
  bool found = true;
  TValorDeIndicador valor;
  ASSERT_EQ(GetValorDoIndicadorNaData(kNivelSerie, serie_, 48, Day("2023-12-31"), found, valor), 0);
  EXPECT_FALSE(found);
  ASSERT_EQ(GetValorDoIndicadorNaData(kNivelSerie, serie_, 48, Day("2024-02-01"), found, valor), 0);
  EXPECT_TRUE(found);
  EXPECT_EQ(valor, (TValorDeIndicador{.nulo = false, .valorst = "PN"}));
  ASSERT_EQ(PutTextoDoIndicadorNaData(kNivelSerie, serie_, 48, Day("2024-03-01"), "-", {}), 0);
  ASSERT_EQ(GetValorDoIndicadorNaData(kNivelSerie, serie_, 48, Day("2024-03-01"), found, valor), 0);
  EXPECT_TRUE(found);
  EXPECT_TRUE(valor.nulo) << "a value of no value";
}

TEST_F(IndicatorsTest, TemplatesNameTheIndicatorsOfEachLevel) {
  std::vector<TIndicadorDoFormato> lines;
  ASSERT_EQ(FormatosDeCadastro().Linhas(kUsShares, 0, 0, {kNivelEmpresa, kNivelSerie}, lines), 0);
  EXPECT_EQ(lines, (std::vector<TIndicadorDoFormato>{{2, 58}, {2, 63}, {0, 1}, {0, 48}}));
  ASSERT_EQ(FormatosDeCadastro().Linhas(0, 0, 0, {kNivelClasse}, lines), 0) << "by the rule of Brazilian shares";
  EXPECT_EQ(lines, (std::vector<TIndicadorDoFormato>{{1, 62}, {1, 65}}));
  EXPECT_EQ(FormatosDeCadastro().Linhas(77, 0, 0, {kNivelClasse}, lines), kFormatoDeCadastroNaoListado);
  EXPECT_EQ(FormatosDeCadastro().Linhas(0, 5, 0, {kNivelClasse}, lines), kSemFormatoDeCadastro);
  EXPECT_THAT(Log(), HasSubstr("Erro:35008 N\xC3\xA3o foi encontrado nenhum formato de cadastro para IdFDC:77"));
  EXPECT_THAT(Log(),
              HasSubstr("Erro:35009 N\xC3\xA3o foi encontrado nenhum formato de cadastro para o TipoObj:5 Pais:0 "
                        "IdFDC:0"));

  const struct {
    int indicator, level, object;
    bool applies;
    int foundLevel;
  } cases[] = {
      {58, kNivelEmpresa, empresa_, true, kNivelEmpresa}, {58, kNivelSerie, serie_, true, kNivelEmpresa},
      {1, kNivelSerie, serie_, true, kNivelSerie},        {65, kNivelClasse, classe_, true, kNivelClasse},
      {64, kNivelEmpresa, empresa_, true, kNivelSerie},   {50, kNivelEmpresa, empresa_, false, 0},
  };
  for (const auto& c : cases) {
    TAplicacaoDoIndicador aplicacao;
    ASSERT_EQ(IndicadorAplicavel(c.indicator, c.level, c.object, aplicacao), 0) << c.indicator;
    EXPECT_EQ(aplicacao.aplica, c.applies) << c.indicator;
    EXPECT_EQ(aplicacao.nivel, c.foundLevel) << c.indicator;
  }
  // A company without series has no template; one whose series follows the American template
  // carries what that template names (63), not what the Brazilian one adds (60).
  const int other = AddCompany("KO", 1);
  tObjAtv atv{0, other, 2, 0, 0};
  ASSERT_EQ(DbObjAtvAdd(atv), 0);
  TAplicacaoDoIndicador aplicacao;
  ASSERT_EQ(IndicadorAplicavel(58, kNivelEmpresa, other, aplicacao), 0);
  EXPECT_FALSE(aplicacao.aplica);
  AddSeries(atv.id, "KO", kUsShares);
  ASSERT_EQ(IndicadorAplicavel(60, kNivelEmpresa, other, aplicacao), 0);
  EXPECT_FALSE(aplicacao.aplica);
  ASSERT_EQ(IndicadorAplicavel(63, kNivelEmpresa, other, aplicacao), 0);
  EXPECT_TRUE(aplicacao.aplica);
}

}  // namespace
}  // namespace zi

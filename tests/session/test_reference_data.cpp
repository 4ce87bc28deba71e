#include "session/reference_data.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "server/server.h"
#include "session/bgl_cache.h"
#include "session/bulletin.h"
#include "session/login.h"
#include "support/local_http_server.h"
#include "support/test_files.h"
#include "toolbox/errors.h"
#include "toolbox/http.h"
#include "toolbox/log.h"
#include "toolbox/message_window.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

using testing::Contains;
using testing::HasSubstr;

// A logged-in session on a fresh embedded database, with the reference data loaded at login.
class ReferenceTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    SetMailRelay(relay_.HostAndPort());
    SetReferenceDataLoader(CarregaDadosIniciais);
    SetParameters({"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir_.File("zi.db")});
    ResetBulletinRequest();
  }
  void TearDown() override {
    SetReferenceDataLoader(nullptr);
    db::DestroyZiDb();
    SetMailRelay("");
    SetLogFileName("zorinput.log");
  }
  int Login() { return InitDbConnection("", "", false, nullptr); }
  void Sql(const std::string& sql) {
    static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).Server()->ExecuteSql(sql);
  }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
  test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
  test::TLocalServer relay_;
};

TEST_F(ReferenceTest, FreshDatabasePassesEveryCheckAtLogin) {
  ASSERT_EQ(Login(), 0);
  TReferenceLists& l = Listas();
  EXPECT_EQ(l.EnumPais.Conta(), 80);
  EXPECT_EQ(l.EnumDataLogTipo.Conta(), 149);
  EXPECT_TRUE(l.EnumTipoObj.TemMarca(0, "test"));
  EXPECT_EQ(l.EnumTipoAplicacao.IdDoIndice(0), 0) << "id 0 first";
  ASSERT_NE(GetCampoListaDeValores(32), nullptr);
  EXPECT_TRUE(GetCampoListaDeValores(32)->Lido());
  EXPECT_EQ(GetCampoListaDeValores(103), nullptr);
  EXPECT_EQ(PaisDaBolsa(2), 1);
  EXPECT_THROW(PaisDaBolsa(99), EZorInputException);
  EXPECT_NE(l.EnumClasses.ItemDoId(1)->flags & kClassHasChildren, 0) << "class 1 has children";
  EXPECT_EQ(l.EnumClasses.ItemDoId(5)->flags & kClassHasChildren, 0);
  auto texts = LogTexts();
  EXPECT_THAT(texts, testing::Not(Contains(HasSubstr("Testa"))));
  EXPECT_THAT(texts, testing::Not(Contains(HasSubstr("Warning: Class"))));
}

TEST_F(ReferenceTest, CurrencyWhoseTextLacksItsSymbolIsAWarningOnly) {
  ASSERT_EQ(Login(), 0);
  Sql("UPDATE Moeda SET cod = 'XXX', pais = 2 WHERE id = 2");
  EXPECT_EQ(CarregaDadosIniciais(nullptr), 0);
  EXPECT_THAT(LogTexts(), Contains(testing::MatchesRegex(
                              "- TestaEnumMoeda error/warning s:.* XXX e:2 pais:2 erro:0  PaisDaMoeda:1 "
                              "SimboloDaMoeda:USD")));
}

TEST_F(ReferenceTest, ServerListsThatDisagreeWithTheProgramFailTheLogin) {
  ASSERT_EQ(Login(), 0);
  struct Case {
    const char* change;
    const char* undo;
    int code;
    const char* line;
  } cases[] = {
      {"UPDATE Pais SET cod2 = 'ZZ' WHERE id = 5", "UPDATE Pais SET cod2 = 'VE' WHERE id = 5", 3701,
       "- TestaEnumPaisCod error s:ZZ e:5"},
      {"DELETE FROM DataLogTipo WHERE id = 148", "INSERT INTO DataLogTipo VALUES (148, 'AcertaPosicPaisV2')", 32155,
       "- TestaEnumDataLogTipo error: the amount differs between the enum and the table DataLogTipo"},
      {"UPDATE DataLogTipo SET nome = 'Other' WHERE id = 43", "UPDATE DataLogTipo SET nome = 'ReqGBol' WHERE id = 43",
       32157, "- TestaEnumDataLogTipo error: enum description is different between db and application s:Other e:43"},
      {"UPDATE TipoObj SET marca = 0 WHERE id = 0", "UPDATE TipoObj SET marca = 1 WHERE id = 0", 4369, nullptr},
  };
  for (const auto& c : cases) {
    Sql(c.change);
    EXPECT_EQ(CarregaDadosIniciais(nullptr), c.code) << c.change;
    if (c.line) {
      EXPECT_THAT(LogTexts(), Contains(c.line));
    }
    Sql(c.undo);
  }
  EXPECT_EQ(CarregaDadosIniciais(nullptr), 0);

  Sql("DELETE FROM DataLogTipo WHERE id = 148");
  db::DestroyZiDb();
  EXPECT_EQ(Login(), 32155);
}

TEST_F(ReferenceTest, ClassCycleIsReportedNotFollowed) {
  ASSERT_EQ(Login(), 0);
  Sql("UPDATE Classes SET mae = 4 WHERE id = 1");
  EXPECT_EQ(CarregaDadosIniciais(nullptr), 0);
  auto texts = LogTexts();
  EXPECT_THAT(texts, Contains(testing::MatchesRegex("Warning: Class #[0-9]+ tem circular reference de maes")));
}

TEST_F(ReferenceTest, WritersChangeTheServerAndTheListsForgetTheirItems) {
  ASSERT_EQ(Login(), 0);
  EXPECT_EQ(Listas().EnumVote.TextoDoId(2, true), "NA(2)");
  EXPECT_EQ(VoteStatPut(2, "PNA"), 0);
  EXPECT_EQ(Listas().EnumVote.TextoDoId(2, true), "PNA");
  EXPECT_EQ(PaisPut(70, "ZX", "Zedland"), 0);
  EXPECT_EQ(Listas().EnumPais.TextoDoId(70, false), "Zedland");

  tIntStgListMultiLng* list = GetCampoListaDeValores(41);
  int before = list->Conta();
  EXPECT_EQ(AddListChoice(41, true, 0, "doc-x", "Novo", "New", "Nuevo"), 0);
  EXPECT_EQ(list->Conta(), before + 1);
  EXPECT_EQ(AddListChoice(41, false, 9999, "", "X", "X", "X"), 8605);

  EXPECT_EQ(DataLogAdd(1, 10, 0, TDateTime{}, ""), 0);
  EXPECT_NE(DataLogAdd(149, 10, 0, TDateTime{}, "bad type"), 0);
}

TEST_F(ReferenceTest, FailedBulletinRequestIsReported) {
  ASSERT_EQ(Login(), 0);
  PedeBoletim(3);
  EXPECT_EQ(ReqGBol("[test]"), 0);
  EXPECT_EQ(PendingBulletinPriority(), 0);
  PedeBoletim(12);
  int code = ReqGBol("  [too urgent]  ");
  EXPECT_NE(code, 0);
  EXPECT_EQ(PendingBulletinPriority(), 12) << "a failed request stays pending";
  EXPECT_THAT(LogTexts(), Contains("ReqGBol Pri:3 ok [test]"));
  EXPECT_THAT(LogTexts(), Contains("ReqGBol Pri:12 error:" + std::to_string(code) + " [too urgent]"));
  auto received = relay_.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_THAT(received[0].target, testing::StartsWith("/mailto.cgi?TO=g&SUBJ=ZorInput%20ReqGBol%20error&"));
  EXPECT_THAT(received[0].target, testing::EndsWith("&ReqGBol%2DError=" + std::to_string(code) +
                                                   "&Caller=%22%5Btoo%20urgent%5D%22"));
}

TEST_F(ReferenceTest, BulletinTypesOfTickersAreKeptOnlyWhenDefinitive) {
  ASSERT_EQ(Login(), 0);
  TTipoDeBGLDestinoCache cache;
  int questions = 0;
  cache.SetTickerQuestion([&](const std::string& ticker, int, int& type) {
    ++questions;
    type = ticker == "PETR4" ? 3 : 12;
    if (ticker == "PETR4" || ticker == "ODD3") return 0;
    return ticker == "LOST3" ? 3939 : 4042;
  });
  const struct {
    const char* ticker;
    int code;
    int type;
    int questionsAfter;
  } asked[] = {
      {"PETR4", 0, 3, 1},       {"petr4", 0, 3, 1},    {"VALE3", 4042, 0, 2}, {"VALE3", 4042, 0, 2},
      {"ODD3", 4044, 0, 3},     {"ODD3", 4044, 0, 3},  {"LOST3", 3939, 0, 4}, {"LOST3", 3939, 0, 5},
  };
  for (const auto& a : asked) {
    int type = -1;
    EXPECT_EQ(cache.TipoDoTicker(1, a.ticker, type), a.code) << a.ticker;
    EXPECT_EQ(type, a.type) << a.ticker;
    EXPECT_EQ(questions, a.questionsAfter) << a.ticker;
  }
  cache.Forget(1, "vale3");
  int type = 0;
  EXPECT_EQ(cache.TipoDoTicker(1, "VALE3", type), 4042);
  EXPECT_EQ(questions, 6) << "a forgotten ticker is asked again";

  // An exchange's whole list comes from its series.
  Sql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'X', 0, 'X')");
  Sql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (1, 1, 1, 0, 0)");
  Sql("INSERT INTO anbima (acao, cod, bolsa, TipoDeBGLDestino, moedacot, PaisProCodZor) VALUES (1, 'ABEV3', 1, 5, 1, 0)");
  ASSERT_EQ(cache.Preload(1), 0);
  EXPECT_TRUE(cache.Preloaded(1));
  EXPECT_EQ(cache.TipoDoTicker(1, "abev3", type), 0);
  EXPECT_EQ(type, 5);
  EXPECT_EQ(cache.TipoDoTicker(1, "PETR4", type), 4042) << "what the list does not hold has no series";
  EXPECT_EQ(questions, 6);
  cache.Forget(1, "NEW3");
  EXPECT_FALSE(cache.Preloaded(1)) << "a series added since the list was read may be missing from it";
  EXPECT_EQ(cache.TipoDoTicker(1, "PETR4", type), 0);
  EXPECT_EQ(questions, 7);
  cache.ForgetAll();
  EXPECT_EQ(cache.TipoDoTicker(1, "ABEV3", type), 4042) << "asked again";
  EXPECT_EQ(questions, 8);

  static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).InjectFaults({.failCall = 1, .failPersistent = true});
  EXPECT_NE(cache.Preload(2), 0) << "a list that cannot be read";
  EXPECT_FALSE(cache.Preloaded(2));
}

TEST_F(ReferenceTest, NoConnectionIs3718) {
  EXPECT_EQ(CarregaDadosIniciais(nullptr), 3718);
}

}  // namespace
}  // namespace zi

namespace zi {
namespace {

class TRecordingWindow : public TMessageWindow {
 public:
  explicit TRecordingWindow(std::vector<std::string>& lines) : lines_(lines) {}
  void SetLine(int line, const std::string& text) override {
    if (line == 2) lines_.push_back(text);
  }
  void Close() override {}

 private:
  std::vector<std::string>& lines_;
};

// The catalogue's indicator definitions are read after the lists and before their checks; a
// failure to read them ends the login with its code.
TEST_F(ReferenceTest, IndicatorDefinitionsAreReadBetweenTheListsAndTheirChecks) {
  std::vector<std::string> steps;
  int loaderCode = 0;
  SetIndicatorDefinitionsLoader([&] {
    steps.push_back("(definitions read)");
    return loaderCode;
  });
  ASSERT_EQ(Login(), 0);
  TRecordingWindow window(steps);
  steps.clear();
  ASSERT_EQ(CarregaDadosIniciais(&window), 0);
  EXPECT_THAT(steps, testing::ElementsAre("- countries", "- databases", "- names", "- currencies", "- FS templates",
                                          "- exchanges", "- voting status", "- types of asset", "- CA abbreviations",
                                          "- CA names", "- FS blocks", "- classes", "- cities", "- data log type",
                                          "- def indicadores", "(definitions read)", "- checking consistency"));
  loaderCode = 4286;
  EXPECT_EQ(CarregaDadosIniciais(&window), 4286);
  SetIndicatorDefinitionsLoader(nullptr);
}

}  // namespace
}  // namespace zi

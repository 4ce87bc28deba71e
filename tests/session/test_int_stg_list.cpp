#include "session/int_stg_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "server/server.h"
#include "session/session.h"
#include "support/test_files.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"

namespace zi {
namespace {

using server::ParamDirection;
using server::ProcContext;
using testing::ElementsAre;

// What the test procedures answer; a test sets it before the list loads.
std::vector<std::vector<DbValue>> rows;
int failuresLeft = 0;

server::ResultSet Rows() {
  return {{"id", "text", "grupo", "aux", "aux2", "texto2", "aux3"}, rows};
}

const server::Registry& ListRegistry() {
  static const server::Registry registry = [] {
    server::Registry r;
    r.Add({"TestList", server::ProcAccess::Reads, {}, [](ProcContext& c) {
             c.AddResultSet(Rows());
             return 0;
           }});
    r.Add({"TestFlaky", server::ProcAccess::Reads, {}, [](ProcContext& c) {
             if (failuresLeft > 0) {
               --failuresLeft;
               return 7141;
             }
             c.AddResultSet(Rows());
             return 0;
           }});
    r.Add({"TestParamList",
           server::ProcAccess::Reads,
           {{"@formatocampo", DbType::Integer, ParamDirection::Input}},
           [](ProcContext& c) {
             server::ResultSet set = Rows();
             for (auto& row : set.rows) row[2] = c.In("@formatocampo");
             c.AddResultSet(std::move(set));
             return 0;
           }});
    r.Add({"TestAddItem",
           server::ProcAccess::Writes,
           {{"@formatocampo", DbType::Integer, ParamDirection::Input},
            {"@ItemNamePT", DbType::Text, ParamDirection::Input},
            {"@ItemNameEN", DbType::Text, ParamDirection::Input},
            {"@ItemNameES", DbType::Text, ParamDirection::Input},
            {"@ItemId", DbType::Integer, ParamDirection::Output}},
           [](ProcContext& c) {
             rows.push_back({DbValue(static_cast<int>(rows.size()) + 100),
                             DbValue(c.In("@ItemNamePT").AsText() + "|" + c.In("@ItemNameEN").AsText() + "|" +
                                     c.In("@ItemNameES").AsText()),
                             DbValue(0), DbValue(0), DbValue(0), DbValue(""), DbValue(0)});
             c.SetOut("@ItemId", rows.back()[0]);
             return 0;
           }});
    return r;
  }();
  return registry;
}

std::vector<DbValue> Row(int id, const char* text, int grupo = 0, int aux = 0, const char* texto2 = "") {
  return {DbValue(id), DbValue(text), DbValue(grupo), DbValue(aux), DbValue(0), DbValue(texto2), DbValue(0)};
}

class ListTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    auto driver = std::make_unique<db::EmbeddedDriver>(dir_.File("lists.db"), &ListRegistry());
    driver->SetCredentials("tester", "secret");
    db::CreateZiDb(std::move(driver));
    db::ZiDb().Open();
    rows.clear();
    failuresLeft = 0;
    ZiGlobs().lingua = 0;
  }
  void TearDown() override {
    db::DestroyZiDb();
    SetLogFileName("zorinput.log");
  }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
};

TEST_F(ListTest, LookupsFilterByGroupAndFlags) {
  rows = {Row(10, "Ten", 1), Row(20, "Twenty", 2), Row(30, "Thirty", 1), Row(40, "Forty", 1)};
  tIntStgList list("TestList");
  EXPECT_EQ(list.Conta(), 4);
  EXPECT_TRUE(list.MarcaFlags(30, 4));
  EXPECT_EQ(list.IndiceDoId(30), 2);
  EXPECT_EQ(list.IndiceDoId(30, 1, false), 1) << "position among group 1";
  EXPECT_EQ(list.IndiceDoId(30, 1, false, 4), -1) << "excluded by its flags";
  EXPECT_EQ(list.IndiceDoId(40, 1, false, 4), 1);
  EXPECT_EQ(list.IndiceDoId(20, 1, false), -1);
  EXPECT_EQ(list.IdDaPosicao(1, 1, false), 30);
  EXPECT_EQ(list.IdDaPosicao(3, 1, false), -1);
  EXPECT_EQ(list.IdDoIndice(3), 40);
  EXPECT_EQ(list.IdDoIndice(4), -1);
  EXPECT_EQ(list.TextoDoId(999, true), "NA(999)");
  EXPECT_EQ(list.TextoDoId(999, false), "");
  EXPECT_EQ(list.IdDoTexto("thi", 1, false), 30);
  EXPECT_EQ(list.IdDoTexto("thi", 1, true), -1);
  EXPECT_EQ(list.IdDoTexto("Twenty", 1, true), -1) << "another group";
  std::vector<std::string> shown;
  list.PreencheLista(shown, 1, false, 4);
  EXPECT_THAT(shown, ElementsAre("Ten", "Forty"));
}

TEST_F(ListTest, MissingGroupIsToleratedOrRaises4134) {
  rows = {Row(1, "One", 7)};
  tIntStgList list("TestList");
  EXPECT_EQ(list.GrupoDoId(1, "caller", false), 7);
  EXPECT_EQ(list.GrupoDoId(2, "caller", true), 0);
  try {
    list.GrupoDoId(2, "PaisDaB", false);
    FAIL() << "a missing id must raise";
  } catch (const EZorInputException& e) {
    EXPECT_EQ(e.ErrorCode(), 4134);
  }
  EXPECT_THAT(LogTexts(), ElementsAre("error [tISL TestList] F2Of(2) elem nil PaisDaB"));
}

TEST_F(ListTest, FailedLoadIsTriedAgainAtTheNextUse) {
  rows = {Row(1, "One")};
  failuresLeft = 1;
  tIntStgList list("TestFlaky");
  try {
    list.Conta();
    FAIL() << "the failed load must raise";
  } catch (const EZorInputException& e) {
    EXPECT_EQ(e.ErrorCode(), 7141);
  }
  EXPECT_FALSE(list.Lido());
  EXPECT_EQ(list.Conta(), 1);
  EXPECT_THAT(LogTexts(), ElementsAre("tIntStgList.GaranteLido TestFlaky DSParamName:=0 erro:7141"));
}

TEST_F(ListTest, MarksAreIdsUpTo255WithANonZeroAux) {
  rows = {Row(0, "Zero", 0, 1), Row(5, "Five", 0, 0), Row(9, "Nine", 0, 2)};
  tIntStgList list("TestList");
  EXPECT_TRUE(list.TemMarca(0, "RDbD"));
  EXPECT_FALSE(list.TemMarca(5, "RDbD"));
  EXPECT_TRUE(list.TemMarca(9, "RDbD"));
  EXPECT_FALSE(list.TemMarca(300, "RDbD"));

  rows.push_back(Row(256, "Too big", 0, 1));
  tIntStgList big("TestList");
  EXPECT_THROW(big.TemMarca(0, "RDbD"), EZorInputException);
  EXPECT_THAT(LogTexts(), ElementsAre("Error: ISL.GSF3M TestList id:256 F3M->RDbD"));
}

TEST_F(ListTest, MultiLanguageListsAreFilledSortedAndPutIdZeroFirst) {
  rows = {Row(3, "Casa|House|"), Row(0, "Zeta||"), Row(2, "Arvore|Tree|Arbol"), Row(1, "plain")};
  tIntStgListMultiLng list("TestList", "", true);
  std::vector<std::string> shown;
  list.PreencheLista(shown);
  EXPECT_THAT(shown, ElementsAre("Zeta", "Arvore", "Casa", "plain"));
  EXPECT_EQ(list.ItemDoId(3)->text, "Casa|House|House");
  ZiGlobs().lingua = 2;
  EXPECT_EQ(list.IdDoTextoMostrado("House"), 3);
  EXPECT_EQ(list.IdDoTextoMostrado("Casa"), -1);

  tIntStgListMultiLng sortedOnly("TestList", "", false);
  sortedOnly.PreencheLista(shown);
  EXPECT_THAT(shown, ElementsAre("Arbol", "House", "Zeta", "plain"));
}

TEST_F(ListTest, ParameterListsPassTheirParameterAndAddItems) {
  rows = {Row(1, "Um|One|Uno")};
  tIntStgListMultiLng list("TestParamList", "TestAddItem", false, "@formatocampo", 41);
  EXPECT_TRUE(list.EhMultiLng());
  EXPECT_EQ(list.GrupoDoId(1, "test", false), 41);
  int code = -1;
  int id = list.AdicionaItem("Dois|Two", code, "caller");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(id, 101);
  EXPECT_FALSE(list.Lido()) << "the list forgets its items after an addition";
  EXPECT_EQ(list.TextoDoId(101, false), "Dois|Two|Two");
  EXPECT_THAT(LogTexts(), ElementsAre("ISLML.AddItem TestAddItem param:41 itemid:101 error:0 st:<Dois|Two> caller"));
  EXPECT_EQ(list.Description(), "[tISL TestParamList @formatocampo=41]");
}

TEST_F(ListTest, ItemsWithGroupNames) {
  rows = {Row(1, "Sao Paulo", 10), Row(2, "Rio", 20), Row(3, "Campinas", 10)};
  tIntStgList cities("TestList");
  tIntStgList states("TestList");
  states.Adiciona(10, "SP", 0);
  std::vector<std::pair<std::string, int>> lines;
  cities.PreencheListaComGrupo(lines, states, 2, 10);
  EXPECT_THAT(lines, ElementsAre(std::pair<std::string, int>{"Sao Paulo - SP", 1},
                                 std::pair<std::string, int>{"Rio - NA(20)", 2},
                                 std::pair<std::string, int>{"Campinas - SP", 3}));
}

}  // namespace
}  // namespace zi

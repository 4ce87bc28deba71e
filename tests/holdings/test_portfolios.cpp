// Portfolios through the real embedded server: the securities list of the text path, the JSON
// "portfolio" record with every item kind, the marked result sets read back, and a write that is
// whole or nothing whichever of its calls fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "holdings/holdings_database.h"
#include "holdings/portfolio.h"
#include "holdings/portfolio_store.h"
#include "import/json_import.h"

namespace zi {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

std::string Entries(const TPortfolioItems& items) {
  std::string text;
  const auto number = [](double v) { return std::isnan(v) ? std::string("-") : fmt::format("{}", v); };
  for (const TPortfolioItem& e : items.Entries())
    text += fmt::format("{}/{}/{}:{},{},{};", e.IdPtfAssetTvm, e.TipoAplicacao, e.TipoClassificacao, number(e.vlr),
                        number(e.peso), number(e.qtdtit));
  return text;
}

TEST(PortfolioItems, AddsReplacesRemovesAndCompactsEntriesByAssetApplicationAndClassification) {
  TPortfolioItems items;
  items.Set(7, 1, 0, true, kNoValue, kNoValue, 100);
  items.Set(7, 1, 0, true, kNoValue, kNoValue, 50);
  items.Set(7, 1, 2, true, kNoValue, kNoValue, 1);
  items.Set(8, 1, 0, true, kNoValue, 0, kNoValue);
  EXPECT_EQ(Entries(items), "7/1/0:150,-,-;7/1/2:1,-,-;8/1/0:-,0,-;");
  EXPECT_EQ(items.Find(7, 1, 2), 1);
  EXPECT_EQ(items.Find(7, 2, 0), -1);
  items.Set(7, 1, 0, false, 3, 0, 0);  // neither value nor weight: removed, the last entry takes its place
  EXPECT_EQ(Entries(items), "8/1/0:-,0,-;7/1/2:1,-,-;");
  items.Set(9, 2, 0, false, 1, 2, 3);
  items.Compact();
  EXPECT_EQ(Entries(items), "7/1/2:1,-,-;9/2/0:3,2,1;");
}

class PortfolioTest : public test::HoldingsDatabase {
 protected:
  void SetUp() override {
    HoldingsDatabase::SetUp();
    Sql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'FUNDO', 0, 'Fundo A'), (2, 'OUTRO', 0, 'Fundo B')");
    Sql("INSERT INTO Imovel (id, endereco, idcidade) VALUES (1, 'Rua A', 1), (2, 'Rua B', 1)");
    Sql("INSERT INTO ImovelDoc (doc_id, idImovel, doc) VALUES ('M1', 2, 'm-1')");
  }
  std::vector<std::string> Headers() {
    return Rows("SELECT id, emp, date((dtref - 25569) * 86400, 'unixepoch'), TipoDocumento, "
                "date((DtRefInformadaPelafonte - 25569) * 86400, 'unixepoch'), coalesce(pl, '-'), coalesce(TotalPorc, '-') "
                "FROM Portfolio ORDER BY id");
  }
  std::vector<std::string> Securities() {
    return Rows("SELECT IdPortfolio, IdPtfAssetTvm, TipoAplicacao, coalesce(TipoClassificacao, '-'), "
                "coalesce(vlr, '-'), coalesce(peso, '-'), coalesce(qtdtit, '-') FROM PortfolioItemTvm ORDER BY rowid");
  }
  // Every item row of the seven tables, as the server dumps them.
  std::string Items() {
    std::string dump;
    for (const char* table : {"PortfolioItemTvm", "PortfolioItemIRA", "PortfolioItemIRAInquilino", "PortfolioItemIRC",
                              "PortfolioItemIVA", "PortfolioItemIVC", "PortfolioItemTerreno"}) {
      for (const std::string& row : Rows(std::string("SELECT * FROM ") + table + " ORDER BY rowid"))
        dump += std::string(table) + ":" + row + "\n";
    }
    return dump;
  }
  static std::string Record(const std::string& action, const std::string& members) {
    return R"({"type":"portfolio","action":")" + action +
           R"(","companyid":"FUNDO","country":0,"dtref":"2024-03-31","tpdoc":1)" + members + "}";
  }
};

constexpr const char* kFullItems =
    R"(,"pl":1000.5,"dtreffonte":"2024/04/02","log":[],
    "tvm":[{"itemid":"t1","idptfassettvm":7,"tpaplic":1,"vlr":100,"qtdtit":10},
           {"itemid":"t2","idptfassettvm":7.2,"tpaplic":1,"vlr":50,"tpclassifcacao":2},
           {"itemid":"t3","idptfassettvm":8,"tpaplic":2,"peso":0,"vlr":5}],
    "IRA":[{"itemid":"i1","idimovel":1,"area":10,"inquilino":[{"itemid":"q1","setor":"Varejo","percentreceitaimovel":20},
                                                                 {"itemid":"q2","setor":"Varejo","percentreceitaimovel":5}]},
           {"itemid":"i2","idimovel":1,"area":5,"inquilino":[{"itemid":"q3","setor":"Escritorio"}]}],
    "irc":[{"itemid":"c1","doc":"M-1","percentlocado":90}])";

TEST_F(PortfolioTest, JsonPortfolioWritesEveryKindMergingItemsOfOneKey) {
  int result = -1;
  ImportJson("[" + Record("insertorupdate", kFullItems) + "]", result);
  EXPECT_EQ(result, 0);
  EXPECT_THAT(Headers(), ElementsAre("1|1|2024-03-31|1|2024-04-02|1000.5|-"));
  EXPECT_EQ(Items(),
            "PortfolioItemTvm:1|7|1|-|150|-|10\n"
            "PortfolioItemTvm:1|8|2|-|5|-|-\n"
            "PortfolioItemIRA:1|1|15|-|-|-|-\n"
            "PortfolioItemIRAInquilino:1|1|Varejo|25|-\n"
            "PortfolioItemIRAInquilino:1|1|Escritorio|-|-\n"
            "PortfolioItemIRC:1|2|-|-|90|-|-|-|-\n");

  // Imported again as an update, the portfolio keeps its id and its items are replaced.
  ImportJson("[" + Record("updateonly", R"(,"tvm":[{"itemid":"t9","idptfassettvm":9,"tpaplic":0,"peso":12.5}])") + "]",
             result);
  EXPECT_EQ(result, 0);
  EXPECT_THAT(Headers(), ElementsAre("1|1|2024-03-31|1|2024-03-31|-|-"));
  EXPECT_EQ(Items(), "PortfolioItemTvm:1|9|0|-|-|12.5|-\n");
}

// Analysts are not administrators: their SQL texts write a portfolio's items, and no other table.
TEST_F(PortfolioTest, AnAnalystWhoIsNoAdministratorImportsPortfolios) {
  ASSERT_GT(Server().AddUser({.name = "bia"}, "pw"), 0);
  LogIn("bia", "pw");
  int result = -1;
  ImportJson("[" + Record("insertorupdate", kFullItems) + "]", result);
  EXPECT_EQ(result, 0);
  EXPECT_THAT(Headers(), ElementsAre("1|1|2024-03-31|1|2024-04-02|1000.5|-"));
  EXPECT_THAT(Items(), testing::StartsWith("PortfolioItemTvm:1|7|1|-|150|-|10\n"));
  db::TDataSetHolder ds(db::ZiDb(), db::CommandType::Text, "DELETE FROM Portfolio");
  ASSERT_TRUE(ds);
  EXPECT_EQ(db::ZiDb().OpenSql(*ds), 99105) << "the header table is written by its procedures only";
  EXPECT_THAT(Headers(), testing::SizeIs(1));
}

TEST_F(PortfolioTest, JsonPortfolioRefusesWhatItsDefinitionsAndActionsDoNotAllow) {
  struct Case {
    std::string record;
    int code;
    const char* message;
  };
  const std::vector<Case> cases = {
      {Record("insertorupdate", R"(,"idportfolio":3)"), 30171,
       "Invalid JSON Field: \"idportfolio\" attribute type. Expected type:atStringOwned."},
      {R"({"type":"portfolio","action":"insertorupdate","companyid":"FUNDO","country":0,"tpdoc":1})", 50098,
       "Field not found or null"},
      {Record("insertorupdate", R"(,"foo":[1])"), 50104, "Unknown key: foo, import aborted"},
      {Record("updateonly", ""), 50105,
       "Inconsistency operation: \"_adb_update\", Portfolio does not exist for idemp: 1"},
      {Record("insertorupdate", R"(,"tvm":[{"idptfassettvm":7,"tpaplic":1,"vlr":1}])"), 32046,
       "\"32047\" - Field required: \"itemid\" not found"},
      {Record("insertorupdate", R"(,"tvm":[{"itemid":"a","idptfassettvm":7,"tpaplic":1}])"), 32046,
       "Field \"vlr\" or \"peso\" is required"},
      {Record("insertorupdate", R"(,"tvm":[{"itemid":"a","idptfassettvm":7,"tpaplic":"1","vlr":1}])"), 32046,
       "\"50091\" - Invalid JSON Field: \"tpaplic\" attribute type. Expected type:atStringOwned."},
      {Record("insertorupdate", R"(,"ira":[{"itemid":"a","doc":"nenhum"}])"), 32046, "Imovel not found"},
      {Record("insertorupdate", R"(,"ira":[{"itemid":"a"}])"), 32046, "Failed import"},
      {Record("insertorupdate", R"(,"ira":[5])"), 32046,
       "Failed while importing PortfolioItems*, not a json object, expecting to be an JsonObject"},
  };
  for (const Case& c : cases) {
    int result = -1;
    ImportJson("[" + c.record + "]", result);
    EXPECT_EQ(result, c.code) << c.record;
    EXPECT_THAT(LogLines(), Contains(testing::HasSubstr(c.message))) << c.record;
  }
  EXPECT_THAT(Headers(), IsEmpty());

  int result = -1;
  ImportJson("[" + Record("insertonly", "") + "," + Record("insertonly", "") + "]", result);
  EXPECT_EQ(result, 50106);
  EXPECT_THAT(Headers(), ElementsAre("1|1|2024-03-31|1|2024-03-31|-|-"));
}

TEST_F(PortfolioTest, AStoredPortfolioReadsBackThroughItsMarkedResultSetsAndIsDeletedWhole) {
  int result = -1;
  ImportJson("[" + Record("insertorupdate", kFullItems) + "]", result);
  ASSERT_EQ(result, 0);
  TRegistraInconsistencia inconsistencies("t");
  TPortfolioContext context{inconsistencies};
  TPortfolio portfolio;
  ASSERT_EQ(portfolio.Load(1, context), 0);
  EXPECT_EQ(portfolio.IdPortfolio(), 1);
  EXPECT_EQ(portfolio.Emp(), 1);
  EXPECT_EQ(FormatIsoDate(portfolio.DtRefFonte()), "2024-04-02");
  EXPECT_EQ(portfolio.Pl(), 1000.5);
  EXPECT_EQ(portfolio.Items(pikTvm)->Items().size(), 2U);
  const auto& tenants = portfolio.Items(pikIra)->Child(pikInquilino)->Items();
  ASSERT_EQ(tenants.size(), 2U);
  EXPECT_EQ(tenants[0].owner, portfolio.Items(pikIra)->Items()[0].object);
  const TPortfolioJsonDefinition& property = *FindDefinition(PortfolioItemDefinitions(pikIrc), "idimovel");
  EXPECT_EQ(portfolio.Items(pikIrc)->CellText(0, true, property), " - Rua B");

  // Written back unchanged, it keeps its rows.
  const std::string before = Items();
  ASSERT_EQ(portfolio.Write(context), 0);
  EXPECT_EQ(Items(), before);
  ASSERT_EQ(portfolio.Delete(context), 0);
  EXPECT_EQ(Items(), "");
  EXPECT_THAT(Headers(), IsEmpty());
  TPortfolio missing;
  EXPECT_EQ(missing.Load(1, context), 0);
  EXPECT_EQ(missing.IdPortfolio(), 0);
}

// The text path: a block of thousands of securities is stored whole; the same date again replaces the
// header and the securities of the stored portfolio, which keeps its id and gets today's change date.
TEST_F(PortfolioTest, ABlockOfThousandsOfSecuritiesIsStoredAndThenReplacedWhole) {
  constexpr int kSecurities = 3000;
  std::string block = "*PORTFOLIO FUNDO 0 2024-03-31 - N 1\n";
  for (int i = 1; i <= kSecurities; ++i) block += fmt::format("IdPtfAssetTvm:{} {} {}.5\n", i, i % 3, i);
  ASSERT_EQ(Import(block + "TOTAL TOTAL 9\nEND\n"), 0);
  EXPECT_THAT(Headers(), ElementsAre("1|1|2024-03-31|1|2024-03-31|9|-"));
  EXPECT_THAT(Rows("SELECT count(*), sum(vlr), max(IdPtfAssetTvm), count(DISTINCT TipoAplicacao) FROM PortfolioItemTvm"),
              ElementsAre(fmt::format("{}|{}|{}|3", kSecurities, kSecurities * (kSecurities + 1) / 2 + kSecurities / 2.0,
                                      kSecurities)));
  EXPECT_THAT(Rows("SELECT dtrtf FROM Portfolio"), ElementsAre("-"));

  ASSERT_EQ(Import("*PORTFOLIO FUNDO 0 2024-03-31 - N 1\nIdPtfAssetTvm:7 2 70\nEND\n"), 0);
  EXPECT_THAT(Headers(), ElementsAre("1|1|2024-03-31|1|2024-03-31|-|-"));
  EXPECT_THAT(Securities(), ElementsAre("1|7|2|-|70|-|-"));
  EXPECT_THAT(Rows("SELECT date((dtrtf - 25569) * 86400, 'unixepoch') = date('now', 'localtime') FROM Portfolio"),
              ElementsAre("1"));
}

TEST_F(PortfolioTest, AFailureAtAnyCallOfTheWriteLeavesTheStoredPortfolioAsItWas) {
  int result = -1;
  const std::string original = "[" + Record("insertorupdate", kFullItems) + "]";
  ImportJson(original, result);
  ASSERT_EQ(result, 0);
  const std::vector<std::string> headers = Headers();
  const std::string items = Items();
  const std::string replacement =
      "[" + Record("insertorupdate", R"(,"pl":7,"tvm":[{"itemid":"x","idptfassettvm":3,"tpaplic":0,"vlr":1}],
                                        "iva":[{"itemid":"y","idimovel":2,"area":4}])") + "]";
  int failedCalls = 0;
  for (int call = 1;; ++call) {
    Driver().InjectFaults({.failCall = call});
    ImportJson(replacement, result);
    Driver().InjectFaults({});
    ASSERT_LT(call, 40);
    if (result == 0 && failedCalls > 0) break;
    if (result == 0) {
      // The fault met the begin of the records' commit group: the record ran on its own, whole.
      ImportJson(original, result);
      ASSERT_EQ(result, 0);
      ASSERT_EQ(Headers(), headers);
      ASSERT_EQ(Items(), items);
      continue;
    }
    ++failedCalls;
    EXPECT_EQ(Headers(), headers) << "call " << call;
    EXPECT_EQ(Items(), items) << "call " << call;
  }
  EXPECT_GE(failedCalls, 10);  // lookup, header, seven deletes, each item insert
  EXPECT_THAT(Headers(), ElementsAre("1|1|2024-03-31|1|2024-03-31|7|-"));
  EXPECT_EQ(Items(), "PortfolioItemTvm:1|3|0|-|1|-|-\nPortfolioItemIVA:1|2|4|-|-\n");
}

}  // namespace
}  // namespace zi

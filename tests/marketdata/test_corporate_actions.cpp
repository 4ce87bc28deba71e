// Corporate actions: the record's key and description line, the three directives through the
// embedded server, and the server's rules for external keys.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "db/sql_errors.h"
#include "marketdata/corporate_action.h"
#include "marketdata/corporate_action_calls.h"
#include "marketdata/corporate_action_directives.h"
#include "support/import_file.h"
#include "support/logged_in_database.h"
#include "toolbox/display_formats.h"
#include "toolbox/numbers.h"
#include "toolbox/own_codes.h"

namespace zi {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Not;

TEST(CorporateActionRecord, ABlankRecordHasNoTypeNoCurrencyAndAFreshKey) {
  const tPrvento a = BlankPrvento();
  const tPrvento b = BlankPrvento();
  EXPECT_EQ(a.tipo, -1);
  EXPECT_EQ(a.moeda, -1);
  EXPECT_EQ(a.id, 0);
  EXPECT_EQ(a.acoes, 0);
  EXPECT_TRUE(std::regex_match(a.chaveExterna, std::regex("ZOR-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")))
      << a.chaveExterna;
  EXPECT_NE(a.chaveExterna, b.chaveExterna);
}

TEST(CorporateActionRecord, DescriptionLinesFillTheTemplates) {
  const struct {
    int tipo;
    double acoes;
    double valor;
    int seq;
    std::string line;  // after the date
  } cases[] = {
      {1, kMissing, 0.35, 0, " 00  Cash dividend of $Real R$ 0.35 per share"},
      {3, 2, kMissing, 1, " 01  Split: Each share will be replaced by 2 new shares"},
      {5, 0.125, 12.5, 12, " 12  Rights issue of 0.125 shares at $Real R$ 12.5 per share owned"},
      {16, 33.3333333, kMissing, 0, " 00  Spin-off representing 33.3333333% of the original total"},
      // A value that is missing shows the quantity in its place.
      {27, 4, kMissing, 0, " 00  Interest on capital of $4 per share"},
      {0, 1, 1, 0, " 00  [@L?]"},
      {39, kMissing, kMissing, 0, " 00  Maturity of the security"},
      {72, 3, 1.5, 0, " 00  CA type:72 acoes:3 valor:Real R$ 1.5"},
  };
  for (const auto& c : cases) {
    tPrvento prv;
    prv.udex = *ParseIsoDate("2024-04-08");
    prv.tipo = c.tipo;
    prv.acoes = c.acoes;
    prv.valor = c.valor;
    prv.seq = c.seq;
    EXPECT_EQ(PrvDescriptionLine(prv, "Real R$"), ShownDate({2024, 4, 8}) + c.line) << c.tipo;
  }
  EXPECT_EQ(FillPrvTemplate("@@ @ x@", tPrvento{}, ""), "@ @ x@");
}

TEST(CorporateActionRecord, TheUsageOfATypeFollowsItsTemplate) {
  EXPECT_TRUE(PrvUsage(1).currencyAndValue);
  EXPECT_EQ(PrvUsage(1).quantity, TPrvQuantity::None);
  EXPECT_FALSE(PrvUsage(3).currencyAndValue);
  EXPECT_EQ(PrvQuantityCaption(PrvUsage(3).quantity), "Shares");
  EXPECT_EQ(PrvQuantityCaption(PrvUsage(16).quantity), "Percent");
  EXPECT_TRUE(PrvUsage(5).currencyAndValue);
  EXPECT_EQ(PrvUsage(5).quantity, TPrvQuantity::Shares);
  EXPECT_FALSE(PrvUsage(72).currencyAndValue);
}

class CorporateActionImport : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    RegisterCorporateActionDirectives();
    Sql("INSERT INTO OcoTipo (id, seq, abrv, nome) VALUES (0, 0, 'ZERO', 'Zero')");
    Sql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petro')");
    Sql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (1, 1, 2, 0, 0)");
    Sql("INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) VALUES (7, 1, 'PETR4', 1, 1, 0)");
    LogIn("ana", "pw");
  }
  int Import(const std::string& text) {
    const test::TImportOutcome outcome = test::ImportText(dir_, text);
    messages_ = outcome.messages;
    return outcome.code;
  }
  std::vector<std::string> LogLines() { return test::ImportLog(dir_); }
  // Each stored action: "udex tipo moeda acoes valor key".
  std::vector<std::string> Actions() {
    std::vector<std::string> rows;
    const std::vector<server::ResultSet> sets = Server().ExecuteSql(
                                       "SELECT date(udex * 86400 - 1577923200, 'unixepoch') || ' ' || tipo || ' ' || "
                                       "moeda || ' ' || coalesce(acoes, '-') || ' ' || coalesce(valor, '-') || ' ' || "
                                       "chaveExterna FROM Provento ORDER BY udex, tipo");
    for (const auto& row : sets.at(0).rows)
      rows.push_back(row[0].AsText());
    return rows;
  }
  int messages_ = 0;
};

TEST_F(CorporateActionImport, CaLinesWriteChangeAndDeleteTheActionOfADateAndType) {
  ASSERT_EQ(Import("*CA PETR4 1 2024-04-08 1 1 - 0.35\n*CA PETR4 1 2024-04-09 3 1 2 -\n"), 0);
  ASSERT_EQ(Actions().size(), 2u);
  const std::string key = Actions()[0].substr(Actions()[0].rfind(' ') + 1);
  EXPECT_THAT(key, testing::StartsWith("ZOR-"));
  ASSERT_EQ(Import("*CA PETR4 1 2024-04-08 1 1 - 0.40\n*CA PETR4 1 2024-04-09 3 delete\n"), 0);
  EXPECT_THAT(Actions(), ElementsAre("2024-04-08 1 1 - 0.4 " + key));
  // Deleting what is not there, and an unknown ticker, leave the line successful.
  ASSERT_EQ(Import("*CA PETR4 1 2024-04-09 3 DELETE\n*CA NOSUCH 1 2024-04-09 1 1 - 1\n"), 0);
  EXPECT_THAT(LogLines(), Contains("line:1 ImpPrv PETR4/1 " + db::SqlErrorText(8604)));
  EXPECT_THAT(LogLines(), Contains("line:2 ImpPrv NOSUCH/1 " + db::SqlErrorText(3758)));
}

TEST_F(CorporateActionImport, ABadCaLineSaysWhatIsWrongAndTheFileWritesNothing) {
  const struct {
    std::string line;
    std::string message;
  } cases[] = {
      {"*CA PETR4 1 2024-04-08 1", "Invalid # of fields"},
      {"*CA PETR4 1 2024-04-08 1 1 0.35", "Invalid # of fields"},
      {"*CA PETR4 1 2024-04-08 1 1 - 0.35 9", "Invalid # of fields"},
      {"*CA - 1 2024-04-08 1 1 - 0.35", "Empty <ticker>"},
      {"*CA PETR4 BOVESPA 2024-04-08 1 1 - 0.35", "Invalid <exchange>"},
      {"*CA PETR4 1 - 1 1 - 0.35", "Invalid <udex>"},
      {"*CA PETR4 1 \"\" 1 1 - 0.35", "Invalid <udex>"},
      {"*CA PETR4 1 2100-01-01 1 1 - 0.35", "Invalid <udex>"},
      {"*CA PETR4 1 1920-01-01 1 1 - 0.35", "Invalid <udex>"},
      {"*CA PETR4 1 1920-01-01 1 DELETE", "Invalid <udex>"},
      {"*CA PETR4 1 2024-04-08 71 1 - 0.35", "Invalid <type>"},
      {"*CA PETR4 1 2024-04-08 1 99 - 0.35", "Invalid <currency>"},
      {"*CA PETR4 1 2024-04-08 1 XYZ - 0.35", "Invalid <currency>"},
      {"*CA PETR4 1 2024-04-08 3 1 dois -", "Invalid number field (#7)"},
      {"*CA PETR4 1 2024-04-08 1 1 - 0,35", "Invalid number field (#8)"},
      {"*CA PETR4 1 2024-04-08 0 1 - 0.35", "pvr.tipo=0 not allowed!"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Import("*CA PETR4 1 2024-04-05 1 1 - 1\n" + c.line + "\n"), 3943) << c.line;
    EXPECT_THAT(LogLines(), Contains("line:2 " + c.message)) << c.line;
  }
  EXPECT_THAT(Actions(), IsEmpty());
}

TEST_F(CorporateActionImport, UpsertLinesWriteTheActionOfTheirKeyAndFieldErrorsOnlySpeak) {
  ASSERT_EQ(Import("*CAUPSERT KEY:\"B3-1\" PETR4 1 2024-04-08 1 1 0 0.35 2024-03-01\n"
                   "*CAUPSERT key:B3-1 PETR4 1 2024-04-10 27 1 0 0.5 \"\" 2024-05-02\n"),
            0);
  EXPECT_THAT(Actions(), ElementsAre("2024-04-10 27 1 0.0 0.5 B3-1"));
  const std::string bad =
      "*CAUPSERT B3-2 PETR4 1 2024-04-08 1 1 0 0.35\n"
      "*CAUPSERT key: PETR4 1 2024-04-08 1 1 0 0.35\n"
      "*CAUPSERT key:- PETR4 1 2024-04-08 1 1 0 0.35\n"
      "*CAUPSERT key:B3-2 - 1 2024-04-08 1 1 0 0.35\n"
      "*CAUPSERT key:B3-2 PETR4 7 2024-04-08 1 1 0 0.35\n"
      "*CAUPSERT key:B3-2 PETR4 1 - 1 1 0 0.35\n"
      "*CAUPSERT key:B3-2 PETR4 1 1920-01-01 1 1 0 0.35\n"
      "*CAUPSERT key:B3-2 PETR4 1 2024-04-08 - 1 0 0.35\n"
      "*CAUPSERT key:B3-2 PETR4 1 2024-04-08 1 - 0 0.35\n"
      "*CAUPSERT key:B3-2 PETR4 1 2024-04-08 1 1 - 0.35\n"
      "*CAUPSERT key:B3-2 PETR4 1 2024-04-08 1 1 0 -\n"
      "*CAUPSERT key:B3-2 PETR4 1 2024-04-08 1 1 0 1 2024-13-01\n"
      "*CAUPSERT key:B3-2 PETR4 1 2024-04-08 1 1 0 1 - 20240501\n"
      "*CAUPSERT key:B3-2 PETR4 1 2024-04-08 1 1 0 1 - - extra\n";
  ASSERT_EQ(Import(bad), 0);
  EXPECT_EQ(messages_, 28);  // each line speaks in both passes
  const std::vector<std::string> log = LogLines();
  int line = 0;
  for (const char* message : {"Invalid <chaveExterna>", "Invalid <chaveExterna>", "Invalid <chaveExterna>",
                              "Empty <ticker>", "Invalid <exchange>", "Invalid <udex>", "Invalid <udex>",
                              "Invalid <type>",
                              "Invalid <currency>", "Invalid <shares>", "Invalid <value>",
                              "Invalid <approval date>", "Invalid <payment-date>", "Invalid # of fields"}) {
    EXPECT_THAT(log, Contains("line:" + std::to_string(++line) + " " + message)) << line;
  }
  EXPECT_THAT(Actions(), ElementsAre("2024-04-10 27 1 0.0 0.5 B3-1"));
}

TEST_F(CorporateActionImport, DeleteLinesTakeTheKeyAsWrittenAndRefuseAnEmptyOne) {
  ASSERT_EQ(Import("*CAUPSERT key:B3-1 PETR4 1 2024-04-08 1 1 0 0.35\n"
                   "*CAUPSERT key:key:B3-2 PETR4 1 2024-04-09 1 1 0 0.35\n"),
            0);
  ASSERT_EQ(Import("*CADELETE key:B3-2\n*CADELETE \"\"\n*CADELETE -\n"), 0);
  EXPECT_THAT(Actions(), ElementsAre("2024-04-08 1 1 0.0 0.35 B3-1"));
  EXPECT_THAT(LogLines(), Contains("line:2 Invalid <chaveExterna>"));
  EXPECT_EQ(Import("*CADELETE key:B3-1\n"), 3943);
  EXPECT_THAT(LogLines(), Contains("line:1 ImpPrv - Delete key: key:B3-1 " + db::SqlErrorText(8604)));
  EXPECT_THAT(Actions(), ElementsAre("2024-04-08 1 1 0.0 0.35 B3-1"));
}

TEST_F(CorporateActionImport, TheWindowsCallsKeepOneActionPerKeyAndListByDateAndOrder) {
  tPrvento later = BlankPrvento();
  later.anb = 7;
  later.udex = *ParseIsoDate("2024-05-02");
  later.tipo = 1;
  later.moeda = 1;
  later.valor = 0.2;
  later.acoes = kMissing;
  ASSERT_EQ(DbPrvAddV2(later), 0);
  EXPECT_GT(later.id, 0);
  tPrvento earlier = later;
  earlier.udex = *ParseIsoDate("2024-04-02");
  earlier.acoes = 3;
  EXPECT_EQ(DbPrvAddV2(earlier), kAnswerCodeTaken);
  earlier.chaveExterna = "B3-9";
  earlier.seq = 2;
  ASSERT_EQ(DbPrvAddV2(earlier), 0);
  tPrvento first = earlier;
  first.chaveExterna = "B3-8";
  first.seq = 1;
  ASSERT_EQ(DbPrvAddV2(first), 0);
  first.chaveExterna = "";
  EXPECT_EQ(DbPrvPutV2(first), kAnswerValueMissing);
  first.chaveExterna = "B3-9";
  EXPECT_EQ(DbPrvPutV2(first), kAnswerCodeTaken);
  first.chaveExterna = "B3-7";
  first.dtPgto = *ParseIsoDate("2024-06-01");
  EXPECT_EQ(DbPrvPutV2(first), 0);
  tPrvento gone = first;
  gone.id = 999;
  EXPECT_EQ(DbPrvPutV2(gone), 8605);

  std::vector<tPrvento> actions;
  ASSERT_EQ(DbPrvDaAnbV2(7, actions), 0);
  ASSERT_EQ(actions.size(), 3u);
  EXPECT_EQ(actions[0], first);
  EXPECT_EQ(actions[1].chaveExterna, "B3-9");
  EXPECT_EQ(actions[2].chaveExterna, later.chaveExterna);
  EXPECT_TRUE(IsMissing(actions[2].acoes));
  EXPECT_EQ(DbPrvDaAnbV2(8, actions), kAnswerNotFound);

  EXPECT_EQ(DbPrvDelV2("  "), kAnswerValueMissing);
  EXPECT_EQ(DbPrvDelV2("B3-9"), 0);
  EXPECT_EQ(DbPrvDelV2("B3-9"), 8604);
  std::vector<TOcoCaracs> types;
  ASSERT_EQ(DbOcoCaracsV2(types), 0);
  EXPECT_EQ(types.front().id, 0);
}

}  // namespace
}  // namespace zi

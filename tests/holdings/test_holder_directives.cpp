// The holder directives and the composition block with the document index of batch imports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "holdings/shareholder.h"
#include "holdings_database.h"
#include "toolbox/own_codes.h"

namespace zi {
namespace {

class HolderDirectivesTest : public test::HoldingsDatabase {
 protected:
  void SetUp() override {
    HoldingsDatabase::SetUp();
    Sql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petro')");
  }
};

// The add procedure gives no id back: the index must learn the real one, or a later block of the
// same process would resolve the document to no shareholder.
TEST_F(HolderDirectivesTest, AHolderCreatedWhileTheIndexIsBuiltJoinsItWithItsRealId) {
  ASSERT_EQ(Import("*SHAREHOLDER \"Alfa\" 0 11.111.111/0001-11\n", false), 0);
  int32_t id = 0;
  ASSERT_EQ(TShareholderRegistry::FindInIndex("11111111000111", 0, true, id), 0);
  const size_t before = TShareholderRegistry::DocIndex().Size();
  ASSERT_EQ(Import("*SHAREHOLDER \"Beta\" 0 22.222.222/0001-22\n", true), 0) << Log();
  EXPECT_EQ(TShareholderRegistry::DocIndex().Size(), before + 1);
  const int64_t beta = SqlValue("SELECT IdShareholder FROM ShareholderDoc WHERE doc_id = '22222222000122'").AsInteger();
  ASSERT_EQ(Import("*SHAREHOLDERS PETR 0 2024-06-30\n"
                   "22.222.222/0001-22 0 7 0\n"
                   "END\n",
                   true),
            0)
      << Log();
  EXPECT_EQ(SqlValue("SELECT IdShareholder FROM CompAcionariaItem").AsInteger(), beta);
  Sql("DELETE FROM ShareholderDoc WHERE IdShareholder = " + std::to_string(beta));
  ASSERT_EQ(TShareholderRegistry::FindInIndex("22.222.222/0001-22", 0, true, id), 0) << "an entry of the index";
  EXPECT_EQ(id, beta);
}

// A new name joins the holder's names without becoming its main one; a line that gives that name
// again changes nothing and is told so.
TEST_F(HolderDirectivesTest, ANameThatIsNotTheMainOneIsNoChangeAndIsNoted) {
  ASSERT_EQ(Import("*SHAREHOLDER \"Alfa\" 0 1\n"), 0);
  ASSERT_EQ(Import("*SHAREHOLDER \"Beta\" 0 1\n"), 0);
  ASSERT_EQ(Import("*SHAREHOLDER \"B.E.T.A\" 0 1\n"), 0);
  const std::string log = Log();
  const size_t third = log.rfind("ImpRoot start");
  EXPECT_THAT(log.substr(third), testing::HasSubstr("Share holder: name \"B.E.T.A\" is not main name \"Alfa\"\r\n"));
  EXPECT_THAT(log.substr(third), testing::Not(testing::HasSubstr("limit"))) << "no change, no limit note";
  EXPECT_EQ(SqlValue("SELECT group_concat(nome || VaiProZor, ',') FROM ShareholderNome").AsText(), "Alfa1,Beta0");
}

// A shareholder named by id must be stored. The check pass refuses the block with the lookup's
// code, so that the file writes nothing, rather than let the items' write fail in the import pass.
TEST_F(HolderDirectivesTest, AShareholderIdThatNoHolderHasFailsTheCheck) {
  ASSERT_EQ(Import("*SHAREHOLDER \"Alfa\" 0 11.111.111/0001-11\n"), 0);
  const std::string alfa = std::to_string(SqlValue("SELECT id FROM Shareholder").AsInteger());
  const struct {
    std::string line;
    std::string token;
  } cases[] = {
      {"IdShareHolder:99 1 2", "IDSHAREHOLDER:99"},
      {"IdShareHolderNoPais:77 0 1 2 3", "IDSHAREHOLDERNOPAIS:77"},
  };
  for (const auto& c : cases) {
    const size_t from = Log().size();
    EXPECT_EQ(Import("*SHAREHOLDERS PETR 0 2024-06-30\nIdShareHolder:" + alfa + " 1 2\n" + c.line + "\nEND\n"),
              kAnswerNotFound)
        << c.line;
    const std::string log = Log().substr(from);
    EXPECT_THAT(log, testing::HasSubstr("line:3 ImpCompAcionaria invalid line <" + c.token + "> error:99104\r\n"))
        << c.line;
    EXPECT_THAT(log, testing::Not(testing::HasSubstr("check ok"))) << c.line;
    EXPECT_EQ(SqlValue("SELECT count(*) FROM CompAcionaria").AsInteger(), 0) << c.line;
  }
  ASSERT_EQ(Import("*SHAREHOLDERS PETR 0 2024-06-30\nIdShareHolder:" + alfa + " 1 2\nIdShareHolder:" + alfa +
                   " 3 4\nEND\n"),
            0);
  EXPECT_EQ(SqlValue("SELECT group_concat(IdShareholder || '/' || vot || '/' || vlr, ' ') FROM "
                     "(SELECT * FROM CompAcionariaItem ORDER BY vot)")
                .AsText(),
            alfa + "/0/6.0 " + alfa + "/1/4.0");
}

// A holder removed between the passes fails its block in the import pass with the same message,
// not with the items' write alone; the composition is not written.
TEST_F(HolderDirectivesTest, AShareholderIdGoneBetweenThePassesFailsItsBlock) {
  ASSERT_EQ(Import("*SHAREHOLDER \"Alfa\" 0 11.111.111/0001-11\n"), 0);
  const std::string alfa = std::to_string(SqlValue("SELECT id FROM Shareholder").AsInteger());
  const std::string file = dir_.File("in.txt");
  test::WriteFile(file, "*SHAREHOLDERS PETR 0 2024-06-30\nIdShareHolder:" + alfa + " 1 2\nEND\n");
  impcli::tMyImpMain run(file, true, false, "");
  // The check pass reads the block, up to its END on line 3.
  while (run.NotFinished() && run.ToNoCheck() && run.lnn() < 3) run.Step();
  ASSERT_TRUE(run.ToNoCheck());
  Sql("DELETE FROM Shareholder");
  while (run.NotFinished()) run.Step();
  EXPECT_EQ(run.ErroNaoFatal(), kAnswerNotFound);
  EXPECT_THAT(Log(), testing::HasSubstr("line:2 ImpCompAcionaria invalid line <IDSHAREHOLDER:" + alfa +
                                        "> error:99104\r\n"));
  EXPECT_EQ(SqlValue("SELECT count(*) FROM CompAcionaria").AsInteger(), 0);
}

// A reference date names the composition or portfolio: 1920-01-01, day 0, is no date and is
// refused by the check pass, so that the file writes nothing.
TEST_F(HolderDirectivesTest, AReferenceDateOfDayZeroFailsTheCheck) {
  const struct {
    std::string block;
    int code;
    std::string message;
  } cases[] = {
      {"*SHAREHOLDERS PETR 0 1920-01-01\nIdShareHolder:1 1 2\nEND\n", 4185, "line:2 Invalid date\r\n"},
      {"*SHAREHOLDERS PETR 0 1920.01.01\nIdShareHolder:1 1 2\nEND\n", 4185, "line:2 Invalid date\r\n"},
      {"*PORTFOLIO PETR 0 1920-01-01 - N 1\nEND\n", 4185, "line:2 Invalid date\r\n"},
      {"*PORTFOLIO PETR 0 2024-03-31 - N 1 DateBySource:1920-01-01\nEND\n", 30135,
       "line:2 Invalid date for DateBySource:1920-01-01\r\n"},
  };
  for (const auto& c : cases) {
    const size_t from = Log().size();
    EXPECT_EQ(Import("*SHAREHOLDER \"Alfa\" 0 11.111.111/0001-11\n" + c.block), c.code) << c.block;
    const std::string log = Log().substr(from);
    EXPECT_THAT(log, testing::HasSubstr(c.message)) << c.block;
    EXPECT_THAT(log, testing::Not(testing::HasSubstr("check ok"))) << c.block;
  }
  EXPECT_EQ(SqlValue("SELECT (SELECT count(*) FROM Shareholder) + (SELECT count(*) FROM CompAcionaria) + "
                     "(SELECT count(*) FROM Portfolio)")
                .AsInteger(),
            0);
}

}  // namespace
}  // namespace zi

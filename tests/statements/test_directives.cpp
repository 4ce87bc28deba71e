// The statement and account directives through an import run on the embedded server.
#include <gtest/gtest.h>

#include "database_support.h"
#include "statements/statement_db.h"
#include "toolbox/own_codes.h"

namespace zi {
namespace {

using test::StatementDatabaseTest;

constexpr const char* kCatalogue =
    "*CBAL 1 Ativo Assets Activo At As Ac 1 1 0 0 0 0 Y N Y N N N N N N N N N N N N N\n"
    "*CBAL 2 Caixa Cash Caja Cx Cs Cj 1 2 0 0 0 0 Y N Y N N N N N N N N N N N N N\n"
    "*CBAL 3 Outros Other Otros Ou Ot Ot 1 3 0 0 0 0 Y N Y N N N N N N N N N N N N N\n"
    "*CBAL 5 Documento Document Documento Doc Doc Doc 1 5 0 0 0 0 N N N N N N N N N N N N N N N Y\n"
    "*FBAL 1 0 Companies Companies\n"
    "*APRESFBAL 1\n"
    "0 1 0 0 0\n"
    "0 2 2 1 0\n"
    "0 3 2 1 0\n"
    "END\n";

std::string Statement(const std::string& keyword, const std::string& lines) {
  return keyword + " PETR 0 2023-12-31 Y\nFORMAT 1\nMONTHS 12\nCURRENCY 1\nCURRENCYDT 2023-12-31\n" + lines + "END\n";
}

class StatementDirectives : public StatementDatabaseTest {
 protected:
  void SetUp() override {
    StatementDatabaseTest::SetUp();
    ASSERT_EQ(Import(kCatalogue), 0) << Log();
  }
};

TEST_F(StatementDirectives, StatementIsCheckedAndStored) {
  ASSERT_EQ(Import(Statement("*FS", "@1 100\n@3 40\n3M\n@1 20\n@2 FY 7\n@3 5\n@2 3M 15\n")), 0) << Log();
  TBalanco bal;
  ASSERT_EQ(DbBalGetPelaDataCons(1, *ParseIsoDate("2023-12-31"), true, 0, 0, bal), 0);
  EXPECT_EQ(bal.head.meses, 12);
  EXPECT_EQ(bal.head.ChecagemFalhou, 2);  // FY: 60 + 40 is not 7 + 40
  EXPECT_EQ(bal.Valor(kPeriodoFY, 2), 7);
  EXPECT_EQ(bal.Valor(kPeriodo3M, 2), 15);
  EXPECT_EQ(SqlValue("SELECT fmtbal0 FROM empresa WHERE id = 1"), 1);
}

TEST_F(StatementDirectives, CalculatedValuesAreStoredAsValues) {
  ASSERT_EQ(Import(Statement("*FS", "@1 100\n@2 100\n")), 0) << Log();
  TBalanco bal;
  ASSERT_EQ(DbBalGetPelaDataCons(1, *ParseIsoDate("2023-12-31"), true, 0, 0, bal), 0);
  EXPECT_EQ(bal.head.ChecagemFalhou, 0);
  EXPECT_EQ(bal.Valor(kPeriodoFY, 3), 0);
  EXPECT_FALSE(bal.Celula(kPeriodoFY, 3).CalcOuRx);
}

TEST_F(StatementDirectives, BadLinesWriteNothing) {
  const std::string before = Dump();
  struct Case {
    std::string text;
    int code;
  } cases[] = {
      {Statement("*FS", "@1 100\n@2 100\n") + Statement("*FS", "@1 100\n@2 abc\n"), 3969},
      {Statement("*FS", "@1 nan\n"), 3969},
      {Statement("*FS", "@1 1e999\n"), 3969},
      {Statement("*FS", "@9000 1\n"), 3968},
      {Statement("*FS", "@0 1\n"), 3968},
      {Statement("*FS", "@x 1\n"), 3967},
      {Statement("*FS", "@1 1\n@1 2\n"), kStatementAccountTwice},
      {Statement("*FS", "@4 1\n"), 99104},
      {Statement("*FS", "BOGUS 1\n"), 3970},
      {Statement("*FS", "MONTHS twelve\n"), 3962},
      {"*FS PETR 0 2023-12-31 Y\n@1 100\n", 3959},
      {Statement("*FS", "@5 CPFCNPJ\n"), kCpfCnpjEmpty},
      {Statement("*FS", "@1 CPFCNPJ 33000167000101\n"), 25908},
      {"*FS PETR 0 2023-02-30 Y\nEND\n", 3957},
      {"*FS PETR 0 1920-01-01 Y\n@1 100\nEND\n", 3957},
      {"*FS PETR 0 2023-12-31 Y 9\nEND\n", 4014},
      {"*FS PETR 0 2023-12-31 Y 0 2\nEND\n", 40004},
      {"*FS PETR 0 2023-12-31 Y 0 0 x\nEND\n", 4015},
      {"*FS NOPE 0 2023-12-31 Y\nEND\n", 3956},
      {"*CBAL 9 a b c d e f 1 1 0 0 0 0 Y N Y N N N N N N N N N N N N\n", 15561},
      {"*CBAL 9001 a b c d e f 1 1 0 0 0 0 Y N Y N N N N N N N N N N N N N\n", 3763},
      {"*APRESFBAL 1\n0 1 13 0 0\nEND\n", 3943},
      {"*APRESFBAL 1\n0 1 0 0 0\n", 3943},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Import(c.text), c.code) << c.text;
    EXPECT_EQ(Dump(), before) << c.text;
  }
}

// The check pass does not add documents: a refused add fails its line in the import pass, and the
// block's remaining value lines are passed over, never run as directives.
TEST_F(StatementDirectives, RefusedDocumentAddFailsTheStatementAndSkipsToItsEnd) {
  Sql("CREATE TRIGGER refuse BEFORE INSERT ON CampoListaDeValores BEGIN SELECT RAISE(ABORT, 'refused'); END");
  const int code = Import(Statement("*FS", "@5 CPFCNPJ 33000167000101\n@1 100\n") + "*BLOCOCBAL 9 Nove Nine Nueve\n");
  const std::string log = Log();
  const std::string added = "ISLML.AddItem ";
  ASSERT_NE(log.find(added), std::string::npos) << log;
  const size_t at = log.find(" error:", log.find(added)) + 7;
  EXPECT_EQ(code, std::stoi(log.substr(at))) << log;
  EXPECT_NE(code, 0);
  EXPECT_EQ(SqlValue("SELECT count(*) FROM Balanco"), 0);
  EXPECT_EQ(SqlValue("SELECT count(*) FROM BlocoDeContaBal WHERE id = 9"), 1) << log;
}

TEST_F(StatementDirectives, FailedItemLinePassesOverTheRestOfItsBlock) {
  EXPECT_EQ(Import("*APRESFBAL 1\n0 1 13 0 0\n0 2 0 0 0\nEND\n"), 3943);
  EXPECT_EQ(Log().find("Error:3942"), std::string::npos) << Log();
}

TEST_F(StatementDirectives, IfNewSkipsAStoredStatementWithAWarning) {
  ASSERT_EQ(Import(Statement("*FS", "@1 100\n@2 100\n")), 0);
  const std::string before = Dump();
  EXPECT_EQ(Import(Statement("*FSIFNEW", "@1 5\n@2 5\n")), 0);
  EXPECT_EQ(Dump(), before);
  EXPECT_NE(Log().find("Warning: registro ignorado empresa PETR/0 EmpId:1 Balan\xC3\xA7o de 2023-12-31 j\xC3\xA1 existe na base de dados"),
            std::string::npos);
}

TEST_F(StatementDirectives, UpdateKeepsTheValuesTheFileDoesNotGive) {
  ASSERT_EQ(Import(Statement("*FS", "@1 100\n@2 60\n@3 40\n")), 0);
  ASSERT_EQ(Import(Statement("*FSUPDATE", "@2 70\n@3\n@1 110\n")), 0);
  TBalanco bal;
  ASSERT_EQ(DbBalGetPelaDataCons(1, *ParseIsoDate("2023-12-31"), true, 0, 0, bal), 0);
  EXPECT_EQ(bal.Valor(kPeriodoFY, 1), 110);
  EXPECT_EQ(bal.Valor(kPeriodoFY, 2), 70);
  EXPECT_EQ(bal.Valor(kPeriodoFY, 3), 40);
  EXPECT_EQ(bal.head.ChecagemFalhou, 0);
}

TEST_F(StatementDirectives, ExcludedFormatRefusesTheStatement) {
  EXPECT_EQ(Import(Statement("*FS", "FORMAT 1 1\n@1 1\n")), 4288);
  EXPECT_EQ(SqlValue("SELECT count(*) FROM Balanco"), 0);
}

}  // namespace
}  // namespace zi

// News: the one-line form, and *NW through the embedded server with its text block.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "db/sql_errors.h"
#include "marketdata/news.h"
#include "marketdata/news_directives.h"
#include "support/import_file.h"
#include "support/logged_in_database.h"
#include "toolbox/display_formats.h"
#include "toolbox/own_codes.h"

namespace zi {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

TEST(NewsItem, TheOneLineFormFoldsBlanksAndControls) {
  tNws item;
  item.date = *ParseIsoDate("2024-04-08");
  item.seq = 2;
  item.txt = "  Fato\trelevante\r\n\r\n   assembleia   geral \x01";
  EXPECT_EQ(NwsOneLine(item), ShownDate({2024, 4, 8}) + " 2 Fato relevante assembleia geral...");
  item.txt = "";
  item.seq = -1;
  EXPECT_EQ(NwsOneLine(item), ShownDate({2024, 4, 8}) + " -1 ...");
}

class NewsImport : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    RegisterNewsDirectives();
    Sql("INSERT INTO empresa (id, cod, pais, nome, cnpj) VALUES (1, 'PETR', 0, 'Petro', '33000167000101'), "
        "(2, 'PETRX', 0, 'Petro 2', '33000167000101')");
  }
  int Import(const std::string& text) { return test::ImportText(dir_, text).code; }
  std::vector<std::string> LogLines() { return test::ImportLog(dir_); }
  // Each item: "emp day seq [text]", the text's line breaks as "|".
  std::vector<std::string> Items() {
    std::vector<std::string> rows;
    const std::vector<server::ResultSet> sets = Server().ExecuteSql("SELECT emp || ' ' || date(dia * 86400 - 1577923200, 'unixepoch') || ' ' || seq || ' [' || "
                         "replace(txt, char(13, 10), '|') || ']' FROM Noticia ORDER BY emp, dia, seq");
    for (const auto& row : sets.at(0).rows)
      rows.push_back(row[0].AsText());
    return rows;
  }
};

TEST_F(NewsImport, TheTextRunsToAnExactEndAndKeepsBlankLinesButNotComments) {
  ASSERT_EQ(Import("*NW PETR 0 2024-04-08 -\n"
                   "Fato relevante\n"
                   "\n"
                   "   \n"
                   "# a comment\n"
                   "end\n"
                   " END\n"
                   "*QT is text here\n"
                   "END\n"
                   "*NW PETR 0 2024-04-08 \"\"\nsegundo\nEND\n"
                   "*NW PETR 0 2024-04-08 5\nquinto\nEND\n"
                   "*NW PETR 0 2024-04-08 5\nquinto de novo\nEND\n"),
            0);
  EXPECT_THAT(Items(), ElementsAre("1 2024-04-08 0 [Fato relevante||   |end| END|*QT is text here]",
                                   "1 2024-04-08 1 [segundo]", "1 2024-04-08 5 [quinto de novo]"));
}

TEST_F(NewsImport, AKeyOfTwoCompaniesWritesTwiceAndAnUnknownOneOnlyWarns) {
  ASSERT_EQ(Import("*NW cnpj:33000167000101 country:0 2024-04-08 1\nA\nEND\n"
                   "*NW NOSUCH 0 2024-04-09 1\n*B\nEND\n"),
            0);
  EXPECT_THAT(Items(), ElementsAre("1 2024-04-08 1 [A]", "2 2024-04-08 1 [A]"));
  EXPECT_THAT(LogLines(), Contains(testing::StartsWith("line:4 Warning:")));
  EXPECT_THAT(LogLines(), Contains(testing::EndsWith(" (Ex:3752) . Invalid company NOSUCH/0")));
}

TEST_F(NewsImport, ABadLineFailsAfterPassingOverItsText) {
  const struct {
    std::string line;
    std::string message;
  } cases[] = {
      {"*NW PETR 0 2024-04-08", "Invalid # of fields"},
      {"*NW PETR 0 2024-04-08 1 2", "Invalid # of fields"},
      {"*NW \"\" 0 2024-04-08 1", "Empty <company>"},
      {"*NW PETR 0 - 1", "Invalid <pub_date>"},
      {"*NW PETR 0 \"\" 1", "Invalid <pub_date>"},
      {"*NW PETR 0 2024-02-30 1", "Invalid <pub_date>"},
      {"*NW PETR 0 1920-01-01 1", "Invalid <pub_date>"},
      {"*NW PETR 0 2024-04-08 -2", "Invalid <seq>"},
      {"*NW PETR 0 2024-04-08 x", "Invalid <seq>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Import(c.line + "\n*QT text\nEND\n"), 3943) << c.line;
    EXPECT_THAT(LogLines(), Contains("line:1 " + c.message)) << c.line;
  }
  // Without its END the block fails at the end of the file, and never reads on into the import pass.
  EXPECT_EQ(Import("*NW PETR 0 2024-04-08 1\ntext\nend\n"), 3943);
  EXPECT_THAT(LogLines(), Contains("line:3 reached EOF"));
  EXPECT_THAT(Items(), IsEmpty());
}

TEST_F(NewsImport, ATextOfMegabytesIsStoredWhole) {
  const std::string line(1000, 'x');
  std::string text;
  for (int i = 0; i < 4000; ++i) text += line + "\n";
  ASSERT_EQ(Import("*NW PETR 0 2024-04-08 1\n" + text + "END\n"), 0);
  EXPECT_EQ(SqlValue("SELECT length(txt) FROM Noticia").AsInteger(), 4000 * 1000 + 3999 * 2);
}

TEST_F(NewsImport, TheWindowsCallsReadAndWriteItems) {
  tNws item;
  item.emp = 1;
  item.date = *ParseIsoDate("2024-04-08");
  item.txt = " first line\r\nsecond \r\n";
  ASSERT_EQ(DbNwsAdd(item), 0);
  tNws read;
  ASSERT_EQ(DbNwsGet(item.id, read), 0);
  item.seq = 0;
  EXPECT_EQ(read, item);
  tNws other = item;
  EXPECT_EQ(DbNwsAdd(other), kAnswerCodeTaken);
  other.seq = -1;
  other.txt = "  ";
  EXPECT_EQ(DbNwsAdd(other), kAnswerValueMissing);
  other.txt = "later";
  other.date = *ParseIsoDate("2024-04-09");
  ASSERT_EQ(DbNwsAdd(other), 0);
  other.txt = "changed";
  ASSERT_EQ(DbNwsPut(other), 0);
  std::vector<tNws> items;
  ASSERT_EQ(DbNwsDaEmpAbrv(1, items), 0);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].txt, "changed");
  EXPECT_EQ(items[1], item);
  EXPECT_EQ(DbNwsDel(item.id), 0);
  EXPECT_EQ(DbNwsDel(item.id), 8604);
  EXPECT_EQ(DbNwsGet(item.id, read), kAnswerNotFound);
  EXPECT_EQ(DbNwsDaEmpAbrv(9, items), kAnswerNotFound);
}

}  // namespace
}  // namespace zi

// The share-base lines *SHARES and *SHARESUPDATE through the embedded server, and the export
// files they round-trip with.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/share_base.h"
#include "catalogue/share_base_files.h"
#include "marketdata/share_base_directives.h"
#include "support/import_file.h"
#include "support/logged_in_database.h"
#include "toolbox/own_codes.h"

namespace zi {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

class ShareBaseImport : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    RegisterShareBaseDirectives();
    Sql("INSERT INTO empresa (id, cod, pais, nome, cnpj) VALUES (1, 'PETR', 0, 'Petro', '33000167000101'), "
        "(2, 'VALE', 0, 'Vale', '')");
    Sql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (10, 1, 2, 0, 0), (11, 1, 4, 1, 0), "
        "(12, 2, 2, 0, 0)");
  }
  int Import(const std::string& text) { return test::ImportText(dir_, text).code; }
  std::vector<std::string> LogLines() { return test::ImportLog(dir_); }
  std::vector<std::string> Export(int emp, bool withStatus) {
    TListaBaseAcionaria list(emp, 0);
    EXPECT_EQ(list.Load(), 0);
    return BacExportLines(list, withStatus);
  }
};

TEST_F(ShareBaseImport, SharesLinesFillTheirSlotsAndDerive) {
  ASSERT_EQ(Import("*SHARES PETR 0 2024-04-08 0 #4 total 1000 Ordin\xE1rias 100 900\n"
                   "*SHARES PETR 0 2024-05-08 0 #4 ISSUED 1000 #4 - 1000\n"),
            0);
  // Acoes (1) sums its children's issued shares only: Preferenciais (3) knows no treasury.
  EXPECT_THAT(Export(1, true),
              ElementsAre("2024-04-08 1 2000 5 0 0 0 0", "2024-04-08 2 1000 5 100 2 900 2",
                          "2024-04-08 3 1000 5 0 0 0 0", "2024-04-08 4 1000 2 0 0 0 0",
                          "2024-05-08 3 1000 5 0 5 1000 5", "2024-05-08 4 1000 2 0 5 1000 2"));
}

TEST_F(ShareBaseImport, AnUpdateChangesOnlyItsSlotsAndSharesEmptiesTheRest) {
  ASSERT_EQ(Import("*SHARES PETR 0 2024-04-08 0 #2 100 900 #4 TOTAL 50\n"), 0);
  ASSERT_EQ(Import("*SHARESUPDATE PETR 0 2024-04-08 0 #2 200 -\n"), 0);
  // "-" keeps the stored outstanding shares; issued is derived again, and the parent with it.
  EXPECT_THAT(Export(1, false), ElementsAre("2024-04-08 1 1150 0 0", "2024-04-08 2 1100 200 900",
                                            "2024-04-08 3 50 0 0", "2024-04-08 4 50 0 0"));
  ASSERT_EQ(Import("*SHARES PETR 0 2024-04-08 0 #2 1 2\n"), 0);
  EXPECT_THAT(Export(1, false), ElementsAre("2024-04-08 2 3 1 2"));
}

// An entered count stays entered when an update's "-" passes it over: the disagreement with the
// update's numbers is flagged, not derived away.
TEST_F(ShareBaseImport, AnUpdateKeepsTheEnteredCountItsDashPassesOver) {
  ASSERT_EQ(Import("*SHARES PETR 0 2024-04-08 0 #2 100 900 #2 TOTAL 1000\n"
                   "*SHARESUPDATE PETR 0 2024-04-08 0 #2 - 950\n"),
            0);
  EXPECT_THAT(Export(1, true), Contains("2024-04-08 2 1000 2 100 2 950 2"));
  TListaBaseAcionaria list(1, 0);
  ASSERT_EQ(list.Load(), 0);
  list.DeriveAll();
  const TBacSlots& slots = list.Bases().at(0)->Node(2, false)->Slots();
  for (const int slot : {kIssued, kTreasury, kOutstanding}) {
    EXPECT_EQ(slots[static_cast<size_t>(slot)].status, 2) << slot;
    EXPECT_TRUE(slots[static_cast<size_t>(slot)].conflict) << slot;
  }
}

TEST_F(ShareBaseImport, AClassOutsideTheTreeFailsTheLineAndWritesNothing) {
  Sql("INSERT INTO Classes (id, nome, mae) VALUES (6, 'Units', NULL)");
  LogIn("ana", "pw");
  EXPECT_EQ(Import("*SHARES cnpj:33000167000101 country:0 2024-04-08 0 #2 1 2\n"
                   "*SHARES PETR 0 2024-04-08 0 #2 1 2 #6 1 2\n"),
            kSharesClassWithoutNode);
  EXPECT_THAT(LogLines(), Contains("line:2 ImpBac: EmpId: 1 IndBac:1 nao existe classe 6"));
  EXPECT_THAT(Export(1, false), ElementsAre("2024-04-08 2 3 1 2"));
}

TEST_F(ShareBaseImport, ABadLineSaysWhatIsWrongAndTheFileWritesNothing) {
  const struct {
    std::string line;
    int code;
    std::string message;  // empty: the code alone
  } cases[] = {
      {"*SHARES NOSUCH 0 2024-04-08 0 #2 1 2", kSharesNoCompany, ""},
      {"*SHARES PETR 0 - 0 #2 1 2", kSharesInvalidDate, "Invalid date: <->"},
      {"*SHARES PETR 0 2100-01-01 0 #2 1 2", kSharesInvalidDate, "Invalid date: <2100-01-01>"},
      {"*SHARES PETR 0 1920-01-01 0 #2 1 2", kSharesInvalidDate, "Invalid date: <1920-01-01>"},
      {"*SHARESUPDATE PETR 0 1920.01.01 0 #2 1 2", kSharesInvalidDate, "Invalid date: <1920.01.01>"},
      {"*SHARES PETR 0 2024-04-08 8 #2 1 2", kSharesInvalidSource, "Invalid <source>"},
      {"*SHARES PETR 0 2024-04-08 x #2 1 2", kSharesInvalidSource, "Invalid <source>"},
      {"*SHARES PETR 0 2024-04-08 0 #99 1 2", kSharesUnknownClass, "Unknown class #99 \"#99\" pais:0"},
      {"*SHARES PETR 0 2024-04-08 0 Nada 1 2", kSharesUnknownClass, "Unknown class #0 \"Nada\" pais:0"},
      {"*SHARES PETR 0 2024-04-08 0 #2 1 dois", kSharesInvalidNumber, "Invalid field <dois>"},
      {"*SHARES PETR 0 2024-04-08 0 #2 1,5 2", kSharesInvalidNumber, "Invalid field <1,5>"},
      {"*SHARES PETR 0 2024-04-08 0 #2 TOTAL \"\"", kSharesInvalidNumber, "Invalid field <>"},
      {"*SHARES PETR 0 2024-04-08 0 #2 1 2 #4", kSharesIncompleteGroup, ""},
      {"*SHARES PETR 0 2024-04-08 0 #2 1", kSharesIncompleteGroup, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Import("*SHARES PETR 0 2024-04-01 0 #2 1 2\n" + c.line + "\n"), c.code) << c.line;
    if (!c.message.empty()) {
      EXPECT_THAT(LogLines(), Contains("line:2 " + c.message)) << c.line;
    }
  }
  EXPECT_THAT(Export(1, false), IsEmpty());
}

TEST_F(ShareBaseImport, ANegativeCountIsKeptInConflict) {
  ASSERT_EQ(Import("*SHARES PETR 0 2024-04-08 0 #2 -5 10 #2 TOTAL 100\n"), 0);
  TListaBaseAcionaria list(1, 0);
  ASSERT_EQ(list.Load(), 0);
  list.DeriveAll();
  const TBacSlots& slots = list.Bases().at(0)->Node(2, false)->Slots();
  EXPECT_TRUE(slots[kTreasury].conflict);
  EXPECT_EQ(slots[kTreasury].number, -5);
  // 100 - 10 is offered to the given treasury, which keeps its number.
  EXPECT_FALSE(slots[kIssued].conflict);
}

TEST_F(ShareBaseImport, AnExportImportedAgainExportsTheSame) {
  ASSERT_EQ(Import("*SHARES PETR 0 2024-04-08 0 #4 total 1000.5 #2 100 900\n"
                   "*SHARES PETR 0 2024-05-08 0 #4 10 123456789012.25\n"),
            0);
  ASSERT_EQ(ExportaTodosBac(false), 0);
  const std::vector<std::string> exported = test::ReadLines("1.0.bac");
  EXPECT_FALSE(std::filesystem::exists("2.0.bac"));
  ASSERT_FALSE(exported.empty());

  // Each line of the export becomes a group of a line of its date for the other company.
  std::string file;
  for (const std::string& line : exported) {
    std::vector<std::string> t;
    for (size_t at = 0; at != std::string::npos;) {
      const size_t next = line.find(' ', at);
      t.push_back(line.substr(at, next == std::string::npos ? next : next - at));
      at = next == std::string::npos ? next : next + 1;
    }
    ASSERT_EQ(t.size(), 5u) << line;
    const auto number = [](const std::string& token) { return token == "\"-\"" ? std::string("-") : token; };
    file += "*SHARESUPDATE VALE 0 " + t[0] + " 0 #" + t[1] + " TOTAL " + number(t[2]) + " #" + t[1] + " " +
            number(t[3]) + " " + number(t[4]) + "\n";
  }
  Sql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (13, 2, 4, 1, 0)");
  ASSERT_EQ(Import(file), 0);
  std::vector<std::string> again = Export(2, false);
  EXPECT_EQ(again, Export(1, false));
  std::filesystem::remove("1.0.bac");
  std::filesystem::remove("2.0.bac");
}

TEST_F(ShareBaseImport, TheCountryReportHasALineForEachFailingList) {
  ASSERT_EQ(Import("*SHARES PETR 0 2024-04-08 0 #1 TOTAL 1000 #2 TOTAL 400\n"
                   "*SHARES VALE 0 2024-04-08 0 #2 TOTAL 400\n"),
            0);
  int count = 0;
  ASSERT_EQ(RelatorioBacDoPais(0, dir_.Path(), count), 0);
  EXPECT_EQ(count, 1);
  const std::string country = ShownText(Listas().EnumPais.TextoDoId(0, true));
  const std::vector<std::string> lines = test::ReadLines(dir_.File(BacReportFileName(country)));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Petro - " + country);
  EXPECT_THAT(lines[1], testing::EndsWith(" Issued Pai:1000 Filhos:-"));
  EXPECT_EQ(BacReportFileName("a/../b\\c"), "ZorInput-report-bac-a___b_c.txt");
  EXPECT_EQ(RelatorioBacDoPais(0, dir_.File("no/such/folder"), count), kShareBaseFileNotWritten);
}

}  // namespace
}  // namespace zi

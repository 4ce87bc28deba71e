// The export of a country's compositions, and a round trip: the exported numbers imported again
// into a fresh database export as the same files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "holdings/composition_export.h"
#include "holdings_database.h"

namespace zi {
namespace {

using testing::ElementsAre;

class CompositionExportTest : public test::HoldingsDatabase {
 protected:
  void SetUp() override {
    HoldingsDatabase::SetUp();
    AddCompanies();
  }
  void AddCompanies() {
    Sql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petr\xF3leo'), (2, 'VALE', 0, 'Vale'), "
        "(3, 'A/../B', 0, 'Odd'), (4, 'IBM', 1, 'IBM')");
  }
  // The files of a folder by name.
  static std::map<std::string, std::string> Files(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      files[entry.path().filename().string()] = test::ReadFile(entry.path().string());
    return files;
  }
  static std::vector<std::string> Names(const std::map<std::string, std::string>& files) {
    std::vector<std::string> names;
    for (const auto& [name, content] : files) names.push_back(name);
    return names;
  }
  // An export file as import lines: its shareholders, then its composition.
  static std::string AsImport(const std::string& name, const std::string& content) {
    static const std::regex fileName(R"(CompAcionaria-.*-(\d{4}\.\d\d\.\d\d)\.txt)");
    static const std::regex company(R"re(".*" (\d+) \S* "(.*)"\r)re");
    static const std::regex item(R"re("(.*)" (\d+) "(.*)" 0 (\S+) (\S+) (\S+)\r)re");
    std::smatch m;
    EXPECT_TRUE(std::regex_match(name, m, fileName)) << name;
    const std::string date = m[1].str();
    std::istringstream lines(content);
    std::string line;
    std::getline(lines, line);
    EXPECT_TRUE(std::regex_match(line, m, company)) << line;
    std::string holders;
    std::string block = "*SHAREHOLDERS \"" + m[2].str() + "\" " + m[1].str() + " " + date + "\n";
    while (std::getline(lines, line)) {
      EXPECT_TRUE(std::regex_match(line, m, item)) << line;
      holders += "*SHAREHOLDER \"" + m[1].str() + "\" " + m[2].str() + " \"" + m[3].str() + "\"\n";
      block += "\"" + m[3].str() + "\" " + m[2].str() + " " + m[4].str() + " " + m[5].str() + " " + m[6].str() + "\n";
    }
    return holders + block + "END\n";
  }
};

TEST_F(CompositionExportTest, WritesOneFilePerCompositionOfTheCountryAndImportsBackToTheSameFiles) {
  ASSERT_EQ(Import("*SHAREHOLDER \"Fundo Alfa\" 0 12.345.678/0001-90\n"
                   "*SHAREHOLDER \"Jo\xE3o d'\xC1vila\" 9 us-77 N N\n"
                   "*SHAREHOLDER \"Beta\" 1 B-1\n"
                   "*SHAREHOLDERS PETR 0 2023-12-31\n"
                   "12.345.678/0001-90 0 1234567.125 0.000001\n"
                   "NotToCleanDoc:us-77 9 123456789012 - 5\n"
                   "B-1 1 0.1 0.2\n"
                   "END\n"
                   "*SHAREHOLDERS PETR 0 2024-03-31\n"
                   "B-1 1 1 2 3\n"
                   "END\n"
                   "*SHAREHOLDERS A/../B 0 2024-03-31\n"
                   "B-1 1 1 2 3\n"
                   "END\n"
                   "*SHAREHOLDERS IBM 1 2024-03-31\n"
                   "B-1 1 1 2 3\n"
                   "END\n"),
            0)
      << Log();
  const std::string first = dir_.File("first");
  std::filesystem::create_directory(first);
  ASSERT_EQ(ExportaCompAcionaria(0, first), 0);
  const std::map<std::string, std::string> exported = Files(first);
  EXPECT_THAT(Names(exported), ElementsAre("CompAcionaria-A____B-0-2024.03.31.txt",
                                           "CompAcionaria-PETR-0-2023.12.31.txt",
                                           "CompAcionaria-PETR-0-2024.03.31.txt"));
  EXPECT_EQ(exported.at("CompAcionaria-PETR-0-2023.12.31.txt"),
            "\"Petr\xF3leo\" 0 BR \"PETR\"\r\n"
            "\"Fundo Alfa\" 0 \"12.345.678/0001-90\" 0 1234567.125 0.000001 0\r\n"
            "\"Jo\xE3o d'\xC1vila\" 9 \"us-77\" 0 1.2345678901E11 0 5\r\n"
            "\"Beta\" 1 \"B-1\" 0 0.1 0.2 0\r\n");

  db::DestroyZiDb();
  std::filesystem::remove(dir_.File("zi.db"));
  LogIn("ana", "pw");
  AddCompanies();
  ForgetIndexes();
  std::string text;
  for (const auto& [name, content] : exported) text += AsImport(name, content);
  ASSERT_EQ(Import(text), 0) << text << Log();
  const std::string second = dir_.File("second");
  std::filesystem::create_directory(second);
  ASSERT_EQ(ExportaCompAcionaria(0, second), 0);
  EXPECT_EQ(Files(second), exported);
}

}  // namespace
}  // namespace zi

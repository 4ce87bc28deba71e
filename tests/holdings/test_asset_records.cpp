// The JSON records of portfolio assets leave their notes and errors in the file they came from.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "holdings_database.h"
#include "import/json_import.h"

namespace zi {
namespace {

class AssetRecordsTest : public test::HoldingsDatabase {
 protected:
  // The file as written back, with the run's time stamp taken out.
  std::string ImportJson(const std::string& text) {
    const std::string file = dir_.File("in.json");
    test::WriteFile(file, text);
    std::unique_ptr<TImpJSON> run;
    EXPECT_EQ(TryJsonImport(file, false, _ParamCmdTxt{}, run), 0);
    while (run->NotFinished()) run->Step();
    run->AfterRun();
    run.reset();
    static const std::regex stamp(R"("timestamp": ?"[^"]*",? ?)");
    return std::regex_replace(test::ReadFile(file), stamp, "");
  }
};

TEST_F(AssetRecordsTest, NotesGoToTheLogEntriesAndCodedNotesToTheErrorEntries) {
  const std::string written =
      ImportJson(R"([{"action": "insertorupdate", "type": "ptfassettvm", "doc": "A-1", "nome": "Ativo"},
                 {"action": "insertorupdate", "type": "ptfassettvm", "doc": "A1", "nome": 5},
                 {"action": "insertorupdate", "type": "ptfassettvmadddoc", "doc": "A1"},
                 {"action": "insertorupdate", "type": "ptfassettvmadddoc", "doc": "NOSUCH", "newdoc": "x"}])");
  for (const char* entries : {"\"nome\":5,\"log\":[{\"message\":\"Importa\xC3\xA7""\xC3\xA3""o iniciada vers\xC3\xA3""o zorinput: 20240410-1131\"},{\"message\":\"PtfAssetTvm limit erro:0 Mod:0 Add:1 LimMod:- LimAdd:- LimTotal:- no-limits-specified\"},{\"message\":\"Error: 4323, Property: \\\"nome\\\" invalid\"},{\"message\":\"Importa\xC3\xA7""\xC3\xA3""o Encerrada\"}],\"error\":[{\"errorcode\":4323,\"message\":\"Falha durante importacao do ptfAssetTvm\"}]}",
                              "\"error\":[{\"errorcode\":30209,\"message\":\"caller:ImportaJsonObject Index:2 N\xC3\xA3""o foi encontrado o novo doc a ser inserido. \"}]",
                              "\"error\":[{\"errorcode\":4178,\"message\":\"ptfAssetTvm n\xC3\xA3""o cadastrado\"},{\"errorcode\":4178,\"message\":\"caller:ImportaJsonObject Index:3 A chave do imovel n\xC3\xA3""o existe. \"}]"}) {
    EXPECT_THAT(written, testing::HasSubstr(entries));
  }
  EXPECT_EQ(written.find("\"error\"", written.find("\"A-1\"")), written.find("\"error\"", written.find("\"nome\":5"))) << "the first record has no errors";
}

}  // namespace
}  // namespace zi

// A JSON import file through the program: refused before its first record when its log could not
// be written back into it, and a write-back that fails reported as the run's end and state.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "server/server.h"
#include "support/test_files.h"
#include "toolbox/process.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

class JsonImportFileTest : public testing::Test {
 protected:
  void SetUp() override {
    auto server = server::Server::Open(dir_.File("zi.db"), server::ProductRegistry());
    ASSERT_EQ(server->Login("ana", "pw").code, 0);
  }

  int Zorinput(const std::string& file) {
    ProcessOptions options{.workingDirectory = dir_.Path(), .wait = true};
    return RodaProcesso(QuoteParameter(ZI_ZORINPUT_PATH) + " -import=" + QuoteParameter(file) +
                            " -summary=s.json -user=ana -password=pw -database=zi.db",
                        options)
        .exitCode;
  }
  std::string Log() const { return test::ReadFile(dir_.File("zorinput.log")); }
  nlohmann::json Summary() const { return nlohmann::json::parse(test::ReadFile(dir_.File("s.json"))); }

  test::TempDir dir_;
  test::EnvGuard password_{"ZORINPUT_PASSWORD", nullptr};
};

TEST_F(JsonImportFileTest, AHardLinkedFileIsRefusedBeforeItsFirstRecordAndNothingIsImported) {
  const std::string text = R"([{"cmdtxt": "*NOSUCH 1"}])";
  test::WriteFile(dir_.File("in.json"), text);
  fs::create_hard_link(dir_.File("in.json"), dir_.File("twin.json"));
  EXPECT_EQ(Zorinput("in.json"), 2) << "nothing was written";
  EXPECT_THAT(Log(), HasSubstr("Error:99305 The JSON file \"in.json\" has 2 hard links: writing the import's log back "
                               "into it would split them; nothing was imported: import a copy of it"));
  EXPECT_THAT(Log(), HasSubstr("- end import erro:99305 ImpJSON.DiagSt Caller:impcli ErroCritico:99305, "
                               "ErroNaoCritico:0"));
  EXPECT_THAT(Log(), testing::Not(HasSubstr("NOSUCH"))) << "no record was run, nor the file as text";
  EXPECT_EQ(Summary()["nothingWritten"], true);
  EXPECT_EQ(Summary()["resultCode"], 99305);
  EXPECT_EQ(test::ReadFile(dir_.File("in.json")), text);
  EXPECT_EQ(fs::hard_link_count(dir_.File("in.json")), 2u);
}

TEST_F(JsonImportFileTest, AWriteBackThatFailsIsTheRunsErrorInItsEndLineAndState) {
  const std::string folder = dir_.File("small");
  fs::create_directories(folder);
  if (::geteuid() != 0 || ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "a full disk takes a file system of its own (root)";
  }
  // Each record's log makes the rewrite far larger than the file, which fills most of the disk.
  std::string text = "[";
  for (int i = 0; i < 400; ++i) text += std::string(i ? "," : "") + R"({"cmdtxt":"# )" + std::string(80, 'x') + "\"}";
  text += "]";
  test::WriteFile(folder + "/in.json", text);
  const int status = Zorinput(folder + "/in.json");
  const std::string written = test::ReadFile(folder + "/in.json");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  ::umount2(folder.c_str(), MNT_DETACH);

  EXPECT_EQ(status, 1);
  EXPECT_THAT(Log(), HasSubstr("No space left on device"));
  EXPECT_THAT(Log(), HasSubstr("- end import erro:99304 ImpJSON.DiagSt Caller:impcli ErroCritico:99304, "
                               "ErroNaoCritico:0"));
  EXPECT_EQ(Summary()["resultCode"], 99304);
  EXPECT_EQ(Summary()["state"], "ImpJSON.DiagSt Caller:impcli ErroCritico:99304, ErroNaoCritico:0");
  EXPECT_EQ(written, text) << "the file is as it was";
  EXPECT_THAT(names, testing::ElementsAre("in.json")) << "no temporary is left";
}

}  // namespace
}  // namespace zi

#include "session/settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_files.h"
#include "toolbox/log.h"

namespace zi {
namespace {

using testing::Contains;

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override { SetLogFileName(dir_.File("zorinput.log")); }
  void TearDown() override { SetLogFileName("zorinput.log"); }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }
  std::string File() const { return dir_.File("config/Zorvana/ZorInput.ini"); }

  test::TempDir dir_;
  test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
};

TEST_F(SettingsTest, ValuesAreKeptInTheUsersConfigurationFile) {
  EXPECT_EQ(SettingsFilePath(), File());
  EXPECT_EQ(LeReg("LastUser"), "") << "missing reads empty";
  GravaReg("LastUser", "ana");
  GravaReg("DivisorBal", "1000");
  GravaReg("Note", "line one\nline \\two\r");
  EXPECT_EQ(LeReg("LastUser"), "ana");
  EXPECT_EQ(LeReg("lastuser"), "ana") << "names ignore case";
  EXPECT_EQ(LeReg("Note"), "line one\nline \\two\r");
  EXPECT_EQ(test::ReadFile(File()), "[ZorInput]\nDivisorBal=1000\nLastUser=ana\nNote=line one\\nline \\\\two\\r\n");

  GravaReg("LastUser", "");
  EXPECT_EQ(LeReg("LastUser"), "") << "an empty value deletes the setting";
  EXPECT_EQ(LeReg("DivisorBal"), "1000");
  EXPECT_FALSE(std::filesystem::exists(File() + ".tmp"));
  EXPECT_EQ(std::filesystem::status(File()).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(SettingsTest, TextIsWindows1252InsideAndUtf8InTheFile) {
  GravaReg("LastUser", "Jo\xE3o");
  EXPECT_EQ(LeReg("LastUser"), "Jo\xE3o");
  EXPECT_THAT(test::ReadFile(File()), testing::HasSubstr("LastUser=João\n"));
}

TEST_F(SettingsTest, CorruptFileIsReportedAndNeverOverwritten) {
  std::filesystem::create_directories(dir_.File("config/Zorvana"));
  std::string corrupt = "[ZorInput]\nLastUser=\xff\xfe broken\n";
  test::WriteFile(File(), corrupt);
  EXPECT_EQ(LeReg("LastUser"), "");
  GravaReg("LastUser", "ana");
  EXPECT_EQ(test::ReadFile(File()), corrupt);
  auto texts = LogTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Error Exception [Cnf.LeReg LastUser] " + File() + " is not a valid settings file (not UTF-8 text)");
  EXPECT_EQ(texts[1],
            "Error Exception  [Cnf.GravaReg LastUser=ana] " + File() + " is not a valid settings file (not UTF-8 text)");
}

TEST_F(SettingsTest, UnwritableDirectoryIsLoggedNotRaised) {
  test::WriteFile(dir_.File("config"), "a file where the directory should be");
  GravaReg("LastUser", "ana");
  EXPECT_EQ(LeReg("LastUser"), "");
  ASSERT_FALSE(LogTexts().empty());
  EXPECT_THAT(LogTexts()[0], testing::StartsWith("Error Exception  [Cnf.GravaReg LastUser=ana] "));
}

TEST_F(SettingsTest, NamesThatWouldBreakTheFileAreRefused) {
  for (const char* name : {"", "a=b", "[x]", "two\nlines", " padded"}) GravaReg(name, "v");
  EXPECT_FALSE(std::filesystem::exists(File()));
  EXPECT_EQ(LogTexts().size(), 5u);
}

}  // namespace
}  // namespace zi

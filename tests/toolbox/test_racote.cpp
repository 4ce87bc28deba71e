#include "toolbox/racote.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/platform.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

// The "program" records where it ran from and its arguments, so that a test sees the copy start.
constexpr std::string_view kScript =
    "#!/bin/sh\n"
    "dir=$(dirname \"$0\")\n"
    "printf '%s\\n' \"$0\" \"$@\" > \"$dir/marker.tmp\" && mv \"$dir/marker.tmp\" \"$dir/marker\"\n";

class RacoteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zi-racote-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    oldLogFile_ = LogFileName();
    // Beside the program, as in real use: its name matches the listing and must be left alone.
    SetLogFileName((dir_ / "zorinput.log").string());
    Loga("racote test " + dir_.string());
  }
  void TearDown() override {
    SetParameters({});
    SetLogFileName(oldLogFile_);
    fs::remove_all(dir_);
  }
  void Restart() {
    TearDown();
    SetUp();
  }

  // The program with an old modification time, so that a copy that keeps it can be told.
  void UseProgram(const std::string& name, bool exists = true, std::vector<std::string> switches = {"/rimport=a b.zi"},
                  fs::perms perms = fs::perms(0755)) {
    switches.insert(switches.begin(), (dir_ / name).string());
    SetParameters(switches);
    if (exists) Write(name, kScript, perms);
  }
  void Write(const std::string& name, std::string_view content, fs::perms perms = fs::perms(0755)) const {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    fs::permissions(dir_ / name, perms);
    fs::last_write_time(dir_ / name, programTime_);
  }
  std::string Read(const std::string& name) const {
    std::stringstream text;
    text << std::ifstream(dir_ / name, std::ios::binary).rdbuf();
    return text.str();
  }
  ino_t Inode(const std::string& name) const {
    struct stat st {};
    return stat((dir_ / name).c_str(), &st) == 0 ? st.st_ino : 0;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    return names;
  }

  // Runs RACOTE; the lines it logged, without their stamps, with the folder written as "{dir}".
  std::vector<std::string> Run(RacoteResult& result, std::string_view version = "1131") {
    const std::string marker = "racote run";
    Loga(marker);
    result = RACOTE(version);
    std::vector<std::string> texts;
    for (const std::string& line : RecentLogLines()) {
      std::string text = line.substr(LogStamp().size() + 1);
      if (size_t at = text.find(dir_.string()); at != std::string::npos)
        text.replace(at, dir_.string().size(), "{dir}");
      if (text == marker) texts.clear();
      else texts.push_back(text);
    }
    return texts;
  }

  // The arguments the started copy received, its own path first.
  std::vector<std::string> WaitForMarker() const {
    for (int i = 0; i < 1000 && !fs::exists(dir_ / "marker"); ++i) platform::SleepMs(10);
    std::vector<std::string> lines;
    std::ifstream in(dir_ / "marker");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  fs::path dir_;
  std::string oldLogFile_;
  const fs::file_time_type programTime_ = fs::file_time_type::clock::now() - std::chrono::hours(24 * 1000);
};

const std::string kCopy = "zorinput-VERSION-1131";

TEST_F(RacoteTest, StopsAndLeavesTheFolderAlone) {
  struct Case {
    std::string program;
    bool exists;
    std::vector<std::string> switches;
    std::string version;
    int code;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {kCopy, true, {}, "1131", 4485, {}},
      {"zorinput-VERSION-beta", true, {}, "BETA", 4485, {}},
      {"ZorInput-VERSION-1130", true, {}, "1131", 4486,
       {"RACOTE warning:4486 running ZorInput-VERSION-1130, expected 1131, continuing"}},
      {"zorinput", true, {"/NoRacote"}, "1131", 4493, {"RACOTE /noracote warning:4493"}},
      {"zorinput", false, {}, "1131", 4487, {"RACOTE Warning:4487 didn't find current exe {dir}/zorinput, continuing"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program + " " + c.version);
    Restart();
    UseProgram(c.program, c.exists, c.switches);
    const std::vector<std::string> before = Names();
    RacoteResult result;
    EXPECT_THAT(Run(result, c.version), ElementsAreArray(c.lines));
    EXPECT_FALSE(result.copyStarted);
    EXPECT_EQ(result.code, c.code);
    EXPECT_THAT(Names(), UnorderedElementsAreArray(before));
  }
}

TEST_F(RacoteTest, CopyIsMadeWhenNeededAndStarted) {
  const std::string script(kScript);
  const std::string sameSize = std::string(script.size() - 1, '#') + "\n";
  const std::string making = "RACOTE making copy {dir}/" + kCopy;
  struct Case {
    std::optional<std::string> copy;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {script, {}},
      {std::nullopt, {making}},
      {sameSize, {making + "; WARNING: over a different existing copy of " + std::to_string(sameSize.size()) +
                  " bytes CompFiles:4492"}},
      {"old", {making + "; WARNING: over a different existing copy of 3 bytes; original exe " +
               std::to_string(script.size()) + " bytes"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.copy.value_or("no copy"));
    Restart();
    UseProgram("zorinput");
    if (c.copy) Write(kCopy, *c.copy, fs::perms(0700));
    const ino_t inodeBefore = Inode(kCopy);
    for (const char* other : {"zorinput-VERSION-1130", "zorinput-notes.txt", "other-VERSION-1"}) Write(other, "x");

    RacoteResult result;
    std::vector<std::string> expected = c.lines;
    expected.insert(expected.begin(), "RACOTE deleting zorinput-VERSION-1130 Ok:Y");
    EXPECT_THAT(Run(result), ElementsAreArray(expected));

    EXPECT_TRUE(result.copyStarted);
    EXPECT_THAT(WaitForMarker(), ElementsAre((dir_ / kCopy).string(), "/rimport=a b.zi"));
    EXPECT_EQ(Read(kCopy), script);
    EXPECT_EQ(fs::last_write_time(dir_ / kCopy), programTime_);
    EXPECT_EQ(fs::status(dir_ / kCopy).permissions(), c.copy == script ? fs::perms(0700) : fs::perms(0755));
    EXPECT_EQ(Inode(kCopy) == inodeBefore, c.copy == script);  // rewritten only when it differed
    EXPECT_THAT(Names(), UnorderedElementsAre("zorinput", kCopy, "zorinput.log", "zorinput-notes.txt",
                                               "other-VERSION-1", "marker"));
  }
}

// The caller sees how the copy's run ended: RACOTE returns once the copy has ended, with its status.
TEST_F(RacoteTest, CopysStatusIsHandedBack) {
  const struct {
    std::string end;
    int status;
  } cases[] = {{"exit 3\n", 3}, {"", 0}, {"kill -KILL $$\n", 128 + SIGKILL}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.end);
    Restart();
    UseProgram("zorinput", false);
    Write("zorinput", std::string(kScript) + c.end);
    RacoteResult result;
    Run(result);
    ASSERT_TRUE(result.copyStarted);
    EXPECT_TRUE(fs::exists(dir_ / "marker"));
    EXPECT_EQ(result.copyStatus, c.status);
  }
}

TEST_F(RacoteTest, CopyOrStartFailureLeavesTheProgramRunning) {
  struct Case {
    bool folderInTheWay;  // renaming the finished copy over it fails with EISDIR
    fs::perms perms;      // the copy keeps them: without execute bits it cannot start
    int code;
    std::string line;
  };
  const Case cases[] = {
      {true, fs::perms(0755), 21, "RACOTE warning copy error:21, continuing"},
      {false, fs::perms(0644), 5, "RACOTE warning error:5 executing copy, continuing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Restart();
    UseProgram("zorinput", true, {}, c.perms);
    if (c.folderInTheWay) fs::create_directory(dir_ / kCopy);
    RacoteResult result;
    EXPECT_THAT(Run(result), ElementsAre("RACOTE making copy {dir}/" + kCopy, c.line));
    EXPECT_FALSE(result.copyStarted);
    EXPECT_EQ(result.code, c.code);
    EXPECT_THAT(Names(), UnorderedElementsAre("zorinput", kCopy, "zorinput.log"));
  }
}

TEST_F(RacoteTest, PathsStayTheSystemsBytesAndShowAsTextInTheLog) {
  for (const std::string folder : {"dossi\xC3\xAA", "d\xE9j\xE0"}) {
    SCOPED_TRACE(folder);
    Restart();
    fs::create_directory(dir_ / folder);
    UseProgram(folder + "/zorinput");
    RacoteResult result;
    EXPECT_THAT(Run(result), ElementsAre("RACOTE making copy {dir}/" + PathText(folder) + "/" + kCopy));
    ASSERT_TRUE(result.copyStarted);
    const fs::path marker = dir_ / folder / "marker";
    for (int i = 0; i < 1000 && !fs::exists(marker); ++i) platform::SleepMs(10);
    std::ifstream in(marker);
    std::string startedAs;
    std::getline(in, startedAs);
    EXPECT_EQ(startedAs, (dir_ / folder / kCopy).string());
  }
}

}  // namespace
}  // namespace zi

#include "toolbox/shell_registration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "toolbox/log.h"

namespace zi {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

class RegExtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zi-regext-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    oldLogFile_ = LogFileName();
    SetLogFileName((dir_ / "zorinput.log").string());
    // PATH holds only our folder: the real update-mime-database never runs here.
    for (auto [name, sub] : {std::pair{"XDG_DATA_HOME", "data"}, {"HOME", "home"}, {"XDG_DATA_DIRS", "system"},
                             {"PATH", "bin"}})
      SetEnv(name, (dir_ / sub).string());
  }
  void TearDown() override {
    for (const auto& [name, value] : savedEnv_) Set(name, value);
    savedEnv_.clear();
    SetLogFileName(oldLogFile_);
    fs::remove_all(dir_);
  }
  void Restart() {
    TearDown();
    SetUp();
  }

  void SetEnv(const std::string& name, const std::optional<std::string>& value) {
    if (!savedEnv_.count(name)) {
      const char* old = std::getenv(name.c_str());
      savedEnv_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    Set(name, value);
  }
  static void Set(const std::string& name, const std::optional<std::string>& value) {
    if (value) setenv(name.c_str(), value->c_str(), 1);
    else unsetenv(name.c_str());
  }

  void Write(const std::string& name, std::string_view content) const {
    fs::create_directories((dir_ / name).parent_path());
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::stringstream text;
    text << std::ifstream(dir_ / name, std::ios::binary).rdbuf();
    return text.str();
  }
  std::vector<std::string> FilesUnder(const std::string& folder) const {
    std::vector<std::string> files;
    if (fs::exists(dir_ / folder))
      for (const auto& entry : fs::recursive_directory_iterator(dir_ / folder))
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), dir_).string());
    return files;
  }

  // Runs RegExt; the lines it logged, without their stamps, with the test folder written as "{dir}".
  std::vector<std::string> Register(std::string_view extension, std::string_view description,
                                    std::string_view contentType, bool keepExisting, std::string_view verb = "open",
                                    std::string_view prefix = "/rimport=",
                                    std::string_view program = "/usr/bin/zorinput") {
    const std::string marker = "regext run";
    Loga(marker);
    EXPECT_NO_THROW(RegExt(extension, description, contentType, keepExisting, verb, prefix, program));
    std::vector<std::string> texts;
    for (const std::string& line : RecentLogLines()) {
      std::string text = line.substr(LogStamp().size() + 1);
      for (size_t at; (at = text.find(dir_.string())) != std::string::npos;)
        text.replace(at, dir_.string().size(), "{dir}");
      if (text == marker) texts.clear();
      else texts.push_back(text);
    }
    return texts;
  }

  fs::path dir_;
  std::string oldLogFile_;
  std::map<std::string, std::optional<std::string>> savedEnv_;
};

TEST_F(RegExtTest, WritesMimePackageAndDesktopEntry) {
  EXPECT_THAT(Register(" .ZI ", " ZorInput import file ", "application/x-zorinput-import", false, "open",
                       "/rimport=", "/opt/zor input/$bin"),
              IsEmpty());
  EXPECT_THAT(FilesUnder("data"), UnorderedElementsAre("data/mime/packages/zorinput_import_file.xml",
                                                       "data/applications/zorinput_import_file-open.desktop"));
  EXPECT_EQ(Read("data/mime/packages/zorinput_import_file.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"application/x-zorinput-import\">\n"
            "    <comment>ZorInput import file</comment>\n"
            "    <glob pattern=\"*.zi\"/>\n"
            "  </mime-type>\n"
            "</mime-info>\n");
  EXPECT_EQ(Read("data/applications/zorinput_import_file-open.desktop"),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=open\n"
            "Comment=ZorInput import file\n"
            "Exec=\"/opt/zor input/\\\\$bin\" /rimport=%f\n"
            "MimeType=application/x-zorinput-import;\n"
            "NoDisplay=true\n");
}

TEST_F(RegExtTest, ClassAndTypeNamesComeFromTheDescription) {
  struct Case {
    std::string description, files, mimeType;
  };
  const Case cases[] = {
      {"txt file", "txt_file", "MimeType=application/x-zorinput-txt_file;"},
      {"  Data-Set v1.2 a/b:c ", "data_set_v1_2_a_b_c", "MimeType=application/x-zorinput-data_set_v1_2_a_b_c;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    Restart();
    EXPECT_THAT(Register("xyz", c.description, "", false, "Import with ZorInput", "/r%import="), IsEmpty());
    const std::string entry = "data/applications/" + c.files + "-import_with_zorinput.desktop";
    EXPECT_THAT(FilesUnder("data"), UnorderedElementsAre("data/mime/packages/" + c.files + ".xml", entry));
    EXPECT_THAT(Read(entry), ::testing::HasSubstr("\nExec=/usr/bin/zorinput /r%%import=%f\n" + c.mimeType + "\n"));
  }
}

TEST_F(RegExtTest, KeepExistingLeavesClaimedExtensionsAlone) {
  struct Case {
    std::string claimFile, claim;  // no file: nothing claims the extension
    bool keepExisting, written;
  };
  const Case cases[] = {
      {"", "", true, true},
      {"data/mime/packages/other.xml", "<glob pattern=\"*.prn\"/>", true, false},
      {"data/mime/globs2", "50:text/x-prn:*.prn\n", true, false},
      {"system/mime/globs2", "# comment\n50:text/x-prn:*.prn:cs\n", true, false},
      {"system/mime/globs2", "50:text/plain:*.prnx\n", true, true},
      {"system/mime/globs2", "50:text/x-prn:*.prn\n", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.claimFile + " " + c.claim);
    Restart();
    if (!c.claimFile.empty()) Write(c.claimFile, c.claim);
    EXPECT_THAT(Register("prn", "prn file", "", c.keepExisting), IsEmpty());
    EXPECT_EQ(fs::exists(dir_ / "data/mime/packages/prn_file.xml"), c.written);
    EXPECT_EQ(fs::exists(dir_ / "data/applications/prn_file-open.desktop"), c.written);
  }
}

TEST_F(RegExtTest, MimeDatabaseIsUpdatedOnlyWhenThePackageChanged) {
  Write("bin/update-mime-database", "#!/bin/sh\necho \"$1\" >> '" + (dir_ / "updates").string() + "'\n");
  fs::permissions(dir_ / "bin/update-mime-database", fs::perms(0755));
  Register("zi", "ZorInput import file", "", false);
  Register("zi", "ZorInput import file", "", false);
  Register("zi", "ZorInput import file", "application/x-zorinput-import", false);
  const std::string mimeDir = (dir_ / "data/mime").string();
  EXPECT_EQ(Read("updates"), mimeDir + "\n" + mimeDir + "\n");
}

TEST_F(RegExtTest, FailuresAreLoggedInOneLine) {
  const std::string lm = "data/mime/packages/zorinput_import_file.xml";
  const std::string cu = "home/.local/share/mime/packages/zorinput_import_file.xml";
  struct Case {
    std::vector<std::string> foldersInTheWay;  // where the package file must go
    bool homeSet;
    std::string prefix, line;
  };
  const Case cases[] = {
      {{lm, cu},
       true,
       "/rimport=",
       "RegExt zi Ok:N ; LM excep:[cannot write {dir}/" + lm +
           ": Is a directory] passo:4; CU excep:[cannot write {dir}/" + cu + ": Is a directory] passo:4"},
      {{lm}, true, "/rimport=", "RegExt zi Ok:Y ; LM excep:[cannot write {dir}/" + lm + ": Is a directory] passo:4"},
      {{},
       true,
       "/r import=",
       "RegExt zi Ok:N ; LM excep:[parameter prefix would need quoting: /r import=] passo:3; CU excep:[parameter "
       "prefix would need quoting: /r import=] passo:3"},
      {{},
       false,
       "/rimport=",
       "RegExt zi Ok:N ; LM excep:[HOME is not set] passo:1; CU excep:[HOME is not set] passo:1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Restart();
    for (const std::string& folder : c.foldersInTheWay) fs::create_directories(dir_ / folder);
    if (!c.homeSet) {
      SetEnv("HOME", std::nullopt);
      SetEnv("XDG_DATA_HOME", std::nullopt);
    }
    EXPECT_THAT(Register("zi", "ZorInput import file", "", false, "open", c.prefix), ElementsAre(c.line));
    EXPECT_THAT(FilesUnder("data/applications"), IsEmpty());
  }
}

}  // namespace
}  // namespace zi

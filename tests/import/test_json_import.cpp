// The JSON import: records dispatched by "cmdtxt" or by action and type, their annotations and the
// file written back.
#include "import/json_import.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "import/directives.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

class JsonImportTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    SetParameters({"/opt/zorinput"});
  }
  void TearDown() override {
    SetParameters({"/opt/zorinput"});
    SetLogFileName("zorinput.log");
  }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  // Imports the text as a JSON file; the file as written back.
  std::string Import(const std::string& text, int& result, const std::string& name = "in.json") {
    const std::string file = dir_.File(name);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    test::WriteFile(file, text);
    std::unique_ptr<TImpJSON> run;
    EXPECT_EQ(TryJsonImport(file, true, _ParamCmdTxt{}, run), 0) << text;
    if (!run) return {};
    while (run->NotFinished()) run->Step();
    run->AfterRun();
    result = run->ResultCode();
    run.reset();
    return test::ReadFile(file);
  }

  test::TempDir dir_;
};

// The messages of an entry list, as written (program text).
std::vector<std::string> Messages(const std::string& written, int record, const char* list) {
  auto document = TAbstractJson::CreateFromString(written);
  bool found = false;
  TJsonObject* object = document->AsArray().GetObject(record, found);
  std::vector<std::string> messages;
  TJsonArray* entries = nullptr;
  if (!object || !object->TryGetArray(list, entries)) return messages;
  for (int i = 0; i < entries->Count(); ++i) {
    bool isObject = false;
    messages.push_back(entries->GetObject(i, isObject)->GetString("message", found));
  }
  return messages;
}

TEST_F(JsonImportTest, OnlyAnArrayIsAJsonImportFile) {
  std::unique_ptr<TImpJSON> run;
  EXPECT_EQ(TryJsonImport(dir_.File("missing.json"), true, _ParamCmdTxt{}, run), kJsonFileMissing);
  test::WriteFile(dir_.File("object.json"), R"({"cmdtxt":"*QT"})");
  EXPECT_EQ(TryJsonImport(dir_.File("object.json"), true, _ParamCmdTxt{}, run), kNotJsonArray);
  test::WriteFile(dir_.File("utf16.json"), std::string("\xFF\xFE[\0]\0", 6));
  EXPECT_EQ(TryJsonImport(dir_.File("utf16.json"), false, _ParamCmdTxt{}, run), kNotJsonArray);
  EXPECT_FALSE(run);
  EXPECT_THAT(LogTexts(), ElementsAre("Warn:25309 Arquivo \"" + dir_.File("missing.json") + "\" n\xC3\xA3o existe",
                                      "Warn:25308 Arquivo \"" + dir_.File("object.json") +
                                          "\" n\xC3\xA3o \xC3\xA9 um JSON Array, podera tentar como texto"));

  int result = -1;
  EXPECT_EQ(Import("[]", result), "[]");
  EXPECT_EQ(result, 0);
  EXPECT_THAT(LogTexts(), testing::IsSupersetOf(std::vector<std::string>{"begin", "Filename: " + dir_.File("in.json") + " OK", "end"}));
}

TEST_F(JsonImportTest, RecordsAreAnnotatedAndTheirProblemsCounted) {
  int result = -1;
  const std::string written = Import(
      R"([{"cmdtxt":"# nothing"}, {"action":"InsertOnly","type":"portfolio"}, {"action":"insertonly","type":"casa"},
          {"type":"portfolio"}, {"action":1}, 7, {"cmdtxt":5,"action":"updateonly","type":"imovel"}])",
      result);
  EXPECT_EQ(result, kJsonUnknownType) << "the last non-critical code";
  const std::vector<std::string> log = LogTexts();
  for (const char* line : {"Error:25305(NC) Index:1 Tipo:InsertOnly", "Error:25306(NC) Index:2 Tipo:casa",
                           "Error:25310(NC) Index:3 name:\"action\" exist:0", "Error:25311(NC) Index:4 name:\"action\" type:4",
                           "Error:25304(NC) Index:5, AttributeType:4 ", "Error:25306(NC) Index:6 Tipo:imovel"}) {
    EXPECT_THAT(log, testing::Contains(line));
  }
  EXPECT_THAT(Messages(written, 0, "log"),
              ElementsAre("Importa\xE7\xE3o iniciada vers\xE3o zorinput: 20240410-1131",
                          HasSubstr("ImpRoot impcmdtxt Erro:0"), "Importa\xE7\xE3o Encerrada"));
  EXPECT_THAT(Messages(written, 5, "log"), testing::IsEmpty()) << "an element that is no object is not annotated";

  // Importing again appends that import's entries to the arrays of the first.
  const std::string again = Import(written, result);
  EXPECT_EQ(Messages(again, 0, "log").size(), 6u);
}

TEST_F(JsonImportTest, RecordsWithErrorsWaitUntilErrorsAreAccepted) {
  const std::string text = R"([{"error":[{"message":"x"}],"cmdtxt":"# a"}, {"error":[],"cmdtxt":"# b"}])";
  int result = -1;
  const std::string written = Import(text, result);
  EXPECT_EQ(result, kJsonRecordWithErrors);
  EXPECT_THAT(Messages(written, 0, "error"), ElementsAre("x", "Existem tags ERRO preenchidas no JSon"));
  EXPECT_THAT(Messages(written, 1, "error"), testing::IsEmpty());

  Import(text, result, "sub/RETR/in.json");
  EXPECT_EQ(result, 0) << "a file in a folder named retr";
  SetParameters({"/opt/zorinput", "-AceitaImportarComErro"});
  Import(text, result);
  EXPECT_EQ(result, 0);
}

// *PAIS fails in the import pass only: a non-fatal error of the text run.
class FailingCountry {
 public:
  FailingCountry() {
    SetDirectiveHandler("*PAIS", [](TImpMain& run, const TDirective&) {
      return run.ToNoCheck() ? TDirectiveOutcome{} : TDirectiveOutcome{false, 4300};
    });
  }
  ~FailingCountry() { SetDirectiveHandler("*PAIS", nullptr); }
};

TEST_F(JsonImportTest, CommandTextPassesItsErrorsOnAsThePartSays) {
  FailingCountry country;
  int result = -1;
  std::string written = Import(R"([{"cmdtxt":"# one\n*NOSUCH 1"}, {"cmdtxt":"*PAIS 1"}])", result);
  EXPECT_EQ(result, 3942) << "the critical code of the first record stays";
  EXPECT_THAT(Messages(written, 0, "error"), ElementsAre("Erro durante cmdtxt item:0 line:2 \\\"*NOSUCH 1\\\""));
  EXPECT_THAT(Messages(written, 1, "log"), testing::Contains("4300 n\xE3o \xE9 considerado como erro"));
  EXPECT_THAT(Messages(written, 1, "error"), ElementsAre("Erro durante cmdtxt item:1 line:1 \\\"*PAIS 1\\\""));

  SetParameters({"/opt/zorinput", "/ErroNaoCriticoTratarComoErro"});
  Import(R"([{"cmdtxt":"*PAIS 1"}])", result);
  EXPECT_EQ(result, 4300);
}

TEST_F(JsonImportTest, RecordTypesGoToTheirFamilysHandler) {
  std::vector<std::string> calls;
  SetJsonRecordHandler("portfolio", [&](const std::string& caller, TImpJSON& run, TJsonObject& record, _ActionDB action) {
    calls.push_back(caller + " " + std::to_string(action) + " " + record.NameAt(0));
    run.CriticalError(50100, "Index:%d bad %s", run.ElementIndex(), std::string("header"));
  });
  int result = -1;
  Import(R"([{"action":"insertonly","type":"portfolio"},{"action":"insertorupdate","type":"portfolio"}])", result);
  SetJsonRecordHandler("portfolio", nullptr);
  EXPECT_THAT(calls, ElementsAre("ImportaJsonObject Index:0 2 action", "ImportaJsonObject Index:1 1 action"));
  EXPECT_EQ(result, 50100);
  EXPECT_THAT(LogTexts(), testing::Contains("Error:50100 Index:1 bad header"));
  EXPECT_THROW(SetJsonRecordHandler("casa", nullptr), std::logic_error);
}

TEST_F(JsonImportTest, AFileThatCannotBeWrittenBackIsAnErrorAndStaysAsItWas) {
  const std::string folder = dir_.File("gone");
  std::filesystem::create_directories(folder);
  test::WriteFile(folder + "/in.json", R"([{"cmdtxt":"# a"}])");
  std::unique_ptr<TImpJSON> run;
  ASSERT_EQ(TryJsonImport(folder + "/in.json", false, _ParamCmdTxt{}, run), 0);
  while (run->NotFinished()) run->Step();
  std::filesystem::remove_all(folder);
  run->AfterRun();
  EXPECT_EQ(run->ResultCode(), kJsonFileNotWrittenBack);
}

// Directive text carried in JSON is program text once the file's UTF-8 is read: Windows-1252 that
// happens to form UTF-8 keeps its characters.
TEST_F(JsonImportTest, CommandTextIsDecodedFromTheFilesUtf8Once) {
  std::vector<std::string> tickers;
  SetDirectiveHandler("*PAIS", [&](TImpMain& run, const TDirective&) {
    if (!run.ToNoCheck()) tickers.emplace_back(run.Tokens().Token(1));
    return TDirectiveOutcome{};
  });
  const struct {
    std::string utf8;  // as the file holds it
    std::string text;  // as the directive reads it
  } cases[] = {
      {"PETR4\xC3\x83\xC2\xA9", "PETR4\xC3\xA9"},
      {"caf\xC3\xA9", "caf\xE9"},
      {"\xC3\xA2\xE2\x82\xAC\xC5\x93x", "\xE2\x80\x9Cx"},
      {"\\u00c3\\u00a9", "\xC3\xA9"},
  };
  for (const auto& c : cases) {
    tickers.clear();
    int result = -1;
    Import("[{\"cmdtxt\":\"*PAIS " + c.utf8 + "\"}]", result);
    EXPECT_EQ(result, 0) << c.utf8;
    EXPECT_THAT(tickers, ElementsAre(c.text)) << c.utf8;
  }

  // Text that Windows-1252 cannot hold is refused as such, not read as a record without text.
  tickers.clear();
  int result = -1;
  const std::string written = Import("[{\"cmdtxt\":\"*PAIS \xE6\x97\xA5\"}, {\"cmdtxt\":\"*PAIS x\"}]", result);
  EXPECT_EQ(result, kImportLineNotText);
  SetDirectiveHandler("*PAIS", nullptr);
  EXPECT_THAT(tickers, ElementsAre("x")) << "the next record is imported";
  EXPECT_THAT(Messages(written, 0, "error"),
              ElementsAre("cmdtxt: character U+65E5 at byte offset 6 has no Windows-1252 form"));
  EXPECT_THAT(LogTexts(), testing::Contains("Error:99300 Index:0 cmdtxt: character U+65E5 at byte offset 6 "
                                            "has no Windows-1252 form"));
  EXPECT_THAT(LogTexts(), testing::Not(testing::Contains(HasSubstr("name:\"action\""))));
}

// Sets the immutable flag, which stops root too, for the guard's life; or, for another user, takes
// the write permission away.
class TNotWritable {
 public:
  explicit TNotWritable(std::string path) : path_(std::move(path)) { Set(true); }
  ~TNotWritable() { Set(false); }

 private:
  void Set(bool on) {
    if (::geteuid() != 0) {
      const auto write = std::filesystem::perms::owner_write;
      std::filesystem::permissions(path_, write, on ? std::filesystem::perm_options::remove
                                                    : std::filesystem::perm_options::add);
      return;
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    ASSERT_EQ(::ioctl(fd, FS_IOC_GETFLAGS, &flags), 0);
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ASSERT_EQ(::ioctl(fd, FS_IOC_SETFLAGS, &flags), 0);
    ::close(fd);
  }
  std::string path_;
};

// A file whose rewrite would fail or split it is refused before its first record: records imported
// without their log would be imported again by the next run.
TEST_F(JsonImportTest, AFileThatCouldNotTakeItsLogIsRefusedBeforeItsFirstRecord) {
  int records = 0;
  SetJsonRecordHandler("portfolio", [&](const std::string&, TImpJSON&, TJsonObject&, _ActionDB) { ++records; });
  const std::string text = R"([{"action":"insertonly","type":"portfolio"}])";
  const std::string folder = dir_.File("in");
  const std::string file = folder + "/in.json";
  std::filesystem::create_directories(folder);
  std::unique_ptr<TImpJSON> run;
  const std::string permission = ::geteuid() == 0 ? "Operation not permitted" : "Permission denied";

  test::WriteFile(file, text);
  std::filesystem::create_hard_link(file, dir_.File("twin.json"));
  EXPECT_EQ(TryJsonImport(file, true, _ParamCmdTxt{}, run), kJsonFileHardLinked);
  EXPECT_FALSE(run);
  EXPECT_EQ(LogTexts().back(), "Error:99305 The JSON file \"" + file +
                                   "\" has 2 hard links: writing the import's log back into it would split them; "
                                   "nothing was imported: import a copy of it");
  std::filesystem::remove(dir_.File("twin.json"));
  {
    TNotWritable locked(file);
    EXPECT_EQ(TryJsonImport(file, true, _ParamCmdTxt{}, run), kJsonFileNotRewritable);
    EXPECT_EQ(LogTexts().back(), "Error:99306 The JSON file \"" + file + "\" cannot be written back: " + permission +
                                     "; nothing was imported: make it writable, or import a copy of it in a folder "
                                     "you may write");
  }
  {
    TNotWritable locked(folder);
    EXPECT_EQ(TryJsonImport(file, false, _ParamCmdTxt{}, run), kJsonFileNotRewritable);
    EXPECT_EQ(LogTexts().back(), "Error:99306 The JSON file \"" + file + "\" cannot be written back: its folder " +
                                     folder + "/: " + permission +
                                     "; nothing was imported: make it writable, or import a copy of it in a folder "
                                     "you may write");
  }
  EXPECT_FALSE(run);
  EXPECT_EQ(records, 0);
  EXPECT_EQ(test::ReadFile(file), text);

  int result = -1;
  Import(text, result, "in/in.json");
  EXPECT_EQ(records, 1) << "the same file, writable and with one link, is imported";
  SetJsonRecordHandler("portfolio", nullptr);
}

TEST_F(JsonImportTest, TheRewriteKeepsTheFilesModeAndALinkStaysALinkToTheAnnotatedFile) {
  std::filesystem::create_directories(dir_.File("data"));
  const std::string target = dir_.File("data/real.json");
  test::WriteFile(target, "[]");
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  const std::pair<std::string, std::string> links[] = {{"relative.json", "data/real.json"}, {"absolute.json", target}};
  for (const auto& [name, pointsTo] : links) {
    std::filesystem::create_symlink(pointsTo, dir_.File(name));
    int result = -1;
    const std::string written = Import(R"([{"cmdtxt":"# a"}])", result, name);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::filesystem::read_symlink(dir_.File(name)).string(), pointsTo);
    EXPECT_THAT(Messages(test::ReadFile(target), 0, "log"), testing::Contains("Importa\xE7\xE3o Encerrada")) << name;
    EXPECT_EQ(std::filesystem::status(target).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
}

TEST_F(JsonImportTest, AFileReplacedDuringTheImportIsLeftAsItIs) {
  const std::string file = dir_.File("in.json");
  SetJsonRecordHandler("portfolio", [&](const std::string&, TImpJSON&, TJsonObject&, _ActionDB) {
    test::WriteFile(dir_.File("new.json"), "[7]");
    std::filesystem::rename(dir_.File("new.json"), file);
  });
  test::WriteFile(file, R"([{"action":"insertonly","type":"portfolio"}])");
  std::unique_ptr<TImpJSON> run;
  ASSERT_EQ(TryJsonImport(file, false, _ParamCmdTxt{}, run), 0);
  while (run->NotFinished()) run->Step();
  run->AfterRun();
  SetJsonRecordHandler("portfolio", nullptr);
  EXPECT_EQ(run->ResultCode(), kJsonFileNotWrittenBack);
  EXPECT_EQ(run->StateText("impcli"), "ImpJSON.DiagSt Caller:impcli ErroCritico:99304, ErroNaoCritico:0");
  EXPECT_EQ(test::ReadFile(file), "[7]");
  EXPECT_THAT(LogTexts(), testing::Contains("Error:99304 " + file +
                                            " was replaced or changed while it was imported: it is left as it is"));
}

TEST_F(JsonImportTest, AHugeCmdtxtLineIsQuotedCutInItsErrorEntryAndItsMessages) {
  const std::string line = "*NOSUCH " + std::string(5000, 'z') + "\u00e9";
  int result = 0;
  const std::string written = Import("[{\"cmdtxt\": \"" + line + "\"}]", result);
  EXPECT_EQ(result, kUnknownDirective);
  // Program text: the accented letter and the ellipsis are one byte each.
  const std::string quoted = "*NOSUCH " + std::string(992, 'z') + "\x85 (5009 bytes)";
  EXPECT_THAT(Messages(written, 0, "error"),
              ElementsAre("Erro durante cmdtxt item:0 line:1 \\\"" + quoted + "\\\""));
  for (const std::string& text : LogTexts()) EXPECT_LT(text.size(), 5000u) << text.substr(0, 80);
}

}  // namespace
}  // namespace zi

// The two-pass import run and its error accounting, with directive handlers plugged in by the tests.
#include "import/run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "import/command_line_run.h"
#include "import/directives.h"
#include "import/imp_form.h"
#include "session/bulletin.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

// A run whose messages are collected.
class TTestRun : public TImpMain {
 public:
  TTestRun(std::string_view text, bool checkAndImport = true)
      : TImpMain("f.txt", checkAndImport, false, text) {}
  TTestRun(std::string file, TImportEncoding encoding) : TImpMain(std::move(file), true, false, {}, encoding) {}
  void Output(std::string_view message, bool) override { messages.emplace_back(message); }
  void RunToEnd() {
    while (NotFinished()) Step();
  }
  std::vector<std::string> messages;

 protected:
  const char* ClassName() const override { return "tMyImpMain"; }
};

// Plugs a handler in for the length of a test.
class Plugged {
 public:
  Plugged(std::string_view keyword, TDirectiveHandler handler) : keyword_(keyword) {
    SetDirectiveHandler(keyword, std::move(handler));
  }
  ~Plugged() { SetDirectiveHandler(keyword_, nullptr); }

 private:
  std::string keyword_;
};

// *PAIS fails (code 4100) on a line whose first field is "bad", in the pass the test chooses, and
// records each line it writes.
struct TCountry {
  std::vector<std::string> written;
  bool failInCheck = true;
  Plugged plugged{"*PAIS", [this](TImpMain& run, const TDirective&) {
                    const std::string field(run.Tokens().Token(1));
                    if (field == "bad" && (run.ToNoCheck() == failInCheck)) return TDirectiveOutcome{false, 4100};
                    if (!run.ToNoCheck()) written.push_back(field);
                    return TDirectiveOutcome{};
                  }};
};

class RunTest : public testing::Test {
 protected:
  void SetUp() override { SetLogFileName(dir_.File("zorinput.log")); }
  void TearDown() override { SetLogFileName("zorinput.log"); }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
};

TEST_F(RunTest, CommentOnlyFileChecksThenImportsNothing) {
  TTestRun run("# a\n; b\n   // c\n\n   \n");
  run.RunToEnd();
  EXPECT_EQ(run.ResultCode(), 0);
  EXPECT_TRUE(run.Acabou());
  EXPECT_THAT(run.messages, ElementsAre("check ok, starting import"));
  EXPECT_EQ(run.lnn(), 5);

  TTestRun checkOnly("# a\n", false);
  checkOnly.RunToEnd();
  EXPECT_EQ(checkOnly.ResultCode(), 0);
  EXPECT_THAT(checkOnly.messages, IsEmpty());
  EXPECT_TRUE(checkOnly.ToNoCheck()) << "a check-only run ends after its check pass";
}

TEST_F(RunTest, BadLineInTheCheckPassStopsTheRunBeforeAnythingIsWritten) {
  TCountry country;
  TTestRun run("*PAIS 1\n# comment\n\n*PAIS bad\n*PAIS 2\n");
  run.RunToEnd();
  EXPECT_EQ(run.ResultCode(), 4100);
  EXPECT_THAT(country.written, IsEmpty());
  EXPECT_THAT(run.messages, ElementsAre("line:4 Error:4100 Invalid line: *PAIS bad"))
      << "the line number counts comments and blank lines";
  EXPECT_EQ(run.StateText("impcli"),
            "ImpRoot impcli Erro:4100 ErroNaoFatal:0 ErroNaoFatalCount:0 Acabou:N ToNoCheck:Y lnn:4 ErrMsgCount:1 "
            "FirstErrMsg:<Error:4100 Invalid line: *PAIS bad> LastErrMsg:<Error:4100 Invalid line: *PAIS bad> "
            "LastLine:<*PAIS bad>");
}

TEST_F(RunTest, FiftyFailedLinesAreCountedAndTheFiftyFirstStopsTheImport) {
  int calls = 0;
  Plugged plugged("*PAIS", [&](TImpMain& run, const TDirective&) {
    if (run.ToNoCheck()) return TDirectiveOutcome{};
    ++calls;
    return TDirectiveOutcome{false, 5000 + calls};
  });
  std::string text;
  for (int i = 0; i < 60; ++i) text += "*PAIS " + std::to_string(i) + "\n";
  TTestRun run(text);
  run.RunToEnd();
  EXPECT_EQ(calls, 51);
  EXPECT_EQ(run.ResultCode(), kTooManyFailedLines);
  EXPECT_EQ(run.ErroNaoFatal(), 5001);
  EXPECT_EQ(run.ErroNaoFatalCount(), 51);
  EXPECT_EQ(run.messages.back(), "line:51 Error:3948 Invalid line: *PAIS 50");

  calls = 0;
  TTestRun fifty(text.substr(0, text.find("*PAIS 50")));
  fifty.RunToEnd();
  EXPECT_EQ(fifty.ResultCode(), 5001) << "fifty failed lines: the first one's code, and the run went to its end";
  EXPECT_TRUE(fifty.Acabou());
}

TEST_F(RunTest, KeywordsOfTheEngineItself) {
  Plugged quote("*QT", [](TImpMain&, const TDirective&) { return TDirectiveOutcome{}; });
  Plugged flag("*BOLSA", [](TImpMain&, const TDirective&) { return TDirectiveOutcome{false, 0}; });
  Plugged raises("*CURRENCY", [](TImpMain&, const TDirective&) -> TDirectiveOutcome {
    throw std::runtime_error("broken");
  });
  struct Case {
    std::string text;
    int code;
    std::vector<std::string> messages;
  } cases[] = {
      {"*qt PETR4 1\n", 0, {"check ok, starting import"}},
      {"\t\t\n*OCOLOCA any thing\n", 0, {"check ok, starting import"}},
      {"\t# not a comment\n", kUnknownDirective, {"line:1 Error:3942 Invalid line: \t# not a comment"}},
      {"*NOSUCH 1\n", kUnknownDirective, {"line:1 Error:3942 Invalid line: *NOSUCH 1"}},
      {"\"\" 1\n", 0, {"check ok, starting import"}},
      {"*TIPOOBJ 1\n*QT x\n", kTipoObjRefused, {"line:1 Error:4431 Invalid line: *TIPOOBJ 1"}},
      {"*BOLSA 1\n", kDirectiveFailed, {"line:1 Error:3943 Invalid line: *BOLSA 1"}},
      {"*CURRENCY 1\n", kDirectiveRaised, {"line:1 Error:99302 Invalid line: *CURRENCY 1"}},
      {"*CA PETR4 1\n",
       kDirectiveNotAvailable,
       {"line:1 *CA: directives of corporate actions are not available in this build (error:99301)"}},
  };
  for (const auto& c : cases) {
    TTestRun run(c.text);
    run.RunToEnd();
    EXPECT_EQ(run.ResultCode(), c.code) << c.text;
    EXPECT_EQ(run.messages, c.messages) << c.text;
  }
}

TEST_F(RunTest, LineThatIsNotProgramTextStopsTheRun) {
  const std::string file = dir_.File("in.txt");
  test::WriteFile(file, "# ok\n*PAIS \xE6\x97\xA5\n");
  TTestRun run(file, TImportEncoding::Utf8);
  run.RunToEnd();
  EXPECT_EQ(run.ResultCode(), kImportLineNotText);
  EXPECT_THAT(run.messages,
              ElementsAre("line:2 Invalid text: character U+65E5 at byte offset 6 has no Windows-1252 form: *PAIS ?"));
}

TEST_F(RunTest, AFileItsEncodingRefusesStopsTheCheckAtTheLineWhereItShowsAndWritesNothing) {
  TCountry country;
  const std::string file = dir_.File("in.txt");
  test::WriteFile(file, "*PAIS 1\n# S\xC3\xA3o Paulo\n*PAIS 2\n");
  TTestRun refused(file, TImportEncoding::Unchosen);
  refused.RunToEnd();
  EXPECT_EQ(refused.ResultCode(), kImportFileLooksUtf8);
  EXPECT_TRUE(refused.ToNoCheck());
  EXPECT_EQ(refused.lnn(), 2) << "refused at the comment that holds the first non-ASCII";
  ASSERT_EQ(refused.messages.size(), 1u);
  EXPECT_THAT(refused.messages[0], testing::StartsWith("line:2 Error:99310 the file looks like UTF-8: "));
  EXPECT_THAT(country.written, IsEmpty());

  TTestRun named(file, TImportEncoding::Windows1252);
  named.RunToEnd();
  EXPECT_EQ(named.ResultCode(), 0);
  EXPECT_THAT(country.written, ElementsAre("1", "2"));
  EXPECT_THAT(LogTexts(), testing::Contains("ImpRoot encoding:windows-1252"));
}

TEST_F(RunTest, FileThatCannotBeReadFailsTheRunWith4388) {
  {
    impcli::tMyImpMain run(dir_.File("missing.txt"), true, false, "");
    EXPECT_FALSE(run.NotFinished());
    EXPECT_EQ(run.ResultCode(), kFileNotLoaded);
  }
  const std::vector<std::string> log = LogTexts();
  EXPECT_EQ(log.front(), "ImpRoot start " + dir_.File("missing.txt") + " CIorCO:Y");
  EXPECT_THAT(log[1], HasSubstr("[tIR.C LFF:" + dir_.File("missing.txt") + "]"));
  EXPECT_THAT(log.back(), HasSubstr("ImpRoot end Erro:4388"));
}

// A block directive that reads item lines up to END; a header "bad" fails in the import pass and
// skips its block.
struct TBlock {
  int items = 0;
  Plugged plugged{"*FS", [this](TImpMain& run, const TDirective&) {
                    if (!run.ToNoCheck() && run.Tokens().Token(1) == "bad") {
                      run.SkipBlock();
                      return TDirectiveOutcome{false, 3959};
                    }
                    while (run.NextBlockLine(false)) {
                      if (run.Tokens().Token(0) == "END") return TDirectiveOutcome{};
                      ++items;
                    }
                    run.ErrorMessage("*FS block has no END line");
                    return TDirectiveOutcome{false, 3959};
                  }};
};

TEST_F(RunTest, BlockWithoutEndNeverCrossesIntoTheImportPass) {
  TBlock block;
  TTestRun run("*FS a\nITEM 1\nITEM 2\n");
  run.RunToEnd();
  EXPECT_EQ(run.ResultCode(), 3959);
  EXPECT_EQ(block.items, 2);
  EXPECT_THAT(run.messages, ElementsAre("line:3 *FS block has no END line"));
  EXPECT_TRUE(run.ToNoCheck());
}

TEST_F(RunTest, FailedBlockInTheImportPassSkipsItsItemLines) {
  TBlock block;
  TCountry country;
  TTestRun run("*FS bad\nITEM 1\nEND\n*PAIS 7\n");
  run.RunToEnd();
  EXPECT_EQ(run.ResultCode(), 3959) << "no item line was run as a directive (3942)";
  EXPECT_EQ(run.ErroNaoFatalCount(), 1);
  EXPECT_THAT(country.written, ElementsAre("7"));
}

TEST_F(RunTest, ReqGBolAsksForABulletinOnlyWhenTheFileIsImported) {
  ResetBulletinRequest();
  TTestRun checkOnly("*REQGBOL\n", false);
  checkOnly.RunToEnd();
  EXPECT_EQ(RequesterText(), "");
  TTestRun run("*reqgbol now\n");
  run.RunToEnd();
  EXPECT_EQ(run.ResultCode(), 0);
  EXPECT_EQ(RequesterText(), "[import \"*REQGBOL\" [tMyImpMain \"f.txt\"]]");
  ResetBulletinRequest();
}

// Records what the run tells a family's state.
struct TRecorder : TRunState {
  static inline std::vector<std::string> events;
  static inline int checkCode = 0;
  static inline int endCode = 0;
  void StartPass(tImpRoot& run) override { events.push_back(run.ToNoCheck() ? "start check" : "start import"); }
  int EndOfCheckPass(tImpRoot&) override {
    events.push_back("end of check");
    return checkCode;
  }
  int EndOfRun(tImpRoot&) override {
    events.push_back("end of run");
    return endCode;
  }
};

TEST_F(RunTest, FamilyStatesHearOfPassesAndMayStopTheRun) {
  Plugged plugged("*PAIS", [](TImpMain& run, const TDirective&) {
    run.State<TRecorder>();
    return TDirectiveOutcome{};
  });
  const struct {
    int checkCode, endCode, result;
    std::vector<std::string> events;
  } cases[] = {
      {0, 0, 0, {"end of check", "start import", "end of run"}},
      {4471, 0, 4471, {"end of check"}},
      {0, 4472, 4472, {"end of check", "start import", "end of run"}},
  };
  for (const auto& c : cases) {
    TRecorder::events.clear();
    TRecorder::checkCode = c.checkCode;
    TRecorder::endCode = c.endCode;
    TTestRun run("*PAIS 1\n");
    run.RunToEnd();
    EXPECT_EQ(run.ResultCode(), c.result);
    EXPECT_EQ(TRecorder::events, c.events);
  }
}

TEST_F(RunTest, CommandLineRunPutsTheFileNameInFrontWhenAsked) {
  const std::string file = dir_.File("in.txt");
  test::WriteFile(file, "*NOSUCH\n");
  for (bool prefix : {false, true}) {
    impcli::tMyImpMain run(file, true, prefix, "");
    while (run.NotFinished()) run.Step();
    EXPECT_EQ(run.RunName(), "[tMyImpMain \"" + file + "\"]");
  }
  const std::vector<std::string> log = LogTexts();
  EXPECT_THAT(log, testing::Contains("line:1 Error:3942 Invalid line: *NOSUCH"));
  EXPECT_THAT(log, testing::Contains(file + " line:1 Error:3942 Invalid line: *NOSUCH"));
}

class ImpFormTest : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    SetErrorBoxHandler([this](const std::string&, const std::string& text) { boxes_.push_back(text); });
  }
  void TearDown() override {
    SetErrorBoxHandler(nullptr);
    RunTest::TearDown();
  }
  std::vector<std::string> boxes_;
};

TEST_F(ImpFormTest, OkayRefusesWhatItCannotRun) {
  tImpForm form;
  form.Okay();
  EXPECT_THAT(boxes_, ElementsAre("Import failed : Filename is empty error:4068"));
  form.SetFileName("x.txt");
  form.SetAction(tImpForm::kNoAction);
  form.Okay();
  form.SetAction(2);
  form.Okay();
  EXPECT_THAT(boxes_, ElementsAre(HasSubstr("4068"), "Import failed : Invalid action error:4069",
                                  "Import failed : Remote import is not available in this build error:99303"));
  EXPECT_FALSE(form.RunActive());
  EXPECT_EQ(form.Action(), 2) << "a failed remote import keeps the action";

  form.SetAction(0);
  form.SetTryJsonImport([](const std::string&, std::unique_ptr<TImpRootBase>& run) {
    run = std::make_unique<TTestRun>("");
    return 0;
  });
  form.Okay();
  EXPECT_FALSE(form.RunActive());
  EXPECT_THAT(form.LogPane(),
              ElementsAre("Error:25303 Importar \"x.txt\" no formato JSON n\xE3o suportada nesta janela. Use: "
                          "\"zorinput.exe /Import=<nome do arquivo json>\""));
  EXPECT_EQ(boxes_.back(), "Import failed : error:25303");
}

TEST_F(ImpFormTest, CheckRunsOneLinePerIdleTickAndCancelStopsIt) {
  TCountry country;
  const std::string file = dir_.File("in.txt");
  test::WriteFile(file, "*PAIS 1\n*PAIS 2\n");
  tImpForm form;
  form.SetFileName(file);
  form.Okay();
  ASSERT_TRUE(form.RunActive());
  EXPECT_FALSE(form.InputsEnabled());
  EXPECT_TRUE(form.CancelEnabled());
  int ticks = 0;
  while (form.Idle()) ++ticks;
  EXPECT_EQ(ticks, 5) << "two lines checked, two imported, and the step that finds the end";
  EXPECT_THAT(country.written, ElementsAre("1", "2"));
  EXPECT_THAT(form.LogPane(), ElementsAre("check ok, starting import", "end import ok"));
  EXPECT_TRUE(form.InputsEnabled());
  EXPECT_EQ(form.Action(), tImpForm::kNoAction);

  form.SetAction(1);
  form.Okay();
  form.Idle();
  form.Cancel();
  EXPECT_FALSE(form.RunActive());
  EXPECT_THAT(country.written, ElementsAre("1", "2")) << "check only writes nothing";
  EXPECT_THAT(boxes_, IsEmpty());
}

TEST_F(ImpFormTest, TheEncodingListReadsTheFileAsTheSwitchDoesAndGoesWithARemoteImport) {
  TCountry country;
  const std::string file = dir_.File("in.txt");
  test::WriteFile(file, "*PAIS S\xC3\xA3o\n");
  tImpForm form;
  form.SetFileName(file);
  EXPECT_EQ(form.Encoding(), TImportEncoding::Unchosen);
  form.Okay();
  while (form.Idle()) {
  }
  EXPECT_THAT(country.written, IsEmpty());
  EXPECT_THAT(form.LogPane(), ElementsAre(HasSubstr("line:1 Error:99310 the file looks like UTF-8"),
                                          "end import error:99310"));

  const struct {
    int index;
    TImportEncoding encoding;
    std::string written;
  } choices[] = {{1, TImportEncoding::Utf8, "S\xE3o"}, {2, TImportEncoding::Windows1252, "S\xC3\xA3o"}};
  for (const auto& choice : choices) {
    country.written.clear();
    form.SetEncoding(choice.index);
    EXPECT_EQ(form.Encoding(), choice.encoding);
    form.SetAction(0);
    form.Okay();
    while (form.Idle()) {
    }
    EXPECT_THAT(country.written, ElementsAre(choice.written)) << choice.index;
  }
  form.SetEncoding(3);
  form.SetEncoding(-1);
  EXPECT_EQ(form.EncodingIndex(), 2) << "a place outside the list changes nothing";

  TImportEncoding sent = TImportEncoding::Unchosen;
  form.SetRemoteImport([&](const std::string&, int, TImportEncoding encoding,
                           const std::function<void(std::string_view)>&) {
    sent = encoding;
    return 0;
  });
  form.SetAction(2);
  form.Okay();
  EXPECT_EQ(sent, TImportEncoding::Windows1252);
  EXPECT_EQ(form.EncodingIndex(), 2) << "kept after the run, as the file name is";
}

}  // namespace
}  // namespace zi

namespace zi {
namespace {

TEST(RunBadInput, EveryKindOfBadFileHasItsOutcome) {
  test::TempDir dir;
  SetLogFileName(dir.File("zorinput.log"));
  const std::string megabyteLine = "*NOSUCH " + std::string(1 << 20, 'x');
  struct Case {
    std::string name;
    std::string bytes;
    int code;
  } cases[] = {
      {"binary", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0", 20), kImportLineNotText},
      {"megabyte line", megabyteLine, kUnknownDirective},
      {"unterminated quote", "*NOSUCH \"open", kUnknownDirective},
      {"lone CR", "# a\r*NOSUCH\r", kUnknownDirective},
      {"byte-order mark", "\xEF\xBB\xBF# only a comment\n", kImportFileLooksUtf8},
      {"empty", "", 0},
      {"tabs only", "\t\t\n\t", 0},
  };
  for (const auto& c : cases) {
    const std::string file = dir.File("in.txt");
    test::WriteFile(file, c.bytes);
    impcli::tMyImpMain run(file, true, false, "");
    while (run.NotFinished()) run.Step();
    EXPECT_EQ(run.ResultCode(), c.code) << c.name;
  }
  for (const std::string& path : {dir.File("missing.txt"), dir.Path()}) {
    impcli::tMyImpMain run(path, true, false, "");
    EXPECT_EQ(run.ResultCode(), kFileNotLoaded) << path;
  }
  SetLogFileName("zorinput.log");
}

// *PAIS fails with a message of its own on "bad", in the pass given; a reject file catches its lines.
TEST_F(RunTest, TheRejectFileHoldsTheFailedLinesWithTheirMessagesAndAFileWithoutFailuresHasNone) {
  auto rejectsOf = [this](std::string_view text, bool failInCheck) {
    Plugged plugged{"*PAIS", [failInCheck](TImpMain& run, const TDirective&) {
                      if (run.Tokens().Token(1) != "bad" || run.ToNoCheck() != failInCheck) return TDirectiveOutcome{};
                      run.ErrorMessage("Error:4100 no such country");
                      return TDirectiveOutcome{false, 4100};
                    }};
    const std::string file = dir_.File("rejects.txt");
    std::filesystem::remove(file);
    TTestRun run(text);
    run.SetRejectsFile(file);
    run.RunToEnd();
    run.AfterRun();
    return std::filesystem::exists(file) ? test::ReadFile(file) : std::string("(none)");
  };
  const std::string text = "# prices\n*PAIS good\n*PAIS bad\n*PAIS good\n*pais bad\n";
  // The import pass wrote the other lines: only the failed ones are left to import.
  EXPECT_EQ(rejectsOf(text, false), "# Error:4100 no such country\n*PAIS bad\n# Error:4100 no such country\n*pais bad\n");
  // A failed check wrote nothing: every line is left, the message above the line that failed.
  EXPECT_EQ(rejectsOf(text, true), "# prices\n*PAIS good\n# Error:4100 no such country\n*PAIS bad\n*PAIS good\n"
                                   "*pais bad\n");
  EXPECT_EQ(rejectsOf("*PAIS good\n", false), "(none)");
}

TEST_F(RunTest, AHugeLineIsQuotedCutInMessagesStateTextAndRejectsAndTooLongALineStopsTheCheck) {
  const std::string longLine = "*NOSUCH " + std::string(5000, '\xE9');
  const std::string quoted = longLine.substr(0, 1000) + "\x85 (5008 bytes)";
  const std::string tooLong = "*NOSUCH " + std::string(kMaxLineBytes, 'x');
  const std::string tooLongQuoted = tooLong.substr(0, 1000) + "\x85 (2097160 bytes)";
  const struct {
    std::string line;
    int code;
    std::string message;
  } cases[] = {
      {longLine, kUnknownDirective, "Error:3942 Invalid line: " + quoted},
      {std::string(kMaxLineBytes, 'x'), kUnknownDirective,
       "Error:3942 Invalid line: " + std::string(1000, 'x') + "\x85 (2097152 bytes)"},
      {tooLong, kImportLineTooLong,
       "Error:99308 a line of 2097160 bytes is longer than the 2097152 bytes a line may hold: " + tooLongQuoted},
  };
  for (const auto& c : cases) {
    const std::string rejects = dir_.File("rejects.txt");
    TTestRun run("# first\n" + c.line + "\n# after\n");
    run.SetRejectsFile(rejects);
    run.RunToEnd();
    run.AfterRun();
    EXPECT_EQ(run.ResultCode(), c.code);
    EXPECT_THAT(run.messages, ElementsAre("line:2 " + c.message));
    EXPECT_EQ(run.StateText("impcli"),
              "ImpRoot impcli Erro:" + std::to_string(c.code) +
                  " ErroNaoFatal:0 ErroNaoFatalCount:0 Acabou:N ToNoCheck:Y lnn:2 ErrMsgCount:1 FirstErrMsg:<" +
                  c.message + "> LastErrMsg:<" + c.message + "> LastLine:<" + CutText(c.line, 1000) + ">");
    // The reject file keeps the whole line, to be fixed and imported again.
    EXPECT_EQ(test::ReadFile(rejects), "# first\n# " + c.message + "\n" + c.line + "\n# after\n");
  }
}

TEST_F(RunTest, AMessageQuotingAHugeFieldIsCut) {
  Plugged plugged("*PAIS", [](TImpMain& run, const TDirective&) {
    run.ErrorMessage("Unknown country " + std::string(run.Tokens().Token(1)));
    return TDirectiveOutcome{false, 4100};
  });
  TTestRun run("*PAIS " + std::string(10000, 'y') + "\n");
  run.RunToEnd();
  const std::string message = "Unknown country " + std::string(1984, 'y') + "\x85 (10016 bytes)";
  EXPECT_EQ(run.FirstErrMsg(), message);
  EXPECT_THAT(run.messages, ElementsAre("line:1 " + message));
}

}  // namespace
}  // namespace zi

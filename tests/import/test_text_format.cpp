// How an import text is read: lines, line classes, tokens and field syntaxes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "import/company_key.h"
#include "import/fields.h"
#include "import/text_lines.h"
#include "import/tokeniser.h"
#include "support/test_files.h"
#include "toolbox/numbers.h"
#include "toolbox/own_codes.h"

namespace zi {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

std::vector<std::string> LinesOf(const TTextLines& lines) {
  std::vector<std::string> out;
  for (size_t i = 0; i < lines.Count(); ++i) out.emplace_back(lines.Line(i));
  return out;
}

TEST(TextLines, SplitAtEveryKindOfLineEnd) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"\n", {""}},
      {"a", {"a"}},
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\r\nb\r\n", {"a", "", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"x\ty \n  ", {"x\ty ", "  "}},
  };
  for (const auto& c : cases) EXPECT_EQ(LinesOf(TTextLines::FromText(c.bytes)), c.lines) << c.bytes;
}

TEST(TextLines, AFileIsReadInTheEncodingNamedAndAFileThatLooksUtf8IsRefusedWithoutOne) {
  constexpr auto kNone = TImportEncoding::Unchosen;
  constexpr auto kUtf8 = TImportEncoding::Utf8;
  constexpr auto kCp1252 = TImportEncoding::Windows1252;
  // Windows-1252 whose bytes also form UTF-8: "Jo", A with tilde, pound sign, "o"; or the UTF-8 of a
  // name with a-tilde.
  const std::string windowsAsUtf8 = "*NW A 0\n\"Jo\xC3\xA3o\"";
  const std::string bom = "\xEF\xBB\xBF# x\r\n*NW Jo\xC3\xA3o";
  const std::string latin = std::string("caf\xE9\nA\0B", 8);  // not UTF-8
  const struct Case {
    std::string bytes;
    TImportEncoding encoding;
    std::vector<std::string> lines;
    int refusal;
    size_t refusedLine;
    std::map<size_t, std::string> defects;
  } cases[] = {
      {windowsAsUtf8, kNone, {"*NW A 0", "\"Jo\xC3\xA3o\""}, kImportFileLooksUtf8, 1, {}},
      {windowsAsUtf8, kCp1252, {"*NW A 0", "\"Jo\xC3\xA3o\""}, 0, 0, {}},
      {windowsAsUtf8, kUtf8, {"*NW A 0", "\"Jo\xE3o\""}, 0, 0, {}},
      {bom, kNone, {"\xEF\xBB\xBF# x", "*NW Jo\xC3\xA3o"}, kImportFileLooksUtf8, 0, {}},
      {bom, kCp1252, {"\xEF\xBB\xBF# x", "*NW Jo\xC3\xA3o"}, kImportBomNamedWindows1252, 0, {}},
      {bom, kUtf8, {"# x", "*NW Jo\xE3o"}, 0, 0, {}},
      {"\xEF\xBB\xBF", kNone, {"\xEF\xBB\xBF"}, kImportFileLooksUtf8, 0, {}},
      {"\xEF\xBB\xBF", kUtf8, {}, 0, 0, {}},
      {latin, kNone, {"caf\xE9", "A?B"}, 0, 0, {{1, "Invalid text: a NUL byte at byte offset 1"}}},
      {latin, kCp1252, {"caf\xE9", "A?B"}, 0, 0, {{1, "Invalid text: a NUL byte at byte offset 1"}}},
      {latin,
       kUtf8,
       {"caf?", "A?B"},
       0,
       0,
       {{0, "Invalid text: invalid UTF-8 at byte offset 3"}, {1, "Invalid text: a NUL byte at byte offset 1"}}},
      {"caf\xC3\xA9\n\xE6\x97\xA5\xE6\x9C\xAC x\nok",
       kUtf8,
       {"caf\xE9", "?? x", "ok"},
       0,
       0,
       {{1, "Invalid text: character U+65E5 at byte offset 0 has no Windows-1252 form"}}},
      // A UTF-8 sequence cut short at the end of the file: no UTF-8 file, and no valid line of one.
      {"*QT a\nb \xC3", kNone, {"*QT a", "b \xC3"}, 0, 0, {}},
      {"*QT a\nb \xC3", kUtf8, {"*QT a", "b ?"}, 0, 0, {{1, "Invalid text: invalid UTF-8 at byte offset 2"}}},
      // A NUL byte does not hide what the rest looks like.
      {std::string("x\0\ny \xC3\xA9", 7), kNone, {"x?", "y \xC3\xA9"}, kImportFileLooksUtf8, 1,
       {{0, "Invalid text: a NUL byte at byte offset 1"}}},
  };
  for (const Case& c : cases) {
    const std::string label = testing::PrintToString(c.bytes) + " as " + ImportEncodingName(c.encoding);
    const TTextLines lines = TTextLines::FromFileBytes(c.bytes, c.encoding);
    EXPECT_EQ(LinesOf(lines), c.lines) << label;
    EXPECT_EQ(lines.Refusal().code, c.refusal) << label;
    if (c.refusal != 0) {
      EXPECT_EQ(lines.Refusal().line, c.refusedLine) << label;
    }
    for (size_t i = 0; i < lines.Count(); ++i) {
      const auto defect = c.defects.find(i);
      EXPECT_EQ(lines.Defect(i), defect == c.defects.end() ? "" : defect->second) << label << " line " << i;
    }
  }
}

TEST(TextLines, TheRefusalSaysWhereTheFileLooksUtf8AndHowToNameItsEncoding) {
  const TTextLines utf8 = TTextLines::FromFileBytes("*QT a\n*NW x \xC3\xA9", TImportEncoding::Unchosen);
  EXPECT_EQ(utf8.Refusal().message,
            "Error:99310 the file looks like UTF-8: its non-ASCII characters (the first at byte offset 6 of this "
            "line) form UTF-8, and read as Windows-1252 they would be stored as other characters. Name its "
            "encoding: -encoding=utf-8, or -encoding=windows-1252 if it is Windows-1252 text");
  EXPECT_EQ(TTextLines::FromFileBytes("\xEF\xBB\xBF*QT a", TImportEncoding::Unchosen).Refusal().message,
            "Error:99310 the file starts with a UTF-8 byte-order mark: name its encoding with -encoding=utf-8 (the "
            "mark is dropped), or -encoding=windows-1252 if it is Windows-1252 text");
  EXPECT_EQ(TTextLines::FromFileBytes("\xEF\xBB\xBF*QT a", TImportEncoding::Windows1252).Refusal().message,
            "Error:99312 the file starts with a UTF-8 byte-order mark, but its encoding was named windows-1252: "
            "read it with -encoding=utf-8");
}

TEST(TextLines, AFileIsLookedAtWholeNotOnlyAtItsStart) {
  std::string bytes;
  while (bytes.size() < 3 * 1024 * 1024) bytes += "*QT PETR4 1 2024-04-08 37.10\n";
  const size_t asciiLines = bytes.size() / 29;
  bytes += "*NW x \xC3\xA9\n";
  const TTextLines lines = TTextLines::FromFileBytes(bytes, TImportEncoding::Unchosen);
  EXPECT_EQ(lines.Refusal().code, kImportFileLooksUtf8);
  EXPECT_EQ(lines.Refusal().line, asciiLines);
  EXPECT_EQ(TTextLines::FromFileBytes(bytes + "\xE9", TImportEncoding::Unchosen).Refusal().code, 0)
      << "a byte that is no UTF-8 anywhere makes the file Windows-1252";
}

TEST(TextLines, AGivenTextIsProgramTextTakenAsItIs) {
  const TTextLines lines = TTextLines::FromText(std::string("\xEF\xBB\xBFJo\xC3\xA3o\nA\0B", 12));
  EXPECT_THAT(LinesOf(lines), ElementsAre("\xEF\xBB\xBFJo\xC3\xA3o", "A?B"));
  EXPECT_EQ(lines.Refusal().code, 0);
  EXPECT_EQ(lines.Defect(1), "Invalid text: a NUL byte at byte offset 1");
}

TEST(TextLines, FilesAreReadByTheirBytesAndOnlyRegularFilesAreRead) {
  test::TempDir dir;
  const std::string name = dir.File("\xE6\x97\xA5\xE6\x9C\xAC-caf\xE9.txt");
  test::WriteFile(name, "*QT a 1\n");
  EXPECT_THAT(LinesOf(TTextLines::FromFile(name, TImportEncoding::Unchosen)), ElementsAre("*QT a 1"));

  EXPECT_THROW(TTextLines::FromFile(dir.File("missing.txt"), TImportEncoding::Unchosen), std::runtime_error);
  EXPECT_THROW(TTextLines::FromFile(dir.Path(), TImportEncoding::Unchosen), std::runtime_error);
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(TTextLines::FromFile(fifo, TImportEncoding::Unchosen), std::runtime_error) << "a pipe is refused, not waited on";
}

TEST(IsSkipLine, BlankAndCommentLines) {
  struct Case {
    std::string line;
    bool skipped;
    bool skippedKeepingBlanks;
  } cases[] = {
      {"", true, false},          {"   ", true, false},   {"# note", true, true},      {"  ; note", true, true},
      {"  // note", true, true},  {"/ x", false, false},  {"\t# note", false, false}, {"\t", false, false},
      {"*QT a", false, false},    {" END", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSkipLine(c.line, false), c.skipped) << "[" << c.line << "]";
    EXPECT_EQ(IsSkipLine(c.line, true), c.skippedKeepingBlanks) << "[" << c.line << "]";
  }
}

TEST(Tokeniser, SpacesAndTabsSeparateAndQuotesGroup) {
  struct Case {
    std::string line;
    std::vector<std::string> tokens;
  } cases[] = {
      {"*QT  PETR4\t1 ", {"*QT", "PETR4", "1"}},
      {" \t ", {}},
      {"*NW \"two words\" 'it''s'", {"*NW", "two words", "it", "s"}},
      {"a \"\" b", {"a", "", "b"}},
      {"a \"unterminated rest", {"a", "unterminated rest"}},
      {"a \"q\"tail", {"a", "q", "tail"}},
      {"mid\"quote x", {"mid\"quote", "x"}},
      {"'mixed\" quotes'", {"mixed\" quotes"}},
  };
  tParserSpcDelim parser;
  for (const auto& c : cases) EXPECT_EQ(SplitTokens(parser, c.line), c.tokens) << c.line;
}

TEST(Tokeniser, CharacterDelimiterKeepsEveryEmptyToken) {
  tParserChrDelim parser('-');
  EXPECT_THAT(SplitTokens(parser, "a--b-"), ElementsAre("a", "", "b", ""));
  EXPECT_THAT(SplitTokens(parser, ""), ElementsAre(""));
  EXPECT_THAT(SplitTokens(parser, "-"), ElementsAre("", ""));
  EXPECT_THAT(SplitTokens(parser, "x \"y-z\""), ElementsAre("x \"y", "z\""));
}

TEST(Tokeniser, WrapperAnswersEmptyBeyondTheListAndMovesItsCursor) {
  tParserWrapper tokens(std::make_unique<tParserSpcDelim>());
  tokens.Parse("*QT PETR4 1 2024-01-02");
  EXPECT_EQ(tokens.Count(), 4);
  EXPECT_EQ(tokens.Token(2), "1");
  EXPECT_EQ(tokens.NextToken(), "2024-01-02");
  EXPECT_EQ(tokens.NextToken(), "");
  EXPECT_EQ(tokens.Token(-1), "");
  tokens.SetCursor(1);
  EXPECT_EQ(tokens.NextToken(), "PETR4");
  tokens.Parse("END");
  EXPECT_EQ(tokens.Count(), 1);
  EXPECT_EQ(tokens.Token(1), "") << "tokens of the previous line are gone";
}

TEST(Fields, IntegersAreWholeDecimalTokensWithin32Bits) {
  const std::pair<std::string, std::optional<int32_t>> cases[] = {
      {"0", 0},     {"-12", -12}, {"+7", 7},         {"2147483647", 2147483647}, {"2147483648", std::nullopt},
      {"", {}},     {" 1", {}},   {"1.0", {}},       {"0x10", {}},               {"1e3", {}},
      {"-", {}},    {"12a", {}},  {"-2147483648", -2147483647 - 1},
  };
  for (const auto& [token, expected] : cases) {
    int32_t value = 99;
    EXPECT_EQ(ReadIntegerField(token, value), expected.has_value()) << token;
    if (expected) {
      EXPECT_EQ(value, *expected) << token;
    }
  }
}

TEST(Fields, NumbersAreDecimalWithPointAndExponentAndDashIsNoValue) {
  const std::pair<std::string, std::optional<double>> cases[] = {
      {"12.5", 12.5},  {"-3", -3},   {"1e3", 1000}, {" 2.5 ", 2.5}, {".5", 0.5},
      {"1,5", {}},     {"nan", {}},  {"inf", {}},   {"0x1p3", {}},  {"1e999", {}},
      {"1.2.3", {}},   {"e5", {}},
  };
  for (const auto& [token, expected] : cases) {
    double value = 0;
    EXPECT_EQ(ReadNumberField(token, value), expected.has_value()) << token;
    if (expected) {
      EXPECT_EQ(value, *expected) << token;
    }
  }
  for (const char* none : {"", "-", "  -  "}) {
    double value = 0;
    EXPECT_TRUE(ReadNumberField(none, value)) << none;
    EXPECT_TRUE(IsMissing(value)) << none;
  }
}

TEST(Fields, DatesAreTenCharactersWithOneSeparatorAndNoDateOnlyWhereAllowed) {
  const std::pair<std::string, std::optional<TCalendarDate>> cases[] = {
      {"2024-02-29", TCalendarDate{2024, 2, 29}}, {"2024.12.31", TCalendarDate{2024, 12, 31}},
      {"2023-02-29", {}}, {"2024-1-05", {}}, {"2024/01/05", {}}, {"2024-01.05", {}}, {"1919-12-31", {}},
      {"24-01-05", {}},   {"2024-01-05x", {}},
  };
  for (const auto& [token, expected] : cases) {
    TDayNumber day;
    EXPECT_EQ(ReadDateField(token, day), expected.has_value()) << token;
    if (expected) {
      EXPECT_EQ(DateFromDayNumber(day), *expected) << token;
    }
  }
  TDayNumber day{5};
  EXPECT_TRUE(ReadDateField("-", day));
  EXPECT_TRUE(day.IsNoDate());
  EXPECT_TRUE(ReadDateField("", day));
  EXPECT_FALSE(ReadRequiredDateField("-", day));
  EXPECT_FALSE(ReadRequiredDateField("", day));
  // Day 0 is no date: an optional date may be it, a date that identifies a record may not.
  day = TDayNumber{5};
  EXPECT_TRUE(ReadDateField("1920-01-01", day));
  EXPECT_TRUE(day.IsNoDate());
  day = TDayNumber{5};
  EXPECT_FALSE(ReadRequiredDateField("1920-01-01", day));
  EXPECT_FALSE(ReadRequiredDateField("1920.01.01", day));
  EXPECT_EQ(day.value, 5) << "a refused date leaves the value as it was";
  EXPECT_TRUE(ReadRequiredDateField("1920-01-02", day));
  EXPECT_EQ(day.value, 1);
}

TEST(Fields, YesNoTakesDigitsAndShortWords) {
  const std::pair<std::string, std::optional<bool>> cases[] = {
      {"1", true}, {"0", false}, {"Y", true}, {"yes", true}, {"n", false}, {"NO", false}, {"nah", false},
      {"2", {}},   {"", {}},     {"yess", {}}, {"true", {}}, {"Y1", {}},    {"x", {}},
  };
  for (const auto& [token, expected] : cases) {
    bool value = false;
    EXPECT_EQ(ReadYesNoField(token, value), expected.has_value()) << token;
    if (expected) {
      EXPECT_EQ(value, *expected) << token;
    }
  }
}

TEST(CompanyKey, KindPrefixesOnBothTokensChooseTheForm) {
  struct Case {
    std::string token1, token2;
    TCompanyKeyForm form;
    std::string value1, value2;
  } cases[] = {
      {"PETR", "0", TCompanyKeyForm::CompanyCode, "PETR", "0"},
      {"CompanyId:PETR", "COUNTRY:0", TCompanyKeyForm::CompanyCode, "PETR", "0"},
      {"cnpj:33.000.167/0001-01", "country:0", TCompanyKeyForm::Cnpj, "33.000.167/0001-01", "0"},
      {"ticker:PETR4", "exchange:1", TCompanyKeyForm::Ticker, "PETR4", "1"},
      {"isin:BRPETRACNPR6", "Exchange:1", TCompanyKeyForm::Isin, "BRPETRACNPR6", "1"},
      {"ticker:PETR4", "1", TCompanyKeyForm::CompanyCode, "ticker:PETR4", "1"},
      {"isin:X", "country:0", TCompanyKeyForm::CompanyCode, "isin:X", "country:0"},
      {"a:b:c", "country:0", TCompanyKeyForm::CompanyCode, "a:b:c", "country:0"},
  };
  for (const auto& c : cases) {
    const TCompanyKey key = SplitCompanyKey(c.token1, c.token2);
    EXPECT_EQ(key.form, c.form) << c.token1;
    EXPECT_EQ(key.value1, c.value1) << c.token1;
    EXPECT_EQ(key.value2, c.value2) << c.token1;
  }
}

}  // namespace
}  // namespace zi

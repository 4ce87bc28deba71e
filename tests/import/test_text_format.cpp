// How an import text is read: lines, line classes, tokens and field syntaxes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "import/company_key.h"
#include "import/fields.h"
#include "import/text_lines.h"
#include "import/tokeniser.h"
#include "support/test_files.h"
#include "toolbox/numbers.h"

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

TEST(TextLines, Utf8FilesBecomeProgramTextAndLinesThatCannotAreMarked) {
  const TTextLines bom = TTextLines::FromText("\xEF\xBB\xBF*OBJEMP A 1\r\n*NW Jo\xC3\xA3o");
  EXPECT_THAT(LinesOf(bom), ElementsAre("*OBJEMP A 1", "*NW Jo\xE3o"));
  EXPECT_EQ(bom.Defect(0), "");

  const TTextLines plain = TTextLines::FromText("caf\xC3\xA9\n\xE6\x97\xA5\xE6\x9C\xAC x\nok");
  EXPECT_THAT(LinesOf(plain), ElementsAre("caf\xE9", "?? x", "ok"));
  EXPECT_EQ(plain.Defect(1), "Invalid text: character U+65E5 at byte offset 0 has no Windows-1252 form");
  EXPECT_EQ(plain.Defect(2), "");

  // Bytes that are not UTF-8 are Windows-1252 already; a NUL byte is refused in either.
  const TTextLines latin = TTextLines::FromText(std::string("caf\xE9\nA\0B", 8));
  EXPECT_THAT(LinesOf(latin), ElementsAre("caf\xE9", "A?B"));
  EXPECT_EQ(latin.Defect(0), "");
  EXPECT_EQ(latin.Defect(1), "Invalid text: a NUL byte at byte offset 1");
}

TEST(TextLines, FilesAreReadByTheirBytesAndOnlyRegularFilesAreRead) {
  test::TempDir dir;
  const std::string name = dir.File("\xE6\x97\xA5\xE6\x9C\xAC-caf\xE9.txt");
  test::WriteFile(name, "*QT a 1\n");
  EXPECT_THAT(LinesOf(TTextLines::FromFile(name)), ElementsAre("*QT a 1"));

  EXPECT_THROW(TTextLines::FromFile(dir.File("missing.txt")), std::runtime_error);
  EXPECT_THROW(TTextLines::FromFile(dir.Path()), std::runtime_error);
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(TTextLines::FromFile(fifo), std::runtime_error) << "a pipe is refused, not waited on";
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

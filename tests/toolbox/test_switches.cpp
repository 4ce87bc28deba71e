#include "toolbox/switches.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zi {
namespace {

void Given(std::vector<std::string> params) {
  params.insert(params.begin(), "/opt/zorinput");
  SetParameters(params);
}

TEST(PegaParam, MatchesNameCaseInsensitivelyWithColonOrEqualsValue) {
  struct Case {
    std::string param;
    bool found;
    std::string value;
  } cases[] = {
      {"/import=c:\\x.txt", true, "c:\\x.txt"},
      {"-IMPORT:c:\\x.txt", true, "c:\\x.txt"},
      {"/Import", true, ""},
      {"/importx=1", false, ""},
      {"import=1", false, ""},
      {"--import=1", false, ""},
      {"/import=\"c:\\my file.txt\"", true, "c:\\my file.txt"},
      {"\"/import=c:\\my file.txt\"", true, "c:\\my file.txt"},
      {"'-import:x'", true, "x"},
      {"/import='a\"", true, "'a\""},
      {"/import=a=b:c", true, "a=b:c"},
      {"/import=", true, ""},
      {"/", false, ""},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    Given({c.param});
    std::string value = "stale";
    EXPECT_EQ(PegaParam("import", value), c.found) << c.param;
    EXPECT_EQ(value, c.value) << c.param;
    EXPECT_EQ(TemParam("import"), c.found) << c.param;
  }
}

TEST(PegaParam, FirstMatchWinsAndParameterZeroIsNeverASwitch) {
  SetParameters({"/import=zero", "-x", "/import=first", "/import=second"});
  std::string value;
  EXPECT_TRUE(PegaParam("import", value));
  EXPECT_EQ(value, "first");
}

TEST(PegaParam, ShortValueIsCutTo255ThenToTheMaximum) {
  Given({"/user=" + std::string(300, 'u')});
  std::string value;
  EXPECT_TRUE(PegaParamCurto("user", value, 1000));
  EXPECT_EQ(value.size(), 255u);
  EXPECT_TRUE(PegaParamCurto("user", value, 10));
  EXPECT_EQ(value, std::string(10, 'u'));
  EXPECT_FALSE(PegaParamCurto("password", value, 10));
  EXPECT_EQ(value, "");
}

TEST(CommandLine, RestOfTheLineDropsTheQuotedProgramName) {
  SetParameters({"/opt/zi prog/zorinput", "/import=a b.txt", "-x"});
  EXPECT_EQ(RestoDaLinhaDeComando(), " \"/import=a b.txt\" -x");
  EXPECT_THAT(SplitCommandLine(RestoDaLinhaDeComando()), testing::ElementsAre("/import=a b.txt", "-x"));

  SetParameters({"/opt/zorinput", "-y"});
  EXPECT_EQ(RestoDaLinhaDeComando(), "-y");
  SetParameters({"/opt/zorinput"});
  EXPECT_EQ(RestoDaLinhaDeComando(), "");
}

TEST(CommandLine, QuotingSplitsBackIntoTheSameParameters) {
  std::vector<std::string> params = {"plain",         "two words", "",          "quote\"inside", "trail\\",
                                     "dir\\ with\\",  "\\\\\"",    "tab\there", "a\\\\b",        "'single'"};
  std::string line;
  for (const auto& p : params) line += QuoteParameter(p) + " ";
  EXPECT_EQ(SplitCommandLine(line), params);
}

TEST(CommandLine, SplitFollowsQuoteAndBackslashRules) {
  EXPECT_THAT(SplitCommandLine("  a  \"b c\"d e\\\"f \"g\\\\\" h\\i"),
              testing::ElementsAre("a", "b cd", "e\"f", "g\\", "h\\i"));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

}  // namespace
}  // namespace zi

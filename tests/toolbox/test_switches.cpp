#include "toolbox/switches.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

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

TEST(SwitchWithoutValue, KeepsThePrefixAndTheNameOnly) {
  struct Case {
    std::string param;
    std::optional<std::string> shown;
  } cases[] = {
      {"/import=c:\\x.txt", "/import"},
      {"-PASSWORD:s3cret", "-PASSWORD"},
      {"--help", "--help"},
      {"\"/user=a b\"", "/user"},
      {"-li", "-li"},
      {"/", "/"},
      {"import=1", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(SwitchWithoutValue(c.param), c.shown) << c.param;
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

namespace zi {
namespace {

TEST(HideSwitchValue, WipesTheValueFromArgumentMemoryButNotFromTheSwitches) {
  char program[] = "/opt/zorinput";
  char user[] = "/user=ana";
  char password[] = "-PASSWORD:s3cret";
  char quoted[] = "\"/password=two words\"";
  char* argv[] = {program, user, password, quoted, nullptr};
  SetCommandLine(4, argv);
  HideSwitchValue("password");
  EXPECT_STREQ(argv[1], "/user=ana");
  EXPECT_STREQ(argv[2], "-PASSWORD:******");
  EXPECT_STREQ(argv[3], "\"/password=*********\"");
  std::string value;
  EXPECT_TRUE(PegaParam("password", value));
  EXPECT_EQ(value, "s3cret");
}

}  // namespace
}  // namespace zi

namespace zi {
namespace {

TEST(SetCommandLine, TextValuesBecomeProgramTextAndPathsStayTheSystemsBytes) {
  char program[] = "/opt/zorinput";
  char user[] = "/user=Jo\xC3\xA3o";
  char raw[] = "/file=caf\xE9.txt";
  char japanese[] = "-database=\xE6\x97\xA5\xE6\x9C\xAC.db";
  char* argv[] = {program, user, raw, japanese, nullptr};
  SetCommandLine(4, argv);
  std::string value;
  EXPECT_TRUE(PegaParam("user", value));
  EXPECT_EQ(value, "Jo\xE3o");
  EXPECT_TRUE(PegaParam("file", value));
  EXPECT_EQ(value, "caf\xE9.txt") << "bytes that are no UTF-8 pass unchanged";
  EXPECT_EQ(ParamStr(1), "/user=Jo\xC3\xA3o");

  const std::pair<const char*, const char*> paths[] = {
      {"user", "Jo\xC3\xA3o"}, {"file", "caf\xE9.txt"}, {"database", "\xE6\x97\xA5\xE6\x9C\xAC.db"}};
  for (const auto& [name, bytes] : paths) {
    EXPECT_TRUE(PegaParamBytes(name, value));
    EXPECT_EQ(value, bytes) << name;
  }
  EXPECT_FALSE(PegaParamBytes("import", value));
  EXPECT_EQ(value, "");
}

}  // namespace
}  // namespace zi

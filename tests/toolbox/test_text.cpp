#include "toolbox/text.h"

#include <gtest/gtest.h>

namespace zi {
namespace {

TEST(Text, PipeItems) {
  const struct {
    const char* text;
    int count;
  } counts[] = {{"", 1}, {"a", 1}, {"a|b|c", 3}, {"|", 2}, {"||", 3}};
  for (const auto& c : counts) EXPECT_EQ(ContaItensPipe(c.text), c.count) << c.text;

  const struct {
    int index;
    const char* text;
    const char* item;
  } items[] = {
      {1, "a|b|c", "a"}, {2, "a|b|c", "b"}, {3, "a|b|c", "c"}, {4, "a|b|c", ""},
      {0, "a|b|c", ""},  {-1, "a|b|c", ""}, {1, "", ""},       {2, "a|", ""},
      {1, "|b", ""},     {2, "|b", "b"},    {3, "a||c", "c"},  {2, "zi|txt|imp|csv|prn", "txt"},
  };
  for (const auto& c : items) EXPECT_EQ(ItemPipe(c.index, c.text), c.item) << c.index << " " << c.text;
}

TEST(Text, TrimRemovesControlsAndSpacesOnly) {
  const struct {
    std::string text;
    std::string trimmed;
  } cases[] = {
      {"", ""},
      {"   ", ""},
      {"  a b  ", "a b"},
      {"\t\r\na\x01", "a"},
      {std::string("\0x\0", 3), "x"},
      {"\xA0x\xA0", "\xA0x\xA0"},  // a non-breaking space is a character, not a blank
      {"\xE9 ", "\xE9"},
  };
  for (const auto& c : cases) EXPECT_EQ(Trim(c.text), c.trimmed) << c.text;
}

TEST(Text, CaseMappingIsAsciiOnly) {
  EXPECT_EQ(UpperAscii("azAZ09 @[`{ \xE9\xC9"), "AZAZ09 @[`{ \xE9\xC9");
  EXPECT_EQ(LowerAscii("azAZ09 @[`{ \xE9\xC9"), "azaz09 @[`{ \xE9\xC9");
}

TEST(Text, CutTextKeepsItsLimitThenTheEllipsisAndTheSize) {
  const struct {
    std::string text;
    size_t limit;
    std::string shown;
  } cases[] = {
      {"", 3, ""},
      {"abc", 3, "abc"},
      {"abcd", 3, "abc\x85 (4 bytes)"},
      {"A\xE7\xE3o!", 3, "A\xE7\xE3\x85 (5 bytes)"},
      {std::string(1001, 'x'), kQuotedLineLimit, std::string(1000, 'x') + "\x85 (1001 bytes)"},
  };
  for (const auto& c : cases) EXPECT_EQ(CutText(c.text, c.limit), c.shown) << c.text.substr(0, 10);
}

}  // namespace
}  // namespace zi

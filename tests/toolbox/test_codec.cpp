#include "toolbox/codec.h"

#include <string>

#include <gtest/gtest.h>

namespace zi {
namespace {

TEST(Codec, EveryByteSurvivesARoundTrip) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string utf8 = Cp1252ToUtf8(byte);
    EXPECT_TRUE(IsValidUtf8(utf8)) << b;
    EXPECT_EQ(Utf8ToCp1252(utf8), byte) << b;
  }
}

TEST(Codec, MapsBytesToTheirCharacters) {
  const struct {
    const char* cp1252;
    const char* utf8;
  } cases[] = {{"A", "A"},           {"\x80", "\xE2\x82\xAC"},  // euro sign
               {"\x81", "\xC2\x81"},                            // undefined bytes keep their own value
               {"\xA0", "\xC2\xA0"}, {"Jos\xE9", "Jos\xC3\xA9"}, {"\xFF", "\xC3\xBF"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8) << c.utf8;
    EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252) << c.utf8;
  }
}

TEST(Codec, BytesEightyToNinetyFFollowTheWindows1252Chart) {
  std::string row;
  for (int b = 0x80; b < 0xA0; ++b) row.push_back(static_cast<char>(b));
  EXPECT_EQ(Cp1252ToUtf8(row), "€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ");
}

TEST(Codec, RejectsMalformedUtf8AtItsOffset) {
  const struct {
    std::string text;
    size_t offset;
  } cases[] = {{"ab\x80", 2},            // lone continuation byte
               {"\xC0\x80", 0},          // overlong NUL
               {"\xC1\xBF", 0},          // overlong
               {"x\xE0\x80\x80", 1},     // overlong three-byte form
               {"\xED\xA0\x80", 0},      // surrogate
               {"\xF0\x80\x80\x80", 0},  // overlong four-byte form
               {"\xF4\x90\x80\x80", 0},  // above U+10FFFF
               {"\xF5\x80\x80\x80", 0},
               {"\xFF", 0},
               {"x\xE2\x82", 1},  // truncated at the end
               {"\xC3(", 0},      // continuation missing
               {"\xE2\x82(", 0}};
  for (const auto& c : cases) {
    EXPECT_FALSE(IsValidUtf8(c.text)) << c.offset;
    TCodecError error{99, 99};
    EXPECT_FALSE(Utf8ToCp1252(c.text, error).has_value());
    EXPECT_EQ(error.offset, c.offset);
    EXPECT_EQ(error.codePoint, 0u);
  }
}

TEST(Codec, RejectsCharactersWithoutAWindows1252Form) {
  const struct {
    std::string text;
    size_t offset;
    char32_t codePoint;
  } cases[] = {{"ok \xE4\xB8\xAD", 3, 0x4E2D},
               {"\xC3\xA9\xC2\x80", 2, 0x80},  // U+0080 is not byte 0x80, which is the euro sign
               {"\xF0\x9F\x98\x80", 0, 0x1F600},
               {"\xC5\x81", 0, 0x141}};
  for (const auto& c : cases) {
    EXPECT_TRUE(IsValidUtf8(c.text));
    TCodecError error;
    EXPECT_FALSE(Utf8ToCp1252(c.text, error).has_value());
    EXPECT_EQ(error.offset, c.offset);
    EXPECT_EQ(error.codePoint, c.codePoint);
  }
}

TEST(Codec, LossyConversionMarksWhatItCannotConvert) {
  const struct {
    std::string utf8;
    std::string cp1252;
  } cases[] = {{"A\xC3\xA7\xC3\xA3o", "A\xE7\xE3o"},
               {"ok \xE4\xB8\xAD!", "ok ?!"},
               {"\xF0\x9F\x98\x80\xE2\x82\xAC", "?\x80"},  // the emoji, then the euro sign
               {"a\xFF\xC3(b", "a?\x3F(b"},                    // each malformed byte alone
               {"x\xE2\x82", "x??"},
               {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1252Lossy(c.utf8), c.cp1252) << c.utf8;
}

TEST(Codec, ErrorTexts) {
  EXPECT_EQ(CodecErrorText({7, 0}), "invalid UTF-8 at byte offset 7");
  EXPECT_EQ(CodecErrorText({3, 0x4E2D}), "character U+4E2D at byte offset 3 has no Windows-1252 form");
  EXPECT_EQ(CodecErrorText({0, 0x1F600}), "character U+1F600 at byte offset 0 has no Windows-1252 form");
}

TEST(Codec, HasNonAscii) {
  EXPECT_FALSE(HasNonAscii(""));
  EXPECT_FALSE(HasNonAscii(std::string("a\0\x7F", 3)));
  EXPECT_TRUE(HasNonAscii("abc\x80"));
}

TEST(Codec, FirstNonAsciiFindsTheFirstHighByteWhereverItLies) {
  const std::string long1(100, 'a');
  const struct {
    std::string text;
    size_t at;
  } cases[] = {{"", std::string::npos}, {"abc", std::string::npos}, {"\x80", 0}, {"abcdefgh\xE9", 8},
               {"abcdefghijklm\xE9x\xE9", 13}, {long1 + "\xC3\xA9", 100}, {std::string("a\0\x7F", 3), std::string::npos}};
  for (const auto& c : cases) EXPECT_EQ(FirstNonAscii(c.text), c.at) << c.text;
}

TEST(Codec, TheEncodingSwitchNamesTwoEncodingsInEitherCase) {
  const std::pair<std::string, std::optional<TImportEncoding>> cases[] = {
      {"utf-8", TImportEncoding::Utf8},           {"UTF-8", TImportEncoding::Utf8},
      {"windows-1252", TImportEncoding::Windows1252}, {"Windows-1252", TImportEncoding::Windows1252},
      {"utf8", std::nullopt},                     {"latin1", std::nullopt},
      {"", std::nullopt},                         {"utf-8 ", std::nullopt},
      {"windows-1252x", std::nullopt},            {"\xC3\xBCtf-8", std::nullopt}};
  for (const auto& [name, encoding] : cases) EXPECT_EQ(ImportEncodingNamed(name), encoding) << name;
  EXPECT_STREQ(ImportEncodingName(TImportEncoding::Utf8), "utf-8");
  EXPECT_STREQ(ImportEncodingName(TImportEncoding::Windows1252), "windows-1252");
  EXPECT_STREQ(ImportEncodingName(TImportEncoding::Unchosen), "");
}

TEST(Codec, ImportTextLooksLikeUtf8WithAMarkOrValidNonAsciiOnly) {
  const struct {
    std::string file;
    TTextEncoding encoding;
  } cases[] = {{"", TTextEncoding::Cp1252},
               {"*QT a b\r\n", TTextEncoding::Cp1252},
               {"\xEF\xBB\xBF*QT a\n", TTextEncoding::Utf8},
               {"\xEF\xBB\xBF", TTextEncoding::Utf8},
               {"Jos\xC3\xA9\n", TTextEncoding::Utf8},
               {"Jos\xE9\n", TTextEncoding::Cp1252},  // not valid UTF-8
               {"\xEF\xBB\xBFJos\xC3\xA9", TTextEncoding::Utf8}};
  for (const auto& c : cases) EXPECT_EQ(DetectImportEncoding(c.file), c.encoding) << c.file;
}

TEST(PathText, ShowsAFileNameAsProgramTextWithoutChangingWhatCanBeShown) {
  EXPECT_EQ(PathText("/data/caf\xC3\xA9.txt"), "/data/caf\xE9.txt");
  EXPECT_EQ(PathText("\xE6\x97\xA5\xE6\x9C\xAC.db"), "??.db");
  EXPECT_EQ(PathText("latin1-caf\xE9.txt"), "latin1-caf\xE9.txt") << "bytes that are not UTF-8 are shown as they are";
}

}  // namespace
}  // namespace zi

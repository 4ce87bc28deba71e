#include "import_client/message_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "support/test_files.h"
#include "toolbox/log.h"

namespace zi {
namespace {

using testing::ElementsAre;

class MessageTextTest : public testing::Test {
 protected:
  void SetUp() override { SetLogFileName(dir_.File("zorinput.log")); }
  void TearDown() override { SetLogFileName("zorinput.log"); }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
};

TEST_F(MessageTextTest, FieldsBecomeTheirBytes) {
  const struct {
    std::string line;
    std::string hex;
  } cases[] = {
      {"B:1 W:2 S:'ab'", "010200026162"},
      {"a:\"x y\"\tT:hi", "03000000782079" "6869"},
      {"I:-1 L:305419896 i:4294967295", "FFFFFFFF" "78563412" "FFFFFFFF"},
      {"b:255 B:-128 w:65535 W:-32768", "FF" "80" "FFFF" "0080"},
      {"R:1 r:-0.5", "810000000000" "800000000080"},
      {"S:\"it's\" S:''", "0469742773" "00"},
      {"  T:x   ", "78"},
      {"T:caf\xE9", "636166E9"},
      {"", ""},
      {"T:''", ""},
  };
  for (const auto& c : cases) {
    std::string message = "stale";
    int code = -1;
    EXPECT_TRUE(ParseMsgQQText(c.line, message, code)) << c.line;
    EXPECT_EQ(code, 0) << c.line;
    EXPECT_EQ(HexOfBytes(message), c.hex) << c.line;
  }
}

TEST_F(MessageTextTest, BadFieldsFailWithTheirCode) {
  const struct {
    std::string line;
    int code;
  } cases[] = {
      {"S:" + std::string(256, 'x'), kMsgQQTextTooLong},
      {"B:1 X:1", kMsgQQUnknownType},
      {"BB:1", kMsgQQBadTypeToken},
      {"B1", kMsgQQBadTypeToken},
      {"B", kMsgQQBadTypeToken},
      {":1", kMsgQQBadTypeToken},
      {"B :1", kMsgQQBadTypeToken},
      {"B:x", kMsgQQValueNotANumber},
      {"W:", kMsgQQValueNotANumber},
      {"B:256", kMsgQQValueNotANumber},
      {"W:-32769", kMsgQQValueNotANumber},
      {"I:4294967296", kMsgQQValueNotANumber},
      {"I:1.5", kMsgQQValueNotANumber},
      {"R:1e39", kMsgQQValueNotANumber},
      {"R:1e-39", kMsgQQValueNotANumber},
      {"R:nan", kMsgQQValueNotANumber},
      {"S:'ab", kMsgQQUnclosedQuote},
      {"S:'ab'c", kMsgQQUnclosedQuote},
  };
  for (const auto& c : cases) {
    std::string message;
    int code = 0;
    EXPECT_FALSE(ParseMsgQQText(c.line, message, code)) << c.line;
    EXPECT_EQ(code, c.code) << c.line;
    EXPECT_EQ(message, "") << c.line;
  }
  std::string message;
  int code = 0;
  EXPECT_TRUE(ParseMsgQQText("S:" + std::string(255, 'x'), message, code));
  EXPECT_EQ(message.size(), 256u);
}

TEST_F(MessageTextTest, LogsWhatItReceivedAndWhatItMade) {
  std::string message;
  int code = 0;
  ParseMsgQQText("B:1 W:2 S:'ab'", message, code);
  ParseMsgQQText(" ", message, code);
  ParseMsgQQText("Q:1", message, code);
  EXPECT_THAT(LogTexts(), ElementsAre("zimsgQQ.ParseMsgQQText Mensagem Recebida: B:1 W:2 S:'ab'",
                                      "zimsgQQ.ParseMsgQQText Mensagem Gerada: 010200026162",
                                      "zimsgQQ.ParseMsgQQText Mensagem Recebida:  ",
                                      "zimsgQQ.ParseMsgQQText Mensagem vazia",
                                      "zimsgQQ.ParseMsgQQText Mensagem Recebida: Q:1",
                                      "zimsgQQ.ParseMsgQQText Erro durante o parse da mensagem, erro: 31108"));
}

// Worked out by hand: exponent + 129, then the mantissa without its leading 1 from byte 1 (lowest)
// to the low seven bits of byte 5, the sign above them.
TEST(Real48, EncodesByHandWorkedValues) {
  const struct {
    double value;
    const char* hex;
  } cases[] = {
      {0.0, "000000000000"},
      {-0.0, "000000000000"},
      {1.0, "810000000000"},
      {-1.0, "810000000080"},
      {0.5, "800000000000"},
      {100.0, "870000000048"},     // 1.5625 * 2^6: fraction .1001
      {1e10, "A20000F90215"},      // 0x2540BE400 = 1.0010101000000101111100100... * 2^33
      {0.1, "7DCDCCCCCC4C"},       // ...CCCC|CCD: the 13 bits dropped exceed half, so it rounds up
      {-2.5, "8200000000A0"},     // 1.25 * 2^1, the sign above fraction .01
      {std::ldexp(1.0, -128), "010000000000"},                            // the smallest
      {std::ldexp(2.0 - std::ldexp(1.0, -39), 126), "FFFFFFFFFF7F"},      // the largest
      {2.0 - std::ldexp(1.0, -45), "820000000000"},                       // rounds up into the next exponent
      {1.0 + std::ldexp(1.0, -40), "810000000000"},                       // a tie goes to the even mantissa
      {1.0 + std::ldexp(3.0, -40), "810200000000"},                       // a tie from odd rounds up
  };
  for (const auto& c : cases) {
    const auto real = EncodeReal48(c.value);
    ASSERT_TRUE(real) << c.value;
    EXPECT_EQ(HexOfBytes(std::string(real->begin(), real->end())), c.hex) << c.value;
  }
  for (double outside : {std::ldexp(1.0, 127), -std::ldexp(1.0, 127), std::ldexp(1.0, -129), 1e-320,
                         HUGE_VAL, std::nan("")})
    EXPECT_FALSE(EncodeReal48(outside)) << outside;
}

}  // namespace
}  // namespace zi

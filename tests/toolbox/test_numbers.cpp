#include "toolbox/numbers.h"

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zi {
namespace {

double FromBits(uint64_t bits) { return std::bit_cast<double>(bits); }

TEST(Numbers, MissingIsAnyQuietNan) {
  EXPECT_EQ(std::bit_cast<uint64_t>(kMissing), 0xFFF8000000000000u);
  const struct {
    double value;
    bool missing;
  } cases[] = {{kMissing, true},
               {FromBits(0x7FF8000000000000), true},  // positive quiet NaN
               {FromBits(0x7FFC000000000123), true},  // with a payload
               {std::numeric_limits<double>::quiet_NaN(), true},
               {FromBits(0x7FF0000000000001), false},  // signalling NaN
               {std::numeric_limits<double>::infinity(), false},
               {-std::numeric_limits<double>::infinity(), false},
               {0.0, false},
               {-1.5, false}};
  for (const auto& c : cases) EXPECT_EQ(IsMissing(c.value), c.missing) << std::bit_cast<uint64_t>(c.value);
}

TEST(Numbers, SameValueIsRelativeAndSymmetric) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double a, b;
    bool same;
  } cases[] = {{kMissing, kMissing, true}, {kMissing, FromBits(0x7FF8000000000000), true},
               {kMissing, 0.0, false},     {0.0, -0.0, true},
               {0.0, 1e-20, false},        {1e-20, 1e-20 * (1 + 1e-9), true},
               {1.0, 1.0 + 1e-9, true},    {1.0, 1.0 + 2e-8, false},
               {-5.0, -5.00000001, true},  {-1.0, 1.0, false},
               {1e-300, -1e-300, false},   {1e10, 1e10 + 1, true},
               {100.0, 100.000002, false}, {inf, inf, true},
               {inf, -inf, false},         {1e308, -1e308, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(SameValue(c.a, c.b), c.same) << c.a << " " << c.b;
    EXPECT_EQ(SameValue(c.b, c.a), c.same) << c.b << " " << c.a;
  }
}

TEST(Numbers, SumSkipsMissingValues) {
  const struct {
    std::vector<double> values;
    double sum;
  } cases[] = {{{}, kMissing},
               {{kMissing}, kMissing},
               {{kMissing, kMissing}, kMissing},
               {{kMissing, 0.0}, 0.0},  // a present zero is not missing
               {{1.0, kMissing, 2.0}, 3.0},
               {{-1.0, 1.0}, 0.0}};
  for (const auto& c : cases) {
    const double sum = SumSkippingMissing(c.values);
    EXPECT_EQ(IsMissing(sum), IsMissing(c.sum)) << c.values.size();
    if (!IsMissing(c.sum)) {
      EXPECT_EQ(sum, c.sum);
    }
  }
  TSumSkippingMissing running;
  EXPECT_TRUE(IsMissing(running.Value()));
  running.Add(kMissing);
  running.Add(2.5);
  EXPECT_EQ(running.Value(), 2.5);
}

TEST(Numbers, ParseDecimalAcceptsPlainDecimals) {
  const struct {
    const char* text;
    double value;
  } cases[] = {{"0", 0.0},
               {"+1.5", 1.5},
               {"1.", 1.0},
               {".25", 0.25},
               {"1e3", 1000.0},
               {"1E-2", 0.01},
               {"-2.5e+2", -250.0},
               {"00012", 12.0},
               {"1.e1", 10.0},
               {"1e-310", 1e-310},
               {"123456789012345678901234567890", 1.2345678901234568e29}};
  for (const auto& c : cases) EXPECT_EQ(ParseDecimal(c.text), c.value) << c.text;
  const std::optional<double> negativeZero = ParseDecimal("-0");
  ASSERT_TRUE(negativeZero.has_value());
  EXPECT_TRUE(std::signbit(*negativeZero));
}

TEST(Numbers, ParseDecimalRejectsAnythingElse) {
  for (const char* text :
       {"",     "-",   "+",  ".",  "-.",    "1e",  "1e+", "e5",    ".e5",   "inf",    "nan",    "-inf", "infinity",
        "0x10", "1,5", " 1", "1 ", "1.5.2", "+-1", "--1", "1e5.0", "1e400", "-1e400", "1e-400", "1_0",  "1d"}) {
    EXPECT_FALSE(ParseDecimal(text).has_value()) << text;
  }
}

TEST(Numbers, ParseIntegerIsWholeTokenWithinRange) {
  const struct {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {{"0", 0},
               {"-0", 0},
               {"+7", 7},
               {"007", 7},
               {"2147483647", 2147483647},
               {"-2147483648", -2147483647 - 1},
               {"2147483648", {}},
               {"-2147483649", {}},
               {"", {}},
               {"+", {}},
               {"-", {}},
               {"1.0", {}},
               {"1e3", {}},
               {" 1", {}},
               {"1 ", {}},
               {"0x1", {}},
               {"++1", {}},
               {"+-1", {}}};
  for (const auto& c : cases) EXPECT_EQ(ParseInteger(c.text), c.value) << c.text;

  EXPECT_EQ(ParseInteger64("9223372036854775807"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(ParseInteger64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(ParseInteger64("9223372036854775808"), std::nullopt);
  EXPECT_EQ(ParseInteger64("-12x"), std::nullopt);
}

}  // namespace
}  // namespace zi

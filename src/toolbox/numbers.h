#pragma once
// Numbers as the database and the files carry them: a missing value is a quiet NaN, equality is
// relative, sums skip missing values, and file fields are parsed strictly and without the locale.

#include <bit>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace zi {

inline constexpr double kMissing = std::bit_cast<double>(uint64_t{0xFFF8000000000000});

// Any quiet NaN counts as missing, whatever its sign and payload: other writers of the same data
// produce NaNs with other bits.
constexpr bool IsMissing(double value) {
  constexpr uint64_t kQuietNanBits = 0x7FF8000000000000;
  return (std::bit_cast<uint64_t>(value) & kQuietNanBits) == kQuietNanBits;
}

// Two missing values are equal; two present values are equal when their difference is below 1e-8
// of the larger magnitude (so zero equals only zero, of either sign).
bool SameValue(double a, double b);

// Missing when every value is missing, or there are none.
double SumSkippingMissing(std::span<const double> values);

class TSumSkippingMissing {
 public:
  void Add(double value);
  double Value() const { return sum_; }

 private:
  double sum_ = kMissing;
};

// The whole text as a decimal number: optional sign, digits with an optional "." fraction (at least
// one digit in all), optional exponent. No blanks, no locale, no nan/inf/hex; a value outside the
// range of a double (too large, or too small yet not zero) is an error.
std::optional<double> ParseDecimal(std::string_view text);

// The whole text as a decimal integer with an optional sign; a value out of range is an error.
std::optional<int32_t> ParseInteger(std::string_view text);
std::optional<int64_t> ParseInteger64(std::string_view text);

}  // namespace zi

#include "toolbox/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace zi {

namespace {

constexpr double kRelativeTolerance = 1e-8;

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipDigits(std::string_view text, size_t pos) {
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return pos;
}

size_t SkipSign(std::string_view text, size_t pos) {
  return pos < text.size() && (text[pos] == '+' || text[pos] == '-') ? pos + 1 : pos;
}

// from_chars would also take "inf", "nan" and a bare "1e"-style prefix, so the grammar is checked first.
bool IsDecimalSyntax(std::string_view text) {
  size_t pos = SkipSign(text, 0);
  const size_t integerEnd = SkipDigits(text, pos);
  size_t digits = integerEnd - pos;
  pos = integerEnd;
  if (pos < text.size() && text[pos] == '.') {
    const size_t fractionEnd = SkipDigits(text, pos + 1);
    digits += fractionEnd - pos - 1;
    pos = fractionEnd;
  }
  if (digits == 0) return false;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    const size_t exponentStart = SkipSign(text, pos + 1);
    pos = SkipDigits(text, exponentStart);
    if (pos == exponentStart) return false;
  }
  return pos == text.size();
}

bool IsIntegerSyntax(std::string_view text) {
  const size_t start = SkipSign(text, 0);
  return start < text.size() && SkipDigits(text, start) == text.size();
}

// from_chars accepts "-" but not "+".
std::string_view DropPlus(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  return text;
}

template <typename Int>
std::optional<Int> ParseWholeInteger(std::string_view text) {
  if (!IsIntegerSyntax(text)) return std::nullopt;
  text = DropPlus(text);
  Int value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

bool SameValue(double a, double b) {
  const bool aMissing = IsMissing(a);
  const bool bMissing = IsMissing(b);
  if (aMissing || bMissing) return aMissing && bMissing;
  if (a == b) return true;
  return std::fabs(a - b) < kRelativeTolerance * std::max(std::fabs(a), std::fabs(b));
}

void TSumSkippingMissing::Add(double value) {
  if (IsMissing(value)) return;
  sum_ = IsMissing(sum_) ? value : sum_ + value;
}

double SumSkippingMissing(std::span<const double> values) {
  TSumSkippingMissing sum;
  for (const double value : values) sum.Add(value);
  return sum.Value();
}

std::optional<double> ParseDecimal(std::string_view text) {
  if (!IsDecimalSyntax(text)) return std::nullopt;
  text = DropPlus(text);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<int32_t> ParseInteger(std::string_view text) { return ParseWholeInteger<int32_t>(text); }

std::optional<int64_t> ParseInteger64(std::string_view text) { return ParseWholeInteger<int64_t>(text); }

}  // namespace zi

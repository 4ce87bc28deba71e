#include "toolbox/display_formats.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "toolbox/lifecycle.h"
#include "toolbox/numbers.h"
#include "toolbox/platform.h"

namespace zi {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The exponent of a divisor that is a power of ten (1, 10 ... 1e15); nullopt otherwise.
std::optional<int> PowerOfTen(double divisor) {
  double power = 1;
  for (int exponent = 0; exponent <= 15; ++exponent, power *= 10)
    if (divisor == power) return exponent;
  return std::nullopt;
}

// "d.ddd" with the decimal point moved `places` to the right, as text, so that the parse rounds once.
std::string ShiftPoint(const std::string& number, int places) {
  if (places == 0) return number;
  std::string sign;
  std::string digits = number;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    sign = digits.substr(0, 1);
    digits.erase(0, 1);
  }
  std::string exponent;
  if (const size_t e = digits.find_first_of("eE"); e != std::string::npos) {
    exponent = digits.substr(e);
    digits.erase(e);
  }
  size_t point = digits.find('.');
  if (point == std::string::npos) point = digits.size();
  else digits.erase(point, 1);
  point += static_cast<size_t>(places);
  if (digits.size() < point) digits.append(point - digits.size(), '0');
  if (point < digits.size()) digits.insert(point, ".");
  return sign + digits + exponent;
}

std::optional<int> Digits(std::string_view text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return ParseInteger(text);
}

}  // namespace

std::string ShownNumber(double value, int decimals, bool trimZeros, double divisor) {
  if (IsMissing(value) || !std::isfinite(value)) return {};
  decimals = std::clamp(decimals, 0, kMaxShownDecimals);
  std::string text = fmt::format("{:.{}f}", divisor != 0 ? value / divisor : value, decimals);
  if (trimZeros && text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  // A value that rounds to zero shows no sign.
  if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) text.erase(0, 1);
  if (const char point = Regional().decimalSeparator; point != '.')
    std::replace(text.begin(), text.end(), '.', point);
  return text;
}

TTypedNumber ParseTypedNumber(std::string_view text, double divisor) {
  text = TrimBlanks(text);
  if (text.empty()) return {};
  const char point = Regional().decimalSeparator;
  const char thousands = point == ',' ? '.' : ',';
  std::string normal;
  for (const char c : text) {
    if (c == thousands) continue;
    normal += c == point ? '.' : c;
  }
  const std::optional<int> exponent = PowerOfTen(divisor);
  const std::optional<double> number = ParseDecimal(exponent ? ShiftPoint(normal, *exponent) : normal);
  if (!number || !std::isfinite(*number)) return {TTypedNumber::Invalid};
  const double value = exponent ? *number : *number * divisor;
  if (!std::isfinite(value)) return {TTypedNumber::Invalid};
  return {TTypedNumber::Number, value};
}

std::string ShownDate(const TCalendarDate& date) {
  const DateDisplayPattern& pattern = DatePattern();
  std::string text;
  for (const char part : pattern.order) {
    if (!text.empty()) text += pattern.separator;
    text += part == 'Y' ? fmt::format("{:04}", date.year) : fmt::format("{:02}", part == 'M' ? date.month : date.day);
  }
  return text;
}

std::string ShownDay(TDayNumber day) { return day.IsNoDate() ? std::string() : ShownDate(DateFromDayNumber(day)); }

std::optional<TCalendarDate> ParseShownDate(std::string_view text, int currentYear) {
  text = TrimBlanks(text);
  const DateDisplayPattern& pattern = DatePattern();
  auto isSeparator = [&](char c) { return c == pattern.separator || c == '/' || c == '-' || c == '.'; };
  int parts[3] = {};
  size_t start = 0;
  for (size_t i = 0; i < 3; ++i) {
    size_t end = start;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    if ((i < 2) != (end < text.size())) return std::nullopt;
    const std::string_view part = text.substr(start, end - start);
    const std::optional<int> number = Digits(part);
    const bool year = pattern.order[i] == 'Y';
    if (!number || part.size() > (year ? 4u : 2u) || (year && part.size() == 3)) return std::nullopt;
    parts[i] = *number;
    if (year && part.size() <= 2) {
      const std::optional<int> expanded = ExpandTwoDigitYear(*number, currentYear ? currentYear : platform::Now().year);
      if (!expanded) return std::nullopt;
      parts[i] = *expanded;
    }
    start = end + 1;
  }
  TCalendarDate date;
  for (size_t i = 0; i < 3; ++i)
    (pattern.order[i] == 'Y' ? date.year : pattern.order[i] == 'M' ? date.month : date.day) = parts[i];
  if (!IsValidDate(date)) return std::nullopt;
  return date;
}

std::optional<TDayNumber> ParseShownDay(std::string_view text, int currentYear) {
  const std::optional<TCalendarDate> date = ParseShownDate(text, currentYear);
  if (!date) return std::nullopt;
  const std::optional<TDayNumber> day = DayNumberFromDate(*date);
  if (!day || day->IsNoDate()) return std::nullopt;
  return day;
}

}  // namespace zi

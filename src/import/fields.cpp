#include "import/fields.h"

#include "toolbox/numbers.h"

namespace zi {

namespace {

bool IsNoValue(std::string_view token) { return token.empty() || token == "-"; }

// As Trim does, without making a string: the number fields are the bulk of a price file.
std::string_view TrimmedView(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool ReadIntegerField(std::string_view token, int32_t& value) {
  const std::optional<int32_t> parsed = ParseInteger(token);
  if (parsed) value = *parsed;
  return parsed.has_value();
}

bool ReadNumberField(std::string_view token, double& value) {
  const std::string_view trimmed = TrimmedView(token);
  if (IsNoValue(trimmed)) {
    value = kMissing;
    return true;
  }
  const std::optional<double> parsed = ParseDecimal(trimmed);
  if (parsed) value = *parsed;
  return parsed.has_value();
}

bool ReadDateField(std::string_view token, TDayNumber& value) {
  if (IsNoValue(token)) {
    value = kNoDate;
    return true;
  }
  const std::optional<TDayNumber> parsed = ParseIsoDate(token);
  if (parsed) value = *parsed;
  return parsed.has_value();
}

// Mended: 1920-01-01 is day 0, the number that stands for no date; the check pass passed it and
// every write of the import pass then refused it.
bool ReadRequiredDateField(std::string_view token, TDayNumber& value) {
  const std::optional<TDayNumber> parsed = ParseIsoDate(token);
  if (!parsed || parsed->IsNoDate()) return false;
  value = *parsed;
  return true;
}

bool ReadYesNoField(std::string_view token, bool& value) {
  if (token == "0" || token == "1") {
    value = token == "1";
    return true;
  }
  if (token.empty() || token.size() > 3) return false;
  for (const char c : token) {
    if (!IsAsciiLetter(c)) return false;
  }
  const char first = token[0];
  if (first != 'Y' && first != 'y' && first != 'N' && first != 'n') return false;
  value = first == 'Y' || first == 'y';
  return true;
}

}  // namespace zi

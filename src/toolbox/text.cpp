#include "toolbox/text.h"

#include <algorithm>

namespace zi {

namespace {

constexpr char kItemSeparator = '|';

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

int ContaItensPipe(std::string_view text) {
  return static_cast<int>(std::count(text.begin(), text.end(), kItemSeparator)) + 1;
}

std::string ItemPipe(int index, std::string_view text) {
  if (index < 1) return {};
  size_t start = 0;
  for (int i = 1; i < index; ++i) {
    const size_t separator = text.find(kItemSeparator, start);
    if (separator == std::string_view::npos) return {};
    start = separator + 1;
  }
  return std::string(text.substr(start, text.find(kItemSeparator, start) - start));
}

std::string Trim(std::string_view text) {
  const auto first = std::find_if_not(text.begin(), text.end(), IsBlank);
  const auto last = std::find_if_not(text.rbegin(), std::make_reverse_iterator(first), IsBlank).base();
  return std::string(first, last);
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string UpperCp1252(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) b = static_cast<unsigned char>(b - 0x20);
    else if (b == 0x9A || b == 0x9C || b == 0x9E) b = static_cast<unsigned char>(b - 0x10);
    else if (b == 0xFF) b = 0x9F;
    c = static_cast<char>(b);
  }
  return out;
}

std::string LowerCp1252(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) b = static_cast<unsigned char>(b + 0x20);
    else if (b == 0x8A || b == 0x8C || b == 0x8E) b = static_cast<unsigned char>(b + 0x10);
    else if (b == 0x9F) b = 0xFF;
    c = static_cast<char>(b);
  }
  return out;
}

bool IsLetterOrDigitCp1252(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == 0x83 || b == 0x8A ||
         b == 0x8C || b == 0x8E || b == 0x9A || b == 0x9C || b == 0x9E || b == 0x9F || b == 0xAA || b == 0xB5 ||
         b == 0xBA || (b >= 0xC0 && b != 0xD7 && b != 0xF7);
}

std::optional<bool> ParseBooleanWord(std::string_view text) {
  static constexpr std::string_view kYes[] = {"1", "Y", "YES", "S", "SIM", "T", "TRUE"};
  static constexpr std::string_view kNo[] = {"0", "N", "NO", "NAO", "N\xC3O", "F", "FALSE"};
  const std::string word = UpperCp1252(Trim(text));
  for (const std::string_view yes : kYes) {
    if (word == yes) return true;
  }
  for (const std::string_view no : kNo) {
    if (word == no) return false;
  }
  return std::nullopt;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
           return lower(x) == lower(y);
         });
}

std::string CutText(std::string_view text, size_t limit) {
  if (text.size() <= limit) return std::string(text);
  // The ellipsis is one Windows-1252 character; the edges write it as their encoding has it.
  return std::string(text.substr(0, limit)) + "\x85 (" + std::to_string(text.size()) + " bytes)";
}

}  // namespace zi

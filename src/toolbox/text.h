#pragma once
// Small text helpers over the program's single-byte text; none of them depends on the locale.

#include <optional>
#include <string>
#include <string_view>

namespace zi {

// The number of '|' plus one: an empty text holds one empty item.
int ContaItensPipe(std::string_view text);
// The index-th '|'-separated item, counting from 1; empty when index is out of range.
std::string ItemPipe(int index, std::string_view text);

// Without the bytes up to ' ' (controls and space) at both ends; bytes from 0x80 up are kept.
std::string Trim(std::string_view text);

// Only 'a'..'z' and 'A'..'Z' change; accented Windows-1252 letters are left alone.
std::string UpperAscii(std::string_view text);
std::string LowerAscii(std::string_view text);
// Upper case of Windows-1252 text, accented letters included ("ç" becomes "Ç").
std::string UpperCp1252(std::string_view text);

// Lower case of Windows-1252 text: "A".."Z", "À".."Þ" (but "×"), "Š", "Œ", "Ž" and "Ÿ".
std::string LowerCp1252(std::string_view text);
// Whether a Windows-1252 byte is a letter or a digit (accented letters included).
bool IsLetterOrDigitCp1252(char c);
// A yes/no word, whatever its case: "1", "Y", "YES", "S", "SIM", "T", "TRUE" are yes; "0", "N",
// "NO", "NAO", "NÃO", "F", "FALSE" are no. nullopt for any other text.
std::optional<bool> ParseBooleanWord(std::string_view text);
// Equal but for the case of 'a'..'z'.
bool SameTextAscii(std::string_view a, std::string_view b);

// How much of a line a message, a state text or a summary quotes.
inline constexpr size_t kQuotedLineLimit = 1000;
// How much of any message, and of any log line, is kept.
inline constexpr size_t kMessageLimit = 2000;
inline constexpr size_t kLogLineLimit = 65536;
// The text as it is when it holds at most limit characters, else its first limit characters, an
// ellipsis and its size: "abc… (5000000 bytes)". One huge line of a file then costs the log, the
// console and the memory of the recent lines no more than a normal one. Program text has one byte
// per character, so any cut falls on a character boundary.
std::string CutText(std::string_view text, size_t limit);

}  // namespace zi

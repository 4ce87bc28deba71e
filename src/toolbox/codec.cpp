#include "toolbox/codec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include <fmt/format.h>

namespace zi {

namespace {

// Code points of bytes 0x80 to 0x9F; every other byte is the code point of its own value.
constexpr std::array<char32_t, 32> kHighCodePoints = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct TUtf8Form {
  uint8_t length = 0;
  std::array<char, 3> bytes{};
};

constexpr TUtf8Form EncodeUtf8(char32_t cp) {
  TUtf8Form form;
  if (cp < 0x80) {
    form.length = 1;
    form.bytes[0] = static_cast<char>(cp);
  } else if (cp < 0x800) {
    form.length = 2;
    form.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
    form.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    form.length = 3;
    form.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
    form.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    form.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return form;
}

constexpr std::array<TUtf8Form, 256> kUtf8OfByte = [] {
  std::array<TUtf8Form, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    const char32_t cp = (b >= 0x80 && b < 0xA0) ? kHighCodePoints[b - 0x80] : char32_t{b};
    table[b] = EncodeUtf8(cp);
  }
  return table;
}();

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct TDecoded {
  char32_t codePoint = 0;
  size_t length = 0;  // 0: malformed
};

constexpr bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// Decodes the character at pos (known to start with a non-ASCII byte).
TDecoded DecodeMultiByte(std::string_view text, size_t pos) {
  const auto byteAt = [&](size_t i) { return static_cast<uint8_t>(text[pos + i]); };
  const uint8_t lead = byteAt(0);
  size_t length = 0;
  char32_t cp = 0;
  // The second byte's range rules out overlong forms, surrogates and values above U+10FFFF.
  uint8_t low = 0x80;
  uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  if (text.size() - pos < length) return {};
  const uint8_t second = byteAt(1);
  if (second < low || second > high) return {};
  cp = (cp << 6) | (second & 0x3F);
  for (size_t i = 2; i < length; ++i) {
    const uint8_t next = byteAt(i);
    if (!IsContinuation(next)) return {};
    cp = (cp << 6) | (next & 0x3F);
  }
  return {cp, length};
}

std::optional<char> Cp1252ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (size_t i = 0; i < kHighCodePoints.size(); ++i) {
    if (kHighCodePoints[i] == cp) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size() + cp1252.size() / 4);
  for (const char c : cp1252) {
    const TUtf8Form& form = kUtf8OfByte[static_cast<uint8_t>(c)];
    out.append(form.bytes.data(), form.length);
  }
  return out;
}

namespace {

// Converts until the first character that fails, or, when `lossy`, replaces each such one with '?'.
std::optional<std::string> Convert(std::string_view utf8, bool lossy, TCodecError& error) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const char c = utf8[pos];
    if (static_cast<uint8_t>(c) < 0x80) {
      out.push_back(c);
      ++pos;
      continue;
    }
    const TDecoded decoded = DecodeMultiByte(utf8, pos);
    const std::optional<char> byte = decoded.length == 0 ? std::nullopt : Cp1252ByteOf(decoded.codePoint);
    if (!byte && !lossy) {
      error = {pos, decoded.length == 0 ? 0 : decoded.codePoint};
      return std::nullopt;
    }
    out.push_back(byte.value_or('?'));
    pos += decoded.length == 0 ? 1 : decoded.length;
  }
  return out;
}

}  // namespace

std::optional<std::string> Utf8ToCp1252(std::string_view utf8, TCodecError& error) {
  return Convert(utf8, false, error);
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  TCodecError ignored;
  return Convert(utf8, false, ignored);
}

std::string Utf8ToCp1252Lossy(std::string_view utf8) {
  TCodecError ignored;
  return *Convert(utf8, true, ignored);
}

std::string CodecErrorText(const TCodecError& error) {
  if (error.codePoint == 0) return fmt::format("invalid UTF-8 at byte offset {}", error.offset);
  return fmt::format("character U+{:04X} at byte offset {} has no Windows-1252 form",
                     static_cast<uint32_t>(error.codePoint), error.offset);
}

bool IsValidUtf8(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    if (static_cast<uint8_t>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const size_t length = DecodeMultiByte(text, pos).length;
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

// Eight bytes at a time: an import file of many megabytes is scanned whole before it is read.
size_t FirstNonAscii(std::string_view text) {
  constexpr uint64_t kHighBits = 0x8080808080808080;
  size_t pos = 0;
  for (; pos + 8 <= text.size(); pos += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + pos, sizeof word);
    if (word & kHighBits) break;
  }
  for (; pos < text.size(); ++pos) {
    if (static_cast<uint8_t>(text[pos]) >= 0x80) return pos;
  }
  return std::string_view::npos;
}

bool HasNonAscii(std::string_view text) { return FirstNonAscii(text) != std::string_view::npos; }

TTextEncoding DetectImportEncoding(std::string_view fileBytes) {
  if (StartsWithUtf8Bom(fileBytes)) return TTextEncoding::Utf8;
  const size_t first = FirstNonAscii(fileBytes);
  // What lies before the first non-ASCII byte is ASCII, which is UTF-8.
  return first != std::string_view::npos && IsValidUtf8(fileBytes.substr(first)) ? TTextEncoding::Utf8
                                                                                   : TTextEncoding::Cp1252;
}

bool StartsWithUtf8Bom(std::string_view bytes) { return bytes.starts_with(kUtf8Bom); }

std::string_view DropUtf8Bom(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
  return bytes;
}

std::optional<TImportEncoding> ImportEncodingNamed(std::string_view name) {
  for (const TImportEncoding encoding : {TImportEncoding::Utf8, TImportEncoding::Windows1252}) {
    const std::string_view known = ImportEncodingName(encoding);
    if (name.size() == known.size() &&
        std::equal(name.begin(), name.end(), known.begin(), [](char a, char b) {
          return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
        })) {
      return encoding;
    }
  }
  return std::nullopt;
}

const char* ImportEncodingName(TImportEncoding encoding) {
  switch (encoding) {
    case TImportEncoding::Utf8: return "utf-8";
    case TImportEncoding::Windows1252: return "windows-1252";
    case TImportEncoding::Unchosen: break;
  }
  return "";
}

std::string PathText(std::string_view systemBytes) {
  if (!IsValidUtf8(systemBytes)) return std::string(systemBytes);
  return Utf8ToCp1252Lossy(systemBytes);
}

}  // namespace zi

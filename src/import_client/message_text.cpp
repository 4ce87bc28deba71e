#include "import_client/message_text.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "toolbox/log.h"
#include "toolbox/numbers.h"

namespace zi {

namespace {

constexpr const char* kReceivedLine = "zimsgQQ.ParseMsgQQText Mensagem Recebida: %s";
constexpr const char* kFailedLine = "zimsgQQ.ParseMsgQQText Erro durante o parse da mensagem, erro: %d";
constexpr const char* kEmptyLine = "zimsgQQ.ParseMsgQQText Mensagem vazia";
constexpr const char* kMadeLine = "zimsgQQ.ParseMsgQQText Mensagem Gerada: %s";

constexpr size_t kShortTextMax = 255;
constexpr int kReal48Bias = 129;
constexpr int kDoubleBias = 1023;
constexpr int kDroppedMantissaBits = 52 - 39;

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

struct TField {
  char letter = 0;
  std::string value;
};

// The next field of `rest`, which it leaves after the field; 0 when the field is sound.
int NextField(std::string_view& rest, TField& field) {
  size_t end = 0;
  while (end < rest.size() && rest[end] != ':' && !IsSeparator(rest[end])) ++end;
  if (end != 1 || end == rest.size() || rest[end] != ':') return kMsgQQBadTypeToken;
  field.letter = rest[0];
  rest.remove_prefix(2);
  if (!rest.empty() && (rest[0] == '\'' || rest[0] == '"')) {
    // A quote inside the value is kept: only a quote followed by a separator or the end closes it.
    const char quote = rest[0];
    size_t close = 1;
    while (close < rest.size() && !(rest[close] == quote && (close + 1 == rest.size() || IsSeparator(rest[close + 1]))))
      ++close;
    if (close == rest.size()) return kMsgQQUnclosedQuote;
    field.value = std::string(rest.substr(1, close - 1));
    rest.remove_prefix(close + 1);
    return 0;
  }
  size_t valueEnd = 0;
  while (valueEnd < rest.size() && !IsSeparator(rest[valueEnd])) ++valueEnd;
  field.value = std::string(rest.substr(0, valueEnd));
  rest.remove_prefix(valueEnd);
  return 0;
}

void AppendLittleEndian(std::string& message, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) message.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A value that its width holds read as signed or as unsigned.
int AppendInteger(std::string& message, const std::string& text, int bytes) {
  const std::optional<int64_t> value = ParseInteger64(text);
  const int64_t lowest = -(int64_t{1} << (8 * bytes - 1));
  const int64_t highest = (int64_t{1} << (8 * bytes)) - 1;
  if (!value || *value < lowest || *value > highest) return kMsgQQValueNotANumber;
  AppendLittleEndian(message, static_cast<uint64_t>(*value), bytes);
  return 0;
}

int AppendReal(std::string& message, const std::string& text) {
  const std::optional<double> value = ParseDecimal(text);
  const std::optional<std::array<uint8_t, 6>> real = value ? EncodeReal48(*value) : std::nullopt;
  if (!real) return kMsgQQValueNotANumber;
  message.append(reinterpret_cast<const char*>(real->data()), real->size());
  return 0;
}

int AppendField(std::string& message, const TField& field) {
  switch (field.letter) {
    case 'A': case 'a':
      AppendLittleEndian(message, field.value.size(), 4);
      message += field.value;
      return 0;
    case 'T': case 't':
      message += field.value;
      return 0;
    case 'S': case 's':
      if (field.value.size() > kShortTextMax) return kMsgQQTextTooLong;
      message.push_back(static_cast<char>(field.value.size()));
      message += field.value;
      return 0;
    case 'B': case 'b': return AppendInteger(message, field.value, 1);
    case 'W': case 'w': return AppendInteger(message, field.value, 2);
    case 'I': case 'i': case 'L': case 'l': return AppendInteger(message, field.value, 4);
    case 'R': case 'r': return AppendReal(message, field.value);
    default: return kMsgQQUnknownType;
  }
}

int BuildMessage(std::string_view line, std::string& message) {
  for (;;) {
    while (!line.empty() && IsSeparator(line.front())) line.remove_prefix(1);
    if (line.empty()) return 0;
    TField field;
    if (const int code = NextField(line, field)) return code;
    if (const int code = AppendField(message, field)) return code;
  }
}

}  // namespace

bool ParseMsgQQText(std::string_view line, std::string& message, int& code) {
  LogaFormat(kReceivedLine, std::string(line));
  message.clear();
  code = BuildMessage(line, message);
  if (code != 0) {
    message.clear();
    LogaFormat(kFailedLine, code);
    return false;
  }
  if (message.empty()) Loga(kEmptyLine);
  else LogaFormat(kMadeLine, HexOfBytes(message));
  return true;
}

std::optional<std::array<uint8_t, 6>> EncodeReal48(double value) {
  std::array<uint8_t, 6> real{};
  if (!std::isfinite(value)) return std::nullopt;
  if (value == 0) return real;
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const int exponentBits = static_cast<int>((bits >> 52) & 0x7FF);
  // A subnormal double lies far below the smallest 48-bit real.
  if (exponentBits == 0) return std::nullopt;
  int exponent = exponentBits - kDoubleBias;
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  uint64_t mantissa = fraction >> kDroppedMantissaBits;
  const uint64_t dropped = fraction & ((uint64_t{1} << kDroppedMantissaBits) - 1);
  const uint64_t half = uint64_t{1} << (kDroppedMantissaBits - 1);
  if (dropped > half || (dropped == half && (mantissa & 1) != 0)) ++mantissa;
  if (mantissa >> 39) {
    mantissa = 0;
    ++exponent;
  }
  const int biased = exponent + kReal48Bias;
  if (biased < 1 || biased > 255) return std::nullopt;
  real[0] = static_cast<uint8_t>(biased);
  for (int i = 1; i <= 5; ++i) real[i] = static_cast<uint8_t>((mantissa >> (8 * (i - 1))) & 0xFF);
  if (bits >> 63) real[5] |= 0x80;
  return real;
}

std::string HexOfBytes(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0xF]);
  }
  return hex;
}

}  // namespace zi

#include "import/json_document.h"

#include <rapidjson/reader.h>
#include <simdjson.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <typeinfo>

#include <fmt/format.h>
#include <fmt/printf.h>

#include "import/regular_file.h"
#include "toolbox/codec.h"
#include "toolbox/dates.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"
#include "toolbox/platform.h"

namespace zi {

namespace {

constexpr size_t kNone = std::string_view::npos;
constexpr size_t kShownChars = 50;
constexpr int kReadAttempts = 11;
// A file is written in pieces of about this size, so that its text is never held whole.
constexpr size_t kWriteChunk = 1 << 20;
constexpr int kRetryWaitsMs[] = {1, 2, 5, 10, 50, 100, 500, 1000, 2000, 5000};

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsWhite(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhite(text.back())) text.remove_suffix(1);
  return text;
}

size_t SkipWhite(std::string_view text, size_t pos) {
  while (pos < text.size() && IsWhite(text[pos])) ++pos;
  return pos;
}

// From a string's opening quote: the position after its closing quote; kNone when it is not closed.
size_t SkipString(std::string_view text, size_t pos) {
  for (size_t i = pos + 1; i < text.size(); ++i) {
    if (text[i] == '\\') ++i;
    else if (text[i] == '"') return i + 1;
  }
  return kNone;
}

// Where the value that starts at pos ends: at the "," or the closing bracket of its own level.
// Strings must be closed; nested brackets are counted, not recursed into, so depth costs no stack.
// A quote after an odd run of backslashes opens no string wherever it stands, as the tokeniser
// reads it, in a text that is no JSON either.
size_t ValueEnd(std::string_view text, size_t pos) {
  size_t depth = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '\\') {
      const size_t runStart = pos;
      while (pos < text.size() && text[pos] == '\\') ++pos;
      if ((pos - runStart) % 2 == 1 && pos < text.size() && text[pos] == '"') ++pos;
      continue;
    }
    if (c == '"') {
      pos = SkipString(text, pos);
      if (pos == kNone) return kNone;
      continue;
    }
    if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (depth == 0) return pos;
      --depth;
    } else if (c == ',' && depth == 0) {
      return pos;
    }
    ++pos;
  }
  return kNone;
}

std::string Shown(std::string_view text) { return std::string(text.substr(0, kShownChars)); }

// A JSON string token unescaped, its UTF-8 checked; nullopt when the token is not exactly one string.
class TStringReader : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TStringReader> {
 public:
  bool String(const char* text, rapidjson::SizeType length, bool) {
    value.assign(text, length);
    return true;
  }
  bool Default() { return false; }
  std::string value;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The escapes of everyday text, unescaped here; false for anything else (a surrogate, an unknown
// escape, a control character, malformed UTF-8), which the full reader then decides. plain: there
// was no escape, so the value is the bytes of the text.
bool UnescapedCommon(std::string_view inner, bool utf8Known, std::string& out, bool& plain) {
  plain = true;
  if (!utf8Known && !IsValidUtf8(inner)) return false;
  out.reserve(inner.size());
  size_t run = 0;
  for (size_t i = 0; i < inner.size(); ++i) {
    const char c = inner[i];
    if (c == '"' || static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') continue;
    plain = false;
    out.append(inner.data() + run, i - run);
    if (++i == inner.size()) return false;
    switch (inner[i]) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case '/': out += '/'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        if (i + 4 >= inner.size()) return false;
        unsigned code = 0;
        for (size_t k = i + 1; k <= i + 4; ++k) {
          const int digit = HexDigit(inner[k]);
          if (digit < 0) return false;
          code = code * 16 + static_cast<unsigned>(digit);
        }
        if (code >= 0xD800 && code <= 0xDFFF) return false;
        if (code < 0x80) {
          out += static_cast<char>(code);
        } else if (code < 0x800) {
          out += static_cast<char>(0xC0 | (code >> 6));
          out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
          out += static_cast<char>(0xE0 | (code >> 12));
          out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (code & 0x3F));
        }
        i += 4;
        break;
      }
      default: return false;
    }
    run = i + 1;
  }
  out.append(inner.data() + run, inner.size() - run);
  return true;
}

// utf8Known: the text holding the token was checked whole already. plain: the token holds no
// escape, so writing its value gives the token again.
std::optional<std::string> Unescaped(std::string_view token, bool utf8Known, bool* plain = nullptr) {
  if (plain) *plain = false;
  if (token.size() < 2 || token.front() != '"' || token.back() != '"') return std::nullopt;
  std::string value;
  bool noEscape = false;
  if (UnescapedCommon(token.substr(1, token.size() - 2), utf8Known, value, noEscape)) {
    if (plain) *plain = noEscape;
    return value;
  }
  // Parsed in place in a copy of its own: the parser then needs no stack of its own, whose first use
  // is undefined behaviour in this version of the library. The encoding check takes a multi-byte
  // sequence's continuation bytes before looking at them, so a lead byte at the end would read up to
  // three bytes past the terminator: the copy carries them as padding.
  std::string copy(token);
  copy.append(3, '\0');
  rapidjson::InsituStringStream stream(copy.data());
  rapidjson::Reader reader;
  TStringReader handler;
  constexpr unsigned kFlags =
      rapidjson::kParseInsituFlag | rapidjson::kParseValidateEncodingFlag | rapidjson::kParseStopWhenDoneFlag;
  if (reader.Parse<kFlags>(stream, handler).IsError() || stream.Tell() != token.size()) return std::nullopt;
  return std::move(handler.value);
}

// The Windows-1252 value of a string's inside, written to out (room for inner.size() bytes), for the
// strings of everyday text: ASCII, the common escapes and the characters U+00A0 to U+00FF, raw or
// escaped, which are their own byte. The size written; nullopt for anything else (malformed text,
// another character), which the full reader then decides. plain: there was no escape.
std::optional<size_t> DecodedLatin1(std::string_view inner, char* out, bool& plain) {
  plain = true;
  size_t size = 0;
  for (size_t i = 0; i < inner.size(); ++i) {
    const auto byte = static_cast<unsigned char>(inner[i]);
    if (byte >= 0x20 && byte < 0x80 && byte != '"' && byte != '\\') {
      out[size++] = static_cast<char>(byte);
      continue;
    }
    if (byte == 0xC2 || byte == 0xC3) {
      if (i + 1 == inner.size()) return std::nullopt;
      const auto next = static_cast<unsigned char>(inner[i + 1]);
      const unsigned code = ((byte & 0x1Fu) << 6) | (next & 0x3Fu);
      if ((next & 0xC0) != 0x80 || code < 0xA0) return std::nullopt;
      out[size++] = static_cast<char>(code);
      ++i;
      continue;
    }
    if (byte != '\\' || ++i == inner.size()) return std::nullopt;
    plain = false;
    switch (inner[i]) {
      case '"': out[size++] = '"'; break;
      case '\\': out[size++] = '\\'; break;
      case '/': out[size++] = '/'; break;
      case 'b': out[size++] = '\b'; break;
      case 'f': out[size++] = '\f'; break;
      case 'n': out[size++] = '\n'; break;
      case 'r': out[size++] = '\r'; break;
      case 't': out[size++] = '\t'; break;
      case 'u': {
        if (i + 4 >= inner.size()) return std::nullopt;
        unsigned code = 0;
        for (size_t k = i + 1; k <= i + 4; ++k) {
          const int digit = HexDigit(inner[k]);
          if (digit < 0) return std::nullopt;
          code = code * 16 + static_cast<unsigned>(digit);
        }
        if ((code >= 0x80 && code < 0xA0) || code > 0xFF) return std::nullopt;
        out[size++] = static_cast<char>(code);
        i += 4;
        break;
      }
      default: return std::nullopt;
    }
  }
  return size;
}

// A JSON number: optional minus, an integer part without leading zeros, optional fraction and
// exponent. An overflow is no number (it would be written back as no JSON).
bool ReadJsonNumber(std::string_view text, long double& value) {
  size_t pos = 0;
  auto digits = [&] {
    const size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    return pos - start;
  };
  if (pos < text.size() && text[pos] == '-') ++pos;
  const size_t integerStart = pos;
  const size_t integerDigits = digits();
  if (integerDigits == 0 || (integerDigits > 1 && text[integerStart] == '0')) return false;
  size_t fractionDigits = 0;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    fractionDigits = digits();
    if (fractionDigits == 0) return false;
  }
  const size_t mantissaEnd = pos;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    if (digits() == 0) return false;
  }
  if (pos != text.size()) return false;
  // Most numbers have few digits and no exponent, and need not go through the library's slow long
  // double reading: up to 18 digits they are exact in 64 bits and so in a long double, as is every
  // power of ten up to 1e18, and one division rounds the quotient correctly, as the library does.
  if (mantissaEnd == pos && integerDigits + fractionDigits <= 18) {
    uint64_t magnitude = 0;
    for (size_t i = integerStart; i < pos; ++i) {
      if (text[i] != '.') magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    long double scale = 1;
    for (size_t i = 0; i < fractionDigits; ++i) scale *= 10;
    value = static_cast<long double>(magnitude) / scale;
    if (integerStart > 0) value = -value;
    return true;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// Whether NumberText of the number a JSON number text reads as gives that text again: no exponent,
// no sign on zero, no trailing zero in the fraction, at most 18 significant digits (which survive
// the trip through a long double and back) and a magnitude written without exponent.
bool IsWrittenAsRead(std::string_view text) {
  if (text == "0") return true;
  size_t pos = text.front() == '-' ? 1 : 0;
  const size_t integerStart = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
  const size_t integerDigits = pos - integerStart;
  size_t fractionDigits = 0;
  size_t leadingZeros = 0;  // of the fraction, when the integer part is 0
  if (pos < text.size() && text[pos] == '.') {
    const size_t fractionStart = ++pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    fractionDigits = pos - fractionStart;
    if (fractionDigits == 0 || text[pos - 1] == '0') return false;
    while (leadingZeros < fractionDigits && text[fractionStart + leadingZeros] == '0') ++leadingZeros;
  }
  if (pos != text.size() || integerDigits == 0) return false;
  if (text[integerStart] != '0') return integerDigits <= 17 && integerDigits + fractionDigits <= 18;
  return integerDigits == 1 && fractionDigits > 0 && leadingZeros <= 16 && fractionDigits - leadingZeros <= 18;
}

void Escape(std::string& out, std::string_view utf8) {
  // Runs that need no escape are appended whole.
  size_t run = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20) continue;
    out.append(utf8.data() + run, i - run);
    run = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default: out += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
    }
  }
  out.append(utf8.data() + run, utf8.size() - run);
}

// A Windows-1252 string as the inside of a JSON string in UTF-8.
void EscapeCp1252(std::string& out, std::string_view cp1252) {
  size_t run = 0;
  for (size_t i = 0; i < cp1252.size(); ++i) {
    const auto byte = static_cast<unsigned char>(cp1252[i]);
    if (byte < 0x80) continue;
    Escape(out, cp1252.substr(run, i - run));
    run = i + 1;
    if (byte >= 0xA0) {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    } else {
      out += Cp1252ToUtf8(cp1252.substr(i, 1));
    }
  }
  Escape(out, cp1252.substr(run));
}

// Eighteen significant digits, "." as the point, no exponent from 1e-17 to 1e17, trailing zeros off.
std::string NumberText(long double value) {
  if (value == 0) return "0";
  char text[128];
  // Whole numbers below 1e17 come out of the general form as their integer digits.
  if (std::fabs(value) < 1e17L && value == std::trunc(value)) {
    return std::string(text, std::to_chars(text, text + sizeof text, static_cast<int64_t>(value)).ptr);
  }
  const std::to_chars_result scientific =
      std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 17);
  std::string out(text, scientific.ptr);
  const size_t e = out.find('e');
  const int exponent = std::stoi(out.substr(e + 1));
  auto dropTrailingZeros = [](std::string digits) {
    if (digits.find('.') == std::string::npos) return digits;
    while (digits.back() == '0') digits.pop_back();
    if (digits.back() == '.') digits.pop_back();
    return digits;
  };
  if (exponent < -17 || exponent >= 17) return dropTrailingZeros(out.substr(0, e)) + out.substr(e);
  const std::to_chars_result fixed =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, std::max(0, 17 - exponent));
  return dropTrailingZeros(std::string(text, fixed.ptr));
}

std::string TypeMessage(TJsonAttributeType expected, TJsonAttributeType actual) {
  return std::string("Invalid JSON attribute type. Expected type:") + JsonAttributeTypeName(expected) +
         ". AttributeType:" + JsonAttributeTypeName(actual);
}

void MarkInvalid(TJsonSlot& slot, std::string message) {
  slot.type = atInvalid;
  slot.child = std::make_unique<TInvalidJson>(std::move(message)).release();
}

// Strings of everyday text hold no escape and only printable ASCII: their bytes are their value in
// both encodings, and they are written as they came.
bool IsPlainAscii(std::string_view inner) {
  for (const char c : inner) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') return false;
  }
  return true;
}

// A system error as the file reader's messages show it.
std::string ErrorText(int error) { return std::generic_category().message(error); }

TJsonSlot NewSlot(TJsonAttributeType type) {
  TJsonSlot slot;
  slot.decoded = true;
  slot.type = type;
  return slot;
}

static_assert(sizeof(TJsonSlot) == 48);

// Blocks grow to this size; a larger request gets a block of its own.
constexpr size_t kLargestArenaBlock = 1 << 20;

static_assert(kJsonTextSpare >= simdjson::SIMDJSON_PADDING);

// Texts up to this size are split by one parser kept for the thread; a larger one (a whole file) by a
// parser of its own, so that the index of a whole file is freed once the file is split.
constexpr size_t kKeptParserCapacity = 1 << 20;

// Runs body over the tokenised text; false when the tokeniser refuses the text or body does.
template <class Body>
bool Tokenised(std::string_view text, size_t readable, Body&& body) {
  if (readable < text.size() + simdjson::SIMDJSON_PADDING) return false;
  const simdjson::padded_string_view view(text.data(), text.size(), readable);
  auto run = [&](simdjson::ondemand::parser& parser) {
    simdjson::ondemand::document document;
    return parser.iterate(view).get(document) == simdjson::SUCCESS && body(document);
  };
  if (text.size() <= kKeptParserCapacity) {
    thread_local simdjson::ondemand::parser parser(kKeptParserCapacity);
    return run(parser);
  }
  simdjson::ondemand::parser parser(text.size());
  return run(parser);
}

// A text shorter than one block of the tokeniser is split sooner by the plain scanner.
constexpr size_t kSmallestTokenised = 64;

std::string_view TrimmedEnd(std::string_view text) {
  while (!text.empty() && IsWhite(text.back())) text.remove_suffix(1);
  return text;
}

// Whether the value that ends at end within holder is followed by a "," or by close, the bracket of
// its holder. The tokeniser skips a value it was not asked to read without a look, so that a value
// of more than one token would otherwise pass unseen.
bool SeparatedAt(std::string_view holder, size_t end, char close) {
  const size_t next = SkipWhite(holder, end);
  return next < holder.size() && (holder[next] == ',' || holder[next] == close);
}

size_t Offset(std::string_view within, const char* at) { return static_cast<size_t>(at - within.data()); }

bool Walked(simdjson::ondemand::value& value, std::string_view within, int depth, std::string_view& text);

// The members of an object, each read whole, so that the tokeniser looks at every token in them (it
// would skip an unread one by counting brackets alone, which reads a broken text otherwise than the
// plain scanner does): each(name token, value text) for every one, then the object's text.
template <class Each>
bool WalkedMembers(simdjson::ondemand::object& object, std::string_view within, size_t start, int depth,
                   std::string_view& text, Each&& each) {
  size_t end = start + 1;
  for (auto element : object) {
    simdjson::ondemand::field field;
    if (std::move(element).get(field) != simdjson::SUCCESS) return false;
    // The tokeniser points just past the name's opening quote.
    const size_t nameStart = Offset(within, field.key().raw()) - 1;
    const size_t nameEnd = SkipString(within, nameStart);
    std::string_view value;
    if (nameEnd == kNone || !Walked(field.value(), within, depth + 1, value)) return false;
    end = Offset(within, value.data() + value.size());
    if (!SeparatedAt(within, end, '}') || !each(within.substr(nameStart, nameEnd - nameStart), value)) return false;
  }
  const size_t close = SkipWhite(within, end);
  if (close >= within.size() || within[close] != '}') return false;
  text = within.substr(start, close + 1 - start);
  return true;
}

// The items of an array, as WalkedMembers: each(item text) for every one, then the array's text.
template <class Each>
bool WalkedItems(simdjson::ondemand::array& array, std::string_view within, size_t start, int depth,
                 std::string_view& text, Each&& each) {
  size_t end = start + 1;
  for (auto element : array) {
    simdjson::ondemand::value value;
    std::string_view item;
    if (element.get(value) != simdjson::SUCCESS || !Walked(value, within, depth + 1, item)) return false;
    end = Offset(within, item.data() + item.size());
    if (!SeparatedAt(within, end, ']') || !each(item)) return false;
  }
  const size_t close = SkipWhite(within, end);
  if (close >= within.size() || within[close] != ']') return false;
  text = within.substr(start, close + 1 - start);
  return true;
}

// The text of one value read whole: an object or array from its bracket to its closing bracket, a
// scalar as its token. A text nested deeper than a document may be is left to the plain scanner,
// which counts brackets without recursing.
bool Walked(simdjson::ondemand::value& value, std::string_view within, int depth, std::string_view& text) {
  if (depth > kMaxJsonDepth) return false;
  simdjson::ondemand::json_type type;
  if (value.type().get(type) != simdjson::SUCCESS) return false;
  const size_t start = Offset(within, value.raw_json_token().data());
  if (type == simdjson::ondemand::json_type::object) {
    simdjson::ondemand::object object;
    return value.get_object().get(object) == simdjson::SUCCESS &&
           WalkedMembers(object, within, start, depth, text, [](std::string_view, std::string_view) { return true; });
  }
  if (type == simdjson::ondemand::json_type::array) {
    simdjson::ondemand::array array;
    return value.get_array().get(array) == simdjson::SUCCESS &&
           WalkedItems(array, within, start, depth, text, [](std::string_view) { return true; });
  }
  text = TrimmedEnd(value.raw_json_token());
  return !text.empty();
}

}  // namespace

const char* JsonAttributeTypeName(TJsonAttributeType type) {
  switch (type) {
    case atInvalid: return "atInvalid";
    case atNull: return "atNull";
    case atStringInBuffer: return "atStringInBuffer";
    case atStringOwned: return "atStringOwned";
    case atNumber: return "atNumber";
    case atBoolean: return "atBoolean";
    case atObject: return "atObject";
    case atArray: return "atArray";
  }
  return "atInvalid";
}

// TJsonAttribute.

void TJsonAttribute::Expect(bool matches, TJsonAttributeType expected) const {
  if (!matches) throw EInvalidJsonAttributeType(TypeMessage(expected, AttributeType()));
}

bool TJsonAttribute::ContainsInvalid() const {
  if (IsInvalidValue()) return true;
  return (IsObject() || IsArray()) && slot_->child->IsInvalid();
}

std::string_view TJsonAttribute::AsString() const {
  Expect(IsString(), atStringInBuffer);
  return slot_->String();
}

long double TJsonAttribute::AsNumber() const {
  Expect(IsNumber(), atNumber);
  return slot_->number;
}

bool TJsonAttribute::AsBoolean() const {
  Expect(IsBoolean(), atBoolean);
  return slot_->boolean;
}

TJsonObject& TJsonAttribute::AsObject() const {
  Expect(IsObject(), atObject);
  return static_cast<TJsonObject&>(*slot_->child);
}

TJsonArray& TJsonAttribute::AsArray() const {
  Expect(IsArray(), atArray);
  return static_cast<TJsonArray&>(*slot_->child);
}

std::string TJsonAttribute::InvalidReason() const { return IsInvalidValue() ? slot_->child->InvalidMessage() : ""; }

// TJsonArena and TJsonSlots.

void* TJsonArena::Allocate(size_t size, size_t align) {
  size_t skip = (align - reinterpret_cast<uintptr_t>(next_) % align) % align;
  if (skip + size > left_) {
    if (size > kLargestArenaBlock / 4) {
      // Kept apart, so that the current block goes on serving small requests.
      blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
      return blocks_.back().get();
    }
    // Small documents take small blocks; a whole file's take the largest.
    blockSize_ = std::max(std::min(blockSize_ * 2, kLargestArenaBlock), size);
    blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(blockSize_));
    next_ = blocks_.back().get();
    left_ = blockSize_;
    skip = 0;
  }
  std::byte* at = next_ + skip;
  next_ = at + size;
  left_ -= skip + size;
  return at;
}

std::string_view TJsonArena::Copy(std::string_view bytes) {
  if (bytes.empty()) return {};
  char* at = AllocateArray<char>(bytes.size());
  std::memcpy(at, bytes.data(), bytes.size());
  return {at, bytes.size()};
}

void TJsonSlots::Assign(TJsonArena& arena, const std::vector<TJsonSlot>& slots) {
  count_ = capacity_ = slots.size();
  if (slots.empty()) return;
  TJsonSlot* placed = arena.AllocateArray<TJsonSlot>(slots.size());
  std::uninitialized_copy(slots.begin(), slots.end(), placed);
  at_ = arena.AllocateArray<TJsonSlot*>(slots.size());
  for (size_t i = 0; i < slots.size(); ++i) at_[i] = placed + i;
}

TJsonSlot& TJsonSlots::Append(TJsonArena& arena, const TJsonSlot& slot) {
  if (count_ == capacity_) {
    // The old list stays in the arena unused: lists seldom grow, and the slots themselves stay put.
    capacity_ = std::max<size_t>(4, 2 * capacity_);
    TJsonSlot** grown = arena.AllocateArray<TJsonSlot*>(capacity_);
    std::copy_n(at_, count_, grown);
    at_ = grown;
  }
  at_[count_] = new (arena.AllocateArray<TJsonSlot>(1)) TJsonSlot(slot);
  return *at_[count_++];
}

void TJsonSlots::Erase(size_t index) {
  std::copy(at_ + index + 1, at_ + count_, at_ + index);
  --count_;
}

// TAbstractJson.

TAbstractJson::~TAbstractJson() {
  for (size_t i = 0; i < slots_.Size(); ++i) FreeValue(slots_[i]);
}

void TAbstractJson::operator delete(TAbstractJson* document, std::destroying_delete_t) {
  if (!document->inArena_) {
    document->~TAbstractJson();
    ::operator delete(document);
    return;
  }
  // The arena holding the document may go with its text: the text is held until the document has ended.
  const std::shared_ptr<TJsonText> text = document->text_;
  document->~TAbstractJson();
}

void TAbstractJson::FreeValue(TJsonSlot& slot) {
  // The arena runs no destructors: the documents a slot holds are freed here.
  if (slot.type == atObject || slot.type == atArray || slot.type == atInvalid) {
    std::unique_ptr<TAbstractJson> child(slot.child);
  }
  slot.type = atNull;
  slot.decoded = true;
  slot.writtenAsRead = false;
  slot.source = {};
  slot.number = 0;
}

std::vector<TJsonSlot>& TAbstractJson::Gathered() {
  thread_local std::vector<TJsonSlot> gathered;
  gathered.clear();
  return gathered;
}

void TAbstractJson::TakeGathered(std::vector<TJsonSlot>& gathered) {
  slots_.Assign(text_->arena, gathered);
  // The list of a whole file's records is not kept for the thread's life.
  constexpr size_t kKeptGathered = 4096;
  if (gathered.capacity() > kKeptGathered) std::vector<TJsonSlot>().swap(gathered);
}

std::unique_ptr<TAbstractJson> TAbstractJson::CreateFromString(std::string text, TJsonSplitting splitting) {
  auto kept = std::make_shared<TJsonText>();
  if (splitting == TJsonSplitting::Tokeniser && text.capacity() < text.size() + kJsonTextSpare) {
    text.reserve(text.size() + kJsonTextSpare);
  }
  kept->bytes = std::move(text);
  kept->splitting = splitting;
  const std::string_view all(kept->bytes);
  size_t start = 0;
  while (start < all.size() && all[start] == ' ') ++start;
  if (start == all.size()) return std::make_unique<TInvalidJson>("Empty string");
  try {
    if (all[start] == '{') return std::make_unique<TJsonObject>(kept, all.substr(start), 0);
    if (all[start] == '[') return std::make_unique<TJsonArray>(kept, all.substr(start), 0);
  } catch (const std::exception& e) {
    return std::make_unique<TInvalidJson>(ExceptionClassName(e) + " " + e.what());
  }
  return std::make_unique<TInvalidJson>(fmt::format("Invalid character #{} at position:{}",
                                                    static_cast<unsigned char>(all[start]), start + 1));
}

std::unique_ptr<TAbstractJson> TAbstractJson::CreateFromFile(const std::string& path, bool retry) {
  if (!retry) {
    std::string text;
    try {
      text = ReadRegularFile(path, kJsonTextSpare);
    } catch (const std::exception&) {
      // A file that cannot be read holds no document: the empty text says so.
    }
    return CreateFromString(std::move(text));
  }
  const std::string shown = PathText(path);
  int error = ENOENT;
  if (std::error_code exists; std::filesystem::exists(path, exists)) {
    for (int attempt = 1; attempt <= kReadAttempts; ++attempt) {
      try {
        return CreateFromString(ReadRegularFile(path, kJsonTextSpare));
      } catch (const std::exception&) {
        error = LastRegularFileError();
      }
      LogaFormat("[TAbstractJson.CreateFromFile] Warn:15839 RetryCnt:%d WinError:%d WinErrorMessage:[%s] Filename:[%s]",
                 attempt, platform::ErrorCodeOf(error), ErrorText(error), shown);
      if (attempt <= static_cast<int>(std::size(kRetryWaitsMs))) platform::SleepMs(kRetryWaitsMs[attempt - 1]);
    }
  }
  return std::make_unique<TInvalidJson>(fmt::sprintf("[TAbstractJson.CreateFromFile] WinError:%d WinErrorMessage:[%s] Filename:[%s]",
                                                     platform::ErrorCodeOf(error), ErrorText(error), shown));
}

bool TAbstractJson::IsObject() const { return dynamic_cast<const TJsonObject*>(this) != nullptr; }

bool TAbstractJson::IsArray() const { return dynamic_cast<const TJsonArray*>(this) != nullptr; }

TJsonArray& TAbstractJson::AsArray() { return dynamic_cast<TJsonArray&>(*this); }

TJsonObject& TAbstractJson::AsObject() { return dynamic_cast<TJsonObject&>(*this); }

const std::string& TAbstractJson::InvalidMessage() const {
  static const std::string kValid;
  return kValid;
}

bool TAbstractJson::IsInvalid() {
  for (size_t i = 0; i < SlotCount(); ++i) {
    if (TJsonAttribute(&Reached(Slot(i))).ContainsInvalid()) return true;
  }
  return false;
}

size_t TAbstractJson::Readable(std::string_view within) const {
  if (!text_ || text_->splitting != TJsonSplitting::Tokeniser) return 0;
  return static_cast<size_t>(text_->bytes.data() + text_->bytes.capacity() - within.data());
}

TJsonSlot& TAbstractJson::Reached(TJsonSlot& slot) {
  if (slot.decoded) return slot;
  slot.decoded = true;
  const std::string_view text = slot.source;
  if (text.empty()) {
    slot.type = atNull;
  } else if (text.front() == '"') {
    DecodeString(slot);
  } else if (text.front() == '{' || text.front() == '[') {
    if (depth_ + 1 > kMaxJsonDepth) {
      MarkInvalid(slot, "Invalid value: nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
      return slot;
    }
    try {
      TAbstractJson* child = nullptr;
      if (text.front() == '{') {
        child = new (text_->arena.AllocateArray<TJsonObject>(1)) TJsonObject(text_, text, depth_ + 1);
        slot.type = atObject;
      } else {
        child = new (text_->arena.AllocateArray<TJsonArray>(1)) TJsonArray(text_, text, depth_ + 1);
        slot.type = atArray;
      }
      child->inArena_ = true;
      slot.child = child;
    } catch (const std::exception& e) {
      MarkInvalid(slot, e.what());
    }
  } else if (text == "null") {
    slot.type = atNull;
  } else if (text == "true" || text == "false") {
    slot.type = atBoolean;
    slot.boolean = text == "true";
  } else if (ReadJsonNumber(text, slot.number)) {
    slot.type = atNumber;
    slot.writtenAsRead = IsWrittenAsRead(text);
  } else {
    MarkInvalid(slot, "Invalid value:" + std::string(text));
  }
  return slot;
}

void TAbstractJson::DecodeString(TJsonSlot& slot) {
  const std::string_view text = slot.source;
  if (text.size() >= 2 && text.back() == '"' && IsPlainAscii(text.substr(1, text.size() - 2))) {
    slot.type = atStringInBuffer;
    slot.string = {text.data() + 1, text.size() - 2};
    slot.writtenAsRead = true;
    return;
  }
  bool plain = false;
  if (text.size() >= 2 && text.back() == '"') {
    char* room = text_->arena.AllocateArray<char>(text.size() - 2);
    if (const std::optional<size_t> size = DecodedLatin1(text.substr(1, text.size() - 2), room, plain)) {
      slot.type = atStringInBuffer;
      slot.string = {room, *size};
      slot.writtenAsRead = plain;
      return;
    }
  }
  std::optional<std::string> utf8 = Unescaped(text, text_ && text_->validUtf8, &plain);
  TCodecError error;
  std::optional<std::string> value;
  if (!utf8) {
    MarkInvalid(slot, "Invalid value:" + std::string(text));
  } else if (FirstNonAscii(*utf8) == std::string_view::npos) {
    value = std::move(utf8);
  } else if (!(value = Utf8ToCp1252(*utf8, error))) {
    MarkInvalid(slot, CodecErrorText(error));
  }
  if (!value) return;
  slot.type = atStringInBuffer;
  const std::string_view kept = text_->arena.Copy(*value);
  slot.string = {kept.data(), kept.size()};
  // Windows-1252 and back gives the same UTF-8, so a string without escapes writes as it came.
  slot.writtenAsRead = plain;
}

std::string_view TAbstractJson::WrittenAsRead(TJsonSlot& slot, bool named) {
  Reached(slot);
  const bool literal = slot.type == atNull || slot.type == atBoolean;
  if (!(slot.writtenAsRead || (literal && !slot.source.empty()))) return {};
  if (!named) return slot.source;
  if (!slot.plainName) return {};
  // From the name's opening quote to the value's end, when nothing stands between them but the colon.
  const char* start = slot.nameData - 1;
  const size_t size = static_cast<size_t>(slot.source.data() + slot.source.size() - start);
  return size == slot.nameSize + 3 + slot.source.size() ? std::string_view(start, size) : std::string_view();
}

void TAbstractJson::WriteValue(std::string& out, TJsonSlot& slot, const TTextSink* sink) {
  Reached(slot);
  if (slot.writtenAsRead) {
    out += slot.source;
    return;
  }
  switch (slot.type) {
    case atNull: out += "null"; break;
    case atBoolean: out += slot.boolean ? "true" : "false"; break;
    case atNumber: out += NumberText(slot.number); break;
    case atStringInBuffer:
    case atStringOwned:
      out += '"';
      EscapeCp1252(out, slot.String());
      out += '"';
      break;
    case atObject:
    case atArray: slot.child->Save(out, sink); break;
    // Written back as it came, so that the file keeps what could not be read.
    case atInvalid: out += slot.source.empty() ? std::string_view("null") : slot.source; break;
  }
}

void TAbstractJson::SaveToStream(std::string& out) { Save(out, nullptr); }

void TAbstractJson::Save(std::string& out, const TTextSink* sink) {
  const char open = OpenText();
  // The bracket tells the class without a dynamic cast, which costs a name comparison per record.
  if (auto* array = open == '[' ? static_cast<TJsonArray*>(this) : nullptr;
      array && !array->reached_ && !array->source_.empty()) {
    out += array->source_;
    return;
  }
  out += open;
  // Neighbours that write as they came and stand in the text with nothing but a comma between them
  // are copied as one run of the text.
  const char* runStart = nullptr;
  const char* runEnd = nullptr;
  const bool named = open == '{';
  for (size_t i = 0; i < SlotCount(); ++i) {
    TJsonSlot& slot = Slot(i);
    const std::string_view asRead = WrittenAsRead(slot, named);
    if (runStart && !asRead.empty() && asRead.data() == runEnd + 1 && *runEnd == ',') {
      runEnd = asRead.data() + asRead.size();
      continue;
    }
    if (runStart) out.append(runStart, runEnd);
    runStart = nullptr;
    if (i > 0) out += ',';
    if (!asRead.empty()) {
      runStart = asRead.data();
      runEnd = runStart + asRead.size();
      continue;
    }
    if (named) {
      out += '"';
      Escape(out, slot.Name());
      out += "\":";
    }
    WriteValue(out, slot, sink);
    if (sink && out.size() >= kWriteChunk) {
      (*sink)(out);
      out.clear();
    }
  }
  if (runStart) out.append(runStart, runEnd);
  out += CloseText();
}

std::string TAbstractJson::AsText() {
  std::string out;
  // Written back compact, a document is seldom longer than its text.
  out.reserve(SourceSize() + SourceSize() / 16 + 64);
  SaveToStream(out);
  return out;
}

void TAbstractJson::SaveToFile(const std::string& path, const TFileIdentity* expected) {
  RewriteFileFrom(
      path,
      [&](const TTextSink& sink) {
        std::string chunk;
        chunk.reserve(2 * kWriteChunk);
        Save(chunk, &sink);
        sink(chunk);
      },
      expected);
}

std::unique_ptr<TAbstractJson> TAbstractJson::Clone() { return CreateFromString(AsText()); }

template <class TContainer>
void TAbstractJson::Split(TContainer& container, std::string_view source, int depth) {
  // The slots are gathered first, so that the container's own list is allocated once, at its size.
  std::vector<TJsonSlot>& gathered = Gathered();
  if (depth > 0 && container.text_->validUtf8) {
    container.SplitPlain(source, gathered);
  } else if (container.SplitTokenised(source, gathered)) {
    // The tokeniser checked the UTF-8 of all it read: for the outermost document that is the whole
    // text after the spaces before it.
    if (depth == 0) container.text_->validUtf8 = true;
  } else {
    gathered.clear();
    container.SplitPlain(source, gathered);
  }
  container.TakeGathered(gathered);
}

// TJsonObject.

std::unique_ptr<TJsonObject> TJsonObject::CreateEmpty(bool forceEmpty) {
  if (!forceEmpty) throw EInvalidJsonObject("TJsonObject: not ForceEmpty");
  return std::make_unique<TJsonObject>(std::make_shared<TJsonText>(), "{}", 0);
}

TJsonObject::TJsonObject(std::shared_ptr<TJsonText> text, std::string_view source, int depth)
    : TAbstractJson(std::move(text), depth) {
  if (source.empty() || source.front() != '{') throw EInvalidJsonObject("TJsonObject: null source");
  Split(*this, source, depth);
}

bool TJsonObject::ReadName(std::string_view token, bool utf8Known, TJsonSlot& slot) {
  if (token.size() > kMaxJsonNameSize) return false;
  const std::string_view inner = token.substr(1, token.size() - 2);
  if (token.size() >= 2 && token.back() == '"' && IsPlainAscii(inner)) {
    slot.SetName(inner);
    slot.plainName = true;
    return true;
  }
  const std::optional<std::string> name = Unescaped(token, utf8Known);
  if (!name) return false;
  slot.SetName(text_->arena.Copy(*name));
  return true;
}

bool TJsonObject::SplitTokenised(std::string_view source, std::vector<TJsonSlot>& members) {
  if (source.size() < kSmallestTokenised) return false;
  const bool utf8Known = text_ && text_->validUtf8;
  return Tokenised(source, Readable(source), [&](simdjson::ondemand::document& document) {
    simdjson::ondemand::object object;
    return document.get_object().get(object) == simdjson::SUCCESS &&
           WalkedMembers(object, source, 0, 0, source_, [&](std::string_view nameToken, std::string_view value) {
             TJsonSlot& member = members.emplace_back();
             member.source = value;
             return ReadName(nameToken, utf8Known, member);
           });
  });
}

void TJsonObject::SplitPlain(std::string_view source, std::vector<TJsonSlot>& members) {
  size_t pos = SkipWhite(source, 1);
  if (pos < source.size() && source[pos] == '}') {
    source_ = source.substr(0, pos + 1);
    return;
  }
  for (;;) {
    if (pos >= source.size() || source[pos] != '"') throw EInvalidJsonObject(Shown(source));
    const size_t nameEnd = SkipString(source, pos);
    if (nameEnd == kNone) throw EInvalidJsonObject(Shown(source));
    TJsonSlot member;
    const bool named = ReadName(source.substr(pos, nameEnd - pos), text_->validUtf8, member);
    pos = SkipWhite(source, nameEnd);
    if (!named || pos >= source.size() || source[pos] != ':') throw EInvalidJsonObject(Shown(source));
    const size_t valueStart = SkipWhite(source, pos + 1);
    const size_t valueEnd = ValueEnd(source, valueStart);
    if (valueEnd == kNone) throw EInvalidJsonObject(Shown(source));
    const std::string_view value = Trimmed(source.substr(valueStart, valueEnd - valueStart));
    if (value.empty() || source[valueEnd] == ']') throw EInvalidJsonObject(Shown(source));
    member.source = value;
    members.push_back(member);
    if (source[valueEnd] == '}') {
      source_ = source.substr(0, valueEnd + 1);
      return;
    }
    pos = SkipWhite(source, valueEnd + 1);
  }
}

std::string TJsonObject::NameAt(int index) const {
  if (index < 0 || index >= Count()) return {};
  return std::string(slots_[static_cast<size_t>(index)].Name());
}

int TJsonObject::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < slots_.Size(); ++i) {
    if (slots_[i].Name() == name) return static_cast<int>(i);
  }
  return -1;
}

TJsonAttribute TJsonObject::Item(int index) {
  if (index < 0 || index >= Count()) return TJsonAttribute();
  return TJsonAttribute(&Reached(slots_[static_cast<size_t>(index)]));
}

std::optional<TJsonAttribute> TJsonObject::Find(std::string_view name) {
  const int index = IndexOf(name);
  if (index < 0) return std::nullopt;
  return Item(index);
}

bool TJsonObject::DeleteAt(int index) {
  if (index < 0 || index >= Count()) return false;
  FreeValue(slots_[static_cast<size_t>(index)]);
  slots_.Erase(static_cast<size_t>(index));
  return true;
}

bool TJsonObject::Delete(std::string_view name) { return DeleteAt(IndexOf(name)); }

bool TJsonObject::Extract(std::string_view name, std::unique_ptr<TAbstractJson>* kept) {
  const int index = IndexOf(name);
  if (index < 0) return false;
  TJsonSlot& slot = slots_[static_cast<size_t>(index)];
  if (kept && (slot.type == atObject || slot.type == atArray || slot.type == atInvalid)) {
    kept->reset(slot.child);
    slot.type = atNull;
  }
  return DeleteAt(index);
}

int TJsonObject::Append(std::string_view name, TJsonSlot slot) {
  if (name.empty() || name.size() > kMaxJsonNameSize) return -1;
  while (Delete(name)) {
  }
  slot.SetName(text_->arena.Copy(name));
  slots_.Append(text_->arena, slot);
  return Count() - 1;
}

int TJsonObject::AddNull(std::string_view name) { return Append(name, NewSlot(atNull)); }

int TJsonObject::AddString(std::string_view name, std::string value) {
  TJsonSlot slot = NewSlot(atStringOwned);
  const std::string_view kept = text_->arena.Copy(value);
  slot.string = {kept.data(), kept.size()};
  return Append(name, slot);
}

int TJsonObject::AddNumber(std::string_view name, long double value) {
  if (std::isnan(value)) return AddNull(name);
  TJsonSlot slot = NewSlot(atNumber);
  slot.number = value;
  return Append(name, slot);
}

int TJsonObject::AddBoolean(std::string_view name, bool value) {
  TJsonSlot slot = NewSlot(atBoolean);
  slot.boolean = value;
  return Append(name, slot);
}

int TJsonObject::AddObject(std::string_view name, std::unique_ptr<TJsonObject> object) {
  if (!object) return AddNull(name);
  TJsonSlot slot = NewSlot(atObject);
  slot.child = object.release();
  return Append(name, slot);
}

int TJsonObject::AddArray(std::string_view name, std::unique_ptr<TJsonArray> array) {
  if (!array) return AddNull(name);
  TJsonSlot slot = NewSlot(atArray);
  slot.child = array.release();
  return Append(name, slot);
}

bool TJsonObject::TryGetString(std::string_view name, std::string& value) {
  const std::optional<TJsonAttribute> found = Find(name);
  if (!found || !found->IsString()) return false;
  value = found->AsString();
  return true;
}

bool TJsonObject::TryGetArray(std::string_view name, TJsonArray*& value) {
  const std::optional<TJsonAttribute> found = Find(name);
  if (!found || !found->IsArray()) return false;
  value = &found->AsArray();
  return true;
}

bool TJsonObject::TryGetNumber(std::string_view name, long double& value) {
  const std::optional<TJsonAttribute> found = Find(name);
  if (!found) return false;
  if (found->IsNumber()) {
    value = found->AsNumber();
    return true;
  }
  if (!found->IsString()) return false;
  std::string_view text = found->AsString();
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  const std::optional<double> number = ParseDecimal(text);
  if (number) value = *number;
  return number.has_value();
}

bool TJsonObject::TryGetInteger(std::string_view name, int32_t& value) {
  long double number = 0;
  if (!TryGetNumber(name, number)) return false;
  // Halves go to the even neighbour, the default rounding of the floating-point unit.
  const long double rounded = std::nearbyint(number);
  if (rounded < INT32_MIN || rounded > INT32_MAX) return false;
  value = static_cast<int32_t>(rounded);
  return true;
}

std::string TJsonObject::GetString(std::string_view name, bool& found) {
  std::string value;
  found = TryGetString(name, value);
  return value;
}

TJsonArray* TJsonObject::GetArray(std::string_view name, bool& found) {
  TJsonArray* value = nullptr;
  found = TryGetArray(name, value);
  return value;
}

long double TJsonObject::GetNumber(std::string_view name, bool& found) {
  long double value = 0;
  found = TryGetNumber(name, value);
  return value;
}

int32_t TJsonObject::GetInteger(std::string_view name, bool& found) {
  int32_t value = 0;
  found = TryGetInteger(name, value);
  return found ? value : 0;
}

uint16_t TJsonObject::GetWord(std::string_view name, bool& found) {
  long double value = 0;
  found = TryGetNumber(name, value) && std::isfinite(value) && std::fabs(value) < 9.2e18L;
  return found ? static_cast<uint16_t>(static_cast<int64_t>(std::nearbyint(value))) : 0;
}

// TJsonArray.

std::unique_ptr<TJsonArray> TJsonArray::CreateEmpty(bool forceEmpty) {
  if (!forceEmpty) throw EInvalidJsonArray("TJsonObject: not ForceEmpty");
  return std::make_unique<TJsonArray>(std::make_shared<TJsonText>(), "[]", 0);
}

TJsonArray::TJsonArray(std::shared_ptr<TJsonText> text, std::string_view source, int depth)
    : TAbstractJson(std::move(text), depth) {
  if (source.empty() || source.front() != '[') throw EInvalidJsonArray("TJsonArray: null source");
  Split(*this, source, depth);
}

bool TJsonArray::SplitTokenised(std::string_view source, std::vector<TJsonSlot>& items) {
  if (source.size() < kSmallestTokenised) return false;
  return Tokenised(source, Readable(source), [&](simdjson::ondemand::document& document) {
    simdjson::ondemand::array array;
    return document.get_array().get(array) == simdjson::SUCCESS &&
           WalkedItems(array, source, 0, 0, source_, [&](std::string_view item) {
             items.emplace_back().source = item;
             return true;
           });
  });
}

void TJsonArray::SplitPlain(std::string_view source, std::vector<TJsonSlot>& items) {
  size_t pos = SkipWhite(source, 1);
  if (pos < source.size() && source[pos] == ']') {
    // An array the program made has no text to write again.
    source_ = text_->bytes.empty() ? std::string_view() : source.substr(0, pos + 1);
    return;
  }
  for (;;) {
    const size_t end = ValueEnd(source, pos);
    if (end == kNone || source[end] == '}') throw EInvalidJsonArray(Shown(source));
    const std::string_view item = Trimmed(source.substr(pos, end - pos));
    if (item.empty()) throw EInvalidJsonArray(Shown(source));
    items.emplace_back().source = item;
    if (source[end] == ']') {
      source_ = source.substr(0, end + 1);
      return;
    }
    pos = end + 1;
  }
}

TJsonAttribute TJsonArray::Item(int index) {
  if (index < 0 || index >= Count()) return TJsonAttribute();
  reached_ = true;
  return TJsonAttribute(&Reached(slots_[static_cast<size_t>(index)]));
}

TJsonObject* TJsonArray::GetObject(int index, bool& found) {
  const TJsonAttribute item = Item(index);
  found = item.IsObject();
  return found ? &item.AsObject() : nullptr;
}

int TJsonArray::AddNull() {
  reached_ = true;
  slots_.Append(text_->arena, NewSlot(atNull));
  return Count() - 1;
}

int TJsonArray::AddObject(std::unique_ptr<TJsonObject> object) {
  const int index = AddNull();
  if (object) {
    TJsonSlot& slot = slots_[static_cast<size_t>(index)];
    slot.type = atObject;
    slot.child = object.release();
  }
  return index;
}

bool TJsonArray::DeleteAt(int index) {
  if (index < 0 || index >= Count()) return false;
  reached_ = true;
  FreeValue(slots_[static_cast<size_t>(index)]);
  slots_.Erase(static_cast<size_t>(index));
  return true;
}


// Helpers.

bool HasKind(TJsonObject& object, std::string_view name, TAttributeType kind) {
  const std::optional<TJsonAttribute> found = object.Find(name);
  if (!found) return false;
  switch (kind) {
    case jatInvalid: return found->IsInvalidValue();
    case jatNull: return found->IsNull();
    case jatString: return found->IsString();
    case jatNumber: return found->IsNumber();
    case jatBoolean: return found->IsBoolean();
    case jatObject: return found->IsObject();
    case jatArray: return found->IsArray();
    case jatDate: {
      if (!found->IsString()) return false;
      const std::string_view text = found->AsString();
      auto digits = [&](size_t from, size_t count, int& value) {
        value = 0;
        for (size_t i = from; i < from + count; ++i) {
          if (text[i] < '0' || text[i] > '9') return false;
          value = value * 10 + (text[i] - '0');
        }
        return true;
      };
      const auto isSeparator = [](char c) {
        return !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
      };
      TCalendarDate date;
      return text.size() == 10 && text[4] == text[7] && isSeparator(text[4]) && digits(0, 4, date.year) &&
             digits(5, 2, date.month) && digits(8, 2, date.day) && DayNumberFromDate(date).has_value();
    }
  }
  return false;
}

}  // namespace zi

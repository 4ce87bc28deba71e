#pragma once
// The MsgQQ messages: a byte string built from a line of typed fields, for the server's data log.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "toolbox/own_codes.h"

namespace zi {

inline constexpr int kMsgQQTextTooLong = 31107;
inline constexpr int kMsgQQUnknownType = 31108;
inline constexpr int kMsgQQBadTypeToken = 31109;

// The line is a sequence of fields "letter:value" separated by blanks or tabs; a value may be quoted
// with ' or " (the quotes removed). Letters, case-insensitive, append (integers little-endian):
//   A  4-byte length, then the text     T  the text only      S  1-byte length, then the text (<= 255)
//   B  1-byte integer   W  2-byte integer   I, L  4-byte integer   R  6-byte real (EncodeReal48)
// An integer may be written signed or unsigned within its width. The line is program text.
// Logs what it received and what it made (or why it failed). On failure the message is empty and
// code says why; an empty line succeeds with an empty message.
bool ParseMsgQQText(std::string_view line, std::string& message, int& code);

// The 48-bit real: byte 0 the exponent biased by 129 (0 for the value 0), then 39 bits of mantissa
// without its leading 1, little-endian, the sign in the top bit of byte 5. Rounded to nearest (ties
// to even); nullopt for a value that is not finite or whose exponent does not fit (magnitudes
// below 2^-128 or from 2^127 on).
std::optional<std::array<uint8_t, 6>> EncodeReal48(double value);

// Two upper-case hexadecimal digits per byte.
std::string HexOfBytes(std::string_view bytes);

}  // namespace zi

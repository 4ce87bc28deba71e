#pragma once
// Text inside the program is Windows-1252 bytes; UTF-8 exists only at the edges (files, log, user
// interface, embedded database). Every conversion between the two goes through here.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zi {

// Where and why a UTF-8 text could not become Windows-1252.
struct TCodecError {
  size_t offset = 0;       // byte offset of the first failing character
  char32_t codePoint = 0;  // the character Windows-1252 cannot hold; 0 for malformed UTF-8
};

// Total: the five bytes Windows-1252 leaves undefined become U+0081, U+008D, U+008F, U+0090 and
// U+009D, as the platform's own conversion does, so that every byte survives a round trip.
std::string Cp1252ToUtf8(std::string_view cp1252);

// nullopt on malformed UTF-8 or on a character Windows-1252 cannot hold.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);
std::optional<std::string> Utf8ToCp1252(std::string_view utf8, TCodecError& error);
// For text that must be shown whatever it holds: a character Windows-1252 cannot hold, and each
// byte of malformed UTF-8, becomes '?'.
std::string Utf8ToCp1252Lossy(std::string_view utf8);

// A file name as the system gave it, as program text for a log line or a message: UTF-8 is
// converted (a character Windows-1252 cannot hold becomes '?'); other bytes are shown as they are.
// Only for showing: the file is always opened by its own bytes.
std::string PathText(std::string_view systemBytes);

// An English sentence naming the failure and its position, for the line that failed.
std::string CodecErrorText(const TCodecError& error);

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);
bool HasNonAscii(std::string_view text);
// The offset of the first byte above 0x7F; npos when there is none.
size_t FirstNonAscii(std::string_view text);

enum class TTextEncoding { Cp1252, Utf8 };

// What an import text file looks like: UTF-8 when it starts with a byte-order mark, or when it is
// valid UTF-8 and holds non-ASCII. Only a look: a file is read in the encoding its user names.
TTextEncoding DetectImportEncoding(std::string_view fileBytes);
bool StartsWithUtf8Bom(std::string_view bytes);
std::string_view DropUtf8Bom(std::string_view bytes);

// How an import text file is read. Unchosen reads Windows-1252, the format's own code page, but
// refuses a file that looks like UTF-8: read either way it could store other names than its user
// meant, so its user must say.
enum class TImportEncoding { Unchosen, Utf8, Windows1252 };
// The names of the "encoding" switch: "utf-8" or "windows-1252", in either case; nullopt for any
// other.
std::optional<TImportEncoding> ImportEncodingNamed(std::string_view name);
// "utf-8", "windows-1252", or "" for Unchosen.
const char* ImportEncodingName(TImportEncoding encoding);

}  // namespace zi

#pragma once
// The pattern matching of the server's LIKE, which the client's search texts are written for:
// "%" any run of characters, "_" one character, "[abc]" and "[a-c]" one character of a class,
// "[^abc]" one character outside it. Letters compare without regard to case (Windows-1252 letters
// included) but with regard to accents, as the server's default collation does; SQLite's own LIKE
// knows no classes and folds ASCII letters only.

#include <string_view>

namespace zi::server {

// Whether the whole text matches the pattern (both Windows-1252). A "[" that is never closed stands
// for itself.
bool MatchesLike(std::string_view text, std::string_view pattern);

}  // namespace zi::server

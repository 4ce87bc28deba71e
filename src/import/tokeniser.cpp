#include "import/tokeniser.h"

#include <cstring>

namespace zi {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// A quoted token runs to the same quote character, or to the end of the line without one; the
// scan goes on right after the closing quote.
void tParserSpcDelim::AppendTokens(std::string_view text, std::vector<std::string_view>& tokens) {
  const char* at = text.data();
  const char* const end = at + text.size();
  for (;;) {
    while (at != end && IsBlank(*at)) ++at;
    if (at == end) return;
    if (*at == '"' || *at == '\'') {
      const char quote = *at++;
      const char* const close = static_cast<const char*>(std::memchr(at, quote, static_cast<size_t>(end - at)));
      const char* const stop = close ? close : end;
      tokens.emplace_back(at, static_cast<size_t>(stop - at));
      at = close ? close + 1 : end;
      continue;
    }
    const char* const first = at;
    while (at != end && !IsBlank(*at)) ++at;
    tokens.emplace_back(first, static_cast<size_t>(at - first));
  }
}

// Every delimiter ends a token, so "a--b-" gives "a", "", "b" and "", and an empty text one empty
// token.
void tParserChrDelim::AppendTokens(std::string_view text, std::vector<std::string_view>& tokens) {
  for (size_t position = 0;;) {
    const size_t at = text.find(delimiter_, position);
    if (at == std::string_view::npos) {
      tokens.push_back(text.substr(position));
      return;
    }
    tokens.push_back(text.substr(position, at - position));
    position = at + 1;
  }
}

void tParserWrapper::Parse(std::string_view line) {
  tokens_.clear();
  cursor_ = 0;
  parser_->AppendTokens(line, tokens_);
}

std::string_view tParserWrapper::Token(int i) {
  cursor_ = i + 1;
  if (i < 0 || i >= Count()) return {};
  return tokens_[static_cast<size_t>(i)];
}

std::vector<std::string> SplitTokens(tParserRoot& parser, std::string_view text) {
  std::vector<std::string_view> views;
  parser.AppendTokens(text, views);
  return {views.begin(), views.end()};
}

}  // namespace zi

#include "import/tokeniser.h"

namespace zi {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void tParserRoot::SetText(std::string_view text) {
  text_ = text;
  position_ = 0;
  done_ = false;
}

// Beside its steps, so that they are compiled into its loop: every line of a file passes here.
void tParserSpcDelim::AppendTokens(std::string_view text, std::vector<std::string_view>& tokens) {
  AppendEach(*this, text, tokens);
}

void tParserSpcDelim::SkipDelimiters() {
  while (position_ < text_.size() && IsBlank(text_[position_])) ++position_;
}

// A quoted token runs to the same quote character, or to the end of the line without one; the
// scan goes on right after the closing quote.
bool tParserSpcDelim::NextExtent(size_t& start, size_t& length) {
  if (position_ >= text_.size()) return false;
  const char first = text_[position_];
  if (first == '"' || first == '\'') {
    start = position_ + 1;
    const size_t close = text_.find(first, start);
    const size_t stop = close == std::string_view::npos ? text_.size() : close;
    length = stop - start;
    position_ = close == std::string_view::npos ? stop : close + 1;
    return true;
  }
  start = position_;
  while (position_ < text_.size() && !IsBlank(text_[position_])) ++position_;
  length = position_ - start;
  return true;
}

// Every delimiter ends a token, so "a--b-" gives "a", "", "b" and "", and an empty text one empty
// token.
bool tParserChrDelim::NextExtent(size_t& start, size_t& length) {
  if (done_) return false;
  start = position_;
  const size_t at = text_.find(delimiter_, position_);
  const size_t stop = at == std::string_view::npos ? text_.size() : at;
  length = stop - start;
  done_ = at == std::string_view::npos;
  position_ = stop + 1;
  return true;
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

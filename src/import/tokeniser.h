#pragma once
// The tokenisers of import lines. tParserSpcDelim splits a directive line at runs of spaces and
// tabs, with quoted tokens ("..." or '...', no escapes); tParserChrDelim splits a field at every
// occurrence of one character. tParserWrapper keeps the tokens of the current line and a cursor.
// Every token is a stretch of its line (quotes are only ever at its ends), so tokens are views into
// the line, which must outlive them.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zi {

class tParserRoot {
 public:
  virtual ~tParserRoot() = default;

  // Appends every token of a text.
  virtual void AppendTokens(std::string_view text, std::vector<std::string_view>& tokens) = 0;
};

// Every line of a file passes here: the scan runs over the line's bytes in one loop.
class tParserSpcDelim final : public tParserRoot {
 public:
  void AppendTokens(std::string_view text, std::vector<std::string_view>& tokens) override;
};

class tParserChrDelim final : public tParserRoot {
 public:
  explicit tParserChrDelim(char delimiter) : delimiter_(delimiter) {}
  void AppendTokens(std::string_view text, std::vector<std::string_view>& tokens) override;

 private:
  char delimiter_;
};

class tParserWrapper {
 public:
  explicit tParserWrapper(std::unique_ptr<tParserRoot> parser) : parser_(std::move(parser)) {}

  // Replaces the tokens with those of the line, which must outlive them; the cursor goes to 0.
  void Parse(std::string_view line);
  int Count() const { return static_cast<int>(tokens_.size()); }
  // Token i, or the empty text when i is outside the list; the cursor moves to i + 1.
  std::string_view Token(int i);
  void SetCursor(int i) { cursor_ = i; }
  std::string_view NextToken() { return Token(cursor_); }

 private:
  std::unique_ptr<tParserRoot> parser_;
  std::vector<std::string_view> tokens_;
  int cursor_ = 0;
};

// The tokens of a text split by a tokeniser, as a list.
std::vector<std::string> SplitTokens(tParserRoot& parser, std::string_view text);

}  // namespace zi

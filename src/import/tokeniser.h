#pragma once
// The tokenisers of import lines. tParserSpcDelim splits a directive line at runs of spaces and
// tabs, with quoted tokens ("..." or '...', no escapes); tParserChrDelim splits a field at every
// occurrence of one character. tParserWrapper keeps the tokens of the current line and a cursor.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zi {

class tParserRoot {
 public:
  virtual ~tParserRoot() = default;

  void SetText(std::string_view text);
  // The next token; false when the text holds no more.
  bool Next(std::string_view& token);

 protected:
  // Advances the position past delimiters.
  virtual void SkipDelimiters() = 0;
  // The extent of the next token from the position, which it moves past the token; false when
  // there is none.
  virtual bool NextExtent(size_t& start, size_t& length) = 0;

  std::string_view text_;
  size_t position_ = 0;
  bool done_ = false;
};

class tParserSpcDelim : public tParserRoot {
 protected:
  void SkipDelimiters() override;
  bool NextExtent(size_t& start, size_t& length) override;
};

class tParserChrDelim : public tParserRoot {
 public:
  explicit tParserChrDelim(char delimiter) : delimiter_(delimiter) {}

 protected:
  void SkipDelimiters() override {}
  bool NextExtent(size_t& start, size_t& length) override;

 private:
  char delimiter_;
};

class tParserWrapper {
 public:
  explicit tParserWrapper(std::unique_ptr<tParserRoot> parser) : parser_(std::move(parser)) {}

  // Replaces the tokens with those of the line; the cursor goes to 0.
  void Parse(std::string_view line);
  int Count() const { return count_; }
  // Token i, or the empty text when i is outside the list; the cursor moves to i + 1.
  const std::string& Token(int i);
  void SetCursor(int i) { cursor_ = i; }
  const std::string& NextToken() { return Token(cursor_); }

 private:
  std::unique_ptr<tParserRoot> parser_;
  // Strings are reused from line to line, so that a long file costs no allocation per token.
  std::vector<std::string> tokens_;
  int count_ = 0;
  int cursor_ = 0;
};

// The tokens of a text split by a tokeniser, as a list.
std::vector<std::string> SplitTokens(tParserRoot& parser, std::string_view text);

}  // namespace zi

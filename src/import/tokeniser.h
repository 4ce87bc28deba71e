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

  void SetText(std::string_view text);
  // Appends every token of a text.
  virtual void AppendTokens(std::string_view text, std::vector<std::string_view>& tokens) {
    AppendEach(*this, text, tokens);
  }

 protected:
  // Advances the position past delimiters.
  virtual void SkipDelimiters() = 0;
  // The extent of the next token from the position, which it moves past the token; false when
  // there is none.
  virtual bool NextExtent(size_t& start, size_t& length) = 0;

  // The loop over the steps, for the parser's own type: a final type's steps are then called
  // directly, which matters for the tokeniser that every line of a file passes through.
  template <typename Parser>
  static void AppendEach(Parser& parser, std::string_view text, std::vector<std::string_view>& tokens) {
    parser.SetText(text);
    size_t start = 0;
    size_t length = 0;
    for (;;) {
      parser.SkipDelimiters();
      if (!parser.NextExtent(start, length)) return;
      tokens.push_back(text.substr(start, length));
    }
  }

  std::string_view text_;
  size_t position_ = 0;
  bool done_ = false;
};

class tParserSpcDelim final : public tParserRoot {
 public:
  void AppendTokens(std::string_view text, std::vector<std::string_view>& tokens) override;

 protected:
  friend class tParserRoot;
  void SkipDelimiters() override;
  bool NextExtent(size_t& start, size_t& length) override;
};

class tParserChrDelim final : public tParserRoot {
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

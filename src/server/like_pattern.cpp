#include "server/like_pattern.h"

#include <vector>

namespace zi::server {

namespace {

// Windows-1252 lower case: ASCII, the Latin-1 capitals (but the multiplication sign) and the four
// capitals of 0x8A..0x9F.
unsigned char Folded(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<unsigned char>(u + 32);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<unsigned char>(u + 32);
  if (u == 0x8A || u == 0x8C || u == 0x8E) return static_cast<unsigned char>(u + 16);
  if (u == 0x9F) return 0xFF;
  return u;
}

// One element of a pattern: a literal, any character, or a class.
struct Element {
  enum class Kind { Literal, AnyOne, AnyRun, Class } kind = Kind::Literal;
  unsigned char literal = 0;
  bool negated = false;
  std::vector<std::pair<unsigned char, unsigned char>> ranges;

  bool Matches(unsigned char c) const {
    switch (kind) {
      case Kind::Literal: return c == literal;
      case Kind::AnyOne: return true;
      case Kind::AnyRun: return true;
      case Kind::Class: {
        bool in = false;
        for (const auto& [low, high] : ranges) in = in || (c >= low && c <= high);
        return in != negated;
      }
    }
    return false;
  }
};

// The class that begins at pattern[open] ("["); false when it is never closed.
bool ReadClass(std::string_view pattern, size_t open, Element& element, size_t& next) {
  const size_t close = pattern.find(']', open + 1);
  if (close == std::string_view::npos) return false;
  element.kind = Element::Kind::Class;
  size_t i = open + 1;
  if (i < close && pattern[i] == '^') {
    element.negated = true;
    ++i;
  }
  while (i < close) {
    const unsigned char low = Folded(pattern[i]);
    if (i + 2 < close && pattern[i + 1] == '-') {
      element.ranges.emplace_back(low, Folded(pattern[i + 2]));
      i += 3;
    } else {
      element.ranges.emplace_back(low, low);
      ++i;
    }
  }
  next = close + 1;
  return true;
}

std::vector<Element> Compile(std::string_view pattern) {
  std::vector<Element> elements;
  for (size_t i = 0; i < pattern.size();) {
    Element element;
    size_t next = i + 1;
    if (pattern[i] == '%') {
      element.kind = Element::Kind::AnyRun;
      if (!elements.empty() && elements.back().kind == Element::Kind::AnyRun) {
        i = next;
        continue;
      }
    } else if (pattern[i] == '_') {
      element.kind = Element::Kind::AnyOne;
    } else if (pattern[i] != '[' || !ReadClass(pattern, i, element, next)) {
      element.literal = Folded(pattern[i]);
    }
    elements.push_back(std::move(element));
    i = next;
  }
  return elements;
}

}  // namespace

bool MatchesLike(std::string_view text, std::string_view pattern) {
  const std::vector<Element> elements = Compile(pattern);
  // Greedy with one backtrack point, the last "%": linear enough for the short texts searched.
  size_t t = 0;
  size_t e = 0;
  size_t starE = std::string_view::npos;
  size_t starT = 0;
  while (t < text.size()) {
    if (e < elements.size() && elements[e].kind == Element::Kind::AnyRun) {
      starE = e++;
      starT = t;
    } else if (e < elements.size() && elements[e].Matches(Folded(text[t]))) {
      ++e;
      ++t;
    } else if (starE != std::string_view::npos) {
      e = starE + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (e < elements.size() && elements[e].kind == Element::Kind::AnyRun) ++e;
  return e == elements.size();
}

}  // namespace zi::server

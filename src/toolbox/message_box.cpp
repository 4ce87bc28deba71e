#include "toolbox/message_box.h"

#include <cstdio>

#include "toolbox/codec.h"

namespace zi {

namespace {

void ToStandardError(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", Cp1252ToUtf8(caption).c_str(), Cp1252ToUtf8(text).c_str());
}

ErrorBoxHandler& Handler() {
  static ErrorBoxHandler handler = ToStandardError;
  return handler;
}

}  // namespace

void ShowErrorBox(const std::string& caption, const std::string& text) { Handler()(caption, text); }

void SetErrorBoxHandler(ErrorBoxHandler handler) { Handler() = handler ? std::move(handler) : ToStandardError; }

}  // namespace zi

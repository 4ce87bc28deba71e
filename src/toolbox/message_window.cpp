#include "toolbox/message_window.h"

#include <cstdio>

#include "toolbox/codec.h"

namespace zi {

namespace {

class ConsoleMessageWindow : public TMessageWindow {
 public:
  explicit ConsoleMessageWindow(std::string caption) : caption_(std::move(caption)) {}

  void SetLine(int line, const std::string& text) override {
    if (line < 1 || line > 4) return;
    std::fprintf(stderr, "%s: %s\n", Cp1252ToUtf8(caption_).c_str(), Cp1252ToUtf8(text).c_str());
  }
  void Close() override {}

 private:
  std::string caption_;
};

MessageWindowFactory& Factory() {
  static MessageWindowFactory factory = [](const std::string& caption) -> std::unique_ptr<TMessageWindow> {
    return std::make_unique<ConsoleMessageWindow>(caption);
  };
  return factory;
}

}  // namespace

std::unique_ptr<TMessageWindow> CreateMessageWindow(const std::string& caption) { return Factory()(caption); }

void SetMessageWindowFactory(MessageWindowFactory factory) { Factory() = std::move(factory); }

}  // namespace zi

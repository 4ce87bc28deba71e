#pragma once
// The small status window of long operations (login, reconnection, exports): a caption and four
// lines. The desktop shows a real window; unattended runs write the lines to standard error.

#include <functional>
#include <memory>
#include <string>

namespace zi {

class TMessageWindow {
 public:
  virtual ~TMessageWindow() = default;
  // Writes line n (1 to 4) and clears the lines below it.
  virtual void SetLine(int line, const std::string& text) = 0;
  virtual void Close() = 0;
};

using MessageWindowFactory = std::function<std::unique_ptr<TMessageWindow>(const std::string& caption)>;

// Opens a window with the given caption through the factory the front end installed.
std::unique_ptr<TMessageWindow> CreateMessageWindow(const std::string& caption);
void SetMessageWindowFactory(MessageWindowFactory factory);

}  // namespace zi

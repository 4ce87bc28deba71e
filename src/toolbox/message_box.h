#pragma once
// Error and warning boxes. The desktop shows them modally; unattended runs write them to standard
// error, where nobody has to click them away.

#include <functional>
#include <string>

namespace zi {

void ShowErrorBox(const std::string& caption, const std::string& text);

using ErrorBoxHandler = std::function<void(const std::string& caption, const std::string& text)>;
// Installs how boxes appear; an empty handler restores standard error.
void SetErrorBoxHandler(ErrorBoxHandler handler);

}  // namespace zi

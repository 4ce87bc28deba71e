#pragma once
// Texts of error codes, and the SQL error box that shows one with the last lines of the log.

#include <memory>
#include <string>

namespace zi::db {

class TDbCommand;

// "<text> error:<code>" for a code in the message table, otherwise "error:<code>".
std::string SqlErrorText(int code);

// Where the SQL error box appears: the desktop shows a modal box, unattended runs write to
// standard error.
class TSqlErrorBox {
 public:
  virtual ~TSqlErrorBox() = default;
  virtual void Show(const std::string& caption, const std::string& text) = 0;
};
// Installs the box; none restores standard error.
void SetSqlErrorBox(std::unique_ptr<TSqlErrorBox> box);

// Logs and shows a failed call's code; nothing for 0.
void ShowSqlErrorTxt(const std::string& where, int code);
void ShowSqlErrorTxt(const TDbCommand& command, int code);

// The box's text: the code's text and the last lines of the log.
std::string SqlErrorBoxText(int code);

}  // namespace zi::db

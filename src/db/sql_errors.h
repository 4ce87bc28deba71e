#pragma once
// Texts of error codes, and the SQL error box that shows one with the last lines of the log.

#include <string>

namespace zi::db {

class TDbCommand;

// "<text> error:<code>" for a code in the message table or one of our own codes (own_codes.h),
// otherwise "error:<code>".
std::string SqlErrorText(int code);

// Logs a failed call's code and shows it in an error box with the last lines of the log; nothing
// for 0.
void ShowSqlErrorTxt(const std::string& where, int code);
void ShowSqlErrorTxt(const TDbCommand& command, int code);

// The box's text: the code's text and the last lines of the log.
std::string SqlErrorBoxText(int code);

}  // namespace zi::db

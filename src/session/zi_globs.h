#pragma once
// Start and end of the session unit: switches read once, the mail relay, output redirection, and
// the orderly release of the connection at the end of the process.

#include <string>

namespace zi {

// Runs once; registers ZiGlobsEnd to run at the end of the process.
void ZiGlobsStart();
void ZiGlobsEnd();

// Sends standard output to the end of the file (the system's bytes; created when missing); on
// failure logs and keeps standard output as it was.
void RedirectOutput(const std::string& file);

// The command-line login of the unattended modes: allowed once per process.
void CliLogin();
// 0 after a successful CliLogin, else 3775.
int CliLoginCode();
inline constexpr int kCliLoginFailed = 3775;

}  // namespace zi

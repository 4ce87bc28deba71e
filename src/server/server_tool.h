#pragma once
// The administration tool of the embedded database, zorinput-server.

#include <ostream>
#include <string>
#include <vector>

namespace zi::server {

// "init [--demo] FILE" creates (or brings up to date) a database, with --demo then adds the demo
// catalogue to it; "dump FILE" prints its contents;
// "useradd FILE NAME [options]" adds a user whose password is in the environment variable
// ZORINPUT_PASSWORD. Returns the exit status: 0 done, 1 failed, 2 not understood (the usage goes
// to err).
int RunServerTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zi::server

#pragma once
// The "checkserver" run mode: before a site points the program at its own server, it can learn
// whether that server has every procedure the program calls, with every parameter it passes.

#include <string>
#include <vector>

#include "db/driver.h"

namespace zi::server {
class Registry;
}

namespace zi::app {

struct ServerCheck {
  std::vector<std::string> lines;  // one per shortfall, then the summary
  int missingProcedures = 0;
  int lackingParameters = 0;
};

// The procedures are those the embedded server declares: the one list of what the program calls.
ServerCheck CheckServerProcedures(db::Driver& driver, const server::Registry& registry);

// After the login: the check of the session's server, printed and logged; 0 when nothing lacks.
int CheckServer();

}  // namespace zi::app

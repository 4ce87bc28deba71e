#include "app/check_server.h"

#include <algorithm>
#include <cstdio>

#include "db/connection.h"
#include "server/server.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi::app {

ServerCheck CheckServerProcedures(db::Driver& driver, const server::Registry& registry) {
  ServerCheck check;
  const std::vector<std::string> names = registry.Names();
  for (const std::string& name : names) {
    std::vector<db::ParamDesc> described;
    try {
      described = driver.DescribeProcedure(name);
    } catch (const std::exception& e) {
      ++check.missingProcedures;
      check.lines.push_back("checkserver: procedure " + name + " is missing (" + e.what() + ")");
      continue;
    }
    bool lacks = false;
    for (const server::ParamInfo& param : registry.Find(name)->params) {
      const bool found = std::any_of(described.begin(), described.end(),
                                     [&](const db::ParamDesc& d) { return SameTextAscii(d.name, param.name); });
      if (found) continue;
      lacks = true;
      check.lines.push_back("checkserver: procedure " + name + " lacks parameter " + param.name);
    }
    if (lacks) ++check.lackingParameters;
  }
  std::string summary = "checkserver: " + std::to_string(names.size()) + " procedures checked: ";
  if (check.missingProcedures == 0 && check.lackingParameters == 0) {
    summary += "all present";
  } else {
    summary += std::to_string(check.missingProcedures) + " missing, " + std::to_string(check.lackingParameters) +
               " lacking parameters";
  }
  check.lines.push_back(summary);
  return check;
}

int CheckServer() {
  const ServerCheck check = CheckServerProcedures(db::ZiDb().GetDriver(), server::ProductRegistry());
  for (const std::string& line : check.lines) {
    Loga(line);
    std::printf("%s\n", Cp1252ToUtf8(line).c_str());
  }
  std::fflush(stdout);
  return check.missingProcedures == 0 && check.lackingParameters == 0 ? 0 : kServerLacksProcedures;
}

}  // namespace zi::app

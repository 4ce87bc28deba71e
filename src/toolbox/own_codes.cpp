#include "toolbox/own_codes.h"

#include <map>

namespace zi {

const char* OwnCodeText(int code) {
  static const std::map<int, const char*> table = {
      {kModeNotAvailable, "This run mode is not available in this build"},
      {kProviderNotAvailable, "This database provider is not available in this build"},
      {kDatabaseBusy, "Another process is writing to the database; try again later"},
  };
  const auto it = table.find(code);
  return it == table.end() ? nullptr : it->second;
}

}  // namespace zi

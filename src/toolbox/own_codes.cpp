#include "toolbox/own_codes.h"

#include <map>

namespace zi {

const char* OwnCodeText(int code) {
  static const std::map<int, const char*> table = {
      {kModeNotAvailable, "This run mode is not available in this build"},
      {kProviderNotAvailable, "This database provider is not available in this build"},
      {kLogNotARegularFile, "The log file is not a regular file (a FIFO or a device)"},
      {kImportLineNotText, "The line is not text this program can hold"},
      {kDirectiveNotAvailable, "This directive is not available in this build"},
      {kDirectiveRaised, "A directive failed with an unexpected error"},
      {kRemoteImportNotAvailable, "Remote import is not available in this build"},
  };
  const auto it = table.find(code);
  return it == table.end() ? nullptr : it->second;
}

}  // namespace zi

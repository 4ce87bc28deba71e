#include "toolbox/server_version.h"

#include <array>

namespace zi {

namespace {

// Index i + 1 for entry i; version 7.0 really has two blanks after "Server".
constexpr std::array<std::string_view, 9> kVersionPrefixes = {
    "Microsoft SQL Server  7.00", "Microsoft SQL Server 2000", "Microsoft SQL Server 2005",
    "Microsoft SQL Server 2008",  "Microsoft SQL Server 2012", "Microsoft SQL Server 2014",
    "Microsoft SQL Server 2016",  "Microsoft SQL Server 2017", "Microsoft SQL Server 2019",
};

}  // namespace

int ServerVersionIndex(std::string_view versionText) {
  for (size_t i = 0; i < kVersionPrefixes.size(); ++i) {
    if (versionText.starts_with(kVersionPrefixes[i])) return static_cast<int>(i) + 1;
  }
  return 0;
}

const char* ReturnValueName(int index) { return index < 2 ? "RETURN_VALUE" : "@RETURN_VALUE"; }

}  // namespace zi

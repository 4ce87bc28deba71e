#pragma once
// What a dry run says at its end: what it would have changed, and that it was rolled back. The
// command line and the import window show the same lines.

#include <string>
#include <vector>

#include "db/connection.h"

namespace zi {

// jsonEntries: a JSON file's would-be log and error entries, one line each, before the counts.
std::vector<std::string> DryRunLines(const db::TAdoDataBaseCustomizado::TDryRunChanges& changes,
                                     const std::vector<std::string>& jsonEntries = {});

}  // namespace zi

#include "import/dry_run.h"

#include <fmt/format.h>

#include "toolbox/own_codes.h"

namespace zi {

namespace {

constexpr const char* kRolledBack = "- dry run rolled back: nothing written";
constexpr const char* kTable = "- dry run table {}: added:{} changed:{} deleted:{}";
constexpr const char* kNoRow = "- dry run tables: no row would have changed";
constexpr const char* kRowsNotCounted = "- dry run tables: rows not counted (the database's driver cannot count them)";
constexpr const char* kCalls = "- dry run calls {}:{}";
constexpr const char* kLost = "- dry run lost erro:{}: its counts are incomplete";
constexpr const char* kJsonEntry = "- dry run JSON {}";

}  // namespace

std::vector<std::string> DryRunLines(const db::TAdoDataBaseCustomizado::TDryRunChanges& changes,
                                     const std::vector<std::string>& jsonEntries) {
  std::vector<std::string> lines;
  for (const std::string& entry : jsonEntries) lines.push_back(fmt::format(kJsonEntry, entry));
  if (changes.code != 0) lines.push_back(fmt::format(kLost, kDryRunLost));
  for (const auto& [procedure, count] : changes.calls) lines.push_back(fmt::format(kCalls, procedure, count));
  if (!changes.rowsCounted) lines.emplace_back(kRowsNotCounted);
  else if (changes.tables.empty()) lines.emplace_back(kNoRow);
  for (const db::TableRowChanges& t : changes.tables)
    lines.push_back(fmt::format(kTable, t.table, t.added, t.changed, t.deleted));
  lines.emplace_back(kRolledBack);
  return lines;
}

}  // namespace zi

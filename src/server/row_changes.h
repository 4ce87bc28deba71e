#pragma once
// Edits of the desktop's editable grids, applied straight to a table.

#include <string_view>
#include <vector>

#include "server/server.h"

namespace zi::server {

class SqliteDb;

// Checks the table and every column named against the schema, then applies the changes all or
// nothing. An update or a delete must find exactly one row by its key.
void ApplyRowChanges(SqliteDb& db, std::string_view table, const std::vector<RowChange>& changes);

}  // namespace zi::server

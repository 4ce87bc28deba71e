#pragma once
// A few shareholders and portfolio assets, and a shareholding composition of a demo company, for
// trying the holder directives, the composition block and its export on a new database.

namespace zi::server {

class SqliteDb;

// Adds them to a database that holds the demo catalogue.
void AddDemoHoldings(SqliteDb& db);

}  // namespace zi::server

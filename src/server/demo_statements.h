#pragma once
// A small account catalogue, the companies' presentation format and a few statements of the demo
// companies, for trying the statement directives and the check listing on a new database.

namespace zi::server {

class SqliteDb;

// Adds them to a database that holds the demo catalogue.
void AddDemoStatements(SqliteDb& db);

}  // namespace zi::server

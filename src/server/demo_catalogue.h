#pragma once
// A few companies with their classes and series, for trying the program on a new database.

namespace zi::server {

class SqliteDb;

// Adds the demo companies to a database whose catalogue is empty, through the same SQL as the
// procedures. Raises std::runtime_error when the database already holds a company.
void AddDemoCatalogue(SqliteDb& db);

}  // namespace zi::server

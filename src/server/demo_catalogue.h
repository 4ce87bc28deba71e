#pragma once
// A few companies with their classes and series, for trying the program on a new database.

namespace zi::server {

class SqliteDb;

// Adds the demo companies to a database whose catalogue is empty, through the same SQL as the
// procedures, with daily prices of their series from 2021 to 2023. Raises std::runtime_error when
// the database already holds a company.
void AddDemoCatalogue(SqliteDb& db);

}  // namespace zi::server

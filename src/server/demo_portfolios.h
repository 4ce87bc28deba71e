#pragma once
// A property with its document and neighbourhood, and a portfolio of a demo company that holds it,
// for trying the property register and the portfolio records on a new database.

namespace zi::server {

class SqliteDb;

// Adds them to a database that holds the demo catalogue.
void AddDemoPortfolios(SqliteDb& db);

}  // namespace zi::server

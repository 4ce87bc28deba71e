#pragma once
// Corporate actions, news and a share base of the demo companies.

namespace zi::server {

class SqliteDb;

// Adds them after the demo catalogue (AddDemoCatalogue), through the same tables as the procedures.
void AddDemoCorporateEvents(SqliteDb& db);

}  // namespace zi::server

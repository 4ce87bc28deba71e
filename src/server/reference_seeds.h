#pragma once
// The reference data every new database receives with the tables of its schema step.

namespace zi::server {

class SqliteDb;

// Part of a released schema step: a correction to this data is a later step, never an edit here.
void SeedReferenceData(SqliteDb& db);

}  // namespace zi::server

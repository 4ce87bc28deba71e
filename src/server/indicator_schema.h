#pragma once
// The schema steps of the indicators and of the per-country name lists: the definitions with a
// starting set, the values of companies, classes and series by effective date, the registration
// templates, and the abbreviation and casing lists of the name normaliser.

namespace zi::server {

class SqliteDb;

// Part of a released schema step: a correction is a later step, never an edit here.
void CreateIndicatorTables(SqliteDb& db);
void CreateNameListTables(SqliteDb& db);

}  // namespace zi::server

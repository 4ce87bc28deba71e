#pragma once
// The schema steps of the indicators and of the per-country name lists: the definitions with a
// starting set, the values of companies, classes and series by effective date, the registration
// templates, and the abbreviation and casing lists of the name normaliser.

namespace zi::server {

class SqliteDb;

// Part of a released schema step: a correction is a later step, never an edit here.
void CreateIndicatorTables(SqliteDb& db);
void CreateNameListTables(SqliteDb& db);
// Which indicators the products present for a country and a series status, per level and in order:
// administrators keep it with the table editor.
void AddIndicatorPresentation(SqliteDb& db);

}  // namespace zi::server

#pragma once
// The families of procedures that make up the product's registry, each declared in its own file.

namespace zi::server {

class Registry;
class SqliteDb;

// Client version check, the session user's details and the user's rights over items.
void RegisterSessionProcedures(Registry& registry);

// The reference lists the client loads at login, their writers, the data log and bulletin requests.
void RegisterReferenceProcedures(Registry& registry);

// Companies, classes and series: their writers and readers, lookups by code and object lists.
void RegisterCatalogueProcedures(Registry& registry);

// The lookups behind the company and class keys of import lines: by CNPJ, by ticker and by ISIN.
void RegisterImportKeyProcedures(Registry& registry);

// Quotes: the import's writer and range delete, the window's writer and readers.
void RegisterQuoteProcedures(Registry& registry);

// Indicator definitions, the values of companies, classes and series by effective date, and the
// registration templates.
void RegisterIndicatorProcedures(Registry& registry);

// The single changes import lines make to a series (status, ISIN), and the per-country name lists.
void RegisterObjectImportProcedures(Registry& registry);

// Statements with their values, the account catalogue, blocks and presentation formats.
void RegisterStatementProcedures(Registry& registry);

// The twin holder registries (shareholders, portfolio assets): holders, their documents and names.
void RegisterHolderProcedures(Registry& registry);

// Shareholding compositions: headers by company and reference date, and their items.
void RegisterCompositionProcedures(Registry& registry);

// Properties with their documents, the neighbourhoods of cities, and the property search.
void RegisterRealEstateProcedures(Registry& registry);
// The migration step of the property register's tables.
void CreateRealEstateTables(SqliteDb& db);

// Portfolio headers and their items of every kind.
void RegisterPortfolioProcedures(Registry& registry);
// The migration step of the portfolio tables.
void CreatePortfolioTables(SqliteDb& db);
// Corporate actions: the import's writers, the window's writers, reader and type characteristics.
void RegisterCorporateActionProcedures(Registry& registry);

// News of a company: the import's writer, the window's reader and writers.
void RegisterNewsProcedures(Registry& registry);

// The share base: a company's share bases of a source, the writer of one class, the delete.
void RegisterShareBaseProcedures(Registry& registry);

}  // namespace zi::server

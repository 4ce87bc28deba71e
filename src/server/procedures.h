#pragma once
// The families of procedures that make up the product's registry, each declared in its own file.

namespace zi::server {

class Registry;

// Client version check, the session user's details and the user's rights over items.
void RegisterSessionProcedures(Registry& registry);

// The reference lists the client loads at login, their writers, the data log and bulletin requests.
void RegisterReferenceProcedures(Registry& registry);

// Companies, classes and series: their writers and readers, lookups by code and object lists.
void RegisterCatalogueProcedures(Registry& registry);

// The lookups behind the company and class keys of import lines: by CNPJ, by ticker and by ISIN.
void RegisterImportKeyProcedures(Registry& registry);

// Statements with their values, the account catalogue, blocks and presentation formats.
void RegisterStatementProcedures(Registry& registry);

}  // namespace zi::server

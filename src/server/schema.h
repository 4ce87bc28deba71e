#pragma once
// The server's tables are built by numbered steps. A file records the number of the last step it
// received (PRAGMA user_version) and gets the ones it lacks each time it is opened; later
// subsystems add their tables as further steps, never by changing one already released.

#include <cstdint>
#include <span>
#include <string>

namespace zi::server {

class SqliteDb;

// Marks a file as ours (PRAGMA application_id): "ZIDB".
inline constexpr int32_t kApplicationId = 0x5A494442;

using MigrationStep = void (*)(SqliteDb&);

// The product's steps: step i (from 0) brings a file to schema version i + 1.
std::span<const MigrationStep> SchemaSteps();

// Raises ServerError(NotOurDatabase) for a file that is no SQLite database, holds another
// application's tables, or was written by a program that knows more steps. Writes nothing.
void CheckOwnership(SqliteDb& db, const std::string& path, std::span<const MigrationStep> steps);

// Runs SQLite's quick integrity check; a file that fails it raises ServerError(Damaged) naming the
// path and what SQLite found.
void CheckIntegrity(SqliteDb& db, const std::string& path);

// Applies the steps the file lacks, each in a transaction of its own together with its version.
void Migrate(SqliteDb& db, std::span<const MigrationStep> steps);

int SchemaVersion(SqliteDb& db);

}  // namespace zi::server

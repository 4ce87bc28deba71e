#include "server/schema.h"

#include <sqlite3.h>

#include <array>

#include <fmt/format.h>

#include "server/sqlite_db.h"

namespace zi::server {

namespace {

void CreateServerInfo(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE server_info (key TEXT PRIMARY KEY, value TEXT NOT NULL);
    INSERT INTO server_info (key, value) VALUES ('created', strftime('%Y-%m-%dT%H:%M:%SZ', 'now'));
  )sql");
}

// A login matches its name whatever the case; NOCASE folds ASCII letters only.
void CreateUsers(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE users (
      id INTEGER PRIMARY KEY,
      name TEXT NOT NULL UNIQUE COLLATE NOCASE,
      password_hash TEXT NOT NULL,
      email TEXT NOT NULL DEFAULT '',
      is_admin BOOLEAN NOT NULL DEFAULT 0,
      user_flag INTEGER NOT NULL DEFAULT 0,
      source_do_bal INTEGER NOT NULL DEFAULT 0 CHECK (source_do_bal BETWEEN 0 AND 255),
      lingua INTEGER NOT NULL DEFAULT 0 CHECK (lingua BETWEEN 0 AND 2),
      created DATETIME
    );
  )sql");
}

constexpr std::array<MigrationStep, 2> kSteps = {
    CreateServerInfo,
    CreateUsers,
};

ServerError NotOurs(const std::string& path) {
  return ServerError(ServerError::Kind::NotOurDatabase, path + " is not a ZorInput database");
}

}  // namespace

std::span<const MigrationStep> SchemaSteps() { return kSteps; }

int SchemaVersion(SqliteDb& db) { return static_cast<int>(db.QueryValue("PRAGMA user_version").AsInteger()); }

void CheckOwnership(SqliteDb& db, const std::string& path, std::span<const MigrationStep> steps) {
  int64_t applicationId = 0;
  int64_t objects = 0;
  try {
    applicationId = db.QueryValue("PRAGMA application_id").AsInteger();
    objects = db.QueryValue("SELECT count(*) FROM sqlite_schema").AsInteger();
  } catch (const SqliteError& e) {
    if (e.Code() == SQLITE_NOTADB) throw NotOurs(path);
    throw;
  }
  const bool fresh = applicationId == 0 && objects == 0;
  if (applicationId != kApplicationId && !fresh) throw NotOurs(path);
  const int version = SchemaVersion(db);
  if (static_cast<size_t>(version) > steps.size()) {
    throw ServerError(
        ServerError::Kind::NotOurDatabase,
        fmt::format("{} has schema version {}, newer than the {} this program knows: use a newer ZorInput", path,
                    version, steps.size()));
  }
}

void Migrate(SqliteDb& db, std::span<const MigrationStep> steps) {
  for (size_t i = 0; i < steps.size(); ++i) {
    const int target = static_cast<int>(i) + 1;
    if (SchemaVersion(db) >= target) continue;
    AtomicScope scope(db);
    // Another process may have applied the step while this one waited for the write lock.
    if (SchemaVersion(db) >= target) continue;
    if (target == 1) db.Exec(fmt::format("PRAGMA application_id = {}", kApplicationId));
    steps[i](db);
    db.Exec(fmt::format("PRAGMA user_version = {}", target));
    db.Run("INSERT OR REPLACE INTO server_info (key, value) VALUES ('schema_version', ?)", {std::to_string(target)});
    scope.Commit();
  }
}

}  // namespace zi::server

// SQLite's session extension counts the changes: it records each changed row's key and original
// values and, when asked, compares them with the rows as they are then. That gives the net effect
// that a run's own rollbacks (the savepoint of a failed line) leave, which counting rows as
// statements change them would not. The Debian library is built with it; its declarations are
// behind these two macros.
#define SQLITE_ENABLE_SESSION 1
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include <sqlite3.h>

#include <map>
#include <memory>

#include "server/sqlite_db.h"
#include "toolbox/codec.h"

namespace zi::server {

namespace {

void CheckSession(int rc, const char* what) {
  if (rc != SQLITE_OK) throw SqliteError(rc & 0xFF, std::string(what) + ": " + Utf8ToCp1252Lossy(sqlite3_errstr(rc)));
}

struct FreeChangeset {
  void operator()(void* changeset) const { sqlite3_free(changeset); }
};

struct FinishIterator {
  void operator()(sqlite3_changeset_iter* iterator) const { sqlite3changeset_finalize(iterator); }
};

}  // namespace

void SqliteDb::StartChangeCount() {
  EndChangeSession();
  CheckSession(sqlite3session_create(db_, "main", &session_), "counting changes");
  // Every table of the file, those made later included.
  const int rc = sqlite3session_attach(session_, nullptr);
  if (rc != SQLITE_OK) EndChangeSession();
  CheckSession(rc, "counting changes");
}

std::vector<TableChangeCount> SqliteDb::StopChangeCount() {
  if (!session_) return {};
  int size = 0;
  void* raw = nullptr;
  const int rc = sqlite3session_changeset(session_, &size, &raw);
  std::unique_ptr<void, FreeChangeset> changeset(raw);
  EndChangeSession();
  CheckSession(rc, "reading the changes");
  sqlite3_changeset_iter* rawIterator = nullptr;
  CheckSession(sqlite3changeset_start(&rawIterator, size, changeset.get()), "reading the changes");
  std::unique_ptr<sqlite3_changeset_iter, FinishIterator> iterator(rawIterator);
  std::map<std::string, TableChangeCount> byTable;
  int step = SQLITE_ROW;
  while ((step = sqlite3changeset_next(iterator.get())) == SQLITE_ROW) {
    const char* table = nullptr;
    int columns = 0;
    int op = 0;
    int indirect = 0;
    CheckSession(sqlite3changeset_op(iterator.get(), &table, &columns, &op, &indirect), "reading the changes");
    TableChangeCount& count = byTable[table];
    count.table = Utf8ToCp1252Lossy(table);
    if (op == SQLITE_INSERT) ++count.added;
    else if (op == SQLITE_UPDATE) ++count.changed;
    else if (op == SQLITE_DELETE) ++count.deleted;
  }
  if (step != SQLITE_DONE) CheckSession(step, "reading the changes");
  std::vector<TableChangeCount> counts;
  for (auto& [name, count] : byTable) counts.push_back(std::move(count));
  return counts;
}

void SqliteDb::EndChangeSession() {
  if (!session_) return;
  sqlite3session_delete(session_);
  session_ = nullptr;
}

}  // namespace zi::server

// Counting the rows a transaction changes as their net effect: by primary key, by the key of a
// table without rowid, or by rowid when a table declares no key; work undone is no change.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "server/sqlite_db.h"

namespace zi::server {
namespace {

using testing::IsEmpty;

struct TCounted {
  std::string table;
  int64_t added, changed, deleted;
  bool operator==(const TCounted&) const = default;
};

void PrintTo(const TCounted& c, std::ostream* out) {
  *out << c.table << " added:" << c.added << " changed:" << c.changed << " deleted:" << c.deleted;
}

class ChangeCountTest : public testing::Test {
 protected:
  void SetUp() override {
    db_->Exec(
        "CREATE TABLE keyed (id INTEGER PRIMARY KEY, name TEXT);"
        "CREATE TABLE quotes (series INTEGER, day INTEGER, price REAL, PRIMARY KEY (day, series)) WITHOUT ROWID;"
        "CREATE TABLE items (owner INTEGER, name TEXT);"
        "INSERT INTO keyed VALUES (1, 'one'), (2, 'two'), (3, 'three');"
        "INSERT INTO quotes VALUES (1, 100, 1.5), (2, 100, 2.5);"
        "INSERT INTO items VALUES (1, 'x'), (1, 'y');");
    db_->Exec("BEGIN");
    db_->StartChangeCount();
  }
  std::vector<TCounted> Stop() {
    std::vector<TCounted> counted;
    for (const TableChangeCount& c : db_->StopChangeCount()) counted.push_back({c.table, c.added, c.changed, c.deleted});
    db_->Exec("ROLLBACK");
    return counted;
  }
  std::unique_ptr<SqliteDb> db_ = SqliteDb::Open(":memory:");
};

TEST_F(ChangeCountTest, CountsEachTableByItsKey) {
  db_->Exec(
      "INSERT INTO keyed VALUES (4, 'four');"
      "UPDATE keyed SET name = 'ONE' WHERE id = 1;"
      "DELETE FROM keyed WHERE id = 2;"
      "UPDATE quotes SET price = 9 WHERE series = 1;"
      "INSERT INTO quotes VALUES (1, 101, 1.6);"
      "DELETE FROM items WHERE name = 'y';"
      "INSERT INTO items VALUES (2, 'z');");
  // Rows of a table without a key are told apart by their rowids: the new item takes the rowid of
  // the last one deleted, which a comparison of the file before and after sees as that row changed.
  EXPECT_EQ(Stop(), (std::vector<TCounted>{{"items", 0, 1, 0}, {"keyed", 1, 1, 1}, {"quotes", 1, 1, 0}}));
}

TEST_F(ChangeCountTest, WorkUndoneIsNoChange) {
  db_->Exec(
      "SAVEPOINT line;"
      "INSERT INTO keyed VALUES (5, 'five');"
      "UPDATE quotes SET price = 7;"
      "DELETE FROM items;"
      "ROLLBACK TO line; RELEASE line;"
      "INSERT INTO keyed VALUES (6, 'six'); DELETE FROM keyed WHERE id = 6;"
      "UPDATE keyed SET name = 'x' WHERE id = 3; UPDATE keyed SET name = 'three' WHERE id = 3;"
      "UPDATE quotes SET price = price;");
  EXPECT_THAT(Stop(), IsEmpty());
}

TEST_F(ChangeCountTest, AWholeTableEmptiedCountsEveryRow) {
  db_->Exec("DELETE FROM keyed; DELETE FROM items;");
  EXPECT_EQ(Stop(), (std::vector<TCounted>{{"items", 0, 0, 2}, {"keyed", 0, 0, 3}}));
}

TEST_F(ChangeCountTest, ARowWhoseKeyChangesLeavesOneKeyAndTakesAnother) {
  db_->Exec("UPDATE keyed SET id = 10 WHERE id = 1; INSERT OR REPLACE INTO keyed VALUES (2, 'deux');");
  EXPECT_EQ(Stop(), (std::vector<TCounted>{{"keyed", 1, 1, 1}}));
}

}  // namespace
}  // namespace zi::server

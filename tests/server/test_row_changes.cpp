// Batches of row changes from the editable grids: all applied, or none.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "server_support.h"

namespace zi::server::test {
namespace {

using Kind = RowChange::Kind;

class RowChangesTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    server_->ExecuteSql("CREATE TABLE holder_kind (code INTEGER, lang INTEGER, label TEXT, "
                        "PRIMARY KEY (code, lang), CHECK (label <> ''))");
    for (const auto& [code, lang, label] : {std::tuple{1, 0, "Pessoa"}, {1, 1, "Person"}, {2, 0, "Fundo"}}) {
      server_->ExecuteSql("INSERT INTO holder_kind VALUES (?, ?, ?)", {code, lang, label});
    }
  }

  std::vector<std::vector<DbValue>> Rows() {
    return server_->ExecuteSql("SELECT * FROM holder_kind ORDER BY code, lang").at(0).rows;
  }
};

TEST_F(RowChangesTest, InsertsUpdatesAndDeletesByKey) {
  server_->ApplyRowChanges("holder_kind", {
                                              {Kind::Insert, {}, {{"code", 3}, {"lang", 0}, {"label", "Empresa"}}},
                                              {Kind::Update, {{"code", 1}, {"lang", 1}}, {{"LABEL", "Individual"}}},
                                              {Kind::Delete, {{"code", 2}, {"lang", 0}}, {}},
                                          });
  EXPECT_EQ(Rows(), (std::vector<std::vector<DbValue>>{{1, 0, "Pessoa"}, {1, 1, "Individual"}, {3, 0, "Empresa"}}));
}

TEST_F(RowChangesTest, TablesAndColumnsAreFoundWhateverTheirCase) {
  server_->ApplyRowChanges("Holder_Kind", {{Kind::Update, {{"Code", 2}, {"LANG", 0}}, {{"label", "Pens\xE3o"}}}});
  EXPECT_EQ(Value("SELECT label FROM holder_kind WHERE code = 2"), "Pens\xE3o");
}

TEST_F(RowChangesTest, ANullKeyFindsItsRow) {
  server_->ExecuteSql("INSERT INTO items (name, amount) VALUES ('no amount', NULL), ('some', 1)");
  server_->ApplyRowChanges("items", {{Kind::Delete, {{"amount", DbValue()}}, {}}});
  EXPECT_EQ(Value("SELECT group_concat(name) FROM items"), "some");
}

TEST_F(RowChangesTest, ABatchWithOneBadChangeChangesNothing) {
  const RowChange good = {Kind::Insert, {}, {{"code", 9}, {"lang", 0}, {"label", "Outro"}}};
  const struct {
    const char* table;
    RowChange bad;
    const char* message;
  } cases[] = {
      {"nowhere", good, "no such table: nowhere"},
      {"sqlite_schema", good, "no such table: sqlite_schema"},
      {"holder_kind", {Kind::Insert, {}, {{"colour", "blue"}}}, "table holder_kind has no column named colour"},
      {"holder_kind", {Kind::Update, {{"code", 1}, {"lang", 0}}, {{"label\"; DROP TABLE items; --", "x"}}},
       "table holder_kind has no column named label\"; DROP TABLE items; --"},
      {"holder_kind", {Kind::Update, {{"code", 7}, {"lang", 0}}, {{"label", "x"}}}, "row not found in holder_kind"},
      {"holder_kind", {Kind::Delete, {{"code", 7}, {"lang", 0}}, {}}, "row not found in holder_kind"},
      {"holder_kind", {Kind::Delete, {{"code", 1}}, {}}, "the key matches more than one row in holder_kind"},
      {"holder_kind", {Kind::Delete, {}, {}}, "a change of a row of holder_kind names no key"},
      {"holder_kind", {Kind::Update, {{"code", 1}, {"lang", 0}}, {}},
       "an update of a row of holder_kind changes no column"},
      {"holder_kind", {Kind::Insert, {}, {{"code", 1}, {"lang", 0}, {"label", "again"}}},
       "UNIQUE constraint failed: holder_kind.code, holder_kind.lang"},
      {"holder_kind", {Kind::Update, {{"code", 1}, {"lang", 0}}, {{"label", ""}}},
       "CHECK constraint failed: label <> ''"},
  };
  const std::string before = server_->Dump();
  for (const auto& c : cases) {
    for (const bool inTransaction : {false, true}) {
      if (inTransaction) server_->Begin();
      try {
        server_->ApplyRowChanges(c.table, {good, c.bad});
        ADD_FAILURE() << c.message;
      } catch (const ServerError& e) {
        EXPECT_EQ(e.GetKind(), ServerError::Kind::Sql) << c.message;
        EXPECT_STREQ(e.what(), c.message);
      }
      EXPECT_EQ(server_->InTransaction(), inTransaction) << c.message;
      if (inTransaction) server_->Commit();
      EXPECT_EQ(server_->Dump(), before) << c.message;
    }
  }
}

TEST_F(RowChangesTest, ChangesWithinATransactionGoWithIt) {
  server_->Begin();
  server_->ApplyRowChanges("holder_kind", {{Kind::Delete, {{"code", 2}, {"lang", 0}}, {}}});
  EXPECT_TRUE(server_->InTransaction());
  server_->Rollback();
  EXPECT_EQ(Value("SELECT count(*) FROM holder_kind"), int64_t{3});
}

}  // namespace
}  // namespace zi::server::test

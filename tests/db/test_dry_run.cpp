// A dry run: one transaction rolled back at its end, with transactions and commit groups inside it
// as its levels, its changed rows counted by their net effect, and a lost transaction never replaced.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db_fixture.h"
#include "server/sqlite_db.h"

namespace zi::db::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

class DryRunTest : public DbTest {
 protected:
  int Read() {
    TDataSetHolder ds(*db_, "TestReturns");
    ds->SetInteger("@code", 0);
    return db_->ExecStProc(*ds, 0);
  }
  int Item(const std::function<bool()>& body) {
    bool committed = false;
    if (const int code = db_->BeginGroupItem(committed)) return code;
    return db_->EndGroupItem(body());
  }
  // What another connection sees.
  int64_t CommittedCount() {
    const auto reader = server::Server::Open(path_, TestRegistry());
    return reader->ExecuteSql("SELECT count(*) FROM t_items").front().rows[0][0].AsInteger();
  }
};

TEST_F(DryRunTest, GroupsAndTransactionsAreLevelsOfOneTransactionThatIsRolledBack) {
  ASSERT_EQ(Write("before"), 0);
  ASSERT_EQ(db_->StartDryRun(), 0);
  EXPECT_TRUE(db_->InDryRun());
  db_->CountDryRunChanges();
  EXPECT_EQ(Read(), 0);
  ASSERT_TRUE(db_->StartCommitGroups()) << "inside the dry run's transaction";
  EXPECT_EQ(Item([&] { return Write("a") == 0; }), 0);
  EXPECT_EQ(Item([&] { return Write("undone") == 0 && false; }), 0);
  bool committed = false;
  EXPECT_EQ(db_->CommitGroup(committed), 0);
  EXPECT_TRUE(committed);
  EXPECT_EQ(CommittedCount(), 1) << "a group of a dry run commits nothing";
  EXPECT_EQ(db_->StopCommitGroups(committed), 0);
  {
    TTransactionGuard undone(*db_);
    EXPECT_EQ(Write("in a transaction rolled back"), 0);
  }
  {
    TTransactionGuard kept(*db_);
    EXPECT_EQ(Write("b"), 0);
    EXPECT_EQ(kept.Commit(), 0);
  }
  EXPECT_EQ(ItemCount(), 3) << "before, a and b, in the transaction";
  EXPECT_EQ(CommittedCount(), 1);

  const TAdoDataBaseCustomizado::TDryRunChanges changes = db_->EndDryRun();
  EXPECT_FALSE(db_->InDryRun());
  EXPECT_EQ(changes.code, 0);
  EXPECT_TRUE(changes.rowsCounted);
  ASSERT_EQ(changes.tables.size(), 1u);
  EXPECT_EQ(changes.tables[0].table, "t_items");
  EXPECT_EQ(changes.tables[0].added, 2) << "what was undone inside is no change";
  EXPECT_EQ(changes.tables[0].changed, 0);
  EXPECT_EQ(changes.tables[0].deleted, 0);
  // Every call that succeeded of a procedure that may write; readers are left out.
  EXPECT_EQ(changes.calls, (std::map<std::string, int>{{"TestWrite", 4}}));
  EXPECT_EQ(ItemCount(), 1);
  EXPECT_EQ(CommittedCount(), 1);
  EXPECT_THAT(LogTexts(), testing::Contains("Tran: dry run rolled back"));

  // The connection works as before.
  EXPECT_EQ(Write("after"), 0);
  EXPECT_EQ(CommittedCount(), 2);
}

TEST_F(DryRunTest, ALostTransactionIsNeverReplaced) {
  ASSERT_EQ(db_->StartDryRun(), 0);
  db_->CountDryRunChanges();
  EXPECT_EQ(Write("a"), 0);
  driver_->DropConnection();
  EXPECT_NE(Write("b"), 0) << "the call finds the connection lost";
  // Reconnected or not, a call run now would commit on its own.
  EXPECT_NE(Write("c"), 0);
  EXPECT_NE(db_->IniciaTran(), 0);
  const TAdoDataBaseCustomizado::TDryRunChanges changes = db_->EndDryRun();
  EXPECT_EQ(changes.code, 3939);
  EXPECT_FALSE(changes.rowsCounted);
  EXPECT_EQ(CommittedCount(), 0);
  EXPECT_THAT(LogTexts(), testing::Contains(testing::HasSubstr("the dry run's transaction was lost")));
}

TEST_F(DryRunTest, ThatCannotBeginIsNoDryRun) {
  driver_->Server()->SetBusyTimeoutForTests(20);
  auto other = server::SqliteDb::Open(path_);
  other->Exec("BEGIN IMMEDIATE");
  EXPECT_EQ(db_->StartDryRun(), kDatabaseBusy);
  EXPECT_FALSE(db_->InDryRun());
  other->Exec("ROLLBACK");
  const TAdoDataBaseCustomizado::TDryRunChanges changes = db_->EndDryRun();
  EXPECT_FALSE(changes.rowsCounted);
  EXPECT_THAT(changes.calls, IsEmpty());
}

}  // namespace
}  // namespace zi::db::test

// Commits in groups: items kept whole or undone alone, transactions inside an item, a group that is
// due, and a group lost with its connection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db_fixture.h"

namespace zi::db::test {
namespace {

using testing::Contains;

class CommitGroupsTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    db_->SetClock([this] { return now_; });
    ASSERT_TRUE(db_->StartCommitGroups());
  }
  // Runs body as one item; the commit that opening it made, if any, is returned in committed.
  int Item(const std::function<bool()>& body, bool* committed = nullptr) {
    bool groupCommitted = false;
    if (const int code = db_->BeginGroupItem(groupCommitted)) return code;
    if (committed) *committed = groupCommitted;
    return db_->EndGroupItem(body());
  }
  // What another connection sees.
  std::string Committed() {
    const auto reader = server::Server::Open(path_, TestRegistry());
    const DbValue names = reader->ExecuteSql("SELECT group_concat(name, ',') FROM t_items").front().rows[0][0];
    return names.IsNull() ? "" : names.AsText();
  }

  int64_t now_ = 1000;
};

TEST_F(CommitGroupsTest, ItemsAreKeptWholeOrUndoneAloneAndSeenOnceTheGroupIsCommitted) {
  EXPECT_EQ(Item([&] { return Write("a") == 0; }), 0);
  EXPECT_EQ(Item([&] { return Write("b") == 0 && false; }), 0);
  EXPECT_EQ(Item([&] {
              {
                TTransactionGuard inner(*db_);
                EXPECT_EQ(Write("c"), 0);
              }
              return Write("d") == 0;
            }),
            0);
  EXPECT_EQ(Item([&] {
              TTransactionGuard inner(*db_);
              return Write("e") == 0 && inner.Commit() == 0;
            }),
            0);
  EXPECT_EQ(Committed(), "");
  bool committed = false;
  EXPECT_EQ(db_->CommitGroup(committed), 0);
  EXPECT_TRUE(committed);
  EXPECT_EQ(Committed(), "a,d,e");
  EXPECT_EQ(db_->CommitGroup(committed), 0);
  EXPECT_FALSE(committed) << "no group was open";
}

TEST_F(CommitGroupsTest, AGroupIsCommittedWhenFullOrOldBeforeTheNextItem) {
  bool committed = false;
  for (int i = 0; i < TAdoDataBaseCustomizado::kGroupItems; ++i) {
    ASSERT_EQ(Item([&] { return Write("full") == 0; }, &committed), 0);
    ASSERT_FALSE(committed) << i;
  }
  EXPECT_EQ(Item([&] { return Write("next") == 0; }, &committed), 0);
  EXPECT_TRUE(committed);
  EXPECT_EQ(ItemCount(), TAdoDataBaseCustomizado::kGroupItems + 1);
  now_ += TAdoDataBaseCustomizado::kGroupMs - 1;
  EXPECT_EQ(Item([&] { return true; }, &committed), 0);
  EXPECT_FALSE(committed);
  now_ += 1;
  EXPECT_EQ(Item([&] { return true; }, &committed), 0);
  EXPECT_TRUE(committed);
  EXPECT_EQ(Committed().size(), (TAdoDataBaseCustomizado::kGroupItems * 5) + 4);
  EXPECT_EQ(db_->StopCommitGroups(committed), 0);
  EXPECT_TRUE(committed) << "the last, empty item";
  EXPECT_FALSE(db_->GroupsCommits());
}

TEST_F(CommitGroupsTest, AGroupLostWithTheConnectionLosesItsItemsAndNoneOfThemRunsAlone) {
  ASSERT_EQ(Item([&] { return Write("kept") == 0; }), 0);
  bool committed = false;
  ASSERT_EQ(db_->CommitGroup(committed), 0);
  ASSERT_EQ(Item([&] { return Write("lost") == 0; }), 0);
  ASSERT_EQ(db_->BeginGroupItem(committed), 0);
  driver_->InjectFaults({.failCall = 1, .failAsConnectionLoss = true});
  EXPECT_EQ(Write("first"), 3939);
  EXPECT_THAT(LogTexts(), Contains("ExecStProc TestWrite not run again: the transaction was lost with the connection"));
  EXPECT_EQ(Write("second"), 3939) << "refused: run alone it would commit part of the item";
  EXPECT_EQ(db_->EndGroupItem(false), 3939);
  EXPECT_THAT(LogTexts(), Contains("EndGroupItem: the group's transaction was lost, its items are not written"));
  driver_->InjectFaults({});
  EXPECT_EQ(Item([&] { return Write("after") == 0; }), 0);
  EXPECT_EQ(db_->StopCommitGroups(committed), 0);
  EXPECT_EQ(Committed(), "kept,after");
}

}  // namespace
}  // namespace zi::db::test

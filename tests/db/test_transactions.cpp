#include <gmock/gmock.h>

#include "db_fixture.h"
#include "support/child_process.h"
#include "toolbox/lifecycle.h"

namespace zi::db::test {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;

class TransactionTest : public DbTest {
 protected:
  int Write(const std::string& name) {
    TDataSetHolder ds(*db_, "TestWrite");
    ds->SetText("@name", name);
    return db_->ExecStProc(*ds, 0);
  }
};

TEST_F(TransactionTest, NestedLevelsShareOneServerTransaction) {
  db_->IniciaTran();
  db_->IniciaTran();
  EXPECT_TRUE(db_->EstaEmTran());
  ASSERT_EQ(Write("a"), 0);
  EXPECT_EQ(db_->TerminaTran(true), 0);
  EXPECT_TRUE(db_->EstaEmTran());
  EXPECT_EQ(db_->TerminaTran(true), 0);
  EXPECT_FALSE(db_->EstaEmTran());
  EXPECT_EQ(ItemCount(), 1);

  db_->IniciaTran();
  db_->IniciaTran();
  ASSERT_EQ(Write("b"), 0);
  db_->TerminaTran(false);
  db_->TerminaTran(false);
  EXPECT_EQ(ItemCount(), 1) << "one rollback undoes the inner work";
}

TEST_F(TransactionTest, CommitAfterAnInnerRollbackEndsTheProcess) {
  int status = zi::test::RunInChild([&] {
    FoundationStart();
    db_->IniciaTran();
    db_->IniciaTran();
    Write("lost");
    db_->TerminaTran(false);
    db_->TerminaTran(true);
  });
  EXPECT_EQ(status, 250);
  EXPECT_THAT(LogTexts(), Contains("Error: Tran: error 7144: forced rollback!"));
  EXPECT_THAT(LogTexts(), Contains(HasSubstr("Run time error 250 at ")));
  EXPECT_EQ(ItemCount(), 0);
}

TEST_F(TransactionTest, GuardRollsBackWhenAnExceptionLeavesTheScope) {
  try {
    TTransactionGuard guard(*db_);
    ASSERT_EQ(Write("a"), 0);
    throw std::runtime_error("failed half way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(db_->EstaEmTran());
  EXPECT_EQ(ItemCount(), 0);
  {
    TTransactionGuard guard(*db_);
    ASSERT_EQ(Write("b"), 0);
    EXPECT_EQ(guard.Commit(), 0);
  }
  EXPECT_EQ(ItemCount(), 1);
}

TEST_F(TransactionTest, RowChangesAreAppliedAllOrNothing) {
  ASSERT_EQ(Write("keep"), 0);
  std::string before = driver_->Server()->Dump();
  std::vector<RowChange> changes = {
      {RowChange::Kind::Insert, {}, {{"name", DbValue("new")}}},
      {RowChange::Kind::Update, {{"id", DbValue(1)}}, {{"name", DbValue("changed")}}},
      {RowChange::Kind::Update, {{"id", DbValue(99)}}, {{"name", DbValue("missing row")}}},
  };
  EXPECT_EQ(db_->ApplyRowChanges("t_items", changes), 3939);
  EXPECT_EQ(driver_->Server()->Dump(), before);

  changes.pop_back();
  EXPECT_EQ(db_->ApplyRowChanges("t_items", changes), 0);
  EXPECT_EQ(ItemCount(), 2);
  EXPECT_EQ(db_->ApplyRowChanges("t_items; DROP TABLE t_items", changes), 3939);
  EXPECT_EQ(ItemCount(), 2);
}

TEST_F(TransactionTest, LostConnectionIsRestoredAndTheCallRunsAgain) {
  TDataSetHolder ds(*db_, "TestReturns");
  ds->SetInteger("@code", 0);
  driver_->DropConnection();
  driver_->InjectFaults({.failOpens = 1});
  EXPECT_EQ(db_->ExecStProc(*ds, 0), 0);
  std::vector<std::string> reconnect;
  for (const auto& line : LogTexts())
    if (line.find("TentaReconectar") != std::string::npos && line.find("exception") != 0) reconnect.push_back(line);
  EXPECT_THAT(reconnect, ElementsAre("TAdoDataBaseComInfoTran.TentaReconectar #1 ExecStProc-TestReturns",
                                     "TAdoDataBaseComInfoTran.TentaReconectar #2 ExecStProc-TestReturns",
                                     "TAdoDataBaseComInfoTran.TentaReconectar result:Y"));
  EXPECT_THAT(LogTexts(), Contains(HasSubstr("exception EDriverError:Connection failure")));
}

TEST_F(TransactionTest, CommandIsMadeAfterTheLostConnectionIsRestored) {
  driver_->DropConnection();
  TDataSetHolder ds(*db_, "TestReturns");
  ASSERT_TRUE(ds);
  EXPECT_THAT(LogTexts(), Contains("TAdoDataBaseComInfoTran.TentaReconectar result:Y"));

  db_->IniciaTran();
  driver_->DropConnection();
  EXPECT_FALSE(TDataSetHolder(*db_, "TestEcho")) << "not inside a transaction that died with the connection";
  db_->TerminaTran(false);
}

TEST_F(TransactionTest, FailureThatIsNotALostConnectionIsReportedOnce) {
  TDataSetHolder ds(*db_, "TestReturns");
  ASSERT_TRUE(ds);
  ds->SetInteger("@code", 0);
  driver_->InjectFaults({.failCall = 1});
  EXPECT_EQ(db_->ExecStProc(*ds, 0), 3939);
  EXPECT_THAT(LogTexts(), Contains(HasSubstr(".TentaReconectar detected it is still connected; ExecStProc-TestReturns")));
  EXPECT_THAT(LogTexts(), Contains("ExecStProc erro:3939 EDriverError:The server failed call 1"));
}

TEST_F(TransactionTest, ServerThatNeverComesBackGivesUpAfterTwentyAttempts) {
  TDataSetHolder ds(*db_, "TestReturns");
  ds->SetInteger("@code", 0);
  driver_->DropConnection();
  driver_->InjectFaults({.failOpens = 100});
  EXPECT_EQ(db_->ExecStProc(*ds, 0), 3939);
  EXPECT_THAT(LogTexts(), Contains("TAdoDataBaseComInfoTran.TentaReconectar #20 ExecStProc-TestReturns"));
  EXPECT_THAT(LogTexts(), Contains("TAdoDataBaseComInfoTran.TentaReconectar result:N"));
}

TEST_F(TransactionTest, CallsThatFailAfterEveryReconnectionStopRetrying) {
  TDataSetHolder ds(*db_, "TestReturns");
  ASSERT_TRUE(ds);
  ds->SetInteger("@code", 0);
  driver_->InjectFaults({.failCall = 1, .failPersistent = true, .failAsConnectionLoss = true});
  EXPECT_EQ(db_->ExecStProc(*ds, 0), 3939);
  auto texts = LogTexts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "TAdoDataBaseComInfoTran.TentaReconectar result:Y"), 3);
  EXPECT_THAT(texts, testing::Not(Contains(HasSubstr("transaction was lost")))) << "no transaction was open";
  driver_->InjectFaults({});
  EXPECT_EQ(db_->ExecStProc(*ds, 0), 0) << "the connection works again";
}

TEST_F(TransactionTest, CallLostInsideATransactionIsNotRunAgainAndNothingIsCommitted) {
  db_->IniciaTran();
  ASSERT_EQ(Write("first"), 0);
  driver_->InjectFaults({.failCall = 1, .failAsConnectionLoss = true});
  EXPECT_EQ(Write("second"), 3939);
  EXPECT_THAT(LogTexts(), Contains("ExecStProc TestWrite not run again: the transaction was lost with the connection"));
  EXPECT_EQ(Write("third"), 0) << "later calls run inside a new transaction that will be rolled back";
  EXPECT_EQ(db_->TerminaTran(true), 3939);
  EXPECT_THAT(LogTexts(), Contains("Tran: transaction lost with the connection, rolled back"));
  EXPECT_FALSE(db_->EstaEmTran());
  EXPECT_EQ(ItemCount(), 0);
  EXPECT_EQ(Write("after"), 0);
  EXPECT_EQ(ItemCount(), 1);
}

TEST_F(TransactionTest, ResultSetOfALostConnectionCannotBeRead) {
  TDataSetHolder ds(*db_, "TestRows");
  ASSERT_EQ(db_->ExecStProc(*ds, 2), 0);
  driver_->DropConnection();
  EXPECT_THROW(ds->NextResultSet(), EDriverError);
}

TEST_F(TransactionTest, FileThatIsNotADatabaseCannotBeOpened) {
  zi::test::WriteFile(dir_.File("text.db"), "just some text, not a database at all\n");
  TAdoDataBaseCustomizado other(std::make_unique<EmbeddedDriver>(dir_.File("text.db"), &TestRegistry()), false, "");
  EXPECT_THROW(other.Open(), EDriverError);
  EXPECT_EQ(zi::test::ReadFile(dir_.File("text.db")), "just some text, not a database at all\n");
}

}  // namespace
}  // namespace zi::db::test

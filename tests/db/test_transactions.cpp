#include <gmock/gmock.h>

#include "db_fixture.h"
#include "support/child_process.h"
#include "toolbox/lifecycle.h"
#include "toolbox/own_codes.h"

namespace zi::db::test {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;

using TransactionTest = DbTest;

TEST_F(TransactionTest, NestedLevelsShareOneServerTransaction) {
  ASSERT_EQ(db_->IniciaTran(), 0);
  ASSERT_EQ(db_->IniciaTran(), 0);
  EXPECT_TRUE(db_->EstaEmTran());
  ASSERT_EQ(Write("a"), 0);
  EXPECT_EQ(db_->TerminaTran(true), 0);
  EXPECT_TRUE(db_->EstaEmTran());
  EXPECT_EQ(db_->TerminaTran(true), 0);
  EXPECT_FALSE(db_->EstaEmTran());
  EXPECT_EQ(ItemCount(), 1);

  ASSERT_EQ(db_->IniciaTran(), 0);
  ASSERT_EQ(db_->IniciaTran(), 0);
  ASSERT_EQ(Write("b"), 0);
  EXPECT_EQ(db_->TerminaTran(false), 0);
  EXPECT_EQ(db_->TerminaTran(false), 0);
  EXPECT_EQ(ItemCount(), 1) << "one rollback undoes the inner work";
}

TEST_F(TransactionTest, CommitAfterAnInnerRollbackEndsTheProcess) {
  int status = zi::test::RunInChild([&] {
    FoundationStart();
    if (db_->IniciaTran() != 0 || db_->IniciaTran() != 0) return;
    Write("lost");
    if (db_->TerminaTran(false) != 0) return;
    (void)db_->TerminaTran(true);
  });
  EXPECT_EQ(status, 250);
  EXPECT_THAT(LogTexts(), Contains("Tran: error 7144: forced rollback!"));
  EXPECT_THAT(LogTexts(), Contains("Error: Tran: error 7144: forced rollback!"));
  EXPECT_THAT(LogTexts(), Contains(HasSubstr("Run time error 250 at ")));
  EXPECT_EQ(ItemCount(), 0);
}

TEST_F(TransactionTest, GuardRollsBackWhenAnExceptionLeavesTheScope) {
  try {
    TTransactionGuard guard(*db_);
    ASSERT_EQ(guard.Code(), 0);
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

  ASSERT_EQ(db_->IniciaTran(), 0);
  driver_->DropConnection();
  EXPECT_FALSE(TDataSetHolder(*db_, "TestEcho")) << "not inside a transaction that died with the connection";
  EXPECT_EQ(db_->TerminaTran(false), 3939) << "the transaction was lost";
  EXPECT_EQ(TDataSetHolder(*db_, "TestEcho") ? 0 : 1, 0) << "outside it the connection is restored";
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
  const std::string failedRound =
      "exception EDriverError:Connection failure: the connection to the database was lost ExecStProc->TentaReconectar";
  EXPECT_EQ(std::count(texts.begin(), texts.end(), failedRound), 3) << "three rounds, no more";
  EXPECT_THAT(texts, testing::Not(Contains(HasSubstr("transaction was lost")))) << "no transaction was open";
  driver_->InjectFaults({});
  EXPECT_EQ(db_->ExecStProc(*ds, 0), 0) << "the connection works again";
}

// Whether the connection comes back or not, the rest of a transaction lost with it runs nothing:
// every call answers 3939 with one line, and so does the end of the transaction.
TEST_F(TransactionTest, CallsOfATransactionLostWithTheConnectionAnswer3939WithoutRunning) {
  const struct {
    const char* what;
    int failOpens;
  } cases[] = {{"reconnected", 0}, {"the server stays away", 100}};
  const std::vector<std::string> refusals = {
      "ExecStProc TestWrite not run: the transaction was lost with the connection",
      "OpenSql SELECT count(*) FROM t_items not run: the transaction was lost with the connection",
      "ApplyRowChanges t_items not run: the transaction was lost with the connection",
      "IniciaTran not run: the transaction was lost with the connection",
      "Tran: transaction lost with the connection, rolled back",
  };
  for (const auto& c : cases) {
    ASSERT_EQ(db_->IniciaTran(), 0);
    ASSERT_EQ(Write("first"), 0);
    driver_->InjectFaults({.failCall = 1, .failAsConnectionLoss = true, .failOpens = c.failOpens});
    EXPECT_EQ(Write("second"), 3939) << c.what;
    EXPECT_THAT(LogTexts(),
                Contains("ExecStProc TestWrite not run again: the transaction was lost with the connection"));
    const size_t before = LogTexts().size();
    EXPECT_EQ(Write("third"), 3939) << c.what;
    TDataSetHolder sql(*db_, CommandType::Text, "SELECT count(*) FROM t_items");
    EXPECT_EQ(db_->OpenSql(*sql), 3939) << c.what;
    EXPECT_EQ(db_->ApplyRowChanges("t_items", {{RowChange::Kind::Insert, {}, {{"name", DbValue("row")}}}}), 3939);
    EXPECT_EQ(db_->IniciaTran(), 3939) << c.what;
    EXPECT_EQ(db_->TerminaTran(true), 3939) << c.what;
    EXPECT_FALSE(db_->EstaEmTran()) << c.what;
    const std::vector<std::string> texts = LogTexts();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<long>(before), texts.end()), refusals) << c.what;

    driver_->InjectFaults({});
    EXPECT_EQ(Write("after"), 0) << c.what;
  }
  EXPECT_EQ(driver_->Server()->ExecuteSql("SELECT group_concat(name) FROM t_items").front().rows[0][0], "after,after");
}

TEST_F(TransactionTest, BeginRefusedWhileAnotherConnectionWritesAnswersACode) {
  driver_->Server()->SetBusyTimeoutForTests(50);
  const auto writer = server::Server::Open(path_, TestRegistry());
  writer->Begin();
  {
    TTransactionGuard guard(*db_);
    EXPECT_EQ(guard.Code(), kDatabaseBusy);
    EXPECT_FALSE(db_->EstaEmTran());
  }
  EXPECT_THAT(LogTexts(), Contains("IniciaTran erro:99201 EDriverError:database is locked"));
  writer->Rollback();
  TTransactionGuard guard(*db_);
  ASSERT_EQ(guard.Code(), 0);
  ASSERT_EQ(Write("a"), 0);
  EXPECT_EQ(guard.Commit(), 0);
  EXPECT_EQ(ItemCount(), 1);
}

// Another process holding the write lock past the busy wait is no lost connection: whichever way
// the call reaches the database, it answers 99201 at once, with one line, and nothing reconnects.
TEST_F(TransactionTest, EveryCallThatMeetsAnotherProcesssWriteLockAnswers99201) {
  driver_->Server()->SetBusyTimeoutForTests(50);
  const auto writer = server::Server::Open(path_, TestRegistry());
  writer->Begin();
  EXPECT_EQ(Write("procedure"), kDatabaseBusy);
  TDataSetHolder sql(*db_, CommandType::Text, "INSERT INTO t_items(name) VALUES ('text')");
  EXPECT_EQ(db_->OpenSql(*sql), kDatabaseBusy);
  EXPECT_EQ(db_->ApplyRowChanges("t_items", {{RowChange::Kind::Insert, {}, {{"name", DbValue("row")}}}}), kDatabaseBusy);
  EXPECT_EQ(db_->IniciaTran(), kDatabaseBusy);
  EXPECT_FALSE(db_->EstaEmTran());
  ASSERT_TRUE(db_->StartCommitGroups());
  bool committed = false;
  EXPECT_EQ(db_->BeginGroupItem(committed), 0) << "the item runs without a group";
  EXPECT_EQ(Write("grouped"), kDatabaseBusy);
  EXPECT_EQ(db_->EndGroupItem(false), 0);
  EXPECT_EQ(db_->StopCommitGroups(committed), 0);
  const std::vector<std::string> texts = LogTexts();
  for (const char* line : {"ExecStProc TestWrite erro:99201 EDriverError:database is locked",
                           "OpenSql erro:99201 EDriverError:database is locked",
                           "ApplyRowChanges t_items erro:99201 EDriverError:database is locked",
                           "IniciaTran erro:99201 EDriverError:database is locked",
                           "BeginGroupItem erro:99201 EDriverError:database is locked"})
    EXPECT_THAT(texts, Contains(line));
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "ExecStProc TestWrite erro:99201 EDriverError:database is locked"), 2);
  EXPECT_THAT(texts, testing::Not(Contains(HasSubstr("TentaReconectar"))));
  EXPECT_THAT(texts, testing::Not(Contains(HasSubstr("3939"))));

  writer->Rollback();
  EXPECT_EQ(Write("after"), 0);
  EXPECT_EQ(ItemCount(), 1);
}

// The ends of transactions and groups: a commit refused as busy answers 99201 and writes nothing.
TEST_F(TransactionTest, ACommitRefusedAsBusyAnswers99201AndWritesNothing) {
  const EmbeddedDriver::Faults busy{.failCall = 1, .failAsBusy = true};
  ASSERT_EQ(db_->IniciaTran(), 0);
  ASSERT_EQ(Write("transaction"), 0);
  driver_->InjectFaults(busy);
  EXPECT_EQ(db_->TerminaTran(true), kDatabaseBusy);
  EXPECT_FALSE(db_->EstaEmTran());
  EXPECT_THAT(LogTexts(), Contains("TerminaTran erro:99201 EDriverError:database is locked"));

  ASSERT_TRUE(db_->StartCommitGroups());
  bool committed = false;
  for (const bool atItemEnd : {true, false}) {
    ASSERT_EQ(db_->BeginGroupItem(committed), 0);
    ASSERT_EQ(Write("grouped"), 0);
    if (atItemEnd) driver_->InjectFaults(busy);
    EXPECT_EQ(db_->EndGroupItem(true), atItemEnd ? kDatabaseBusy : 0);
    if (!atItemEnd) {
      driver_->InjectFaults(busy);
      EXPECT_EQ(db_->CommitGroup(committed), kDatabaseBusy);
      EXPECT_FALSE(committed);
    }
  }
  EXPECT_EQ(db_->StopCommitGroups(committed), 0);
  driver_->InjectFaults({});
  EXPECT_EQ(ItemCount(), 0);
}

TEST_F(TransactionTest, FailedCommitIsRolledBackAndAnswersItsCode) {
  ASSERT_EQ(db_->IniciaTran(), 0);
  ASSERT_EQ(Write("a"), 0);
  driver_->InjectFaults({.failCall = 1});
  EXPECT_EQ(db_->TerminaTran(true), 3939);
  EXPECT_THAT(LogTexts(), Contains("TerminaTran erro:3939 EDriverError:The server failed call 1"));
  EXPECT_FALSE(db_->EstaEmTran());
  EXPECT_EQ(ItemCount(), 0);
  EXPECT_EQ(Write("b"), 0) << "the connection is still usable";
  EXPECT_EQ(ItemCount(), 1);
}

TEST_F(TransactionTest, GuardLogsAnEndThatFailed) {
  {
    TTransactionGuard guard(*db_);
    ASSERT_EQ(guard.Code(), 0);
    ASSERT_EQ(Write("first"), 0);
    driver_->InjectFaults({.failCall = 1, .failAsConnectionLoss = true});
    EXPECT_EQ(Write("lost"), 3939);
  }
  EXPECT_THAT(LogTexts(), Contains("TTransactionGuard rollback erro:3939"));
  EXPECT_FALSE(db_->EstaEmTran());
  EXPECT_EQ(ItemCount(), 0);
}

TEST_F(TransactionTest, ResultSetOfALostConnectionAnswers3939) {
  TDataSetHolder ds(*db_, "TestRows");
  ASSERT_EQ(db_->ExecStProc(*ds, 2), 0);
  driver_->DropConnection();
  bool more = true;
  EXPECT_EQ(ds->NextResultSet(more), 3939);
  EXPECT_FALSE(more);
  EXPECT_THAT(LogTexts(),
              Contains("NextResultSet TestRows erro:3939 EDriverError:Connection failure: the connection to "
                       "the database was lost"));
}

TEST_F(TransactionTest, FileThatIsNotADatabaseCannotBeOpened) {
  zi::test::WriteFile(dir_.File("text.db"), "just some text, not a database at all\n");
  TAdoDataBaseCustomizado other(std::make_unique<EmbeddedDriver>(dir_.File("text.db"), &TestRegistry()), false, "");
  EXPECT_THROW(other.Open(), EDriverError);
  EXPECT_EQ(zi::test::ReadFile(dir_.File("text.db")), "just some text, not a database at all\n");
}

}  // namespace
}  // namespace zi::db::test

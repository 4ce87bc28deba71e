// Statements through the real embedded server: the write's synchronisation of value rows, its
// atomicity under failures injected at every call, and the reads' checks.
#include <gtest/gtest.h>

#include "database_support.h"
#include "statements/statement_db.h"
#include "toolbox/own_codes.h"

namespace zi {
namespace {

using test::StatementDatabaseTest;

class StatementWrite : public StatementDatabaseTest {
 protected:
  TBalanco NewStatement() {
    TBalanco bal;
    bal.head.empresa = 1;
    bal.head.dataref = *ParseIsoDate("2023-12-31");
    bal.head.consolidado = 1;
    bal.head.meses = 12;
    bal.head.moeda = 1;
    bal.head.datamoeda = *ParseIsoDate("2023-12-31");
    bal.Celula(kPeriodoFY, 1).valor = 10;
    bal.Celula(kPeriodoFY, 2).valor = 20;
    bal.Celula(kPeriodo3M, 3).valor = 30;
    return bal;
  }
  std::string Rows() {
    std::string text;
    const auto sets = Sql("SELECT De3Meses, conta, valor, CalcOuRx FROM BalancoUmaConta ORDER BY De3Meses, conta");
    for (const auto& row : sets.at(0).rows)
      text += std::to_string(row[0].AsInteger()) + "/" + std::to_string(row[1].AsInteger()) + "=" +
              NumeroSimples(row[2].AsFloat()) + (row[3].AsBoolean() ? "c " : " ");
    return text;
  }
};

TEST_F(StatementWrite, NewStatementGetsItsIdAndReadsBackWithoutCalculatedFlags) {
  TBalanco bal = NewStatement();
  bal.Celula(kPeriodoFY, 1).CalcOuRx = true;
  ASSERT_EQ(DbBalPut(bal, false), 0);
  ASSERT_GT(bal.head.id, 0);
  TBalanco read;
  ASSERT_EQ(DbBalGet(bal.head.id, read), 0);
  THeadBal expected = bal.head;
  expected.DataUltAlteracao = read.head.DataUltAlteracao;
  EXPECT_EQ(read.head, expected);
  EXPECT_FALSE(read.head.DataUltAlteracao.IsNoDate());
  EXPECT_EQ(read.Valor(kPeriodoFY, 1), 10);
  EXPECT_FALSE(read.Celula(kPeriodoFY, 1).CalcOuRx);
  EXPECT_EQ(read.Valor(kPeriodo3M, 3), 30);
  EXPECT_TRUE(IsMissing(read.Valor(kPeriodo3M, 1)));
  TBalanco byIdentity;
  ASSERT_EQ(DbBalGetPelaDataCons(1, bal.head.dataref, true, 0, 0, byIdentity), 0);
  EXPECT_EQ(byIdentity.head.id, bal.head.id);
  EXPECT_EQ(DbBalGetPelaDataCons(1, bal.head.dataref, false, 0, 0, byIdentity), kBalNaoExiste);
  EXPECT_EQ(SqlValue("SELECT count(*) FROM BalancoNaoLogaContas"), 0);
}

// Rows are deleted, rewritten and inserted exactly as needed: a trigger records every update.
TEST_F(StatementWrite, SynchronisationTouchesOnlyWhatChanged) {
  TBalanco bal = NewStatement();
  ASSERT_EQ(DbBalPut(bal, false), 0);
  Sql("UPDATE BalancoUmaConta SET CalcOuRx = 1 WHERE conta = 2");
  Sql("CREATE TABLE updated (conta INTEGER)");
  Sql("CREATE TRIGGER on_update AFTER UPDATE ON BalancoUmaConta BEGIN INSERT INTO updated VALUES (new.conta); END");
  bal.Celula(kPeriodoFY, 1).valor = kMissing;  // deleted
  bal.Celula(kPeriodo3M, 3).valor = 31;        // rewritten
  bal.Celula(kPeriodoFY, 4).valor = 40;        // inserted
  ASSERT_EQ(DbBalPut(bal, false), 0);
  EXPECT_EQ(Rows(), "0/2=20 0/4=40 1/3=31 ");
  // Account 2 kept its value but lost its flag; account 4 was inserted, not updated.
  std::string updated;
  const auto sets = Sql("SELECT conta FROM updated ORDER BY conta");
  for (const auto& row : sets.at(0).rows)
    updated += std::to_string(row[0].AsInteger()) + " ";
  EXPECT_EQ(updated, "2 3 ");

  for (int periodo = 0; periodo < kPeriodos; ++periodo)
    for (int conta = 1; conta <= kMaxContaBal; ++conta) bal.Celula(periodo, conta).valor = kMissing;
  ASSERT_EQ(DbBalPut(bal, false), 0);
  EXPECT_EQ(Rows(), "");
}

// A failure at any call of the write leaves the database as it was and a new statement without id;
// the registration that keeps account changes out of the server's log is not part of the write.
TEST_F(StatementWrite, FailureAtAnyCallWritesNothing) {
  TBalanco stored = NewStatement();
  ASSERT_EQ(DbBalPut(stored, false), 0);
  for (bool update : {true, false}) {
    const std::string before = Dump();
    int failures = 0;
    for (int call = 1;; ++call) {
      TBalanco bal = update ? stored : NewStatement();
      if (!update) bal.head.dataref = *ParseIsoDate("2022-12-31");
      bal.head.meses = 6;
      bal.Celula(kPeriodoFY, 1).valor = 11;
      bal.Celula(kPeriodoFY, 7).valor = 70;
      Driver().InjectFaults({.failCall = call});
      const int code = DbBalPut(bal, false);
      Driver().InjectFaults({});
      if (code == 0 && update) break;
      if (code == 0) {
        // The registration call's failure does not fail the write; the calls after it still count.
        if (call > 10) break;
        Sql("DELETE FROM Balanco WHERE id <> " + std::to_string(stored.head.id));
        Sql("DELETE FROM BalancoNaoLogaContas");
        continue;
      }
      ++failures;
      EXPECT_EQ(Dump(), before) << "call " << call;
      if (!update) {
        EXPECT_EQ(bal.head.id, 0) << "call " << call;
      }
    }
    // Begin, header, rows, batch and commit; a new statement has no rows to read but the same steps.
    EXPECT_GE(failures, update ? 5 : 4) << update;
    if (update) {
      EXPECT_NE(Dump(), before);
    }
  }
}

TEST_F(StatementWrite, BrokenConstraintInTheBatchIsLoggedAsSuchAndRollsBack) {
  TBalanco bal = NewStatement();
  Sql("CREATE TRIGGER refuse BEFORE INSERT ON BalancoUmaConta WHEN new.conta = 2 BEGIN "
      "SELECT RAISE(ABORT, 'CHECK constraint failed: test'); END");
  EXPECT_EQ(DbBalPut(bal, false), kBalPutNaoEnviado);
  EXPECT_EQ(bal.head.id, 0);
  EXPECT_EQ(SqlValue("SELECT count(*) FROM Balanco"), 0);
  EXPECT_NE(Log().find("DbBalPut(passo:35)->error:15778 "), std::string::npos);
}

TEST_F(StatementWrite, InfiniteValueIsRefusedBeforeTheServer) {
  TBalanco bal = NewStatement();
  bal.Celula(kPeriodo3M, 9).valor = std::numeric_limits<double>::infinity();
  EXPECT_EQ(DbBalPut(bal, false), kStatementValueInfinite);
  EXPECT_EQ(SqlValue("SELECT count(*) FROM Balanco"), 0);
}

TEST_F(StatementWrite, SourceOutOfRangeFailsTheRead) {
  TBalanco bal = NewStatement();
  ASSERT_EQ(DbBalPut(bal, false), 0);
  Sql("UPDATE Balanco SET sourcedobal = 8");
  TBalanco read;
  EXPECT_EQ(DbBalGet(bal.head.id, read), 25035);
  EXPECT_EQ(read.head, THeadBal{});
  EXPECT_NE(Log().find("@sourcedobal.out of range detected. hi:7 vi:8"), std::string::npos);
}

TEST_F(StatementWrite, MonthsAreNotPartOfTheIdentity) {
  TBalanco year = NewStatement();
  ASSERT_EQ(DbBalPut(year, false), 0);
  TBalanco quarter = NewStatement();
  quarter.head.meses = 3;
  ASSERT_EQ(DbBalPut(quarter, false), 0);
  EXPECT_EQ(quarter.head.id, year.head.id);
  EXPECT_EQ(SqlValue("SELECT count(*) FROM Balanco"), 1);
  TBalanco older = NewStatement();
  older.head.dataref = *ParseIsoDate("2020-12-31");
  ASSERT_EQ(DbBalPut(older, false), 0);
  std::vector<int> ids;
  ASSERT_EQ(DbBalancosIdDaEmp(1, 0, 0, ids), 0);
  EXPECT_EQ(ids, (std::vector<int>{older.head.id, year.head.id}));
  EXPECT_EQ(DbBalDel(year.head.id), 0);
  EXPECT_EQ(SqlValue("SELECT count(*) FROM BalancoUmaConta WHERE balanco = " + std::to_string(year.head.id)), 0);
}

}  // namespace
}  // namespace zi

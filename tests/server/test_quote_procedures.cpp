// The quote procedures: the import's writer with its keep flags, no-overwrite and condition, the
// range delete, the window's writer and readers, and what each logs for the bulletin generator.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "server/server.h"
#include "server_support.h"
#include "toolbox/dates.h"

namespace zi::server::test {
namespace {

using Values = std::map<std::string, DbValue>;
using Row = std::vector<DbValue>;

constexpr int kTickerNotFound = 3757;
constexpr int kConditionNotMet = 4390;
constexpr int kValueMissing = 99101;
constexpr int kOutOfRange = 99102;
constexpr int kNotFound = 99104;
constexpr int kHasChildren = 3799;

TDateTime Date(int year, int month, int day) {
  return TDateTime{DayNumberFromDate({year, month, day})->value + kDay1920};
}

// A *QT line's call: the ticker on exchange 1, the day, values by position (the others NULL).
Values Import(const std::string& ticker, TDateTime date, const std::map<int, DbValue>& values = {}) {
  Values call{{"@ticker", ticker}, {"@bolsa", 1}, {"@date", date}};
  for (const auto& [position, value] : values) call["@valor" + std::to_string(position)] = value;
  return call;
}

Values With(Values base, const Values& changes) {
  for (const auto& [name, value] : changes) base[name] = value;
  return base;
}

class QuoteProceduresTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(server_->Login("Ana", "s3cret").code, 0);
    Sql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petro')");
    Sql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (1, 1, 2, 0, 0)");
    Sql("INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) VALUES (7, 1, 'PETR4', 1, 1, 0)");
  }

  int Call(const std::string& procedure, const Values& inputs) {
    return server_->Execute(procedure, inputs).returnValue;
  }
  std::vector<Row> Sql(const std::string& sql, const std::vector<DbValue>& params = {}) {
    const std::vector<ResultSet> sets = server_->ExecuteSql(sql, params);
    return sets.empty() ? std::vector<Row>{} : sets[0].rows;
  }
  // Positions 1 to 3 of the stored day.
  Row Stored(TDateTime date) {
    const std::vector<Row> rows =
        Sql("SELECT v1, v2, v3 FROM Cotacao WHERE anb = 7 AND dia = ?", {static_cast<int64_t>(date.days - kDay1920)});
    return rows.empty() ? Row{} : rows[0];
  }
  // The data log's quote entries: type, series, exchange, date.
  std::vector<Row> Logged() { return Sql("SELECT tip, oid, aux, date FROM DataLog WHERE tip BETWEEN 10 AND 12 ORDER BY id"); }

  std::unique_ptr<Server> server_ = Server::Open(":memory:", ProductRegistry());
  const TDateTime day_ = Date(2024, 4, 8);
};

TEST_F(QuoteProceduresTest, ImportAddsADayThenChangesItAndLogsEachChangeUnlessABulletinCarriesIt) {
  ASSERT_EQ(Call("CotacaoImportV4", Import(" petr4 ", day_, {{1, 37.1}, {3, 38.0}})), 0);
  EXPECT_EQ(Stored(day_), (Row{37.1, DbValue(), 38.0}));
  ASSERT_EQ(Call("CotacaoImportV4", Import("PETR4", day_, {{1, 37.1}, {3, 38.0}})), 0);
  ASSERT_EQ(Call("CotacaoImportV4", Import("PETR4", day_, {{2, 36.5}})), 0);
  EXPECT_EQ(Stored(day_), (Row{DbValue(), 36.5, DbValue()})) << "every position is written";
  const TDateTime next = Date(2024, 4, 9);
  ASSERT_EQ(Call("CotacaoImportV4", With(Import("PETR4", next, {{1, 1.0}}), {{"@NaoLogar", true}})), 0);
  EXPECT_EQ(Logged(), (std::vector<Row>{{10, 7, 1, day_}, {11, 7, 1, day_}})) << "the unchanged day is not logged";
  EXPECT_EQ(Stored(next), (Row{1.0, DbValue(), DbValue()}));
}

TEST_F(QuoteProceduresTest, KeepFlagsAndNoOverwriteKeepStoredValues) {
  ASSERT_EQ(Call("CotacaoImportV4", Import("PETR4", day_, {{1, 1.0}, {2, 2.0}})), 0);
  ASSERT_EQ(Call("CotacaoImportV4", With(Import("PETR4", day_, {{1, 10.0}, {3, 30.0}}), {{"@keepvlr1", true}})), 0);
  EXPECT_EQ(Stored(day_), (Row{1.0, DbValue(), 30.0}));
  ASSERT_EQ(Call("CotacaoImportV4", With(Import("PETR4", day_, {{1, 9.0}, {2, 20.0}}), {{"@NoOverwrite", true}})), 0);
  EXPECT_EQ(Stored(day_), (Row{1.0, 20.0, 30.0})) << "only the position without a value is filled";
  const TDateTime fresh = Date(2024, 4, 10);
  ASSERT_EQ(Call("CotacaoImportV4", With(Import("PETR4", fresh, {{1, 5.0}, {2, 6.0}}), {{"@keepvlr2", true}})), 0);
  EXPECT_EQ(Stored(fresh), (Row{5.0, DbValue(), DbValue()})) << "a new day has nothing to keep";
}

TEST_F(QuoteProceduresTest, TheConditionComparesTheStoredValueAtItsPosition) {
  ASSERT_EQ(Call("CotacaoImportV4", Import("PETR4", day_, {{2, 10.0}})), 0);
  const struct {
    int op;
    int position;
    DbValue term;
    bool holds;
  } cases[] = {
      {1, 0, DbValue(), true},    {2, 2, 10.0, true},        {2, 2, 11.0, false},  {2, 1, 11.0, true},
      {3, 2, 11.0, true},         {3, 2, 10.0 + 1e-9, false}, {4, 2, 11.0, true},  {4, 2, 10.0, false},
      {5, 2, 9.0, true},          {5, 2, DbValue(), false},  {6, 1, DbValue(), true}, {6, 2, DbValue(), false},
      {7, 2, DbValue(), true},    {7, 1, DbValue(), false},  {8, 2, 10.0, true},   {8, 1, 10.0, false},
      {9, 2, 9.0, true},          {9, 1, 9.0, false},        {10, 2, 11.0, true},  {10, 2, 10.0, false},
      {11, 2, 9.0, true},         {11, 2, DbValue(), false},
  };
  for (const auto& c : cases) {
    const std::string why = "op " + std::to_string(c.op) + " position " + std::to_string(c.position);
    const Values call = With(Import("PETR4", day_, {{2, 10.0}, {3, static_cast<double>(c.op)}}),
                             {{"@IfOperador", c.op}, {"@IfValorTermo1", c.position}, {"@IfTermo2", c.term}});
    Sql("UPDATE Cotacao SET v3 = NULL");
    EXPECT_EQ(Call("CotacaoImportV4", call), c.holds ? 0 : kConditionNotMet) << why;
    EXPECT_EQ(Stored(day_)[2], c.holds ? DbValue(static_cast<double>(c.op)) : DbValue()) << why;
  }
  const TDateTime fresh = Date(2024, 4, 10);
  const Values onNewDay = With(Import("PETR4", fresh, {{1, 1.0}}), {{"@IfValorTermo1", 1}, {"@IfTermo2", 5.0}});
  EXPECT_EQ(Call("CotacaoImportV4", With(onNewDay, {{"@IfOperador", 8}})), kConditionNotMet);
  EXPECT_EQ(Call("CotacaoImportV4", With(onNewDay, {{"@IfOperador", 2}})), 0) << "a new day's values are missing";
}

TEST_F(QuoteProceduresTest, RefusedCallsWriteNothing) {
  const struct {
    const char* procedure;
    Values inputs;
    int code;
  } cases[] = {
      {"CotacaoImportV4", Import("VALE3", Date(2024, 4, 8)), kTickerNotFound},
      {"CotacaoImportV4", With(Import("PETR4", Date(2024, 4, 8)), {{"@bolsa", 2}}), kTickerNotFound},
      {"CotacaoImportV4", Import(" ", Date(2024, 4, 8)), kValueMissing},
      {"CotacaoImportV4", With(Import("PETR4", Date(2024, 4, 8)), {{"@date", DbValue()}}), kValueMissing},
      {"CotacaoImportV4", Import("PETR4", TDateTime{kDay1920}), kOutOfRange},
      {"CotacaoImportV4", Import("PETR4", TDateTime{Date(2099, 6, 5).days + 1}), kOutOfRange},
      {"CotacaoImportV4", With(Import("PETR4", Date(2024, 4, 8)), {{"@IfOperador", 12}}), kOutOfRange},
      {"CotacaoImportV4", With(Import("PETR4", Date(2024, 4, 8)), {{"@IfOperador", 8}, {"@IfValorTermo1", 28}}),
       kOutOfRange},
      {"CotacaoImportDelRange",
       {{"@ticker", "VALE3"}, {"@bolsa", 1}, {"@datefrom", Date(2024, 1, 1)}, {"@dateto", Date(2024, 12, 31)}},
       kTickerNotFound},
      {"CotacaoImportDelRange", {{"@ticker", "PETR4"}, {"@bolsa", 1}, {"@dateto", Date(2024, 12, 31)}}, kValueMissing},
      {"CotacaoPutV4", {{"@anb", 8}, {"@date", Date(2024, 4, 8)}, {"@valor1", 1.0}}, kNotFound},
  };
  const std::string before = server_->Dump();
  for (const auto& c : cases) EXPECT_EQ(Call(c.procedure, c.inputs), c.code) << c.procedure;
  EXPECT_EQ(server_->Dump(), before);
  ASSERT_EQ(server_->Login("Nobody", "x").code, kLoginFailed);
  EXPECT_EQ(Call("CotacaoImportV4", Import("PETR4", day_)), kLoginFailed);
}

TEST_F(QuoteProceduresTest, RangeDeleteWindowWriterAndReaders) {
  for (int d = 8; d <= 12; ++d) ASSERT_EQ(Call("CotacaoImportV4", Import("PETR4", Date(2024, 4, d), {{5, d * 1.0}})), 0);
  ASSERT_EQ(Call("CotacaoImportDelRange",
                 {{"@ticker", "petr4"}, {"@bolsa", 1}, {"@datefrom", Date(2024, 4, 9)}, {"@dateto", Date(2024, 4, 10)}}),
            0);
  EXPECT_EQ(Sql("SELECT tip, date FROM DataLog WHERE tip = 12 ORDER BY date"),
            (std::vector<Row>{{12, Date(2024, 4, 9)}, {12, Date(2024, 4, 10)}}));
  ASSERT_EQ(Call("CotacaoPutV4", {{"@anb", 7}, {"@date", Date(2024, 4, 11)}, {"@valor2", 2.5}, {"@NaoLogar", false}}),
            0);

  const ProcedureResult read =
      server_->Execute("CotacaoDaAnbV2", {{"@anb", 7}, {"@min", Date(2024, 4, 9)}, {"@max", Date(2024, 12, 31)}});
  ASSERT_EQ(read.returnValue, 0);
  ASSERT_EQ(read.resultSets.size(), 1u);
  const ResultSet& days = read.resultSets[0];
  ASSERT_EQ(days.columns.size(), 29u);
  EXPECT_EQ(days.columns[1], "data");
  EXPECT_EQ(days.columns[28], "valor27");
  ASSERT_EQ(days.rows.size(), 2u);
  EXPECT_EQ(Row(days.rows[0].begin(), days.rows[0].begin() + 7),
            (Row{7, int64_t(Date(2024, 4, 11).days), DbValue(), 2.5, DbValue(), DbValue(), DbValue()}))
      << "the window writes every position";
  EXPECT_EQ(days.rows[1][6], DbValue(12.0));

  const ProcedureResult first = server_->Execute("CotacaoDaAnbMinDate", {{"@anb", 7}});
  EXPECT_EQ(first.returnValue, 0);
  EXPECT_EQ(first.outputs.at("@date"), DbValue(Date(2024, 4, 8)));
  EXPECT_EQ(server_->Execute("CotacaoDaAnbV2", {{"@anb", 8}}).returnValue, kNotFound);
  Sql("INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) VALUES (8, 1, 'PETR3', 1, 1, 0)");
  EXPECT_EQ(server_->Execute("CotacaoDaAnbMinDate", {{"@anb", 8}}).returnValue, kNotFound) << "no quotes yet";

  EXPECT_EQ(Call("ObjAnbDel", {{"@id", 7}}), kHasChildren) << "a series keeps its quotes";
  Sql("INSERT INTO Provento (anb, udex, tipo, chaveExterna) VALUES (8, 30000, 5, 'ZOR-1')");
  EXPECT_EQ(Call("ObjAnbDel", {{"@id", 8}}), kHasChildren) << "and its corporate actions";
  Sql("DELETE FROM Provento");
  EXPECT_EQ(Call("ObjAnbDel", {{"@id", 8}}), 0);
}

// Within a transaction the import's writer keeps the series it found by ticker; a series added,
// changed or taken back by an undone level in between is seen by the next call.
TEST_F(QuoteProceduresTest, TheSeriesFoundByTickerFollowTheSeriesTableWithinATransaction) {
  server_->Begin();
  EXPECT_EQ(Call("CotacaoImportV4", Import("PETR3", day_, {{1, 1.0}})), kTickerNotFound);
  Sql("INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) VALUES (8, 1, 'PETR3', 1, 1, 0)");
  EXPECT_EQ(Call("CotacaoImportV4", Import("PETR3", day_, {{1, 2.0}})), 0) << "a series added is found";
  ASSERT_EQ(Call("CotacaoImportV4", Import(" petr4", day_, {{1, 3.0}})), 0);
  Sql("UPDATE anbima SET cod = 'PETR4X' WHERE id = 7");
  Sql("UPDATE anbima SET cod = 'PETR4' WHERE id = 8");
  const TDateTime next = Date(2024, 4, 9);
  ASSERT_EQ(Call("CotacaoImportV4", Import("PETR4", next, {{1, 4.0}})), 0) << "a ticker moved to another series";

  server_->BeginLevel();
  Sql("INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) VALUES (9, 1, 'VALE3', 1, 1, 0)");
  ASSERT_EQ(Call("CotacaoImportV4", Import("VALE3", day_, {{1, 5.0}})), 0);
  server_->RollbackLevel();
  EXPECT_EQ(Call("CotacaoImportV4", Import("VALE3", next, {{1, 6.0}})), kTickerNotFound)
      << "the series an undone level added is gone";
  server_->Commit();

  EXPECT_EQ(Sql("SELECT anb, dia, v1 FROM Cotacao ORDER BY v1"),
            (std::vector<Row>{{8, int64_t(day_.days - kDay1920), 2.0},
                              {7, int64_t(day_.days - kDay1920), 3.0},
                              {8, int64_t(next.days - kDay1920), 4.0}}));
}

// The writer's data-log rows wait for the end of the transaction and go in several to a statement;
// the log reads as if each had gone in with its call: in call order, without those of undone
// calls and levels, and before the rows of any other procedure.
TEST_F(QuoteProceduresTest, TheDataLogHoldsTheSameRowsWhetherItsRowsWaitOrNot) {
  const auto run = [&](Server& server, bool inTransaction) {
    const auto call = [&](const std::string& procedure, const Values& inputs) {
      if (inTransaction) server.BeginLevel();
      const int code = server.Execute(procedure, inputs).returnValue;
      if (inTransaction) server.CommitLevel();
      return code;
    };
    if (inTransaction) server.Begin();
    for (int i = 0; i < 300; ++i) {
      ASSERT_EQ(call("CotacaoImportV4", Import("PETR4", TDateTime{day_.days + i}, {{1, 1.0 * i}})), 0);
    }
    ASSERT_EQ(call("DataLogAdd", {{"@tip", 42}, {"@oid", 1}, {"@aux", 3}, {"@date", day_}}), 0);
    const Values condition{{"@IfOperador", 8}, {"@IfValorTermo1", 1}, {"@IfTermo2", 99.0}};
    EXPECT_EQ(call("CotacaoImportV4", With(Import("PETR4", day_, {{1, 7.0}}), condition)), kConditionNotMet);
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(call("CotacaoImportV4", Import("PETR4", TDateTime{day_.days + i}, {{1, 10.0 + i}})), 0);
    }
    if (!inTransaction) return;
    // A level undone after another procedure inserted the waiting rows in it gives them back.
    server.BeginLevel();
    ASSERT_EQ(server.Execute("DataLogAdd", {{"@tip", 42}, {"@oid", 2}, {"@aux", 3}, {"@date", day_}}).returnValue, 0);
    ASSERT_EQ(server.Execute("CotacaoImportV4", Import("PETR4", TDateTime{day_.days + 400})).returnValue, 0);
    server.RollbackLevel();
    server.Commit();
  };
  run(*server_, true);
  const auto other = Server::Open(":memory:", ProductRegistry());
  ASSERT_EQ(other->Login("Ana", "s3cret").code, 0);
  other->ExecuteSql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petro')");
  other->ExecuteSql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (1, 1, 2, 0, 0)");
  other->ExecuteSql(
      "INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) VALUES (7, 1, 'PETR4', 1, 1, 0)");
  run(*other, false);

  const std::string rows = "SELECT id, tip, oid, aux, date, txt, usuario FROM DataLog ORDER BY id";
  const std::vector<Row> waited = Sql(rows);
  ASSERT_EQ(waited.size(), 300u + 1 + 3);
  EXPECT_EQ(waited, other->ExecuteSql(rows)[0].rows);
  EXPECT_EQ(waited[300], (Row{301, 42, 1, 3, day_, DbValue(), waited[0][6]}));
  EXPECT_EQ(waited.back(), (Row{304, 11, 7, 1, TDateTime{day_.days + 2}, DbValue(), waited[0][6]}));
  EXPECT_EQ(Sql("SELECT count(*) FROM DataLog WHERE momento IS NULL")[0][0], DbValue(0));
}

// Outside a transaction each call's row is in the log when the call returns, as every other write.
TEST_F(QuoteProceduresTest, ACallOutsideATransactionLogsAsItReturns) {
  ASSERT_EQ(Call("CotacaoImportV4", Import("PETR4", day_, {{1, 1.0}})), 0);
  EXPECT_EQ(Logged(), (std::vector<Row>{{10, 7, 1, day_}}));
  EXPECT_FALSE(server_->InTransaction());
}

// The import's writer is whole without a savepoint: as the first call of a level it runs before the
// level's savepoint is made, and the level is undone alone only when nothing of it ran before its
// savepoint; otherwise undoing it undoes the whole transaction, and says so.
TEST_F(QuoteProceduresTest, ALevelThatBeganWithAnImportCallIsUndoneWithItsTransaction) {
  server_->Begin();
  server_->BeginLevel();
  ASSERT_EQ(Call("CotacaoImportV4", Import("PETR4", day_, {{1, 1.0}})), 0);
  server_->CommitLevel();
  server_->BeginLevel();
  EXPECT_EQ(Call("CotacaoImportV4", Import("NOSUCH", day_, {{1, 2.0}})), kTickerNotFound);
  server_->RollbackLevel();
  server_->BeginLevel();
  Sql("UPDATE anbima SET moedacot = 2 WHERE id = 7");
  ASSERT_EQ(Call("CotacaoImportV4", Import("PETR4", Date(2024, 4, 9), {{1, 3.0}})), 0);
  server_->RollbackLevel();
  EXPECT_EQ(Sql("SELECT moedacot FROM anbima WHERE id = 7"), (std::vector<Row>{{1}}));
  EXPECT_EQ(Stored(Date(2024, 4, 9)), Row{});
  ASSERT_TRUE(server_->InTransaction());
  EXPECT_EQ(Stored(day_), (Row{1.0, DbValue(), DbValue()}));

  server_->BeginLevel();
  ASSERT_EQ(Call("CotacaoImportV4", Import("PETR4", Date(2024, 4, 10), {{1, 4.0}})), 0);
  Sql("UPDATE anbima SET moedacot = 3 WHERE id = 7");
  EXPECT_THROW(server_->RollbackLevel(), ServerError);
  EXPECT_FALSE(server_->InTransaction());
  EXPECT_EQ(Sql("SELECT count(*) FROM Cotacao"), (std::vector<Row>{{0}}));
  EXPECT_EQ(Sql("SELECT moedacot FROM anbima WHERE id = 7"), (std::vector<Row>{{1}}));
  EXPECT_TRUE(Logged().empty());
}

}  // namespace
}  // namespace zi::server::test

// Indicator values by effective date, the multi-result readers, the rights of their writers and
// grids, and the single series changes of the import.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/own_codes.h"

namespace zi::server {
namespace {

using Values = std::map<std::string, DbValue>;
using Row = std::vector<DbValue>;

constexpr int kValueMissing = kAnswerValueMissing;
constexpr int kOutOfRange = kAnswerOutOfRange;
constexpr int kUnknownReference = kAnswerUnknownReference;
constexpr int kNotFound = kAnswerNotFound;
constexpr int kNoSeriesRight = kAnswerNoSeriesRight;
constexpr int kNoCompanyRight = 15258;
constexpr int kStatusRefused = 15275;
constexpr int kNoContent = 4251;

TDateTime Day(double days) { return TDateTime{days}; }

class IndicatorProceduresTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(server_->Login("Ana", "pw").code, 0);
    for (const char* sql : {"INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petrobras')",
                            "INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (1, 1, 3, 1, 0)",
                            "INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) "
                            "VALUES (1, 1, 'PETR4', 1, 1, 0)"}) {
      server_->ExecuteSql(sql);
    }
  }

  int Call(const std::string& procedure, const Values& inputs) {
    return server_->Execute(procedure, inputs).returnValue;
  }

  // The rows of a multi-result reader: a first and a last "result" of 0 around them.
  std::vector<Row> MultiRows(const std::string& procedure, const Values& inputs) {
    const ProcedureResult result = server_->Execute(procedure, inputs);
    const ResultSet zero{{"result"}, {{0}}};
    if (result.returnValue != 0 || result.resultSets.size() != 3 || result.resultSets[0].rows != zero.rows ||
        result.resultSets[2].rows != zero.rows) {
      ADD_FAILURE() << procedure << " answered " << result.returnValue << " with " << result.resultSets.size()
                    << " result sets";
      return {};
    }
    return result.resultSets[1].rows;
  }

  std::vector<Row> Query(const std::string& sql) { return server_->ExecuteSql(sql).at(0).rows; }

  void LogInAsUser(int64_t userFlag) {
    ASSERT_GT(server_->AddUser({.name = "Bia", .userFlag = userFlag}, "pw"), 0);
    ASSERT_EQ(server_->Login("Bia", "pw").code, 0);
  }

  std::unique_ptr<Server> server_ = Server::Open(":memory:", ProductRegistry());
};

// A put at a date replaces that date's value and keeps the others; the value at a date is the one
// of the latest date on or before it, the timeless one before the first.
TEST_F(IndicatorProceduresTest, ValuesKeepTheirHistoryByEffectiveDate) {
  const auto put = [&](const DbValue& date, double value) {
    return Call("PutValorDoIndicadorDaEmpNaData",
                {{"@emp", 1}, {"@idindica", 63}, {"@datainivigencia", date}, {"@valornum", value}});
  };
  ASSERT_EQ(put(DbValue(), 10), 0);
  ASSERT_EQ(put(Day(45000), 20), 0);
  ASSERT_EQ(put(Day(45100), 30), 0);
  ASSERT_EQ(put(Day(45000), 21), 0);
  EXPECT_EQ(MultiRows("GetIndicadoresDaEmp", {{"@emp", 1}, {"@idindica", 0}}),
            (std::vector<Row>{{63, 10.0, DbValue(), DbValue(), DbValue(), 1},
                              {63, 21.0, DbValue(), DbValue(), Day(45000), 1},
                              {63, 30.0, DbValue(), DbValue(), Day(45100), 1}}));
  const struct {
    DbValue date;
    double value;
  } cases[] = {{Day(44000), 10}, {Day(45000), 21}, {Day(45099), 21}, {Day(46000), 30}, {DbValue(), 30}};
  for (const auto& c : cases) {
    EXPECT_EQ(MultiRows("GetIndicadorDaEmpNaData", {{"@emp", 1}, {"@idindica", 63}, {"@dataVigencia", c.date}}),
              (std::vector<Row>{{DbValue(), c.value, DbValue()}}))
        << c.value;
  }
  EXPECT_TRUE(MultiRows("GetIndicadorDaEmpNaData", {{"@emp", 1}, {"@idindica", 58}, {"@dataVigencia", Day(45000)}})
                  .empty());
  EXPECT_EQ(MultiRows("GetIndicadoresDaEmp", {{"@emp", 1}, {"@idindica", 58}}).size(), 0u);
}

TEST_F(IndicatorProceduresTest, WritersRefuseUnknownObjectsIndicatorsAndValuesOutOfTheirColumn) {
  const struct {
    Values inputs;
    int code;
  } cases[] = {
      {{{"@emp", 9}, {"@idindica", 63}, {"@valornum", 1.0}}, kUnknownReference},
      {{{"@emp", 1}, {"@idindica", 64000}, {"@valornum", 1.0}}, kUnknownReference},
      {{{"@idindica", 63}, {"@valornum", 1.0}}, kValueMissing},
      {{{"@emp", 1}, {"@idindica", 63}, {"@valorst", "x"}}, kOutOfRange},
      {{{"@emp", 1}, {"@idindica", 58}, {"@valornum", 1.0}}, kOutOfRange},
      {{{"@emp", 1}, {"@idindica", 60}, {"@valornum", 1.0}, {"@valordt", Day(1)}}, kOutOfRange},
      {{{"@emp", 1}, {"@idindica", 58}}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Call("PutValorDoIndicadorDaEmpNaData", c.inputs), c.code);
  }
  EXPECT_EQ(Query("SELECT count(*) FROM IndicadoresDaEmp WHERE valorst IS NULL AND valornum IS NULL")[0][0], 1)
      << "a value without any column is kept";
}

// The values of companies and classes need the company right, those of series the series right,
// whether they come through the writers or through a grid's row changes; readers need a session.
TEST_F(IndicatorProceduresTest, EachLevelIsWrittenUnderTheRightOfItsObjects) {
  const struct {
    int64_t userFlag;
    int company;
    int series;
  } cases[] = {{0, kNoCompanyRight, kNoSeriesRight}, {1, 0, kNoSeriesRight}, {2, kNoCompanyRight, 0}};
  for (const auto& c : cases) {
    server_ = Server::Open(":memory:", ProductRegistry());
    ASSERT_EQ(server_->Login("Ana", "pw").code, 0);
    SetUp();
    LogInAsUser(c.userFlag);
    for (const auto& [level, key, expected] : {std::tuple{"DaEmp", "@emp", c.company},
                                               std::tuple{"DoAtv", "@atv", c.company},
                                               std::tuple{"DoAnb", "@anb", c.series}}) {
      const int indicator = std::string(level) == "DoAnb" ? 48 : 58;
      EXPECT_EQ(Call(std::string("PutValorDoIndicador") + level + "NaData",
                     {{key, 1}, {"@idindica", indicator}, {"@valorst", "x"}}),
                expected)
          << level << " flags " << c.userFlag;
      const std::string table = std::string("Indicadores") + level;
      const RowChange insert{RowChange::Kind::Insert,
                             {},
                             {{key + 1, 1}, {"indica", indicator}, {"DataIniVigencia", Day(45000)}, {"valorst", "y"}}};
      if (expected == 0) {
        EXPECT_NO_THROW(server_->ApplyRowChanges(table, {insert})) << table;
      } else {
        EXPECT_THROW(server_->ApplyRowChanges(table, {insert}), ServerError) << table;
      }
    }
    EXPECT_EQ(MultiRows("GetIndicadoresDaEmp", {{"@emp", 1}, {"@idindica", 0}}).size(), c.company == 0 ? 2u : 0u);
  }
  server_ = Server::Open(":memory:", ProductRegistry());
  for (const char* reader : {"GetTodosDefIndicador", "GetIndicadoresDaEmp", "LinhaDeFormatoList"}) {
    const ProcedureResult result = server_->Execute(reader, {});
    EXPECT_EQ(result.returnValue, kLoginFailed) << reader;
    ASSERT_EQ(result.resultSets.size(), 1u) << reader;
    EXPECT_EQ(result.resultSets[0].rows, (std::vector<Row>{{kLoginFailed}})) << reader;
  }
}

TEST_F(IndicatorProceduresTest, DeletingAnObjectTakesItsValuesAlong) {
  ASSERT_EQ(Call("PutValorDoIndicadorDoAnbNaData", {{"@anb", 1}, {"@idindica", 48}, {"@valorst", "PN"}}), 0);
  ASSERT_EQ(Call("ObjAnbDel", {{"@id", 1}}), 0);
  EXPECT_EQ(Query("SELECT count(*) FROM IndicadoresDoAnb")[0][0], 0);
}

TEST_F(IndicatorProceduresTest, SeriesStatusFollowsTheRulesOfTheSeriesWriters) {
  const auto status = [&](const std::string& ticker, const DbValue& value, bool allTypes) {
    return Call("ImportAnbBGLDestino",
                {{"@ticker", ticker},
                 {"@bolsa", 1},
                 {"@NovoTBGLDestino", value},
                 {"@PodeTodosOsTiposDeBGL", allTypes}});
  };
  EXPECT_EQ(status("petr4", 5, false), 0) << "the ticker whatever its case";
  EXPECT_EQ(status("PETR4", 4, false), kStatusRefused);
  EXPECT_EQ(status("PETR4", 4, true), 0);
  EXPECT_EQ(status("PETR4", 4, false), 0) << "the status it holds";
  EXPECT_EQ(status("PETR4", 12, true), kOutOfRange);
  EXPECT_EQ(status("PETR3", 0, true), kNotFound);
  EXPECT_EQ(status("", 0, true), kValueMissing);
  EXPECT_EQ(Query("SELECT TipoDeBGLDestino FROM anbima WHERE id = 1")[0][0], 4);
  LogInAsUser(1);
  EXPECT_EQ(status("PETR4", 0, true), kNoSeriesRight);
}

TEST_F(IndicatorProceduresTest, IsinIsKeptWholeOrRefused) {
  const auto isin = [&](const std::string& value) {
    return Call("ImportAnbISIN", {{"@ticker", "PETR4"}, {"@bolsa", 1}, {"@NovoISIN", value}});
  };
  EXPECT_EQ(isin("BRPETRACNPR6X"), kOutOfRange);
  EXPECT_EQ(isin(" BRPETRACNPR6 "), 0);
  EXPECT_EQ(Query("SELECT isin FROM anbima")[0][0], "BRPETRACNPR6");
  EXPECT_EQ(isin(""), 0);
  EXPECT_EQ(Query("SELECT isin FROM anbima")[0][0], "");
  EXPECT_EQ(Call("ImportAnbISIN", {{"@ticker", "PETR4"}, {"@bolsa", 2}, {"@NovoISIN", "X"}}), kNotFound);
}

TEST_F(IndicatorProceduresTest, NameListsOfACountry) {
  const auto get = [&](int64_t country, int64_t type) {
    return server_->Execute("BufPorPaisGet", {{"@pais", country}, {"@tipo", type}});
  };
  EXPECT_EQ(get(0, 1).returnValue, kNoContent);
  server_->ExecuteSql("INSERT INTO BufPorPais (pais, tipo, conteudo) VALUES (0, 1, 'sociedade anonima = S.A.')");
  const ProcedureResult found = get(0, 1);
  EXPECT_EQ(found.returnValue, 0);
  EXPECT_EQ(found.outputs.at("@conteudo"), "sociedade anonima = S.A.");
  EXPECT_EQ(found.outputs.at("@ConteudoLen"), 24);
  EXPECT_EQ(get(0, 2).returnValue, kNoContent);
  EXPECT_EQ(get(0, 3).returnValue, kOutOfRange);
}

}  // namespace
}  // namespace zi::server

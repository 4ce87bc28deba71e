// The indicator history editor's model against a demo database: the rows of an indicator by
// effective date, edits sent in one batch, the entry taken from the latest row on closing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/indicator_definitions.h"
#include "catalogue/indicators.h"
#include "catalogue/objects.h"
#include "desktop/core/catalogue/indicator_history.h"
#include "support/demo_database.h"
#include "toolbox/dates.h"
#include "toolbox/display_formats.h"
#include "toolbox/own_codes.h"

namespace zi::desktop {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

constexpr int kEmployees = 63;  // an integer indicator of companies: its value is valornum

TDayNumber Day(const char* iso) { return *ParseIsoDate(iso); }

TDateTime At(const char* iso) {
  const TCalendarDate d = DateFromDayNumber(Day(iso));
  return DateTimeFromCalendar({d.year, d.month, d.day});
}

TValorDeIndicador Number(double n) { return {.nulo = false, .valornum = n}; }

class IndicatorHistoryTest : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    empresa_ = CompanyId("PETR");
    // Written out of order: the grid shows them by date.
    for (const auto& [iso, n] :
         std::vector<std::pair<const char*, double>>{{"2021-03-01", 200}, {"2019-01-15", 100}, {"2023-07-31", 300}}) {
      ASSERT_EQ(PutValorDoIndicadorNaData(kNivelEmpresa, empresa_, kEmployees, Day(iso), Number(n)), 0);
    }
  }

  // The visible cells of a row.
  std::vector<std::string> Shown(const tIndicatorHistory& h, int row) {
    std::vector<std::string> cells;
    const tGridRows& rows = h.Rows();
    for (size_t c = 0; c < rows.Columns().size(); ++c) {
      if (!rows.Columns()[c].hidden) cells.push_back(rows.Text(row, static_cast<int>(c)));
    }
    return cells;
  }
  int Col(const tIndicatorHistory& h, const char* name) { return h.Rows().ColumnIndex(name); }
  std::string Values() {
    std::string text;
    const auto results = Server().ExecuteSql(
        "select valornum from IndicadoresDaEmp where emp = ? and indica = ? order by DataIniVigencia",
        {DbValue(empresa_), DbValue(kEmployees)});
    for (const auto& row : results.at(0).rows) {
      text += ShownNumber(row.at(0).AsFloat()) + ";";
    }
    return text;
  }

  int empresa_ = 0;
};

TEST_F(IndicatorHistoryTest, ShowsTheRowsByEffectiveDateWithTheKeyColumnsHidden) {
  tIndicatorHistory h(kNivelEmpresa, empresa_, kEmployees);
  ASSERT_EQ(h.Open(), 0);
  std::vector<std::string> visible;
  for (const TGridColumn& column : h.Rows().Columns()) {
    if (!column.hidden) visible.push_back(column.name);
  }
  EXPECT_THAT(visible, ElementsAre("DataIniVigencia", "valornum", "valordt", "valorst"));
  ASSERT_EQ(h.Rows().RowCount(), 3);
  EXPECT_THAT(Shown(h, 0), ElementsAre(ShownDay(Day("2019-01-15")), "100", "", ""));
  EXPECT_THAT(Shown(h, 1), ElementsAre(ShownDay(Day("2021-03-01")), "200", "", ""));
  EXPECT_THAT(Shown(h, 2), ElementsAre(ShownDay(Day("2023-07-31")), "300", "", ""));
  EXPECT_FALSE(h.ReadOnly());
  EXPECT_EQ(h.Title(), "N\xFAmero de funcion\xE1rios");
}

TEST_F(IndicatorHistoryTest, AnAddedRowGetsTheObjectAndIndicatorAndAnEditedRowIsRewritten) {
  tIndicatorHistory h(kNivelEmpresa, empresa_, kEmployees);
  ASSERT_EQ(h.Open(), 0);
  const int row = h.AddRow();
  ASSERT_EQ(row, 3);
  ASSERT_TRUE(h.Rows().SetText(row, Col(h, "DataIniVigencia"), ShownDay(Day("2024-02-29"))));
  ASSERT_TRUE(h.Rows().SetText(row, Col(h, "valornum"), "400"));
  ASSERT_TRUE(h.Rows().SetText(0, Col(h, "valornum"), "150"));
  ASSERT_EQ(h.Save(), 0);
  EXPECT_FALSE(h.Rows().Modified());
  EXPECT_EQ(Values(), "150;200;300;400;");
  EXPECT_EQ(
      Server()
          .ExecuteSql("select count(*) from IndicadoresDaEmp where emp = ? and indica = ? and DataIniVigencia = ?",
                      {DbValue(empresa_), DbValue(kEmployees), DbValue(At("2024-02-29"))})
          .at(0)
          .rows.at(0)
          .at(0),
      DbValue(int64_t{1}));
  ASSERT_EQ(h.Rows().RowCount(), 4);
  EXPECT_THAT(Shown(h, 3), ElementsAre(ShownDay(Day("2024-02-29")), "400", "", ""));
}

TEST_F(IndicatorHistoryTest, ADeletedRowIsGoneAfterTheSave) {
  tIndicatorHistory h(kNivelEmpresa, empresa_, kEmployees);
  ASSERT_EQ(h.Open(), 0);
  ASSERT_TRUE(h.Rows().DeleteRow(1));
  ASSERT_EQ(h.Save(), 0);
  EXPECT_EQ(Values(), "100;300;");
}

TEST_F(IndicatorHistoryTest, ABadDateOrNumberIsRefusedAndTheCellKeepsItsValue) {
  tIndicatorHistory h(kNivelEmpresa, empresa_, kEmployees);
  ASSERT_EQ(h.Open(), 0);
  struct Case {
    const char* column;
    const char* text;
  };
  for (const Case& c :
       {Case{"DataIniVigencia", "not a date"}, Case{"DataIniVigencia", "31/31/2020"}, Case{"DataIniVigencia", "2020"},
        Case{"valornum", "12abc"}, Case{"valornum", "1 2"}, Case{"valornum", "nan"}, Case{"valordt", "yesterday"}}) {
    const std::string before = h.Rows().Text(0, Col(h, c.column));
    EXPECT_FALSE(h.Rows().SetText(0, Col(h, c.column), c.text)) << c.column << " " << c.text;
    EXPECT_EQ(h.Rows().Text(0, Col(h, c.column)), before);
  }
  EXPECT_FALSE(h.Rows().Modified());
}

TEST_F(IndicatorHistoryTest, ClosingGivesTheEntryTheLatestRow) {
  UmIndicadorDaEmpAtvAnb entrada;
  int shows = 0;
  const bool escreveu =
      EditaHistoricoDoIndicador(kNivelEmpresa, empresa_, kEmployees, entrada, [&](tIndicatorHistory& h) {
        ++shows;
        const int row = h.AddRow();
        EXPECT_TRUE(h.Rows().SetText(row, Col(h, "DataIniVigencia"), ShownDay(Day("2025-01-02"))));
        EXPECT_TRUE(h.Rows().SetText(row, Col(h, "valornum"), "500"));
        return true;
      });
  EXPECT_TRUE(escreveu);
  EXPECT_EQ(shows, 1);
  EXPECT_TRUE(entrada.present);
  EXPECT_TRUE(entrada.modified);
  EXPECT_FALSE(entrada.valor.nulo);
  EXPECT_EQ(entrada.valor.valornum, 500);
  EXPECT_FALSE(entrada.semDataDeVigencia);
  EXPECT_EQ(entrada.dataDaLinha, At("2025-01-02"));
}

TEST_F(IndicatorHistoryTest, AnEntryThatHoldsTheLatestRowStaysNotModified) {
  UmIndicadorDaEmpAtvAnb entrada;
  entrada.present = true;
  entrada.valor = Number(300);
  EXPECT_FALSE(EditaHistoricoDoIndicador(kNivelEmpresa, empresa_, kEmployees, entrada,
                                         [](tIndicatorHistory&) { return false; }));
  EXPECT_TRUE(entrada.present);
  EXPECT_FALSE(entrada.modified);
}

TEST_F(IndicatorHistoryTest, WithoutRowsTheEntryIsAbsent) {
  UmIndicadorDaEmpAtvAnb entrada;
  entrada.present = true;
  entrada.valor = Number(300);
  EXPECT_TRUE(EditaHistoricoDoIndicador(kNivelEmpresa, empresa_, kEmployees, entrada, [&](tIndicatorHistory& h) {
    while (h.Rows().RowCount() > 0) EXPECT_TRUE(h.Rows().DeleteRow(0));
    return true;
  }));
  EXPECT_EQ(Values(), "");
  EXPECT_FALSE(entrada.present);
  EXPECT_TRUE(entrada.modified);
}

TEST_F(IndicatorHistoryTest, EscapeWritesNothingAndTheEntryFollowsTheServer) {
  UmIndicadorDaEmpAtvAnb entrada;
  EXPECT_FALSE(EditaHistoricoDoIndicador(kNivelEmpresa, empresa_, kEmployees, entrada, [&](tIndicatorHistory& h) {
    EXPECT_TRUE(h.Rows().SetText(2, Col(h, "valornum"), "999"));
    return false;
  }));
  EXPECT_EQ(Values(), "100;200;300;");
  EXPECT_EQ(entrada.valor.valornum, 300);
}

TEST_F(IndicatorHistoryTest, APlainUserSeesTheHistoryReadOnly) {
  LogInAsUser(0);
  tIndicatorHistory h(kNivelEmpresa, empresa_, kEmployees);
  ASSERT_EQ(h.Open(), 0);
  EXPECT_TRUE(h.ReadOnly());
  EXPECT_EQ(h.Title(), "N\xFAmero de funcion\xE1rios [READONLY / NOT ADMIN USER]");
  EXPECT_EQ(h.Rows().RowCount(), 3);
  EXPECT_FALSE(h.Rows().Editable());
  EXPECT_FALSE(h.Rows().SetText(0, Col(h, "valornum"), "1"));
  EXPECT_EQ(h.AddRow(), -1);
  EXPECT_FALSE(h.Rows().DeleteRow(0));
  EXPECT_EQ(h.Save(), 0);
  EXPECT_EQ(Values(), "100;200;300;");
}

// Each step of the save fails in turn: reading the rows again, then sending the batch.
TEST_F(IndicatorHistoryTest, AFailedSaveLeavesTheTableAsItWasAndKeepsTheEdits) {
  for (int failCall : {1, 2}) {
    SCOPED_TRACE(failCall);
    tIndicatorHistory h(kNivelEmpresa, empresa_, kEmployees);
    ASSERT_EQ(h.Open(), 0);
    const int row = h.AddRow();
    ASSERT_TRUE(h.Rows().SetText(row, Col(h, "DataIniVigencia"), ShownDay(Day("2024-05-06"))));
    ASSERT_TRUE(h.Rows().SetText(row, Col(h, "valornum"), "410"));
    ASSERT_TRUE(h.Rows().SetText(0, Col(h, "valornum"), "110"));
    const std::string before = Dump();
    Driver().InjectFaults({.failCall = failCall});
    EXPECT_NE(h.Save(), 0);
    Driver().InjectFaults({});
    EXPECT_TRUE(Dump() == before);
    EXPECT_TRUE(h.Rows().Modified());
    EXPECT_EQ(h.Rows().RowCount(), 4);
    EXPECT_EQ(h.Rows().Text(0, Col(h, "valornum")), "110");
    // Sent again, the edits are written once.
    ASSERT_EQ(h.Save(), 0);
    EXPECT_EQ(Values(), "110;200;300;410;");
    ASSERT_TRUE(h.Rows().DeleteRow(3));
    ASSERT_TRUE(h.Rows().SetText(0, Col(h, "valornum"), "100"));
    ASSERT_EQ(h.Save(), 0);
  }
}

TEST_F(IndicatorHistoryTest, ARowDeletedMeanwhileFailsTheSaveAndNothingIsWritten) {
  tIndicatorHistory h(kNivelEmpresa, empresa_, kEmployees);
  ASSERT_EQ(h.Open(), 0);
  ASSERT_TRUE(h.Rows().SetText(2, Col(h, "valornum"), "301"));
  ASSERT_TRUE(h.Rows().SetText(0, Col(h, "valornum"), "101"));
  Sql("delete from IndicadoresDaEmp where valornum = 300");
  const std::string before = Dump();
  EXPECT_EQ(h.Save(), kAnswerNotFound);
  EXPECT_TRUE(Dump() == before);
  EXPECT_THAT(Log(), HasSubstr("IndicatorHistory.Save row not found in IndicadoresDaEmp"));
  EXPECT_EQ(h.Rows().Text(0, Col(h, "valornum")), "101");
  EXPECT_TRUE(h.Rows().Modified());
}

TEST_F(IndicatorHistoryTest, AFailedSaveShowsTheServersBoxAndTheFormAgainWithTheEdits) {
  UmIndicadorDaEmpAtvAnb entrada;
  int shows = 0;
  const bool escreveu =
      EditaHistoricoDoIndicador(kNivelEmpresa, empresa_, kEmployees, entrada, [&](tIndicatorHistory& h) {
        ++shows;
        if (shows == 1) {
          EXPECT_TRUE(h.Rows().SetText(2, Col(h, "valornum"), "333"));
          Driver().InjectFaults({.failCall = 2});
          return true;
        }
        Driver().InjectFaults({});
        EXPECT_EQ(h.Rows().Text(2, Col(h, "valornum")), "333");
        return true;
      });
  EXPECT_EQ(shows, 2);
  EXPECT_TRUE(escreveu);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_THAT(boxes_[0], HasSubstr("on IndicatorHistory.Save|"));
  EXPECT_EQ(Values(), "100;200;333;");
  EXPECT_EQ(entrada.valor.valornum, 333);
}

TEST_F(IndicatorHistoryTest, AnObjectNotYetSavedHasNoHistory) {
  UmIndicadorDaEmpAtvAnb entrada;
  bool shown = false;
  EXPECT_FALSE(EditaHistoricoDoIndicador(kNivelEmpresa, 0, kEmployees, entrada, [&](tIndicatorHistory&) {
    shown = true;
    return true;
  }));
  EXPECT_FALSE(shown);
  EXPECT_THAT(boxes_, ElementsAre("Warn|Save the object first: an object not yet saved has no history."));
  EXPECT_FALSE(entrada.modified);
}

}  // namespace
}  // namespace zi::desktop

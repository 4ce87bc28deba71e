// The corporate-action and news windows without their widgets: lists, type lines and the checks of
// the edit dialogs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "marketdata/corporate_action_calls.h"
#include "marketdata/corporate_action_list.h"
#include "marketdata/news_list.h"
#include "support/logged_in_database.h"
#include "toolbox/display_formats.h"
#include "toolbox/numbers.h"

namespace zi {
namespace {

class CorporateWindows : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    Sql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petro')");
    Sql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (1, 1, 2, 0, 0)");
    Sql("INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) VALUES (7, 1, 'PETR4', 1, 2, 0)");
  }
  static TDayNumber Day(const char* text) { return *ParseIsoDate(text); }
  // The date as the dialogs show and read it.
  static std::string Typed(const char* text) { return ShownDay(Day(text)); }
  void AddAction(const char* date, const char* key) {
    tPrvento prv = BlankPrvento();
    prv.anb = 7;
    prv.udex = Day(date);
    prv.tipo = 1;
    prv.moeda = 1;
    prv.valor = 0.5;
    prv.acoes = kMissing;
    prv.chaveExterna = key;
    ASSERT_EQ(DbPrvAddV2(prv), 0);
  }
};

TEST_F(CorporateWindows, TheActionListEndsWithAnEmptyLineAndBoundsNewDates) {
  AddAction("2024-04-08", "K1");
  AddAction("2024-05-08", "K2");
  TPrvListModel list;
  ASSERT_EQ(list.Load(7), 0);
  EXPECT_EQ(list.DefaultCurrency(), 2);
  EXPECT_EQ(list.RowCount(), 3);
  EXPECT_TRUE(list.IsEmptyLine(2));
  EXPECT_EQ(list.DeleteQuestion(0), "Delete this item?\n" + PrvDescriptionLine(list.Action(0)));
  list.Select(1);
  EXPECT_EQ(list.LowerBound(), Day("2024-04-08"));
  EXPECT_EQ(list.UpperBound(), Day("2024-05-08"));
  list.Select(9);
  EXPECT_EQ(list.Selected(), 2);
  ASSERT_EQ(DbPrvDelV2("K2"), 0);
  ASSERT_EQ(list.Reload(), 0);
  EXPECT_EQ(list.Selected(), 1);

  TPrvListModel missing;
  missing.Load(99);
  EXPECT_EQ(missing.CurrencyError(), "Cannot find default currency for this serie");
  EXPECT_EQ(missing.DefaultCurrency(), 0);
}

TEST_F(CorporateWindows, TheTypeListHoldsEveryTypeOnceUnderSixHeaders) {
  const std::vector<TPrvTypeLine> lines = PrvTypeLines();
  int headers = 0;
  std::vector<int> types;
  for (const TPrvTypeLine& line : lines) {
    if (line.header) ++headers;
    else types.push_back(line.tipo);
  }
  EXPECT_EQ(headers, 6);
  std::sort(types.begin(), types.end());
  ASSERT_EQ(types.size(), 72u);
  for (int i = 0; i < 72; ++i) EXPECT_EQ(types[static_cast<size_t>(i)], i);
  EXPECT_TRUE(lines[0].header);
  EXPECT_THAT(lines[0].text, testing::StartsWith("Proventos que ajustam as cota"));
}

TEST_F(CorporateWindows, TheActionDialogListsEveryInvalidField) {
  TPrvDialog dialog(BlankPrvento(), true, 2, Day("2024-04-08"), Day("2024-05-08"));
  dialog.date = Typed("2024-06-01");
  dialog.order = "-1";
  dialog.tipo = 5;
  dialog.moeda = -1;
  dialog.price = "x";
  dialog.quantity = "";
  dialog.approval = "31/31/2024";
  dialog.key = " ";
  EXPECT_EQ(dialog.QuantityCaption(), "Shares");
  EXPECT_EQ(dialog.Check(),
            "Invalid data in:\n- Date (out of range)\n- seq#\n- Currency\n- Price\n- Shares\n- Date of approval\n- Key");
  dialog.tipo = 7;
  dialog.date = "x";
  EXPECT_THAT(dialog.Check(), testing::StartsWith("Invalid data in:\n- Date\n- seq#\n- Type not allowed anymore\n"));

  // A type without currency and value takes the series' default currency and no value.
  dialog.tipo = 3;
  dialog.date = Typed("2024-05-01");
  dialog.order = "2";
  dialog.quantity = "2";
  dialog.approval = "";
  dialog.key = "B3-1";
  EXPECT_FALSE(dialog.ShowsCurrencyAndPrice());
  ASSERT_EQ(dialog.Check(), "");
  const tPrvento prv = dialog.Record();
  EXPECT_EQ(prv.moeda, 2);
  EXPECT_TRUE(IsMissing(prv.valor));
  EXPECT_EQ(prv.acoes, 2);
  EXPECT_EQ(prv.seq, 2);
}

TEST_F(CorporateWindows, TheNewsDialogIsCalledNewsAndNeedsADateAndAText) {
  EXPECT_STREQ(kNwsDialogCaption, "News");
  tNws item;
  item.emp = 1;
  TNwsDialog dialog(item, true);
  dialog.text = " \r\n";
  EXPECT_EQ(dialog.Check(), "Invalid data in:\n- Publishing Date\n- Text (empty!)");
  dialog.date = Typed("2024-04-08");
  dialog.text = "Fato relevante";
  ASSERT_EQ(dialog.Check(), "");
  tNws written = dialog.Record();
  ASSERT_EQ(DbNwsAdd(written), 0);
  TNwsListModel list;
  ASSERT_EQ(list.Load(1), 0);
  ASSERT_EQ(list.RowCount(), 1);
  EXPECT_EQ(list.RowText(0), Typed("2024-04-08") + " 0 Fato relevante...");
  TNwsDialog edit(list.Item(0), false);
  EXPECT_FALSE(edit.DateEnabled());
}

}  // namespace
}  // namespace zi

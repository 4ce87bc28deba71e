#include "desktop/core/marketdata/corporate_action_window.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/core/ui_port.h"
#include "desktop_core/list_window_test.h"
#include "toolbox/display_formats.h"
#include "toolbox/numbers.h"

namespace zi::desktop {
namespace {

constexpr int kCashDividend = 1;
constexpr int kSplit = 3;
constexpr int kReal = 1;

struct FakeForms : tPrvForms, test::TScriptedDialog<TPrvDialog> {
  bool EditAction(TPrvDialog& dialog) override {
    const std::string tipo = std::to_string(dialog.tipo);
    return Show(dialog, dialog.date + " " + dialog.order + " " + tipo + " " + dialog.price + " " + dialog.key);
  }
};

std::string Typed(int year, int month, int day) { return ShownDay(*DayNumberFromDate({year, month, day})); }

// A cash dividend of 2.5 reais on a date.
std::function<void(TPrvDialog&)> Dividend(std::string date) {
  return [date](TPrvDialog& dialog) {
    dialog.date = date;
    dialog.order = "1";
    dialog.tipo = kCashDividend;
    dialog.moeda = kReal;
    dialog.price = "2.5";
  };
}

class CorporateActionWindow : public test::ListWindowTest<tPrvWin, FakeForms> {
 protected:
  std::unique_ptr<tPrvWin> Open(int anb) {
    tObjHierEx object;
    object.AnbId = anb;
    return OpenOn(object);
  }
  int64_t Actions() { return SqlValue("SELECT count(*) FROM Provento").AsInteger(); }
  static std::vector<std::string> Lines(const tPrvWin& window) {
    std::vector<std::string> lines;
    for (int row = 0; row < window.List().RowCount(); ++row) lines.push_back(window.List().RowText(row));
    return lines;
  }
};

TEST_F(CorporateActionWindow, ListsTheSeriesActionsAndAnEmptyLineForAdding) {
  auto window = Open(SeriesId("PETR4"));
  EXPECT_FALSE(window->LoadFailed());
  EXPECT_EQ(Lines(*window), (std::vector<std::string>{Typed(2023, 8, 21) + " 00  Cash dividend of $" +
                                                          ShownText(Listas().EnumMoeda.TextoDoId(kReal, true)) +
                                                          " 1.149304 per share",
                                                      ""}));
  EXPECT_EQ(view.shows, 1);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(CorporateActionWindow, ASeriesThatCannotBeReadGivesTheCurrencyBoxAndCurrencyZero) {
  Driver().InjectFaults({.failCall = 3});  // after the two calls of the types: the series
  auto window = Open(SeriesId("PETR4"));
  EXPECT_EQ(boxes_, std::vector<std::string>{"Error|Cannot find default currency for this serie"});
  EXPECT_EQ(window->List().DefaultCurrency(), 0);
  EXPECT_EQ(window->List().RowCount(), 2);
  EXPECT_FALSE(window->LoadFailed());
}

TEST_F(CorporateActionWindow, AFailedReadLeavesTheWindowLoadFailedAndInsertBeeps) {
  Driver().InjectFaults({.failCall = 1, .failPersistent = true});
  auto window = Open(SeriesId("PETR4"));
  Driver().InjectFaults({});
  EXPECT_TRUE(window->LoadFailed());
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"Error", "SQL error 3939 on PrvDaAnbV2"}));
  window->Add();
  EXPECT_EQ(beeps_, 1);
  EXPECT_TRUE(forms->shown.empty());
}

TEST_F(CorporateActionWindow, InsertAddsAnActionWithAFreshKeyAndKeepsTheSelection) {
  auto window = Open(SeriesId("PETR4"));
  window->Select(1);
  const int64_t before = Actions();
  forms->answers.push_back({.edit = Dividend(Typed(2024, 3, 1))});
  window->Add();
  ASSERT_EQ(forms->shown.size(), 1u);
  EXPECT_EQ(forms->shown[0].substr(0, 12), " 0 -1 0 ZOR-") << "a blank action with its new key";
  EXPECT_EQ(Actions(), before + 1);
  const std::string key =
      SqlValue("SELECT chaveExterna FROM Provento WHERE udex = " +
               std::to_string(DayNumberFromDate({2024, 3, 1})->value))
          .AsText();
  EXPECT_EQ(key.substr(0, 4), "ZOR-");
  EXPECT_EQ(key.size(), 40u);
  EXPECT_EQ(window->List().RowCount(), 3);
  EXPECT_EQ(window->List().Selected(), 1);
  EXPECT_EQ(window->List().Action(1).valor, 2.5);
  EXPECT_EQ(window->List().Action(1).seq, 1);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
}

TEST_F(CorporateActionWindow, ANewActionIsDatedBetweenTheLineAboveAndTheSelectedLine) {
  auto window = Open(SeriesId("PETR4"));
  window->Select(0);  // before the dividend of 2023-08-21
  forms->answers.push_back({.edit = Dividend(Typed(2023, 9, 1))});
  window->Add();
  ASSERT_EQ(forms->refusals.size(), 1u);
  EXPECT_EQ(forms->refusals[0], "Invalid data in:\n- Date (out of range)");
  forms->refusals.clear();
  window->Select(1);  // the empty line: no upper bound, the dividend's date below
  forms->answers.push_back({.edit = Dividend(Typed(2023, 8, 1))});
  window->Add();
  EXPECT_EQ(forms->refusals, std::vector<std::string>{"Invalid data in:\n- Date (out of range)"});
}

TEST_F(CorporateActionWindow, TheDialogRefusesDayZeroADeprecatedTypeAndABadOrder) {
  auto window = Open(SeriesId("PETR4"));
  window->Select(1);
  forms->answers.push_back({.edit = [](TPrvDialog& dialog) {
    Dividend(Typed(1920, 1, 1))(dialog);
    dialog.tipo = 12;
    dialog.order = "x";
  }});
  const int64_t before = Actions();
  window->Add();
  EXPECT_EQ(forms->refusals,
            std::vector<std::string>{"Invalid data in:\n- Date\n- seq#\n- Type not allowed anymore"});
  EXPECT_EQ(Actions(), before);
}

TEST_F(CorporateActionWindow, AFailedAddShowsTheBoxAndTheDialogAgainWithTheEntries) {
  auto window = Open(SeriesId("PETR4"));
  window->Select(1);
  const int64_t before = Actions();
  forms->answers.push_back({.edit = Dividend(Typed(2024, 3, 1)), .hook = FailCall(1)});
  window->Add();  // the second showing is cancelled
  ASSERT_EQ(forms->shown.size(), 2u);
  EXPECT_EQ(forms->shown[1].substr(0, forms->shown[1].rfind(' ')), Typed(2024, 3, 1) + " 1 1 2.5");
  const auto key = [](const std::string& shown) { return shown.substr(shown.rfind(' ') + 1); };
  EXPECT_EQ(key(forms->shown[1]), key(forms->shown[0])) << "the same key";
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"SQL error 3939 on PrvAddV2"});
  EXPECT_EQ(Actions(), before);
  EXPECT_EQ(window->List().RowCount(), 2);
}

TEST_F(CorporateActionWindow, EnterEditsTheSelectedActionAndAFailedPutChangesNothing) {
  auto window = Open(SeriesId("PETR4"));
  window->Select(0);
  const std::string valor = "SELECT valor FROM Provento WHERE anb = " + std::to_string(SeriesId("PETR4"));
  forms->answers.push_back({.edit = [](TPrvDialog& dialog) { dialog.price = "3"; }, .hook = FailCall(1)});
  window->Edit();
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"SQL error 3939 on PrvPutV2"});
  EXPECT_EQ(SqlValue(valor).AsFloat(), 1.149304);
  ASSERT_EQ(forms->shown.size(), 2u);
  EXPECT_NE(forms->shown[1].find(" 3 "), std::string::npos) << forms->shown[1];

  forms->shown.clear();
  forms->answers.push_back({.edit = [](TPrvDialog& dialog) { dialog.price = "3"; }});
  window->Edit();
  EXPECT_EQ(forms->shown.at(0), Typed(2023, 8, 21) + " 0 1 1.149304 ZOR-3F6C2A1E-8B4D-4E7A-9C1F-5D2B7E8A0C31");
  EXPECT_EQ(SqlValue(valor).AsFloat(), 3);
  EXPECT_EQ(window->List().Action(0).valor, 3);
}

TEST_F(CorporateActionWindow, TheEmptyLineBeepsOnEnterAndDelete) {
  auto window = Open(SeriesId("PETR4"));
  window->Select(1);
  window->Edit();
  window->Delete();
  EXPECT_EQ(beeps_, 2);
  EXPECT_TRUE(forms->shown.empty());
  EXPECT_TRUE(questions_.empty());
}

TEST_F(CorporateActionWindow, DeleteAsksWithTheDescriptionAndDeletesByKey) {
  auto window = Open(SeriesId("PETR4"));
  window->Select(0);
  const std::string line = window->List().RowText(0);
  answer_ = false;
  window->Delete();
  EXPECT_EQ(questions_, std::vector<std::string>{"Delete|Delete this item?\n" + line + "|No"});
  EXPECT_EQ(window->List().RowCount(), 2);
  answer_ = true;
  window->Delete();
  EXPECT_EQ(window->List().RowCount(), 1);
  EXPECT_EQ(SqlValue("SELECT count(*) FROM Provento WHERE chaveExterna = 'ZOR-3F6C2A1E-8B4D-4E7A-9C1F-5D2B7E8A0C31'")
                .AsInteger(),
            0);
}

TEST_F(CorporateActionWindow, AFailedDeleteShowsTheBoxAndReloads) {
  auto window = Open(SeriesId("PETR4"));
  window->Select(0);
  const int shows = view.shows;
  SetUiPort({.askYesNo = [this](const std::string&, const std::string&, bool) {
    Driver().InjectFaults({.failCall = 1});
    return true;
  }});
  window->Delete();
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"SQL error 3939 on PrvDelV2"});
  EXPECT_EQ(window->List().RowCount(), 2);
  EXPECT_EQ(view.shows, shows + 1);
}

TEST_F(CorporateActionWindow, AnActionWithoutAKeyIsNotDeletedAndNeitherIsAnyOther) {
  const int anb = SeriesId("PETR4");
  // Rows written before the server refused blank keys.
  Sql("PRAGMA ignore_check_constraints = ON");
  for (const char* row : {"40000, 0, 1, 1, NULL, 1, NULL, NULL, ''", "40001, 0, 1, 1, NULL, 1, NULL, NULL, ' '"})
    Sql("INSERT INTO Provento (anb, udex, seq, tipo, moeda, acoes, valor, dtAprv, dtPgto, chaveExterna) VALUES (" +
        std::to_string(anb) + ", " + row + ")");
  Sql("PRAGMA ignore_check_constraints = OFF");
  auto window = Open(anb);
  ASSERT_EQ(window->List().RowCount(), 4);
  window->Select(1);
  answer_ = true;
  window->Delete();
  EXPECT_EQ(boxes_, std::vector<std::string>{std::string("Corporate Actions|") + kPrvNoKeyText});
  EXPECT_TRUE(questions_.empty());
  EXPECT_EQ(SqlValue("SELECT count(*) FROM Provento WHERE trim(chaveExterna) = ''").AsInteger(), 2);
  window->Select(2);
  window->Delete();
  EXPECT_EQ(boxes_.size(), 2u);
  EXPECT_TRUE(questions_.empty());
}

TEST_F(CorporateActionWindow, TheKeysActOnlyWhileTheListHasTheFocus) {
  auto window = Open(SeriesId("PETR4"));
  window->Select(1);
  view.listFocused = false;
  EXPECT_FALSE(window->HandleShortCut({TKey::Insert}));
  EXPECT_TRUE(forms->shown.empty());
  view.listFocused = true;
  EXPECT_TRUE(window->HandleShortCut({TKey::Insert}));
  EXPECT_TRUE(window->HandleShortCut({TKey::Enter}));
  EXPECT_TRUE(window->HandleShortCut({TKey::Delete}));
  EXPECT_FALSE(window->HandleShortCut({TKey::F10}));
  EXPECT_EQ(forms->shown.size(), 1u) << "Insert showed the dialog";
  EXPECT_EQ(beeps_, 2) << "Enter and Delete on the empty line";
}

TEST_F(CorporateActionWindow, TheTypeDecidesTheFieldsAndWhatIsWritten) {
  auto window = Open(SeriesId("PETR4"));
  window->Select(1);
  forms->answers.push_back({.edit = [](TPrvDialog& dialog) {
    EXPECT_EQ(dialog.tipo, -1);
    dialog.tipo = kSplit;
    EXPECT_FALSE(dialog.ShowsCurrencyAndPrice());
    EXPECT_TRUE(dialog.ShowsQuantity());
    EXPECT_EQ(dialog.QuantityCaption(), "Shares");
    dialog.tipo = 39;  // the maturity of a bond: neither
    EXPECT_FALSE(dialog.ShowsCurrencyAndPrice());
    EXPECT_FALSE(dialog.ShowsQuantity());
    dialog.tipo = kSplit;
    dialog.date = Typed(2024, 3, 1);
    dialog.price = "not looked at";
    dialog.quantity = "2";
  }});
  window->Add();
  ASSERT_EQ(window->List().RowCount(), 3);
  const tPrvento& split = window->List().Action(1);
  EXPECT_EQ(split.tipo, kSplit);
  EXPECT_EQ(split.acoes, 2);
  EXPECT_TRUE(IsMissing(split.valor));
  EXPECT_EQ(split.moeda, window->List().DefaultCurrency());
}

}  // namespace
}  // namespace zi::desktop

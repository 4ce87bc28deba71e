#include "desktop/core/marketdata/news_window.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/core/ui_port.h"
#include "desktop_core/list_window_test.h"
#include "toolbox/display_formats.h"
#include "toolbox/platform.h"

namespace zi::desktop {
namespace {

// A showing records "<date>|<enabled or disabled>|<text>".
struct FakeForms : tNwsForms, test::TScriptedDialog<TNwsDialog> {
  bool EditNews(TNwsDialog& dialog) override {
    return Show(dialog, dialog.date + "|" + (dialog.DateEnabled() ? "enabled" : "disabled") + "|" + dialog.text);
  }
};

std::function<void(TNwsDialog&)> SetText(std::string text) {
  return [text](TNwsDialog& dialog) { dialog.text = text; };
}

std::string TodayShown() {
  const platform::LocalTime now = platform::Now();
  return ShownDate({now.year, now.month, now.day});
}

constexpr const char* kPetrText =
    "Fato relevante\r\n\r\nO Conselho de Administra\xE7\xE3o aprovou a distribui\xE7\xE3o de dividendos "
    "intermedi\xE1rios.";

class NewsWindow : public test::ListWindowTest<tNwsWin, FakeForms> {
 protected:
  std::unique_ptr<tNwsWin> Open(int emp) {
    tObjHierEx object;
    object.EmpId = emp;
    return OpenOn(object);
  }
  int64_t Items() { return SqlValue("SELECT count(*) FROM Noticia WHERE emp = " + Petr()).AsInteger(); }
  std::string Petr() { return std::to_string(CompanyId("PETR")); }
};

TEST_F(NewsWindow, ListsTheCompanysItemsInTheirOneLineForm) {
  auto window = Open(CompanyId("PETR"));
  ASSERT_EQ(window->List().RowCount(), 1);
  EXPECT_EQ(window->List().RowText(0),
            ShownDate({2023, 8, 3}) +
                " 0 Fato relevante O Conselho de Administra\xE7\xE3o aprovou a distribui\xE7\xE3o de dividendos "
                "intermedi\xE1rios....");
  EXPECT_EQ(view.shows, 1);
}

TEST_F(NewsWindow, InsertAddsAnItemDatedTodayWithItsLineBreaks) {
  auto window = Open(CompanyId("PETR"));
  forms->answers.push_back({.edit = SetText("Assembleia\r\n\r\nPauta")});
  window->Add();
  EXPECT_EQ(forms->shown, std::vector<std::string>{TodayShown() + "|enabled|"});
  EXPECT_EQ(Items(), 2);
  EXPECT_EQ(SqlValue("SELECT txt FROM Noticia WHERE txt LIKE 'Assembleia%' AND emp = " + Petr()).AsText(),
            "Assembleia\r\n\r\nPauta");
  EXPECT_EQ(window->List().RowCount(), 2);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
}

TEST_F(NewsWindow, AnEmptyTextAndABadDateAreRefused) {
  auto window = Open(CompanyId("PETR"));
  forms->answers.push_back({.edit = [](TNwsDialog& dialog) {
    dialog.date = "31/02/2024x";
    dialog.text = " \r\n ";
  }});
  window->Add();
  EXPECT_EQ(forms->refusals, std::vector<std::string>{"Invalid data in:\n- Publishing Date\n- Text (empty!)"});
  EXPECT_EQ(Items(), 1);
}

TEST_F(NewsWindow, AFailedAddShowsTheBoxAndTheDialogAgainWithTheEntries) {
  auto window = Open(CompanyId("PETR"));
  forms->answers.push_back({.edit = SetText("Assembleia"), .hook = FailCall(1)});
  window->Add();
  EXPECT_EQ(forms->shown, (std::vector<std::string>{TodayShown() + "|enabled|", TodayShown() + "|enabled|Assembleia"}));
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"SQL error 3939 on NwsAdd"});
  EXPECT_EQ(Items(), 1);
}

TEST_F(NewsWindow, EnterReadsTheItemAgainAndEditsItsTextWithTheDateDisabled) {
  auto window = Open(CompanyId("PETR"));
  window->Select(0);
  // Another analyst changed the text since the list was read.
  Sql("UPDATE Noticia SET txt = 'Novo\r\ntexto' WHERE emp = " + Petr());
  forms->answers.push_back({.edit = SetText("Novo\r\ntexto\r\nrevisto")});
  window->Edit();
  EXPECT_EQ(forms->shown, std::vector<std::string>{ShownDate({2023, 8, 3}) + "|disabled|Novo\r\ntexto"});
  EXPECT_EQ(SqlValue("SELECT txt FROM Noticia WHERE emp = " + Petr()).AsText(),
            "Novo\r\ntexto\r\nrevisto");
  EXPECT_EQ(window->List().Selected(), 0);
}

TEST_F(NewsWindow, AFailedPutKeepsTheStoredTextAndTheEntries) {
  auto window = Open(CompanyId("PETR"));
  window->Select(0);
  forms->answers.push_back({.edit = SetText("Outro"), .hook = FailCall(1)});
  window->Edit();
  ASSERT_EQ(forms->shown.size(), 2u);
  EXPECT_EQ(forms->shown[1], ShownDate({2023, 8, 3}) + "|disabled|Outro");
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"SQL error 3939 on NwsPut"});
  EXPECT_EQ(SqlValue("SELECT txt FROM Noticia WHERE emp = " + Petr()).AsText(), kPetrText);
}

TEST_F(NewsWindow, AFailedReadShowsTheBoxAndNoDialog) {
  auto window = Open(CompanyId("PETR"));
  window->Select(0);
  Driver().InjectFaults({.failCall = 1});
  window->Edit();
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"SQL error 3939 on NwsGet"});
  EXPECT_TRUE(forms->shown.empty());
}

TEST_F(NewsWindow, NoSelectionBeepsOnEnterAndDelete) {
  auto window = Open(CompanyId("PETR"));
  window->Select(-1);
  window->Edit();
  window->Delete();
  EXPECT_EQ(beeps_, 2);
  EXPECT_TRUE(forms->shown.empty());
  EXPECT_TRUE(questions_.empty());
}

TEST_F(NewsWindow, DeleteAsksFirstAndAFailedDeleteShowsTheBox) {
  auto window = Open(CompanyId("PETR"));
  window->Select(0);
  answer_ = false;
  window->Delete();
  EXPECT_EQ(questions_, std::vector<std::string>{"Delete|Delete this item?|No"});
  EXPECT_EQ(Items(), 1);
  SetUiPort({.askYesNo = [this](const std::string&, const std::string&, bool) {
    Driver().InjectFaults({.failCall = 1});
    return true;
  }});
  window->Delete();
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"SQL error 3939 on NwsDel"});
  EXPECT_EQ(Items(), 1);
  SetUiPort({.askYesNo = [](const std::string&, const std::string&, bool) { return true; }});
  window->Delete();
  EXPECT_EQ(Items(), 0);
  EXPECT_EQ(window->List().RowCount(), 0);
}

TEST_F(NewsWindow, AReloadKeepsTheTopLineAndTheSelection) {
  const int emp = CompanyId("PETR");
  for (int day = 1; day <= 5; ++day)
    Sql("INSERT INTO Noticia (emp, dia, seq, txt) VALUES (" + std::to_string(emp) + ", " +
        std::to_string(DayNumberFromDate({2024, 1, day})->value) + ", 0, 'item')");
  auto window = Open(emp);
  ASSERT_EQ(window->List().RowCount(), 6);
  window->SetTop(2);
  window->Select(3);
  forms->answers.push_back({.edit = SetText("Outro")});
  window->Edit();
  EXPECT_EQ(window->List().Top(), 2);
  EXPECT_EQ(window->List().Selected(), 3);
}

TEST(NewsText, LineBreaksRoundTripBetweenTheDatabaseAndTheEditor) {
  EXPECT_EQ(EditorNewsText("a\r\n\r\nb\r\n"), "a\n\nb\n");
  EXPECT_EQ(StoredNewsText("a\n\nb\n"), "a\r\n\r\nb\r\n");
  EXPECT_EQ(StoredNewsText(EditorNewsText(kPetrText)), kPetrText);
  // A lone CR of either side is a line break as well.
  EXPECT_EQ(EditorNewsText("a\rb"), "a\nb");
  EXPECT_EQ(StoredNewsText("a\rb\r\nc"), "a\r\nb\r\nc");
}

}  // namespace
}  // namespace zi::desktop

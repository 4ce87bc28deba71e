// The road of one edit through the statement window, the whole desktop on a demo database: log in,
// F2, search "PETR", pick Petrobras, F3 and "&Fin Stats", type into an account of its stored
// statement, Yes to the question, F3 to another window and "Save changes"; the database then holds
// the values and the check's grade. A value that breaks a total is stored with the failed grade and
// shown marked when the window opens again. Every window and box is the real one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "desktop/core/ui_port.h"
#include "desktop/doc_views.h"
#include "desktop/main_window.h"
#include "desktop/statements/statement_window_view.h"
#include "road_steps.h"
#include "toolbox/lifecycle.h"
#include "toolbox/message_box.h"

namespace zi::desktop {
namespace {

constexpr int kStatementColumn = 1;

class RoadOfStatements : public test::RoadTest {
 protected:
  void SetUp() override {
    SetRegional({});
    RoadTest::SetUp();
    // The desktop's own questions: the Qt boxes and the save question, as the program installs them.
    SetUiPort(
        {.beep = [] {},
         .askYesNo = [](const std::string& caption, const std::string& text,
                        bool noIsDefault) { return AskQtYesNo(caption, text, noIsDefault, QMessageBox::Question); }});
    SetSaveQuestion([this](bool hasDataError) {
      saveQuestions_.push_back(hasDataError);
      return saveDialog_->Ask(hasDataError);
    });
  }
  void TearDown() override {
    RoadTest::TearDown();
    SetSaveQuestion({});
    SetUiPort({});
  }

  tBalWinView* Statements() const { return Doc<tBalWinView>(); }
  QLineEdit* Editor() const { return Statements() ? Statements()->Grid()->Editor() : nullptr; }
  // The grid row of an account's line, whose label starts with its number.
  int RowOfAccount(int conta) const {
    char code[8];
    std::snprintf(code, sizeof code, "%04d ", conta);
    for (int row = kStmHeaderRows; row < Statements()->Window().RowCount(); ++row)
      if (Statements()->Window().Label(row).text.starts_with(code)) return row;
    return -1;
  }
  double StoredValue(int conta) {
    return Sql("SELECT valor FROM BalancoUmaConta u JOIN Balanco b ON b.id = u.balanco JOIN empresa e ON e.id = "
               "b.empresa WHERE e.cod = 'PETR' AND u.De3Meses = 0 AND u.conta = " +
               std::to_string(conta))
        .AsFloat();
  }
  int64_t StoredGrade() {
    return Sql("SELECT ChecagemFalhou FROM Balanco b JOIN empresa e ON e.id = b.empresa WHERE e.cod = 'PETR'")
        .AsInteger();
  }

  // The road up to Petrobras's statement window, its grid's editor open.
  std::vector<test::TStep> ToStatements() {
    return {
        LogIn(),
        PressF2(),
        Search("PETR"),
        PickFirst("pick"),
        FinStats(),
        ChooseByKey("Fin Stats", Qt::Key_F),
    };
  }
  test::TStep FinStats() {
    return PressF3("F3", [this] { return main_->Ctl().CurObj().EmpId != 0; });
  }
  // Types into an account's cell of the statement as the user does: a click, the text, Enter.
  test::TStep TypeInto(const char* name, int conta, const char* text) {
    return {name,
            [&] {
              return Idle() && Statements() && Editor() &&
                     Statements()->Window().ColumnLoaded(kStatementColumn);
            },
            [this, conta, text] {
              QApplication::setActiveWindow(main_.get());
              TMyGrid* grid = Statements()->Grid();
              const QRect cell = grid->visualRect(grid->IndexOf(kStatementColumn, RowOfAccount(conta)));
              QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
              QTimer::singleShot(0, [this, text] {
                for (int i = 0; i < 100 && !(Editor() && Editor()->hasFocus()); ++i) QTest::qWait(10);
                Editor()->selectAll();
                QTest::keyClicks(Editor(), text);
                QTest::keyClick(Editor(), Qt::Key_Return);
              });
            }};
  }
  test::TStep AnswerYes() {
    return {"Yes to the question", [&] { return Modal<QMessageBox>() != nullptr; },
            [&] {
              questions_.push_back(Modal<QMessageBox>()->text().toStdString());
              Modal<QMessageBox>()->button(QMessageBox::Yes)->click();
            }};
  }
  // Leaves the window for the data log: F3, "&Data Log", and "Save changes" at the save question.
  std::vector<test::TStep> LeaveAndSave() {
    return {
        {"F3 to leave",
         [&] { return Idle() && Statements() && Statements()->Window().HasDataChanged(); },
         [&] {
           QWidget* focus = QApplication::focusWidget();
           QTest::keyClick(focus ? focus : main_.get(), Qt::Key_F3);
         }},
        ChooseByKey("Data Log", Qt::Key_D),
        {"Save changes", [&] { return Modal<tSaveDialog>() != nullptr; },
         [&] {
           focusedAtQuestion_ = QApplication::focusWidget();
           QTest::mouseClick(saveDialog_->SaveButton(), Qt::LeftButton);
         }},
    };
  }
  void Start() {
    main_ = std::make_unique<TWinMain>();
    saveDialog_ = new tSaveDialog(main_.get());
    main_->resize(1200, 700);
    main_->show();
  }

  std::vector<std::string> questions_;
  std::vector<bool> saveQuestions_;
  QWidget* focusedAtQuestion_ = nullptr;
  tSaveDialog* saveDialog_ = nullptr;
};

TEST_F(RoadOfStatements, ValuesTypedIntoAStoredStatementAreSavedWithTheirCheck) {
  Start();
  std::vector<test::TStep> steps = ToStatements();
  steps.push_back(TypeInto("current assets", 2, "450"));
  steps.push_back(AnswerYes());
  steps.push_back(TypeInto("non-current assets", 3, "550"));
  for (test::TStep& step : LeaveAndSave()) steps.push_back(std::move(step));
  std::string stuckAt;
  ASSERT_TRUE(Run(std::move(steps), stuckAt))
      << "stuck at " << stuckAt << "; boxes: " << testing::PrintToString(boxes_);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
  EXPECT_EQ(questions_, std::vector<std::string>{"Are you sure you want to modify the  Local Consolidated 31/12/2023 "
                                                 "financial statement ?"});
  EXPECT_EQ(saveQuestions_, std::vector<bool>{false});
  EXPECT_EQ(focusedAtQuestion_, saveDialog_->SaveButton());
  EXPECT_EQ(Statements(), nullptr) << "the data log took its place";
  EXPECT_EQ(StoredValue(2), 450);
  EXPECT_EQ(StoredValue(3), 550);
  EXPECT_EQ(StoredValue(1), 1000);
  EXPECT_EQ(StoredGrade(), 0);
}

TEST_F(RoadOfStatements, AValueThatBreaksATotalIsSavedWithTheFailedGradeAndShownMarked) {
  Start();
  std::vector<test::TStep> steps = ToStatements();
  steps.push_back(TypeInto("current assets", 2, "450"));
  steps.push_back(AnswerYes());
  std::string markedBeforeSave;
  steps.push_back(
      {"marked",
       [&] { return Idle() && Statements() && Statements()->Window().HasDataError(); },
       [&] { markedBeforeSave = Statements()->Window().HeaderText(kStatementColumn, 2).text; }});
  for (test::TStep& step : LeaveAndSave()) steps.push_back(std::move(step));
  steps.push_back(FinStats());
  steps.push_back(ChooseByKey("Fin Stats again", Qt::Key_F));
  std::string stuckAt;
  ASSERT_TRUE(Run(std::move(steps), stuckAt))
      << "stuck at " << stuckAt << "; boxes: " << testing::PrintToString(boxes_);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
  EXPECT_EQ(markedBeforeSave, "Error");
  EXPECT_EQ(saveQuestions_, std::vector<bool>{true});
  EXPECT_EQ(focusedAtQuestion_, saveDialog_->ResumeButton()) << "a statement with errors starts on Resume editing";
  EXPECT_EQ(StoredValue(2), 450);
  EXPECT_EQ(StoredGrade(), 2);
  ASSERT_NE(Statements(), nullptr);
  for (int i = 0; i < 100 && !Statements()->Window().ColumnLoaded(kStatementColumn); ++i) QTest::qWait(10);
  const TStmCell grade = Statements()->Window().HeaderText(kStatementColumn, 2);
  EXPECT_EQ(grade.text, "Error");
  EXPECT_EQ(grade.colour, kStmRed);
  EXPECT_TRUE(grade.bold);
  EXPECT_EQ(Statements()->Window().Cell(kStatementColumn, RowOfAccount(1)).colour, kStmRed);
}

}  // namespace
}  // namespace zi::desktop

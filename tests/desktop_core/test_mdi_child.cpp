#include "desktop/core/mdi_child.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "desktop/core/window_kinds.h"
#include "desktop_fakes.h"

namespace zi::desktop {
namespace {

// A window of kind 1 (company level) whose save answers what the test says.
class SavingWindow : public tMdiChild {
 public:
  const char* ClassName() const override { return "tSavingWindow"; }
  int MdiType() const override { return 1; }
  bool HasDataError() const override { return dataError; }

  enum class Save { Ok, Fails, Raises };
  Save save = Save::Ok;
  bool dataError = false;
  int saves = 0;
  int undos = 0;
  int firstActivations = 0;
  int firstPaints = 0;

 protected:
  bool ObjDataSave() override {
    tMdiChild::ObjDataSave();
    ++saves;
    if (save == Save::Raises) throw std::runtime_error("disk full");
    return save == Save::Ok;
  }
  void ObjDataUndo() override {
    tMdiChild::ObjDataUndo();
    ++undos;
  }
  void OnFirstActivate() override { ++firstActivations; }
  void OnFirstPaint() override { ++firstPaints; }
};

struct FakeView : tMdiChildView {
  std::vector<std::string> calls;
  void SetCurtainVisible(bool visible) override { calls.push_back(visible ? "curtain on" : "curtain off"); }
  void PostFirstPaint() override { calls.push_back("post"); }
  void CreateToolPanel(bool withUndo) override { calls.push_back(withUndo ? "panel+undo" : "panel"); }
  void SetUndoEnabled(bool enabled) override { calls.push_back(enabled ? "undo on" : "undo off"); }
};

class MdiChild : public test::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    window.SetView(&view);
    SetSaveQuestion([this](bool hasDataError) {
      questions.push_back(hasDataError);
      return answer;
    });
    tObjHierEx company;
    company.EmpId = 42;
    window.SetCurObj(company);
  }
  void TearDown() override {
    SetSaveQuestion({});
    DesktopTest::TearDown();
  }

  FakeView view;
  SavingWindow window;
  std::vector<bool> questions;
  int answer = kMrCancel;
};

TEST_F(MdiChild, StatesAndTheUndoButton) {
  EXPECT_EQ(window.State(), tMdiChild::kLoaded);
  EXPECT_EQ(window.CurObjId(), 42);
  window.CreateToolPanel(true);
  window.MarkChanged();
  window.MarkChanged();
  EXPECT_EQ(window.State(), tMdiChild::kChanged);
  EXPECT_TRUE(window.UndoEnabled());
  window.ButUndoClick();
  EXPECT_EQ(window.State(), tMdiChild::kLoaded);
  EXPECT_EQ(window.undos, 1);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"panel+undo", "undo on", "undo off"}));
  EXPECT_NE(Log().find("tSavingWindow ObjDataLoad CurObj:42"), std::string::npos);
  EXPECT_NE(Log().find("tSavingWindow ButUndoClick"), std::string::npos);
}

TEST_F(MdiChild, NoQuestionWithoutChanges) {
  EXPECT_TRUE(window.ConfirmClose());
  EXPECT_TRUE(questions.empty());
}

struct SaveCase {
  const char* name;
  int answer;
  SavingWindow::Save save;
  bool dataError;
  bool mayClose;
  int saves;
  const char* debugLine;
  bool errorBox;
};

TEST_F(MdiChild, SaveQuestionOutcomes) {
  const std::vector<SaveCase> cases = {
      {"resume", kMrCancel, SavingWindow::Save::Ok, false, false, 0, "tSavingWindow SavDlg res:2(mrCancel) HasDataError:N", false},
      {"discard", kMrNo, SavingWindow::Save::Ok, true, true, 0, "tSavingWindow SavDlg res:7(mrNo) HasDataError:Y", false},
      {"save", kMrYes, SavingWindow::Save::Ok, false, true, 1, "tSavingWindow SavDlg res:6(mrYes) HasDataError:N", false},
      {"save fails", kMrYes, SavingWindow::Save::Fails, false, false, 1, "tSavingWindow SavDlg res:6(mrYes) HasDataError:N", true},
      {"save raises", kMrYes, SavingWindow::Save::Raises, false, false, 1, "tSavingWindow SavDlg res:6(mrYes) HasDataError:N", true},
      // The question closed some other way than its buttons: the edit resumes.
      {"closed otherwise", 0, SavingWindow::Save::Ok, false, false, 0, "tSavingWindow SavDlg res:0 HasDataError:N", false},
  };
  for (const SaveCase& c : cases) {
    window.MarkChanged();
    window.save = c.save;
    window.dataError = c.dataError;
    window.saves = 0;
    answer = c.answer;
    questions.clear();
    boxes_.clear();
    EXPECT_EQ(window.ConfirmClose(), c.mayClose) << c.name;
    EXPECT_EQ(questions, std::vector<bool>{c.dataError}) << c.name;
    EXPECT_EQ(window.saves, c.saves) << c.name;
    EXPECT_NE(Log().find(c.debugLine), std::string::npos) << c.name;
    EXPECT_EQ(boxes_, c.errorBox ? std::vector<std::string>{"Error|Error saving data! Resuming edit."}
                                 : std::vector<std::string>{})
        << c.name;
    if (!c.mayClose) {
      EXPECT_TRUE(window.HasDataChanged()) << c.name << ": the data stays for the user";
    }
  }
  EXPECT_NE(Log().find("tSavingWindow ObjDataSave error disk full"), std::string::npos);
}

TEST_F(MdiChild, FirstActivationAndFirstPaint) {
  window.FormActivate();
  window.FormActivate();
  EXPECT_EQ(window.firstActivations, 1);
  view.calls.clear();
  EXPECT_FALSE(window.CurtainPaint(false)) << "an empty area to paint";
  EXPECT_TRUE(window.CurtainPaint(true));
  EXPECT_FALSE(window.CurtainPaint(true));
  EXPECT_EQ(window.firstPaints, 0) << "the load is posted, not run inside the paint";
  window.RunFirstPaint();
  window.RearmFirstPaint();
  EXPECT_TRUE(window.CurtainPaint(true));
  EXPECT_EQ(view.calls, (std::vector<std::string>{"curtain off", "post", "curtain on", "curtain off", "post"}));
}

TEST(WindowKinds, TitlesLevelsAndIds) {
  tObjHierEx series;
  series.EmpId = 1;
  series.AtvId = 2;
  series.AnbId = 3;
  EXPECT_STREQ(KindTitle(2), "Prices");
  EXPECT_STREQ(KindTitle(7), "Import");
  EXPECT_EQ(HierLevel(6), kLevelNone);
  EXPECT_EQ(ObjIdAtLevel(0, series), 1);
  EXPECT_EQ(ObjIdAtLevel(2, series), 3);
  EXPECT_EQ(ObjIdAtLevel(7, series), 0);
  EXPECT_TRUE(OpensWithoutObject(11));
  EXPECT_FALSE(OpensWithoutObject(14));
  EXPECT_EXIT(HierLevel(20), testing::ExitedWithCode(250), "");
}

TEST(MdiChildLoad, ARaisingLoadShowsItsMessageAndLeavesTheWindowLoadFailed) {
  struct Raising : tMdiChild {
    const char* ClassName() const override { return "tRaising"; }
    int MdiType() const override { return 9; }
    void ObjDataLoad() override { throw std::runtime_error("no such file"); }
  };
  std::vector<std::string> boxes;
  SetErrorBoxHandler([&](const std::string& caption, const std::string& text) { boxes.push_back(caption + "|" + text); });
  Raising window;
  window.SetCurObj({});
  SetErrorBoxHandler({});
  EXPECT_EQ(boxes, std::vector<std::string>{"Error|no such file"});
  EXPECT_TRUE(window.LoadFailed());
  EXPECT_EQ(window.State(), tMdiChild::kLoaded);
  window.MarkChanged();
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_TRUE(window.ConfirmClose());
}

}  // namespace
}  // namespace zi::desktop

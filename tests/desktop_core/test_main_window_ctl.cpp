#include "desktop/core/main_window_ctl.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "desktop/core/ui_port.h"
#include "desktop/core/window_kinds.h"
#include "desktop_fakes.h"
#include "toolbox/errors.h"

namespace zi::desktop {
namespace {

class KindWindow : public tMdiChild {
 public:
  KindWindow(int kind, std::vector<std::string>& events) : kind_(kind), events_(events) {}
  ~KindWindow() override { events_.push_back("destroy " + std::to_string(kind_)); }
  const char* ClassName() const override { return "tKindWindow"; }
  int MdiType() const override { return kind_; }

 protected:
  void ObjDataLoad() override {
    events_.push_back("load " + std::to_string(kind_) + ":" + std::to_string(CurObjId()));
    if (failLoad) throw EDBException(3939);
  }
  bool ObjDataSave() override {
    events_.push_back("save " + std::to_string(kind_));
    return true;
  }

 public:
  bool failLoad = false;

 private:
  int kind_;
  std::vector<std::string>& events_;
};

struct KindDoc : tDocWindow {
  KindDoc(int kind, std::vector<std::string>& events, bool failLoad) : window(kind, events) {
    window.failLoad = failLoad;
  }
  tMdiChild& Child() override { return window; }
  KindWindow window;
};

struct FakeMainView : tMainView {
  std::string caption;
  int placed = 0;
  int repaints = 0;
  int disposed = 0;
  void SetCaption(const std::string& text) override { caption = text; }
  void PlaceDocWindow(tDocWindow&) override { ++placed; }
  void RepaintCurObj() override { ++repaints; }
  void DisposeDocWindow(std::unique_ptr<tDocWindow> window) override {
    ++disposed;
    window.reset();
  }
};

class MainWindow : public test::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    TWinMainCtl::THooks hooks;
    hooks.connected = [this](bool warn) {
      if (!connected && warn) boxes_.push_back("Warn|Not logged!");
      return connected;
    };
    hooks.chooser = [this] {
      ++choosers;
      return chooserAnswer;
    };
    hooks.askYesNo = [this](const std::string& caption, const std::string& text) {
      events.push_back("ask " + caption + "|" + text);
      return yes;
    };
    hooks.reqGBol = [this](const std::string& reason) {
      events.push_back("ReqGBol " + reason);
      return 0;
    };
    hooks.createWindow = [this](int kind) -> std::unique_ptr<tDocWindow> {
      if (kind == 10) return nullptr;  // not built
      return std::make_unique<KindDoc>(kind, events, failLoad);
    };
    hooks.importAllowed = [this] { return importAllowed; };
    hooks.usrGetData = [this](int& days) {
      days = daysToWarn;
      return usrGetDataCode;
    };
    hooks.login = [this] {
      events.push_back("login");
      connected = loginConnects;
    };
    hooks.companyRows = [this](int id, std::vector<tObjHierEx>& rows) {
      if (id == emptyCompany) return 3939;  // no rows
      if (id == deletedCompany) return kEmpNaoEncontrada;
      tObjHierEx row;
      row.EmpId = id;
      rows = {row};
      // ACME's series while it exists.
      if (id == series.EmpId && seriesExists) rows.push_back(series);
      return 0;
    };
    if (withPicker)
      hooks.pickObject = [this](tObjHierEx& copy) {
        events.push_back("pick " + std::to_string(copy.EmpId));
        if (!picked) return false;
        copy = *picked;
        return true;
      };
    hooks.objectTreeChanged = [this] { events.push_back("rearm"); };
    hooks.openTableEditor = [this] { events.push_back("table editor"); };
    hooks.isAdmin = [this] { return admin; };
    hooks.dryRunOpen = [this] { return dryRun; };
    ctl = std::make_unique<TWinMainCtl>(view, std::move(hooks));
    SetSaveQuestion([this](bool) {
      ++saveQuestions;
      return saveAnswer;
    });
    SetUiPort({.beep = {}, .askYesNo = [this](const std::string& caption, const std::string& text, bool noIsDefault) {
                 events.push_back("ask " + caption + "|" + text + (noIsDefault ? " (No)" : " (Yes)"));
                 return yesToLogin;
               }});
    company.EmpId = 5;
    company.EmpNome = "ACME";
    series = company;
    series.AtvId = 6;
    series.AnbId = 7;
    series.AnbCod = "ACME3";
  }
  void TearDown() override {
    SetUiPort({});
    SetSaveQuestion({});
    ctl.reset();
    DesktopTest::TearDown();
  }
  void Change() { ctl->DocWindow()->MarkChanged(); }

  FakeMainView view;
  std::unique_ptr<TWinMainCtl> ctl;
  std::vector<std::string> events;
  bool connected = true;
  int choosers = 0;
  int chooserAnswer = kMrCancel;
  bool yes = false;
  bool importAllowed = true;
  int daysToWarn = -1;
  int usrGetDataCode = 0;
  int saveAnswer = kMrCancel;
  int saveQuestions = 0;
  bool withPicker = true;
  const tObjHierEx* picked = nullptr;
  bool failLoad = false;
  bool loginConnects = true;
  bool yesToLogin = false;
  bool admin = false;
  bool dryRun = false;
  int emptyCompany = 404;
  bool seriesExists = true;
  int deletedCompany = 410;
  tObjHierEx company;
  tObjHierEx series;
};

TEST_F(MainWindow, SwitchToKeepsOrReplacesTheWindow) {
  EXPECT_TRUE(ctl->SwitchTo(company, 1002));
  EXPECT_EQ(ctl->DocWindow(), nullptr) << "prices work on a series; the company has none";
  EXPECT_EQ(view.caption, "ZorInput 20240410-1131");
  EXPECT_TRUE(ctl->SwitchTo(series, 1002));
  EXPECT_EQ(events, (std::vector<std::string>{"load 2:7"}));
  EXPECT_EQ(view.caption, "ZorInput 20240410-1131 - Prices");
  // Same kind, same object: the window stays, without a question or a reload.
  Change();
  EXPECT_TRUE(ctl->SwitchTo(series, 1002));
  EXPECT_EQ(events.size(), 1u);
  // Another kind: the window is asked; resuming the edit refuses the switch.
  EXPECT_FALSE(ctl->SwitchTo(series, 1004));
  EXPECT_EQ(ctl->DocWindow()->MdiType(), 2);
  EXPECT_EQ(ctl->CurObj().AnbId, 7);
  saveAnswer = kMrNo;
  EXPECT_TRUE(ctl->SwitchTo(company, 1004));
  EXPECT_EQ(events, (std::vector<std::string>{"load 2:7", "destroy 2", "load 4:5"}));
  EXPECT_EQ(ctl->CurObj().AnbId, 0);
  // A kind that opens without an object; a kind this build has no window for.
  EXPECT_TRUE(ctl->SwitchTo({}, 1009));
  EXPECT_EQ(ctl->DocWindow()->MdiType(), 9);
  EXPECT_TRUE(ctl->SwitchTo(company, 1010));
  EXPECT_EQ(ctl->DocWindow(), nullptr);
  EXPECT_EQ(view.caption, "ZorInput 20240410-1131");
}

TEST_F(MainWindow, TheEndOfTheSessionClosesWithoutAskingAndLogsWhatIsLost) {
  ctl->CloseDocWindowUnasked("SIGTERM");
  ASSERT_TRUE(ctl->SwitchTo(series, 1002));
  ctl->CloseDocWindowUnasked("SIGHUP");
  ASSERT_TRUE(ctl->SwitchTo(series, 1002));
  Change();
  saveAnswer = kMrYes;
  ctl->CloseDocWindowUnasked("SIGTERM");
  EXPECT_EQ(ctl->DocWindow(), nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"load 2:7", "destroy 2", "load 2:7", "destroy 2"})) << "nothing saved";
  std::vector<std::string> lines;
  for (const std::string& text : test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))))
    if (text.find("without asking") != std::string::npos) lines.push_back(text);
  EXPECT_EQ(lines, (std::vector<std::string>{
                            "SIGTERM: the main window closes without asking",
                            "SIGHUP: the main window closes without asking",
                            "SIGTERM: the main window closes without asking; the unsaved changes of tKindWindow are lost"}));
}

TEST_F(MainWindow, ChooserResults) {
  connected = false;
  ctl->ChooseWindow();
  EXPECT_EQ(choosers, 0);
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Warn|Not logged!"}));
  connected = true;
  chooserAnswer = 1006;
  ctl->ChooseWindow();
  EXPECT_EQ(ctl->ChooserCode(), 1006);
  EXPECT_EQ(ctl->DocWindow()->MdiType(), kKindLog);
  // Cancel, and whatever else a closed chooser may answer, change nothing and end nothing.
  for (int answer : {kMrCancel, 0, 1, 1020, 999}) {
    chooserAnswer = answer;
    ctl->ChooseWindow();
    EXPECT_EQ(ctl->ChooserCode(), 1006) << answer;
    EXPECT_EQ(ctl->DocWindow()->MdiType(), kKindLog) << answer;
  }
}

TEST_F(MainWindow, ImportNotAllowedShowsTheHint) {
  importAllowed = false;
  chooserAnswer = 1007;
  ctl->ChooseWindow();
  EXPECT_EQ(ctl->DocWindow(), nullptr);
  EXPECT_EQ(ctl->ChooserCode(), 1007);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0],
            "ZorInput import|To import a file, locate it in your computer, make sure\n"
            "it's name has a .ZI extension and double click over it\n\n"
            "Para importar un archivo ub\xEDquelo en su computadora,\n"
            "verifique que el nombre del archivo tenga la\n"
            "extension .ZI y haga un doble click sobre \xE9l");
}

TEST_F(MainWindow, GenBgl) {
  ctl->SwitchTo(company, 1001);
  Change();
  chooserAnswer = kChooserGenBgl;
  ctl->ChooseWindow();
  EXPECT_EQ(events.back(), "ask ZorInput ReqGBol|Are you sure you want to generate a BGL bulletin ?");
  yes = true;
  ctl->ChooseWindow();
  EXPECT_NE(ctl->DocWindow(), nullptr) << "Resume editing cancels the request";
  EXPECT_EQ(events.back(), "ask ZorInput ReqGBol|Are you sure you want to generate a BGL bulletin ?");
  saveAnswer = kMrNo;
  ctl->ChooseWindow();
  EXPECT_EQ(ctl->DocWindow(), nullptr);
  EXPECT_EQ(events.back(), "ReqGBol [zimain.ExecReqGBol]");
}

TEST_F(MainWindow, PasswordWarning) {
  ctl->PasswordWarning();
  EXPECT_TRUE(boxes_.empty());
  daysToWarn = 0;
  ctl->PasswordWarning();
  daysToWarn = 12;
  ctl->PasswordWarning();
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Warning|Your password expires in 0 days",
                                              "Warning|Your password expires in 12 days"}));
  boxes_.clear();
  usrGetDataCode = 3939;
  ctl->PasswordWarning();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].rfind("SQL error 3939 on dataset:UsrGetData|", 0), 0u);
  connected = false;
  boxes_.clear();
  ctl->PasswordWarning();
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(MainWindow, FirstActivationLogsInThenWarns) {
  daysToWarn = 3;
  ctl->FirstActivate();
  EXPECT_EQ(events, std::vector<std::string>{"login"});
  EXPECT_EQ(view.caption, "ZorInput 20240410-1131");
  EXPECT_EQ(boxes_, std::vector<std::string>{"Warning|Your password expires in 3 days"});
}

TEST_F(MainWindow, KeysAndAddedCompany) {
  chooserAnswer = 1000;
  EXPECT_TRUE(ctl->HandleKey({TKey::F3, false}));
  EXPECT_EQ(choosers, 1);
  EXPECT_EQ(ctl->DocWindow()->MdiType(), 0);
  EXPECT_FALSE(ctl->HandleKey({TKey::Escape, true})) << "the window's own keys";
  ctl->CompanyAdded(77);
  EXPECT_EQ(ctl->CurObj().EmpId, 77);
  EXPECT_EQ(ctl->DocWindow()->CurObjId(), 77);
  EXPECT_EQ(view.repaints, 1);
  EXPECT_EQ(events, (std::vector<std::string>{"load 0:0", "rearm", "destroy 0", "load 0:77"}));
}

TEST_F(MainWindow, PickWithoutAWindowOnlySetsTheObject) {
  picked = &company;
  EXPECT_TRUE(ctl->HandleKey({TKey::F2}));
  EXPECT_EQ(ctl->CurObj().EmpId, 5);
  EXPECT_EQ(ctl->ChooserCode(), 0);
  EXPECT_EQ(ctl->DocWindow(), nullptr);
  EXPECT_EQ(view.repaints, 1);
  EXPECT_EQ(events, std::vector<std::string>{"pick 0"});
  // The picker is given a copy of the current object; a cancelled pick changes nothing.
  picked = nullptr;
  ctl->PickObject();
  EXPECT_EQ(ctl->CurObj().EmpId, 5);
  EXPECT_EQ(view.repaints, 1);
  EXPECT_EQ(events.back(), "pick 5");
}

TEST_F(MainWindow, PickWithAWindowReopensItForTheObject) {
  ctl->SwitchTo(company, 0);
  chooserAnswer = 1004;
  ctl->ChooseWindow();
  ASSERT_NE(ctl->DocWindow(), nullptr);
  tObjHierEx other = company;
  other.EmpId = 8;
  picked = &other;
  ctl->PickObject();
  EXPECT_EQ(ctl->CurObj().EmpId, 8);
  EXPECT_EQ(ctl->DocWindow()->CurObjId(), 8);
  EXPECT_EQ(view.disposed, 1);
  EXPECT_EQ(events, (std::vector<std::string>{"load 4:5", "pick 5", "destroy 4", "load 4:8"}));
}

TEST_F(MainWindow, ARefusedSwitchKeepsTheObject) {
  ctl->SwitchTo(company, 0);
  chooserAnswer = 1004;
  ctl->ChooseWindow();
  ASSERT_NE(ctl->DocWindow(), nullptr);
  Change();
  tObjHierEx other = company;
  other.EmpId = 8;
  picked = &other;
  ctl->PickObject();
  EXPECT_EQ(ctl->CurObj().EmpId, 5);
  EXPECT_EQ(ctl->DocWindow()->CurObjId(), 5);
  EXPECT_EQ(view.repaints, 0);
  EXPECT_EQ(events, (std::vector<std::string>{"load 4:5", "pick 5"}));
  EXPECT_EQ(saveQuestions, 1);
}

TEST_F(MainWindow, WithoutAPickerF2DoesNothing) {
  withPicker = false;
  SetUp();
  EXPECT_TRUE(ctl->HandleKey({TKey::F2}));
  EXPECT_EQ(ctl->CurObj().EmpId, 0);
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(MainWindow, NotLoggedOffersTheLogin) {
  connected = false;
  picked = &company;
  ctl->PickObject();
  EXPECT_EQ(boxes_, std::vector<std::string>{"Warn|Not logged!"});
  EXPECT_EQ(events, std::vector<std::string>{"ask ZorInput|Log in now? (Yes)"});
  EXPECT_EQ(ctl->CurObj().EmpId, 0);
  // Yes: the login, and the action goes on once connected.
  yesToLogin = true;
  daysToWarn = 2;
  events.clear();
  ctl->PickObject();
  EXPECT_EQ(events, (std::vector<std::string>{"ask ZorInput|Log in now? (Yes)", "login", "pick 0"}));
  EXPECT_EQ(boxes_.back(), "Warning|Your password expires in 2 days");
  EXPECT_EQ(ctl->CurObj().EmpId, 5);
  // A login cancelled again stops there.
  connected = false;
  loginConnects = false;
  events.clear();
  ctl->ChooseWindow();
  EXPECT_EQ(events, (std::vector<std::string>{"ask ZorInput|Log in now? (Yes)", "login"}));
  EXPECT_EQ(choosers, 0);
}

TEST_F(MainWindow, KeysFromATextEditorStayThereUnlessTheWindowTakesThem) {
  struct EditorKeys : tMdiChild {
    const char* ClassName() const override { return "tEditorKeys"; }
    int MdiType() const override { return 9; }
    bool HandleShortCut(const TKeyMessage& message) override {
      keys.push_back(static_cast<int>(message.key));
      return true;
    }
    bool TakesKeyInEditor(TKey key) const override { return key == TKey::F10; }
    std::vector<int> keys;
  };
  struct Doc : tDocWindow {
    tMdiChild& Child() override { return window; }
    EditorKeys window;
  };
  auto doc = std::make_unique<Doc>();
  EditorKeys& window = doc->window;
  TWinMainCtl::THooks hooks;
  hooks.connected = [](bool) { return true; };
  hooks.createWindow = [&doc](int) -> std::unique_ptr<tDocWindow> { return std::move(doc); };
  TWinMainCtl main(view, std::move(hooks));
  ASSERT_TRUE(main.SwitchTo({}, 1009));
  EXPECT_FALSE(main.HandleKey({.key = TKey::Delete, .editorFocused = true}));
  EXPECT_TRUE(main.HandleKey({.key = TKey::F10, .editorFocused = true}));
  EXPECT_TRUE(main.HandleKey({.key = TKey::Insert}));
  EXPECT_TRUE(main.HandleKey({.key = TKey::CtrlF10}));
  EXPECT_EQ(window.keys, (std::vector<int>{static_cast<int>(TKey::F10), static_cast<int>(TKey::Insert),
                                           static_cast<int>(TKey::CtrlF10)}));
}

TEST_F(MainWindow, AddedCompanyWithoutRowsDoesNothing) {
  ASSERT_TRUE(ctl->SwitchTo(company, 1004));
  ctl->CompanyAdded(emptyCompany);
  EXPECT_EQ(ctl->CurObj().EmpId, 5);
  EXPECT_EQ(ctl->DocWindow()->CurObjId(), 5);
  EXPECT_EQ(view.repaints, 0);
  EXPECT_TRUE(boxes_.empty()) << "errors are not shown";
  EXPECT_EQ(events, (std::vector<std::string>{"load 4:5", "rearm"}));
}

TEST_F(MainWindow, ATreeChangeThatDeletedTheCurrentCompanyLeavesNoCurrentObject) {
  tObjHierEx deleted = company;
  deleted.EmpId = deletedCompany;
  ASSERT_TRUE(ctl->SwitchTo(deleted, 1004));
  ctl->ObjectTreeChanged();
  EXPECT_EQ(ctl->CurObj().EmpId, 0);
  EXPECT_EQ(ctl->DocWindow(), nullptr) << "the window of a company that is gone closes";
  EXPECT_EQ(view.repaints, 1);
  // A company the server could not read for another reason stays current.
  ASSERT_TRUE(ctl->SwitchTo(company, 1004));
  events.clear();
  for (const int other : {emptyCompany, 5}) {
    tObjHierEx current = company;
    current.EmpId = other;
    ASSERT_TRUE(ctl->SwitchTo(current, 1004));
    ctl->ObjectTreeChanged();
    EXPECT_EQ(ctl->CurObj().EmpId, other);
  }
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(MainWindow, ATreeChangeThatDeletedTheCurrentSeriesKeepsItsCompanyCurrent) {
  ASSERT_TRUE(ctl->SwitchTo(series, 1002));
  ctl->ObjectTreeChanged();
  EXPECT_EQ(ctl->CurObj(), series) << "the series still exists";
  seriesExists = false;
  ctl->ObjectTreeChanged();
  EXPECT_EQ(ctl->CurObj().EmpId, series.EmpId);
  EXPECT_EQ(ctl->CurObj().EmpNome, series.EmpNome);
  EXPECT_EQ(ctl->CurObj().AtvId, 0);
  EXPECT_EQ(ctl->CurObj().AnbId, 0);
  EXPECT_EQ(ctl->DocWindow(), nullptr) << "the prices of a series that is gone close";
}

TEST_F(MainWindow, MessagesNeedAConnection) {
  ctl->ObjectTreeChanged();
  connected = false;
  ctl->ObjectTreeChanged();
  ctl->CompanyAdded(77);
  EXPECT_EQ(events, std::vector<std::string>{"rearm"});
  EXPECT_EQ(ctl->CurObj().EmpId, 0);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(MainWindow, ALoadThatRaisesLeavesTheWindowLoadFailed) {
  failLoad = true;
  ASSERT_TRUE(ctl->SwitchTo(company, 1004));
  tMdiChild* window = ctl->DocWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->LoadFailed());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].rfind("SQL error 3939 on tKindWindow.ObjDataLoad|", 0), 0u) << boxes_[0];
  EXPECT_NE(Log().find("tKindWindow ObjDataLoad error EDBException:3939"), std::string::npos);
  window->MarkChanged();
  EXPECT_FALSE(window->HasDataChanged());
  saveAnswer = kMrYes;
  EXPECT_TRUE(ctl->SwitchTo(company, 1001));
  EXPECT_EQ(events, (std::vector<std::string>{"load 4:5", "destroy 4", "load 1:5"})) << "no save";
  EXPECT_EQ(saveQuestions, 0);
}

TEST_F(MainWindow, TheTableEditorIsForAdministrators) {
  ctl->TableEditorKey();
  EXPECT_TRUE(events.empty());
  admin = true;
  ctl->TableEditorKey();
  EXPECT_EQ(events, std::vector<std::string>{"table editor"});
}

TEST_F(MainWindow, TheTableEditorWaitsForTheEndOfADryRun) {
  admin = true;
  dryRun = true;
  ctl->TableEditorKey();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(boxes_, std::vector<std::string>{std::string("Dry Run|") + kDryRunOpenText});
  dryRun = false;
  ctl->TableEditorKey();
  EXPECT_EQ(events, std::vector<std::string>{"table editor"});
}

TEST(CurObjBox, Text) {
  tObjHierEx object;
  EXPECT_EQ(CurObjText(object), "No company selected");
  object.EmpId = 1;
  object.EmpNome = "ACME";
  EXPECT_EQ(CurObjText(object), "ACME");
}

}  // namespace
}  // namespace zi::desktop

#pragma once
// A main window of the test's own, shown and active, over hooks that need no database: the boxes
// shown recorded as "caption|text", the log and the settings in the test's folder. Beside it, what
// the tests of one window open in the real main window over the demo database use.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/objects.h"
#include "desktop/core/window_kinds.h"
#include "desktop/doc_views.h"
#include "desktop/main_window.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"

namespace zi::test {

// Processes events until done says so, at most a few seconds (a guard against hangs, no measure).
inline void ProcessUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) QTest::qWait(10);
}

// Runs body once the modal dialog that the next statement opens is showing.
inline void WhenModal(std::function<void(QWidget*)> body, int tries = 500) {
  QTimer::singleShot(tries == 500 ? 0 : 10, [body, tries] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal && tries > 0) return WhenModal(body, tries - 1);
    QApplication::setActiveWindow(modal);
    QApplication::processEvents();
    body(modal);
  });
}

// Shows the window and waits until it is the active one.
inline void ShowActive(QWidget* window) {
  window->show();
  QApplication::setActiveWindow(window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

// The hooks of a main window over the database the test logged into: no login dialog, no days left
// to show, the chooser cancelled.
inline desktop::TWinMainCtl::THooks LoggedInHooks() {
  desktop::TWinMainCtl::THooks hooks;
  hooks.chooser = [] { return desktop::kMrCancel; };
  hooks.login = [] {};
  hooks.usrGetData = [](int& days) {
    days = -1;
    return 0;
  };
  return hooks;
}

// Opens the window of a kind on the object, as the chooser does; view: its widget.
template <typename TView>
void OpenDocWindow(desktop::TWinMain& main, const tObjHierEx& object, int kind, TView*& view) {
  ASSERT_TRUE(desktop::KindBuilt(kind));
  ASSERT_TRUE(main.Ctl().SwitchTo(object, desktop::kChooserKindBase + kind));
  view = dynamic_cast<TView*>(main.Ctl().Doc());
  ASSERT_NE(view, nullptr);
  QApplication::processEvents();
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    SetErrorBoxHandler(
        [this](const std::string& caption, const std::string& text) { boxes_.push_back(caption + "|" + text); });
    main = MakeMain();
    ASSERT_NO_FATAL_FAILURE(ShowActive(main.get()));
    QApplication::processEvents();
  }
  void TearDown() override {
    main.reset();
    SetErrorBoxHandler({});
    SetLogFileName("zorinput.log");
  }

  std::unique_ptr<desktop::TWinMain> MakeMain() { return std::make_unique<desktop::TWinMain>(Hooks()); }
  // A session without a database: connected, no login, no days left to show, the chooser counted
  // and answered chooserAnswer, a company's row named "Added". A test's fixture adds its own.
  virtual desktop::TWinMainCtl::THooks Hooks() {
    desktop::TWinMainCtl::THooks hooks;
    hooks.connected = [](bool) { return true; };
    hooks.chooser = [this] {
      ++choosers;
      return chooserAnswer;
    };
    hooks.login = [] {};
    hooks.usrGetData = [](int& days) {
      days = -1;
      return 0;
    };
    hooks.companyRows = [](int id, std::vector<tObjHierEx>& rows) {
      tObjHierEx row;
      row.EmpId = id;
      row.EmpNome = "Added";
      rows = {row};
      return 0;
    };
    return hooks;
  }
  // The grid of the window that the chooser's kind 9 opens.
  virtual QWidget* Grid() = 0;
  // Opens the grid window and returns the focused in-place editor.
  QWidget* OpenGrid() {
    EXPECT_TRUE(main->Ctl().SwitchTo({}, desktop::kChooserKindBase + 9));
    QApplication::processEvents();
    Grid()->setFocus();
    QApplication::processEvents();
    return QApplication::focusWidget();
  }

  TempDir dir_;
  EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
  std::vector<std::string> boxes_;
  std::unique_ptr<desktop::TWinMain> main;
  int choosers = 0;
  int chooserAnswer = desktop::kMrCancel;
};

}  // namespace zi::test

#pragma once
// What the whole-program tests share: a demo database of the test's own, the real main window, and
// a script of the user's steps, each run once it is ready; with the steps every road begins with
// (log in, F2, a search, a ticker picked, F3 and the chooser).

#include <gtest/gtest.h>

#include <QApplication>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/caches.h"
#include "catalogue/hooks.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "desktop/catalogue/company_picker_view.h"
#include "desktop/core/window_kinds.h"
#include "desktop/main_window.h"
#include "server/server.h"
#include "server/server_tool.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/switches.h"

namespace zi::test {

// One step of what the user does: when `ready` holds, `act` runs from a fresh event, so that a
// dialog it opens runs its loop while the script goes on.
struct TStep {
  const char* name;
  std::function<bool()> ready;
  std::function<void()> act;
};

// The demo database logged into as ana by the real login dialog; the boxes shown recorded as
// "caption|text". The test makes main_.
class RoadTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(server::RunServerTool({"init", "--demo", dir_.File("zi.db")}, out, err), 0) << err.str();
    SetReferenceDataLoader(CarregaDadosIniciais);
    InstallCatalogueHooks();
    SetParameters({"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir_.File("zi.db")});
    SetErrorBoxHandler(
        [this](const std::string& caption, const std::string& text) { boxes_.push_back(caption + "|" + text); });
    desktop::DropCompanyPicker();
  }
  void TearDown() override {
    main_.reset();
    desktop::DropCompanyPicker();
    SetErrorBoxHandler({});
    SetReferenceDataLoader(nullptr);
    db::DestroyZiDb();
    DropObjectCaches();
    SetLogFileName("zorinput.log");
  }

  // Runs the steps in order, each once its condition holds; false with the step that never got
  // ready. waits: how many 10 ms waits the steps may take (a bound against hangs, not a measure of
  // speed).
  static bool Run(std::vector<TStep> steps, std::string& stuckAt, int waits = 1500) {
    size_t next = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (next < steps.size() && steps[next].ready()) QTimer::singleShot(0, steps[next++].act);
    });
    timer.start();
    for (int i = 0; i < waits && next < steps.size(); ++i) QTest::qWait(10);
    // The last step's dialogs close before the check.
    for (int i = 0; i < 100 && QApplication::activeModalWidget(); ++i) QTest::qWait(10);
    if (next < steps.size()) {
      QWidget* modal = QApplication::activeModalWidget();
      stuckAt = std::string(steps[next].name) + (modal ? " under " + modal->windowTitle().toStdString() : "");
    }
    return next == steps.size();
  }

  template <typename T>
  static T* Modal() {
    return dynamic_cast<T*>(QApplication::activeModalWidget());
  }
  static bool Idle() { return !QApplication::activeModalWidget(); }
  template <typename TView>
  TView* Doc() const {
    return main_ ? dynamic_cast<TView*>(main_->Ctl().Doc()) : nullptr;
  }
  DbValue Sql(const std::string& sql) {
    auto& driver = static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver());
    return driver.Server()->ExecuteSql(sql).at(0).rows.at(0).at(0);
  }

  static TStep LogIn() {
    return {"login", [] { return Modal<desktop::TWinLogin>() != nullptr; },
            [] { Modal<desktop::TWinLogin>()->accept(); }};
  }
  TStep PressF2() {
    return {"F2", [] { return Idle() && EstaConectado(false); },
            [this] { QTest::keyClick(main_.get(), Qt::Key_F2); }};
  }
  static TStep Search(std::string text) {
    return {"search", [] { return Modal<desktop::tWinNewObjParams>() != nullptr; },
            [text] {
              desktop::tWinNewObjParams* search = Modal<desktop::tWinNewObjParams>();
              QTest::keyClicks(search->TextField(), QString::fromStdString(text));
              QTest::keyClick(search->TextField(), Qt::Key_Return);
            }};
  }
  // Once the picker lists anything: Enter on the row it starts on.
  static TStep PickFirst(const char* name) {
    return {name,
            [] {
              desktop::TWinNewObj* picker = Modal<desktop::TWinNewObj>();
              return picker && !picker->Controller().rows().empty();
            },
            [] { QTest::keyClick(Modal<desktop::TWinNewObj>()->List(), Qt::Key_Return); }};
  }
  // Once the picker lists the ticker: Enter on its row.
  static TStep PickTicker(const char* name, std::string ticker) {
    return {name,
            [ticker] {
              desktop::TWinNewObj* picker = Modal<desktop::TWinNewObj>();
              return picker && RowOfTicker(*picker, ticker) >= 0;
            },
            [ticker] {
              desktop::TWinNewObj* picker = Modal<desktop::TWinNewObj>();
              QListView* list = picker->List();
              list->setCurrentIndex(list->model()->index(RowOfTicker(*picker, ticker), 0));
              list->setFocus();
              QTest::keyClick(list, Qt::Key_Return);
            }};
  }
  // F3 once no dialog is open and picked holds (the object picked is current).
  TStep PressF3(const char* name, std::function<bool()> picked) {
    return {name, [picked = std::move(picked)] { return Idle() && picked(); },
            [this] { QTest::keyClick(main_.get(), Qt::Key_F3); }};
  }
  // The chooser's button of a window kind, by its Alt key.
  static TStep ChooseByKey(const char* name, Qt::Key key) {
    return {name, [] { return Modal<desktop::TWinNewwin>() != nullptr; },
            [key] { QTest::keyClick(Modal<desktop::TWinNewwin>(), key, Qt::AltModifier); }};
  }
  // The chooser's button of a window kind, clicked once it is enabled.
  static TStep ChooseKind(const char* name, int kind) {
    return {name,
            [kind] {
              desktop::TWinNewwin* chooser = Modal<desktop::TWinNewwin>();
              return chooser && chooser->Button(desktop::kChooserKindBase + kind)->isEnabled();
            },
            [kind] { Modal<desktop::TWinNewwin>()->Button(desktop::kChooserKindBase + kind)->click(); }};
  }

  TempDir dir_;
  EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
  std::vector<std::string> boxes_;
  std::unique_ptr<desktop::TWinMain> main_;

 private:
  // -1 when the picker lists none.
  static int RowOfTicker(const desktop::TWinNewObj& picker, const std::string& ticker) {
    const std::vector<desktop::TPickerRow>& rows = picker.Controller().rows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].ticker == ticker) return static_cast<int>(i);
    return -1;
  }
};

}  // namespace zi::test

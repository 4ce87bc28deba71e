// The road of one edit through the whole desktop on a demo database: log in, F2, search "PETR",
// pick Petrobras, F3 and "&Companies", Enter on the company's line, a new name in its form, Okay;
// the database then holds the name and the data log its entry. Every window is the real one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/caches.h"
#include "catalogue/hooks.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "desktop/catalogue/company_picker_view.h"
#include "desktop/catalogue/object_forms_view.h"
#include "desktop/catalogue/object_window_view.h"
#include "desktop/core/desktop_messages.h"
#include "desktop/main_window.h"
#include "server/server.h"
#include "server/server_tool.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/switches.h"

namespace zi::desktop {
namespace {

constexpr const char* kNewName = "Petrobras Renamed S.A.";

// One step of what the user does: when `ready` holds, `act` runs from a fresh event, so that a
// dialog it opens runs its loop while the script goes on.
struct TStep {
  const char* name;
  std::function<bool()> ready;
  std::function<void()> act;
};

class RoadOfOneEdit : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(server::RunServerTool({"init", "--demo", dir_.File("zi.db")}, out, err), 0) << err.str();
    SetReferenceDataLoader(CarregaDadosIniciais);
    InstallCatalogueHooks();
    SetParameters({"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir_.File("zi.db")});
    SetErrorBoxHandler([this](const std::string& caption, const std::string& text) { boxes_.push_back(caption + "|" + text); });
    DropCompanyPicker();
  }
  void TearDown() override {
    main_.reset();
    DropCompanyPicker();
    SetErrorBoxHandler({});
    SetReferenceDataLoader(nullptr);
    db::DestroyZiDb();
    DropObjectCaches();
    SetLogFileName("zorinput.log");
  }

  // Runs the steps in order, each once its condition holds; false with the step that never got
  // ready (a bound against hangs, not a measure of speed).
  bool Run(std::vector<TStep> steps, std::string& stuckAt) {
    size_t next = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (next < steps.size() && steps[next].ready()) QTimer::singleShot(0, steps[next++].act);
    });
    timer.start();
    for (int i = 0; i < 1500 && next < steps.size(); ++i) QTest::qWait(10);
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
  tObjWinView* ObjectWindow() const { return dynamic_cast<tObjWinView*>(main_->Ctl().Doc()); }
  DbValue Sql(const std::string& sql) {
    auto& driver = static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver());
    return driver.Server()->ExecuteSql(sql).at(0).rows.at(0).at(0);
  }

  test::TempDir dir_;
  test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
  std::vector<std::string> boxes_;
  std::unique_ptr<TWinMain> main_;
};

TEST_F(RoadOfOneEdit, PickPetrobrasAndRenameItInItsForm) {
  main_ = std::make_unique<TWinMain>();
  main_->show();
  std::string stuckAt;
  const bool ran = Run(
      {
          {"login", [&] { return Modal<TWinLogin>() != nullptr; }, [&] { Modal<TWinLogin>()->accept(); }},
          {"F2", [&] { return !QApplication::activeModalWidget() && EstaConectado(false); },
           [&] { QTest::keyClick(main_.get(), Qt::Key_F2); }},
          {"search", [&] { return Modal<tWinNewObjParams>() != nullptr; },
           [&] {
             tWinNewObjParams* search = Modal<tWinNewObjParams>();
             QTest::keyClicks(search->TextField(), "PETR");
             QTest::keyClick(search->TextField(), Qt::Key_Return);
           }},
          {"pick",
           [&] {
             TWinNewObj* picker = Modal<TWinNewObj>();
             return picker && picker->Controller().rows().size() > 0;
           },
           [&] { QTest::keyClick(Modal<TWinNewObj>()->List(), Qt::Key_Return); }},
          {"F3", [&] { return !QApplication::activeModalWidget() && main_->Ctl().CurObj().EmpId != 0; },
           [&] { QTest::keyClick(main_.get(), Qt::Key_F3); }},
          {"Companies", [&] { return Modal<TWinNewwin>() != nullptr; },
           [&] { QTest::keyClick(Modal<TWinNewwin>(), Qt::Key_C, Qt::AltModifier); }},
          {"Enter on the company",
           [&] { return !QApplication::activeModalWidget() && ObjectWindow() && ObjectWindow()->List()->count() > 0; },
           [&] {
             QApplication::setActiveWindow(main_.get());
             ObjectWindow()->List()->setCurrentRow(0);
             ObjectWindow()->List()->setFocus();
             QTest::keyClick(ObjectWindow()->List(), Qt::Key_Return);
           }},
          {"the form", [&] { return Modal<TObjEmpForm>() != nullptr; },
           [&] {
             TObjEmpForm* form = Modal<TObjEmpForm>();
             form->Nome()->selectAll();
             QTest::keyClicks(form->Nome(), kNewName);
             QTest::mouseClick(form->OkayButton(), Qt::LeftButton);
           }},
      },
      stuckAt);
  ASSERT_TRUE(ran) << "stuck at " << stuckAt << "; boxes: " << testing::PrintToString(boxes_);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);

  const int64_t petr = Sql("SELECT id FROM empresa WHERE cod = 'PETR'").AsInteger();
  EXPECT_EQ(Sql("SELECT nome FROM empresa WHERE cod = 'PETR'").AsText(), kNewName);
  // EmpUpd (2) names the company in the data log.
  EXPECT_EQ(Sql("SELECT count(*) FROM DataLog WHERE tip = 2 AND oid = " + std::to_string(petr)).AsInteger(), 1);
  // The window shows the new name once its message rebuilt the list.
  ASSERT_NE(ObjectWindow(), nullptr);
  EXPECT_EQ(ObjectWindow()->List()->item(0)->text().toStdString(), std::string("Company: ") + kNewName);
  EXPECT_EQ(main_->windowTitle().toStdString(), MainCaption(main_->Ctl().DocWindow()));
}

// A company deleted while it is current (by another analyst, say) stops being current at the next
// change of the object tree, through the database's own answer.
TEST_F(RoadOfOneEdit, ACompanyGoneIsCurrentNoLongerAfterTheNextTreeChange) {
  main_ = std::make_unique<TWinMain>();
  main_->show();
  std::string stuckAt;
  ASSERT_TRUE(Run({{"login", [&] { return Modal<TWinLogin>() != nullptr; }, [&] { Modal<TWinLogin>()->accept(); }}},
                  stuckAt))
      << stuckAt;
  for (int i = 0; i < 100 && !EstaConectado(false); ++i) QTest::qWait(10);
  auto& server = *static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).Server();
  server.ExecuteSql("INSERT INTO empresa (cod, pais, nome) VALUES ('GONE', 0, 'Gone S.A.')");
  tObjHierEx gone;
  gone.EmpId = static_cast<int>(Sql("SELECT id FROM empresa WHERE cod = 'GONE'").AsInteger());
  gone.EmpNome = "Gone S.A.";
  ASSERT_TRUE(main_->Ctl().SwitchTo(gone, 0));
  PostDesktopMessage(kMsgObjTreeChanged);
  QTest::qWait(50);
  EXPECT_EQ(main_->Ctl().CurObj().EmpId, gone.EmpId) << "it still exists";
  server.ExecuteSql("DELETE FROM empresa WHERE cod = 'GONE'");
  PostDesktopMessage(kMsgObjTreeChanged);
  for (int i = 0; i < 100 && main_->Ctl().CurObj().EmpId != 0; ++i) QTest::qWait(10);
  EXPECT_EQ(main_->Ctl().CurObj().EmpId, 0);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
}

}  // namespace
}  // namespace zi::desktop

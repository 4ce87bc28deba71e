// The road of a news item and a corporate action through the whole desktop on a demo database: log
// in, F2, search "PETR", pick PETR4, F3 and the news window, Insert, a text in the dialog, Okay; then
// F3 and the corporate-action window, Insert on its empty line, a cash dividend in the dialog, Okay.
// The database then holds both. Every window is the real one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
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
#include "desktop/core/window_kinds.h"
#include "desktop/main_window.h"
#include "desktop/marketdata/corporate_action_view.h"
#include "desktop/marketdata/news_view.h"
#include "server/server.h"
#include "server/server_tool.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "support/test_files.h"
#include "toolbox/display_formats.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/switches.h"

namespace zi::desktop {
namespace {

constexpr const char* kNewsText = "Aviso aos acionistas";
constexpr const char* kNewsSecondLine = "Pagamento em 15 de mar\xE7o";
constexpr const char* kPrice = "0.75";

// One step of what the user does: when `ready` holds, `act` runs from a fresh event, so that a
// dialog it opens runs its loop while the script goes on.
struct TStep {
  const char* name;
  std::function<bool()> ready;
  std::function<void()> act;
};

class RoadOfNewsAndActions : public testing::Test {
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
    for (int i = 0; i < 2000 && next < steps.size(); ++i) QTest::qWait(10);
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
  tNwsWinView* NewsWindow() const { return dynamic_cast<tNwsWinView*>(main_->Ctl().Doc()); }
  tPrvWinView* ActionWindow() const { return dynamic_cast<tPrvWinView*>(main_->Ctl().Doc()); }
  DbValue Sql(const std::string& sql) {
    auto& driver = static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver());
    return driver.Server()->ExecuteSql(sql).at(0).rows.at(0).at(0);
  }
  // The picker's row of a ticker; -1 when it lists none.
  static int RowOf(const TWinNewObj& picker, const std::string& ticker) {
    const std::vector<TPickerRow>& rows = picker.Controller().rows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].ticker == ticker) return static_cast<int>(i);
    return -1;
  }
  // Focuses the list of the window open, as a click on it leaves it.
  void FocusList(QWidget* list) {
    QApplication::setActiveWindow(main_.get());
    list->setFocus();
  }

  test::TempDir dir_;
  test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
  std::vector<std::string> boxes_;
  std::unique_ptr<TWinMain> main_;
};

TEST_F(RoadOfNewsAndActions, PickPetr4AddANewsItemAndACorporateAction) {
  main_ = std::make_unique<TWinMain>();
  main_->show();
  const auto idle = [] { return !QApplication::activeModalWidget(); };
  const auto chooser = [](int kind) {
    return [kind] {
      TWinNewwin* chooser = Modal<TWinNewwin>();
      return chooser && chooser->Button(kChooserKindBase + kind)->isEnabled();
    };
  };
  const auto choose = [](int kind) {
    return [kind] { Modal<TWinNewwin>()->Button(kChooserKindBase + kind)->click(); };
  };
  std::string stuckAt;
  const bool ran = Run(
      {
          {"login", [&] { return Modal<TWinLogin>() != nullptr; }, [&] { Modal<TWinLogin>()->accept(); }},
          {"F2", [&] { return idle() && EstaConectado(false); }, [&] { QTest::keyClick(main_.get(), Qt::Key_F2); }},
          {"search", [&] { return Modal<tWinNewObjParams>() != nullptr; },
           [&] {
             tWinNewObjParams* search = Modal<tWinNewObjParams>();
             QTest::keyClicks(search->TextField(), "PETR");
             QTest::keyClick(search->TextField(), Qt::Key_Return);
           }},
          {"pick PETR4",
           [&] {
             TWinNewObj* picker = Modal<TWinNewObj>();
             return picker && RowOf(*picker, "PETR4") >= 0;
           },
           [&] {
             TWinNewObj* picker = Modal<TWinNewObj>();
             picker->List()->setCurrentIndex(picker->List()->model()->index(RowOf(*picker, "PETR4"), 0));
             QTest::keyClick(picker->List(), Qt::Key_Return);
           }},
          {"F3", [&] { return idle() && main_->Ctl().CurObj().AnbId != 0; },
           [&] { QTest::keyClick(main_.get(), Qt::Key_F3); }},
          {"News", chooser(kKindNews), choose(kKindNews)},
          {"Insert in the news window", [&] { return idle() && NewsWindow() != nullptr; },
           [&] {
             FocusList(NewsWindow()->List());
             QTest::keyClick(NewsWindow()->List(), Qt::Key_Insert);
           }},
          {"the news dialog", [&] { return Modal<tNwsDialogView>() != nullptr; },
           [&] {
             tNwsDialogView* dialog = Modal<tNwsDialogView>();
             QTest::keyClicks(dialog->TextField(), kNewsText);
             QTest::keyClick(dialog->TextField(), Qt::Key_Return);
             // Typing knows ASCII keys only: the accented line comes as a paste.
             dialog->TextField()->insertPlainText(ToQt(kNewsSecondLine));
             QTest::mouseClick(dialog->OkayButton(), Qt::LeftButton);
           }},
          {"F3 again", [&] { return idle() && NewsWindow() && NewsWindow()->List()->model()->rowCount() == 2; },
           [&] { QTest::keyClick(main_.get(), Qt::Key_F3); }},
          {"Corp Actions", chooser(kKindCorporateActions), choose(kKindCorporateActions)},
          {"Insert on the empty line", [&] { return idle() && ActionWindow() && ActionWindow()->List()->count() == 2; },
           [&] {
             FocusList(ActionWindow()->List());
             ActionWindow()->List()->setCurrentRow(1);
             QTest::keyClick(ActionWindow()->List(), Qt::Key_Insert);
           }},
          {"the corporate-action dialog", [&] { return Modal<tPrvDialogView>() != nullptr; },
           [&] {
             tPrvDialogView* dialog = Modal<tPrvDialogView>();
             QTest::keyClicks(dialog->DateField(), ToQt(ShownDate({2024, 3, 1})));
             dialog->TypeList()->setCurrentIndex(dialog->TypeList()->findData(1, Qt::UserRole));
             dialog->CurrencyList()->setCurrentIndex(0);
             QTest::keyClicks(dialog->PriceField(), kPrice);
             QTest::mouseClick(dialog->OkayButton(), Qt::LeftButton);
           }},
      },
      stuckAt);
  ASSERT_TRUE(ran) << "stuck at " << stuckAt << "; boxes: " << testing::PrintToString(boxes_);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);

  const std::string petr = std::to_string(Sql("SELECT id FROM empresa WHERE cod = 'PETR'").AsInteger());
  EXPECT_EQ(Sql("SELECT txt FROM Noticia WHERE emp = " + petr + " ORDER BY id DESC LIMIT 1").AsText(),
            std::string(kNewsText) + "\r\n" + kNewsSecondLine);
  const std::string petr4 = std::to_string(Sql("SELECT id FROM anbima WHERE cod = 'PETR4'").AsInteger());
  EXPECT_EQ(Sql("SELECT count(*) FROM Provento WHERE anb = " + petr4).AsInteger(), 2);
  EXPECT_EQ(Sql("SELECT valor FROM Provento WHERE anb = " + petr4 + " ORDER BY id DESC LIMIT 1").AsFloat(), 0.75);
  EXPECT_EQ(Sql("SELECT substr(chaveExterna, 1, 4) FROM Provento WHERE anb = " + petr4 + " ORDER BY id DESC LIMIT 1")
                .AsText(),
            "ZOR-");
  ASSERT_NE(ActionWindow(), nullptr);
  EXPECT_EQ(ActionWindow()->List()->count(), 3);
}

}  // namespace
}  // namespace zi::desktop

// The road of one edit through the whole desktop on a demo database: log in, F2, search "PETR",
// pick Petrobras, F3 and "&Companies", Enter on the company's line, a new name in its form, Okay;
// the database then holds the name and the data log its entry. Every window is the real one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <string>

#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "desktop/catalogue/company_picker_view.h"
#include "desktop/catalogue/object_forms_view.h"
#include "desktop/catalogue/object_window_view.h"
#include "desktop/core/desktop_messages.h"
#include "desktop/main_window.h"
#include "road_steps.h"
#include "server/server.h"
#include "session/login.h"

namespace zi::desktop {
namespace {

constexpr const char* kNewName = "Petrobras Renamed S.A.";

class RoadOfOneEdit : public test::RoadTest {
 protected:
  tObjWinView* ObjectWindow() const { return Doc<tObjWinView>(); }
};

TEST_F(RoadOfOneEdit, PickPetrobrasAndRenameItInItsForm) {
  main_ = std::make_unique<TWinMain>();
  main_->show();
  std::string stuckAt;
  const bool ran = Run(
      {
          LogIn(),
          PressF2(),
          Search("PETR"),
          PickFirst("pick"),
          PressF3("F3", [&] { return main_->Ctl().CurObj().EmpId != 0; }),
          ChooseByKey("Companies", Qt::Key_C),
          {"Enter on the company",
           [&] { return Idle() && ObjectWindow() && ObjectWindow()->List()->count() > 0; },
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
  ASSERT_TRUE(Run({LogIn()}, stuckAt)) << stuckAt;
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

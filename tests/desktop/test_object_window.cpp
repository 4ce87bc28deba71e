// The company window on screen: keys and double clicks on the lines of each level, the delete
// question, the tool panel, and the focus that stays on the list.

#include "desktop/catalogue/object_window_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "desktop/core/window_kinds.h"
#include "desktop/doc_views.h"
#include "desktop/main_window.h"
#include "main_window_test.h"
#include "support/demo_database.h"

namespace zi::desktop {
namespace {

// What the forms were asked to show; every form is cancelled unless the test renames the next
// company it shows.
struct FormsLog {
  std::vector<std::string> shown;
  std::string rename;
};

class RecordingForms : public tObjectForms {
 public:
  explicit RecordingForms(FormsLog& log) : log_(log) {}
  bool EditEmp(tObjEmp& emp, TIndicadoresDeEmpAtvAnb&) override {
    log_.shown.push_back("emp " + emp.cod);
    if (log_.rename.empty()) return false;
    emp.nome = log_.rename;
    log_.rename.clear();
    return true;
  }
  bool EditAtv(tObjAtv& atv, TIndicadoresDeEmpAtvAnb&) override {
    log_.shown.push_back("atv #" + std::to_string(atv.id));
    return false;
  }
  bool EditAnb(tObjAnb& anb, TIndicadoresDeEmpAtvAnb&) override {
    log_.shown.push_back("anb " + anb.cod);
    return false;
  }

 private:
  FormsLog& log_;
};

class ObjectWindowView : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    SetObjectFormsFactory([this] { return std::make_unique<RecordingForms>(forms); });
    main = std::make_unique<TWinMain>(test::LoggedInHooks());
    ASSERT_NO_FATAL_FAILURE(test::ShowActive(main.get()));
    tObjHierEx petr;
    petr.EmpId = CompanyId("PETR");
    ASSERT_NO_FATAL_FAILURE(test::OpenDocWindow(*main, petr, kKindObjects, view));
    view->List()->setFocus();
    QApplication::processEvents();
  }
  void TearDown() override {
    main.reset();
    SetObjectFormsFactory({});
    DemoDatabase::TearDown();
  }
  // Selects the line of that text and presses a key on the list, as the user does.
  void KeyOn(const std::string& line, Qt::Key key) {
    Select(line);
    QTest::keyClick(view->List(), key);
    QApplication::processEvents();
  }
  void Select(const std::string& line) {
    const QList<QListWidgetItem*> items = view->List()->findItems(ToQt(line), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << line;
    view->List()->setCurrentItem(items.front());
  }
  bool ListHasFocus() const { return QApplication::focusWidget() == view->List(); }

  FormsLog forms;
  std::unique_ptr<TWinMain> main;
  tObjWinView* view = nullptr;
};

TEST_F(ObjectWindowView, ShowsTheLinesWithTheFirstSelected) {
  ASSERT_EQ(view->List()->count(), 5);
  EXPECT_EQ(view->List()->item(0)->text(), QString::fromUtf8("Company: Petróleo Brasileiro S.A. - Petrobras"));
  EXPECT_EQ(view->List()->item(4)->text(), "        Serie: PETR4");
  EXPECT_EQ(view->List()->currentRow(), 0);
  EXPECT_EQ(view->Window().Detail().at(2).label, "Name:");
  EXPECT_FALSE(view->DetailPanel()->grab().isNull());
  EXPECT_TRUE(ListHasFocus());
}

TEST_F(ObjectWindowView, SelectingALineShowsItsDetails) {
  Select("        Serie: PETR3");
  EXPECT_EQ(view->Window().Selected(), 2);
  EXPECT_EQ(view->Window().Detail().at(2), (TDetailLine{"Ticker:", "PETR3", ""}));
}

TEST_F(ObjectWindowView, EnterChangesTheObjectOfEachLevel) {
  KeyOn("Company: Petr\xF3leo Brasileiro S.A. - Petrobras", Qt::Key_Return);
  KeyOn("    Class: Preferenciais", Qt::Key_Return);
  KeyOn("        Serie: PETR4", Qt::Key_Enter);
  EXPECT_EQ(forms.shown, (std::vector<std::string>{"emp PETR", "atv #" + std::to_string(view->Window().Lines()[3].id),
                                                   "anb PETR4"}));
  EXPECT_TRUE(ListHasFocus());
}

TEST_F(ObjectWindowView, InsertAddsAChildAndBeepsOnASeries) {
  KeyOn("Company: Petr\xF3leo Brasileiro S.A. - Petrobras", Qt::Key_Insert);
  KeyOn("    Class: Preferenciais", Qt::Key_Insert);
  KeyOn("        Serie: PETR4", Qt::Key_Insert);
  EXPECT_EQ(forms.shown, (std::vector<std::string>{"atv #0", "anb "}));
  EXPECT_EQ(beeps_, 1);
  EXPECT_TRUE(ListHasFocus());
}

TEST_F(ObjectWindowView, DeleteAsksWithNoPreselected) {
  KeyOn("        Serie: PETR4", Qt::Key_Delete);
  KeyOn("    Class: Preferenciais", Qt::Key_Delete);
  KeyOn("Company: Petr\xF3leo Brasileiro S.A. - Petrobras", Qt::Key_Delete);
  EXPECT_EQ(questions_, (std::vector<std::string>{"Confirm|Are you sure you wanto to delete this Serie ?|No",
                                                 "Confirm|Are you sure you wanto to delete this Class ?|No",
                                                 "Confirm|Are you sure you wanto to delete this Company ?|No"}));
  EXPECT_EQ(view->List()->count(), 5) << "answered No: nothing deleted";
  EXPECT_TRUE(ListHasFocus());
}

TEST_F(ObjectWindowView, ADoubleClickChanges) {
  Select("    Class: Preferenciais");
  const QRect rect = view->List()->visualItemRect(view->List()->currentItem());
  ASSERT_TRUE(view->List()->viewport()->rect().contains(rect.center()));
  // A user's double click is a click and then the second press: the view acts on the item the
  // first press chose.
  QTest::mouseClick(view->List()->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(view->List()->viewport(), Qt::LeftButton, {}, rect.center());
  QApplication::processEvents();
  EXPECT_EQ(forms.shown, (std::vector<std::string>{"atv #" + std::to_string(view->Window().Lines()[3].id)}));
  EXPECT_TRUE(ListHasFocus());
}

TEST_F(ObjectWindowView, AChangeRebuildsTheListKeepingTheSelectionAndTheFocus) {
  Select("        Serie: PETR3");
  Select("Company: Petr\xF3leo Brasileiro S.A. - Petrobras");
  forms.rename = "Petrobras";
  QTest::keyClick(view->List(), Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(view->List()->item(0)->text(), "Company: Petrobras");
  EXPECT_EQ(view->List()->currentRow(), 0);
  EXPECT_TRUE(ListHasFocus());
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ObjectWindowView, TheToolPanelHoldsNewCompanyAndForAdministratorsResend) {
  ASSERT_EQ(view->ToolButtons().size(), 2u);
  EXPECT_EQ(view->ToolButtons()[0]->text(), "New company");
  EXPECT_EQ(view->ToolButtons()[0]->toolTip(), "Create new company");
  EXPECT_EQ(view->ToolButtons()[1]->text(), "Resend");
  EXPECT_EQ(view->ToolButtons()[1]->toolTip(), "Resend to clients");
  EXPECT_EQ(view->ToolPanel()->parentWidget(), main->ToolBar());
  QTest::mouseClick(view->ToolButtons()[0], Qt::LeftButton);
  EXPECT_EQ(forms.shown, (std::vector<std::string>{"emp "}));
  QTest::mouseClick(view->ToolButtons()[1], Qt::LeftButton);
  EXPECT_EQ(
      questions_,
      (std::vector<std::string>{
          "Confirm|Are you sure you wanto to resend all data\r\nrelated to this Company in the next bulletin ?|Yes"}));
  EXPECT_TRUE(ListHasFocus());
}

}  // namespace
}  // namespace zi::desktop

// The main window as the user drives it: F2 and F3 from anywhere but a modal dialog, the current-object
// box, the chooser's keys, the desktop's messages, the geometry kept between runs, the login dialog
// and the import window's file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>
#include <string>
#include <tuple>
#include <vector>

#include "desktop/core/desktop_messages.h"
#include "desktop/core/window_kinds.h"
#include "desktop/doc_views.h"
#include "desktop/forms.h"
#include "desktop/main_window.h"
#include "main_window_test.h"
#include "session/settings.h"
#include "support/test_files.h"

namespace zi::desktop {
namespace {

// Two records of two fields in rows.
class TwoByTwo : public tMdiChildGrid {
 public:
  explicit TwoByTwo(int kind) : kind_(kind) {}
  const char* ClassName() const override { return "tTwoByTwo"; }
  int MdiType() const override { return kind_; }
  bool HandleShortCut(const TKeyMessage& message) override {
    keys.push_back(message.key);
    return tMdiChildGrid::HandleShortCut(message);
  }
  std::vector<TKey> keys;

 protected:
  void EnterRecord(int) override {}
  bool LeaveRecord() override { return true; }
  TFieldEdit GetFieldEdit(int) override { return {}; }
  void StoreFieldText(int, const std::string&) override {}

 private:
  int kind_;
};

class TwoByTwoView : public tDocWidget {
 public:
  TwoByTwoView(int kind, QWidget* parent, QWidget* toolbar)
      : tDocWidget(std::make_unique<TwoByTwo>(kind), parent, toolbar),
        grid(new TMyGrid(this, static_cast<TwoByTwo&>(Child()), [](int, int) { return std::string("x"); })),
        field(new QLineEdit(this)),
        button(new QPushButton("Go", this)) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid);
    layout->addWidget(field);
    layout->addWidget(button);
    grid->Reset(2, 2);
    auto& window = static_cast<TwoByTwo&>(Child());
    window.AttachGrid(grid);
    window.SetEditMode(tMdiChildGrid::kRecordsInRows);
  }
  TwoByTwo& Window() { return static_cast<TwoByTwo&>(Child()); }
  TMyGrid* grid;
  QLineEdit* field;
  QPushButton* button;
};

using test::ProcessUntil;
using test::WhenModal;

QWidget* FocusOf(QWidget* modal) { return modal->focusWidget() ? modal->focusWidget() : modal; }

class MainWindowView : public test::MainWindowTest {
 protected:
  TWinMainCtl::THooks Hooks() override {
    TWinMainCtl::THooks hooks = MainWindowTest::Hooks();
    hooks.companyRows = [this, added = hooks.companyRows](int id, std::vector<tObjHierEx>& rows) {
      events.push_back("row " + std::to_string(id));
      return added(id, rows);
    };
    hooks.pickObject = [this](tObjHierEx& copy) {
      ++picks;
      copy.EmpId = 12;
      copy.EmpNome = "Picked";
      return true;
    };
    hooks.objectTreeChanged = [this] { events.push_back("rearm"); };
    hooks.reqGBol = [this](const std::string&) {
      events.push_back("ReqGBol");
      return 0;
    };
    hooks.isAdmin = [this] { return admin; };
    hooks.openTableEditor = [this] { events.push_back("table editor"); };
    hooks.createWindow = [this](int kind) -> std::unique_ptr<tDocWindow> {
      auto view = std::make_unique<TwoByTwoView>(kind, main->findChild<QWidget*>("area"), main->ToolBar());
      gridView = view.get();
      return view;
    };
    return hooks;
  }
  QWidget* Grid() override { return gridView->grid; }

  std::vector<std::string> events;
  TwoByTwoView* gridView = nullptr;
  int picks = 0;
  bool admin = false;
};

TEST_F(MainWindowView, F2AndF3FromAFocusedGridEditor) {
  QWidget* editor = OpenGrid();
  ASSERT_NE(dynamic_cast<TMyInplaceEdit*>(editor), nullptr);
  QTest::keyClick(editor, Qt::Key_F2);
  EXPECT_EQ(picks, 1);
  EXPECT_EQ(main->Ctl().CurObj().EmpId, 12);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3);
  EXPECT_EQ(choosers, 1);
}

TEST_F(MainWindowView, OtherKeysReachTheWindowButNotFromATextEditor) {
  QWidget* editor = OpenGrid();
  QTest::keyClick(editor, Qt::Key_Delete);
  QTest::keyClick(editor, Qt::Key_Escape);
  gridView->field->setFocus();
  QTest::keyClick(gridView->field, Qt::Key_Insert);
  QTest::keyClick(gridView->field, Qt::Key_F10);
  gridView->button->setFocus();
  QTest::keyClick(gridView->button, Qt::Key_Delete);
  QTest::keyClick(gridView->button, Qt::Key_F10, Qt::ControlModifier);
  QTest::keyClick(gridView->button, Qt::Key_F12);
  EXPECT_EQ(gridView->Window().keys, (std::vector<TKey>{TKey::Escape, TKey::Delete, TKey::CtrlF10, TKey::F12}))
      << "the grid's editor passes Escape on; the text field keeps its keys";
}

TEST(KeyOf, TheKeysTheWindowsKnow) {
  const std::vector<std::tuple<int, Qt::KeyboardModifiers, TKey>> cases = {
      {Qt::Key_F2, Qt::NoModifier, TKey::F2},          {Qt::Key_F3, Qt::ShiftModifier, TKey::F3},
      {Qt::Key_Insert, Qt::NoModifier, TKey::Insert},  {Qt::Key_Delete, Qt::NoModifier, TKey::Delete},
      {Qt::Key_F10, Qt::NoModifier, TKey::F10},        {Qt::Key_F11, Qt::NoModifier, TKey::F11},
      {Qt::Key_F12, Qt::NoModifier, TKey::F12},        {Qt::Key_F10, Qt::ControlModifier, TKey::CtrlF10},
      {Qt::Key_F10, Qt::AltModifier, TKey::Other},     {Qt::Key_F2, Qt::ControlModifier, TKey::Other},
      {Qt::Key_Return, Qt::NoModifier, TKey::Enter},   {Qt::Key_Escape, Qt::NoModifier, TKey::Escape},
      {Qt::Key_A, Qt::NoModifier, TKey::Other}};
  for (const auto& [key, modifiers, expected] : cases)
    EXPECT_EQ(KeyOf(key, modifiers), expected) << key << " " << modifiers.toInt();
}

TEST_F(MainWindowView, AClickOnTheCurrentObjectBoxPicks) {
  QTest::mouseClick(main->CurObjBox(), Qt::LeftButton);
  EXPECT_EQ(picks, 1);
  EXPECT_EQ(main->Ctl().CurObj().EmpNome, "Picked");
  EXPECT_EQ(main->Ctl().DocWindow(), nullptr) << "no kind chosen yet: the pick only sets the object";
}

TEST_F(MainWindowView, F2AndF3AreInertUnderAModalDialog) {
  OpenGrid();
  QDialog dialog(main.get());
  dialog.setModal(true);
  auto* field = new QLineEdit(&dialog);
  field->setFocus();
  WhenModal([&](QWidget* modal) {
    // The grid's editor closed when the dialog took the focus; the keys go to the grid itself.
    for (QWidget* target : {FocusOf(modal), static_cast<QWidget*>(gridView->grid)}) {
      QTest::keyClick(target, Qt::Key_F2);
      QTest::keyClick(target, Qt::Key_F3);
    }
    modal->close();
  });
  dialog.exec();
  EXPECT_EQ(picks, 0);
  EXPECT_EQ(choosers, 0);
}

// The chooser with every kind built, as the full desktop has it.
class Chooser : public MainWindowView {
 protected:
  int Run(TWinNewwin& chooser, int key, Qt::KeyboardModifiers modifiers) {
    WhenModal([&](QWidget* modal) {
      QTest::keyClick(FocusOf(modal), static_cast<Qt::Key>(key), modifiers);
      if (QApplication::activeModalWidget() == &chooser) chooser.done(-1);
    });
    return chooser.exec();
  }
};

TEST_F(Chooser, EveryMnemonicGivesItsCodeWithAltAndAlone) {
  TWinNewwin chooser(main.get(), true, [](int) { return true; }, [] {});
  const std::vector<std::pair<Qt::Key, int>> letters = {
      {Qt::Key_C, 1000}, {Qt::Key_F, 1001}, {Qt::Key_P, 1002}, {Qt::Key_A, 1003}, {Qt::Key_N, 1004},
      {Qt::Key_H, 1005}, {Qt::Key_U, 1010}, {Qt::Key_O, 1014}, {Qt::Key_L, 1015}, {Qt::Key_V, 1017},
      {Qt::Key_S, 1019}, {Qt::Key_G, 23001}, {Qt::Key_I, 1007}, {Qt::Key_M, 1011}, {Qt::Key_D, 1006}};
  for (const auto& [key, code] : letters) {
    EXPECT_EQ(Run(chooser, key, Qt::AltModifier), code) << "Alt+" << QKeySequence(key).toString().toStdString();
    EXPECT_EQ(Run(chooser, key, Qt::NoModifier), code) << QKeySequence(key).toString().toStdString();
  }
  EXPECT_EQ(chooser.Button(1006)->text(), "&Data Log");
  EXPECT_EQ(chooser.Button(1006)->geometry().topLeft(), QPoint(188, 156));
}

TEST_F(Chooser, TheClashingCGoesToTheFirstEnabledButton) {
  TWinNewwin chooser(main.get(), true, [](int kind) { return kind != 0; }, [] {});
  EXPECT_EQ(Run(chooser, Qt::Key_C, Qt::AltModifier), 1013) << "\"&Companies\" disabled: \"Abbrev&Case\"";
  TWinNewwin full(main.get(), true, [](int) { return true; }, [] {});
  EXPECT_EQ(Run(full, Qt::Key_C, Qt::AltModifier), 1000);
}

TEST_F(Chooser, EscapeAndTheTitleBarAnswerCancel) {
  TWinNewwin chooser(main.get(), false, [](int) { return true; }, [] {});
  EXPECT_EQ(Run(chooser, Qt::Key_Escape, Qt::NoModifier), kMrCancel);
  WhenModal([&](QWidget*) { chooser.close(); });
  EXPECT_EQ(chooser.exec(), kMrCancel);
}

TEST_F(Chooser, ABackgroundDoubleClickTogglesTheDebugSwitch) {
  const bool before = DebugLogOn();
  SetDebugLog(false);
  TWinNewwin chooser(main.get(), false, [](int) { return true; }, [] {});
  EXPECT_EQ(chooser.DebugLabel()->text(), "");
  QTest::mouseDClick(&chooser, Qt::LeftButton, {}, QPoint(150, 320));
  EXPECT_TRUE(DebugLogOn());
  EXPECT_EQ(chooser.DebugLabel()->text(), "Debug: ON");
  QTest::mouseDClick(&chooser, Qt::LeftButton, {}, QPoint(150, 320));
  EXPECT_FALSE(DebugLogOn());
  EXPECT_EQ(chooser.DebugLabel()->text(), "Debug: OFF");
  SetDebugLog(before);
}

TEST_F(Chooser, CtrlF10OpensTheTableEditorForAdministratorsOnly) {
  TWinNewwin chooser(main.get(), false, [](int) { return true; }, [this] { main->Ctl().TableEditorKey(); });
  auto pressIn = [&](QWidget* focus) {
    WhenModal([&](QWidget*) {
      focus->setFocus();
      QTest::keyClick(focus, Qt::Key_F10, Qt::ControlModifier);
      chooser.done(kMrCancel);
    });
    chooser.exec();
  };
  pressIn(chooser.Button(1000));
  EXPECT_TRUE(events.empty());
  admin = true;
  pressIn(chooser.Button(1000));
  pressIn(&chooser);
  pressIn(chooser.Button(1001));
  EXPECT_EQ(events, (std::vector<std::string>{"table editor", "table editor"})) << "not from \"&Fin Stats\"";
}

TEST_F(MainWindowView, GenBglAsksWithNoAsTheDefault) {
  WhenModal([&](QWidget* modal) {
    auto* box = dynamic_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "ZorInput ReqGBol");
    EXPECT_EQ(box->text(), "Are you sure you want to generate a BGL bulletin ?");
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    QTest::keyClick(FocusOf(modal), Qt::Key_Return);
  });
  main->Ctl().ExecReqGBol();
  EXPECT_TRUE(events.empty());
}

TEST_F(MainWindowView, ACompanyAddedUnderABoxIsHandledAfterItCloses) {
  QMessageBox box(QMessageBox::Warning, "Error", "text", QMessageBox::Ok, main.get());
  WhenModal([&](QWidget* modal) {
    PostDesktopMessage(kMsgObjTreeChanged);
    PostDesktopMessage(kMsgCompanyAdded, 31);
    QTest::qWait(50);
    EXPECT_TRUE(events.empty()) << "held back while the box is open";
    static_cast<QMessageBox*>(modal)->accept();
  });
  box.exec();
  EXPECT_TRUE(events.empty()) << "not before the box's caller has returned";
  ProcessUntil([&] { return main->Ctl().CurObj().EmpId == 31; });
  EXPECT_EQ(main->Ctl().CurObj().EmpNome, "Added");
  EXPECT_EQ(events, (std::vector<std::string>{"rearm", "rearm", "row 31"})) << "in posting order";
}

TEST_F(MainWindowView, AReplacedWindowIsDestroyedOnceTheEventLoopIsBack) {
  OpenGrid();
  QPointer<TwoByTwoView> first = gridView;
  ASSERT_TRUE(main->Ctl().SwitchTo({}, kChooserKindBase + 8));
  ASSERT_FALSE(first.isNull()) << "still alive under the handler that replaced it";
  EXPECT_FALSE(first->isVisible());
  ProcessUntil([&] { return first.isNull(); });
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(main->windowTitle(), "ZorInput 20240410-1131 - Permissions");
}

TEST_F(MainWindowView, TheMainWindowMayGoBeforeAReplacedWindowIsDestroyed) {
  OpenGrid();
  QPointer<TwoByTwoView> first = gridView;
  ASSERT_TRUE(main->Ctl().SwitchTo({}, kChooserKindBase + 8));
  main.reset();
  EXPECT_TRUE(first.isNull());
}

TEST_F(MainWindowView, TheGeometryIsKeptBetweenRuns) {
  main->setGeometry(40, 50, 700, 500);
  QApplication::processEvents();
  const QRect kept = main->geometry();
  ASSERT_TRUE(main->close());
  EXPECT_FALSE(LeReg(kGeometrySetting).empty());
  std::unique_ptr<TWinMain> again = MakeMain();
  again->ShowAtStart();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(again.get()));
  EXPECT_FALSE(again->isMaximized());
  EXPECT_EQ(again->geometry(), kept);
  again.reset();

  GravaReg(kGeometrySetting, "not a geometry!");
  std::unique_ptr<TWinMain> garbage = MakeMain();
  garbage->ShowAtStart();
  EXPECT_TRUE(garbage->isMaximized());
}

TEST_F(MainWindowView, TheLoginDialogLabelsItsFields) {
  TWinLogin& login = main->LoginDialog();
  std::map<QString, QWidget*> buddies;
  for (QLabel* label : login.findChildren<QLabel*>()) buddies[label->text()] = label->buddy();
  EXPECT_EQ(buddies, (std::map<QString, QWidget*>{{"User", login.UserField()}, {"Password", login.PasswordField()}}));
}

TEST_F(MainWindowView, TheImportWindowBrowsesForItsFileAndTakesADroppedOne) {
  const std::string file = dir_.File("prices.txt");
  test::WriteFile(file, "");
  tImpView view(nullptr, nullptr);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  EXPECT_EQ(view.BrowseButton()->text(), QString(QChar(0x2026)));
  WhenModal([&](QWidget* modal) {
    auto* dialog = dynamic_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    // Typed, as a user would: the dialog's list of the folder fills later.
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(file));
    static_cast<QDialog*>(dialog)->accept();
  });
  view.BrowseButton()->click();
  EXPECT_EQ(view.FileField()->text().toStdString(), file);

  const std::string dropped = dir_.File("other.zi");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dropped))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&view, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&view, &drop);
  EXPECT_EQ(view.FileField()->text().toStdString(), dropped);

  QMimeData text;
  text.setText("not a file");
  QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  refused.ignore();
  QApplication::sendEvent(&view, &refused);
  EXPECT_FALSE(refused.isAccepted());
}

TEST_F(MainWindowView, TheImportWindowKeepsItsActionAfterARun) {
  const std::string file = dir_.File("in.txt");
  test::WriteFile(file, "# nothing but a comment\n");
  tImpView view(nullptr, nullptr);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.FileField()->setText(QString::fromStdString(file));
  view.ActionList()->setCurrentIndex(1);
  auto run = [&] {
    QTest::mouseClick(view.OkayButton(), Qt::LeftButton);
    ProcessUntil([&] { return !view.Window().Form().RunActive() && !view.Window().IsIdleRunning(); });
  };
  run();
  EXPECT_EQ(view.ActionList()->currentIndex(), 1);
  EXPECT_EQ(view.ActionList()->currentText(), "Check Only");
  const QString first = view.Pane()->toPlainText();
  EXPECT_FALSE(first.isEmpty());
  // The next file: Okay alone runs the same action on it.
  view.FileField()->setText(QString::fromStdString(dir_.File("missing.txt")));
  run();
  EXPECT_EQ(view.ActionList()->currentIndex(), 1);
  EXPECT_EQ(view.Window().Form().FileName(), dir_.File("missing.txt"));
  EXPECT_NE(view.Pane()->toPlainText(), first);
}

}  // namespace
}  // namespace zi::desktop

// The news window on screen: its keys, the top line and selection kept over a reload; and its
// dialog: the date disabled for an existing item, line breaks between the editor and the database,
// an empty text and characters the database cannot hold refused.

#include "desktop/marketdata/news_view.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "list_view_test.h"
#include "toolbox/display_formats.h"

namespace zi::desktop {
namespace {

// Every showing recorded as "<date>|<text>"; the text of the next answer written when set.
struct RecordingForms : tNwsForms {
  RecordingForms(std::vector<std::string>& shown, std::string& answer) : shown_(shown), answer_(answer) {}
  bool EditNews(TNwsDialog& dialog) override {
    shown_.push_back(dialog.date + "|" + dialog.text);
    if (answer_.empty()) return false;
    dialog.text = answer_;
    answer_.clear();
    return true;
  }
  std::vector<std::string>& shown_;
  std::string& answer_;
};

class NewsView : public test::ListViewTest<tNwsWinView> {
 protected:
  void Open() {
    view = std::make_unique<tNwsWinView>(nullptr, nullptr, std::make_unique<RecordingForms>(shown, answer));
    view->resize(600, 120);
    tObjHierEx petr;
    petr.EmpId = CompanyId("PETR");
    ShowOn(petr);
  }
  void KeyOn(int row, Qt::Key key) {
    if (row >= 0) view->List()->setCurrentIndex(view->List()->model()->index(row, 0));
    QTest::keyClick(view->List(), key);
    QApplication::processEvents();
  }
  QString Line(int row) const { return view->List()->model()->index(row, 0).data().toString(); }

  std::vector<std::string> shown;
  std::string answer;
};

TEST_F(NewsView, TheKeysAddEditAndDelete) {
  Open();
  EXPECT_EQ(view->windowTitle(), "News and Shareholder Meetings");
  ASSERT_EQ(view->List()->model()->rowCount(), 1);
  EXPECT_TRUE(Line(0).startsWith(ToQt(ShownDate({2023, 8, 3}) + " 0 Fato relevante O Conselho")));
  view->List()->setCurrentIndex(QModelIndex());
  KeyOn(-1, Qt::Key_Return);
  KeyOn(-1, Qt::Key_Delete);
  EXPECT_EQ(beeps_, 2) << "nothing selected";
  EXPECT_TRUE(questions_.empty());
  KeyOn(0, Qt::Key_Return);
  KeyOn(0, Qt::Key_Insert);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].substr(0, shown[0].find('|')), ShownDate({2023, 8, 3}));
  EXPECT_EQ(shown[1].back(), '|') << "a new item has no text";
  KeyOn(0, Qt::Key_Delete);
  EXPECT_EQ(questions_, std::vector<std::string>{"Delete|Delete this item?|No"});
  EXPECT_EQ(view->List()->model()->rowCount(), 1);
  EXPECT_EQ(QApplication::focusWidget(), view->List());
}

TEST_F(NewsView, AReloadKeepsTheTopLineAndTheSelection) {
  const int emp = CompanyId("PETR");
  for (int day = 1; day <= 28; ++day)
    Sql("INSERT INTO Noticia (emp, dia, seq, txt) VALUES (" + std::to_string(emp) + ", " +
        std::to_string(DayNumberFromDate({2024, 2, day})->value) + ", 0, 'item " + std::to_string(day) + "')");
  Open();
  ASSERT_EQ(view->List()->model()->rowCount(), 29);
  QAbstractItemModelTester tester(view->List()->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
  view->List()->verticalScrollBar()->setValue(10);
  view->List()->setCurrentIndex(view->List()->model()->index(12, 0));
  answer = "item changed";
  KeyOn(-1, Qt::Key_Return);
  EXPECT_EQ(shown.back(), ShownDate({2024, 2, 16}) + "|item 16");
  EXPECT_EQ(Line(12).toStdString(), ShownDate({2024, 2, 16}) + " 0 item changed...");
  EXPECT_EQ(view->List()->currentIndex().row(), 12);
  EXPECT_EQ(view->List()->verticalScrollBar()->value(), 10);
}

TEST_F(NewsView, TheDateIsDisabledForAnExistingItem) {
  tNws item;
  item.id = 5;
  item.date = *DayNumberFromDate({2024, 4, 8});
  item.txt = "x";
  TNwsDialog existing(item, false);
  tNwsDialogView editing(nullptr, existing);
  EXPECT_EQ(editing.windowTitle(), "News");
  EXPECT_FALSE(editing.DateField()->isEnabled());
  EXPECT_EQ(editing.DateField()->text().toStdString(), ShownDate({2024, 4, 8}));
  TNwsDialog fresh(tNws{}, true);
  tNwsDialogView adding(nullptr, fresh);
  EXPECT_TRUE(adding.DateField()->isEnabled());
}

TEST_F(NewsView, LineBreaksRoundTripBetweenTheEditorAndTheDatabase) {
  tNws item;
  item.id = 5;
  item.date = *DayNumberFromDate({2024, 4, 8});
  item.txt = "Fato relevante\r\n\r\nAssembleia";
  TNwsDialog model(item, false);
  tNwsDialogView dialog(nullptr, model);
  dialog.show();
  EXPECT_EQ(dialog.TextField()->toPlainText(), "Fato relevante\n\nAssembleia");
  dialog.TextField()->setFocus();
  dialog.TextField()->moveCursor(QTextCursor::End);
  QTest::keyClick(dialog.TextField(), Qt::Key_Return);
  QTest::keyClicks(dialog.TextField(), "geral");
  QTest::mouseClick(dialog.OkayButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(model.text, "Fato relevante\r\n\r\nAssembleia\r\ngeral");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(NewsView, AnEmptyTextIsRefused) {
  TNwsDialog model(tNws{}, true);
  tNwsDialogView dialog(nullptr, model);
  dialog.show();
  dialog.DateField()->setText(ToQt(ShownDate({2024, 4, 8})));
  dialog.TextField()->setPlainText("\n  \n");
  QTest::mouseClick(dialog.OkayButton(), Qt::LeftButton);
  EXPECT_EQ(boxes_, std::vector<std::string>{"News|Invalid data in:\n- Text (empty!)"});
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(NewsView, CharactersTheDatabaseCannotHoldAreRefusedByName) {
  TNwsDialog model(tNws{}, true);
  model.text = "kept";
  tNwsDialogView dialog(nullptr, model);
  dialog.show();
  dialog.DateField()->setText(ToQt(ShownDate({2024, 4, 8})));
  const QString typed = QString::fromUtf8("Pre\xC3\xA7o \xE2\x82\xAC 5 \xE2\x86\x92 \xCE\xA9 \xE2\x86\x92");
  dialog.TextField()->setPlainText(typed);
  QTest::mouseClick(dialog.OkayButton(), Qt::LeftButton);
  // The euro sign and the c with cedilla are Windows-1252; the arrow and the omega are not.
  EXPECT_EQ(boxes_, std::vector<std::string>{"News|The text has characters that the database cannot hold: "
                                             "U+2192, U+03A9"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.TextField()->toPlainText(), typed) << "never changed";
  EXPECT_EQ(model.text, "kept");
}

}  // namespace
}  // namespace zi::desktop

// The NAICS picker dialog: its captions, its levels, and what Enter, OK and Escape answer.

#include "desktop/naics_picker_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "session/session.h"

namespace zi::desktop {
namespace {

class NaicsPickerDialog : public testing::Test {
 protected:
  void SetUp() override { ZiGlobs().lingua = 1; }
  void TearDown() override { ZiGlobs().lingua = 0; }

  static std::vector<std::string> Rows(const tZiPickSicCod& picker, int count) {
    std::vector<std::string> rows;
    for (int row = 0; row < count && row < picker.List()->count(); ++row) {
      rows.push_back(picker.List()->item(row)->text().toStdString());
    }
    return rows;
  }
  // The selected row's text.
  static std::string Current(const tZiPickSicCod& picker) {
    const QList<QListWidgetItem*> selected = picker.List()->selectedItems();
    return selected.isEmpty() ? "" : selected.front()->text().toStdString();
  }
  static void Shown(tZiPickSicCod& picker) {
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
  }
  // Runs body on the picker that the next statement opens, once it is showing.
  static void WhenModal(std::function<void(tZiPickSicCod&)> body) {
    QTimer::singleShot(0, [body] {
      QWidget* modal = QApplication::activeModalWidget();
      auto* picker = dynamic_cast<tZiPickSicCod*>(modal);
      if (!picker) {
        ADD_FAILURE() << "the picker is not showing";
        if (modal) modal->close();
        return;
      }
      QApplication::processEvents();
      body(*picker);
    });
  }
};

TEST_F(NaicsPickerDialog, ShowsItsCaptionsAndTheListOfTheCodesLevel) {
  tZiPickSicCod picker(nullptr, 23);
  EXPECT_EQ(picker.windowTitle(), "Codigos NAICS");
  EXPECT_EQ(picker.UpButton()->text(), "Detalhe");
  EXPECT_EQ(picker.UpButton()->toolTip(), "Voltar ao nivel anterior");
  EXPECT_EQ(picker.DownButton()->text(), "Detalhe");
  EXPECT_EQ(picker.DownButton()->toolTip(), "Mostras as subdivisoes desse item");
  EXPECT_EQ(picker.OkButton()->text(), "OK");
  EXPECT_EQ(picker.CancelButton()->text(), "Cancel");
  EXPECT_EQ(picker.List()->count(), 20);
  EXPECT_EQ(Rows(picker, 2), (std::vector<std::string>{"11 Agriculture, Forestry, Fishing and Hunting",
                                                       "21 Mining, Quarrying, and Oil and Gas Extraction"}));
  EXPECT_EQ(Current(picker), "23 Construction");
}

TEST_F(NaicsPickerDialog, TitlesAreShownInTheSessionLanguageWithTheirAccents) {
  ZiGlobs().lingua = 0;
  tZiPickSicCod portuguese(nullptr, 11);
  EXPECT_EQ(Current(portuguese), "11 Agricultura, pecu\u00E1ria, silvicultura, pesca e ca\u00E7a");
  ZiGlobs().lingua = 2;
  tZiPickSicCod spanish(nullptr, 11);
  EXPECT_EQ(Current(spanish), "11 Agricultura, ganader\u00EDa, aprovechamiento forestal, pesca y caza");
}

TEST_F(NaicsPickerDialog, DownThenUpRestoresTheSelection) {
  tZiPickSicCod picker(nullptr, 0);
  Shown(picker);
  EXPECT_EQ(Current(picker), "");
  picker.List()->setCurrentRow(4);
  QTest::mouseClick(picker.DownButton(), Qt::LeftButton);
  EXPECT_EQ(picker.List()->count(), 21);
  EXPECT_EQ(Current(picker), "311 Food Manufacturing");
  picker.List()->setCurrentRow(16);
  EXPECT_EQ(Current(picker), "334 Computer and Electronic Product Manufacturing");

  QTest::mouseClick(picker.UpButton(), Qt::LeftButton);
  EXPECT_EQ(picker.List()->count(), 20);
  EXPECT_EQ(Current(picker), "31 Manufacturing");
  QTest::mouseClick(picker.DownButton(), Qt::LeftButton);
  EXPECT_EQ(Current(picker), "334 Computer and Electronic Product Manufacturing");
}

TEST_F(NaicsPickerDialog, UpAndDownBackTheScrollPositionOfEachLevel) {
  tZiPickSicCod picker(nullptr, 31);
  picker.resize(picker.width(), 160);
  Shown(picker);
  QTest::mouseClick(picker.DownButton(), Qt::LeftButton);
  QScrollBar* scroll = picker.List()->verticalScrollBar();
  ASSERT_GT(scroll->maximum(), 4) << "the list must be taller than the window for this test";
  scroll->setValue(4);
  QTest::mouseClick(picker.UpButton(), Qt::LeftButton);
  QTest::mouseClick(picker.DownButton(), Qt::LeftButton);
  EXPECT_EQ(scroll->value(), 4);
}

TEST_F(NaicsPickerDialog, TheButtonsFollowTheLevel) {
  tZiPickSicCod picker(nullptr, 0);
  Shown(picker);
  EXPECT_FALSE(picker.UpButton()->isEnabled());
  EXPECT_FALSE(picker.DownButton()->isEnabled()) << "no row selected";
  picker.List()->setCurrentRow(0);
  EXPECT_TRUE(picker.DownButton()->isEnabled());
  QTest::mouseClick(picker.DownButton(), Qt::LeftButton);
  EXPECT_TRUE(picker.UpButton()->isEnabled());
  EXPECT_TRUE(picker.DownButton()->isEnabled());
  QTest::mouseClick(picker.DownButton(), Qt::LeftButton);
  EXPECT_EQ(Current(picker), "1111 Oilseed and Grain Farming");
  EXPECT_TRUE(picker.UpButton()->isEnabled());
  EXPECT_FALSE(picker.DownButton()->isEnabled()) << "industry groups are the last level";
}

TEST_F(NaicsPickerDialog, EnterReturnsTheSelectedCode) {
  WhenModal([](tZiPickSicCod& picker) {
    picker.List()->setFocus();
    QTest::keyClick(picker.List(), Qt::Key_Down);
    QTest::keyClick(picker.List(), Qt::Key_Return);
  });
  int code = 3114;
  EXPECT_TRUE(PickNaics(nullptr, code));
  EXPECT_EQ(code, 3115);
}

TEST_F(NaicsPickerDialog, OkReturnsTheCodeChosenAtAnotherLevel) {
  WhenModal([](tZiPickSicCod& picker) {
    QTest::mouseClick(picker.UpButton(), Qt::LeftButton);
    picker.List()->setCurrentRow(0);
    QTest::mouseClick(picker.OkButton(), Qt::LeftButton);
  });
  int code = 3114;
  EXPECT_TRUE(PickNaics(nullptr, code));
  EXPECT_EQ(code, 311);
}

TEST_F(NaicsPickerDialog, OkWithNoRowSelectedKeepsTheCode) {
  WhenModal([](tZiPickSicCod& picker) { QTest::mouseClick(picker.OkButton(), Qt::LeftButton); });
  int code = 0;
  EXPECT_TRUE(PickNaics(nullptr, code));
  EXPECT_EQ(code, 0);
}

TEST_F(NaicsPickerDialog, EscapeCancelsKeepingTheCode) {
  WhenModal([](tZiPickSicCod& picker) {
    picker.List()->setFocus();
    QTest::keyClick(picker.List(), Qt::Key_Down);
    QTest::keyClick(picker.List(), Qt::Key_Escape);
  });
  int code = 3114;
  EXPECT_FALSE(PickNaics(nullptr, code));
  EXPECT_EQ(code, 3114);
}

TEST_F(NaicsPickerDialog, CancelKeepsTheCode) {
  WhenModal([](tZiPickSicCod& picker) { QTest::mouseClick(picker.CancelButton(), Qt::LeftButton); });
  int code = 454;
  EXPECT_FALSE(PickNaics(nullptr, code));
  EXPECT_EQ(code, 454);
}

}  // namespace
}  // namespace zi::desktop

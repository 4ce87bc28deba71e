// The corporate-action window on screen: Insert, Enter, a double click and Delete on its lines, and
// its dialog: the type list's bold headers that cannot be chosen, the fields a type hides, every
// failed check in one box, and a failed write that shows the dialog again with the entries.

#include "desktop/marketdata/corporate_action_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "list_view_test.h"
#include "toolbox/display_formats.h"

namespace zi::desktop {
namespace {

constexpr int kCashDividend = 1;
constexpr int kSplit = 3;

struct RecordingForms : tPrvForms {
  explicit RecordingForms(std::vector<std::string>& shown) : shown_(shown) {}
  bool EditAction(TPrvDialog& dialog) override {
    shown_.push_back(std::to_string(dialog.tipo) + " " + dialog.key);
    return false;
  }
  std::vector<std::string>& shown_;
};

std::string Typed(int year, int month, int day) { return ShownDay(*DayNumberFromDate({year, month, day})); }

class CorporateActionView : public test::ListViewTest<tPrvWinView> {
 protected:
  // The window of PETR4, shown and active, with the list focused; forms: the dialog to use (the
  // recording one when none).
  void Open(std::unique_ptr<tPrvForms> forms = nullptr) {
    if (!forms) forms = std::make_unique<RecordingForms>(shown);
    view = std::make_unique<tPrvWinView>(nullptr, nullptr, std::move(forms));
    tObjHierEx series;
    series.AnbId = SeriesId("PETR4");
    ShowOn(series);
  }
  void KeyOn(int row, Qt::Key key) {
    view->List()->setCurrentRow(row);
    QTest::keyClick(view->List(), key);
    QApplication::processEvents();
  }
  // A dialog over a blank action to add, its model kept by the test.
  std::unique_ptr<tPrvDialogView> Dialog(TPrvDialog& model) { return std::make_unique<tPrvDialogView>(nullptr, model); }
  static int IndexOfType(QComboBox* list, int tipo) { return list->findData(tipo, Qt::UserRole); }

  std::vector<std::string> shown;
};

TEST_F(CorporateActionView, ListsTheActionsAndTheEmptyLineWithTheCaption) {
  Open();
  EXPECT_EQ(view->windowTitle(), "Corporate Actions");
  ASSERT_EQ(view->List()->count(), 2);
  EXPECT_TRUE(view->List()->item(0)->text().startsWith(ToQt(Typed(2023, 8, 21) + " 00  Cash dividend of $")));
  EXPECT_EQ(view->List()->item(1)->text(), "");
}

TEST_F(CorporateActionView, InsertEnterDoubleClickAndDeleteOnTheLines) {
  Open();
  KeyOn(0, Qt::Key_Insert);
  KeyOn(0, Qt::Key_Return);
  const QRect rect = view->List()->visualItemRect(view->List()->item(0));
  QTest::mouseClick(view->List()->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(view->List()->viewport(), Qt::LeftButton, {}, rect.center());
  QApplication::processEvents();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].substr(0, 7), "-1 ZOR-") << "Insert: a blank action with a fresh key";
  EXPECT_EQ(shown[1], "1 ZOR-3F6C2A1E-8B4D-4E7A-9C1F-5D2B7E8A0C31");
  EXPECT_EQ(shown[2], shown[1]);
  const std::string line = FromQt(view->List()->item(0)->text());
  KeyOn(0, Qt::Key_Delete);
  EXPECT_EQ(questions_, std::vector<std::string>{"Delete|Delete this item?\n" + line + "|No"});
  EXPECT_EQ(view->List()->count(), 2) << "answered No";
  KeyOn(1, Qt::Key_Return);
  KeyOn(1, Qt::Key_Delete);
  EXPECT_EQ(beeps_, 2) << "the empty line";
  EXPECT_EQ(QApplication::focusWidget(), view->List());
}

TEST_F(CorporateActionView, TheTypeListsHeadersAreBoldAndCannotBeChosen) {
  tPrvento blank = BlankPrvento();
  TPrvDialog model(blank, true, 1);
  auto dialog = Dialog(model);
  QComboBox* types = dialog->TypeList();
  auto* items = dynamic_cast<QStandardItemModel*>(types->model());
  ASSERT_NE(items, nullptr);
  ASSERT_EQ(items->rowCount(), 78);
  int headers = 0;
  for (int row = 0; row < items->rowCount(); ++row) {
    const QStandardItem* item = items->item(row);
    if (item->data(Qt::UserRole).toInt() >= 0) {
      EXPECT_TRUE(item->flags() & Qt::ItemIsSelectable) << row;
      continue;
    }
    ++headers;
    EXPECT_TRUE(item->font().bold()) << row;
    EXPECT_FALSE(item->flags() & (Qt::ItemIsSelectable | Qt::ItemIsEnabled)) << row;
  }
  EXPECT_EQ(headers, 6);
  EXPECT_EQ(types->currentIndex(), -1) << "a new action has no type yet";

  types->setCurrentIndex(IndexOfType(types, kSplit));
  EXPECT_EQ(model.tipo, kSplit);
  // A header reached anyway gives way to the type shown before.
  types->setCurrentIndex(0);
  EXPECT_EQ(types->currentIndex(), IndexOfType(types, kSplit));
  EXPECT_EQ(model.tipo, kSplit);
  // The keys step over a header: from the first group's last type to the second group's first.
  dialog->show();
  types->setCurrentIndex(IndexOfType(types, 28));
  types->setFocus();
  QTest::keyClick(types, Qt::Key_Down);
  EXPECT_EQ(types->currentIndex(), IndexOfType(types, 28) + 2);
  EXPECT_EQ(model.tipo, kCashDividend);
}

TEST_F(CorporateActionView, TheTypeShowsAndHidesTheFieldsItUses) {
  tPrvento blank = BlankPrvento();
  TPrvDialog model(blank, true, 1);
  auto dialog = Dialog(model);
  dialog->show();
  QComboBox* types = dialog->TypeList();
  types->setCurrentIndex(IndexOfType(types, kCashDividend));
  EXPECT_TRUE(dialog->CurrencyList()->isVisible());
  EXPECT_TRUE(dialog->PriceField()->isVisible());
  EXPECT_FALSE(dialog->QuantityField()->isVisible());
  EXPECT_TRUE(dialog->Instructions()->toPlainText().startsWith("Cash dividend of $@V per share"));
  types->setCurrentIndex(IndexOfType(types, kSplit));
  EXPECT_FALSE(dialog->CurrencyList()->isVisible());
  EXPECT_FALSE(dialog->PriceField()->isVisible());
  EXPECT_TRUE(dialog->QuantityField()->isVisible());
  EXPECT_EQ(dialog->QuantityLabel()->text(), "Shares");
  types->setCurrentIndex(IndexOfType(types, 16));
  EXPECT_EQ(dialog->QuantityLabel()->text(), "Percent");
  types->setCurrentIndex(IndexOfType(types, 39));
  EXPECT_FALSE(dialog->CurrencyList()->isVisible());
  EXPECT_FALSE(dialog->QuantityField()->isVisible());
}

TEST_F(CorporateActionView, OkayListsEveryFailedCheckAndStaysOpen) {
  tPrvento blank = BlankPrvento();
  TPrvDialog model(blank, true, 1, DayNumberFromDate({2023, 1, 1}), DayNumberFromDate({2023, 8, 21}));
  auto dialog = Dialog(model);
  dialog->show();
  dialog->DateField()->setText(ToQt(Typed(2024, 1, 1)));
  dialog->OrderField()->setText("x");
  dialog->TypeList()->setCurrentIndex(IndexOfType(dialog->TypeList(), 7));
  dialog->PriceField()->setText("");
  dialog->QuantityField()->setText("1");
  dialog->PaymentField()->setText("31/31/2024");
  dialog->KeyField()->setText("");
  QTest::mouseClick(dialog->OkayButton(), Qt::LeftButton);
  EXPECT_EQ(boxes_, std::vector<std::string>{"Corporate Actions|Invalid data in:\n- Date (out of range)\n- seq#\n"
                                             "- Type not allowed anymore\n- Currency\n- Price\n- Date of payment\n"
                                             "- Key"});
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_NE(dialog->result(), QDialog::Accepted);
}

TEST_F(CorporateActionView, AFailedWriteShowsTheDialogAgainWithTheEntries) {
  Open(CreatePrvForms(nullptr));
  const int64_t before = SqlValue("SELECT count(*) FROM Provento").AsInteger();
  std::vector<std::string> seen;
  auto fillAndFail = [&](QWidget* modal) {
    auto* dialog = dynamic_cast<tPrvDialogView*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->DateField()->setText(ToQt(Typed(2024, 3, 1)));
    dialog->OrderField()->setText("1");
    dialog->TypeList()->setCurrentIndex(IndexOfType(dialog->TypeList(), kCashDividend));
    dialog->CurrencyList()->setCurrentIndex(0);
    dialog->PriceField()->setText("2.5");
    // The write after this Okay fails: the box, then the dialog again.
    test::WhenModal([&](QWidget* again) {
      auto* shownAgain = dynamic_cast<tPrvDialogView*>(again);
      ASSERT_NE(shownAgain, nullptr);
      seen = {FromQt(shownAgain->DateField()->text()), FromQt(shownAgain->OrderField()->text()),
              FromQt(shownAgain->PriceField()->text()), FromQt(shownAgain->TypeList()->currentText())};
      shownAgain->CancelButton()->click();
    });
    Driver().InjectFaults({.failCall = 1});
    dialog->OkayButton()->click();
  };
  view->List()->setCurrentRow(1);
  test::WhenModal(fillAndFail);
  QTest::keyClick(view->List(), Qt::Key_Insert);
  test::ProcessUntil([&] { return !QApplication::activeModalWidget(); });
  EXPECT_EQ(seen, (std::vector<std::string>{Typed(2024, 3, 1), "1", "2.5", "Cash dividend of $@V per share"}));
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"SQL error 3939 on PrvAddV2"});
  EXPECT_EQ(SqlValue("SELECT count(*) FROM Provento").AsInteger(), before);
}

}  // namespace
}  // namespace zi::desktop

#include "desktop/catalogue/company_picker_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/drivers/embedded_driver.h"
#include "support/demo_database.h"

namespace zi::desktop {
namespace {

const bool kEmbeddedRegistered = [] {
  db::RegisterEmbeddedDriver();
  return true;
}();

constexpr const char* kPickerTitle = "Companies / Tickers";
constexpr const char* kSearchTitle = "Company Selection Parameters";
const std::string kPetrobras = "Petr\xF3leo Brasileiro S.A. - Petrobras";

// The picker over a logged-in demo database, shown over a window of the test's own; every test
// starts as a new session does, without a picker.
class CompanyPickerView : public test::DemoDatabase {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kEmbeddedRegistered);
    DemoDatabase::SetUp();
    DropCompanyPicker();
    owner = std::make_unique<QWidget>();
    owner->show();
  }
  void TearDown() override {
    DropCompanyPicker();
    owner.reset();
    DemoDatabase::TearDown();
  }

  // Runs body once the modal dialog of that title is the active one (polled, as the dialog opens
  // inside a call that does not return before it closes). A dialog that never comes is a failure,
  // and every modal dialog is then closed so that the test ends.
  void OnModal(const std::string& title, std::function<void(QWidget*)> body) {
    auto* poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [this, poll, tries, title, body] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal && modal->windowTitle() == QString::fromStdString(title)) {
        poll->stop();
        poll->deleteLater();
        QApplication::setActiveWindow(modal);
        body(modal);
        return;
      }
      if (++*tries < 300) return;
      poll->stop();
      poll->deleteLater();
      missed.push_back(title);
      while (QWidget* open = QApplication::activeModalWidget()) open->close();
    });
    poll->start(10);
  }

  // The search dialog: types the text and presses Enter in it.
  void SearchFor(const std::string& text) {
    OnModal(kSearchTitle, [text](QWidget* modal) {
      auto* params = static_cast<tWinNewObjParams*>(modal);
      params->TextField()->clear();
      QTest::keyClicks(params->TextField(), QString::fromStdString(text));
      QTest::keyClick(params->TextField(), Qt::Key_Return);
    });
  }

  TWinNewObj* Picker() { return CompanyPickerWindow(); }
  static std::vector<std::string> Tickers(const TWinNewObj& picker) {
    std::vector<std::string> tickers;
    for (const TPickerRow& row : picker.Controller().rows()) tickers.push_back(row.object.AnbCod);
    return tickers;
  }

  std::unique_ptr<QWidget> owner;
  std::vector<std::string> missed;
};

TEST_F(CompanyPickerView, TheFirstShowingOpensTheSearchAndEnterPicksTheFirstRow) {
  bool defaults = false;
  OnModal(kSearchTitle, [&](QWidget* modal) {
    auto* params = static_cast<tWinNewObjParams*>(modal);
    defaults = params->TextField()->text().isEmpty() && params->OndeButton(TOndeBuscar::NomeOuTicker)->isChecked() &&
               params->MyCountryBox()->isChecked() && params->OkayButton()->isDefault() &&
               params->OndeButton(TOndeBuscar::NomeDaEmp)->text() == "Company &Names" &&
               params->OndeButton(TOndeBuscar::Ticker)->text() == "&Tickers" &&
               params->OndeButton(TOndeBuscar::TickerExato)->text() == "Ticker e&xact" &&
               params->OndeButton(TOndeBuscar::NomeOuTicker)->text() == "Company names &and tickers" &&
               params->MyCountryBox()->text() == "Show &only companies and exchanges of my country";
    QTest::keyClicks(params->TextField(), "PETR");
    QTest::keyClick(params->TextField(), Qt::Key_Return);
  });
  std::vector<std::string> shown;
  int current = -1;
  QString description;
  OnModal(kPickerTitle, [&](QWidget*) {
    shown = Tickers(*Picker());
    current = Picker()->List()->currentIndex().row();
    description = Picker()->Description();
    QTest::keyClick(Picker()->List(), Qt::Key_Return);
  });
  tObjHierEx object;
  ASSERT_TRUE(PickCompany(owner.get(), object));
  EXPECT_TRUE(missed.empty());
  EXPECT_TRUE(defaults);
  EXPECT_EQ(shown, (std::vector<std::string>{"PETR3", "PETR4"}));
  EXPECT_EQ(current, 0);
  EXPECT_EQ(description,
            "Searching MY companies and exchanges only for company names or stock tickers containing \"PETR\".");
  EXPECT_EQ(object.EmpNome, kPetrobras);
  EXPECT_EQ(object.AnbCod, "PETR3");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(CompanyPickerView, ADoubleClickPicksItsRow) {
  SearchFor("PETR");
  OnModal(kPickerTitle, [&](QWidget*) {
    QListView* list = Picker()->List();
    const QPoint second = list->visualRect(list->model()->index(1, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
  });
  tObjHierEx object;
  ASSERT_TRUE(PickCompany(owner.get(), object));
  EXPECT_TRUE(missed.empty());
  EXPECT_EQ(object.AnbCod, "PETR4");
}

TEST_F(CompanyPickerView, EscapeCancelsAndLeavesTheObjectAlone) {
  SearchFor("VALE");
  OnModal(kPickerTitle, [&](QWidget*) { QTest::keyClick(Picker()->List(), Qt::Key_Escape); });
  tObjHierEx object;
  object.EmpId = 4;
  object.EmpNome = "Kept";
  EXPECT_FALSE(PickCompany(owner.get(), object));
  EXPECT_TRUE(missed.empty());
  EXPECT_EQ(object.EmpId, 4);
  EXPECT_EQ(object.EmpNome, "Kept");
}

TEST_F(CompanyPickerView, OkayWithoutARowBeepsAndStaysOpen) {
  SearchFor("no such company");
  bool stillOpen = false;
  OnModal(kPickerTitle, [&](QWidget*) {
    QTest::mouseClick(Picker()->OkayButton(), Qt::LeftButton);
    stillOpen = Picker()->isVisible();
    Picker()->CancelButton()->click();
  });
  tObjHierEx object;
  EXPECT_FALSE(PickCompany(owner.get(), object));
  EXPECT_TRUE(missed.empty());
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(beeps_, 1);
}

TEST_F(CompanyPickerView, F2ReopensTheSearchDialogWithTheLastSearch) {
  SearchFor("PETR");
  QString refilled;
  OnModal(kPickerTitle, [&](QWidget*) {
    OnModal(kSearchTitle, [&](QWidget* modal) {
      auto* params = static_cast<tWinNewObjParams*>(modal);
      refilled = params->TextField()->text();
      params->OndeButton(TOndeBuscar::TickerExato)->setChecked(true);
      params->MyCountryBox()->setChecked(false);
      params->TextField()->selectAll();
      QTest::keyClicks(params->TextField(), "vale3");
      QTest::keyClick(params->TextField(), Qt::Key_Return);
      OnModal(kPickerTitle, [&](QWidget*) { Picker()->OkayButton()->click(); });
    });
    QTest::keyClick(Picker()->List(), Qt::Key_F2);
  });
  tObjHierEx object;
  ASSERT_TRUE(PickCompany(owner.get(), object));
  EXPECT_TRUE(missed.empty());
  EXPECT_EQ(refilled, "PETR");
  EXPECT_EQ(object.AnbCod, "VALE3");
  EXPECT_EQ(Picker()->Description(),
            "Searching all companies and exchanges for stock tickers exactly like \"vale3\".");
}

TEST_F(CompanyPickerView, ASecondShowingKeepsTheSearchAndARearmRunsItAgain) {
  SearchFor("PETR");
  OnModal(kPickerTitle, [&](QWidget*) { Picker()->OkayButton()->click(); });
  tObjHierEx object;
  ASSERT_TRUE(PickCompany(owner.get(), object));

  ASSERT_NE(AddCompany("PETRN", "Petro Nova"), 0);

  // Without a rearm: the same picker with the same rows, and no search dialog.
  std::vector<std::string> second;
  bool searchOpened = false;
  OnModal(kPickerTitle, [&](QWidget* modal) {
    QTimer::singleShot(100, [&, modal] {
      searchOpened = QApplication::activeModalWidget() != modal;
      second = Tickers(*Picker());
      QTest::keyClick(Picker()->List(), Qt::Key_Escape);
    });
  });
  EXPECT_FALSE(PickCompany(owner.get(), object));
  EXPECT_FALSE(searchOpened);
  EXPECT_EQ(second, (std::vector<std::string>{"PETR3", "PETR4"}));

  RearmCompanyPicker();
  std::vector<std::string> third;
  std::vector<std::string> names;
  OnModal(kPickerTitle, [&](QWidget*) {
    third = Tickers(*Picker());
    for (const TPickerRow& row : Picker()->Controller().rows()) names.push_back(row.empresa);
    QTest::keyClick(Picker()->List(), Qt::Key_Escape);
  });
  EXPECT_FALSE(PickCompany(owner.get(), object));
  EXPECT_TRUE(missed.empty());
  EXPECT_EQ(third, (std::vector<std::string>{"PETR3", "PETR4", ""}));
  EXPECT_EQ(names, (std::vector<std::string>{kPetrobras, kPetrobras, "Petro Nova"}));
}

TEST_F(CompanyPickerView, UntilASearchRanEveryShowingOpensTheSearchDialog) {
  QString first;
  OnModal(kSearchTitle, [&](QWidget* modal) {
    static_cast<tWinNewObjParams*>(modal)->reject();
    OnModal(kPickerTitle, [&](QWidget*) {
      first = Picker()->Description();
      QTest::keyClick(Picker()->List(), Qt::Key_Escape);
    });
  });
  tObjHierEx object;
  EXPECT_FALSE(PickCompany(owner.get(), object));
  EXPECT_EQ(first, "No companies selected");

  SearchFor("");
  QString second;
  OnModal(kPickerTitle, [&](QWidget*) {
    second = Picker()->Description();
    Picker()->OkayButton()->click();
  });
  ASSERT_TRUE(PickCompany(owner.get(), object));
  EXPECT_TRUE(missed.empty());
  EXPECT_EQ(second, "Searching MY companies and exchanges only.");
  EXPECT_EQ(object.AnbCod, "PETR3");
}

TEST_F(CompanyPickerView, ThePickerShownAlreadyIsNotShownAgain) {
  SearchFor("PETR");
  bool nested = true;
  OnModal(kPickerTitle, [&](QWidget*) {
    tObjHierEx inner;
    nested = PickCompany(owner.get(), inner);
    QTest::keyClick(Picker()->List(), Qt::Key_Escape);
  });
  tObjHierEx object;
  EXPECT_FALSE(PickCompany(owner.get(), object));
  EXPECT_TRUE(missed.empty());
  EXPECT_FALSE(nested);
  EXPECT_EQ(beeps_, 1);
}

TEST_F(CompanyPickerView, AFailedSearchKeepsTheSearchDialogOpenWithTheEntries) {
  QString kept;
  OnModal(kSearchTitle, [&](QWidget* modal) {
    auto* params = static_cast<tWinNewObjParams*>(modal);
    QTest::keyClicks(params->TextField(), "PETR");
    Driver().InjectFaults({.failCall = 1});
    QTest::keyClick(params->TextField(), Qt::Key_Return);
    Driver().InjectFaults({});
    kept = params->isVisible() ? params->TextField()->text() : QString();
    params->reject();
    OnModal(kPickerTitle, [&](QWidget*) { QTest::keyClick(Picker()->List(), Qt::Key_Escape); });
  });
  tObjHierEx object;
  EXPECT_FALSE(PickCompany(owner.get(), object));
  EXPECT_TRUE(missed.empty());
  EXPECT_EQ(kept, "PETR");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(BoxCaptions()[0].ends_with(" on dataset:ObjListProF2V2")) << boxes_[0];
  EXPECT_EQ(Picker()->Description(), "No companies selected");
}

TEST_F(CompanyPickerView, TheDelegateDrawsAPetrobrasRowInItsColumns) {
  SearchFor("PETR");
  OnModal(kPickerTitle, [&](QWidget*) { QTest::keyClick(Picker()->List(), Qt::Key_Escape); });
  tObjHierEx object;
  EXPECT_FALSE(PickCompany(owner.get(), object));
  ASSERT_EQ(Picker()->Controller().rows().size(), 2u);
  TPickerRow row = Picker()->Controller().rows()[1];
  row.status = "T";
  QPalette palette;
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::HighlightedText, Qt::white);

  const auto drawn = [&](bool selected) {
    const TPickerRowPaint paint = TPickerDelegate::LayOut(row, QRect(10, 36, 500, 18), palette, selected);
    std::vector<std::string> cells;
    for (const TPickerCell& cell : paint.cells) {
      cells.push_back(std::to_string(cell.rect.left()) + "-" + std::to_string(cell.rect.right()) + " " +
                      cell.text.toStdString() + " " + cell.colour.name().toStdString());
    }
    if (paint.hasBadge) cells.push_back("badge " + std::to_string(paint.badge.left()));
    return cells;
  };
  // The second Petrobras row: the company repeated (grey, no picture), the class its own.
  EXPECT_EQ(drawn(false), (std::vector<std::string>{"38-184 Petr\xC3\xB3leo Brasileiro S.A. - Petrobras #808080",
                                                    "187-259 Preferenciais #000000", "262-359 PETR4 #000000",
                                                    "362-487 BOVESPA #000000", "498-509 T #000000"}));
  row.empresaRepetida = false;
  row.classeRepetida = true;
  row.serieInativa = true;
  EXPECT_EQ(drawn(false), (std::vector<std::string>{"38-184 Petr\xC3\xB3leo Brasileiro S.A. - Petrobras #000000",
                                                    "187-259 Preferenciais #808080", "262-359 PETR4 #c00000",
                                                    "362-487 BOVESPA #c00000", "498-509 T #000000", "badge 12"}));
  EXPECT_EQ(drawn(true), (std::vector<std::string>{"38-184 Petr\xC3\xB3leo Brasileiro S.A. - Petrobras #ffffff",
                                                   "187-259 Preferenciais #808080", "262-359 PETR4 #ffd700",
                                                   "362-487 BOVESPA #ffd700", "498-509 T #ffffff", "badge 12"}));

  // The list paints its rows from what the search read.
  Picker()->resize(600, 300);
  EXPECT_FALSE(Picker()->List()->grab().isNull());
  EXPECT_TRUE(boxes_.empty());
}

}  // namespace
}  // namespace zi::desktop

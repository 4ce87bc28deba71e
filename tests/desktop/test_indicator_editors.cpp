// The indicator history dialog and the administrator's table editor on a demo database, driven by
// QtTest's events.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

#include "catalogue/objects.h"
#include "desktop/catalogue/indicator_history.h"
#include "desktop/catalogue/table_editor.h"
#include "desktop/forms.h"
#include "support/demo_database.h"

namespace zi::desktop {
namespace {

using testing::HasSubstr;

constexpr int kEmployees = 63;

class IndicatorEditors : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    empresa_ = CompanyId("PETR");
    for (const auto& [iso, n] : std::vector<std::pair<const char*, double>>{{"2019-01-15", 100}, {"2023-07-31", 300}}) {
      ASSERT_EQ(PutValorDoIndicadorNaData(kNivelEmpresa, empresa_, kEmployees, *ParseIsoDate(iso),
                                          {.nulo = false, .valornum = n}),
                0);
    }
  }
  // Runs body on the modal dialog once it is shown.
  static void OnModal(std::function<void(QDialog&)> body) {
    QTimer::singleShot(0, [body = std::move(body)] {
      QPointer<QDialog> dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      body(*dialog);
      // A body that stopped at a failed assertion must not leave the test waiting on the dialog.
      if (dialog && dialog->isVisible()) dialog->reject();
    });
  }
  std::string Values() {
    std::string text;
    const auto results = Server().ExecuteSql(
        "select valornum from IndicadoresDaEmp where emp = ? and indica = ? order by DataIniVigencia",
        {DbValue(empresa_), DbValue(kEmployees)});
    for (const auto& row : results.at(0).rows) text += std::to_string(static_cast<int>(row.at(0).AsFloat())) + ";";
    return text;
  }

  int empresa_ = 0;
};

TEST_F(IndicatorEditors, TheHistoryOfAPlainUserIsTitledReadOnly) {
  LogInAsUser(0);
  QString title;
  bool saveEnabled = true;
  bool cellEditable = true;
  QStringList headings;
  OnModal([&](QDialog& dialog) {
    title = dialog.windowTitle();
    auto& history = static_cast<tIndicatorHistoryDialog&>(dialog);
    for (int c = 0; c < history.Grid()->model()->columnCount(); ++c)
      headings << history.Grid()->model()->headerData(c, Qt::Horizontal).toString();
    saveEnabled = history.SaveButton()->isEnabled();
    cellEditable = history.Grid()->model()->flags(history.Grid()->model()->index(0, 0)) & Qt::ItemIsEditable;
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  UmIndicadorDaEmpAtvAnb entrada;
  EXPECT_FALSE(EditIndicatorHistory(nullptr, kNivelEmpresa, empresa_, kEmployees, entrada));
  EXPECT_EQ(title, ToQt("N\xFAmero de funcion\xE1rios [READONLY / NOT ADMIN USER]"));
  EXPECT_EQ(headings, (QStringList{"Effective date", "Number", "Date", "Text"}));
  EXPECT_FALSE(saveEnabled);
  EXPECT_FALSE(cellEditable);
  EXPECT_TRUE(entrada.present);
  EXPECT_EQ(entrada.valor.valornum, 300);
}

TEST_F(IndicatorEditors, EscapeClosesTheHistoryWithoutSaving) {
  int rows = 0;
  bool badTaken = true;
  OnModal([&](QDialog& dialog) {
    auto& history = static_cast<tIndicatorHistoryDialog&>(dialog);
    QAbstractItemModel* model = history.Grid()->model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Warning);
    rows = model->rowCount();
    // The number column is the second one shown.
    EXPECT_TRUE(model->setData(model->index(1, 1), "999", Qt::EditRole));
    badTaken = model->setData(model->index(0, 1), "12abc", Qt::EditRole);
    QTest::mouseClick(history.AddButton(), Qt::LeftButton);
    EXPECT_EQ(model->rowCount(), 3);
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  UmIndicadorDaEmpAtvAnb entrada;
  EXPECT_FALSE(EditIndicatorHistory(nullptr, kNivelEmpresa, empresa_, kEmployees, entrada));
  EXPECT_EQ(rows, 2);
  EXPECT_FALSE(badTaken);
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(Values(), "100;300;");
  EXPECT_EQ(entrada.valor.valornum, 300);
}

TEST_F(IndicatorEditors, SaveWritesTheHistoryAndCloses) {
  OnModal([&](QDialog& dialog) {
    auto& history = static_cast<tIndicatorHistoryDialog&>(dialog);
    QAbstractItemModel* model = history.Grid()->model();
    EXPECT_TRUE(model->setData(model->index(1, 1), "350", Qt::EditRole));
    QTest::mouseClick(history.SaveButton(), Qt::LeftButton);
  });
  UmIndicadorDaEmpAtvAnb entrada;
  EXPECT_TRUE(EditIndicatorHistory(nullptr, kNivelEmpresa, empresa_, kEmployees, entrada));
  EXPECT_EQ(Values(), "100;350;");
  EXPECT_EQ(entrada.valor.valornum, 350);
  EXPECT_TRUE(entrada.modified);
}

TEST_F(IndicatorEditors, AFailedSaveKeepsTheHistoryOpenWithTheEdits) {
  bool openAfterFailure = false;
  std::string cellAfterFailure;
  OnModal([&](QDialog& dialog) {
    auto& history = static_cast<tIndicatorHistoryDialog&>(dialog);
    QAbstractItemModel* model = history.Grid()->model();
    EXPECT_TRUE(model->setData(model->index(0, 1), "150", Qt::EditRole));
    Driver().InjectFaults({.failCall = 2});
    QTest::mouseClick(history.SaveButton(), Qt::LeftButton);
    Driver().InjectFaults({});
    openAfterFailure = dialog.isVisible();
    cellAfterFailure = FromQt(model->data(model->index(0, 1), Qt::DisplayRole).toString());
    QTest::mouseClick(history.SaveButton(), Qt::LeftButton);
  });
  UmIndicadorDaEmpAtvAnb entrada;
  EXPECT_TRUE(EditIndicatorHistory(nullptr, kNivelEmpresa, empresa_, kEmployees, entrada));
  EXPECT_TRUE(openAfterFailure);
  EXPECT_EQ(cellAfterFailure, "150");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_THAT(boxes_[0], HasSubstr("on IndicatorHistory.Save|"));
  EXPECT_EQ(Values(), "150;300;");
}

TEST_F(IndicatorEditors, ThePresetButtonsFillTheGrid) {
  tTableEditorDialog dialog(nullptr);
  ASSERT_EQ(dialog.PresetButtons().size(), kTableEditorPresets.size());
  for (size_t i = 0; i < kTableEditorPresets.size(); ++i) {
    const std::string preset = kTableEditorPresets[i];
    SCOPED_TRACE(preset);
    boxes_.clear();
    QTest::mouseClick(dialog.PresetButtons()[i], Qt::LeftButton);
    EXPECT_EQ(FromQt(dialog.SqlField()->text()), preset);
    EXPECT_TRUE(boxes_.empty());
    ASSERT_NE(dialog.Grid()->model(), nullptr);
    QAbstractItemModelTester tester(dialog.Grid()->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    // A new database holds no presentation of indicators yet.
    if (preset.find("ApresIndicadoresDoTDDPais") == std::string::npos) {
      EXPECT_GT(dialog.Grid()->model()->rowCount(), 0);
    }
    EXPECT_GT(dialog.Grid()->model()->columnCount(), 0);
    EXPECT_TRUE(dialog.SaveButton()->isEnabled());
  }
}

TEST_F(IndicatorEditors, TheTableButtonReadsTheNamedTableAndSaveWritesIt) {
  tTableEditorDialog dialog(nullptr);
  QTest::keyClicks(dialog.TableField(), "FmtBal");
  QTest::mouseClick(dialog.TableButton(), Qt::LeftButton);
  QAbstractItemModel* model = dialog.Grid()->model();
  ASSERT_NE(model, nullptr);
  int nome = -1;
  for (int c = 0; c < model->columnCount(); ++c) {
    if (model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == "nome") nome = c;
  }
  ASSERT_GE(nome, 0);
  ASSERT_TRUE(model->setData(model->index(0, nome), "Edited", Qt::EditRole));
  QTest::mouseClick(dialog.SaveButton(), Qt::LeftButton);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(SqlValue("select count(*) from FmtBal where nome = 'Edited'"), DbValue(int64_t{1}));
}

TEST_F(IndicatorEditors, TheTableEditorDoesNotOpenForAPlainUser) {
  LogInAsUser(0);
  bool opened = false;
  QTimer guard;
  QObject::connect(&guard, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      opened = true;
      modal->close();
    }
  });
  guard.start(0);
  OpenTableEditor(nullptr);
  guard.stop();
  EXPECT_FALSE(opened);
}

}  // namespace
}  // namespace zi::desktop

// The company, class and series forms: their buttons and keys, what their fields take, and where
// Okay puts the focus when it keeps the form open.

#include "desktop/catalogue/object_forms_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/indicators.h"
#include "catalogue/naics.h"
#include "desktop/naics_picker_dialog.h"
#include "desktop/text_fields.h"
#include "session/session.h"
#include "support/demo_database.h"

namespace zi::desktop {
namespace {

class ObjectFormsTest : public test::DemoDatabase {
 protected:
  void SetUp() override {
    test::DemoDatabase::SetUp();
    PreencheListasFixas();
  }
  tObjEmp Emp(const std::string& cod) {
    tObjEmp emp;
    EXPECT_EQ(DbObjEmpGet(CompanyId(cod), emp), 0);
    return emp;
  }
  tObjAnb Anb(const std::string& ticker) {
    tObjAnb anb;
    EXPECT_EQ(DbObjAnbGet(SeriesId(ticker), anb), 0);
    return anb;
  }
  static std::unique_ptr<TIndicadoresDeEmpAtvAnb> Set(int nivel, int id) {
    return TIndicadoresDeEmpAtvAnb::Cria(nivel, id, id != 0);
  }
  static void Active(QDialog& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  // Runs body on the form that the next statement opens modal, once it is showing.
  static void WhenModal(std::function<void(QDialog&)> body) {
    QTimer::singleShot(0, [body] {
      auto* modal = dynamic_cast<QDialog*>(QApplication::activeModalWidget());
      if (!modal) {
        ADD_FAILURE() << "no form is showing";
        return;
      }
      body(*modal);
    });
  }
  static std::vector<std::string> Labels(const TIndicatorBoxWidget& box, const std::vector<int>& indicadores) {
    std::vector<std::string> labels;
    for (const int indicador : indicadores) {
      labels.push_back(box.Label(indicador) ? box.Label(indicador)->text().toStdString() : "-");
    }
    return labels;
  }
};

TEST_F(ObjectFormsTest, TheCompanyFormOkayIsTheDefaultAndEnterTakesWhatWasTyped) {
  tObjEmp emp = Emp("PETR");
  auto set = Set(kNivelEmpresa, emp.id);
  TObjEmpForm form(nullptr, emp, *set);
  EXPECT_EQ(form.windowTitle(), "Company Registration");
  EXPECT_EQ(form.OkayButton()->text(), "Okay");
  EXPECT_EQ(form.CancelButton()->text(), "Cancel");
  EXPECT_TRUE(form.OkayButton()->isDefault());
  Active(form);
  form.Nome()->setFocus();
  form.Nome()->selectAll();
  QTest::keyClicks(form.Nome(), "Petrobras");
  QTest::keyClick(form.Nome(), Qt::Key_Return);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(emp.nome, "Petrobras");
}

TEST_F(ObjectFormsTest, CancelAndEscapeLeaveTheRecordAsItWas) {
  const tObjEmp stored = Emp("PETR");
  for (const bool escape : {false, true}) {
    tObjEmp emp = stored;
    auto set = Set(kNivelEmpresa, emp.id);
    TObjEmpForm form(nullptr, emp, *set);
    Active(form);
    QTest::keyClicks(form.Nome(), "more");
    if (escape) {
      QTest::keyClick(&form, Qt::Key_Escape);
    } else {
      QTest::mouseClick(form.CancelButton(), Qt::LeftButton);
    }
    EXPECT_EQ(form.result(), QDialog::Rejected) << escape;
    EXPECT_EQ(emp, stored) << escape;
  }
}

TEST_F(ObjectFormsTest, ALongStoredNameIsShownWholeWhileTypingStopsAtFiftyAndRefusesOtherCharacters) {
  tObjEmp emp = Emp("PETR");
  emp.nome = std::string(70, 'N');
  auto set = Set(kNivelEmpresa, emp.id);
  TObjEmpForm form(nullptr, emp, *set);
  EXPECT_EQ(TextOf(form.Nome()), std::string(70, 'N'));
  form.Nome()->clear();
  QTest::keyClicks(form.Nome(), QString(60, 'a'));
  EXPECT_EQ(form.Nome()->text().size(), 50);
  form.Cod()->clear();
  for (const QChar c : QString::fromUtf8("P\xE4\xB8\xAD" "E")) form.Cod()->insert(c);
  EXPECT_EQ(TextOf(form.Cod()), "PE");
}

TEST_F(ObjectFormsTest, TheNaicsClearButtonEmptiesTheTitleAndTheCode) {
  tObjEmp emp = Emp("PETR");
  auto set = Set(kNivelEmpresa, emp.id);
  TObjEmpForm form(nullptr, emp, *set);
  QTest::mouseClick(form.NaicsClear(), Qt::LeftButton);
  EXPECT_TRUE(form.Naics()->text().isEmpty());
  EXPECT_TRUE(form.Naics()->isReadOnly());
  QTest::mouseClick(form.OkayButton(), Qt::LeftButton);
  EXPECT_EQ(emp.naics, 0);
}

TEST_F(ObjectFormsTest, TheNaicsButtonPicksACodeAndShowsItsTitle) {
  tObjEmp emp = Emp("VALE");
  emp.naics = 23;
  auto set = Set(kNivelEmpresa, emp.id);
  TObjEmpForm form(nullptr, emp, *set);
  EXPECT_FALSE(form.Naics()->text().isEmpty());
  EXPECT_EQ(TextOf(form.Naics()), NaicsTitulo(23, ZiGlobs().lingua));
  int picked = 0;
  WhenModal([&picked](QDialog& dialog) {
    auto& picker = dynamic_cast<tZiPickSicCod&>(dialog);
    picker.List()->setCurrentRow(0);
    picked = picker.Codigo();
    QTest::mouseClick(picker.OkButton(), Qt::LeftButton);
  });
  QTest::mouseClick(form.NaicsPick(), Qt::LeftButton);
  ASSERT_EQ(picked, 11);
  EXPECT_EQ(TextOf(form.Naics()), NaicsTitulo(11, ZiGlobs().lingua));
  QTest::mouseClick(form.OkayButton(), Qt::LeftButton);
  EXPECT_EQ(emp.naics, 11);
}

TEST_F(ObjectFormsTest, ChangingTheCountryLaysTheIndicatorBoxOutAgainKeepingWhatWasTyped) {
  tObjEmp emp = Emp("PETR");
  auto set = Set(kNivelEmpresa, emp.id);
  TObjEmpForm form(nullptr, emp, *set);
  const TIndicatorBoxWidget& box = *form.BoxWidget();
  EXPECT_EQ(Labels(box, {9, 58, 60}), (std::vector<std::string>{"CNPJ ", "Descri\u00E7\u00E3o da empresa",
                                                                 "Data de funda\u00E7\u00E3o"}));
  auto* descricao = dynamic_cast<QLineEdit*>(box.Campo(58));
  ASSERT_NE(descricao, nullptr);
  QTest::keyClicks(descricao, "Oil");
  form.Pais()->setCurrentIndex(form.Pais()->findData(1));
  EXPECT_EQ(Labels(box, {9, 58, 60, 63}),
            (std::vector<std::string>{"-", "Descri\u00E7\u00E3o da empresa", "-", "N\u00FAmero de funcion\u00E1rios"}));
  auto* depois = dynamic_cast<QLineEdit*>(box.Campo(58));
  ASSERT_NE(depois, nullptr);
  EXPECT_EQ(depois->text(), "Oil");
}

TEST_F(ObjectFormsTest, AFailingIndicatorKeepsTheFormOpenWithTheFocusOnIt) {
  tObjEmp emp = Emp("PETR");
  const tObjEmp stored = emp;
  auto set = Set(kNivelEmpresa, emp.id);
  TObjEmpForm form(nullptr, emp, *set);
  Active(form);
  auto* empregados = dynamic_cast<QLineEdit*>(form.BoxWidget()->Campo(63));
  ASSERT_NE(empregados, nullptr);
  QTest::keyClicks(empregados, "many");
  QTest::keyClicks(form.Nome(), " typed");
  QTest::mouseClick(form.OkayButton(), Qt::LeftButton);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_TRUE(empregados->hasFocus());
  EXPECT_EQ(empregados->text(), "many");
  EXPECT_EQ(emp, stored);
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"SQL error 4294 on TBoxInd.Save"});
}

TEST_F(ObjectFormsTest, AnIndicatorsHistoryButtonShowsItsEntryAgainKeepingTheOtherFieldsAsTyped) {
  tObjEmp emp = Emp("PETR");
  ASSERT_EQ(PutValorDoIndicadorNaData(kNivelEmpresa, emp.id, 58, kNoDate, {.nulo = false, .valorst = "Oil"}), 0);
  auto set = Set(kNivelEmpresa, emp.id);
  TObjEmpForm form(nullptr, emp, *set);
  TIndicatorBoxWidget& box = *form.BoxWidget();
  EXPECT_EQ(box.Historico(9), nullptr) << "the fixed fields have no history button";
  auto* descricao = dynamic_cast<QLineEdit*>(box.Campo(58));
  auto* empregados = dynamic_cast<QLineEdit*>(box.Campo(63));
  ASSERT_TRUE(descricao && empregados);
  EXPECT_EQ(descricao->text(), "Oil");
  QTest::keyClicks(descricao, " and gas");
  QTest::keyClicks(empregados, "40");
  bool shown = false;
  WhenModal([&shown](QDialog& history) {
    shown = true;
    QTest::keyClick(&history, Qt::Key_Escape);
  });
  QTest::mouseClick(box.Historico(58), Qt::LeftButton);
  EXPECT_TRUE(shown);
  descricao = dynamic_cast<QLineEdit*>(box.Campo(58));
  empregados = dynamic_cast<QLineEdit*>(box.Campo(63));
  ASSERT_TRUE(descricao && empregados);
  EXPECT_EQ(descricao->text(), "Oil");
  EXPECT_EQ(empregados->text(), "40");
}

TEST_F(ObjectFormsTest, AFormShownAgainAfterAFailedWriteShowsWhatTheUserEntered) {
  const std::unique_ptr<tObjectForms> forms = CreateObjectForms(nullptr);
  tObjEmp emp = Emp("PETR");
  auto set = Set(kNivelEmpresa, emp.id);
  WhenModal([](QDialog& form) {
    auto& company = dynamic_cast<TObjEmpForm&>(form);
    company.Nome()->setText("Entered name");
    dynamic_cast<QLineEdit*>(company.BoxWidget()->Campo(58))->setText("Entered description");
    QTest::mouseClick(company.OkayButton(), Qt::LeftButton);
  });
  ASSERT_TRUE(forms->EditEmp(emp, *set));
  EXPECT_TRUE(set->Entrada(58).modified);
  std::string nome, descricao;
  WhenModal([&](QDialog& form) {
    auto& company = dynamic_cast<TObjEmpForm&>(form);
    nome = TextOf(company.Nome());
    descricao = TextOf(dynamic_cast<QLineEdit*>(company.BoxWidget()->Campo(58)));
    QTest::mouseClick(company.CancelButton(), Qt::LeftButton);
  });
  EXPECT_FALSE(forms->EditEmp(emp, *set));
  EXPECT_EQ(nome, "Entered name");
  EXPECT_EQ(descricao, "Entered description");
}

TEST_F(ObjectFormsTest, ClassOkayWithoutANameFocusesThePick) {
  tObjAtv atv;
  atv.emp = CompanyId("PETR");
  auto set = Set(kNivelClasse, 0);
  TObjAtvForm form(nullptr, atv, *set);
  ASSERT_EQ(form.Preenche(), 0);
  EXPECT_EQ(form.windowTitle(), "Class Registration");
  Active(form);
  EXPECT_EQ(form.Classe()->currentIndex(), -1);
  QTest::mouseClick(form.OkayButton(), Qt::LeftButton);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.Classe()->hasFocus());
}

TEST_F(ObjectFormsTest, TypingIntoTheClassPickSelectsTheLastItemContainingTheText) {
  tObjAtv atv;
  atv.emp = CompanyId("PETR");
  auto set = Set(kNivelClasse, 0);
  TObjAtvForm form(nullptr, atv, *set);
  ASSERT_EQ(form.Preenche(), 0);
  Active(form);
  form.Classe()->setFocus();
  QTest::keyClicks(form.Classe(), "rias");
  EXPECT_EQ(form.Classe()->currentText().toStdString(), "Ordin\u00E1rias - Brazil");
  for (int i = 0; i < 3; ++i) QTest::keyClick(form.Classe(), Qt::Key_Backspace);
  EXPECT_EQ(form.Classe()->currentText().toStdString(), "Renda fixa - Brazil") << "every item contains \"r\"";
  QTest::qWait(1100);
  QTest::keyClicks(form.Classe(), "classe");
  EXPECT_EQ(form.Classe()->currentText().toStdString(), "Preferenciais classe A - Brazil")
      << "a pause starts a new search";
}

TEST_F(ObjectFormsTest, ACancelledClassFormIs4127AndOneWithoutNamesIsNotShown) {
  tObjAtv atv;
  ASSERT_EQ(DbObjAtvGet(ClassIdOfSeries("PETR3"), atv), 0);
  const tObjAtv stored = atv;
  auto set = Set(kNivelClasse, atv.id);
  TObjAtvForm form(nullptr, atv, *set);
  WhenModal([](QDialog& shown) { QTest::keyClick(&shown, Qt::Key_Escape); });
  EXPECT_EQ(form.Executa(), kClasseCancelada);
  EXPECT_EQ(atv, stored);
  tObjAtv ibm;
  ibm.emp = CompanyId("IBM");
  auto nova = Set(kNivelClasse, 0);
  TObjAtvForm semNomes(nullptr, ibm, *nova);
  EXPECT_EQ(semNomes.Executa(), kClasseSemNomes);
  EXPECT_FALSE(semNomes.isVisible());
  EXPECT_TRUE(boxes_.empty()) << "no message";
}

TEST_F(ObjectFormsTest, TheCheckBoxShowsTheClassesOfOtherCountriesAndTheCompanyButtonRevealsItsNumber) {
  tObjAtv atv;
  ASSERT_EQ(DbObjAtvGet(ClassIdOfSeries("PETR3"), atv), 0);
  auto set = Set(kNivelClasse, atv.id);
  TObjAtvForm form(nullptr, atv, *set);
  ASSERT_EQ(form.Preenche(), 0);
  EXPECT_EQ(form.Classe()->count(), 3);
  form.Estrangeiras()->setChecked(true);
  EXPECT_EQ(form.Classe()->count(), 5);
  EXPECT_EQ(form.Classe()->currentText().toStdString(), "Ordin\u00E1rias - Brazil");
  EXPECT_TRUE(form.Empresa()->isHidden());
  QTest::mouseClick(form.EmpresaButton(), Qt::LeftButton);
  EXPECT_FALSE(form.Empresa()->isHidden());
}

TEST_F(ObjectFormsTest, APlainUsersStatusCheckBoxIsDisabledForStatusFour) {
  tObjAnb anb = Anb("PETR4");
  anb.TipoDeBGLDestino = 4;
  LogInAsUser(0);
  auto set = Set(kNivelSerie, anb.id);
  TObjAnbForm form(nullptr, anb, *set);
  EXPECT_EQ(form.windowTitle(), "Serie Registration");
  EXPECT_EQ(form.Status(), nullptr);
  ASSERT_NE(form.StatusCheck(), nullptr);
  EXPECT_FALSE(form.StatusCheck()->isEnabled());
  EXPECT_FALSE(form.StatusCheck()->isChecked());
  EXPECT_TRUE(form.TrazDados()->isHidden());
  EXPECT_FALSE(form.Calendario()->isEnabled());
  EXPECT_TRUE(form.ClasseButton()->isHidden());
  QTest::mouseClick(form.OkayButton(), Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(anb.TipoDeBGLDestino, 4);
}

TEST_F(ObjectFormsTest, ASeriesCalendarHoldingTextKeepsTheFormOpenWithEveryFieldAsTyped) {
  tObjAnb anb = Anb("PETR4");
  const tObjAnb stored = anb;
  auto set = Set(kNivelSerie, anb.id);
  TObjAnbForm form(nullptr, anb, *set);
  Active(form);
  form.Ticker()->selectAll();
  QTest::keyClicks(form.Ticker(), "PETR9");
  form.Calendario()->selectAll();
  QTest::keyClicks(form.Calendario(), "x");
  form.Mapa()->selectAll();
  QTest::keyClicks(form.Mapa(), "12");
  QTest::mouseClick(form.OkayButton(), Qt::LeftButton);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.Calendario()->hasFocus());
  EXPECT_EQ(form.Calendario()->text(), "0");
  EXPECT_EQ(form.Ticker()->text(), "PETR9");
  EXPECT_EQ(form.Mapa()->text(), "12");
  EXPECT_EQ(anb, stored);
  QTest::mouseClick(form.OkayButton(), Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(anb.cod, "PETR9");
  EXPECT_EQ(anb.MapaFaskel, 12);
}

TEST_F(ObjectFormsTest, ThePortShowsTheFormsModalAndAClassFormThatCannotBeFilledIsACancel) {
  const std::unique_ptr<tObjectForms> forms = CreateObjectForms(nullptr);
  tObjEmp emp = Emp("VALE");
  auto set = Set(kNivelEmpresa, emp.id);
  WhenModal([](QDialog& form) {
    auto& emp = dynamic_cast<TObjEmpForm&>(form);
    emp.Cnpj()->setText("11");
    QTest::mouseClick(emp.OkayButton(), Qt::LeftButton);
  });
  EXPECT_TRUE(forms->EditEmp(emp, *set));
  EXPECT_EQ(emp.cnpj, "11");

  tObjAtv atv;
  atv.emp = CompanyId("IBM");
  auto classe = Set(kNivelClasse, 0);
  EXPECT_FALSE(forms->EditAtv(atv, *classe)) << "no class names for the country: 4126";

  tObjAnb anb = Anb("IBM");
  auto serie = Set(kNivelSerie, anb.id);
  WhenModal([](QDialog& form) { QTest::keyClick(&form, Qt::Key_Escape); });
  EXPECT_FALSE(forms->EditAnb(anb, *serie));
}

}  // namespace
}  // namespace zi::desktop

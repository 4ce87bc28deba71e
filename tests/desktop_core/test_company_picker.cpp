#include "desktop/core/catalogue/company_picker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/demo_database.h"

namespace zi::desktop {
namespace {

using O = TOndeBuscar;

class CompanyPicker : public test::DemoDatabase {
 protected:
  // Each row as the list draws it: the four texts, the status letter and the marks.
  static std::vector<std::string> Drawn(const CompanyPickerController& picker) {
    std::vector<std::string> lines;
    for (const TPickerRow& row : picker.rows()) {
      std::string line = row.empresa + "|" + row.classe + "|" + row.ticker + "|" + row.bolsa + "|" + row.status;
      if (row.empresaRepetida) line += " grey-company";
      if (row.classeRepetida) line += " grey-class";
      if (row.serieInativa) line += " inactive";
      lines.push_back(line);
    }
    return lines;
  }

  std::vector<std::string> Tickers(const CompanyPickerController& picker) {
    std::vector<std::string> tickers;
    for (const TPickerRow& row : picker.rows()) tickers.push_back(row.object.AnbCod);
    return tickers;
  }
};

const std::string kPetrobras = "Petr\xF3leo Brasileiro S.A. - Petrobras";

TEST_F(CompanyPicker, BeforeTheFirstSearchNothingIsSelectedAndTheSearchDialogOpens) {
  CompanyPickerController picker;
  EXPECT_EQ(picker.describe(), "No companies selected");
  EXPECT_TRUE(picker.rows().empty());
  EXPECT_EQ(picker.selected(), -1);
  EXPECT_EQ(picker.showing(), TPickerShowing::OpenSearch);
  picker.rearm();
  EXPECT_EQ(picker.showing(), TPickerShowing::OpenSearch) << "no search to run again";
  tObjHierEx object;
  object.EmpId = 77;
  EXPECT_FALSE(picker.pick(0, object));
  EXPECT_EQ(object.EmpId, 77);
}

TEST_F(CompanyPicker, NameOrTickerSearchListsPetrobrasWithGreyRepeatsAndSelectsTheFirstRow) {
  CompanyPickerController picker;
  ASSERT_EQ(picker.search({"PETR"}), 0);
  EXPECT_EQ(picker.describe(),
            "Searching MY companies and exchanges only for company names or stock tickers containing \"PETR\".");
  EXPECT_EQ(Drawn(picker), (std::vector<std::string>{kPetrobras + "|Ordin\xE1rias|PETR3|BOVESPA|",
                                                     kPetrobras + "|Preferenciais|PETR4|BOVESPA| grey-company"}));
  EXPECT_EQ(picker.selected(), 0);
  EXPECT_EQ(picker.showing(), TPickerShowing::Nothing);

  tObjHierEx object;
  ASSERT_TRUE(picker.pick(1, object));
  EXPECT_EQ(object, picker.rows()[1].object);
  EXPECT_EQ(object.EmpNome, kPetrobras);
  EXPECT_EQ(object.AnbCod, "PETR4");
  EXPECT_NE(object.AnbId, 0);
  EXPECT_FALSE(picker.pick(2, object));
  EXPECT_FALSE(picker.pick(-1, object));
  EXPECT_EQ(object.AnbCod, "PETR4");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(CompanyPicker, ExactTickerFindsOneSeriesAndAllCompaniesShowWithoutATicker) {
  CompanyPickerController picker;
  ASSERT_EQ(picker.search({"PETR4", false, O::TickerExato}), 0);
  EXPECT_EQ(picker.describe(), "Searching all companies and exchanges for stock tickers exactly like \"PETR4\".");
  EXPECT_EQ(Drawn(picker), (std::vector<std::string>{kPetrobras + "|Preferenciais|PETR4|BOVESPA|"}));

  ASSERT_EQ(picker.search({"PETR", true, O::TickerExato}), 0);
  EXPECT_TRUE(picker.rows().empty());
  EXPECT_EQ(picker.selected(), -1);

  // An exact ticker search of nothing would find nothing: an empty text looks at company names.
  ASSERT_EQ(picker.search({"  ", true, O::TickerExato}), 0);
  EXPECT_EQ(picker.describe(), "Searching MY companies and exchanges only.");
  EXPECT_EQ(Tickers(picker), (std::vector<std::string>{"PETR3", "PETR4", "VALE3", "", "ITUB4", "IBM", "KO"}));
  EXPECT_EQ(picker.selected(), 0);
}

TEST_F(CompanyPicker, QuotesAreDroppedAndWildcardsAreTakenLiterally) {
  CompanyPickerController picker;
  ASSERT_EQ(picker.search({"'\"%[", false, O::NomeDaEmp}), 0);
  EXPECT_EQ(picker.describe(), "Searching all companies and exchanges for company names containing \"%[\".");
  EXPECT_TRUE(picker.rows().empty());
  ASSERT_EQ(picker.search({"%", false, O::Ticker}), 0);
  EXPECT_TRUE(picker.rows().empty());
  ASSERT_EQ(picker.search({"V'A\"LE", false, O::NomeDaEmp}), 0);
  EXPECT_EQ(Tickers(picker), (std::vector<std::string>{"VALE3"}));
}

TEST_F(CompanyPicker, ACompanyIsFoundByItsCodeOrRegistryNumber) {
  CompanyPickerController picker;
  ASSERT_EQ(picker.search({"33592510000154", true, O::NomeDaEmp}), 0);
  EXPECT_EQ(Tickers(picker), (std::vector<std::string>{"VALE3"}));
  ASSERT_EQ(picker.search({"itub"}), 0);
  const std::string itau = "Ita\xFA Unibanco Holding S.A.";
  EXPECT_EQ(Drawn(picker), (std::vector<std::string>{itau + "|Ordin\xE1rias|||",
                                                     itau + "|Preferenciais|ITUB4|BOVESPA| grey-company"}));
}

TEST_F(CompanyPicker, ASecondSeriesOfAClassGreysTheClassAndAnInactiveSeriesShowsItsStatus) {
  CompanyPickerController picker;
  ASSERT_EQ(picker.search({"PETR4", true, O::TickerExato}), 0);
  tObjAnb series;
  series.acao = picker.rows().at(0).object.AtvId;
  series.cod = "PETR9";
  series.bolsa = 1;
  series.moedacot = 1;
  series.PaisProCodZor = 0;
  series.TipoDeContrato = 0;
  series.TipoDeBGLDestino = 4;
  series.cancelado = true;
  ASSERT_EQ(DbObjAnbAdd(series), 0);

  ASSERT_EQ(picker.search({"petr"}), 0);
  const std::string petr9 = "|Preferenciais|PETR9|BOVESPA|T grey-company grey-class inactive";
  EXPECT_EQ(Drawn(picker), (std::vector<std::string>{kPetrobras + "|Ordin\xE1rias|PETR3|BOVESPA|",
                                                     kPetrobras + "|Preferenciais|PETR4|BOVESPA| grey-company",
                                                     kPetrobras + petr9}));
}

TEST_F(CompanyPicker, AFailedSearchShowsTheBoxAndKeepsTheRowsAndTheirDescription) {
  CompanyPickerController picker;
  ASSERT_EQ(picker.search({"PETR"}), 0);
  picker.select(1);
  const std::vector<std::string> before = Drawn(picker);
  const std::string described = picker.describe();

  Driver().InjectFaults({.failCall = 1});
  const int code = picker.search({"VALE", false, O::Ticker});
  Driver().InjectFaults({});
  EXPECT_NE(code, 0);
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"SQL error " + std::to_string(code) + " on dataset:ObjListProF2V2"}));
  EXPECT_EQ(Drawn(picker), before);
  EXPECT_EQ(picker.describe(), described);
  EXPECT_EQ(picker.selected(), 1);
  EXPECT_EQ(picker.lastAsked().texto, "VALE") << "the search dialog starts from what the user typed";
  EXPECT_EQ(picker.lastAsked().onde, O::Ticker);

  // The connection gone for good: the same.
  Driver().InjectFaults({.failCall = 1, .failPersistent = true, .failAsConnectionLoss = true});
  EXPECT_NE(picker.search({"VALE"}), 0);
  Driver().InjectFaults({});
  EXPECT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(Drawn(picker), before);
  EXPECT_EQ(picker.describe(), described);
}

TEST_F(CompanyPicker, FailureBeforeAnySearchKeepsNoCompaniesSelected) {
  CompanyPickerController picker;
  Driver().InjectFaults({.failCall = 1});
  EXPECT_NE(picker.search({"PETR"}), 0);
  Driver().InjectFaults({});
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(picker.describe(), "No companies selected");
  EXPECT_EQ(picker.showing(), TPickerShowing::OpenSearch);
}

TEST_F(CompanyPicker, ARearmRunsTheCurrentSearchAgainAtTheNextShowingUntilItSucceeds) {
  CompanyPickerController picker;
  ASSERT_EQ(picker.search({"PETR", true, O::NomeOuTicker}), 0);
  picker.select(1);
  ASSERT_NE(AddCompany("PETRN", "Petro Nova"), 0);
  EXPECT_EQ(picker.rows().size(), 2u) << "nothing reads the server until asked";

  picker.rearm();
  EXPECT_EQ(picker.showing(), TPickerShowing::RerunSearch);
  Driver().InjectFaults({.failCall = 1});
  EXPECT_NE(picker.rerun(), 0);
  Driver().InjectFaults({});
  EXPECT_EQ(picker.showing(), TPickerShowing::RerunSearch) << "a failed rerun is tried again";

  ASSERT_EQ(picker.rerun(), 0);
  EXPECT_EQ(Drawn(picker), (std::vector<std::string>{kPetrobras + "|Ordin\xE1rias|PETR3|BOVESPA|",
                                                     kPetrobras + "|Preferenciais|PETR4|BOVESPA| grey-company",
                                                     "Petro Nova||||"}));
  EXPECT_EQ(picker.selected(), 0);
  EXPECT_EQ(picker.describe(),
            "Searching MY companies and exchanges only for company names or stock tickers containing \"PETR\".");
  EXPECT_EQ(picker.showing(), TPickerShowing::Nothing);
}

}  // namespace
}  // namespace zi::desktop

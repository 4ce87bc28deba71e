#include "desktop/core/catalogue/object_window.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/indicator_definitions.h"
#include "desktop/core/desktop_messages.h"
#include "desktop/core/ui_port.h"
#include "server/demo_catalogue.h"
#include "server/sqlite_db.h"
#include "support/logged_in_database.h"
#include "toolbox/message_box.h"

namespace zi::desktop {

void PrintTo(const TDetailLine& line, std::ostream* os) {
  *os << "{\"" << line.label << "\", \"" << line.value << "\", \"" << line.label2 << "\"}";
}

namespace {

constexpr int kDescricaoDaEmp = 58;  // a company's text indicator
constexpr int kNomeDaSerie = 48;     // a series' text indicator

// The forms as scripted answers: each showing takes the next one; none left is Cancel. An answer
// edits what the form shows, then runs its hook (a fault to inject for the write that follows).
struct FakeForms : tObjectForms {
  struct Answer {
    bool okay = true;
    std::function<void(tObjEmp&)> emp;
    std::function<void(tObjAtv&)> atv;
    std::function<void(tObjAnb&)> anb;
    std::function<void(TIndicadoresDeEmpAtvAnb&)> indicadores;
    std::function<void()> hook;
  };
  std::deque<Answer> answers;
  // What each showing held: "emp <name> #<id>", "atv <class> emp:<company> #<id>", "anb <ticker> acao:<class> #<id>".
  std::vector<std::string> shown;

  template <typename TRec>
  bool Answer(TRec& rec, TIndicadoresDeEmpAtvAnb& indicadores, const std::function<void(TRec&)> Answer::*edit) {
    if (answers.empty()) return false;
    struct Answer answer = std::move(answers.front());
    answers.pop_front();
    if (!answer.okay) return false;
    if (answer.*edit) (answer.*edit)(rec);
    if (answer.indicadores) answer.indicadores(indicadores);
    if (answer.hook) answer.hook();
    return true;
  }
  bool EditEmp(tObjEmp& emp, TIndicadoresDeEmpAtvAnb& indicadores) override {
    shown.push_back("emp " + emp.nome + " #" + std::to_string(emp.id));
    return Answer(emp, indicadores, &Answer::emp);
  }
  bool EditAtv(tObjAtv& atv, TIndicadoresDeEmpAtvAnb& indicadores) override {
    shown.push_back("atv " + std::to_string(atv.idclass) + " emp:" + std::to_string(atv.emp) + " #" + std::to_string(atv.id));
    return Answer(atv, indicadores, &Answer::atv);
  }
  bool EditAnb(tObjAnb& anb, TIndicadoresDeEmpAtvAnb& indicadores) override {
    shown.push_back("anb " + anb.cod + " acao:" + std::to_string(anb.acao) + " #" + std::to_string(anb.id));
    return Answer(anb, indicadores, &Answer::anb);
  }
};

struct FakeView : tObjWinView {
  bool listFocused = true;
  int shows = 0;
  int focuses = 0;
  void ShowLines() override { ++shows; }
  bool ListHasFocus() const override { return listFocused; }
  void FocusList() override { ++focuses; }
};

[[maybe_unused]] std::function<void(TIndicadoresDeEmpAtvAnb&)> SetText(int indicador, std::string text) {
  return [indicador, text](TIndicadoresDeEmpAtvAnb& set) {
    ASSERT_EQ(set.SetFromText(DefIndicadores().Def(indicador), text, true, false), 0);
  };
}

class ObjectWindow : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    const std::string path = dir_.File("zi.db");
    server::Server::Open(path, server::ProductRegistry());
    server::AddDemoCatalogue(*server::SqliteDb::Open(path));
    LoggedInDatabase::SetUp();
    SetErrorBoxHandler([this](const std::string& caption, const std::string&) { boxes.push_back(caption); });
    SetUiPort({.beep = [this] { ++beeps; },
               .askYesNo =
                   [this](const std::string& caption, const std::string& text, bool noIsDefault) {
                     questions.push_back(caption + "|" + text + "|" + (noIsDefault ? "No" : "Yes"));
                     return answerYes;
                   }});
    SetDesktopPoster([this](int message, int param) { posted.emplace_back(message, param); });
  }
  void TearDown() override {
    SetDesktopPoster({});
    SetUiPort({});
    SetErrorBoxHandler({});
    LoggedInDatabase::TearDown();
  }

  int CompanyId(const std::string& cod) { return static_cast<int>(SqlValue("SELECT id FROM empresa WHERE cod = '" + cod + "'").AsInteger()); }
  int64_t Count(const std::string& sql) { return SqlValue(sql).AsInteger(); }

  // The window of a company, loaded as the main window loads it.
  std::unique_ptr<tObjWin> Open(int emp) {
    auto fake = std::make_unique<FakeForms>();
    forms = fake.get();
    auto window = std::make_unique<tObjWin>(std::move(fake));
    window->SetObjView(&view);
    tObjHierEx object;
    object.EmpId = emp;
    window->SetCurObj(object);
    return window;
  }
  // The line whose text is this one.
  static int LineOf(const tObjWin& window, const std::string& text) {
    for (size_t i = 0; i < window.Lines().size(); ++i)
      if (window.Lines()[i].texto == text) return static_cast<int>(i);
    ADD_FAILURE() << "no line " << text;
    return -1;
  }
  static std::vector<std::string> Texts(const tObjWin& window) {
    std::vector<std::string> texts;
    for (const TObjLine& line : window.Lines()) texts.push_back(line.texto);
    return texts;
  }
  // A write that fails: the n-th server call after the form's Okay.
  std::function<void()> FailCall(int n) {
    return [this, n] { Driver().InjectFaults({.failCall = n}); };
  }

  FakeView view;
  FakeForms* forms = nullptr;
  std::vector<std::string> boxes;
  std::vector<std::string> questions;
  std::vector<std::pair<int, int>> posted;
  int beeps = 0;
  bool answerYes = true;
};

TEST_F(ObjectWindow, ListsTheCompanyItsClassesAndSeries) {
  auto window = Open(CompanyId("PETR"));
  EXPECT_EQ(Texts(*window), (std::vector<std::string>{"Company: Petr\xF3leo Brasileiro S.A. - Petrobras",
                                                      "    Class: Ordin\xE1rias", "        Serie: PETR3", "    Class: Preferenciais",
                                                      "        Serie: PETR4"}));
  EXPECT_EQ(window->Selected(), 0);
  EXPECT_EQ(window->Lines()[0].nivel, kNivelEmpresa);
  EXPECT_EQ(window->Lines()[0].id, CompanyId("PETR"));
  EXPECT_EQ(window->Lines()[2].nivel, kNivelSerie);
  EXPECT_FALSE(window->LoadFailed());
  EXPECT_EQ(window->State(), tMdiChild::kLoaded);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ObjectWindow, ACompanyWithOneClassWithoutSeriesListsTwoLinesAndOneWithoutClassesOne) {
  tObjEmp emp;
  emp.cod = "NOVA";
  emp.pais = 0;
  emp.nome = "Nova";
  emp.moedabal[0] = 1;
  ASSERT_EQ(DbObjEmpAdd(emp), 0);
  EXPECT_EQ(Texts(*Open(emp.id)), (std::vector<std::string>{"Company: Nova"}));
  tObjAtv atv;
  atv.emp = emp.id;
  atv.idclass = 2;
  atv.vote = 0;
  atv.tipoobj = 0;
  ASSERT_EQ(DbObjAtvAdd(atv), 0);
  EXPECT_EQ(Texts(*Open(emp.id)), (std::vector<std::string>{"Company: Nova", "    Class: Ordin\xE1rias"}));
}

TEST_F(ObjectWindow, OpensWithoutACompanyWithAnEmptyList) {
  auto window = Open(0);
  EXPECT_TRUE(window->Lines().empty());
  EXPECT_EQ(window->Selected(), -1);
  EXPECT_TRUE(window->Detail().empty());
  window->Change();
  window->Delete();
  EXPECT_TRUE(forms->shown.empty());
  EXPECT_TRUE(questions.empty());
}

TEST_F(ObjectWindow, AFailedLoadShowsItsBoxAndLeavesTheWindowLoadFailed) {
  const int petr = CompanyId("PETR");
  Driver().InjectFaults({.failCall = 1});
  auto window = Open(petr);
  EXPECT_TRUE(window->LoadFailed());
  EXPECT_TRUE(window->Lines().empty());
  EXPECT_FALSE(window->HasDataChanged());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("SQL error ", 0), 0u);
  EXPECT_NE(boxes[0].find(" on ObjListDaEmp"), std::string::npos) << boxes[0];
}

TEST_F(ObjectWindow, TheDetailOfEachLevel) {
  auto window = Open(CompanyId("PETR"));
  const std::string id = std::to_string(CompanyId("PETR"));
  EXPECT_EQ(window->Detail(),
            (std::vector<TDetailLine>{{"ID:", id, ""},
                                      {"", "", ""},
                                      {"Name:", "Petr\xF3leo Brasileiro S.A. - Petrobras", ""},
                                      {"Country:", "Brazil", ""},
                                      {"Company ID:", "PETR", ""},
                                      {"CNPJ:", "33000167000101", ""},
                                      {"FS Currency:", "", ""},
                                      {"- Local", "Real BRL", ""},
                                      {"- SEC", "m#0", ""},
                                      {"- Informe FIDC", "m#0", ""},
                                      {"FS Format:", "", ""},
                                      {"- Local", "Companies", ""},
                                      {"- SEC", "NA(0)", ""},
                                      {"NAICS:", "211120", ""},
                                      {"CNPJ ", "comes from the fixed fields", ""},
                                      {"Nome da empresa", "comes from the fixed fields", ""},
                                      {"Descri\xE7\xE3o da empresa", "-", ""},
                                      {"Data de funda\xE7\xE3o", "-", ""},
                                      {"N\xFAmero de funcion\xE1rios", "-", ""},
                                      {"Periodicidade das demonstra\xE7\xF5" "es", "-", ""}}));
  const int atv = LineOf(*window, "    Class: Preferenciais");
  window->Select(atv);
  EXPECT_EQ(window->Detail(), (std::vector<TDetailLine>{{"ID:", std::to_string(window->Lines()[static_cast<size_t>(atv)].id), ""},
                                                        {"", "", ""},
                                                        {"Class:", "Preferenciais", ""},
                                                        {"Voting Status:", "PN", ""},
                                                        {"Type of Asset:", "A\xE7\xE3o", ""},
                                                        {"Novo Mercado", "-", ""},
                                                        {"Esp\xE9" "cie da a\xE7\xE3o", "-", ""}}));
  const int anb = LineOf(*window, "        Serie: PETR4");
  window->Select(anb);
  EXPECT_EQ(window->Detail(),
            (std::vector<TDetailLine>{{"ID:", std::to_string(window->Lines()[static_cast<size_t>(anb)].id), ""},
                                      {"", "", ""},
                                      {"Ticker:", "PETR4", ""},
                                      {"Exchange:", "BOVESPA", ""},
                                      {"Activa/Inactive:", "Active", ""},
                                      {"Status:", "Zor Clients", ""},
                                      {"Prices Curr:", "Real BRL", ""},
                                      {"Include financial statements even if it is a foreign", "N", "company"},
                                      {"Hidden in Zor", "N", ""},
                                      {"Hidden in Ombrel", "N", ""},
                                      {"Allowed in MktCap", "Y", ""},
                                      {"Disable copy", "N", ""},
                                      {"Calendar", "0", ""},
                                      {"Registration format", "0", ""},
                                      {"Type of contract", "Nenhum", ""},
                                      {"Faskel map", "0", ""},
                                      {"Quotes template", "0", ""},
                                      {"C\xF3" "digo de negocia\xE7\xE3o", "-", ""},
                                      {"N\xFAmero da s\xE9rie", "-", ""},
                                      {"Nome da s\xE9rie", "-", ""},
                                      {"Moeda de negocia\xE7\xE3o", "-", ""},
                                      {"In\xED" "cio das negocia\xE7\xF5" "es", "-", ""}}));
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace zi::desktop

#include "desktop/core/catalogue/object_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/indicator_definitions.h"
#include "catalogue/registration_templates.h"
#include "desktop/core/desktop_messages.h"
#include "desktop/core/ui_port.h"
#include "support/demo_database.h"

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
    shown.push_back("atv " + std::to_string(atv.idclass) + " emp:" + std::to_string(atv.emp) + " #" +
                    std::to_string(atv.id));
    return Answer(atv, indicadores, &Answer::atv);
  }
  bool EditAnb(tObjAnb& anb, TIndicadoresDeEmpAtvAnb& indicadores) override {
    shown.push_back("anb " + anb.cod + " acao:" + std::to_string(anb.acao) + " #" + std::to_string(anb.id));
    return Answer(anb, indicadores, &Answer::anb);
  }
};

struct FakeView : tObjListView {
  bool listFocused = true;
  int shows = 0;
  int focuses = 0;
  void ShowLines() override { ++shows; }
  bool ListHasFocus() const override { return listFocused; }
  void FocusList() override { ++focuses; }
};

std::function<void(TIndicadoresDeEmpAtvAnb&)> SetText(int indicador, std::string text) {
  return [indicador, text](TIndicadoresDeEmpAtvAnb& set) {
    ASSERT_EQ(set.SetFromText(DefIndicadores().Def(indicador), text, true, false), 0);
  };
}

// What the user types for a new company and a new series of PETR's.
void NewCompanyNova(tObjEmp& emp) {
  emp.cod = "NOVA";
  emp.pais = 0;
  emp.nome = "Nova";
  emp.moedabal[0] = 1;
}
void NewSeriesPetr9(tObjAnb& anb) {
  anb.cod = "PETR9";
  anb.bolsa = 1;
  anb.moedacot = 1;
}

class ObjectWindow : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    answer_ = true;
    SetDesktopPoster([this](int message, int param) { posted_.emplace_back(message, param); });
  }
  void TearDown() override {
    SetDesktopPoster({});
    DemoDatabase::TearDown();
  }

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
  // The next question is answered Yes, and the server call that follows it fails.
  void AnswerYesAndFailTheNextCall() {
    SetUiPort({.askYesNo = [this](const std::string&, const std::string&, bool) {
      Driver().InjectFaults({.failCall = 1});
      return true;
    }});
  }
  // A write that fails: the n-th server call after the form's Okay.
  std::function<void()> FailCall(int n) {
    return [this, n] { Driver().InjectFaults({.failCall = n}); };
  }

  FakeView view;
  FakeForms* forms = nullptr;
  std::vector<std::pair<int, int>> posted_;
};

TEST_F(ObjectWindow, ListsTheCompanyItsClassesAndSeries) {
  auto window = Open(CompanyId("PETR"));
  EXPECT_EQ(Texts(*window),
            (std::vector<std::string>{"Company: Petr\xF3leo Brasileiro S.A. - Petrobras", "    Class: Ordin\xE1rias",
                                      "        Serie: PETR3", "    Class: Preferenciais", "        Serie: PETR4"}));
  EXPECT_EQ(window->Selected(), 0);
  EXPECT_EQ(window->Lines()[0].nivel, kNivelEmpresa);
  EXPECT_EQ(window->Lines()[0].id, CompanyId("PETR"));
  EXPECT_EQ(window->Lines()[2].nivel, kNivelSerie);
  EXPECT_FALSE(window->LoadFailed());
  EXPECT_EQ(window->State(), tMdiChild::kLoaded);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ObjectWindow, ACompanyWithOneClassWithoutSeriesListsTwoLinesAndOneWithoutClassesOne) {
  const int nova = AddCompany("NOVA", "Nova");
  ASSERT_NE(nova, 0);
  EXPECT_EQ(Texts(*Open(nova)), (std::vector<std::string>{"Company: Nova"}));
  tObjAtv atv;
  atv.emp = nova;
  atv.idclass = 2;
  atv.vote = 0;
  atv.tipoobj = 0;
  ASSERT_EQ(DbObjAtvAdd(atv), 0);
  EXPECT_EQ(Texts(*Open(nova)), (std::vector<std::string>{"Company: Nova", "    Class: Ordin\xE1rias"}));
}

TEST_F(ObjectWindow, OpensWithoutACompanyWithAnEmptyList) {
  auto window = Open(0);
  EXPECT_TRUE(window->Lines().empty());
  EXPECT_EQ(window->Selected(), -1);
  EXPECT_TRUE(window->Detail().empty());
  window->Change();
  window->Delete();
  EXPECT_TRUE(forms->shown.empty());
  EXPECT_TRUE(questions_.empty());
}

TEST_F(ObjectWindow, AFailedLoadShowsItsBoxAndLeavesTheWindowLoadFailed) {
  const int petr = CompanyId("PETR");
  Driver().InjectFaults({.failCall = 1});
  auto window = Open(petr);
  EXPECT_TRUE(window->LoadFailed());
  EXPECT_TRUE(window->Lines().empty());
  EXPECT_FALSE(window->HasDataChanged());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(BoxCaptions()[0].rfind("SQL error ", 0), 0u);
  EXPECT_NE(BoxCaptions()[0].find(" on ObjListDaEmp"), std::string::npos) << boxes_[0];
}

TEST_F(ObjectWindow, TheDetailOfEachLevel) {
  Sql("UPDATE empresa SET naics = 211 WHERE cod = 'PETR'");
  auto window = Open(CompanyId("PETR"));
  const std::string id = std::to_string(CompanyId("PETR"));
  EXPECT_EQ(window->Detail(), (std::vector<TDetailLine>{{"ID:", id, ""},
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
                                                        {"NAICS:", "Oil and Gas Extraction", ""},
                                                        {"CNPJ ", "comes from the fixed fields", ""},
                                                        {"Nome da empresa", "comes from the fixed fields", ""},
                                                        {"Descri\xE7\xE3o da empresa", "-", ""},
                                                        {"Data de funda\xE7\xE3o", "-", ""},
                                                        {"N\xFAmero de funcion\xE1rios", "-", ""},
                                                        {"Periodicidade das demonstra\xE7\xF5"
                                                         "es",
                                                         "-", ""}}));
  const int atv = LineOf(*window, "    Class: Preferenciais");
  window->Select(atv);
  EXPECT_EQ(window->Detail(),
            (std::vector<TDetailLine>{{"ID:", std::to_string(window->Lines()[static_cast<size_t>(atv)].id), ""},
                                      {"", "", ""},
                                      {"Class:", "Preferenciais", ""},
                                      {"Voting Status:", "PN", ""},
                                      {"Type of Asset:", "A\xE7\xE3o", ""},
                                      {"Novo Mercado", "-", ""},
                                      {"Esp\xE9"
                                       "cie da a\xE7\xE3o",
                                       "-", ""}}));
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
                                      {"C\xF3"
                                       "digo de negocia\xE7\xE3o",
                                       "-", ""},
                                      {"N\xFAmero da s\xE9rie", "-", ""},
                                      {"Nome da s\xE9rie", "-", ""},
                                      {"Moeda de negocia\xE7\xE3o", "-", ""},
                                      {"In\xED"
                                       "cio das negocia\xE7\xF5"
                                       "es",
                                       "-", ""}}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ObjectWindow, ChangingACompanyWritesItsRecordAndIndicatorsThenRebuildsTheList) {
  const int petr = CompanyId("PETR");
  auto window = Open(petr);
  window->Select(2);
  window->Select(0);
  forms->answers.push_back(
      {.emp = [](tObjEmp& emp) { emp.nome = "Petrobras"; }, .indicadores = SetText(kDescricaoDaEmp, "Oil")});
  window->Change();
  EXPECT_EQ(forms->shown,
            (std::vector<std::string>{"emp Petr\xF3leo Brasileiro S.A. - Petrobras #" + std::to_string(petr)}));
  EXPECT_EQ(SqlValue("SELECT nome FROM empresa WHERE cod = 'PETR'").AsText(), "Petrobras");
  EXPECT_EQ(SqlValue("SELECT valorst FROM IndicadoresDaEmp WHERE indica = 58").AsText(), "Oil");
  EXPECT_EQ(posted_, (std::vector<std::pair<int, int>>{{kMsgObjTreeChanged, 0}}));
  EXPECT_EQ(window->Lines()[0].texto, "Company: Petrobras");
  EXPECT_EQ(window->Selected(), 0);
  EXPECT_EQ(window->Detail()[2], (TDetailLine{"Name:", "Petrobras", ""}));
  EXPECT_GE(view.focuses, 1);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ObjectWindow, ACancelledChangeWritesNothingAndPostsNothing) {
  auto window = Open(CompanyId("PETR"));
  const std::string before = Dump();
  forms->answers.push_back({.okay = false});
  window->Change();
  EXPECT_EQ(forms->shown.size(), 1u);
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(posted_.empty());
  EXPECT_EQ(view.focuses, 1);
}

// A failed record call writes nothing and shows the form again with the user's entries.
TEST_F(ObjectWindow, AFailedRecordCallShowsItsBoxAndTheFormAgainWithTheEntries) {
  const int petr = CompanyId("PETR");
  auto window = Open(petr);
  const std::string before = Dump();
  forms->answers.push_back({.emp = [](tObjEmp& emp) { emp.nome = "Petrobras"; },
                            .indicadores = SetText(kDescricaoDaEmp, "Oil"),
                            .hook = FailCall(1)});
  forms->answers.push_back({.okay = false});
  window->Change();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(BoxCaptions()[0], "SQL error 3939 on ObjEmpPut");
  EXPECT_EQ(forms->shown,
            (std::vector<std::string>{"emp Petr\xF3leo Brasileiro S.A. - Petrobras #" + std::to_string(petr),
                                      "emp Petrobras #" + std::to_string(petr)}));
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(posted_.empty());
}

// The connection goes while the form is open, and the server cannot be reached again at first: the
// write shows its box and the form again as typed; once the server is back the same Okay writes.
TEST_F(ObjectWindow, AConnectionLostWhileTheFormIsOpenKeepsTheEntriesUntilTheServerIsBack) {
  const int petr = CompanyId("PETR");
  auto window = Open(petr);
  const std::string before = Dump();
  forms->answers.push_back({.emp = [](tObjEmp& emp) { emp.nome = "Petrobras"; },
                            .hook = [this] {
                              Driver().DropConnection();
                              Driver().InjectFaults({.failOpens = 1000});
                            }});
  forms->answers.push_back({.hook = [this] { Driver().InjectFaults({}); }});
  window->Change();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(BoxCaptions()[0].rfind("SQL error ", 0), 0u) << boxes_[0];
  EXPECT_NE(BoxCaptions()[0].find(" on ObjEmpPut"), std::string::npos) << boxes_[0];
  ASSERT_EQ(forms->shown.size(), 2u);
  EXPECT_EQ(forms->shown[1], "emp Petrobras #" + std::to_string(petr));
  EXPECT_NE(Dump(), before);
  EXPECT_EQ(SqlValue("SELECT nome FROM empresa WHERE id = " + std::to_string(petr)).AsText(), "Petrobras");
  EXPECT_EQ(posted_, (std::vector<std::pair<int, int>>{{kMsgObjTreeChanged, 0}}));
}

// Another process holds the database's write lock past the busy wait (from the first call, the one
// that learns the procedure's parameters): the form stays with its entries.
TEST_F(ObjectWindow, ABusyDatabaseShowsItsCodeAndWritesNothing) {
  auto window = Open(CompanyId("PETR"));
  const std::string before = Dump();
  forms->answers.push_back({.emp = [](tObjEmp& emp) { emp.nome = "Petrobras"; },
                            .hook = [this] { Driver().InjectFaults({.failCall = 1, .failAsBusy = true}); }});
  forms->answers.push_back({.okay = false});
  window->Change();
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"SQL error 99201 on ObjEmpPut"}));
  EXPECT_EQ(forms->shown.size(), 2u);
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(posted_.empty());
}

// An unchanged record skips the record call and still saves its indicators: the first call after
// Okay is the indicators'.
TEST_F(ObjectWindow, AnUnchangedRecordStillSavesItsIndicators) {
  auto window = Open(CompanyId("PETR"));
  forms->answers.push_back({.indicadores = SetText(kDescricaoDaEmp, "Oil"), .hook = FailCall(1)});
  forms->answers.push_back({});
  window->Change();
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"SQL error 3939 on emp upd Indicadores.Save"}));
  EXPECT_EQ(forms->shown.size(), 2u);
  EXPECT_EQ(SqlValue("SELECT valorst FROM IndicadoresDaEmp WHERE indica = 58").AsText(), "Oil");
  EXPECT_EQ(posted_, (std::vector<std::pair<int, int>>{{kMsgObjTreeChanged, 0}}));
}

TEST_F(ObjectWindow, ChangingAClassAndASeries) {
  auto window = Open(CompanyId("PETR"));
  window->Select(LineOf(*window, "    Class: Preferenciais"));
  forms->answers.push_back({.atv = [](tObjAtv& atv) { atv.vote = 0; }});
  window->Change();
  EXPECT_EQ(
      SqlValue("SELECT vote FROM ativo WHERE idclass = 3 AND emp = " + std::to_string(CompanyId("PETR"))).AsInteger(),
      0);
  window->Select(LineOf(*window, "        Serie: PETR4"));
  forms->answers.push_back(
      {.anb = [](tObjAnb& anb) { anb.cod = "PETR5"; }, .indicadores = SetText(kNomeDaSerie, "Pref")});
  window->Change();
  EXPECT_EQ(Count("SELECT count(*) FROM anbima WHERE cod = 'PETR5'"), 1);
  EXPECT_EQ(SqlValue("SELECT valorst FROM IndicadoresDoAnb WHERE indica = 48").AsText(), "Pref");
  EXPECT_EQ(window->Lines()[static_cast<size_t>(window->Selected())].texto, "        Serie: PETR5");
  EXPECT_EQ(posted_.size(), 2u);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ObjectWindow, InsertOnACompanyAddsAClassAndOnAClassASeries) {
  const int petr = CompanyId("PETR");
  auto window = Open(petr);
  forms->answers.push_back({.atv = [](tObjAtv& atv) {
    atv.idclass = 4;
    atv.vote = 1;
    atv.tipoobj = 0;
  }});
  window->AddChild();
  EXPECT_EQ(forms->shown, (std::vector<std::string>{"atv 0 emp:" + std::to_string(petr) + " #0"}));
  EXPECT_EQ(Count("SELECT count(*) FROM ativo WHERE idclass = 4"), 1);
  const int atv = LineOf(*window, "    Class: Preferenciais classe A");
  window->Select(atv);
  const int atvId = window->Lines()[static_cast<size_t>(atv)].id;
  forms->answers.push_back({.anb = [](tObjAnb& anb) {
    anb.cod = "PETR6";
    anb.bolsa = 1;
    anb.moedacot = 1;
  }});
  window->AddChild();
  EXPECT_EQ(forms->shown.back(), "anb  acao:" + std::to_string(atvId) + " #0");
  EXPECT_EQ(Count("SELECT count(*) FROM anbima WHERE cod = 'PETR6' AND acao = " + std::to_string(atvId)), 1);
  EXPECT_NE(std::find(Texts(*window).begin(), Texts(*window).end(), "        Serie: PETR6"), Texts(*window).end());
  EXPECT_EQ(posted_.size(), 2u);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ObjectWindow, InsertOnASeriesBeepsAndChangesNothing) {
  auto window = Open(CompanyId("PETR"));
  window->Select(LineOf(*window, "        Serie: PETR3"));
  const std::string before = Dump();
  window->AddChild();
  EXPECT_EQ(beeps_, 1);
  EXPECT_TRUE(forms->shown.empty());
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(posted_.empty());
}

TEST_F(ObjectWindow, AFailedAddWritesNothingAndShowsTheFormAgainWithTheEntries) {
  auto window = Open(CompanyId("PETR"));
  const int atv = LineOf(*window, "    Class: Preferenciais");
  window->Select(atv);
  const std::string acao = std::to_string(window->Lines()[static_cast<size_t>(atv)].id);
  const std::string before = Dump();
  forms->answers.push_back({.anb = NewSeriesPetr9,
                            .indicadores = SetText(kNomeDaSerie, "Nona"),
                            .hook = FailCall(1)});
  forms->answers.push_back({.okay = false});
  window->AddChild();
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"SQL error 3939 on DbObjAnbAdd"}));
  EXPECT_EQ(forms->shown, (std::vector<std::string>{"anb  acao:" + acao + " #0", "anb PETR9 acao:" + acao + " #0"}));
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(posted_.empty());
}

// An add is two calls (the procedure's description and the procedure); the third is the
// indicators'. After it failed the series exists: the next Okay changes it instead of adding it
// again.
constexpr int kCallsOfAnAdd = 2;

TEST_F(ObjectWindow, AfterAnAddWhoseIndicatorsFailedTheNextOkayChangesTheNewSeries) {
  auto window = Open(CompanyId("PETR"));
  const int atv = LineOf(*window, "    Class: Preferenciais");
  window->Select(atv);
  const std::string acao = std::to_string(window->Lines()[static_cast<size_t>(atv)].id);
  forms->answers.push_back({.anb = NewSeriesPetr9,
                            .indicadores = SetText(kNomeDaSerie, "Nona"),
                            .hook = FailCall(kCallsOfAnAdd + 1)});
  forms->answers.push_back({.anb = [](tObjAnb& anb) { anb.cod = "PETR8"; }});
  window->AddChild();
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"SQL error 3939 on anb add Indicadores.Save"}));
  const int id = static_cast<int>(SqlValue("SELECT id FROM anbima WHERE cod = 'PETR8'").AsInteger());
  EXPECT_EQ(forms->shown.back(), "anb PETR9 acao:" + acao + " #" + std::to_string(id));
  EXPECT_EQ(Count("SELECT count(*) FROM anbima WHERE cod IN ('PETR8', 'PETR9')"), 1);
  EXPECT_EQ(SqlValue("SELECT valorst FROM IndicadoresDoAnb WHERE anb = " + std::to_string(id)).AsText(), "Nona");
  EXPECT_EQ(posted_, (std::vector<std::pair<int, int>>{{kMsgObjTreeChanged, 0}}));
}

TEST_F(ObjectWindow, AnAddWhoseIndicatorsFailedAndWasThenCancelledStillRebuildsAndPosts) {
  auto window = Open(0);
  forms->answers.push_back({.emp = NewCompanyNova,
                            .indicadores = SetText(kDescricaoDaEmp, "Nova"),
                            .hook = FailCall(kCallsOfAnAdd + 1)});
  forms->answers.push_back({.okay = false});
  window->NewCompany();
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"SQL error 3939 on emp add Indicadores.Save"}));
  const int nova = CompanyId("NOVA");
  EXPECT_EQ(forms->shown, (std::vector<std::string>{"emp  #0", "emp Nova #" + std::to_string(nova)}));
  EXPECT_EQ(Count("SELECT count(*) FROM IndicadoresDaEmp WHERE emp = " + std::to_string(nova)), 0);
  EXPECT_EQ(posted_, (std::vector<std::pair<int, int>>{{kMsgCompanyAdded, nova}, {kMsgObjTreeChanged, 0}}));
}

TEST_F(ObjectWindow, NewCompanyAddsItAndPostsItsId) {
  auto window = Open(CompanyId("PETR"));
  forms->answers.push_back({.emp = NewCompanyNova,
                            .indicadores = SetText(kDescricaoDaEmp, "Nova")});
  window->NewCompany();
  const int nova = CompanyId("NOVA");
  EXPECT_EQ(SqlValue("SELECT valorst FROM IndicadoresDaEmp WHERE emp = " + std::to_string(nova)).AsText(), "Nova");
  EXPECT_EQ(posted_, (std::vector<std::pair<int, int>>{{kMsgCompanyAdded, nova}, {kMsgObjTreeChanged, 0}}));
  EXPECT_EQ(window->Lines()[0].texto, "Company: Petr\xF3leo Brasileiro S.A. - Petrobras")
      << "the window keeps its company";
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ObjectWindow, AFailedNewCompanyWritesNothing) {
  auto window = Open(0);
  const std::string before = Dump();
  forms->answers.push_back({.emp = NewCompanyNova,
                            .hook = FailCall(1)});
  window->NewCompany();
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"SQL error 3939 on DbObjEmpAdd"}));
  EXPECT_EQ(forms->shown, (std::vector<std::string>{"emp  #0", "emp Nova #0"}));
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(posted_.empty());
}

// A series of its own, with no quotes nor events to keep it.
TEST_F(ObjectWindow, DeleteAsksWithNoPreselectedAndDeletesOnYes) {
  tObjAnb anb;
  anb.acao = static_cast<int>(SqlValue("SELECT acao FROM anbima WHERE cod = 'PETR4'").AsInteger());
  anb.cod = "PETR7";
  anb.bolsa = 1;
  anb.moedacot = 1;
  ASSERT_EQ(DbObjAnbAdd(anb), 0);
  auto window = Open(CompanyId("PETR"));
  ASSERT_EQ(window->Lines().size(), 6u);
  window->Select(LineOf(*window, "        Serie: PETR7"));
  ASSERT_EQ(window->Selected(), 5);
  answer_ = false;
  window->Delete();
  EXPECT_EQ(questions_, (std::vector<std::string>{"Confirm|Are you sure you wanto to delete this Serie ?|No"}));
  EXPECT_EQ(Count("SELECT count(*) FROM anbima WHERE cod = 'PETR7'"), 1);
  EXPECT_TRUE(posted_.empty());
  answer_ = true;
  window->Delete();
  EXPECT_EQ(Count("SELECT count(*) FROM anbima WHERE cod = 'PETR7'"), 0);
  EXPECT_EQ(posted_, (std::vector<std::pair<int, int>>{{kMsgObjTreeChanged, 0}}));
  EXPECT_EQ(window->Lines().size(), 5u);
  EXPECT_EQ(window->Selected(), 4) << "the selection stays where it was, within the list";
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ObjectWindow, TheDeleteQuestionNamesTheLevel) {
  EXPECT_EQ(DeleteQuestion(kNivelSerie), "Are you sure you wanto to delete this Serie ?");
  EXPECT_EQ(DeleteQuestion(kNivelClasse), "Are you sure you wanto to delete this Class ?");
  EXPECT_EQ(DeleteQuestion(kNivelEmpresa), "Are you sure you wanto to delete this Company ?");
}

TEST_F(ObjectWindow, AFailedDeleteShowsItsBoxAndKeepsTheObject) {
  auto window = Open(CompanyId("PETR"));
  window->Select(LineOf(*window, "    Class: Preferenciais"));
  window->Delete();
  ASSERT_EQ(boxes_.size(), 1u) << "the class still has its series";
  EXPECT_EQ(BoxCaptions()[0], "SQL error 3799 on DbObjAtvDel");
  boxes_.clear();
  window->Select(LineOf(*window, "        Serie: PETR3"));
  AnswerYesAndFailTheNextCall();
  window->Delete();
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"SQL error 3939 on DbObjAnbDel"}));
  EXPECT_EQ(Count("SELECT count(*) FROM anbima WHERE cod = 'PETR3'"), 1);
  EXPECT_TRUE(posted_.empty());
  EXPECT_EQ(window->Lines().size(), 5u);
}

// The window's company is gone: the list is empty, not an error.
TEST_F(ObjectWindow, DeletingTheWindowsOwnCompanyLeavesAnEmptyList) {
  const int nova = AddCompany("NOVA", "Nova");
  ASSERT_NE(nova, 0);
  auto window = Open(nova);
  window->Delete();
  EXPECT_EQ(questions_, (std::vector<std::string>{"Confirm|Are you sure you wanto to delete this Company ?|No"}));
  EXPECT_EQ(Count("SELECT count(*) FROM empresa WHERE cod = 'NOVA'"), 0);
  EXPECT_TRUE(window->Lines().empty());
  EXPECT_TRUE(window->Detail().empty());
  EXPECT_EQ(posted_, (std::vector<std::pair<int, int>>{{kMsgObjTreeChanged, 0}}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ObjectWindow, ResendAsksAndSendsTheObjectAgain) {
  auto window = Open(CompanyId("PETR"));
  window->Select(LineOf(*window, "    Class: Preferenciais"));
  window->Resend();
  EXPECT_EQ(
      questions_,
      (std::vector<std::string>{
          "Confirm|Are you sure you wanto to resend all data\r\nrelated to this Class in the next bulletin ?|Yes"}));
  EXPECT_EQ(posted_, (std::vector<std::pair<int, int>>{{kMsgObjTreeChanged, 0}}));
  EXPECT_TRUE(boxes_.empty());
  window->Select(LineOf(*window, "        Serie: PETR3"));
  AnswerYesAndFailTheNextCall();
  window->Resend();
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"SQL error 3939 on Db___RemandaTudo (lev:0)"}));
  EXPECT_EQ(posted_.size(), 1u);
}

TEST_F(ObjectWindow, TheToolPanelOffersResendToAdministratorsOnly) {
  auto window = Open(CompanyId("PETR"));
  std::vector<std::string> buttons;
  for (const TObjToolButton& button : window->ToolButtons()) buttons.push_back(button.caption + "|" + button.hint);
  EXPECT_EQ(buttons, (std::vector<std::string>{"New company|Create new company", "Resend|Resend to clients"}));
  ASSERT_NE(Server().AddUser({.name = "bia"}, "pw"), 0);
  LogIn("bia", "pw");
  window = Open(CompanyId("PETR"));
  buttons.clear();
  for (const TObjToolButton& button : window->ToolButtons()) buttons.push_back(button.caption + "|" + button.hint);
  EXPECT_EQ(buttons, (std::vector<std::string>{"New company|Create new company"}));
  window->Resend();
  EXPECT_TRUE(questions_.empty());
}

TEST_F(ObjectWindow, KeysActOnTheSelectedLineWhileTheListHasTheFocus) {
  auto window = Open(CompanyId("PETR"));
  view.listFocused = false;
  EXPECT_FALSE(window->HandleShortCut({TKey::Enter, false}));
  EXPECT_TRUE(forms->shown.empty());
  view.listFocused = true;
  EXPECT_TRUE(window->HandleShortCut({TKey::Enter, false}));
  EXPECT_EQ(forms->shown.size(), 1u) << "Enter changes";
  EXPECT_TRUE(window->HandleShortCut({TKey::Insert, false}));
  EXPECT_EQ(forms->shown.back().substr(0, 4), "atv ") << "Insert adds a class to the company";
  answer_ = false;
  EXPECT_TRUE(window->HandleShortCut({TKey::Delete, false}));
  EXPECT_EQ(questions_.size(), 1u);
  EXPECT_FALSE(window->HandleShortCut({TKey::F2, false}));
}

TEST_F(ObjectWindow, AnExceptionInAnActionIsLoggedShownAndRebuildsAsAfterAChange) {
  auto window = Open(CompanyId("PETR"));
  forms->answers.push_back({.hook = [] { throw std::runtime_error("boom"); }});
  window->Change();
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Error|boom"}));
  EXPECT_NE(Log().find("ObjW.TQC error boom"), std::string::npos);
  EXPECT_EQ(posted_, (std::vector<std::pair<int, int>>{{kMsgObjTreeChanged, 0}}));
  EXPECT_EQ(view.focuses, 1);
}

TEST_F(ObjectWindow, TemplatesThatCannotBeReadLeaveOnlyTheIdLabel) {
  auto window = Open(CompanyId("PETR"));
  FormatosDeCadastro().Esquece();
  Driver().InjectFaults({.failCall = 1});
  window->Select(1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(BoxCaptions()[0].rfind("SQL error ", 0), 0u);
  EXPECT_NE(BoxCaptions()[0].find(" on ShowPaint CarregaListasFormatoDeCadastro"), std::string::npos) << boxes_[0];
  EXPECT_EQ(window->Detail(), (std::vector<TDetailLine>{{"ID:", "", ""}}));
}

TEST_F(ObjectWindow, AUserWithoutAStatementSourceSeesTheLocalSourceOnlyAndNoAdministratorsLine) {
  ASSERT_NE(Server().AddUser({.name = "bia"}, "pw"), 0);
  LogIn("bia", "pw");
  auto window = Open(CompanyId("PETR"));
  std::vector<std::string> labels;
  for (const TDetailLine& line : window->Detail()) labels.push_back(line.label);
  EXPECT_EQ(std::vector<std::string>(labels.begin() + 6, labels.begin() + 11),
            (std::vector<std::string>{"FS Currency:", "- Local", "- Informe FIDC", "FS Format:", "- Local"}));
  window->Select(LineOf(*window, "        Serie: PETR4"));
  for (const TDetailLine& line : window->Detail()) EXPECT_TRUE(line.label2.empty()) << line.label;
  EXPECT_EQ(window->Detail()[7].label, "Hidden in Zor");
}

// The details are read when the selection changes, never again for the same line: a server that
// fails every call from now on goes unnoticed until another line is selected.
TEST_F(ObjectWindow, TheDetailsAreReadOncePerSelection) {
  auto window = Open(CompanyId("PETR"));
  const std::vector<TDetailLine> detail = window->Detail();
  Driver().InjectFaults({.failCall = 1, .failPersistent = true});
  window->Select(0);
  EXPECT_EQ(window->Detail(), detail);
  EXPECT_TRUE(boxes_.empty());
  window->Select(1);
  EXPECT_FALSE(boxes_.empty());
  Driver().InjectFaults({});
}

}  // namespace
}  // namespace zi::desktop

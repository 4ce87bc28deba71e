#include "desktop/core/catalogue/object_window.h"

#include <algorithm>
#include <exception>

#include "catalogue/caches.h"
#include "catalogue/catalogue.h"
#include "catalogue/indicator_definitions.h"
#include "catalogue/indicators.h"
#include "catalogue/naics.h"
#include "catalogue/registration_templates.h"
#include "db/sql_errors.h"
#include "desktop/core/desktop_messages.h"
#include "desktop/core/ui_port.h"
#include "session/builtin_tables.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "session/session.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"

namespace zi::desktop {

namespace {

constexpr int kPaisNenhum = 9;
constexpr int kTipoObjNenhum = 31;
constexpr int kIndicadorCnpj = 9;
constexpr int kIndicadorNomeDaEmp = 52;

const char* NomeDoNivel(int nivel) {
  switch (nivel) {
    case kNivelSerie: return "Serie";
    case kNivelClasse: return "Class";
    default: return "Company";
  }
}

std::string YesNo(bool value) { return value ? "Y" : "N"; }

std::string Nome(tIntStgList& lista, int id) { return ShownText(lista.TextoDoId(id, true)); }

// Where each step of an object's form loop reports its failure.
struct TContexts {
  const char* add;
  const char* addIndicadores;
  const char* put;
  const char* putIndicadores;
};

constexpr TContexts kEmpContexts{"DbObjEmpAdd", "emp add Indicadores.Save", "ObjEmpPut", "emp upd Indicadores.Save"};
constexpr TContexts kAtvContexts{"DbObjAtvAdd", "atv add Indicadores.Save", "DbObjAtvPut", "atv upd Indicadores.Save"};
constexpr TContexts kAnbContexts{"DbObjAnbAdd", "anb add Indicadores.Save", "DbObjAnbPut", "anb upd Indicadores.Save"};

template <typename TRec>
using TFormOf = bool (tObjectForms::*)(TRec&, TIndicadoresDeEmpAtvAnb&);

// The loop of one object's form: the record call, then the indicators of the object. While the
// object does not exist (id 0) the record call adds it; once it does, the record is put only when
// it differs from what the database holds. So an add whose indicators failed goes on as a change
// of the new object, and an Okay after it never adds a second one. wrote tells whether anything
// reached the database, cancelled or not.
template <typename TRec, typename TAdd, typename TPut>
void EditObject(tObjectForms& forms, TFormOf<TRec> form, TAdd add, TPut put, const TContexts& contexts, TRec& rec,
               int& id, TIndicadoresDeEmpAtvAnb& indicadores, bool& wrote) {
  TRec stored = rec;
  EditUntilSaved([&] { return (forms.*form)(rec, indicadores); },
                        [&](std::string& where) {
                          bool addedNow = false;
                          if (id == 0) {
                            TRec novo = rec;
                            if (const int code = add(novo)) {
                              where = contexts.add;
                              return code;
                            }
                            rec = stored = novo;
                            id = novo.id;
                            wrote = addedNow = true;
                          } else if (!(rec == stored)) {
                            TRec novo = rec;
                            if (const int code = put(novo)) {
                              where = contexts.put;
                              return code;
                            }
                            rec = stored = novo;
                            wrote = true;
                          }
                          if (const int code = indicadores.Salva(id)) {
                            where = addedNow ? contexts.addIndicadores : contexts.putIndicadores;
                            return code;
                          }
                          wrote = true;
                          return 0;
                        });
}

const auto kEmpAdd = [](tObjEmp& emp) { return DbObjEmpAdd(emp); };
const auto kEmpPut = [](tObjEmp& emp) { return DbObjEmpPut(emp); };
const auto kAtvAdd = [](tObjAtv& atv) { return DbObjAtvAdd(atv); };
const auto kAtvPut = [](tObjAtv& atv) { return DbObjAtvPut(atv); };
const auto kAnbAdd = [](tObjAnb& anb) { return DbObjAnbAdd(anb); };
const auto kAnbPut = [](tObjAnb& anb) { return DbObjAnbPut(anb); };

}  // namespace

std::string DeleteQuestion(int nivel) {
  return std::string("Are you sure you wanto to delete this ") + NomeDoNivel(nivel) + " ?";
}

std::string ResendQuestion(int nivel) {
  return std::string("Are you sure you wanto to resend all data\r\nrelated to this ") + NomeDoNivel(nivel) +
         " in the next bulletin ?";
}

tObjWin::tObjWin(std::unique_ptr<tObjectForms> forms) : forms_(std::move(forms)) {}

std::vector<TObjToolButton> tObjWin::ToolButtons() const {
  std::vector<TObjToolButton> buttons{{TObjToolButton::kNewCompany, "New company", "Create new company"}};
  if (ZiGlobs().IsAdmin) buttons.push_back({TObjToolButton::kResend, "Resend", "Resend to clients"});
  return buttons;
}

void tObjWin::ObjDataLoad() {
  tMdiChild::ObjDataLoad();
  emp_ = CurObjId();
  loadFailed_ = !ReadLinesShowingFailures();
  selected_ = -1;
  Select(0);
  if (objView_) objView_->ShowLines();
}

bool tObjWin::ReadLinesShowingFailures() {
  try {
    if (const int code = ReadLines()) {
      db::ShowSqlErrorTxt("ObjListDaEmp", code);
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    Loga(std::string("ObjW.ReadLines error ") + e.what());
    ShowErrorBox("Error", e.what());
    rows_.clear();
    lines_.clear();
    return false;
  }
}

int tObjWin::ReadLines() {
  rows_.clear();
  lines_.clear();
  if (emp_ == 0) return 0;
  if (const int code = GetObjListDaEmp(kNivelEmpresa, emp_, rows_)) return code;
  const tObjHierEx* anterior = nullptr;
  for (const tObjHierEx& row : rows_) {
    if (!anterior || row.EmpId != anterior->EmpId)
      lines_.push_back({kNivelEmpresa, row.EmpId, "Company: " + row.EmpNome, row.EmpPais, "", false});
    if (row.AtvId != 0 && (!anterior || row.AtvId != anterior->AtvId))
      lines_.push_back(
          {kNivelClasse, row.AtvId, "    Class: " + Nome(Listas().EnumClasses, row.AtvIdClass), 0, "", false});
    if (row.AnbId != 0 && (!anterior || row.AnbId != anterior->AnbId))
      lines_.push_back({kNivelSerie, row.AnbId, "        Serie: " + row.AnbCod, 0,
                        LetraDoStatusNaLista(row.AnbTipoDeBGLDestino), row.AnbCancelado});
    anterior = &row;
  }
  return 0;
}

void tObjWin::Select(int index) {
  if (lines_.empty()) {
    selected_ = -1;
    detail_.clear();
    return;
  }
  index = std::clamp(index, 0, static_cast<int>(lines_.size()) - 1);
  if (index == selected_) return;
  selected_ = index;
  BuildDetail();
}

void tObjWin::BuildDetail() {
  detail_.clear();
  if (selected_ < 0) return;
  const TObjLine line = lines_[static_cast<size_t>(selected_)];
  detail_.push_back({"ID:", "", ""});
  if (const int code = FormatosDeCadastro().GaranteLidos()) {
    db::ShowSqlErrorTxt("ShowPaint CarregaListasFormatoDeCadastro", code);
    return;
  }
  detail_.back().value = std::to_string(line.id);
  detail_.push_back({});
  try {
    switch (line.nivel) {
      case kNivelEmpresa: {
        tObjEmp emp;
        if (const int code = DbObjEmpGet(line.id, emp)) {
          db::ShowSqlErrorTxt("ShowPaint DbObjEmpGet", code);
          return;
        }
        detail_.push_back({"Name:", emp.nome, ""});
        detail_.push_back({"Country:", Nome(Listas().EnumPais, emp.pais), ""});
        detail_.push_back({"Company ID:", emp.cod, ""});
        detail_.push_back({"CNPJ:", emp.cnpj, ""});
        const std::vector<int> sources = SourcesVisiveis();
        detail_.push_back({"FS Currency:", "", ""});
        for (const int source : sources) {
          const int moeda = emp.moedabal[static_cast<size_t>(source)];
          detail_.push_back({"- " + NomeDaFonte(source), Nome(Listas().EnumMoeda, moeda), ""});
        }
        detail_.push_back({"- Informe FIDC", Nome(Listas().EnumMoeda, emp.moedaInformeFIDC), ""});
        detail_.push_back({"FS Format:", "", ""});
        for (const int source : sources) {
          if (source >= kSourcesComFormato) continue;
          const int formato = emp.fmtbal[static_cast<size_t>(source)];
          detail_.push_back({"- " + NomeDaFonte(source), Nome(Listas().EnumFmtBal, formato), ""});
        }
        detail_.push_back({"NAICS:", NaicsTitulo(emp.naics, ZiGlobs().lingua), ""});
        break;
      }
      case kNivelClasse: {
        tObjAtv atv;
        if (const int code = DbObjAtvGet(line.id, atv)) {
          db::ShowSqlErrorTxt("ShowPaint DbObjAtvGet", code);
          return;
        }
        detail_.push_back({"Class:", Nome(Listas().EnumClasses, atv.idclass), ""});
        detail_.push_back({"Voting Status:", Nome(Listas().EnumVote, atv.vote), ""});
        detail_.push_back({"Type of Asset:", Nome(Listas().EnumTipoObj, atv.tipoobj), ""});
        break;
      }
      default: {
        tObjAnb anb;
        if (const int code = DbObjAnbGet(line.id, anb)) {
          db::ShowSqlErrorTxt("ShowPaint DbObjAnbGet", code);
          return;
        }
        detail_.push_back({"Ticker:", anb.cod, ""});
        detail_.push_back({"Exchange:", Nome(Listas().EnumBolsa, anb.bolsa), ""});
        detail_.push_back({"Activa/Inactive:", NomeDoEstado(anb.cancelado ? 1 : 0), ""});
        detail_.push_back({"Status:", NomeDoTipoDeBGL(anb.TipoDeBGLDestino), ""});
        detail_.push_back({"Prices Curr:", Nome(Listas().EnumMoeda, anb.moedacot), ""});
        if (ZiGlobs().IsAdmin)
          detail_.push_back(
              {"Include financial statements even if it is a foreign", YesNo(anb.TrazDadosDaEmp), "company"});
        detail_.push_back({"Hidden in Zor", YesNo(anb.NaoAparecerNoZor), ""});
        detail_.push_back({"Hidden in Ombrel", YesNo(anb.NaoAparecerNoOmbrel), ""});
        detail_.push_back({"Allowed in MktCap", YesNo(!anb.SerieMontada), ""});
        detail_.push_back({"Disable copy", YesNo(anb.DisableCopy != 0), ""});
        detail_.push_back({"Calendar", std::to_string(anb.IdCalendario), ""});
        detail_.push_back({"Registration format", std::to_string(anb.FormatoDeCadastro), ""});
        detail_.push_back({"Type of contract", Nome(Listas().EnumTipoDeContrato, anb.TipoDeContrato), ""});
        detail_.push_back({"Faskel map", std::to_string(anb.MapaFaskel), ""});
        detail_.push_back({"Quotes template", std::to_string(anb.OverrideGruposCampoCotacao), ""});
        break;
      }
    }
    BuildIndicatorLines(line.nivel, line.id);
  } catch (const std::exception& e) {
    Loga(std::string("ObjW.ShowPaint error ") + e.what());
    ShowErrorBox("Error", e.what());
  }
}

// The indicators the templates of the object's rows in the company's list name for its level, in
// template order, each once; a row whose template cannot be found names none.
void tObjWin::BuildIndicatorLines(int nivel, int id) {
  std::vector<int> indicadores;
  for (const tObjHierEx& row : rows_) {
    if ((nivel == kNivelClasse && row.AtvId != id) || (nivel == kNivelSerie && row.AnbId != id)) continue;
    const int pais = row.EmpPais >= 0 && row.EmpPais < kCountryCount ? row.EmpPais : kPaisNenhum;
    const int tipo = row.AtvTipoObj <= kTipoObjNenhum ? row.AtvTipoObj : kTipoObjNenhum;
    std::vector<TIndicadorDoFormato> linhas;
    if (FormatosDeCadastro().Linhas(row.AnbFormatoDeCadastro, tipo, pais, {nivel}, linhas) != 0) continue;
    for (const TIndicadorDoFormato& par : linhas)
      if (std::find(indicadores.begin(), indicadores.end(), par.indicador) == indicadores.end())
        indicadores.push_back(par.indicador);
  }
  if (indicadores.empty()) return;
  const std::unique_ptr<TIndicadoresDeEmpAtvAnb> valores = TIndicadoresDeEmpAtvAnb::Cria(nivel, id, true);
  for (const int indicador : indicadores) {
    const DefIndicador* def = DefIndicadores().Def(indicador);
    const std::string label = def ? LabelDoIndicador(*def, false) : "#" + std::to_string(indicador);
    const bool fixo = indicador == kIndicadorCnpj || indicador == kIndicadorNomeDaEmp;
    detail_.push_back({label, fixo ? "comes from the fixed fields" : valores->TextoMostrado(indicador), ""});
  }
}

bool tObjWin::HandleShortCut(const TKeyMessage& message) {
  if (!objView_ || !objView_->ListHasFocus()) return false;
  switch (message.key) {
    case TKey::Enter: Change(); return true;
    case TKey::Insert: AddChild(); return true;
    case TKey::Delete: Delete(); return true;
    default: return false;
  }
}

void tObjWin::Change() { Run("Change", &tObjWin::DoChange); }
void tObjWin::AddChild() { Run("AddChild", &tObjWin::DoAddChild); }
void tObjWin::Delete() { Run("Delete", &tObjWin::DoDelete); }
void tObjWin::NewCompany() { Run("NewCompany", &tObjWin::DoNewCompany); }
void tObjWin::Resend() { Run("Resend", &tObjWin::DoResend); }

void tObjWin::RunTool(TObjToolButton::Action action) {
  if (action == TObjToolButton::kNewCompany) NewCompany();
  else Resend();
}

void tObjWin::Run(const char* name, TResult (tObjWin::*action)()) {
  LogaDebug(std::string(ClassName()) + " " + name);
  TResult result = TResult::kNothing;
  try {
    result = (this->*action)();
  } catch (const std::exception& e) {
    Loga(std::string("ObjW.TQC error ") + e.what());
    ShowErrorBox("Error", e.what());
    result = TResult::kChanged;
  }
  if (result != TResult::kNothing) {
    if (result == TResult::kChanged) {
      PostDesktopMessage(kMsgObjTreeChanged);
      DropObjectCaches();
    }
    AfterChange();
  }
  if (objView_) objView_->FocusList();
}

// The list is read again and the selection stays where it was, as far as the list still reaches.
void tObjWin::AfterChange() {
  const int keep = selected_;
  ReadLinesShowingFailures();
  selected_ = -1;
  Select(std::max(keep, 0));
  if (objView_) objView_->ShowLines();
}

tObjWin::TResult tObjWin::DoChange() {
  if (selected_ < 0 || !forms_) return TResult::kNothing;
  const TObjLine& line = lines_[static_cast<size_t>(selected_)];
  switch (line.nivel) {
    case kNivelEmpresa: return ChangeEmp(line.id);
    case kNivelClasse: return ChangeAtv(line.id);
    default: return ChangeAnb(line.id);
  }
}

tObjWin::TResult tObjWin::ChangeEmp(int id) {
  ChkEmpDoUsr(id);
  tObjEmp emp;
  if (const int code = DbObjEmpGet(id, emp)) {
    db::ShowSqlErrorTxt("DbObjEmpGet", code);
    return TResult::kFailed;
  }
  const auto indicadores = TIndicadoresDeEmpAtvAnb::Cria(kNivelEmpresa, id, true);
  bool wrote = false;
  EditObject(*forms_, &tObjectForms::EditEmp, kEmpAdd, kEmpPut, kEmpContexts, emp, id, *indicadores, wrote);
  return wrote ? TResult::kChanged : TResult::kNothing;
}

tObjWin::TResult tObjWin::ChangeAtv(int id) {
  tObjAtv atv;
  if (const int code = DbObjAtvGet(id, atv)) {
    db::ShowSqlErrorTxt("DbObjAtvGet", code);
    return TResult::kFailed;
  }
  ChkEmpDoUsr(atv.emp);
  const auto indicadores = TIndicadoresDeEmpAtvAnb::Cria(kNivelClasse, id, true);
  bool wrote = false;
  EditObject(*forms_, &tObjectForms::EditAtv, kAtvAdd, kAtvPut, kAtvContexts, atv, id, *indicadores, wrote);
  return wrote ? TResult::kChanged : TResult::kNothing;
}

tObjWin::TResult tObjWin::ChangeAnb(int id) {
  ChkAnbDoUsr(id);
  tObjAnb anb;
  if (const int code = DbObjAnbGet(id, anb)) {
    db::ShowSqlErrorTxt("DbObjAnbGet", code);
    return TResult::kFailed;
  }
  const auto indicadores = TIndicadoresDeEmpAtvAnb::Cria(kNivelSerie, id, true);
  bool wrote = false;
  EditObject(*forms_, &tObjectForms::EditAnb, kAnbAdd, kAnbPut, kAnbContexts, anb, id, *indicadores, wrote);
  return wrote ? TResult::kChanged : TResult::kNothing;
}

tObjWin::TResult tObjWin::DoAddChild() {
  if (selected_ < 0 || !forms_) return TResult::kNothing;
  const TObjLine& line = lines_[static_cast<size_t>(selected_)];
  switch (line.nivel) {
    case kNivelEmpresa: return AddAtv(line.id);
    case kNivelClasse: return AddAnb(line.id);
    default: Beep(); return TResult::kNothing;
  }
}

tObjWin::TResult tObjWin::AddAtv(int emp) {
  ChkEmpDoUsr(emp);
  tObjAtv atv;
  atv.emp = emp;
  const auto indicadores = TIndicadoresDeEmpAtvAnb::Cria(kNivelClasse, 0, false);
  int id = 0;
  bool wrote = false;
  EditObject(*forms_, &tObjectForms::EditAtv, kAtvAdd, kAtvPut, kAtvContexts, atv, id, *indicadores, wrote);
  return wrote ? TResult::kChanged : TResult::kNothing;
}

tObjWin::TResult tObjWin::AddAnb(int atv) {
  tObjAnb anb;
  anb.acao = atv;
  const auto indicadores = TIndicadoresDeEmpAtvAnb::Cria(kNivelSerie, 0, false);
  int id = 0;
  bool wrote = false;
  EditObject(*forms_, &tObjectForms::EditAnb, kAnbAdd, kAnbPut, kAnbContexts, anb, id, *indicadores, wrote);
  return wrote ? TResult::kChanged : TResult::kNothing;
}

tObjWin::TResult tObjWin::DoNewCompany() {
  if (!forms_) return TResult::kNothing;
  tObjEmp emp;
  const auto indicadores = TIndicadoresDeEmpAtvAnb::Cria(kNivelEmpresa, 0, false);
  int id = 0;
  bool wrote = false;
  EditObject(*forms_, &tObjectForms::EditEmp, kEmpAdd, kEmpPut, kEmpContexts, emp, id, *indicadores, wrote);
  // Once added the company exists, whether its indicators were saved or the user gave up on them.
  if (id != 0) PostDesktopMessage(kMsgCompanyAdded, id);
  return wrote ? TResult::kChanged : TResult::kNothing;
}

tObjWin::TResult tObjWin::DoDelete() {
  if (selected_ < 0) return TResult::kNothing;
  const TObjLine line = lines_[static_cast<size_t>(selected_)];
  if (line.nivel == kNivelEmpresa) ChkEmpDoUsr(line.id);
  if (!AskYesNo("Confirm", DeleteQuestion(line.nivel), true)) return TResult::kNothing;
  const int code = line.nivel == kNivelEmpresa  ? DbObjEmpDel(line.id)
                   : line.nivel == kNivelClasse ? DbObjAtvDel(line.id)
                                                : DbObjAnbDel(line.id);
  if (code != 0) {
    const char* where = line.nivel == kNivelEmpresa  ? "ObjEmpDel"
                        : line.nivel == kNivelClasse ? "DbObjAtvDel"
                                                     : "DbObjAnbDel";
    db::ShowSqlErrorTxt(where, code);
    return TResult::kFailed;
  }
  // The window's own company is gone: the list is empty from now on, and the main window's
  // current object stays until the user picks another.
  if (line.nivel == kNivelEmpresa && line.id == emp_) emp_ = 0;
  return TResult::kChanged;
}

tObjWin::TResult tObjWin::DoResend() {
  if (selected_ < 0 || !ZiGlobs().IsAdmin) return TResult::kNothing;
  const TObjLine line = lines_[static_cast<size_t>(selected_)];
  if (!AskYesNo("Confirm", ResendQuestion(line.nivel), false)) return TResult::kNothing;
  int code = 0;
  switch (line.nivel) {
    case kNivelEmpresa: code = AdminObjEmpRemandaTudo(line.id); break;
    case kNivelClasse: code = AdminObjAtvRemandaTudo(line.id); break;
    default: code = AdminObjAnbRemandaTudo(line.id); break;
  }
  if (code != 0) {
    db::ShowSqlErrorTxt("Db___RemandaTudo (lev:" + std::to_string(line.nivel) + ")", code);
    return TResult::kFailed;
  }
  return TResult::kChanged;
}

}  // namespace zi::desktop

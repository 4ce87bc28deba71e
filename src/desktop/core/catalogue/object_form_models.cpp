#include "desktop/core/catalogue/object_form_models.h"

#include <exception>
#include <memory>
#include <optional>

#include "catalogue/catalogue.h"
#include "session/builtin_tables.h"
#include "session/reference_data.h"
#include "session/session.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"
#include "toolbox/text.h"

namespace zi::desktop {

namespace {

// Without a class the company form still needs an asset type for the template rules: shares.
constexpr int kTipoDeAtivoPadrao = 0;

std::optional<int32_t> Inteiro(const std::string& texto) { return ParseInteger(Trim(texto)); }

}  // namespace

int UltimoQueContem(const TPickList& itens, std::string_view digitado) {
  const std::string procurado = UpperCp1252(digitado);
  int achado = -1;
  for (size_t i = 0; i < itens.size(); ++i) {
    if (UpperCp1252(itens[i].text).find(procurado) != std::string::npos) achado = static_cast<int>(i);
  }
  return achado;
}

int TBoxDoForm::Monta(const TIndicadoresDeEmpAtvAnb& set, int nivel, int pais, int tipoObj, int formato,
                      const std::vector<int>& tiposDasClasses) {
  const TCamposDoBox digitados = campos_;
  const int code = box_.Monta(nivel, pais, tipoObj, formato, tiposDasClasses);
  campos_ = box_.Campos(set, digitados);
  return code;
}

void TBoxDoForm::Recarrega(const TIndicadoresDeEmpAtvAnb& set, int indicador) {
  TCamposDoBox digitados = campos_;
  digitados.erase(indicador);
  campos_ = box_.Campos(set, digitados);
}

TOkay TBoxDoForm::Okay(TIndicadoresDeEmpAtvAnb& set, const char* classe) const {
  try {
    const std::unique_ptr<TIndicadoresDeEmpAtvAnb> lidos = TIndicadoresDeEmpAtvAnb::Cria(set.Nivel(), set.Id(), false);
    for (const auto& [indicador, entrada] : set.Entradas()) lidos->Entrada(indicador) = entrada;
    int falhou = 0;
    if (const int code = box_.Save(campos_, *lidos, &falhou)) return TOkay::StayOpen(TCampo::Indicador, code, falhou);
    for (const auto& [indicador, entrada] : lidos->Entradas()) set.Entrada(indicador) = entrada;
    return TOkay::Ok();
  } catch (const std::exception& e) {
    Loga(std::string(classe) + ".OkClick indica error " + e.what());
    return TOkay::StayOpen(TCampo::Nenhum, kErroNosIndicadores);
  }
}

// --- Company ---------------------------------------------------------------------------------

void CompanyFormModel::Preenche(const tObjEmp& emp, const TIndicadoresDeEmpAtvAnb& set) {
  lido_ = emp;
  paisHabilitado_ = emp.id == 0 || DireitosDeObj().PodeAlterarPaisDaEmp;
  sourcesDeMoeda_ = SourcesVisiveis();
  sourcesDeFormato_.clear();
  for (const int source : sourcesDeMoeda_) {
    if (source <= kMaxSourceComFormato) sourcesDeFormato_.push_back(source);
  }
  tiposDasClasses_.clear();
  std::vector<tObjAtv> classes;
  if (emp.id != 0 && GetClassesDaEmp(emp.id, classes) == 0) {
    for (const tObjAtv& atv : classes) tiposDasClasses_.push_back(atv.tipoobj);
  }
  entries_ = {.nome = emp.nome,
              .cod = emp.cod,
              .cnpj = emp.cnpj,
              .pais = emp.pais,
              .moedabal = emp.moedabal,
              .moedaInformeFIDC = emp.moedaInformeFIDC,
              .fmtbal = emp.fmtbal,
              .naics = emp.naics};
  box_ = {};
  MudaPais(set);
}

std::string CompanyFormModel::LabelDoSource(int source) { return "- " + NomeDaFonte(source); }

TPickList CompanyFormModel::Paises() const { return ItensDe(Listas().EnumPais); }
TPickList CompanyFormModel::Moedas() const { return ItensDe(Listas().EnumMoeda); }
TPickList CompanyFormModel::Formatos() const { return ItensDe(Listas().EnumFmtBal); }

int CompanyFormModel::MudaPais(const TIndicadoresDeEmpAtvAnb& set) {
  const int tipoObj = tiposDasClasses_.empty() ? kTipoDeAtivoPadrao : tiposDasClasses_.front();
  return box_.Monta(set, kNivelEmpresa, entries_.pais, tipoObj, 0, tiposDasClasses_);
}

TOkay CompanyFormModel::Okay(tObjEmp& emp, TIndicadoresDeEmpAtvAnb& set) {
  tObjEmp novo = lido_;
  try {
    novo.nome = Trim(entries_.nome);
    novo.cod = Trim(entries_.cod);
    novo.cnpj = Trim(entries_.cnpj);
    if (paisHabilitado_) novo.pais = entries_.pais;
    // A slot without a pick keeps what the record holds.
    for (const int source : sourcesDeMoeda_) {
      const auto slot = static_cast<size_t>(source);
      novo.moedabal.at(slot) = entries_.moedabal.at(slot);
    }
    novo.moedaInformeFIDC = entries_.moedaInformeFIDC;
    for (const int source : sourcesDeFormato_) {
      const auto slot = static_cast<size_t>(source);
      novo.fmtbal.at(slot) = entries_.fmtbal.at(slot);
    }
    novo.naics = entries_.naics;
  } catch (const std::exception& e) {
    Loga(std::string("ObjEmpForm.OkClick emp error ") + e.what());
    return TOkay::StayOpen(TCampo::Nenhum, kErroNosCamposDaEmp);
  }
  const TOkay indicadores = box_.Okay(set, "ObjEmpForm");
  if (!indicadores.ok) return indicadores;
  emp = novo;
  return indicadores;
}

// --- Class -----------------------------------------------------------------------------------

TPickList ClassFormModel::ClassesDoPais(int incluida) const {
  TPickList itens;
  tIntStgList& classes = Listas().EnumClasses;
  for (int i = 0; i < classes.Conta(); ++i) {
    const tIntStg* item = classes.Item(i);
    const bool doPais = item->grupo == pais_ && (item->flags & kClassHasChildren) == 0;
    if (!doPais && item->id != incluida) continue;
    itens.push_back({item->text + " - " + Listas().EnumPais.TextoDoId(item->grupo, true), item->id});
  }
  return itens;
}

TPickList ClassFormModel::TodasAsClasses() const {
  TPickList itens;
  tIntStgList& classes = Listas().EnumClasses;
  for (int i = 0; i < classes.Conta(); ++i) {
    const tIntStg* item = classes.Item(i);
    itens.push_back({item->text + " - " + Listas().EnumPais.TextoDoId(item->grupo, true), item->id});
  }
  return itens;
}

int ClassFormModel::Preenche(const tObjAtv& atv, const TIndicadoresDeEmpAtvAnb& set) {
  lido_ = atv;
  admin_ = ZiGlobs().IsAdmin;
  direitos_ = DireitosDeObj();
  tObjEmp emp;
  if (const int code = DbObjEmpGet(atv.emp, emp)) return code;
  pais_ = emp.pais;
  const TPickList doPais = ClassesDoPais(0);
  estrangeiraLida_ = atv.idclass != 0 && IndiceDoId(doPais, atv.idclass) < 0;
  if (!estrangeiraLida_) {
    classes_ = doPais;
  } else {
    classes_ = direitos_.PodeClasseEstrangeira ? TodasAsClasses() : ClassesDoPais(atv.idclass);
  }
  if (classes_.empty()) return kClasseSemNomes;
  entries_ = {.idclass = IndiceDoId(classes_, atv.idclass) < 0 ? 0 : atv.idclass,
              .vote = atv.vote,
              .tipoobj = atv.tipoobj,
              .estrangeira = estrangeiraLida_,
              .emp = std::to_string(atv.emp)};
  box_ = {};
  MudaTipoDeAtivo(set);
  return 0;
}

TPickList ClassFormModel::Votos() const { return ItensDe(Listas().EnumVote); }
TPickList ClassFormModel::TiposDeAtivo() const { return ItensDe(Listas().EnumTipoObj); }

int ClassFormModel::MudaEstrangeira(bool todas, std::string textoSelecionado) {
  classes_ = todas ? TodasAsClasses() : ClassesDoPais(0);
  entries_.estrangeira = todas;
  int indice = -1;
  for (size_t i = 0; i < classes_.size() && indice < 0; ++i) {
    if (classes_[i].text == textoSelecionado) indice = static_cast<int>(i);
  }
  entries_.idclass = indice < 0 ? 0 : classes_[static_cast<size_t>(indice)].id;
  return indice;
}

int ClassFormModel::MudaTipoDeAtivo(const TIndicadoresDeEmpAtvAnb& set) {
  return box_.Monta(set, kNivelClasse, pais_, entries_.tipoobj, 0, {entries_.tipoobj});
}

TOkay ClassFormModel::Okay(tObjAtv& atv, TIndicadoresDeEmpAtvAnb& set) {
  const std::optional<int32_t> emp = Inteiro(entries_.emp);
  if (!emp) {
    entries_.emp = "0";
    return TOkay::StayOpen(TCampo::Empresa);
  }
  if (entries_.idclass == 0 || IndiceDoId(classes_, entries_.idclass) < 0) return TOkay::StayOpen(TCampo::ClasseNome);
  tObjAtv novo = lido_;
  novo.emp = *emp;
  novo.idclass = entries_.idclass;
  novo.vote = entries_.vote;
  novo.tipoobj = entries_.tipoobj;
  const TOkay indicadores = box_.Okay(set, "ObjAtvForm");
  if (!indicadores.ok) return indicadores;
  atv = novo;
  return indicadores;
}

// --- Series ----------------------------------------------------------------------------------

void SeriesFormModel::Preenche(const tObjAnb& anb, const TIndicadoresDeEmpAtvAnb& set) {
  lido_ = anb;
  admin_ = ZiGlobs().IsAdmin;
  direitos_ = DireitosDeObj();
  tObjAtv atv;
  if (const int code = DbObjAtvGet(anb.acao, atv)) throw EZorInputException(code);
  tObjEmp emp;
  if (const int code = DbObjEmpGet(atv.emp, emp)) throw EZorInputException(code);
  pais_ = emp.pais;
  tipoObj_ = atv.tipoobj;
  entries_ = {.cod = anb.cod,
              .bolsa = anb.bolsa,
              .estado = anb.cancelado ? 1 : 0,
              .status = anb.TipoDeBGLDestino,
              .statusMarcado = anb.TipoDeBGLDestino == 0,
              .moedacot = anb.moedacot,
              .TrazDadosDaEmp = anb.TrazDadosDaEmp,
              .NaoAparecerNoZor = anb.NaoAparecerNoZor,
              .NaoAparecerNoOmbrel = anb.NaoAparecerNoOmbrel,
              .DisableCopy = anb.DisableCopy != 0,
              .calendario = std::to_string(anb.IdCalendario),
              .formato = std::to_string(anb.FormatoDeCadastro),
              .mapa = std::to_string(anb.MapaFaskel),
              .override_ = std::to_string(anb.OverrideGruposCampoCotacao),
              .classe = std::to_string(anb.acao),
              .contrato = anb.TipoDeContrato};
  box_ = {};
  MudaFormato(set);
}

std::string SeriesFormModel::LabelDoCheckDeStatus() { return NomeDoTipoDeBGL(0); }

TPickList SeriesFormModel::Bolsas() const { return ItensDe(Listas().EnumBolsa); }
TPickList SeriesFormModel::Estados() const { return ItensDe(Listas().Estados); }
TPickList SeriesFormModel::Status() const { return ItensDe(Listas().TiposDeBGLDestino); }
TPickList SeriesFormModel::Moedas() const { return ItensDe(Listas().EnumMoeda); }
TPickList SeriesFormModel::Contratos() const { return ItensDe(Listas().EnumTipoDeContrato); }

int SeriesFormModel::MudaFormato(const TIndicadoresDeEmpAtvAnb& set) {
  const std::optional<int32_t> formato = Inteiro(entries_.formato);
  if (!formato) return 0;
  return box_.Monta(set, kNivelSerie, pais_, tipoObj_, *formato, {tipoObj_});
}

TOkay SeriesFormModel::Okay(tObjAnb& anb, TIndicadoresDeEmpAtvAnb& set) {
  struct Numero {
    std::string& texto;
    TCampo campo;
    int32_t valor = 0;
  };
  std::array<Numero, 5> numeros{{{entries_.classe, TCampo::ClasseDaSerie},
                                 {entries_.calendario, TCampo::Calendario},
                                 {entries_.formato, TCampo::Formato},
                                 {entries_.mapa, TCampo::MapaFaskel},
                                 {entries_.override_, TCampo::Override}}};
  TCampo primeiroErrado = TCampo::Nenhum;
  for (Numero& numero : numeros) {
    if (const std::optional<int32_t> valor = Inteiro(numero.texto)) {
      numero.valor = *valor;
      continue;
    }
    numero.texto = "0";
    if (primeiroErrado == TCampo::Nenhum) primeiroErrado = numero.campo;
  }
  if (primeiroErrado != TCampo::Nenhum) return TOkay::StayOpen(primeiroErrado);
  tObjAnb novo = lido_;
  novo.acao = numeros[0].valor;
  novo.cod = Trim(entries_.cod);
  novo.bolsa = entries_.bolsa;
  if (ListaDeStatus()) {
    if (entries_.status >= 0 && entries_.status <= 255) novo.TipoDeBGLDestino = static_cast<uint8_t>(entries_.status);
  } else if (CheckDeStatusHabilitado()) {
    novo.TipoDeBGLDestino = entries_.statusMarcado ? 0 : 5;
  }
  novo.moedacot = entries_.moedacot;
  novo.cancelado = entries_.estado == 1;
  if (TrazDadosVisivel()) novo.TrazDadosDaEmp = entries_.TrazDadosDaEmp;
  novo.NaoAparecerNoZor = entries_.NaoAparecerNoZor;
  novo.NaoAparecerNoOmbrel = entries_.NaoAparecerNoOmbrel;
  novo.DisableCopy = entries_.DisableCopy ? 1 : 0;
  if (CalendarioHabilitado()) novo.IdCalendario = numeros[1].valor;
  novo.FormatoDeCadastro = numeros[2].valor;
  novo.MapaFaskel = numeros[3].valor;
  novo.OverrideGruposCampoCotacao = numeros[4].valor;
  novo.TipoDeContrato = entries_.contrato;
  const TOkay indicadores = box_.Okay(set, "ObjAnbForm");
  if (!indicadores.ok) return indicadores;
  anb = novo;
  return indicadores;
}

}  // namespace zi::desktop

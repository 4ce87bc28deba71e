#include "desktop/core/catalogue/indicator_box.h"

#include <optional>

#include <fmt/format.h>

#include "catalogue/indicator_definitions.h"
#include "catalogue/indicator_formats.h"
#include "catalogue/registration_templates.h"
#include "session/builtin_tables.h"
#include "session/int_stg_list.h"
#include "session/reference_data.h"
#include "toolbox/dates.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"
#include "toolbox/text.h"

namespace zi::desktop {

namespace {

constexpr int kIndicadorCnpj = 9;
constexpr int kIndicadorNomeDaEmp = 52;
constexpr int kLimiteDeData = 15;

bool EhLista(int formato) { return EhListaDoCatalogo(formato) || TemListaDeValores(formato); }

// The kinds of the formats as the box's log line names them.
std::string NomeDoFormato(int formato) {
  if (EhLista(formato)) return "lista";
  if (EhFormatoInteiro(formato)) return "inteiro";
  if (EhFormatoNumero(formato)) return "numero";
  if (EhFormatoBooleano(formato)) return "booleano";
  switch (formato) {
    case kFormatoTexto: return "texto";
    case kFormatoMoeda: return "moeda";
    case kFormatoDataHora: return "datahora";
    case kFormatoData: return "data";
    default: return "desconhecido";
  }
}

std::string NomeDoCampo(TTipoDeCampo tipo) {
  switch (tipo) {
    case TTipoDeCampo::Lista: return " pick";
    case TTipoDeCampo::Moeda: return " moeda-pick";
    case TTipoDeCampo::Check: return " check";
    case TTipoDeCampo::Edit: return " edit";
    case TTipoDeCampo::CamposFixos: break;
  }
  return " label";
}

int Chave(double numero) { return IsMissing(numero) ? 0 : static_cast<int>(numero); }

// The text an edit field starts with: what the user would type for the value.
std::string TextoDoCampo(const DefIndicador* def, const TLinhaDoBox& linha, const UmIndicadorDaEmpAtvAnb& entrada) {
  if (!entrada.present || entrada.valor.nulo) return {};
  if (linha.numeroTipado) return std::to_string(Chave(entrada.valor.valornum));
  if (linha.formato == kFormatoDataHora) {
    const TCalendarDateTime c = CalendarFromDateTime(entrada.valor.valordt);
    return fmt::format("{:04}-{:02}-{:02}", c.year, c.month, c.day);
  }
  return TextoDoValor(def, entrada.present, entrada.valor);
}

TCampoDoBox CampoDaEntrada(const TLinhaDoBox& linha, const UmIndicadorDaEmpAtvAnb* entrada) {
  TCampoDoBox campo;
  const bool comValor = entrada && entrada->present && !entrada->valor.nulo;
  switch (linha.tipo) {
    case TTipoDeCampo::Lista:
    case TTipoDeCampo::Moeda:
      if (comValor) campo.item = Chave(entrada->valor.valornum);
      break;
    case TTipoDeCampo::Check:
      if (comValor) campo.check = entrada->valor.valornum != 0 ? TCheck::Sim : TCheck::Nao;
      break;
    case TTipoDeCampo::Edit:
      if (entrada) campo.texto = TextoDoCampo(DefIndicadores().Def(linha.indicador), linha, *entrada);
      break;
    case TTipoDeCampo::CamposFixos: break;
  }
  return campo;
}

bool Vazio(const TLinhaDoBox& linha, const TCampoDoBox& campo) {
  switch (linha.tipo) {
    case TTipoDeCampo::Lista:
    case TTipoDeCampo::Moeda: return campo.item < 0;
    case TTipoDeCampo::Check: return campo.check == TCheck::Cinza;
    case TTipoDeCampo::Edit: return Trim(campo.texto).empty() || Trim(campo.texto) == "-";
    case TTipoDeCampo::CamposFixos: break;
  }
  return true;
}

TValorDeIndicador Numero(double numero) { return {.nulo = false, .valornum = numero}; }

}  // namespace

TPickList ItensDe(tIntStgList& lista) {
  TPickList itens;
  for (int i = 0; i < lista.Conta(); ++i) {
    const tIntStg* item = lista.Item(i);
    itens.push_back({ShownText(item->text), item->id});
  }
  return itens;
}

int IndiceDoId(const TPickList& itens, int id) {
  for (size_t i = 0; i < itens.size(); ++i) {
    if (itens[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

int TBoxInd::Monta(int nivel, int pais, int tipoObj, int formato, const std::vector<int>& tiposDasClasses) {
  montado_ = false;
  nivel_ = nivel;
  linhas_.clear();
  std::vector<TIndicadorDoFormato> doFormato;
  if (const int code = FormatosDeCadastro().Linhas(formato, tipoObj, pais, {nivel}, doFormato)) return code;
  for (const TIndicadorDoFormato& par : doFormato) {
    TLinhaDoBox linha;
    linha.indicador = par.indicador;
    const DefIndicador* def = DefIndicadores().Def(par.indicador);
    if (!def) continue;
    linha.formato = def->FormatoCampo;
    linha.label = LabelDoIndicador(*def, false);
    if (par.indicador == kIndicadorCnpj || par.indicador == kIndicadorNomeDaEmp) {
      linha.tipo = TTipoDeCampo::CamposFixos;
    } else if (EhLista(linha.formato) && !ListaTipadaComoNumero(*def, pais, tiposDasClasses)) {
      linha.tipo = TTipoDeCampo::Lista;
      if (tIntStgListMultiLng* lista = GetCampoListaDeValores(linha.formato)) linha.itens = ItensDe(*lista);
    } else if (linha.formato == kFormatoMoeda) {
      linha.tipo = TTipoDeCampo::Moeda;
      linha.itens = ItensDe(Listas().EnumMoeda);
    } else if (EhFormatoBooleano(linha.formato)) {
      linha.tipo = TTipoDeCampo::Check;
    } else {
      linha.tipo = TTipoDeCampo::Edit;
      linha.numeroTipado = EhLista(linha.formato);
      if (linha.formato == kFormatoTexto) linha.limite = def->largura;
      if (linha.formato == kFormatoData || linha.formato == kFormatoDataHora) linha.limite = kLimiteDeData;
    }
    linhas_.push_back(std::move(linha));
  }
  montado_ = true;
  return 0;
}

const TLinhaDoBox* TBoxInd::Linha(int indicador) const {
  for (const TLinhaDoBox& linha : linhas_) {
    if (linha.indicador == indicador) return &linha;
  }
  return nullptr;
}

TCamposDoBox TBoxInd::Campos(const TIndicadoresDeEmpAtvAnb& set, const TCamposDoBox& digitados) const {
  TCamposDoBox campos;
  for (const TLinhaDoBox& linha : linhas_) {
    if (linha.tipo == TTipoDeCampo::CamposFixos) continue;
    if (const auto digitado = digitados.find(linha.indicador); digitado != digitados.end()) {
      campos[linha.indicador] = digitado->second;
      continue;
    }
    const auto entrada = set.Entradas().find(linha.indicador);
    campos[linha.indicador] = CampoDaEntrada(linha, entrada == set.Entradas().end() ? nullptr : &entrada->second);
  }
  return campos;
}

int TBoxInd::SaveCampo(const TLinhaDoBox& linha, const TCampoDoBox& campo, TIndicadoresDeEmpAtvAnb& set) const {
  UmIndicadorDaEmpAtvAnb& entrada = set.Entrada(linha.indicador);
  if (Vazio(linha, campo)) {
    entrada.Set(true, TValorDeIndicador{});
    return 0;
  }
  switch (linha.tipo) {
    case TTipoDeCampo::Lista:
    case TTipoDeCampo::Moeda:
      if (IndiceDoId(linha.itens, campo.item) < 0) return kChaveForaDaLista;
      entrada.Set(true, Numero(campo.item));
      return 0;
    case TTipoDeCampo::Check: entrada.Set(true, Numero(campo.check == TCheck::Sim ? 1 : 0)); return 0;
    case TTipoDeCampo::Edit:
      if (linha.numeroTipado) {
        const std::optional<int32_t> chave = ParseInteger(Trim(campo.texto));
        if (!chave) return kInteiroIlegivel;
        entrada.Set(true, Numero(*chave));
        return 0;
      }
      return set.SetFromText(DefIndicadores().Def(linha.indicador), campo.texto, false, false);
    case TTipoDeCampo::CamposFixos: break;
  }
  return 0;
}

int TBoxInd::Save(const TCamposDoBox& campos, TIndicadoresDeEmpAtvAnb& set, int* falhou) const {
  if (!montado_) return 0;
  std::vector<int> semCampo;
  for (const auto& [indicador, entrada] : set.Entradas()) {
    const TLinhaDoBox* linha = Linha(indicador);
    if (!linha || linha->tipo == TTipoDeCampo::CamposFixos || !campos.contains(indicador)) {
      semCampo.push_back(indicador);
    }
  }
  for (const int indicador : semCampo) set.Entrada(indicador).Set(false, {});
  for (const TLinhaDoBox& linha : linhas_) {
    const auto campo = campos.find(linha.indicador);
    if (campo == campos.end() || !campo->second.habilitado) continue;
    const UmIndicadorDaEmpAtvAnb antes = set.Entrada(linha.indicador);
    const int code = SaveCampo(linha, campo->second, set);
    if (code == 0) continue;
    Loga("TBoxInd.Save indica #" + std::to_string(linha.indicador) + " error:" + std::to_string(code) +
         " FC:" + NomeDoFormato(linha.formato) + "#" + std::to_string(linha.formato) + NomeDoCampo(linha.tipo) +
         " Vexiste:" + (antes.present ? "Y" : "N") + " Vnulo:" + (antes.valor.nulo ? "Y" : "N") +
         " Vnum:" + (IsMissing(antes.valor.valornum) ? std::string("NaN") : fmt::format("{}", antes.valor.valornum)) +
         " st:" + (linha.tipo == TTipoDeCampo::Edit ? "<" + campo->second.texto + ">" : std::string("nao-pega!")));
    set.Entrada(linha.indicador).Set(false, {});
    if (falhou) *falhou = linha.indicador;
    return code;
  }
  return 0;
}

}  // namespace zi::desktop

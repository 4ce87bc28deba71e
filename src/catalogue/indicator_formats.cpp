#include "catalogue/indicator_formats.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "session/builtin_tables.h"
#include "session/int_stg_list.h"
#include "session/reference_data.h"
#include "toolbox/dates.h"
#include "toolbox/display_formats.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"
#include "toolbox/platform.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kTipoDeAtivoTipado = 12;
constexpr std::string_view kDocId = "doc-id:";
constexpr std::string_view kContextoDeAdicao = "[IndDeEAA.SetFromSt CLV]";

bool EhFormatoDeLista(int formato) { return formato == kFormatoListaGeral || TemListaDeValores(formato); }


TValorDeIndicador Numero(double numero) { return {.nulo = IsMissing(numero), .valornum = numero}; }

TValorDeIndicador Data(TDateTime data) { return {.nulo = data.days == 0, .valordt = data}; }

std::optional<int> Digitos(std::string_view texto) {
  if (texto.empty()) return std::nullopt;
  for (const char c : texto) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return ParseInteger(texto);
}

TDateTime DataHora(int ano, int mes, int dia) { return DateTimeFromCalendar({ano, mes, dia, 0, 0, 0}); }

// "YYYY-MM-DD" read by position: the year in characters 1 to 4, the month in 6 and 7, the day in 9
// and 10.
int DataHoraDoTexto(std::string_view texto, TValorDeIndicador& valor) {
  auto parte = [&](size_t inicio, size_t tamanho) {
    return inicio + tamanho <= texto.size() ? Digitos(texto.substr(inicio, tamanho)) : std::nullopt;
  };
  const std::optional<int> ano = parte(0, 4), mes = parte(5, 2), dia = parte(8, 2);
  if (!ano || !mes || !dia) return kDataHoraIlegivel;
  if (!IsValidDate({*ano, *mes, *dia})) return kDataHoraImpossivel;
  valor = Data(DataHora(*ano, *mes, *dia));
  return 0;
}

// Eight digits, or a date as import files write it ("YYYY-MM-DD" or "YYYY.MM.DD").
std::optional<TCalendarDate> DataFixa(std::string_view texto) {
  std::string digitos(texto);
  if (texto.size() == 10 && (texto[4] == '-' || texto[4] == '.') && texto[7] == texto[4]) {
    digitos = std::string(texto.substr(0, 4)) + std::string(texto.substr(5, 2)) + std::string(texto.substr(8, 2));
  }
  if (digitos.size() != 8 || !Digitos(digitos)) return std::nullopt;
  const TCalendarDate data{*ParseInteger(digitos.substr(0, 4)), *ParseInteger(digitos.substr(4, 2)),
                           *ParseInteger(digitos.substr(6, 2))};
  if (!IsValidDate(data)) return std::nullopt;
  return data;
}

// The edit field's mask without digits: blanks and separators only.
bool MascaraVazia(std::string_view texto) {
  for (const char c : texto) {
    if (c != ' ' && c != DatePattern().separator) return false;
  }
  return true;
}

int DataDoTexto(std::string_view texto, bool formaFixa, TValorDeIndicador& valor) {
  if (!formaFixa && (texto == "-" || MascaraVazia(texto))) {
    valor = {};
    return 0;
  }
  const std::optional<TCalendarDate> data = formaFixa ? DataFixa(texto) : ParseShownDate(texto);
  if (!data) {
    Loga("45113 - IndUtil.InternalSetFromString -  data " + std::string(texto) + " informada n\xE3o \xE9 valida");
    return kDataIlegivel;
  }
  const TDateTime dataHora = DataHora(data->year, data->month, data->day);
  if (dataHora.days == 0) return kDataZero;
  valor = Data(dataHora);
  return 0;
}

// A number of a file ("." as its point), or as the user types it in the session's number format.
int NumeroDoTexto(std::string_view texto, bool formaFixa, TValorDeIndicador& valor) {
  std::optional<double> numero;
  if (formaFixa) {
    numero = ParseDecimal(texto);
  } else if (const TTypedNumber digitado = ParseTypedNumber(texto); digitado.kind == TTypedNumber::Number) {
    numero = digitado.value;
  }
  if (!numero) return kNumeroIlegivel;
  valor = Numero(*numero);
  return 0;
}

int MoedaDoTexto(const DefIndicador& def, std::string_view texto, TValorDeIndicador& valor) {
  tIntStgList& moedas = Listas().EnumMoeda;
  const std::string procurado = UpperCp1252(texto);
  std::optional<int> moeda;
  if (texto.starts_with("#")) {
    if (const std::optional<int> codigo = ParseInteger(texto.substr(1)); codigo && moedas.ItemDoId(*codigo)) {
      moeda = codigo;
    }
  }
  for (int i = 0; !moeda && i < moedas.Conta(); ++i) {
    const tIntStg* item = moedas.Item(i);
    if (UpperCp1252(ShownText(item->text)) == procurado || UpperCp1252(SimboloDaMoeda(item->id)) == procurado) {
      moeda = item->id;
    }
  }
  if (!moeda) {
    Loga("TIDE.SFS moeda DI#" + std::to_string(def.id) + " <" + std::string(texto) +
         "> error:" + std::to_string(kMoedaNaoEncontrada));
    return kMoedaNaoEncontrada;
  }
  valor = Numero(*moeda);
  return 0;
}

// The item whose name in any language is the text, whatever its case; -1 when there is none.
int ItemPeloNome(tIntStgList& lista, std::string_view texto) {
  const std::string procurado = UpperCp1252(texto);
  for (int i = 0; i < lista.Conta(); ++i) {
    const tIntStg* item = lista.Item(i);
    for (int parte = 1; parte <= 3; ++parte) {
      if (UpperCp1252(Trim(ItemPipe(parte, item->text))) == procurado) return item->id;
    }
  }
  return -1;
}

int ItemDoTexto(const DefIndicador& def, std::string_view texto, const TLeituraDeTexto& leitura, int& chave) {
  tIntStgListMultiLng* lista = GetCampoListaDeValores(def.FormatoCampo);
  if (texto.starts_with("#")) {
    const std::optional<int> numero = ParseInteger(texto.substr(1));
    if (!numero) return kChaveNaoInteira;
    if (!lista || !lista->ItemDoId(*numero)) return kChaveForaDaLista;
    chave = *numero;
    return 0;
  }
  if (texto.starts_with(kDocId)) {
    const std::string_view doc = texto.substr(kDocId.size());
    if (doc.empty()) return kDocIdVazio;
    chave = lista ? lista->IdDoTexto2(doc) : -1;
    if (chave == -1) {
      LogaFormat("Error: 50043, CampoListaDeValores, Valor: %s nao encontrado, FormatoCampo: %d, IdIndicador: %d",
                 std::string(texto), static_cast<int>(def.FormatoCampo), def.id);
      if (def.id == kIndicadorComDocId) return kDocIdNaoEncontrado;
    }
    return 0;
  }
  const std::string nome = Trim(texto);
  chave = lista ? ItemPeloNome(*lista, nome) : -1;
  int code = 0;
  if (chave == -1 && leitura.podeAdicionar && lista && lista->EhMultiLng()) {
    if (leitura.semEscrever) return 0;
    chave = lista->AdicionaItem(nome, code, kContextoDeAdicao);
  }
  if (chave != -1) return 0;
  if (code == 0) code = kNomeForaDaLista;
  Loga("TIDE.SFS DI#" + std::to_string(def.id) + " FC:" + std::to_string(def.FormatoCampo) + " <" + nome +
       "> res:" + std::to_string(chave) + " error:" + std::to_string(code));
  return code;
}

std::string DataMostrada(TDateTime data) {
  const TCalendarDateTime c = CalendarFromDateTime(data);
  return ShownDate({c.year, c.month, c.day});
}

// The entry's group and name when the entry has a group that has a name, else the key.
std::string ItemComGrupo(int formato, int chave) {
  if (tIntStgListMultiLng* lista = GetCampoListaDeValores(formato)) {
    const tIntStg* item = lista->ItemDoId(chave);
    const std::string grupo = item ? ShownText(lista->TextoDoId(item->grupo, false)) : std::string();
    if (!grupo.empty()) return grupo + " - " + ShownText(item->text);
  }
  return fmt::format("{:06}", chave);
}

int Chave(double numero) { return std::isfinite(numero) ? static_cast<int>(numero) : 0; }

}  // namespace

bool operator==(const TValorDeIndicador& a, const TValorDeIndicador& b) {
  const bool mesmoNumero = (IsMissing(a.valornum) && IsMissing(b.valornum)) || a.valornum == b.valornum;
  return a.nulo == b.nulo && mesmoNumero && a.valordt == b.valordt && a.valorst == b.valorst;
}

TColunaDoValor ColunaDoFormato(int formato) {
  if (formato == kFormatoTexto) return TColunaDoValor::St;
  if (formato == kFormatoDataHora || formato == kFormatoData) return TColunaDoValor::Dt;
  return TColunaDoValor::Num;
}

int ValorDoTexto(const DefIndicador& def, std::string_view texto, const TLeituraDeTexto& leitura,
                 TValorDeIndicador& valor) {
  valor = {};
  if (Trim(texto).empty() || texto == "-") return 0;
  const int formato = def.FormatoCampo;
  if (EhFormatoDeLista(formato)) {
    int chave = -1;
    const int code = ItemDoTexto(def, texto, leitura, chave);
    if (code == 0) valor = Numero(chave);
    return code;
  }
  if (EhFormatoInteiro(formato)) {
    const std::optional<int32_t> numero = ParseInteger(Trim(texto));
    if (!numero) return kInteiroIlegivel;
    valor = Numero(*numero);
    return 0;
  }
  if (EhFormatoNumero(formato) && formato != 2) return NumeroDoTexto(Trim(texto), leitura.formaFixa, valor);
  if (EhFormatoBooleano(formato)) {
    const std::optional<bool> sim = ParseBooleanWord(texto);
    if (!sim) return kBooleanoIlegivel;
    valor = Numero(*sim ? 1 : 0);
    return 0;
  }
  switch (formato) {
    case kFormatoTexto: valor = {.nulo = false, .valorst = std::string(texto)}; return 0;
    case kFormatoMoeda: return MoedaDoTexto(def, Trim(texto), valor);
    case kFormatoDataHora: return DataHoraDoTexto(texto, valor);
    case kFormatoData: return DataDoTexto(Trim(texto), leitura.formaFixa, valor);
    default: break;
  }
  Loga("TIDE.SFS FC:" + std::to_string(formato) + " erro <" + std::string(texto) + ">");
  return kFormatoSemTexto;
}

std::string TextoDoValor(const DefIndicador* def, bool presente, const TValorDeIndicador& valor) {
  if (!def) return "missing-defind!";
  if (!presente || valor.nulo) return "-";
  const int formato = def->FormatoCampo;
  const int chave = Chave(valor.valornum);
  if (formato == kFormatoListaGeral || formato == kFormatoListaComGrupo) return ItemComGrupo(formato, chave);
  if (EhFormatoDeLista(formato)) {
    tIntStgListMultiLng* lista = GetCampoListaDeValores(formato);
    const tIntStg* item = lista ? lista->ItemDoId(chave) : nullptr;
    return item ? ShownText(item->text) : "#" + std::to_string(chave);
  }
  if (EhFormatoInteiro(formato) || formato == kFormatoChaveDeLista) return std::to_string(chave);
  if (EhFormatoNumero(formato)) return ShownNumber(valor.valornum);
  if (EhFormatoBooleano(formato)) return valor.valornum != 0 ? "Y" : "N";
  switch (formato) {
    case kFormatoTexto: return valor.valorst;
    case kFormatoMoeda:
      return chave >= 0 && chave < kCurrencyCount ? SimboloDaMoeda(chave) : "#" + std::to_string(chave);
    case kFormatoDataHora: {
      const TCalendarDateTime c = CalendarFromDateTime(valor.valordt);
      return fmt::format("{:04}/{:02}/{:02} {:02}:{:02}:{:02}", c.year, c.month, c.day, c.hour, c.minute, c.second);
    }
    case kFormatoData: return DataMostrada(valor.valordt);
    default: break;
  }
  const TCalendarDateTime c = CalendarFromDateTime(valor.valordt);
  return fmt::format("[VlInd FC:{} {}/{:04}-{:02}-{:02}T{:02}:{:02}:{:02}/{}]", formato, ShownNumber(valor.valornum),
                     c.year, c.month, c.day, c.hour, c.minute, c.second, valor.valorst);
}

bool EhFormatoInteiro(int formato) { return formato == 0 || formato == 1; }
bool EhFormatoNumero(int formato) { return formato == 2 || formato == 5 || formato == 15 || formato == 16; }
bool EhFormatoBooleano(int formato) { return formato == 21 || formato == 38; }
bool EhListaDoCatalogo(int formato) {
  return formato == kFormatoListaComGrupo || formato == kFormatoListaGeral || formato == kFormatoChaveDeLista;
}

bool ListaTipadaComoNumero(const DefIndicador& def, int pais, const std::vector<int>& tiposDasClasses) {
  const bool tipadas = !tiposDasClasses.empty() && std::all_of(tiposDasClasses.begin(), tiposDasClasses.end(),
                                                               [](int tipo) { return tipo == kTipoDeAtivoTipado; });
  return EhListaDoCatalogo(def.FormatoCampo) && pais == 0 && tipadas && !def.texto13.empty() && def.aux9 != 0;
}

}  // namespace zi

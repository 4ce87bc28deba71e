#include "catalogue/indicators.h"

#include <optional>
#include <vector>

#include "db/connection.h"
#include "db/multi_result.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"

namespace zi {

namespace {

constexpr int kNoCommand = 3939;
constexpr int kIdindicaTodos = 0;

struct TNivel {
  const char* chave;  // the key column
  const char* tabela;
  const char* get;
  const char* put;
  const char* getNaData;
};

constexpr TNivel kNiveis[] = {
    {"anb", "IndicadoresDoAnb", "GetIndicadoresDoAnb", "PutValorDoIndicadorDoAnbNaData", "GetIndicadorDoAnbNaData"},
    {"atv", "IndicadoresDoAtv", "GetIndicadoresDoAtv", "PutValorDoIndicadorDoAtvNaData", "GetIndicadorDoAtvNaData"},
    {"emp", "IndicadoresDaEmp", "GetIndicadoresDaEmp", "PutValorDoIndicadorDaEmpNaData", "GetIndicadorDaEmpNaData"},
};

const TNivel& DoNivel(int nivel) { return kNiveis[static_cast<size_t>(nivel)]; }

std::string Param(const TNivel& nivel) { return std::string("@") + nivel.chave; }

// A missing number, a zero date and a text that is not the format's travel as NULL.
DbValue Coluna(const TValorDeIndicador& valor, TColunaDoValor coluna, TColunaDoValor doFormato) {
  if (valor.nulo || coluna != doFormato) return {};
  switch (coluna) {
    case TColunaDoValor::Num: return IsMissing(valor.valornum) ? DbValue() : DbValue(valor.valornum);
    case TColunaDoValor::Dt: return valor.valordt.days == 0 ? DbValue() : DbValue(valor.valordt);
    case TColunaDoValor::St: return valor.valorst;
  }
  return {};
}

// The value of a row: null when the column of the format is NULL, or without a definition.
TValorDeIndicador ValorDaLinha(const db::TDbCommand& ds, const DefIndicador* def) {
  TValorDeIndicador valor;
  valor.valornum = db::ValueAsFloat(ds.Field("valornum"));
  valor.valordt = db::ValueAsDateTime(ds.Field("valordt"));
  valor.valorst = db::ValueAsText(ds.Field("valorst"));
  if (!def) return valor;
  switch (ColunaDoFormato(def->FormatoCampo)) {
    case TColunaDoValor::Num: valor.nulo = ds.Field("valornum").IsNull(); break;
    case TColunaDoValor::Dt: valor.nulo = ds.Field("valordt").IsNull(); break;
    case TColunaDoValor::St: valor.nulo = ds.Field("valorst").IsNull(); break;
  }
  return valor;
}

// The values to write for an entry: the indicator must be defined; every column cleared but the
// one of its format.
int ValoresDaEntrada(int indicador, const UmIndicadorDaEmpAtvAnb& entrada, std::map<std::string, DbValue>& valores) {
  if (indicador < 1 || indicador > DefIndicadores().MaiorId()) return kGravaIndicadorForaDasDefinicoes;
  const DefIndicador* def = DefIndicadores().Def(indicador);
  if (!def) return kGravaIndicadorSemDefinicao;
  const TColunaDoValor formato = ColunaDoFormato(def->FormatoCampo);
  valores["valornum"] = Coluna(entrada.valor, TColunaDoValor::Num, formato);
  valores["valordt"] = Coluna(entrada.valor, TColunaDoValor::Dt, formato);
  valores["valorst"] = Coluna(entrada.valor, TColunaDoValor::St, formato);
  return 0;
}

DbValue DataDaChave(TDateTime data) { return data.days == 0 ? DbValue() : DbValue(data); }

// The rows of the indicators that Salva changes: each one's effective dates, in order.
using TDatasDasLinhas = std::map<int, std::vector<TDateTime>>;

int LinhasDosModificados(const TIndicadoresDeEmpAtvAnb& set, const TNivel& nivel, TDatasDasLinhas& linhas) {
  std::optional<int> unico;
  int modificados = 0;
  for (const auto& [indicador, entrada] : set.Entradas()) {
    if (!entrada.modified) continue;
    ++modificados;
    unico = indicador;
  }
  db::TDataSetHolder ds(db::ZiDb(), nivel.get);
  if (!ds) return ds.Failure(kNoCommand);
  ds->SetInteger(Param(nivel), set.Id());
  ds->SetInteger("@idindica", modificados == 1 ? *unico : kIdindicaTodos);
  int faltando = 0;
  bool conferida = false;
  const int code = db::ExecMultiResult(db::ZiDb(), *ds, [&](db::TDbCommand& row) {
    if (!conferida) {
      conferida = true;
      const char* colunas[] = {nivel.chave, "indica", "valornum", "valordt", "valorst"};
      std::string letras;
      for (const char* coluna : colunas) letras += row.HasField(coluna) ? "N" : "Y";
      if (letras != "NNNNN") {
        Loga(std::string("TIDE.S error:") + std::to_string(kLinhasSemColuna) + " EAA:" + letras[0] +
             " ID:" + letras[1] + " VN:" + letras[2] + " VD:" + letras[3] + " VS:" + letras[4]);
        faltando = kLinhasSemColuna;
      }
    }
    if (faltando == 0)
      linhas[row.FieldAsInteger("indica")].push_back(db::ValueAsDateTime(row.Field("datainivigencia")));
  });
  return code != 0 ? code : faltando;
}

// The definition of an indicator a put writes: the level must be 0..2 and the indicator within the
// definitions, and defined (else semDefinicao).
int DefDoPut(int nivel, int indicador, int semDefinicao, const DefIndicador*& def) {
  if (nivel < 0 || nivel > 2) return kNivelAcimaDe2;
  if (indicador < 1 || indicador > DefIndicadores().MaiorId()) return kIndicadorForaDasDefinicoes;
  def = DefIndicadores().Def(indicador);
  return def ? 0 : semDefinicao;
}

}  // namespace

void UmIndicadorDaEmpAtvAnb::Set(bool presente, const TValorDeIndicador& novo) {
  if (!present && !presente) return;
  if (present == presente && valor == novo) return;
  present = presente;
  valor = novo;
  modified = true;
}

std::unique_ptr<TIndicadoresDeEmpAtvAnb> TIndicadoresDeEmpAtvAnb::Cria(int nivel, int id, bool carrega) {
  std::unique_ptr<TIndicadoresDeEmpAtvAnb> set;
  switch (nivel) {
    case 0: set = std::make_unique<TIndicadoresDoAnb>(id); break;
    case 1: set = std::make_unique<TIndicadoresDoAtv>(id); break;
    case 2: set = std::make_unique<TIndicadoresDaEmp>(id); break;
    default: throw EZorInputException(kNivelAcimaDe2);
  }
  if (!carrega) return set;
  if (const int code = set->Carrega()) {
    Loga(std::string("TIDE.Cr ") + set->ClassName() + " Id:" + std::to_string(id) +
         " Erro(ResGet):" + std::to_string(code));
    throw EZorInputException(code);
  }
  return set;
}

UmIndicadorDaEmpAtvAnb& TIndicadoresDeEmpAtvAnb::Entrada(int indicador) { return entradas_[indicador]; }

int TIndicadoresDeEmpAtvAnb::Carrega() {
  for (auto& [indicador, entrada] : entradas_) {
    if (!entrada.modified) entrada.present = false;
  }
  const TNivel& nivel = DoNivel(nivel_);
  int code = 0;
  try {
    db::TDataSetHolder ds(db::ZiDb(), nivel.get);
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetInteger(Param(nivel), id_);
    ds->SetInteger("@idindica", kIdindicaTodos);
    // Rows come by indicator and date, so an entry ends with its latest row: its current value.
    code = db::ExecMultiResult(db::ZiDb(), *ds, [&](db::TDbCommand& row) {
      UmIndicadorDaEmpAtvAnb& entrada = Entrada(row.FieldAsInteger("indica"));
      if (entrada.modified) return;
      entrada.loaded = true;
      entrada.present = true;
      entrada.dataDaLinha = db::ValueAsDateTime(row.Field("datainivigencia"));
      entrada.semDataDeVigencia = row.Field("datainivigencia").IsNull();
      const DefIndicador* def = DefIndicadores().Def(row.FieldAsInteger("indica"));
      entrada.valor = ValorDaLinha(row, def);
    });
  } catch (const std::exception& e) {
    ReportExceptionWithCode(std::string("TIDE.Carrega ") + ClassName(), code, e, kNoCommand);
  }
  if (code != 0) return code;
  for (auto& [indicador, entrada] : entradas_) {
    if (!entrada.modified) entrada.loaded = true;
  }
  return 0;
}

int TIndicadoresDeEmpAtvAnb::SetFromText(const DefIndicador* def, std::string_view texto, bool formaFixa,
                                         bool podeAdicionar) {
  if (!def) return kSemDefinicao;
  TValorDeIndicador valor;
  if (const int code = ValorDoTexto(*def, texto, {.formaFixa = formaFixa, .podeAdicionar = podeAdicionar}, valor)) {
    return code;
  }
  Entrada(def->id).Set(true, valor);
  return 0;
}

void TIndicadoresDeEmpAtvAnb::CopiaModificados(const TIndicadoresDeEmpAtvAnb& de) {
  for (const auto& [indicador, entrada] : de.entradas_) {
    if (entrada.modified) Entrada(indicador).Set(entrada.present, entrada.valor);
  }
}

int TIndicadoresDeEmpAtvAnb::Salva(int id) {
  if (id == 0) return kSalvaSemObjeto;
  if (id_ == 0) id_ = id;
  if (id_ != id) {
    Loga(std::string("TIDE.SIES0 ") + ClassName() + " era:" + std::to_string(id_) + " novo:" + std::to_string(id));
    throw EZorInputException(kConjuntoDeOutroObjeto);
  }
  const TNivel& nivel = DoNivel(nivel_);
  int code = 0;
  try {
    TDatasDasLinhas linhas;
    code = LinhasDosModificados(*this, nivel, linhas);
    std::vector<RowChange> mudancas;
    for (const auto& [indicador, entrada] : entradas_) {
      if (code != 0) break;
      if (!entrada.modified) continue;
      const std::map<std::string, DbValue> chave{{nivel.chave, id_}, {"indica", indicador}};
      const std::vector<TDateTime>& datas = linhas[indicador];
      if (!entrada.present) {
        for (const TDateTime data : datas) {
          std::map<std::string, DbValue> daLinha = chave;
          daLinha["DataIniVigencia"] = DataDaChave(data);
          mudancas.push_back({RowChange::Kind::Delete, daLinha, {}});
        }
        continue;
      }
      std::map<std::string, DbValue> valores;
      code = ValoresDaEntrada(indicador, entrada, valores);
      if (datas.empty()) {
        valores.insert(chave.begin(), chave.end());
        mudancas.push_back({RowChange::Kind::Insert, {}, valores});
      } else {
        std::map<std::string, DbValue> atual = chave;
        atual["DataIniVigencia"] = DataDaChave(datas.back());
        mudancas.push_back({RowChange::Kind::Update, atual, valores});
      }
    }
    if (code == 0 && !mudancas.empty()) code = db::ZiDb().ApplyRowChanges(nivel.tabela, mudancas);
  } catch (const std::exception& e) {
    ReportExceptionWithCode(std::string("TIDE.Salva ") + ClassName(), code, e, kNoCommand);
  }
  if (code != 0) return code;
  for (auto& [indicador, entrada] : entradas_) {
    if (!entrada.modified) continue;
    entrada.modified = false;
    entrada.loaded = true;
  }
  return 0;
}

std::string TIndicadoresDeEmpAtvAnb::TextoMostrado(int indicador) {
  const UmIndicadorDaEmpAtvAnb& entrada = Entrada(indicador);
  return TextoDoValor(DefIndicadores().Def(indicador), entrada.present, entrada.valor);
}

int PutValorDoIndicadorNaData(int nivel, int objeto, int indicador, TDayNumber data, const TValorDeIndicador& valor) {
  const DefIndicador* def = nullptr;
  if (const int code = DefDoPut(nivel, indicador, kIndicadorSemDefinicao, def)) return code;
  const TNivel& n = DoNivel(nivel);
  const TColunaDoValor formato = ColunaDoFormato(def->FormatoCampo);
  int code = 0;
  try {
    db::TDataSetHolder ds(db::ZiDb(), n.put);
    if (!ds) return ds.Failure(kPutSemProcedimento);
    ds->SetInteger(Param(n), objeto);
    ds->SetInteger("@idindica", indicador);
    ds->SetDayNumber("@datainivigencia", data);
    for (const auto& [param, coluna] :
         {std::pair{"@valornum", TColunaDoValor::Num}, std::pair{"@valordt", TColunaDoValor::Dt},
          std::pair{"@valorst", TColunaDoValor::St}}) {
      const DbValue value = Coluna(valor, coluna, formato);
      if (value.IsNull()) ds->ClearParam(param);
      else if (coluna == TColunaDoValor::Num) ds->SetFloat(param, value.AsFloat());
      else if (coluna == TColunaDoValor::Dt) ds->SetDateTime(param, value.AsDateTime());
      else ds->SetText(param, value.AsText());
    }
    code = db::ZiDb().ExecStProc(*ds, 0);
  } catch (const std::exception& e) {
    ReportExceptionWithCode(n.put, code, e, kNoCommand);
  }
  return code;
}

int PutTextoDoIndicadorNaData(int nivel, int objeto, int indicador, TDayNumber data, std::string_view texto,
                              const TLeituraDeTexto& leitura) {
  const DefIndicador* def = nullptr;
  if (const int code = DefDoPut(nivel, indicador, kIndicadorDoTextoSemDefinicao, def)) return code;
  TValorDeIndicador valor;
  if (const int code = ValorDoTexto(*def, texto, leitura, valor)) return code;
  return PutValorDoIndicadorNaData(nivel, objeto, indicador, data, valor);
}

int GetValorDoIndicadorNaData(int nivel, int objeto, int indicador, TDayNumber data, bool& achou,
                              TValorDeIndicador& valor) {
  achou = false;
  valor = {};
  if (nivel < 0 || nivel > 2) return kNivelAcimaDe2;
  const TNivel& n = DoNivel(nivel);
  const DefIndicador* def = DefIndicadores().Def(indicador);
  int code = 0;
  try {
    db::TDataSetHolder ds(db::ZiDb(), n.getNaData);
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetInteger(Param(n), objeto);
    ds->SetInteger("@idindica", indicador);
    ds->SetDayNumber("@dataVigencia", data);
    code = db::ExecMultiResult(db::ZiDb(), *ds, [&](db::TDbCommand& row) {
      achou = true;
      valor = ValorDaLinha(row, def);
    });
  } catch (const std::exception& e) {
    ReportExceptionWithCode(n.getNaData, code, e, kNoCommand);
  }
  if (code != 0) {
    achou = false;
    valor = {};
  }
  return code;
}

}  // namespace zi

#include "catalogue/registration_templates.h"

#include <algorithm>

#include "catalogue/catalogue.h"
#include "db/connection.h"
#include "db/multi_result.h"
#include "toolbox/log.h"

namespace zi {

namespace {

constexpr int kNoCommand = 3939;
const std::vector<int> kTodosOsNiveis = {kNivelSerie, kNivelClasse, kNivelEmpresa};

int Le(const char* procedimento, const std::function<void(db::TDbCommand&)>& linha) {
  int code = 0;
  try {
    db::TDataSetHolder ds(db::ZiDb(), procedimento);
    if (!ds) return ds.Failure(kNoCommand);
    code = db::ExecMultiResult(db::ZiDb(), *ds, linha);
  } catch (const std::exception& e) {
    ReportExceptionWithCode(procedimento, code, e, kNoCommand);
  }
  return code;
}

}  // namespace

int TFormatosDeCadastro::GaranteLidos() {
  if (lidos_) return 0;
  std::vector<TFormatoDeCadastro> formatos;
  std::vector<TRegraDeFormatoDeCadastro> regras;
  std::vector<TLinhaDeFormato> linhas;
  int code = Le("FormatoDeCadastroList", [&](db::TDbCommand& r) {
    formatos.push_back({r.FieldAsInteger("Id"), r.FieldAsInteger("Pais"), r.FieldAsInteger("Ordem"),
                        r.FieldAsText("TituloPT"), r.FieldAsText("TituloEN"), r.FieldAsText("TituloES")});
  });
  if (code == 0) {
    code = Le("RegraDeFormatoDeCadastroList", [&](db::TDbCommand& r) {
      regras.push_back({r.FieldAsInteger("TipoObj"), r.FieldAsInteger("Pais"), r.FieldAsInteger("IdFDC")});
    });
  }
  if (code == 0) {
    code = Le("LinhaDeFormatoList", [&](db::TDbCommand& r) {
      linhas.push_back({r.FieldAsInteger("IdFDC"), r.FieldAsInteger("IdLinha"), r.FieldAsInteger("EAA"),
                        r.FieldAsInteger("TipoLinhaFormato"), r.FieldAsInteger("P1"), r.FieldAsText("StrPT"),
                        r.FieldAsText("StrEN"), r.FieldAsText("StrES"), r.FieldAsBoolean("VisivelNoZor")});
    });
  }
  if (code != 0) return code;
  formatos_ = std::move(formatos);
  regras_ = std::move(regras);
  linhas_ = std::move(linhas);
  lidos_ = true;
  return 0;
}

void TFormatosDeCadastro::Esquece() {
  lidos_ = false;
  formatos_.clear();
  regras_.clear();
  linhas_.clear();
}

int TFormatosDeCadastro::Linhas(int idFdc, int tipoObj, int pais, const std::vector<int>& niveis,
                                std::vector<TIndicadorDoFormato>& linhas) {
  linhas.clear();
  if (const int code = GaranteLidos()) return code;
  auto listado = [&](int id) {
    return std::any_of(formatos_.begin(), formatos_.end(), [id](const TFormatoDeCadastro& f) { return f.Id == id; });
  };
  int formato = idFdc;
  if (formato != 0 && !listado(formato)) {
    Loga("Erro:" + std::to_string(kFormatoDeCadastroNaoListado) +
         " N\xE3o foi encontrado nenhum formato de cadastro para IdFDC:" + std::to_string(formato));
    return kFormatoDeCadastroNaoListado;
  }
  if (formato == 0) {
    const auto regra = std::find_if(regras_.begin(), regras_.end(), [&](const TRegraDeFormatoDeCadastro& r) {
      return r.TipoObj == tipoObj && r.Pais == pais;
    });
    if (regra != regras_.end()) formato = regra->IdFDC;
    if (regra == regras_.end() || !listado(formato)) {
      Loga("Erro:" + std::to_string(kSemFormatoDeCadastro) +
           " N\xE3o foi encontrado nenhum formato de cadastro para o TipoObj:" + std::to_string(tipoObj) +
           " Pais:" + std::to_string(pais) + " IdFDC:" + std::to_string(formato));
      return kSemFormatoDeCadastro;
    }
  }
  for (const TLinhaDeFormato& l : linhas_) {
    if (l.IdFDC != formato || l.TipoLinhaFormato != kLinhaDeIndicador) continue;
    if (std::find(niveis.begin(), niveis.end(), l.EAA) == niveis.end()) continue;
    const TIndicadorDoFormato par{l.EAA, l.P1};
    if (std::find(linhas.begin(), linhas.end(), par) == linhas.end()) linhas.push_back(par);
  }
  return 0;
}

TFormatosDeCadastro& FormatosDeCadastro() {
  static TFormatosDeCadastro formatos;
  return formatos;
}

int IndicadorAplicavel(int indicador, int nivel, int objeto, TAplicacaoDoIndicador& aplicacao) {
  aplicacao = {};
  std::vector<tObjHierEx> arvore;
  if (const int code = GetObjListDaEmp(nivel, objeto, arvore)) return code;
  for (const tObjHierEx& linha : arvore) {
    if (linha.AtvId == 0 || linha.AnbId == 0) continue;
    std::vector<TIndicadorDoFormato> linhas;
    if (const int code = FormatosDeCadastro().Linhas(linha.AnbFormatoDeCadastro, linha.AtvTipoObj, linha.EmpPais,
                                                     kTodosOsNiveis, linhas)) {
      return code;
    }
    for (const TIndicadorDoFormato& par : linhas) {
      if (par.indicador != indicador) continue;
      if (!aplicacao.aplica) aplicacao = {true, par.nivel};
      if (par.nivel == nivel) {
        aplicacao.nivel = nivel;
        return 0;
      }
    }
  }
  return 0;
}

}  // namespace zi

#include "import/indicator_directives.h"

#include <string>
#include <tuple>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/indicators.h"
#include "catalogue/registration_templates.h"
#include "db/sql_errors.h"
#include "import/company_key.h"
#include "import/directive_support.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/run.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi {

namespace {

// One family of *COMREG, *CLASSREG and *SERIEREG: the level it writes, the tokens of its key, the
// code of a key that names nothing, and its variant.
struct TFamilia {
  int nivel;
  int tokensDaChave;
  int semChave;
  bool adicionaItem = false;
  bool repeteData = false;
};

struct TCamposDoReg {
  int indicador = 0;
  const DefIndicador* def = nullptr;
  std::string valor;
  TDayNumber data;    // the date of the value; of REPEATDATE, the target date
  TDayNumber origem;  // of REPEATDATE, the date the value is copied from
};

const char* NomeDoNivel(int nivel) {
  static const char* const kNomes[] = {"anb", "atv", "emp"};
  return kNomes[nivel];
}

const char* YN(bool value) { return value ? "Y" : "N"; }

TLeituraDeTexto Leitura(bool adicionaItem, bool semEscrever) {
  return {.formaFixa = true, .podeAdicionar = adicionaItem, .semEscrever = semEscrever};
}

// In the check pass the value is read as the import pass will write it, without adding to a list.
int ValorLegivel(TImpMain& run, const DefIndicador& def, std::string_view valor, bool adicionaItem) {
  if (!run.ToNoCheck()) return 0;
  TValorDeIndicador lido;
  return ValorDoTexto(def, valor, Leitura(adicionaItem, true), lido);
}

int CamposDoReg(TImpMain& run, const TFamilia& f, TCamposDoReg& c) {
  tParserWrapper& t = run.Tokens();
  const int campo = f.tokensDaChave + 1;
  if (t.Count() > campo + 3) return kTooManyFields;
  int32_t indicador = 0;
  int code = 0;
  if (!ReadIntegerField(t.Token(campo), indicador) || !DefIndicadores().Def(indicador)) code = kIndicadorNaoDefinido;
  c.indicador = indicador;
  c.def = DefIndicadores().Def(indicador);
  if (f.repeteData) {
    if (code == 0 && !ReadRequiredDateField(t.Token(campo + 1), c.origem)) {
      code = kRepeteSemDataOrigem;
    }
    if (!ReadRequiredDateField(t.Token(campo + 2), c.data)) code = kRepeteSemDataAlvo;
    return code;
  }
  if (code != 0) return code;
  c.valor = t.Token(campo + 1);
  if (Trim(c.valor).empty()) return kValorVazio;
  if (!ReadDateField(t.Token(campo + 2), c.data)) return kDataDoRegInvalida;
  if (f.nivel == kNivelEmpresa && indicador == kIndicadorCnpj) return 0;
  return ValorLegivel(run, *c.def, c.valor, f.adicionaItem);
}

std::string AvisoDeSerie(std::string_view ticker, std::string_view bolsa) {
  return "Warning: " + db::SqlErrorText(kSerieNaoEncontrada) + " Ticker:" + std::string(ticker) +
         ", Bolsa:" + std::string(bolsa);
}

// The series of a ticker on an exchange; a ticker holding "-provis" may stand for the series its
// definitive code names.
int SerieDoTicker(const std::string& ticker, std::string_view bolsa, int& id) {
  int code = GetIdAnb(ticker, std::string(bolsa), id);
  if (code == kSerieNaoEncontrada && ticker.find("-provis") != std::string::npos) {
    std::string definitivo;
    int empresa = 0;
    int serie = 0;
    if (GetRegistroCodCVMparaAnbima(ticker, definitivo, empresa, serie) == 1 && serie > 0) {
      id = serie;
      code = 0;
    }
  }
  return code;
}

// A series that cannot be found names nothing and only warns, unless an earlier line of the file
// creates it.
int SeriesDaChave(TImpMain& run, std::vector<int>& objetos) {
  tParserWrapper& t = run.Tokens();
  const std::string ticker = Trim(t.Token(1));
  if (ticker.empty() || Absent(t.Token(2))) return kSerieRegSemChave;
  int id = 0;
  const int code = SerieDoTicker(ticker, t.Token(2), id);
  if (code == kSerieNaoEncontrada) {
    int32_t bolsa = 0;
    ReadIntegerField(t.Token(2), bolsa);
    if (!run.SerieAdded().Contains(ticker, bolsa)) run.ErrorMessage(AvisoDeSerie(t.Token(1), t.Token(2)) + ", IdEAA:0");
    return 0;
  }
  if (code == 0) objetos.push_back(id);
  return code;
}

// The objects a key names. In the check pass, a key of an object that an earlier line of the file
// creates names none yet.
int ObjetosDaChave(TImpMain& run, const TFamilia& f, std::vector<int>& objetos) {
  tParserWrapper& t = run.Tokens();
  if (f.nivel == kNivelSerie) return SeriesDaChave(run, objetos);
  if (f.nivel == kNivelClasse) {
    int code = ResolveClassKey(t.Token(1), t.Token(2), t.Token(3), objetos);
    if (code == kClassKeyNoClass) return f.semChave;
    const bool semClasse =
        code == kEmpDaClasseNaoEncontrada || code == kClasseNomeDesconhecido || code == kClasseNaoEncontrada;
    if (semClasse && run.ToNoCheck() && ClassOfTheFile(run, t.Token(1), t.Token(2), t.Token(3))) code = 0;
    return code;
  }
  int code = ResolveCompanyKey(t.Token(1), t.Token(2), run.CachedCompanyLookup(), objetos);
  if (code == kCompanyKeyNoCompany) return f.semChave;
  if (code == kEmpNaoEncontrada && run.ToNoCheck() && CompanyOfTheFile(run, t.Token(1), t.Token(2))) code = 0;
  return code;
}

// The company's CNPJ is a field of the company, not an indicator row: "-" clears it.
int EscreveCnpj(int empresa, std::string_view valor) {
  tObjEmp emp;
  if (const int code = DbObjEmpGet(empresa, emp)) return code;
  emp.cnpj = valor == "-" ? std::string() : Trim(valor);
  return DbObjEmpPut(emp);
}

int EscreveValor(int nivel, int objeto, const TCamposDoReg& c, bool adicionaItem) {
  if (nivel == kNivelEmpresa && c.indicador == kIndicadorCnpj) return EscreveCnpj(objeto, c.valor);
  return PutTextoDoIndicadorNaData(nivel, objeto, c.indicador, c.data, c.valor, Leitura(adicionaItem, false));
}

// The registration template of the object must name the indicator at this level.
int ConfereFormato(const TFamilia& f, const TCamposDoReg& c, int objeto) {
  TAplicacaoDoIndicador aplicacao;
  int code = IndicadorAplicavel(c.indicador, f.nivel, objeto, aplicacao);
  const bool noNivel = aplicacao.aplica && aplicacao.nivel == f.nivel;
  if (code == 0 && !noNivel) code = kForaDoFormatoDeCadastro;
  if (code != 0 || f.repeteData) {
    Loga("IIDEAA erro:" + std::to_string(code) + " IdIndica:" + std::to_string(c.indicador) +
         " IdEAA:" + std::to_string(objeto) + " EAA:" + NomeDoNivel(f.nivel) + " TaNoFormatoCadastro:" + YN(noNivel) +
         " TaEmAlgumaApres:" + YN(aplicacao.aplica));
  }
  return code;
}

// A REPEATDATE copy: a source date without a value leaves the target alone.
int RepeteValor(TImpMain& run, const TFamilia& f, const TCamposDoReg& c, int objeto) {
  bool achou = false;
  TValorDeIndicador valor;
  if (const int code = GetValorDoIndicadorNaData(f.nivel, objeto, c.indicador, c.origem, achou, valor)) return code;
  if (!achou || valor.nulo || run.ToNoCheck()) return 0;
  return PutValorDoIndicadorNaData(f.nivel, objeto, c.indicador, c.data, valor);
}

int UmObjeto(TImpMain& run, const TFamilia& f, const TCamposDoReg& c, int objeto) {
  if (run.ToNoCheck()) {
    if (const int code = ConfereFormato(f, c, objeto)) return code;
  }
  if (f.repeteData) return RepeteValor(run, f, c, objeto);
  return run.ToNoCheck() ? 0 : EscreveValor(f.nivel, objeto, c, f.adicionaItem);
}

int Reg(TImpMain& run, const TFamilia& f) {
  TCamposDoReg campos;
  if (const int code = CamposDoReg(run, f, campos)) return code;
  std::vector<int> objetos;
  if (const int code = ObjetosDaChave(run, f, objetos)) return code;
  auto cadaObjeto = [&]() -> int {
    for (const int objeto : objetos) {
      if (const int code = UmObjeto(run, f, campos, objeto)) return code;
    }
    return 0;
  };
  return run.ToNoCheck() ? cadaObjeto() : AtomicWrites(cadaObjeto);
}

// *EAAREG, *EAAREGIFEXISTS and *EAAREGADDITEMIFNEW.

int CamposDoEaa(TImpMain& run, bool adicionaItem, TCamposDoReg& c) {
  tParserWrapper& t = run.Tokens();
  if (t.Count() > 6) return kTooManyFields;
  int32_t indicador = 0;
  if (!ReadIntegerField(t.Token(3), indicador) || !DefIndicadores().Def(indicador)) return kEaaIndicador;
  c.indicador = indicador;
  c.def = DefIndicadores().Def(indicador);
  c.valor = t.Token(4);
  if (Trim(c.valor).empty()) return kEaaValor;
  if (!ReadDateField(t.Token(5), c.data)) return kEaaData;
  return ValorLegivel(run, *c.def, c.valor, adicionaItem);
}

// The object of the level the template gives the indicator: the series, its class or the class's
// company.
int ObjetoDoEaa(const TCamposDoReg& c, int serie, int& nivel, int& objeto) {
  tObjAnb anb;
  tObjAtv atv;
  tObjEmp emp;
  int code = DbObjAnbGet(serie, anb);
  if (code == 0) code = DbObjAtvGet(anb.acao, atv);
  if (code == 0) code = DbObjEmpGet(atv.emp, emp);
  if (code != 0) return code;
  TAplicacaoDoIndicador aplicacao;
  code = IndicadorAplicavel(c.indicador, kNivelSerie, serie, aplicacao);
  if (code != 0 || !aplicacao.aplica) {
    if (code == 0) code = kEaaForaDoFormato;
    Loga("IIDEAA erro:" + std::to_string(code) + " IdIndica:" + std::to_string(c.indicador) +
         " IdAnb:" + std::to_string(serie) + " ProcurandoPorEAA.Id[EAA]:" + std::to_string(serie) + " Pais:" +
         std::to_string(emp.pais) + " EAA:" + NomeDoNivel(kNivelSerie) + " TaEmAlgumaApres:" + YN(aplicacao.aplica));
    return code;
  }
  nivel = aplicacao.nivel;
  objeto = nivel == kNivelSerie ? serie : nivel == kNivelClasse ? anb.acao : atv.emp;
  return 0;
}

int EaaReg(TImpMain& run, bool seExiste, bool adicionaItem) {
  tParserWrapper& t = run.Tokens();
  TCamposDoReg campos;
  if (const int code = CamposDoEaa(run, adicionaItem, campos)) return code;
  const std::string ticker = Trim(t.Token(1));
  int serie = 0;
  const int code = SerieDoTicker(ticker, t.Token(2), serie);
  if (code == kSerieNaoEncontrada) {
    int32_t bolsa = 0;
    ReadIntegerField(t.Token(2), bolsa);
    if (run.ToNoCheck() && run.SerieAdded().Contains(ticker, bolsa)) return 0;
    if (seExiste) return code;
    run.ErrorMessage(AvisoDeSerie(t.Token(1), t.Token(2)));
    return 0;
  }
  if (code != 0) return code;
  if (serie == 0) return kEaaSerie;
  auto escreve = [&]() -> int {
    int nivel = 0;
    int objeto = 0;
    if (const int achado = ObjetoDoEaa(campos, serie, nivel, objeto)) return achado;
    return run.ToNoCheck() ? 0 : EscreveValor(nivel, objeto, campos, adicionaItem);
  };
  return run.ToNoCheck() ? escreve() : AtomicWrites(escreve);
}

void Registra(const std::string& palavra, TFamilia familia) {
  SetDirectiveHandler(palavra, [familia](TImpMain& run, const TDirective&) {
    return TDirectiveOutcome{true, Reg(run, familia)};
  });
}

void RegistraEaa(const char* palavra, bool seExiste, bool adicionaItem) {
  SetDirectiveHandler(palavra, [seExiste, adicionaItem](TImpMain& run, const TDirective&) {
    return TDirectiveOutcome{true, EaaReg(run, seExiste, adicionaItem)};
  });
}

}  // namespace

void RegisterIndicatorDirectives() {
  for (const auto& [prefixo, nivel, chave, semChave] : {std::tuple{"*COMREG", kNivelEmpresa, 2, kComRegSemChave},
                                                        std::tuple{"*CLASSREG", kNivelClasse, 3, kClassRegSemChave},
                                                        std::tuple{"*SERIEREG", kNivelSerie, 2, kSerieRegSemChave}}) {
    Registra(prefixo, {nivel, chave, semChave});
    Registra(std::string(prefixo) + "ADDITEMIFNEW", {nivel, chave, semChave, true, false});
    Registra(std::string(prefixo) + "REPEATDATE", {nivel, chave, semChave, false, true});
  }
  RegistraEaa("*EAAREG", false, false);
  RegistraEaa("*EAAREGIFEXISTS", true, false);
  RegistraEaa("*EAAREGADDITEMIFNEW", false, true);
}

}  // namespace zi

#include "import/object_directives.h"

#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/indicators.h"
#include "catalogue/naics.h"
#include "db/connection.h"
#include "db/sql_errors.h"
#include "import/company_key.h"
#include "import/directive_support.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/name_normaliser.h"
#include "import/run.h"
#include "session/builtin_tables.h"
#include "session/reference_data.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr std::string_view kEmptyTicker = "Empty <ticker>";
constexpr std::string_view kInvalidExchange = "Invalid <exchange>";
constexpr std::string_view kInvalidNewStatus = "Invalid NewStatus";
constexpr std::string_view kInvalidFieldCount = "Invalid # of fields : ";

constexpr int kNoCommand = 3939;
constexpr size_t kMaxTextoDaEmp = 1000;
constexpr size_t kMaxNomeNormalizado = 50;
constexpr size_t kFormatosDaEmp = 4;
constexpr int32_t kMaxTipoObj = 31;
constexpr int32_t kMaxStatus = kBulletinDestinationTypes - 1;

// Values of indicators are written as files hold them, whatever the session's settings.
constexpr TLeituraDeTexto kDoArquivo{.formaFixa = true};

// What the family keeps for one run: the name normaliser of the country last asked for.
struct TObjectRunState : TRunState {
  TNormalizadorDeNomes normalizador;
};

std::string NomeDoPais(int pais) { return Listas().EnumPais.TextoDoId(pais, true); }

// "New Emp: \"PETR\" \"Brazil\" \"" and its kin, written once for each object the check pass finds
// that the file creates.
std::string MensagemDeNovo(std::string_view tipo, std::initializer_list<std::string> partes) {
  std::string texto = std::string(tipo) + ": \"";
  for (const std::string& parte : partes) texto += parte + "\" \"";
  return texto;
}

TDirectiveOutcome Code(int code) { return {true, code}; }

// *OBJEMP and *OBJEMPABREV.

struct TLinhaDeEmp {
  tObjEmp emp;
  int ausentes = 0;
  std::optional<std::string> texto;  // indicator 58
};

int FormatosDaEmp(std::string_view token, tObjEmp& emp) {
  tParserChrDelim divisor('-');
  const std::vector<std::string> formatos = SplitTokens(divisor, token);
  // The record keeps four slots: more numbers are refused rather than lost.
  if (formatos.size() > kFormatosDaEmp) return kEmpFormato;
  for (size_t i = 0; i < formatos.size(); ++i) {
    int32_t formato = 0;
    if (!ReadKnownCode(formatos[i], Listas().EnumFmtBal, formato)) return kEmpFormato;
    emp.fmtbal[i] = formato;
  }
  return 0;
}

int CamposDaEmp(TImpMain& run, bool abrev, TLinhaDeEmp& linha) {
  tParserWrapper& t = run.Tokens();
  tObjEmp& emp = linha.emp;
  TNormalizadorDeNomes& normalizador = run.State<TObjectRunState>().normalizador;
  for (int i = 3; i <= 10; ++i) {
    if (Absent(t.Token(i))) ++linha.ausentes;
  }
  if (const std::string_view nome = t.Token(3); !Absent(nome)) {
    emp.nome = abrev ? NormalizaNome(normalizador, emp.pais, nome).substr(0, kMaxNomeNormalizado) : std::string(nome);
  }
  if (const std::string_view flag = t.Token(4); !Absent(flag)) {
    int32_t valor = 0;
    if (!ReadIntegerField(flag, valor) || (valor != 0 && valor != 1)) return kEmpFlag;
  }
  if (const std::string_view moeda = t.Token(5); !Absent(moeda)) {
    if (!ReadKnownCode(moeda, Listas().EnumMoeda, emp.moedabal[0])) return kEmpMoeda;
  }
  if (const std::string_view formatos = t.Token(6); !Absent(formatos)) {
    if (const int code = FormatosDaEmp(formatos, emp)) return code;
  }
  if (const std::string_view naics = t.Token(7); !Absent(naics)) {
    if (!ReadIntegerField(naics, emp.naics) || !NaicsValido(emp.naics)) return kEmpNaics;
  }
  if (const std::string_view texto = t.Token(8); !Absent(texto)) {
    const std::string cortado(texto.substr(0, kMaxTextoDaEmp));
    linha.texto = (abrev ? NormalizaNome(normalizador, emp.pais, cortado) : cortado).substr(0, kMaxTextoDaEmp);
  }
  if (const std::string_view cnpj = t.Token(11); !Absent(cnpj)) emp.cnpj = cnpj;
  return 0;
}

int ObjEmp(TImpMain& run, bool abrev) {
  tParserWrapper& t = run.Tokens();
  if (t.Count() < 3 || t.Count() > 12) return kEmpNumeroDeCampos;
  const std::string cod(t.Token(1));
  if (Absent(cod)) return kEmpCodigo;
  int32_t pais = 0;
  if (!ReadIntegerField(t.Token(2), pais)) return kEmpPais;
  TLinhaDeEmp linha;
  int id = 0;
  int code = GetIdEmp(cod, std::string(t.Token(2)), id);
  const bool nova = code == kEmpNaoEncontrada;
  // A company that an earlier line creates exists by the time the import pass reaches this one.
  const bool doArquivo = run.ToNoCheck() && run.EmpAdded().Contains(cod, pais);
  if (nova) {
    code = 0;
    linha.emp.cod = cod;
    linha.emp.pais = pais;
    if (run.ToNoCheck() && !doArquivo) {
      run.Output(MensagemDeNovo("New Emp", {cod, NomeDoPais(pais)}), false);
      run.EmpAdded().Add(cod, pais);
    }
  } else if (code == 0) {
    code = DbObjEmpGet(id, linha.emp);
  }
  if (code == 0) code = CamposDaEmp(run, abrev, linha);
  if (code == 0 && nova && !doArquivo && linha.ausentes > 0) code = kEmpNovaIncompleta;
  if (code != 0 || run.ToNoCheck()) return code;
  return AtomicWrites([&] {
    int writes = nova ? DbObjEmpAdd(linha.emp) : DbObjEmpPut(linha.emp);
    if (writes == 0 && linha.texto) {
      writes = PutTextoDoIndicadorNaData(kNivelEmpresa, linha.emp.id, kIndicadorTextoDaEmp, kNoDate, *linha.texto,
                                         kDoArquivo);
    }
    return writes;
  });
}

// *OBJCLASS.

bool NomeDeClasseConhecido(const std::string& nome) {
  tIntStgList& classes = Listas().EnumClasses;
  for (int i = 0; i < classes.Conta(); ++i) {
    if (SameTextAscii(Trim(classes.Item(i)->text), Trim(nome))) return true;
  }
  return false;
}

int ObjClass(TImpMain& run) {
  tParserWrapper& t = run.Tokens();
  if (t.Count() < 4 || t.Count() > 7) return kAtvNumeroDeCampos;
  const std::string cod(t.Token(1));
  const std::string paisTexto(t.Token(2));
  const std::string classe(t.Token(3));
  const std::string_view tipoObj = t.Token(4);
  const std::string_view voto = t.Token(5);
  bool adicionaNome = false;
  if (!Absent(t.Token(6)) && !ReadYesNoField(t.Token(6), adicionaNome)) return kFieldNotYesNo;
  bool nomeAdicionado = false;
  auto linha = [&]() -> int {
    int idEmp = 0;
    int idAtv = 0;
    int idClass = 0;
    int code = GetIdAtvV2(cod, paisTexto, classe, false, idEmp, idAtv, idClass);
    int32_t pais = 0;
    ReadIntegerField(paisTexto, pais);  // the lookup refused any other country
    if (!run.ToNoCheck() && code == kClasseNomeDesconhecido && adicionaNome) {
      int novoNome = 0;
      code = ClassAdd(classe, pais, 0, 0, novoNome);
      nomeAdicionado = code == 0 || code == kClassAddComId;
      if (nomeAdicionado) code = GetIdAtvV2(cod, paisTexto, classe, false, idEmp, idAtv, idClass);
    }
    const bool doArquivo = run.ToNoCheck() && run.ClassAdded().Contains(cod, classe, pais);
    bool nova = false;
    if (run.ToNoCheck()) {
      if (code == kEmpDaClasseNaoEncontrada && run.EmpAdded().Contains(cod, pais)) {
        // The company is new too: its class name must exist, or the line adds it.
        code = adicionaNome || NomeDeClasseConhecido(classe) ? 0 : kClasseNomeDesconhecido;
        nova = code == 0;
      } else if (code == kClasseNaoEncontrada || (code == kClasseNomeDesconhecido && adicionaNome)) {
        code = 0;
        nova = true;
      }
      if (nova && !doArquivo) {
        run.Output(MensagemDeNovo("New Class", {cod, classe, NomeDoPais(pais)}), false);
        run.ClassAdded().Add(cod, classe, pais);
      }
    } else if (code == kClasseNaoEncontrada) {
      code = 0;
      nova = true;
    }
    if (code != 0) return code;
    tObjAtv atv;
    if (nova) {
      atv.emp = idEmp;
      atv.idclass = idClass;
    } else if (const int lido = DbObjAtvGet(idAtv, atv)) {
      return lido;
    }
    int ausentes = 0;
    if (Absent(tipoObj)) ++ausentes;
    else if (!ReadKnownCode(tipoObj, Listas().EnumTipoObj, atv.tipoobj) || atv.tipoobj > kMaxTipoObj)
      return kAtvTipoObj;
    if (Absent(voto)) ++ausentes;
    else if (!ReadKnownCode(voto, Listas().EnumVote, atv.vote)) return kAtvVoto;
    if (nova && !doArquivo && ausentes > 0) return kAtvNovaIncompleta;
    if (run.ToNoCheck()) return 0;
    return nova ? DbObjAtvAdd(atv) : DbObjAtvPut(atv);
  };
  const int code = run.ToNoCheck() ? linha() : AtomicWrites(linha);
  // The session's class names serve the check pass of later files.
  if (nomeAdicionado) Listas().EnumClasses.Limpa();
  return code;
}

// *OBJSERIE.

// The owning class of tokens 3 to 5. In the check pass a class that an earlier line creates is
// accepted; in the import pass an existing series keeps its class when the one named is missing,
// but a new one cannot do without.
int ClasseDaSerie(TImpMain& run, bool nova, tObjAnb& anb) {
  tParserWrapper& t = run.Tokens();
  const std::string cod(t.Token(3));
  const std::string paisTexto(t.Token(4));
  const std::string classe(t.Token(5));
  int idEmp = 0;
  int idAtv = 0;
  int idClass = 0;
  const int code = GetIdAtvV2(cod, paisTexto, classe, false, idEmp, idAtv, idClass);
  if (code == 0) {
    anb.acao = idAtv;
    return 0;
  }
  const bool semClasse =
      code == kEmpDaClasseNaoEncontrada || code == kClasseNomeDesconhecido || code == kClasseNaoEncontrada;
  if (run.ToNoCheck()) return semClasse && ClassOfTheFile(run, cod, paisTexto, classe) ? 0 : code;
  if ((code == kClasseNomeDesconhecido || code == kClasseNaoEncontrada) && !nova) return 0;
  return code;
}

// The fields of tokens 6 to 20, each with its code; absent ones among tokens 6 to 19 are counted.
int CamposDaSerie(tParserWrapper& t, tObjAnb& anb, int& ausentes) {
  enum class Tipo { SimNao, Inteiro, Status, Moeda, Numero, Texto };
  struct Campo {
    int token;
    Tipo tipo;
    int code;
    bool* simNao = nullptr;
    int32_t* inteiro = nullptr;
  };
  bool disableCopy = anb.DisableCopy != 0;
  int32_t status = anb.TipoDeBGLDestino;
  const Campo campos[] = {
      {6, Tipo::SimNao, 15261, &anb.cancelado},
      {7, Tipo::Status, 15262, nullptr, &status},
      {8, Tipo::Texto, 0},
      {9, Tipo::Moeda, 15263, nullptr, &anb.moedacot},
      {10, Tipo::Numero, 15264},
      {11, Tipo::Texto, 0},
      {12, Tipo::SimNao, 15265, &anb.TrazDadosDaEmp},
      {13, Tipo::SimNao, 15266, &anb.NaoAparecerNoZor},
      {14, Tipo::Inteiro, 15267, nullptr, &anb.IdCalendario},
      {15, Tipo::SimNao, 15268, &disableCopy},
      {16, Tipo::Inteiro, 15269, nullptr, &anb.FormatoDeCadastro},
      {17, Tipo::Inteiro, 15270, nullptr, &anb.TipoDeContrato},
      {18, Tipo::Inteiro, 15271, nullptr, &anb.MapaFaskel},
      {19, Tipo::Inteiro, 15272, nullptr, &anb.OverrideGruposCampoCotacao},
      {20, Tipo::SimNao, kFieldNotYesNo, &anb.NaoAparecerNoOmbrel},
  };
  for (const Campo& campo : campos) {
    const std::string_view token = t.Token(campo.token);
    if (Absent(token)) {
      if (campo.token <= 19) ++ausentes;
      continue;
    }
    double numero = 0;
    bool lido = true;
    switch (campo.tipo) {
      case Tipo::SimNao: lido = ReadYesNoField(token, *campo.simNao); break;
      case Tipo::Inteiro: lido = ReadIntegerField(token, *campo.inteiro); break;
      case Tipo::Status: lido = ReadIntegerField(token, *campo.inteiro) && status >= 0 && status <= kMaxStatus; break;
      case Tipo::Moeda: lido = ReadKnownCode(token, Listas().EnumMoeda, *campo.inteiro); break;
      case Tipo::Numero: lido = ReadNumberField(token, numero); break;
      case Tipo::Texto: break;
    }
    if (!lido) return campo.code;
  }
  anb.DisableCopy = disableCopy ? 1 : 0;
  anb.TipoDeBGLDestino = static_cast<uint8_t>(status);
  return 0;
}

// Tokens 11, 8 and 10 when given: the series' indicators 1, 48 and 46, without date.
int IndicadoresDaSerie(tParserWrapper& t, int serie) {
  const std::pair<int, int> indicadores[] = {
      {11, kIndicadorTextoDaSerie1}, {8, kIndicadorTextoDaSerie48}, {10, kIndicadorNumeroDaSerie}};
  for (const auto& [token, indicador] : indicadores) {
    const std::string_view valor = t.Token(token);
    if (Absent(valor)) continue;
    const std::string texto = token == 10 ? std::string(valor) : Trim(valor);
    if (const int code = PutTextoDoIndicadorNaData(kNivelSerie, serie, indicador, kNoDate, texto, kDoArquivo)) {
      return code;
    }
  }
  return 0;
}

// The ticker and the exchange of a series line; false when a message was written and the code set.
bool TickerEBolsa(TImpMain& run, std::string& ticker, int32_t& bolsa, int& code) {
  ticker = Trim(run.Tokens().Token(1));
  if (Absent(ticker)) {
    run.ErrorMessage(kEmptyTicker);
    code = kTickerVazio;
    return false;
  }
  if (!ReadKnownCode(run.Tokens().Token(2), Listas().EnumBolsa, bolsa)) {
    run.ErrorMessage(kInvalidExchange);
    code = kBolsaInvalidaNaLinha;
    return false;
  }
  return true;
}

int ObjSerie(TImpMain& run) {
  tParserWrapper& t = run.Tokens();
  if (t.Count() < 3 || t.Count() > 21) return kAnbNumeroDeCampos;
  std::string ticker;
  int32_t bolsa = 0;
  int code = 0;
  if (!TickerEBolsa(run, ticker, bolsa, code)) return code;
  int classeDada = 0;
  for (int i = 3; i <= 5; ++i) {
    if (!Absent(t.Token(i))) ++classeDada;
  }
  if (classeDada != 0 && classeDada != 3) return kAnbClasseIncompleta;
  auto linha = [&]() -> int {
    tObjAnb anb;
    int id = 0;
    int lookup = GetIdAnb(ticker, std::to_string(bolsa), id);
    const bool nova = lookup == kSerieNaoEncontrada;
    const bool doArquivo = run.ToNoCheck() && run.SerieAdded().Contains(ticker, bolsa);
    if (nova) {
      lookup = 0;
      anb.cod = ticker;
      anb.bolsa = bolsa;
    } else if (lookup == 0) {
      lookup = DbObjAnbGet(id, anb);
    }
    if (lookup != 0) return lookup;
    if (classeDada != 0) {
      if (const int classe = ClasseDaSerie(run, nova, anb)) return classe;
    }
    int ausentes = classeDada == 0 ? 3 : 0;
    if (const int campos = CamposDaSerie(t, anb, ausentes)) return campos;
    if (nova && !doArquivo && ausentes > 0) return kAnbNovaIncompleta;
    if (run.ToNoCheck()) {
      // Every new series is known to later lines, whichever way its class was found.
      if (nova && !doArquivo) {
        int32_t pais = 0;
        const int paisDaSerie = classeDada != 0 && ReadIntegerField(t.Token(4), pais) ? pais : PaisDaBolsa(bolsa);
        run.Output(MensagemDeNovo("New Serie", {ticker, std::to_string(bolsa), NomeDoPais(paisDaSerie)}), false);
        run.SerieAdded().Add(ticker, bolsa);
      }
      return 0;
    }
    const int escrita = nova ? DbObjAnbAdd(anb) : DbObjAnbPut(anb);
    return escrita != 0 ? escrita : IndicadoresDaSerie(t, anb.id);
  };
  return run.ToNoCheck() ? linha() : AtomicWrites(linha);
}

// *SERIESTATUS and *ISIN. The check pass reads the fields alone: a feed names series that may
// have gone since, and such a line fails by itself in the import pass, the rest being written.

int ChamaComTicker(const char* procedimento, const std::string& ticker, int32_t bolsa,
                   const std::function<void(db::TDbCommand&)>& parametros) {
  int code = 0;
  try {
    db::TDataSetHolder ds(db::ZiDb(), procedimento);
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetText("@ticker", ticker);
    ds->SetInteger("@bolsa", bolsa);
    parametros(*ds);
    code = db::ZiDb().ExecStProc(*ds, 0);
  } catch (const std::exception& e) {
    ReportExceptionWithCode(procedimento, code, e, kNoCommand);
  }
  return code;
}

// The line's one write; a refusal names the series, since the server's code alone does not.
int ExecComTicker(TImpMain& run, const char* procedimento, const std::string& ticker, int32_t bolsa,
                  const std::function<void(db::TDbCommand&)>& parametros) {
  const int code = ChamaComTicker(procedimento, ticker, bolsa, parametros);
  if (code != 0) {
    run.ErrorMessage(std::string(procedimento) + " " + ticker + "/" + std::to_string(bolsa) +
                     " error:" + db::SqlErrorText(code));
  }
  return code;
}

bool NumeroDeCampos(TImpMain& run, int esperado, int falha, int& code) {
  if (run.Tokens().Count() == esperado) return true;
  run.ErrorMessage(std::string(kInvalidFieldCount) + std::to_string(run.Tokens().Count()));
  code = falha;
  return false;
}

int SerieStatus(TImpMain& run) {
  std::string ticker;
  int32_t bolsa = 0;
  int code = 0;
  if (!NumeroDeCampos(run, 4, kStatusNumeroDeCampos, code) || !TickerEBolsa(run, ticker, bolsa, code)) return code;
  int32_t status = 0;
  if (!ReadIntegerField(run.Tokens().Token(3), status) || status < 0 || status > kMaxStatus) {
    run.ErrorMessage(kInvalidNewStatus);
    return kNovoStatusInvalido;
  }
  if (run.ToNoCheck()) return 0;
  return ExecComTicker(run, "ImportAnbBGLDestino", ticker, bolsa, [&](db::TDbCommand& ds) {
    ds.SetInteger("@NovoTBGLDestino", status);
    ds.SetBoolean("@PodeTodosOsTiposDeBGL", DireitosDeObj().PodeTodosOsTiposDeBGL);
  });
}

constexpr size_t kTamanhoDoIsin = 12;

int Isin(TImpMain& run) {
  std::string ticker;
  int32_t bolsa = 0;
  int code = 0;
  if (!NumeroDeCampos(run, 4, kIsinNumeroDeCampos, code) || !TickerEBolsa(run, ticker, bolsa, code)) return code;
  const std::string isin = Absent(run.Tokens().Token(3)) ? std::string() : Trim(run.Tokens().Token(3));
  // Cut, an ISIN would name another security.
  if (isin.size() > kTamanhoDoIsin) return kIsinTooLong;
  if (run.ToNoCheck()) return 0;
  return ExecComTicker(run, "ImportAnbISIN", ticker, bolsa,
                       [&](db::TDbCommand& ds) { ds.SetText("@NovoISIN", isin); });
}

// *NAICS and *NAICSIF.

int Naics(TImpMain& run, bool seNaoDentro) {
  tParserWrapper& t = run.Tokens();
  if (t.Count() != 4) return kNaicsNumeroDeCampos;
  std::vector<int> empresas;
  int code = ResolveCompanyKey(t.Token(1), t.Token(2), run.CachedCompanyLookup(), empresas);
  if (code == kEmpNaoEncontrada && run.ToNoCheck() && CompanyOfTheFile(run, t.Token(1), t.Token(2))) code = 0;
  if (code != 0) return code;
  int32_t naics = 0;
  if (!ReadIntegerField(t.Token(3), naics)) return kNaicsNaoInteiro;
  if (!NaicsValido(naics)) return kNaicsDesconhecido;
  auto escreve = [&]() -> int {
    for (const int id : empresas) {
      tObjEmp emp;
      if (const int lido = DbObjEmpGet(id, emp)) return lido;
      if (run.ToNoCheck() || (seNaoDentro && NaicsDentroDe(emp.naics, naics))) continue;
      emp.naics = naics;
      if (const int escrito = DbObjEmpPut(emp)) return escrito;
    }
    return 0;
  };
  return run.ToNoCheck() ? escreve() : AtomicWrites(escreve);
}

}  // namespace

void RegisterObjectDirectives() {
  SetDirectiveHandler("*OBJEMP", [](TImpMain& run, const TDirective&) { return Code(ObjEmp(run, false)); });
  SetDirectiveHandler("*OBJEMPABREV", [](TImpMain& run, const TDirective&) { return Code(ObjEmp(run, true)); });
  SetDirectiveHandler("*OBJCLASS", [](TImpMain& run, const TDirective&) { return Code(ObjClass(run)); });
  SetDirectiveHandler("*OBJSERIE", [](TImpMain& run, const TDirective&) { return Code(ObjSerie(run)); });
  SetDirectiveHandler("*SERIESTATUS", [](TImpMain& run, const TDirective&) { return Code(SerieStatus(run)); });
  SetDirectiveHandler("*ISIN", [](TImpMain& run, const TDirective&) { return Code(Isin(run)); });
  SetDirectiveHandler("*NAICS", [](TImpMain& run, const TDirective&) { return Code(Naics(run, false)); });
  SetDirectiveHandler("*NAICSIF", [](TImpMain& run, const TDirective&) { return Code(Naics(run, true)); });
}

}  // namespace zi

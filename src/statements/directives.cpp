#include "statements/directives.h"

#include <algorithm>
#include <array>
#include <memory>
#include <cmath>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "import/company_key.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/run.h"
#include "session/reference_data.h"
#include "statements/accounts.h"
#include "statements/check.h"
#include "statements/formats.h"
#include "statements/statement_db.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kChaveNaoEncontrada = 3956;
constexpr int kDataRefInvalida = 3957;
constexpr int kConsolidadoInvalido = 3958;
constexpr int kLinhasAcabaram = 3959;
constexpr int kCurrencyDtInvalida = 3960;
constexpr int kFormatInvalido = 3961;
constexpr int kMonthsInvalido = 3962;
constexpr int kMonCorrInvalido = 3963;
constexpr int kPublishDtInvalida = 3964;
constexpr int kCurrencyInvalida = 3965;
constexpr int kRetifDtInvalida = 3966;
constexpr int kContaNaoInteira = 3967;
constexpr int kContaForaDaFaixa = 3968;
constexpr int kValorInvalido = 3969;
constexpr int kTokInvalido = 3970;
constexpr int kEmpresaZero = 3971;
constexpr int kExcecaoNoBal = 3972;
constexpr int kSourceNaoInteiro = 4013;
constexpr int kSourceForaDaFaixa = 4014;
constexpr int kTokenAMais = 4015;
constexpr int kContaDoBloco5 = 4195;
constexpr int kFormatoExcluido = 4288;
constexpr int kNaoAceitaCpfCnpj = 25908;
constexpr int kTipoDocNaoInteiro = 40003;
constexpr int kTipoDocForaDaFaixa = 40004;
constexpr int kBlocoSemValores = 5;
constexpr int kMaxSourceComFormato = 3;

// A line that gives one account twice for one period would leave one of its values unwritten.
constexpr int kContaRepetida = kStatementAccountTwice;

struct TCabecalhoFS {
  std::string chave1;
  std::string chave2;
  std::vector<int> empresas;
  TDayNumber dataref;
  bool consolidado = false;
  int source = 0;
  int tipoDocumento = 0;
};

// What the body of a *FS gives.
struct TCorpoFS {
  THeadBal head;
  int formato = 0;  // 0: no FORMAT line
  int formatoExcluido = -1;
  TBalanco valores;
  std::vector<uint8_t> dado = std::vector<uint8_t>(static_cast<size_t>(kPeriodos * kMaxContaBal), 0);
};

int LeCabecalho(TImpMain& run, TCabecalhoFS& h) {
  tParserWrapper& t = run.Tokens();
  h.chave1 = std::string(t.Token(1));
  h.chave2 = std::string(t.Token(2));
  const int code = ResolveCompanyKey(h.chave1, h.chave2, run.CachedCompanyLookup(), h.empresas);
  if (code != 0) {
    run.ErrorMessage("ImpBal " + h.chave1 + "/" + h.chave2 + " not found error:" + std::to_string(code) + "(->3956)");
    return kChaveNaoEncontrada;
  }
  if (!ReadRequiredDateField(t.Token(3), h.dataref)) return kDataRefInvalida;
  if (!ReadYesNoField(t.Token(4), h.consolidado)) return kConsolidadoInvalido;
  int32_t n = 0;
  if (!t.Token(5).empty()) {
    if (!ReadIntegerField(t.Token(5), n)) return kSourceNaoInteiro;
    if (n < 0 || n > kMaxSourceDoBal) return kSourceForaDaFaixa;
    h.source = n;
  }
  if (!t.Token(6).empty()) {
    if (!ReadIntegerField(t.Token(6), n)) return kTipoDocNaoInteiro;
    if (n < 0 || n > 1) return kTipoDocForaDaFaixa;
    h.tipoDocumento = n;
  }
  if (!t.Token(7).empty()) return kTokenAMais;
  return 0;
}

int LeDocumento(TImpMain& run, int conta, std::string_view palavra, double& valor) {
  tParserWrapper& t = run.Tokens();
  const ContaBal c = MeDaContaBal(conta, -1);
  const std::string documento = Trim(t.NextToken());
  if (!c.Carac(kCarac15)) {
    run.ErrorMessage("ImpBal conta nao aceita cpfcnpj IndConta: " + std::to_string(conta) + " tok: " +
                     std::string(palavra) + " next tok: " + documento + " error: " + std::to_string(kNaoAceitaCpfCnpj));
    return kNaoAceitaCpfCnpj;
  }
  if (documento.empty()) return kCpfCnpjEmpty;
  tIntStgListMultiLng* lista = GetCampoListaDeValores(kCampoCpfCnpj);
  int id = lista->IdDoTextoMostrado(documento);
  if (id < 0 && !run.ToNoCheck()) {
    int code = 0;
    id = lista->AdicionaItem(documento, code, "ImpBal");
    if (code != 0) return code;
  }
  valor = id;
  return 0;
}

int LeLinhaDeConta(TImpMain& run, std::string_view primeiro, int periodoAtual, TCorpoFS& corpo) {
  tParserWrapper& t = run.Tokens();
  int32_t conta = 0;
  if (!ReadIntegerField(primeiro.substr(1), conta)) return kContaNaoInteira;
  if (!ContaValida(conta)) return kContaForaDaFaixa;
  if (MeDaContaBal(conta, -1).Bloco == kBlocoSemValores) return kContaDoBloco5;
  int periodo = periodoAtual;
  int pos = 1;
  if (UpperAscii(t.Token(pos)) == "3M") {
    periodo = kPeriodo3M;
    ++pos;
  }
  if (UpperAscii(t.Token(pos)) == "FY") {
    periodo = kPeriodoFY;
    ++pos;
  }
  const std::string palavra(t.Token(pos));
  double valor = kMissing;
  if (UpperAscii(palavra) == "CPFCNPJ") {
    if (const int code = LeDocumento(run, conta, palavra, valor)) return code;
  } else if (!ReadNumberField(palavra, valor) || std::isinf(valor)) {
    return kValorInvalido;
  }
  uint8_t& dado = corpo.dado[static_cast<size_t>(periodo * kMaxContaBal + conta - 1)];
  if (dado) {
    run.ErrorMessage("ImpBal conta repetida #" + std::to_string(conta) + " " + NomeDoPeriodo(periodo) +
                     " error:" + std::to_string(kContaRepetida));
    return kContaRepetida;
  }
  dado = 1;
  corpo.valores.Celula(periodo, conta).valor = valor;
  return 0;
}

int LeData(std::string_view token, TDayNumber& data, int code) { return ReadDateField(token, data) ? 0 : code; }

int LeInteiro(std::string_view token, int32_t& valor, int code) { return ReadIntegerField(token, valor) ? 0 : code; }

// The lines up to END; the current period starts as the whole period.
int LeCorpo(TImpMain& run, TCorpoFS& corpo) {
  int periodo = kPeriodoFY;
  tParserWrapper& t = run.Tokens();
  for (;;) {
    if (!run.NextBlockLine(false)) return kLinhasAcabaram;
    const std::string_view primeiro = t.Token(0);
    const std::string tok = UpperAscii(primeiro);
    int code = 0;
    if (tok == "END") return 0;
    if (tok.empty()) return kLinhasAcabaram;
    if (tok == "CURRENCYDT") {
      code = LeData(t.Token(1), corpo.head.datamoeda, kCurrencyDtInvalida);
    } else if (tok == "FORMAT") {
      int32_t excluido = -1;
      code = LeInteiro(t.Token(1), corpo.formato, kFormatInvalido);
      if (!ReadIntegerField(t.Token(2), excluido)) excluido = -1;
      corpo.formatoExcluido = excluido;
    } else if (tok == "MONTHS") {
      code = LeInteiro(t.Token(1), corpo.head.meses, kMonthsInvalido);
    } else if (tok == "MONCORR") {
      code = LeInteiro(t.Token(1), corpo.head.corrmon, kMonCorrInvalido);
    } else if (tok == "PUBLISHDT" || tok == "REPORTED") {
      code = LeData(t.Token(1), corpo.head.datadivulgacao, kPublishDtInvalida);
    } else if (tok == "CURRENCY") {
      code = LeInteiro(t.Token(1), corpo.head.moeda, kCurrencyInvalida);
    } else if (tok == "RETIFDT") {
      code = LeData(t.Token(1), corpo.head.DataUltAlteracao, kRetifDtInvalida);
    } else if (tok == "FY") {
      periodo = kPeriodoFY;
    } else if (tok == "3M") {
      periodo = kPeriodo3M;
    } else if (tok.starts_with("@")) {
      code = LeLinhaDeConta(run, primeiro, periodo, corpo);
    } else {
      run.ErrorMessage("ImpBal tok invalido <" + std::string(primeiro) + ">");
      code = kTokInvalido;
    }
    if (code != 0) return code;
  }
}

// The company's format for the statement: format 74 for document type 1, none for sources that
// have no format.
int FormatoDaEmpresa(int empresa, int source, int tipoDocumento) {
  if (tipoDocumento == 1) return kFormatoDoTipoDocumento1;
  if (source > kMaxSourceComFormato) return 0;
  int formato = 0;
  return GetFormatoBalDaEmp(empresa, source, formato) == 0 ? formato : 0;
}

// Checks both periods of the statement against the company's format.
int ChecaComFormato(int formatoId, TBalanco& bal) {
  TFormatoBal formato;
  if (const int code = DbLeFormatoBal(formatoId, false, true, formato)) return code;
  TChecagemBal checagem(formato, formato.contas);
  const bool aceitar = bal.head.AceitarFalhaNaChecagem;
  checagem.Checa(bal, kPeriodoFY);
  const THeadBal fy = bal.head;
  checagem.Checa(bal, kPeriodo3M);
  // The statement's grade is that of its worse period.
  bal.head.ChecagemFalhou = std::max(fy.ChecagemFalhou, bal.head.ChecagemFalhou);
  bal.head.Incompleto = fy.Incompleto || bal.head.Incompleto;
  bal.head.AceitarFalhaNaChecagem = bal.head.ChecagemFalhou != 0 && aceitar;
  return 0;
}

int ImportaParaEmpresa(TImpMain& run, std::string_view keyword, const TCabecalhoFS& h, const TCorpoFS& corpo,
                       int empresa) {
  TBalanco novo;
  TBalanco armazenado;
  int code = 0;
  const bool leArmazenado = keyword == "*FSIFNEW" || keyword == "*FSIFNEWER" || keyword == "*FSUPDATE";
  bool existe = false;
  if (leArmazenado) {
    code = DbBalGetPelaDataCons(empresa, h.dataref, h.consolidado, h.tipoDocumento, h.source, armazenado);
    existe = code == 0;
    if (code == kBalNaoExiste && keyword != "*FSUPDATE") code = 0;
    if (code != 0) return code;
    if (keyword == "*FSUPDATE") novo = armazenado;
  }
  const int32_t id = novo.head.id;
  novo.head = corpo.head;
  novo.head.id = id;
  novo.head.empresa = empresa;
  novo.head.dataref = h.dataref;
  novo.head.consolidado = h.consolidado ? 1 : 0;
  novo.head.sourcedobal = static_cast<uint8_t>(h.source);
  novo.head.TipoDocumento = static_cast<uint8_t>(h.tipoDocumento);
  for (int periodo = 0; periodo < kPeriodos; ++periodo) {
    for (int conta = 1; conta <= kMaxContaBal; ++conta) {
      const double v = corpo.valores.Valor(periodo, conta);
      if (keyword != "*FSUPDATE" || !IsMissing(v)) novo.Celula(periodo, conta) = {v, false, false};
    }
  }
  if (empresa == 0) return kEmpresaZero;
  if (corpo.formato != 0) DefineFormatoBalDaEmpSeNulo(empresa, h.source, h.tipoDocumento, corpo.formato);
  const int formato = FormatoDaEmpresa(empresa, h.source, h.tipoDocumento);
  if (corpo.formatoExcluido != -1 && corpo.formatoExcluido == formato) return kFormatoExcluido;
  if (formato != 0) {
    if ((code = ChecaComFormato(formato, novo)) != 0) return code;
  }
  const std::string chave = h.chave1 + "/" + h.chave2;
  if (keyword == "*FSIFNEW" && existe) {
    run.Output("Warning: registro ignorado empresa " + chave + " EmpId:" + std::to_string(empresa) + " Balan\xE7o de " +
                   FormatIsoDate(h.dataref) + " j\xE1 existe na base de dados ",
               false);
    return 0;
  }
  if (keyword == "*FSIFNEWER" && existe && novo.head.datadivulgacao < armazenado.head.datadivulgacao) {
    run.Output("Warning: registro ignorado empresa " + chave + " EmpId:" + std::to_string(empresa) + " Balan\xE7o de " +
                   FormatIsoDate(h.dataref) + " data divulgacao " + FormatIsoDate(novo.head.datadivulgacao) +
                   " \xE9 mais antiga do que " + FormatIsoDate(armazenado.head.datadivulgacao),
               false);
    return 0;
  }
  return DbBalPut(novo, keyword == "*FSNEWDB");
}

TDirectiveOutcome ImportaBalanco(TImpMain& run, const TDirective& directive) {
  const int mensagensAntes = run.ErrMsgCount();
  TCabecalhoFS h;
  int code = 0;
  // A failure without a message of its own is told at the line that failed, before the rest of
  // the block is passed over.
  const auto falhou = [&] {
    if (code != 0 && run.ErrMsgCount() == mensagensAntes) {
      run.ErrorMessage("ImpBal error:" + std::to_string(code) + " " + h.chave1 + "/" + h.chave2);
    }
  };
  try {
    code = LeCabecalho(run, h);
    if (code != 0) {
      falhou();
      run.SkipBlock();
    } else {
      auto corpo = std::make_unique<TCorpoFS>();
      code = LeCorpo(run, *corpo);
      if (code != 0 && code != kLinhasAcabaram) {
        falhou();
        run.SkipBlock();
      }
      if (code == 0 && !run.ToNoCheck()) {
        for (int empresa : h.empresas) {
          if ((code = ImportaParaEmpresa(run, directive.keyword, h, *corpo, empresa)) != 0) break;
        }
      }
    }
  } catch (const std::exception& e) {
    code = 0;
    ReportExceptionWithCode("ImpBal " + h.chave1 + "/" + h.chave2, code, e, kExcecaoNoBal);
    run.ErrorMessage("ImpBal " + h.chave1 + "/" + h.chave2 + " error:" + std::to_string(code));
  }
  falhou();
  return {code == 0, code};
}

// *CBAL: every field in order, the first failure giving its code.
constexpr std::array<int, 6> kCodigosInteiros = {3975, 3976, 3977, 3978, 3990, 3991};
constexpr std::array<int, kCaracCount> kCodigosCaracs = {3979, 3980, 3981, 15557, 15558, 3982, 3983, 3984,
                                                         3985, 3986, 3987, 3988, 3989, 15559, 15560, 15561};

TDirectiveOutcome ImportaConta(TImpMain& run, const TDirective&) {
  tParserWrapper& t = run.Tokens();
  ContaBal conta;
  std::array<std::string, 3> extenso;
  std::array<std::string, 3> compacto;
  if (!ReadIntegerField(t.Token(1), conta.id)) return {false, 3974};
  if (!ContaValida(conta.id)) return {false, kContaInvalida};
  for (int i = 0; i < 6; ++i) {
    std::string nome = Trim(t.Token(2 + i));
    if (nome.empty()) return {false, 3993};
    (i < 3 ? extenso : compacto)[static_cast<size_t>(i % 3)] = std::move(nome);
  }
  std::array<int32_t*, 6> inteiros = {&conta.Bloco,     &conta.OrdemNoBloco, &conta.Decimais,
                                      &conta.Formatacao, &conta.comocalcular, &conta.comocalcular_Num};
  for (size_t i = 0; i < inteiros.size(); ++i) {
    if (!ReadIntegerField(t.Token(8 + static_cast<int>(i)), *inteiros[i])) return {false, kCodigosInteiros[i]};
  }
  for (size_t i = 0; i < kCodigosCaracs.size(); ++i) {
    if (!ReadYesNoField(t.Token(14 + static_cast<int>(i)), conta.carac[i])) return {false, kCodigosCaracs[i]};
  }
  if (!t.Token(30).empty()) return {false, 3992};
  if (run.ToNoCheck()) return {};
  int code = 0;
  try {
    code = DbContaBalPut(conta, extenso, compacto);
  } catch (const std::exception& e) {
    ReportExceptionWithCode("ImpCta", code, e, 3994);
  }
  return {code == 0, code};
}

TDirectiveOutcome ApagaConta(TImpMain& run, const TDirective&) {
  int32_t id = 0;
  if (!ReadIntegerField(run.Tokens().Token(1), id) || !run.Tokens().Token(2).empty()) return {false, 0};
  if (run.ToNoCheck()) return {};
  return {DbContaBalDel(id) == 0, 0};
}

TDirectiveOutcome ImportaBloco(TImpMain& run, const TDirective&) {
  tParserWrapper& t = run.Tokens();
  int32_t id = 0;
  if (!ReadIntegerField(t.Token(1), id) || id <= 0 || !t.Token(5).empty()) return {false, 0};
  if (run.ToNoCheck()) return {};
  return {DbBlocoContaBalPut(id, Trim(t.Token(2)), Trim(t.Token(3)), Trim(t.Token(4))) == 0, 0};
}

TDirectiveOutcome ImportaFormato(TImpMain& run, const TDirective&) {
  tParserWrapper& t = run.Tokens();
  int32_t id = 0;
  int32_t pais = 0;
  int32_t flags = 0;
  const std::string extenso = Trim(t.Token(3));
  const std::string nome = Trim(t.Token(4));
  if (!ReadIntegerField(t.Token(1), id) || !ReadIntegerField(t.Token(2), pais) || (extenso.empty() && nome.empty()))
    return {false, 0};
  int proximo = 5;
  if (t.Count() >= 6) {
    if (!ReadIntegerField(t.Token(5), flags)) return {false, 0};
    proximo = 6;
  }
  if (!t.Token(proximo).empty()) return {false, 0};
  if (run.ToNoCheck()) return {};
  return {DbFormatoBalPut(id, pais, nome, extenso, flags) == 0, 0};
}

// One item line of *APRESFBAL; false when it is not valid.
bool LeItem(tParserWrapper& t, TLinhaFmt& l) {
  int32_t tipo = 0;
  if (!ReadIntegerField(t.Token(0), tipo) || tipo < 0 || tipo > 10) return false;
  l.tipo = static_cast<uint8_t>(tipo);
  std::vector<int32_t> campos;
  const int quantos = tipo == 0 || tipo == 3 ? 4 : tipo == 1 ? 1 : tipo == 4 ? 3 : 0;
  for (int i = 1; i <= quantos; ++i) {
    int32_t v = 0;
    if (!ReadIntegerField(t.Token(i), v)) return false;
    campos.push_back(v);
  }
  if (!t.Token(quantos + 1).empty()) return false;
  if (tipo == 0 || tipo == 3) {
    if (campos[1] < 0 || campos[1] > 12) return false;
    l.conta = campos[0];
    l.sinal = static_cast<uint8_t>(campos[1]);
    l.indentacao = campos[2];
    l.anvert = campos[3];
  } else if (tipo == 1) {
    l.bloco = campos[0];
  } else if (tipo == 4) {
    l.IndTituloCarteira = campos[0];
    l.indentacao = campos[1];
    l.IndTipoCarteira = campos[2];
  }
  return true;
}

TDirectiveOutcome ImportaApresentacao(TImpMain& run, const TDirective&) {
  tParserWrapper& t = run.Tokens();
  TFormatoBal formato;
  if (!ReadIntegerField(t.Token(1), formato.id) || !t.Token(2).empty()) {
    run.SkipBlock();
    return {false, 0};
  }
  for (;;) {
    if (!run.NextBlockLine(false)) return {false, 0};
    if (UpperAscii(t.Token(0)) == "END") break;
    TLinhaFmt l{.fmtbal = formato.id, .seq = static_cast<int32_t>(formato.linhas.size()) + 1};
    if (static_cast<int>(formato.linhas.size()) == kMaxLinhasFmt || !LeItem(t, l)) {
      run.SkipBlock();
      return {false, 0};
    }
    formato.linhas.push_back(l);
  }
  if (run.ToNoCheck()) return {};
  return {DbApresFormatoBalPut(formato) == 0, 0};
}

}  // namespace

void RegisterStatementDirectives() {
  for (const char* keyword : {"*FS", "*FSIFNEW", "*FSIFNEWER", "*FSNEWDB", "*FSUPDATE"})
    SetDirectiveHandler(keyword, ImportaBalanco);
  SetDirectiveHandler("*CBAL", ImportaConta);
  SetDirectiveHandler("*DELCBAL", ApagaConta);
  SetDirectiveHandler("*BLOCOCBAL", ImportaBloco);
  SetDirectiveHandler("*FBAL", ImportaFormato);
  SetDirectiveHandler("*APRESFBAL", ImportaApresentacao);
}

}  // namespace zi
